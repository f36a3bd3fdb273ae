#include "bundle/bundleimporter.h"

#include "bundle/bundletext.h"
#include "registry/fixedstrategyregistry.h"
#include "storage/datedbackup.h"
#include "storage/installationlayout.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>

#include <QFileInfo>

#include <algorithm>

using StrategyLogic::BundleAction;
using StrategyLogic::BundleImportMode;

namespace {
// Whether files can be written in `folder`, or, while it does not exist, in
// the nearest folder above it (the plug-in creates the rest).
bool canWriteIn(const QString &folder)
{
    QFileInfo info(folder);
    while (!info.exists()) {
        const QString parent = info.absolutePath();
        if (parent == info.absoluteFilePath())
            return false;
        info = QFileInfo(parent);
    }
    return info.isDir() && info.isWritable();
}

QString pointerOf(const char *list, int index)
{
    return BundleText::element(QLatin1Char('/') + QLatin1String(list), index);
}

// `message`, and why when the plug-in said so: its refusal of the step.
QString withReason(const QString &message, const StrategyLogic::Refusal &refusal)
{
    return refusal.isRefused() && !refusal.reason.isEmpty() ? message + QStringLiteral(": ") + refusal.reason
                                                            : message;
}
} // namespace

BundleImporter::BundleImporter(StrategyFileLogicHandler &handler, const BundleDocument &document,
                               BundleImportMode mode)
    : m_handler(handler)
    , m_document(document)
    , m_mode(mode)
{
}

void BundleImporter::plan()
{
    m_apply = false;
    walk();
}

void BundleImporter::apply()
{
    m_apply = true;
    walk();
}

int BundleImporter::changeCount() const
{
    return int(std::count_if(m_changes.cbegin(), m_changes.cend(), [](const StrategyLogic::BundleChange &change) {
        return change.action != BundleAction::Keep;
    }));
}

bool BundleImporter::walk()
{
    m_changes.clear();
    m_problems.clear();
    m_backups.clear();
    m_ending = Ending::Done;
    m_message.clear();
    m_stoppedAt.clear();
    m_storageFailed = false;
    m_refusal = StrategyLogic::Refusal();
    if (m_apply && !foldersWritable())
        return false;

    m_existing = m_handler.getFixedStrategyList();
    m_groupNames.clear();
    for (const SarvekGroupInfo &group : m_handler.getAllStrategyGroups())
        m_groupNames.insert(group.name);
    if (m_mode == BundleImportMode::Replace && !clear())
        return false;
    m_names.clear();
    for (const FixedStrategyInfo &info : qAsConst(m_existing))
        m_names[info.filePath].append(info.name);
    return walkGroups() && walkStrategies() && walkLocks() && walkInstances() && walkDays() && walkValues();
}

bool BundleImporter::foldersWritable()
{
    const QString appDir = ZqApplicationDir::path();
    const QString userFolder = StrategyLogic::installationFiles(appDir, m_handler.getCurUserId()).userFolder;
    for (const QString &folder : {appDir, userFolder}) {
        if (!canWriteIn(folder))
            return notWritable(QStringLiteral("cannot write in %1; nothing was changed").arg(folder));
    }
    return true;
}

// Replace: backs up the data file and the groups file, then removes every
// strategy and the user groups the document does not list (those it lists
// stay, and keep their creation times).
bool BundleImporter::clear()
{
    const StrategyLogic::InstallationFiles files
        = StrategyLogic::installationFiles(ZqApplicationDir::path(), m_handler.getCurUserId());
    // One time for the files of one import.
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString &path : {files.dataFile, files.groupsFile}) {
        if (QFileInfo::exists(path) && !backUp(path, now))
            return false;
    }
    return removeStrategies() && removeGroups();
}

bool BundleImporter::backUp(const QString &path, const QDateTime &when)
{
    QString backup;
    QString error;
    if (!m_apply)
        backup = DatedBackup::nameFor(path, when);
    else if (!DatedBackup::copy(path, when, &backup, &error))
        return notWritable(QStringLiteral("cannot back up %1: %2; nothing was changed").arg(path, error));
    m_backups.append(backup);
    change(QString(), BundleAction::Backup, QStringLiteral("%1 copied to %2").arg(path, backup));
    return true;
}

