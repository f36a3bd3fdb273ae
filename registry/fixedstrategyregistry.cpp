#include "fixedstrategyregistry.h"

#include "storage/changehistory.h"
#include "storage/strategylogging.h"
#include "storage/strategysqlite.h"

#include <zqpath.h>

#include <QSet>

#include <algorithm>
#include <vector>

FixedStrategyRegistry::FixedStrategyRegistry(ChangeHistory &history)
    : m_history(history)
{
}

void FixedStrategyRegistry::setUserFolder(const QString &userFolder)
{
    m_userFolder = userFolder;
}

QVector<FixedStrategyInfo> FixedStrategyRegistry::storedRecords()
{
    return StrategySqlite::instance().fixedStrategyRecords(m_userFolder);
}

namespace {
// A record's position in a loaded list. A type of this file's own, so that
// the sort's templates stay inside the library rather than being exported
// with the standard library's visibility.
struct Position
{
    int at;
};
} // namespace

QStringList FixedStrategyRegistry::load(const QVector<FixedStrategyInfo> &records)
{
    // The groups the records name, each once, in the order first named.
    QStringList groups;
    QSet<QString> named;
    // Into an empty name map the records go sorted by path, each at the end
    // of the map: half the comparisons of a search per record.
    std::vector<Position> byPath;
    QWriteLocker locker(&m_fixedStrategyLock);
    const bool sortNames = m_fixedSrategyNameMap.isEmpty();
    if (sortNames)
        byPath.reserve(size_t(records.size()));
    // The highest id held, kept here: asking the map walks its tree.
    bool anyId = !m_fixedStrategyMap.isEmpty();
    qint64 highestId = anyId ? m_fixedStrategyMap.lastKey() : 0;
    for (int i = 0; i < records.size(); ++i) {
        const FixedStrategyInfo &info = records.at(i);
        // A data file is written in ascending ids: a record above the
        // highest goes to the end at once, without a search.
        if (!anyId || info.id > highestId) {
            m_fixedStrategyMap.insert(m_fixedStrategyMap.cend(), info.id, info);
            anyId = true;
            highestId = info.id;
        } else {
            auto at = m_fixedStrategyMap.lowerBound(info.id);
            if (at != m_fixedStrategyMap.end() && at.key() == info.id)
                continue; // the first record of an id wins
            m_fixedStrategyMap.insert(at, info.id, info);
        }
        if (sortNames)
            byPath.push_back({i});
        else
            m_fixedSrategyNameMap[info.filePath].append(info.name);
        if ((groups.isEmpty() || groups.constLast() != info.group) && !named.contains(info.group)) {
            named.insert(info.group);
            groups.append(info.group);
        }
    }
    // Stable: the names of one path stay in file order.
    std::stable_sort(byPath.begin(), byPath.end(), [&records](Position a, Position b) {
        return records.at(a.at).filePath < records.at(b.at).filePath;
    });
    // The last entry is kept here too (a map's iterators outlive inserts).
    auto last = m_fixedSrategyNameMap.end();
    for (const Position position : byPath) {
        const FixedStrategyInfo &info = records.at(position.at);
        if (last != m_fixedSrategyNameMap.end() && last.key() == info.filePath)
            last->append(info.name);
        else
            last = m_fixedSrategyNameMap.insert(m_fixedSrategyNameMap.cend(), info.filePath, QStringList{info.name});
    }
    if (lcStrategyLogic().isDebugEnabled())
        SL_DEBUG << "StrategyFileLogicHandler::initStrategyFileInfo" << "m_fixedSrategyNameMap " << m_fixedSrategyNameMap;
    return groups;
}

namespace {
thread_local int t_writeHolds = 0;
} // namespace

FixedStrategyRegistry::WriteHold::WriteHold() { ++t_writeHolds; }
FixedStrategyRegistry::WriteHold::~WriteHold() { --t_writeHolds; }

bool FixedStrategyRegistry::writeDataFile()
{
    if (t_writeHolds > 0)
        return true;
    if (!StrategySqlite::instance().writeFixedStrategyInfoToFile(m_userFolder))
        return false;
    m_history.stored(ChangeHistory::Strategies);
    return true;
}

