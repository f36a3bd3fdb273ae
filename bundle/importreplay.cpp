#include "bundle/importreplay.h"

#include "facade/strategyfilelogichandler_p.h"
#include "registry/fixedstrategyregistry.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/setasidefile.h"
#include "storage/strategylogging.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFile>
#include <QSet>

namespace {
int s_step = 0;

// `message`, and why when the plug-in said so: its refusal of the step.
QString withReason(const QString &message, const StrategyLogic::Refusal &refusal)
{
    return refusal.isRefused() && !refusal.reason.isEmpty() ? message + QStringLiteral(": ") + refusal.reason
                                                            : message;
}

QString keyOf(const QString &filePath, const QString &name) { return filePath + QChar(0) + name; }
} // namespace

ImportReplay::ImportReplay(StrategyFileLogicHandler &handler, const ImportRecord &record)
    : m_handler(handler)
    , m_record(record)
{
}

std::function<void(int)> &ImportReplay::stepHook()
{
    static std::function<void(int)> hook;
    return hook;
}

void ImportReplay::resetSteps() { s_step = 0; }

void ImportReplay::reached()
{
    if (stepHook())
        stepHook()(s_step);
    ++s_step;
}

bool ImportReplay::run()
{
    {
        // The data file is written once for all the strategies.
        FixedStrategyRegistry::WriteHold hold;
        if (!removeStrategies() || !removeGroups() || !addGroups() || !addStrategies())
            return false;
    }
    if (!writeStrategies())
        return false;
    return lockFiles() && registerInstances() && recordDays() && setValues();
}

bool ImportReplay::writeStrategies()
{
    if (m_record.removals.isEmpty() && m_record.strategies.isEmpty())
        return true;
    if (StrategyFileLogicHandlerPrivate::writeDataFile(m_handler, "ImportReplay::writeStrategies"))
        return true;
    // Neither the removals nor the strategies are stored.
    ImportRecord::Step first;
    if (!m_record.removals.isEmpty())
        first = m_record.removals.first();
    else
        first = m_record.strategies.first();
    return stopped(first, first.at.isEmpty()
                              ? QStringLiteral("the fixed strategies of the import were not stored")
                              : QStringLiteral("the fixed strategies from %1 on were not stored").arg(first.at));
}

bool ImportReplay::storePending()
{
    return !StrategyCompilerCommerFuncs::isInstanceAlive() || StrategyCompilerCommerFuncs::instance()->finish();
}

void ImportReplay::finishInterrupted(StrategyFileLogicHandler &handler, const QString &installationFolder)
{
    constexpr char Function[] = "ImportReplay::finishInterrupted";
    const QString path = ImportRecord::pathFor(installationFolder, handler.getCurUserId());
    ImportRecord record;
    QString error;
    const auto setAside = [&](const QString &why) {
        QString moveError;
        const QString aside = SetAsideFile::move(path, &moveError);
        SL_CRITICAL << Function << why << "- the record is kept as"
                    << (aside.isEmpty() ? path + QStringLiteral(" (") + moveError + QLatin1Char(')') : aside);
    };
    switch (ImportRecord::read(path, &record, &error)) {
    case ImportRecord::Missing: return;
    case ImportRecord::Damaged: setAside(QStringLiteral("cannot read the interrupted import %1: %2").arg(path, error)); return;
    case ImportRecord::Read: break;
    }
    SL_WARNING << Function << "an import of" << record.bundle << "was interrupted; it is finished now";
    ImportReplay replay(handler, record);
    if (!replay.run()) {
        setAside(QStringLiteral("the interrupted import of %1 cannot be finished: %2")
                     .arg(record.bundle, replay.message()));
        return;
    }
    if (!storePending()) {
        SL_CRITICAL << Function << "the rows of the interrupted import of" << record.bundle
                    << "are not stored; its record stays for the next start";
        return;
    }
    if (!QFile::remove(path))
        SL_CRITICAL << Function << "cannot remove the finished import record" << path;
}

