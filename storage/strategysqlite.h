#ifndef STRATEGYSQLITE_H
#define STRATEGYSQLITE_H

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/instanceinfo.h>

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <functional>

class CppSQLite3Query;
class ZqMemSqliteMgr;

// The plug-in's storage: the local database "sarvek.db" in the installation
// folder (locked strategy files, strategy instances, backtest day cash), a
// read-only view of the simulated-trading engine's "Sarvek_SimuTrade.db",
// and the persistent fixed-strategy store with its per-user data file
// "work/<user>/SarvekFixStrategy.dat".
//
// The plug-in uses the one object of instance(). Construction opens the
// database, moves the rows of the legacy table fixedstrategyinfo into data
// files, creates and migrates the tables and deletes rows created before
// today. A database that cannot be opened leaves an object whose statements
// all fail (false, empty lists).
//
// Threads: every method may be called from any thread. Statements on the
// local database take no lock here; the access layer runs them one at a
// time. The fixed-strategy store has its own lock, always taken after the
// facade's. Operations report failure only as their results and the log.
class StrategySqlite
{
public:
    static StrategySqlite &instance();

    // For tools and tests that want an object of their own over the current
    // installation folder; the plug-in itself only uses instance().
    StrategySqlite();
    ~StrategySqlite();
    StrategySqlite(const StrategySqlite &) = delete;
    StrategySqlite &operator=(const StrategySqlite &) = delete;

    // False between the destruction of instance()'s object and process end.
    static bool isInstanceAlive();

    // A store made while another process held the installation folder
    // reads only; the plug-in calls this once it holds the folder itself.
    void becomeWritable();

    QString databasePath() const;
    QString simuDatabasePath() const;
    bool isDatabaseOpen() const;
    // Why `table` (one of StrategySchema's) cannot take rows, in words
    // (StrategySchema::TableState::fault()): no such table, a view or an
    // index in its place, columns it lacks. Empty when the table is sound or
    // the database does not answer.
    QString tableFault(const char *table);

    // Locked strategy files (table strategyfileinfo).
    bool addStrategyFileInfo(QString filePath);
    bool delStrategyFileInfo(QString filePath);
    QStringList queryStrategyFileInfo(int &err);

    // Fixed-strategy store and its data file.
    QString getFixedStrategyFilePath(QString userFolder);
    QString formatFixedStrategyLine(const FixedStrategyInfo &info);
    QList<FixedStrategyInfo> queryFixedStrategyInfoList(QString userFolder);
    QList<FixedStrategyInfo> LoadFixedStrategyInfo(QString userFolder);
    // The same two as vectors: the store's own records (shared, not
    // copied) once loaded, else what the load gives, in file order.
    QVector<FixedStrategyInfo> fixedStrategyRecords(const QString &userFolder);
    QVector<FixedStrategyInfo> loadFixedStrategyRecords(const QString &userFolder);
    qint64 insertStrategyInfo(QString name, QString filePath, QString group, QString extraInfo, int copyIndex);
    bool delFixedStrategyInfo(qint64 id);
    bool modifyFixedStrategyInfo(const FixedStrategyInfo &info);
    bool modifyFixedStrategyFilePath(qint64 id, QString filePath);
    // Rewrites the data file when the store is dirty. False when the file
    // could not be written: the store stays dirty and the next call retries.
    bool writeFixedStrategyInfoToFile(QString userFolder);

    // Strategy instances and backtest day cash.
    bool addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo);
    bool addInstanceRunModeList(const QList<InstanceInfo> &instances);
    bool setInstanceStartEndTime(QString instanceId, QDateTime start, QDateTime end);
    // The stored instances; their times are UTC (the same instants as the
    // local times they were given as).
    QList<InstanceInfo> queryAllInstaceRunMode(int &err);
    // The same, each row handed to `take` as it is read, without a list;
    // when err is set, the rows handed over are not all and are dropped.
    void readAllInstances(int &err, const std::function<void(InstanceInfo &)> &take);
    bool addBackTestDayCash(const QString &instanceId, const QDate &date, const double &initialFunds,
                            const double &endFunds);
    bool addBackTestDayCashList(const QList<BackTestCashInfo> &records);
    QList<BackTestCashInfo> queryALLBackTestDateCash(int &err);
    // The same, each row handed to `take` as it is read, without a list;
    // when err is set, the rows handed over are not all and are dropped.
    void readAllDayCash(int &err, const std::function<void(BackTestCashInfo &)> &take);
    // The two batches, with the reason of a failure: 0 when every row was
    // written (a row rejected for its content is logged and dropped), else
    // the SQLite result code (5: the database is busy) and the whole batch
    // is rolled back.
    int writeInstanceRows(const QList<InstanceInfo> &instances);
    int writeDayCashRows(const QList<BackTestCashInfo> &records);

    // Simulated-trade history (read only).
    QList<QMap<QString, QVariant>> querySimuEntrust(const QString &instanceId);
    QList<QMap<QString, QVariant>> querySimuDeal(const QString &instanceId);