QList<FixedStrategyInfo> FixedStrategyRegistry::list()
{
    QList<FixedStrategyInfo> list;
    QReadLocker locker(&m_fixedStrategyLock);
    list.reserve(m_fixedStrategyMap.size());
    for (const FixedStrategyInfo &info : qAsConst(m_fixedStrategyMap)) {
        if (!info.name.isEmpty())
            list.append(info);
    }
    return list;
}

FixedStrategyInfo FixedStrategyRegistry::byId(qint64 id)
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedStrategyMap.value(id);
}

FixedStrategyInfo FixedStrategyRegistry::last()
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedStrategyMap.isEmpty() ? FixedStrategyInfo() : m_fixedStrategyMap.last();
}

QStringList FixedStrategyRegistry::names(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedSrategyNameMap.value(filePath);
}

bool FixedStrategyRegistry::isFixed(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    SL_DEBUG << "StrategyFileLogicHandler::isFixedStrategy" << m_fixedSrategyNameMap;
    auto it = m_fixedSrategyNameMap.constFind(filePath);
    return it != m_fixedSrategyNameMap.cend() && !it->isEmpty();
}

bool FixedStrategyRegistry::contains(const QString &filePath, const QString &name)
{
    QReadLocker locker(&m_fixedStrategyLock);
    SL_DEBUG << "StrategyFileLogicHandler::isContainsFixedStrategy" << m_fixedSrategyNameMap << filePath << name;
    auto it = m_fixedSrategyNameMap.constFind(filePath);
    return it != m_fixedSrategyNameMap.cend() && it->contains(name);
}

QString FixedStrategyRegistry::defaultName(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    const QStringList names = m_fixedSrategyNameMap.value(filePath);
    SL_DEBUG << "StrategyFileLogicHandler::GetDefaultFixedStrategyName" << names << m_fixedSrategyNameMap;
    return defaultName(filePath, names);
}

QString FixedStrategyRegistry::defaultName(const QString &filePath, const QStringList &taken)
{
    return defaultName(filePath, QSet<QString>(taken.cbegin(), taken.cend()), nullptr);
}

QString FixedStrategyRegistry::defaultName(const QString &filePath, const QSet<QString> &taken, qint64 *from)
{
    const QString base = ZqPath::baseName(filePath);
    if (!taken.contains(base))
        return base;
    qint64 first = 1;
    qint64 &n = from ? *from : first;
    for (n = qMax<qint64>(n, 1);; ++n) {
        const QString candidate = base + QString::number(n);
        if (!taken.contains(candidate))
            return candidate;
    }
}

FixedStrategyRegistry::AddResult FixedStrategyRegistry::addCopy(const QString &filePath, const QString &name,
                                                                const QString &group, const QString &extraInfo,
                                                                int copyIndex, qint64 *id)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    if (m_fixedSrategyNameMap.value(filePath).contains(name)) {
        SL_DEBUG << "已经存在该固化对象" << filePath << name;
        return AddResult::NameTaken;
    }
    SL_DEBUG << "begin insertStrategyInfo " << copyIndex;
    *id = StrategySqlite::instance().insertStrategyInfo(name, filePath, group, extraInfo, copyIndex);
    SL_DEBUG << "end insertStrategyInfo " << copyIndex << *id;
    if (*id < 1 || m_fixedStrategyMap.contains(*id))
        return AddResult::IdRejected;
    const FixedStrategyInfo info{*id, name, filePath, group, extraInfo, copyIndex};
    m_fixedStrategyMap.insert(*id, info);
    m_fixedSrategyNameMap[filePath].append(name);
    m_history.record(ChangeHistory::Strategies, "strategy.add", QByteArray(), ChangeHistory::strategyRecord(info));
    return AddResult::Added;
}