bool BundleImporter::removeStrategies()
{
    QStringList paths;
    for (const FixedStrategyInfo &info : qAsConst(m_existing)) {
        if (!paths.contains(info.filePath))
            paths.append(info.filePath);
    }
    const auto listRemoved = [this](const QStringList &removed) {
        for (const FixedStrategyInfo &info : qAsConst(m_existing)) {
            if (removed.contains(info.filePath))
                change(QString(), BundleAction::Remove,
                       QStringLiteral("fixed strategy %1 %2 (%3)")
                           .arg(QString::number(info.id), info.name, info.filePath));
        }
    };
    for (int i = 0; i < paths.size(); ++i) {
        if (m_apply && !m_handler.delFixedStrategyInfoByFilePath(paths.at(i))) {
            listRemoved(paths.mid(0, i));
            return stopped(QString(), QStringLiteral("the fixed strategies of %1 were not removed").arg(paths.at(i)));
        }
    }
    listRemoved(paths);
    m_existing.clear();
    return true;
}

bool BundleImporter::removeGroups()
{
    QSet<QString> listed;
    for (const SarvekGroupInfo &group : m_document.groups)
        listed.insert(group.name);
    QStringList names = m_groupNames.values();
    names.sort();
    for (const QString &name : qAsConst(names)) {
        if (InstallationLayout::isBuiltInGroup(name) || listed.contains(name))
            continue;
        if (m_apply && !m_handler.deleteGroup(name, false))
            return stopped(QString(), QStringLiteral("the group %1 was not removed").arg(name));
        m_groupNames.remove(name);
        change(QString(), BundleAction::Remove, QStringLiteral("group %1").arg(name));
    }
    return true;
}

bool BundleImporter::walkGroups()
{
    for (int i = 0; i < m_document.groups.size(); ++i) {
        const QString at = pointerOf("groups", i);
        const QString name = m_document.groups.at(i).name;
        if (m_groupNames.contains(name)) {
            change(at, BundleAction::Keep, QStringLiteral("group %1 is there already").arg(name));
            continue;
        }
        if (InstallationLayout::isBuiltInGroup(name)) {
            const QString autoStart = name == InstallationLayout::AutoStartGroup
                ? QStringLiteral(" (it comes with the client's auto-start setting)")
                : QString();
            problem(BundleText::member(at, QStringLiteral("name")),
                    QStringLiteral("%1 is a built-in group, which an import cannot create, and this data folder "
                                   "does not have it%2")
                        .arg(name, autoStart));
            continue;
        }
        if (m_apply) {
            // The group keeps the creation time it has in the bundle.
            const QString message = m_handler.addGroupCreatedAt(name, m_document.groups.at(i).createTime);
            if (!message.isEmpty())
                return stopped(at, message, Cause::Explained);
        }
        m_groupNames.insert(name);
        change(at, BundleAction::Add, QStringLiteral("group %1").arg(name));
    }
    return true;
}

bool BundleImporter::walkStrategies()
{
    // A strategy the data folder had before, equal in every field but the
    // id, is there already: importing a bundle twice adds nothing.
    QList<FixedStrategyInfo> unmatched = m_existing;
    for (int i = 0; i < m_document.strategies.size(); ++i) {
        const QString at = pointerOf("fixedStrategies", i);
        FixedStrategyInfo info = m_document.strategies.at(i);
        const auto same = std::find_if(unmatched.begin(), unmatched.end(), [&](const FixedStrategyInfo &other) {
            return other.filePath == info.filePath && other.name == info.name && other.group == info.group
                && other.extraInfo == info.extraInfo && other.copyIndex == info.copyIndex;
        });
        if (same != unmatched.end()) {
            change(at, BundleAction::Keep,
                   QStringLiteral("%1 (%2) is there already as fixed strategy %3")
                       .arg(info.name, info.filePath, QString::number(same->id)));
            unmatched.erase(same);
            continue;
        }
        const QString wanted = info.name;
        if (m_names.value(info.filePath).contains(wanted)) {
            // The plug-in's rule, over the names the walk knows of when it
            // changes nothing.
            info.name = m_apply ? m_handler.GetDefaultFixedStrategyName(info.filePath)
                                : FixedStrategyRegistry::defaultName(info.filePath, m_names.value(info.filePath));
            if (info.name.isEmpty()) {
                problem(BundleText::member(at, QStringLiteral("name")),
                        QStringLiteral("the name %1 is taken for %2, whose file name gives no other")
                            .arg(BundleText::shown(wanted), BundleText::shown(info.filePath)));
                continue;
            }
        }
        if (m_apply && !addStrategy(at, info))
            return false;
        m_names[info.filePath].append(info.name);
        const QString where = QStringLiteral("(%1, group %2)").arg(info.filePath, info.group);
        if (info.name == wanted)
            change(at, BundleAction::Add, QStringLiteral("%1 %2").arg(info.name, where));
        else
            change(at, BundleAction::Rename,
                   QStringLiteral("%1 as %2 %3: the file has a fixed strategy named %1").arg(wanted, info.name, where));
    }
    return true;
}

