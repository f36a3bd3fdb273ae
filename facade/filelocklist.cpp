#include "filelocklist.h"

#include "storage/strategylogging.h"
#include "storage/strategysqlite.h"

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
    QWriteLocker locker(&m_lockFileListLock);
    const bool locked = m_lockFileList.contains(filePath);
    if (lock && !locked) {
        if (!StrategySqlite::instance().addStrategyFileInfo(filePath))
            return false;
        m_lockFileList.append(filePath);
    } else if (!lock && locked) {
        if (!StrategySqlite::instance().delStrategyFileInfo(filePath))
            return false;
        m_lockFileList.removeOne(filePath);
    }
    return true;
}

bool FileLockList::isLocked(const QString &filePath)
{
    QReadLocker locker(&m_lockFileListLock);
    return m_lockFileList.contains(filePath);
}
