#include "strategysqlite.h"

#include "storage/installationlayout.h"
#include "storage/setasidefile.h"
#include "storage/shutdownroutine.h"
#include "storage/sqltext.h"
#include "storage/strategyschema.h"
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

// Creates the table unless it exists and adds the columns a table of an
// older version lacks.
void createTable(ZqMemSqliteMgr &db, const StrategySchema::Table &table)
{
    int err = 0;
    db.execDML(table.createStatement, err);
    if (err != 0)
        SL_INFO << table.notCreatedLine << err;
    else
        SL_INFO << table.createdLine;
    for (const StrategySchema::Column &column : table.columns) {
        if (!column.addedAtStart())
            continue;
        err = 0;
        db.execDML(column.addStatement, err);
        if (err == 0) {
            if (column.addedLine)
                SL_INFO << column.addedLine;
            continue;
        }
        if (!column.notAddedLine)
            continue;
        // On a current table the column is there and the statement fails
        // as it should: worth a trace only. A column still missing is not.
        QStringList present;
        if (StrategySchema::columnsOf(db, table.name, &present) && present.contains(QLatin1String(column.name)))
            SL_DEBUG << column.notAddedLine;
        else
            SL_INFO << column.notAddedLine;
    }
}
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

QString StrategySqlite::tableFault(const char *table)
{
    const StrategySchema::Table *stated = StrategySchema::table(table);
    if (!stated || !isDatabaseOpen())
        return QString();
    const StrategySchema::TableState state = StrategySchema::stateOf(*m_dbMgr, *stated);
    return state.isDamaged() ? state.fault() : QString();
}

void StrategySqlite::warnIfLockTableDamaged(int code)
{
    constexpr int SqliteError = 1; // what SQLite answers for a missing table or column, or a view
    if (code != SqliteError)
        return;
    const QString fault = tableFault(StrategySchema::FileLocksTable);
    if (!fault.isEmpty())
        SL_WARNING << "StrategySqlite::changeFileLock"
                   << QStringLiteral("the table %1 of %2 cannot take the change (%3); a repair of the installation "
                                     "rebuilds it (strategyctl doctor --fix)")
                          .arg(QLatin1String(StrategySchema::FileLocksTable),
                               QLatin1String(InstallationLayout::DatabaseFile), fault);
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
    for (const StrategySchema::Table &table : StrategySchema::tables())
        createTable(*m_dbMgr, table);
    purgeEarlierDays(StrategySchema::InstancesTable);
    purgeEarlierDays(StrategySchema::DayCashTable);
    bool ready = true;
    for (const StrategySchema::Table &table : StrategySchema::tables())
        ready = ready && m_dbMgr->tableExists(table.name);
    m_schemaReady = ready;
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
    if (err != 0) {
        SL_INFO << "insert data to strategyfileinfo failure! reason:" << err;
        warnIfLockTableDamaged(err);
    }
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
    warnIfLockTableDamaged(err);
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