// Adds one strategy; its copy index comes with a change of the new record.
bool BundleImporter::addStrategy(const QString &at, const FixedStrategyInfo &info)
{
    if (!m_handler.addFixedStrategy(info.filePath, info.name, info.group, info.extraInfo, 1))
        return stopped(at, QStringLiteral("the fixed strategy %1 (%2) was not added").arg(info.name, info.filePath));
    if (info.copyIndex == 0)
        return true;
    // New ids are above every stored one: the new record is the last,
    // unless the id sequence misbehaved.
    FixedStrategyInfo added = m_handler.getLastFixedStrategyInfo();
    if (added.filePath != info.filePath || added.name != info.name) {
        for (const FixedStrategyInfo &other : m_handler.getFixedStrategyList()) {
            if (other.filePath == info.filePath && other.name == info.name)
                added = other;
        }
    }
    FixedStrategyInfo changed = info;
    changed.id = added.id;
    if (added.id < 1 || !m_handler.modifyFixedStrategyInfo(int(added.id), changed))
        return stopped(at, QStringLiteral("the copy index of %1 (%2) was not set").arg(info.name, info.filePath));
    return true;
}

bool BundleImporter::walkLocks()
{
    QSet<QString> locked;
    for (int i = 0; i < m_document.locks.size(); ++i) {
        const QString at = pointerOf("locks", i);
        const QString &path = m_document.locks.at(i);
        if (locked.contains(path) || m_handler.getFileLockState(path)) {
            change(at, BundleAction::Keep, QStringLiteral("%1 is locked already").arg(path));
            continue;
        }
        if (m_apply && !m_handler.changeFileLockState(path, true))
            return stopped(at, QStringLiteral("the local database did not take the lock of %1").arg(path), Cause::Storage);
        locked.insert(path);
        change(at, BundleAction::Add, QStringLiteral("lock %1").arg(path));
    }
    return true;
}

// Instances and days are kept as they are: the data folder's are the newer
// record of what ran.
bool BundleImporter::walkInstances()
{
    for (int i = 0; i < m_document.instances.size(); ++i) {
        const QString at = pointerOf("instances", i);
        const InstanceInfo &info = m_document.instances.at(i);
        if (!m_handler.getInstanceInfo(info.instanceId).instanceId.isEmpty()
            || m_handler.getInstanceRunMode(info.instanceId) != OPERATE_UNKNOWN) {
            change(at, BundleAction::Keep,
                   QStringLiteral("instance %1 is there already; kept as it is").arg(info.instanceId));
            continue;
        }
        if (m_apply) {
            if (!m_handler.addInstanceRunMode(info.instanceId, info.runMode, info.fundAccount, info.returnRegInfo))
                return stopped(at, QStringLiteral("the instance %1 was not registered").arg(info.instanceId));
            if (info.startTime.isValid()
                && !m_handler.setInstanceStartEndTime(info.instanceId, info.startTime, info.endTime))
                return stopped(
                    at, QStringLiteral("the local database did not take the times of instance %1").arg(info.instanceId),
                    Cause::Storage);
        }
        change(at, BundleAction::Add,
               QStringLiteral("instance %1%2")
                   .arg(info.instanceId, info.startTime.isValid() ? QStringLiteral(" with its times") : QString()));
    }
    return true;
}