bool FixedStrategyRegistry::modify(int id, const FixedStrategyInfo &info)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    auto it = m_fixedStrategyMap.find(qint64(id));
    if (it == m_fixedStrategyMap.end())
        return false;
    // The record keeps its id: store and registry change the same record.
    FixedStrategyInfo changed = info;
    changed.id = id;
    StrategySqlite::instance().modifyFixedStrategyInfo(changed);
    if (it->name != changed.name || it->filePath != changed.filePath) {
        auto old = m_fixedSrategyNameMap.find(it->filePath);
        if (old != m_fixedSrategyNameMap.end()) {
            old->removeOne(it->name);
            if (old->isEmpty())
                m_fixedSrategyNameMap.erase(old);
        }
        m_fixedSrategyNameMap[changed.filePath].append(changed.name);
    }
    if (*it != changed)
        m_history.record(ChangeHistory::Strategies, "strategy.modify", ChangeHistory::strategyRecord(*it),
                         ChangeHistory::strategyRecord(changed));
    *it = changed;
    return true;
}

bool FixedStrategyRegistry::moveFile(const QString &from, const QString &to)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    m_fixedSrategyNameMap.remove(from);
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end(); ++it) {
        if (it->filePath != from)
            continue;
        if (!store.modifyFixedStrategyFilePath(it.key(), to))
            return false;
        const QByteArray before = ChangeHistory::strategyRecord(*it);
        it->filePath = to;
        m_fixedSrategyNameMap[to].append(it->name);
        m_history.record(ChangeHistory::Strategies, "strategy.move", before, ChangeHistory::strategyRecord(*it));
    }
    return true;
}

bool FixedStrategyRegistry::removeFile(const QString &filePath, QList<int> *removed)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end();) {
        if (it->filePath != filePath) {
            ++it;
            continue;
        }
        if (!store.delFixedStrategyInfo(it.key()))
            return false;
        m_history.record(ChangeHistory::Strategies, "strategy.remove", ChangeHistory::strategyRecord(*it),
                         QByteArray());
        removed->append(int(it.key()));
        it = m_fixedStrategyMap.erase(it);
    }
    m_fixedSrategyNameMap.remove(filePath);
    return true;
}

bool FixedStrategyRegistry::removeId(qint64 id)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    auto it = m_fixedStrategyMap.find(id);
    if (it == m_fixedStrategyMap.end())
        return false;
    StrategySqlite::instance().delFixedStrategyInfo(id);
    const FixedStrategyInfo info = it.value();
    m_fixedStrategyMap.erase(it);
    m_history.record(ChangeHistory::Strategies, "strategy.remove", ChangeHistory::strategyRecord(info), QByteArray());
    auto names = m_fixedSrategyNameMap.find(info.filePath);
    if (names != m_fixedSrategyNameMap.end()) {
        names->removeOne(info.name);
        if (names->isEmpty())
            m_fixedSrategyNameMap.erase(names);
    }
    SL_DEBUG << "m_fixedSrategyNameMap 2" << m_fixedSrategyNameMap;
    return true;
}

void FixedStrategyRegistry::moveGroupRecords(const QString &from, const QString &to, const char *operation,
                                             int historyTargets)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    StrategySqlite &store = StrategySqlite::instance();
    for (FixedStrategyInfo &info : m_fixedStrategyMap) {
        if (info.group == from) {
            const QByteArray before = ChangeHistory::strategyRecord(info);
            info.group = to;
            store.modifyFixedStrategyInfo(info);
            if (from != to)
                m_history.record(historyTargets, operation, before, ChangeHistory::strategyRecord(info));
        }
    }
}

void FixedStrategyRegistry::removeGroupRecords(const QString &group, const char *operation, int historyTargets)
{
    QWriteLocker locker(&m_fixedStrategyLock);
    StrategySqlite &store = StrategySqlite::instance();
    for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end();) {
        if (it->group != group) {
            ++it;
            continue;
        }
        store.delFixedStrategyInfo(it.key());
        m_history.record(historyTargets, operation, ChangeHistory::strategyRecord(*it), QByteArray());
        auto names = m_fixedSrategyNameMap.find(it->filePath);
        if (names != m_fixedSrategyNameMap.end()) {
            names->removeOne(it->name);
            if (names->isEmpty())
                m_fixedSrategyNameMap.erase(names);
        }
        it = m_fixedStrategyMap.erase(it);
    }
}