// The strategies of a replace go by their ids, which no new strategy has:
// a file all of whose strategies go is removed whole, as a user removes it.
bool ImportReplay::removeStrategies()
{
    if (m_record.removals.isEmpty())
        return true;
    QSet<qint64> removed;
    for (const ImportRecord::Removal &r : m_record.removals)
        removed.insert(r.id);
    QHash<QString, QList<qint64>> idsOfFile;
    for (const FixedStrategyInfo &info : m_handler.getFixedStrategyList())
        idsOfFile[info.filePath].append(info.id);
    for (const ImportRecord::Removal &r : m_record.removals) {
        const QList<qint64> ids = idsOfFile.take(r.filePath);
        if (ids.isEmpty())
            continue;
        const bool whole = std::all_of(ids.cbegin(), ids.cend(), [&](qint64 id) { return removed.contains(id); });
        bool done = true;
        if (whole) {
            done = m_handler.delFixedStrategyInfoByFilePath(r.filePath);
        } else {
            for (qint64 id : ids) {
                if (removed.contains(id) && !(done = m_handler.delFixedStrategyInfoByID(id)))
                    break;
            }
        }
        if (!done)
            return stopped(r, QStringLiteral("the fixed strategies of %1 were not removed").arg(r.filePath));
        reached();
    }
    return true;
}

bool ImportReplay::removeGroups()
{
    if (m_record.groupRemovals.isEmpty())
        return true;
    QSet<QString> there;
    for (const SarvekGroupInfo &group : m_handler.getAllStrategyGroups())
        there.insert(group.name);
    for (const ImportRecord::GroupRemoval &r : m_record.groupRemovals) {
        if (!there.contains(r.name))
            continue;
        if (!m_handler.deleteGroup(r.name, false))
            return stopped(r, QStringLiteral("the group %1 was not removed").arg(r.name));
        reached();
    }
    return true;
}

bool ImportReplay::addGroups()
{
    QSet<QString> there;
    for (const SarvekGroupInfo &group : m_handler.getAllStrategyGroups())
        there.insert(group.name);
    for (const ImportRecord::Group &g : m_record.groups) {
        if (there.contains(g.group.name))
            continue;
        // The group keeps the creation time it has in the bundle.
        const QString message = m_handler.addGroupCreatedAt(g.group.name, g.group.createTime);
        if (!message.isEmpty())
            return stopped(g, message, Cause::Explained);
        reached();
    }
    return true;
}

// A strategy is there when its file has a strategy of its name: the import
// chose names its file did not have.
bool ImportReplay::addStrategies()
{
    QHash<QString, FixedStrategyInfo> there;
    if (!m_record.strategies.isEmpty()) {
        for (const FixedStrategyInfo &info : m_handler.getFixedStrategyList())
            there.insert(keyOf(info.filePath, info.name), info);
    }
    for (const ImportRecord::Strategy &s : m_record.strategies) {
        const FixedStrategyInfo &info = s.info;
        FixedStrategyInfo added = there.value(keyOf(info.filePath, info.name));
        if (added.id < 1) {
            if (!m_handler.addFixedStrategy(info.filePath, info.name, info.group, info.extraInfo, 1))
                return stopped(s, QStringLiteral("the fixed strategy %1 (%2) was not added").arg(info.name, info.filePath));
            reached();
            // New ids are above every stored one: the new record is the
            // last, unless the id sequence misbehaved.
            added = m_handler.getLastFixedStrategyInfo();
            if (added.filePath != info.filePath || added.name != info.name) {
                for (const FixedStrategyInfo &other : m_handler.getFixedStrategyList()) {
                    if (other.filePath == info.filePath && other.name == info.name)
                        added = other;
                }
            }
        }
        if (added.copyIndex == info.copyIndex)
            continue;
        FixedStrategyInfo changed = info;
        changed.id = added.id;
        if (added.id < 1 || !m_handler.modifyFixedStrategyInfo(int(added.id), changed))
            return stopped(s, QStringLiteral("the copy index of %1 (%2) was not set").arg(info.name, info.filePath));
        reached();
    }
    return true;
}

bool ImportReplay::lockFiles()
{
    for (const ImportRecord::Lock &l : m_record.locks) {
        if (m_handler.getFileLockState(l.filePath))
            continue;
        if (!m_handler.changeFileLockState(l.filePath, true))
            return stopped(l, QStringLiteral("the local database did not take the lock of %1").arg(l.filePath),
                           Cause::Storage);
        reached();
    }
    return true;
}