bool BundleImporter::walkDays()
{
    for (int i = 0; i < m_document.days.size(); ++i) {
        const QString at = pointerOf("backtestDays", i);
        const BackTestCashInfo &day = m_document.days.at(i);
        const QString which = QStringLiteral("%1 of instance %2").arg(day.date.toString(Qt::ISODate), day.instanceId);
        double initial = 0;
        double end = 0;
        if (m_handler.queryBackTestCashInfo(day.instanceId, day.date, initial, end)) {
            change(at, BundleAction::Keep, QStringLiteral("the day %1 is there already; kept as it is").arg(which));
            continue;
        }
        if (m_apply) {
            m_handler.addBackTestInitCashInfo(day.instanceId, day.date, day.initialFunds);
            // The start's refusal, if any, is the cause: the end call clears it.
            const StrategyLogic::Refusal started = StrategyLogic::lastRefusal();
            m_handler.addBackTestInitCashEndInfo(day.instanceId, day.date, day.endFunds);
            if (!m_handler.queryBackTestCashInfo(day.instanceId, day.date, initial, end)
                || initial != day.initialFunds || end != day.endFunds) {
                return stopped(at, QStringLiteral("the day %1 was not recorded").arg(which), Cause::Unexplained,
                               started.isRefused() ? started : StrategyLogic::lastRefusal());
            }
        }
        change(at, BundleAction::Add, QStringLiteral("the day %1").arg(which));
    }
    return true;
}

// Remembered values are the user's choice: set only where there is none.
bool BundleImporter::walkValues()
{
    StrategyFileLogicHandler &f = m_handler;
    return setValue(
               QStringLiteral("lastProduct"), QStringLiteral("product"), m_document.lastProduct,
               [&f] { return f.getLastProduct(); }, [&f](const QString &v) { f.setLastProduct(v); })
        && setValue(
               QStringLiteral("lastFundAccount"), QStringLiteral("fund account"), m_document.lastFundAccount,
               [&f] { return f.getLastFundaccount(); }, [&f](const QString &v) { f.setLastFundaccount(v); })
        && setValue(
               QStringLiteral("pythonPath"), QStringLiteral("Python path"), m_document.pythonPath,
               [&f] { return f.getPYInstallPath(); }, [&f](const QString &v) { f.setPYInstallPath(v); });
}

bool BundleImporter::setValue(const QString &key, const QString &what, const QString &value,
                              const std::function<QString()> &get, const std::function<void(const QString &)> &set)
{
    if (value.isEmpty())
        return true;
    const QString at = BundleText::member(QString(), key);
    const QString current = get();
    if (!current.isEmpty()) {
        change(at, BundleAction::Keep,
               current == value ? QStringLiteral("the %1 is %2 already").arg(what, current)
                                : QStringLiteral("the %1 stays %2").arg(what, current));
        return true;
    }
    if (m_apply) {
        set(value);
        if (get() != value)
            return stopped(at, QStringLiteral("the %1 was not set").arg(what));
    }
    change(at, BundleAction::Set, QStringLiteral("the %1 %2").arg(what, value));
    return true;
}

void BundleImporter::change(const QString &pointer, BundleAction action, const QString &detail)
{
    m_changes.append({pointer, action, detail});
}

void BundleImporter::problem(const QString &pointer, const QString &message)
{
    m_problems.append({pointer, message});
}

bool BundleImporter::notWritable(const QString &message)
{
    m_ending = Ending::NotWritable;
    m_message = message;
    return false;
}

bool BundleImporter::stopped(const QString &pointer, const QString &message, Cause cause)
{
    return stopped(pointer, message, cause, StrategyLogic::lastRefusal());
}

bool BundleImporter::stopped(const QString &pointer, const QString &message, Cause cause,
                             const StrategyLogic::Refusal &refusal)
{
    m_ending = Ending::Stopped;
    m_stoppedAt = pointer;
    m_storageFailed = cause == Cause::Storage;
    m_refusal = refusal;
    m_message = cause == Cause::Unexplained ? withReason(message, refusal) : message;
    return false;
}
