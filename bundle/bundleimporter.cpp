#include "bundle/bundleimporter.h"

#include "bundle/bundletext.h"
#include "bundle/importreplay.h"
#include "registry/fixedstrategyregistry.h"
#include "storage/datedbackup.h"
#include "storage/installationlayout.h"
#include "storage/strategylogging.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>

#include <QFile>
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

// The walk again, now with the backups, then the record of every change
// it found, then the changes; the record goes once all are stored. A
// process that dies after the record was written leaves the rest of the
// import to the next start (ImportReplay::finishInterrupted()).
void BundleImporter::apply()
{
    m_apply = true;
    ImportReplay::resetSteps();
    if (!walk())
        return;
    if (!m_problems.isEmpty()) // another thread changed the data folder since the plan
        return;
    ImportReplay::reached();
    const QString path = ImportRecord::pathFor(ZqApplicationDir::path(), m_handler.getCurUserId());
    QString error;
    if (!m_record.write(path, &error)) {
        notWritable(QStringLiteral("cannot record the import in %1: %2; nothing was changed").arg(path, error));
        return;
    }
    ImportReplay::reached();
    ImportReplay replay(m_handler, m_record);
    if (!replay.run()) {
        m_ending = Ending::Stopped;
        m_stoppedAt = replay.stoppedAt();
        m_storageFailed = replay.storageFailed();
        m_refusal = replay.refusal();
        m_message = replay.message();
        m_recordPath = path;
        if (replay.stoppedRow() >= 0)
            m_changes = m_changes.mid(0, replay.stoppedRow());
        return;
    }
    // Rows that could be stored nowhere were logged as unsaved; the record
    // stays, and the next start writes them.
    if (!ImportReplay::storePending())
        return;
    ImportReplay::reached();
    if (!QFile::remove(path))
        SL_WARNING << "BundleImporter::apply" << "cannot remove the import record" << path << "of a finished import";
    ImportReplay::reached();
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
    m_recordPath.clear();
    m_record = ImportRecord();
    m_record.bundle = m_name;
    m_record.replace = m_mode == BundleImportMode::Replace;
    if (m_apply && !foldersWritable())
        return false;

    m_existing = m_handler.getFixedStrategyList();
    m_groupNames.clear();
    for (const SarvekGroupInfo &group : m_handler.getAllStrategyGroups())
        m_groupNames.insert(group.name);
    if (m_mode == BundleImportMode::Replace && !clear())
        return false;
    m_names.clear();
    m_nextSuffix.clear();
    for (const FixedStrategyInfo &info : qAsConst(m_existing))
        m_names[info.filePath].insert(info.name);
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
    QSet<QString> seen;
    for (const FixedStrategyInfo &info : qAsConst(m_existing)) {
        if (!seen.contains(info.filePath)) {
            seen.insert(info.filePath);
            paths.append(info.filePath);
        }
    }
    // A file's strategies go together, as the rows show them.
    QHash<QString, QList<FixedStrategyInfo>> ofFile;
    for (const FixedStrategyInfo &info : qAsConst(m_existing))
        ofFile[info.filePath].append(info);
    for (const QString &path : qAsConst(paths)) {
        for (const FixedStrategyInfo &info : ofFile.value(path)) {
            ImportRecord::Removal &removal = recordStep(m_record.removals, QString());
            removal.id = info.id;
            removal.filePath = info.filePath;
            change(QString(), BundleAction::Remove,
                   QStringLiteral("fixed strategy %1 %2 (%3)").arg(QString::number(info.id), info.name, info.filePath));
        }
    }
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
        recordStep(m_record.groupRemovals, QString()).name = name;
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
        recordStep(m_record.groups, at).group = m_document.groups.at(i);
        m_groupNames.insert(name);
        change(at, BundleAction::Add, QStringLiteral("group %1").arg(name));
    }
    return true;
}

bool BundleImporter::walkStrategies()
{
    // A strategy the data folder had before, equal in every field but the
    // id, is there already: importing a bundle twice adds nothing.
    // Each strategy there matches one of the bundle's, the first in id order.
    const auto fields = [](const FixedStrategyInfo &s) {
        return QStringList{s.filePath, s.name, s.group, s.extraInfo, QString::number(s.copyIndex)}.join(QChar(0));
    };
    QHash<QString, QList<qint64>> unmatched;
    for (const FixedStrategyInfo &info : qAsConst(m_existing))
        unmatched[fields(info)].append(info.id);
    for (int i = 0; i < m_document.strategies.size(); ++i) {
        const QString at = pointerOf("fixedStrategies", i);
        FixedStrategyInfo info = m_document.strategies.at(i);
        const auto same = unmatched.find(fields(info));
        if (same != unmatched.end() && !same->isEmpty()) {
            change(at, BundleAction::Keep,
                   QStringLiteral("%1 (%2) is there already as fixed strategy %3")
                       .arg(info.name, info.filePath, QString::number(same->takeFirst())));
            continue;
        }
        const QString wanted = info.name;
        if (m_names.value(info.filePath).contains(wanted)) {
            // The plug-in's rule, over the names the walk knows of.
            info.name = FixedStrategyRegistry::defaultName(info.filePath, m_names.value(info.filePath),
                                                           &m_nextSuffix[info.filePath]);
            if (info.name.isEmpty()) {
                problem(BundleText::member(at, QStringLiteral("name")),
                        QStringLiteral("the name %1 is taken for %2, whose file name gives no other")
                            .arg(BundleText::shown(wanted), BundleText::shown(info.filePath)));
                continue;
            }
        }
        recordStep(m_record.strategies, at).info = info;
        m_names[info.filePath].insert(info.name);
        const QString where = QStringLiteral("(%1, group %2)").arg(info.filePath, info.group);
        if (info.name == wanted)
            change(at, BundleAction::Add, QStringLiteral("%1 %2").arg(info.name, where));
        else
            change(at, BundleAction::Rename,
                   QStringLiteral("%1 as %2 %3: the file has a fixed strategy named %1").arg(wanted, info.name, where));
    }
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
        recordStep(m_record.locks, at).filePath = path;
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
        recordStep(m_record.instances, at).info = info;
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
        recordStep(m_record.days, at).day = day;
        change(at, BundleAction::Add, QStringLiteral("the day %1").arg(which));
    }
    return true;
}

// Remembered values are the user's choice: set only where there is none.
bool BundleImporter::walkValues()
{
    StrategyFileLogicHandler &f = m_handler;
    walkValue(QStringLiteral("lastProduct"), QStringLiteral("product"), m_document.lastProduct, f.getLastProduct());
    walkValue(QStringLiteral("lastFundAccount"), QStringLiteral("fund account"), m_document.lastFundAccount,
              f.getLastFundaccount());
    walkValue(QStringLiteral("pythonPath"), QStringLiteral("Python path"), m_document.pythonPath,
              f.getPYInstallPath());
    return true;
}

void BundleImporter::walkValue(const QString &key, const QString &what, const QString &value, const QString &current)
{
    if (value.isEmpty())
        return;
    const QString at = BundleText::member(QString(), key);
    if (!current.isEmpty()) {
        change(at, BundleAction::Keep,
               current == value ? QStringLiteral("the %1 is %2 already").arg(what, current)
                                : QStringLiteral("the %1 stays %2").arg(what, current));
        return;
    }
    ImportRecord::Value &recorded = recordStep(m_record.values, at);
    recorded.key = key;
    recorded.value = value;
    change(at, BundleAction::Set, QStringLiteral("the %1 %2").arg(what, value));
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
