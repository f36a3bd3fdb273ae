#include "strategysqlite.h"

#include "storage/installationlayout.h"
#include "storage/setasidefile.h"
#include "storage/shutdownroutine.h"
#include "storage/sqltext.h"
#include "storage/strategylogging.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>
#include <zqmemsqlitemgr.h>

#include <QDir>
#include <QFileInfo>

#include <atomic>

namespace {
std::atomic<StrategySqlite *> s_instance{nullptr};
} // namespace

StrategySqlite &StrategySqlite::instance()
{
    static StrategySqlite store;
    // Armed once the store is complete, so that the shutdown routine runs
    // before the store is destroyed at process exit.
    static const bool armed = [] {
        s_instance = &store;
        ShutdownRoutine::arm();
        return true;
    }();
    Q_UNUSED(armed)
    return store;
}

bool StrategySqlite::isInstanceAlive()
{
    return s_instance.load() != nullptr;
}

StrategySqlite::StrategySqlite()
{
    cretateDataBase();
    // Before open(): the legacy migration draws new ids from this sequence.
    InterProcIdService::instance().registerIdService(InstallationLayout::IdService, -1);
    open();
    openDBByInstanceId(QString());
}

StrategySqlite::~StrategySqlite()
{
    StrategySqlite *self = this;
    s_instance.compare_exchange_strong(self, nullptr);
    delete m_dbMgr;
    m_dbMgr = nullptr;
    QMutexLocker locker(&m_simuDbMutex);
    delete m_simuDbMgr;
    m_simuDbMgr = nullptr;
}

QString StrategySqlite::databasePath() const
{
    return QStringLiteral("%1/%2").arg(ZqApplicationDir::path(), QLatin1String(InstallationLayout::DatabaseFile));
}

QString StrategySqlite::simuDatabasePath() const
{
    return QStringLiteral("%1/%2").arg(ZqApplicationDir::path(), QLatin1String(InstallationLayout::SimuTradeDatabaseFile));
}

bool StrategySqlite::isDatabaseOpen() const
{
    return m_dbMgr && m_dbMgr->getConn().isOpen();
}

void StrategySqlite::cretateDataBase()
{
    const QString dbName = databasePath();
    SL_DEBUG << "StrategySqlite::cretateDataBase" << "dbName" << dbName;
    m_dbMgr = new ZqMemSqliteMgr;
    // Another process holds the installation folder (this one was refused
    // it): the store reads, but creates, migrates, purges and writes nothing.
    m_readOnly = ZqFolderLock::isHeldElsewhere(ZqApplicationDir::path());
    if (m_readOnly) {
        SL_INFO << "StrategySqlite::cretateDataBase" << "another process holds the installation folder; reading only";
        m_dbMgr->setDbFilePathReadOnly(dbName.toUtf8().constData());
        return;
    }
    m_dbMgr->setDbFilePath(dbName.toUtf8().constData());
    if (!m_dbMgr->getConn().isOpen() && keepUnusableDatabaseAside(dbName))
        m_dbMgr->setDbFilePath(dbName.toUtf8().constData());
}

void StrategySqlite::becomeWritable()
{
    QMutexLocker locker(&m_schemaMutex);
    if (!m_readOnly)
        return;
    m_readOnly = false;
    const QString dbName = databasePath();
    m_dbMgr->setDbFilePath(dbName.toUtf8().constData());
    if (!m_dbMgr->getConn().isOpen() && keepUnusableDatabaseAside(dbName))
        m_dbMgr->setDbFilePath(dbName.toUtf8().constData());
    m_schemaReady = false;
    open();
}

bool StrategySqlite::keepUnusableDatabaseAside(const QString &path)
{
    constexpr int SqliteCorrupt = 11;
    constexpr int SqliteNotADatabase = 26;
    const int code = m_dbMgr->openError();
    const bool folder = QFileInfo(path).isDir();
    if (!folder && code != SqliteNotADatabase && code != SqliteCorrupt)
        return false; // busy, no access, ...: the file itself is not at fault
    QString error;
    const QString aside = SetAsideFile::move(path, &error);
    if (aside.isEmpty()) {
        SL_CRITICAL << "StrategySqlite::cretateDataBase" << path << "is not a database and cannot be moved aside:"
                    << error;
        return false;
    }
    // A journal beside the broken file belongs to it, not to the new one.
    for (const char *suffix : {"-journal", "-wal", "-shm"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion))
            QDir().rename(companion, aside + QLatin1String(suffix));
    }
    SL_CRITICAL << "StrategySqlite::cretateDataBase" << path
                << QStringLiteral("is not a database (%1); kept as").arg(folder ? QStringLiteral("a folder") : ZqMemSqliteMgr::errorText(code))
                << aside << "and a new one is created";
    return true;
}

bool StrategySqlite::open()
{
    if (!m_dbMgr->getConn().isOpen()) {
        SL_DEBUG << "Error: Failed to connect database.";
        return false;
    }
    if (m_readOnly) {
        m_schemaReady = true; // the holder's tables; none are created from here
        return true;
    }
    backupFixStrategyInfo();
    createSchema();
    return true;
}

