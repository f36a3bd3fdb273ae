// The fixed-strategy registry of StrategyFileLogicHandler: loading at
// start-up, lookups, and adding, changing and removing fixed strategies.

#include "facade/strategyfilelogichandler.h"

#include "registry/fixedstrategyfile.h"
#include "registry/groupchangerecord.h"
#include "storage/strategysqlite.h"

#include <zqpath.h>

#include <QDateTime>
#include <QFile>

namespace {
bool canStore(const QString &name, const QString &filePath, const QString &group, const QString &extraInfo)
{
    return FixedStrategyFile::canHold(name) && FixedStrategyFile::canHold(filePath)
           && FixedStrategyFile::canHold(group) && FixedStrategyFile::canHold(extraInfo);
}
} // namespace

bool StrategyFileLogicHandler::writeDataFile()
{
    // The folder the data file was read from: the user id's.
    return StrategySqlite::instance().writeFixedStrategyInfoToFile(getCurUserId());
}

void StrategyFileLogicHandler::initStrategyFileInfo()
{
    readFixedStrategyGroups();
    // A change of two files that a process did not finish is finished
    // first, on what the two files gave, so that this start sees what the
    // finished change would have left.
    GroupChangeRecord change;
    const bool redo = readInterruptedGroupChange(&change);
    if (redo)
        redoGroupChangeOnGroups(change);
    checkAndAddAutoStart();

    bool groupsAdded = false;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        QList<FixedStrategyInfo> records = StrategySqlite::instance().queryFixedStrategyInfoList(getCurUserId());
        if (redo)
            redoGroupChangeOnRecords(change, &records);
        for (const FixedStrategyInfo &info : qAsConst(records)) {
            if (m_fixedStrategyMap.contains(info.id))
                continue; // the first record of an id wins
            m_fixedStrategyMap.insert(info.id, info);
            m_fixedSrategyNameMap[info.filePath].append(info.name);
            if (!m_groupMap.contains(info.group)) {
                m_groupMap.insert(info.group, SarvekGroupInfo{info.group, QDateTime::currentSecsSinceEpoch()});
                groupsAdded = true;
            }
        }
        if (lcStrategyLogic().isDebugEnabled())
            SL_DEBUG << "StrategyFileLogicHandler::initStrategyFileInfo" << "m_fixedSrategyNameMap "
                     << m_fixedSrategyNameMap;
    }
    if (redo) {
        const bool written = writeDataFile();
        if (saveFixedStrategyGroup() && written)
            QFile::remove(groupChangeRecordPath());
    } else if (groupsAdded) {
        saveFixedStrategyGroup();
    }
    loadLockFileList();
}

QList<FixedStrategyInfo> StrategyFileLogicHandler::getFixedStrategyList()
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

FixedStrategyInfo StrategyFileLogicHandler::getFixedStrateyInfoByID(const int &id)
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedStrategyMap.value(qint64(id));
}

FixedStrategyInfo StrategyFileLogicHandler::getLastFixedStrategyInfo()
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedStrategyMap.isEmpty() ? FixedStrategyInfo() : m_fixedStrategyMap.last();
}

QStringList StrategyFileLogicHandler::getFixedStrateNameList(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    return m_fixedSrategyNameMap.value(filePath);
}

bool StrategyFileLogicHandler::isFixedStrategy(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    SL_DEBUG << "StrategyFileLogicHandler::isFixedStrategy" << m_fixedSrategyNameMap;
    auto it = m_fixedSrategyNameMap.constFind(filePath);
    return it != m_fixedSrategyNameMap.cend() && !it->isEmpty();
}

bool StrategyFileLogicHandler::isContainsFixedStrategy(const QString &filePath, const QString &name)
{
    QReadLocker locker(&m_fixedStrategyLock);
    SL_DEBUG << "StrategyFileLogicHandler::isContainsFixedStrategy" << m_fixedSrategyNameMap << filePath << name;
    auto it = m_fixedSrategyNameMap.constFind(filePath);
    return it != m_fixedSrategyNameMap.cend() && it->contains(name);
}

QString StrategyFileLogicHandler::GetDefaultFixedStrategyName(const QString &filePath)
{
    QReadLocker locker(&m_fixedStrategyLock);
    const QStringList names = m_fixedSrategyNameMap.value(filePath);
    SL_DEBUG << "StrategyFileLogicHandler::GetDefaultFixedStrategyName" << names << m_fixedSrategyNameMap;
    const QString base = ZqPath::baseName(filePath);
    if (!names.contains(base))
        return base;
    for (qint64 n = 1;; ++n) {
        const QString candidate = base + QString::number(n);
        if (!names.contains(candidate))
            return candidate;
    }
}