bool ImportReplay::registerInstances()
{
    for (const ImportRecord::Instance &i : m_record.instances) {
        const InstanceInfo &info = i.info;
        InstanceInfo there = m_handler.getInstanceInfo(info.instanceId);
        if (there.instanceId.isEmpty() && m_handler.getInstanceRunMode(info.instanceId) == OPERATE_UNKNOWN) {
            if (!m_handler.addInstanceRunMode(info.instanceId, info.runMode, info.fundAccount, info.returnRegInfo))
                return stopped(i, QStringLiteral("the instance %1 was not registered").arg(info.instanceId));
            reached();
            there = m_handler.getInstanceInfo(info.instanceId);
        }
        if (!info.startTime.isValid() || (there.startTime == info.startTime && there.endTime == info.endTime))
            continue;
        if (!m_handler.setInstanceStartEndTime(info.instanceId, info.startTime, info.endTime))
            return stopped(
                i, QStringLiteral("the local database did not take the times of instance %1").arg(info.instanceId),
                Cause::Storage);
        reached();
    }
    return true;
}

bool ImportReplay::recordDays()
{
    for (const ImportRecord::Day &d : m_record.days) {
        const BackTestCashInfo &day = d.day;
        double initial = 0;
        double end = 0;
        if (m_handler.queryBackTestCashInfo(day.instanceId, day.date, initial, end) && initial == day.initialFunds
            && end == day.endFunds)
            continue;
        m_handler.addBackTestInitCashInfo(day.instanceId, day.date, day.initialFunds);
        // The start's refusal, if any, is the cause: the end call clears it.
        const StrategyLogic::Refusal started = StrategyLogic::lastRefusal();
        m_handler.addBackTestInitCashEndInfo(day.instanceId, day.date, day.endFunds);
        if (!m_handler.queryBackTestCashInfo(day.instanceId, day.date, initial, end) || initial != day.initialFunds
            || end != day.endFunds) {
            const QString which
                = QStringLiteral("%1 of instance %2").arg(day.date.toString(Qt::ISODate), day.instanceId);
            return stopped(d, QStringLiteral("the day %1 was not recorded").arg(which), Cause::Unexplained,
                           started.isRefused() ? started : StrategyLogic::lastRefusal());
        }
        reached();
    }
    return true;
}

bool ImportReplay::setValues()
{
    StrategyFileLogicHandler &f = m_handler;
    for (const ImportRecord::Value &v : m_record.values) {
        std::function<QString()> get;
        std::function<void(const QString &)> set;
        QString what;
        if (v.key == QLatin1String("lastProduct")) {
            what = QStringLiteral("product");
            get = [&f] { return f.getLastProduct(); };
            set = [&f](const QString &value) { f.setLastProduct(value); };
        } else if (v.key == QLatin1String("lastFundAccount")) {
            what = QStringLiteral("fund account");
            get = [&f] { return f.getLastFundaccount(); };
            set = [&f](const QString &value) { f.setLastFundaccount(value); };
        } else if (v.key == QLatin1String("pythonPath")) {
            what = QStringLiteral("Python path");
            get = [&f] { return f.getPYInstallPath(); };
            set = [&f](const QString &value) { f.setPYInstallPath(value); };
        } else {
            continue;
        }
        if (get() == v.value)
            continue;
        set(v.value);
        if (get() != v.value)
            return stopped(v, QStringLiteral("the %1 was not set").arg(what));
        reached();
    }
    return true;
}

bool ImportReplay::stopped(const ImportRecord::Step &step, const QString &message, Cause cause)
{
    return stopped(step, message, cause, StrategyLogic::lastRefusal());
}

bool ImportReplay::stopped(const ImportRecord::Step &step, const QString &message, Cause cause,
                           const StrategyLogic::Refusal &refusal)
{
    m_stoppedRow = step.row;
    m_stoppedAt = step.at;
    m_storageFailed = cause == Cause::Storage;
    m_refusal = refusal;
    m_message = cause == Cause::Unexplained ? withReason(message, refusal) : message;
    return false;
}