private:
    enum class RowOutcome { Written, Rejected, Failed };

    void cretateDataBase();
    bool open();
    void purgeEarlierDays(const char *table);
    void createSchema();
    // A start that found the database locked by another program could not
    // create the tables; the first statement after the lock goes does.
    void ensureSchema();
    bool openDBByInstanceId(const QString &instanceId);
    // Starts a query on the simulated-trade database under m_simuDbMutex;
    // its rows are read after the mutex is released.
    CppSQLite3Query runSimuQuery(const QString &sql);
    void backupFixStrategyInfo();
    // After a lock statement failed with `code`: a warning when the table
    // itself is at fault.
    void warnIfLockTableDamaged(int code);

    // `replacing`: the caller updates a row that is there already, so that
    // meeting it is no failure worth more than a debug line.
    int insertInstance(const QString &instanceId, int runMode, const QString &fundAccount,
                       const QString &returnRegInfo, bool replacing);
    int insertDayCash(const QString &instanceId, const QDate &date, double initialFunds, double endFunds);
    // A Failed row leaves its SQLite result code in *code.
    RowOutcome writeInstanceRow(const InstanceInfo &info, int *code);
    RowOutcome writeDayCashRow(const BackTestCashInfo &info, int *code);
    template<typename Row, typename WriteRow>
    int writeBatch(const QList<Row> &rows, WriteRow writeRow);
    // Moves a sarvek.db that is not a database (or a folder in its place)
    // aside; true when the path is free for a new database.
    bool keepUnusableDatabaseAside(const QString &path);

    qint64 allocateFixedStrategyId();
    // Before legacy rows are given ids: the sequence goes above the ids
    // already in their users' data files.
    void raiseIdsAboveDataFiles();
    bool keepUnreadableDataFileLocked();

    ZqMemSqliteMgr *m_dbMgr = nullptr;
    // The instance and day-cash statements run prepared, with bound values.
    // Set, they run as the statement texts of the debug log instead, which
    // store the very same rows: the comparison in tst_flushidentity. Set
    // only before the object's first statement.
    bool m_textStatements = false;
    friend class TestFlushIdentity;
    std::atomic<bool> m_schemaReady{false};
    std::atomic<bool> m_readOnly{false}; // made while another process held the folder
    QMutex m_schemaMutex; // one creation of missing tables at a time
    // m_simuDbMutex guards m_simuDbMgr and the statements sent through it.
    QMutex m_simuDbMutex;
    ZqMemSqliteMgr *m_simuDbMgr = nullptr;

    // State below is protected by m_fixedInfoLock: the records of the user
    // whose data file was loaded, whether it was loaded, and whether the
    // records differ from the file. A rewrite holds the lock for writing.
    QReadWriteLock m_fixedInfoLock;
    bool m_fixedInfoLoaded = false;
    // One record per id, in ascending ids, which is the order the data
    // file is written in; the list a load returns shares it while both are
    // unchanged, so that a large user's records are held once.
    QVector<FixedStrategyInfo> m_fixedInfo;
    bool m_fixedInfoDirty = false;
    // The position of the id's record in m_fixedInfo, or -1.
    int indexOfLocked(qint64 id) const;
    // Adds the record in its place, or replaces the one of its id.
    void putLocked(const FixedStrategyInfo &info);
    // A data file that existed but could not be read: it is moved aside
    // before the first rewrite, so that its records are not overwritten.
    QString m_unreadableDataFile;
};

#endif // STRATEGYSQLITE_H