bool StrategyFileLogicHandler::addFixedStrategy(QString filePath, QString name, QString group, QString extraInfo,
                                                int count)
{
    SL_DEBUG << "StrategyFileLogicHandler::addFixedStrategy" << filePath << name << group << extraInfo << count;
    if (refusesRegistryChange("StrategyFileLogicHandler::addFixedStrategy"))
        return false;
    if (!canStore(name, filePath, group, extraInfo)) {
        SL_WARNING << "StrategyFileLogicHandler::addFixedStrategy"
                   << "refused: a text holds \",%&\", a line feed, a carriage return or a NUL, which the data file cannot hold";
        return false;
    }
    StrategySqlite &store = StrategySqlite::instance();
    bool result = true;
    for (int i = 0; i < count; ++i) {
        const QString copyName = i == 0 ? name : name + QLatin1Char('_') + QString::number(i);
        SL_DEBUG << "add begin " << i;
        {
            // The checks and the insert under one lock: two callers cannot
            // both register the same name for the same file.
            QWriteLocker locker(&m_fixedStrategyLock);
            if (!m_groupMap.contains(group)) {
                SL_DEBUG << "不包含的分组" << group;
                return false;
            }
            if (m_fixedSrategyNameMap.value(filePath).contains(copyName)) {
                SL_DEBUG << "已经存在该固化对象" << filePath << copyName;
                return false;
            }
            SL_DEBUG << "begin insertStrategyInfo " << i;
            const qint64 id = store.insertStrategyInfo(copyName, filePath, group, extraInfo, i);
            SL_DEBUG << "end insertStrategyInfo " << i << id;
            if (id < 1 || m_fixedStrategyMap.contains(id)) {
                result = false;
            } else {
                // Listed whenever registered, also after an earlier copy's id
                // was rejected: every record's name stays under its path.
                m_fixedStrategyMap.insert(id, FixedStrategyInfo{id, copyName, filePath, group, extraInfo, i});
                m_fixedSrategyNameMap[filePath].append(copyName);
            }
            SL_DEBUG << "end insertStrategyInfo2 " << i << id << result;
        }
        SL_DEBUG << "add end " << i << result;
    }
    SL_DEBUG << "addFixedStrategy over";
    if (!writeDataFile())
        result = false;
    SL_DEBUG << "addFixedStrategy write file over";
    emit signalAddStrategy();
    return result;
}

bool StrategyFileLogicHandler::modifyFixedStrategyInfo(int id, const FixedStrategyInfo &info)
{
    if (refusesRegistryChange("StrategyFileLogicHandler::modifyFixedStrategyInfo"))
        return false;
    if (!canStore(info.name, info.filePath, info.group, info.extraInfo)) {
        SL_WARNING << "StrategyFileLogicHandler::modifyFixedStrategyInfo"
                   << "refused: a text holds \",%&\", a line feed, a carriage return or a NUL, which the data file cannot hold";
        return false;
    }
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
        *it = changed;
    }
    emit signalStrategyModifyed(id);
    return writeDataFile();
}

bool StrategyFileLogicHandler::modifyeStrategyFilePath(QString oldFilePath, QString newFilePath)
{
    if (oldFilePath.isEmpty() || newFilePath.isEmpty())
        return false;
    if (oldFilePath == newFilePath)
        return true;
    if (refusesRegistryChange("StrategyFileLogicHandler::modifyeStrategyFilePath"))
        return false;
    if (!FixedStrategyFile::canHold(newFilePath)) {
        SL_WARNING << "StrategyFileLogicHandler::modifyeStrategyFilePath"
                   << "refused: the path holds \",%&\", a line feed, a carriage return or a NUL";
        return false;
    }
    bool result = true;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        m_fixedSrategyNameMap.remove(oldFilePath);
        StrategySqlite &store = StrategySqlite::instance();
        for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end(); ++it) {
            if (it->filePath != oldFilePath)
                continue;
            if (!store.modifyFixedStrategyFilePath(it.key(), newFilePath)) {
                result = false;
                break;
            }
            it->filePath = newFilePath;
            m_fixedSrategyNameMap[newFilePath].append(it->name);
        }
    }
    const bool written = writeDataFile();
    if (result)
        emit signalFixedStrategyFileChanged(oldFilePath, newFilePath);
    return result && written;
}

bool StrategyFileLogicHandler::delFixedStrategyInfoByFilePath(QString filePath)
{
    SL_DEBUG << "StrategyFileLogicHandler::delFixedStrategyInfoByFilePath" << filePath;
    if (refusesRegistryChange("StrategyFileLogicHandler::delFixedStrategyInfoByFilePath"))
        return false;
    QList<int> removed;
    bool result = true;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        StrategySqlite &store = StrategySqlite::instance();
        for (auto it = m_fixedStrategyMap.begin(); it != m_fixedStrategyMap.end();) {
            if (it->filePath != filePath) {
                ++it;
                continue;
            }
            if (!store.delFixedStrategyInfo(it.key())) {
                result = false;
                break;
            }
            removed.append(int(it.key()));
            it = m_fixedStrategyMap.erase(it);
        }
        if (result)
            m_fixedSrategyNameMap.remove(filePath);
    }
    if (result)
        emit signalFixedStrategyFileRemoved(removed.isEmpty() ? 0 : removed.first());
    if (!writeDataFile())
        result = false;
    SL_DEBUG << "StrategyFileLogicHandler::delFixedStrategyInfoByFilePath" << result;
    return result;
}

bool StrategyFileLogicHandler::delFixedStrategyInfoByID(qint64 id)
{
    if (id < 0 || refusesRegistryChange("StrategyFileLogicHandler::delFixedStrategyInfoByID"))
        return false;
    {
        QWriteLocker locker(&m_fixedStrategyLock);
        auto it = m_fixedStrategyMap.find(id);
        if (it == m_fixedStrategyMap.end()) {
            locker.unlock();
            writeDataFile();
            return false;
        }
        StrategySqlite::instance().delFixedStrategyInfo(id);
        const FixedStrategyInfo info = it.value();
        m_fixedStrategyMap.erase(it);
        auto names = m_fixedSrategyNameMap.find(info.filePath);
        if (names != m_fixedSrategyNameMap.end()) {
            names->removeOne(info.name);
            if (names->isEmpty())
                m_fixedSrategyNameMap.erase(names);
        }
        SL_DEBUG << "m_fixedSrategyNameMap 2" << m_fixedSrategyNameMap;
    }
    const bool written = writeDataFile();
    emit signalFixedStrategyFileRemoved(int(id));
    return written;
}
