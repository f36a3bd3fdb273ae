#include "filelocklist.h"

#include "storage/changehistory.h"
#include "storage/strategylogging.h"
#include "storage/strategysqlite.h"

FileLockList::FileLockList(ChangeHistory &history)
    : m_history(history)
{
}

void FileLockList::load(const QStringList &groups)
{
    QWriteLocker locker(&m_lockFileListLock);
    int err = 0;
    m_lockFileList = StrategySqlite::instance().queryStrategyFileInfo(err);
    SL_DEBUG << "StrategyFileLogicHandler::initStrategyFileInfo" << "m_lockFileList size:" << m_lockFileList.size()
             << groups;
}

bool FileLockList::change(const QString &filePath, bool lock)
{
    {
        QWriteLocker locker(&m_lockFileListLock);
        const bool locked = m_lockFileList.contains(filePath);
        if (lock && !locked) {
            if (!StrategySqlite::instance().addStrategyFileInfo(filePath))
                return false;
            m_lockFileList.append(filePath);
            m_history.record(ChangeHistory::Locks, "lock.on", QByteArray(), ChangeHistory::lockRecord(filePath));
        } else if (!lock && locked) {
            if (!StrategySqlite::instance().delStrategyFileInfo(filePath))
                return false;
            m_lockFileList.removeOne(filePath);
            m_history.record(ChangeHistory::Locks, "lock.off", ChangeHistory::lockRecord(filePath), QByteArray());
        } else {
            return true; // nothing changes
        }
    }
    m_history.stored(ChangeHistory::Locks); // the table holds it already
    return true;
}

QStringList FileLockList::list()
{
    QStringList paths;
    {
        QReadLocker locker(&m_lockFileListLock);
        paths = m_lockFileList;
    }
    paths.removeDuplicates();
    paths.sort();
    return paths;
}

bool FileLockList::isLocked(const QString &filePath)
{
    QReadLocker locker(&m_lockFileListLock);
    return m_lockFileList.contains(filePath);
}