void StrategySqlite::createSchema()
{
    // While another program holds the database every statement would wait
    // out the busy timeout and fail; one probe tells, and the tables are
    // then created by the first statement after the lock goes.
    int err = 0;
    m_dbMgr->execQuery("SELECT count(*) FROM sqlite_master", err);
    if (err != 0) {
        SL_INFO << "StrategySqlite::createSchema" << "database not available, tables not created yet; code" << err;
        return;
    }
    createStrategyFileInfoTable();
    createTableInstanceInfo();
    createBackTestDayCashTable();
    purgeEarlierDays("instance_info");
    purgeEarlierDays("backtest_daycash");
    m_schemaReady = m_dbMgr->tableExists("strategyfileinfo") && m_dbMgr->tableExists("instance_info")
                    && m_dbMgr->tableExists("backtest_daycash");
}

void StrategySqlite::ensureSchema()
{
    if (m_schemaReady)
        return;
    QMutexLocker locker(&m_schemaMutex);
    if (m_schemaReady || !m_dbMgr->getConn().isOpen())
        return;
    SL_INFO << "StrategySqlite::ensureSchema" << "creating the tables the start could not create";
    createSchema();
}

bool StrategySqlite::createStrategyFileInfoTable()
{
    int err = 0;
    m_dbMgr->execDML("create table  if not exists strategyfileinfo( file_path varchar(120)  primary key)", err);
    if (err != 0) {
        SL_INFO << "Error: Fail to create table strategyfileinfo." << err;
        return false;
    }
    SL_INFO << "Table created!";
    return true;
}

bool StrategySqlite::createTableInstanceInfo()
{
    int err = 0;
    m_dbMgr->execDML("create table  if not exists instance_info( instance_id varchar(120)  primary key ,  "
                     "run_mode varchar(4), fund_account varchar(255), return_reginfo varchar(255), "
                     "create_date varchar(255),start_time varchar(255),end_time varchar(255))",
                     err);
    if (err != 0)
        SL_INFO << "Error: Fail to create table instance_info." << err;
    else
        SL_INFO << "Table created!";

    // Tables of older versions lack some columns; on a current table each
    // statement fails harmlessly.
    struct Column
    {
        const char *statement;
        const char *added;
        const char *failed;
    };
    static const Column columns[] = {
        {"alter table instance_info add column fund_account VARCHAR(255)", "fund_account column added!",
         "fund_account column added failed!"},
        {"alter table instance_info add column return_reginfo VARCHAR(255)", "return_reginfo column added!",
         "return_reginfo column added failed!"},
        {"alter table instance_info add column create_date VARCHAR(255)", "create_date column added!",
         "create_date column added failed!"},
        {"alter table instance_info add column start_time VARCHAR(255)", nullptr, nullptr},
        {"alter table instance_info add column end_time VARCHAR(255)", nullptr, nullptr},
    };
    for (const Column &c : columns) {
        err = 0;
        m_dbMgr->execDML(c.statement, err);
        const char *line = err == 0 ? c.added : c.failed;
        if (line)
            SL_INFO << line;
    }
    return true;
}

bool StrategySqlite::createBackTestDayCashTable()
{
    int err = 0;
    m_dbMgr->execDML("create table  if not exists backtest_daycash( instance_id varchar(120)   ,  date varchar(255), "
                     "fund_account varchar(255), initial_funds varchar(255), end_funds varchar(255), "
                     "create_date varchar(255), primary key(instance_id, date) )",
                     err);
    if (err != 0) {
        SL_INFO << "Error: Fail to create table backtest_daycash." << err;
        return false;
    }
    SL_INFO << "backtest_daycash Table created!";
    return true;
}

void StrategySqlite::purgeEarlierDays(const char *table)
{
    // create_date holds eight-digit "yyyyMMdd" texts; compared with today's
    // number as text they follow date order, and NULL never matches. The
    // column's text affinity would turn a number into this very text for
    // every row compared: given as text, it is converted once.
    const QString sql = QStringLiteral("delete from %1 where create_date<'%2'")
                            .arg(QLatin1String(table))
                            .arg(SqlText::todayNumber());
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
}

bool StrategySqlite::addStrategyFileInfo(QString filePath)
{
    ensureSchema();
    const QString sql =
        QStringLiteral("INSERT INTO strategyfileinfo (file_Path )values('%1'); ").arg(SqlText::quoted(filePath));
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
    if (err != 0)
        SL_INFO << "insert data to strategyfileinfo failure! reason:" << err;
    return err == 0;
}

bool StrategySqlite::delStrategyFileInfo(QString filePath)
{
    ensureSchema();
    const QString sql =
        QStringLiteral("delete from strategyfileinfo where file_Path= '%1';").arg(SqlText::quoted(filePath));
    int err = 0;
    m_dbMgr->execDML(sql.toUtf8().constData(), err);
    if (err == 0) {
        SL_INFO << "delete from strategyfileinfo success";
        return true;
    }
    SL_INFO << err;
    return false;
}

QStringList StrategySqlite::queryStrategyFileInfo(int &err)
{
    ensureSchema();
    QStringList paths;
    CppSQLite3Query query = m_dbMgr->execQuery(" select *  from strategyfileinfo ;", err);
    while (!query.eof()) {
        paths.append(QString::fromUtf8(query.fieldValue(0)));
        query.nextRow();
    }
    query.finalize();
    return paths;
}
