#ifndef STRATEGYCOMPILERCOMMERFUNCS_H
#define STRATEGYCOMPILERCOMMERFUNCS_H

#include <StrategyLogic/strategylogic_global.h>
#include <StrategyLogic/fundaccountdata.h>
#include <StrategyLogic/productdata.h>
#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/instanceinfo.h>

#include <zinstancemonitordata.h>
#include <zparamdata.h>

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QString>
#include <QVariant>

#include <atomic>

class QSettings;
class QTimer;

// The plug-in's internal service object: the current run mode, the Python
// installation path (ini file "./ZqProEngineConfig.ini"), the fund accounts
// grouped by product, the registry of strategy instances, the backtest
// day-cash ledger, and the periodic write of new instance rows and
// finished day-cash rows to the local database.
//
// It stays on the thread that created it, whose event loop runs its two
// timers (the 3000 ms flush, the 1000 ms load retry). Every other method
// may be called from any thread; each container has its own lock. Callers
// are answered from memory; rows reach the database at the next flush, and
// a flush that fails keeps its rows for the next one. Flushes write only
// while this process holds the installation folder (ZqFolderLock).
class StrategyCompilerCommerFuncs : public QObject
{
    Q_OBJECT
public:
    static constexpr int FlushIntervalMs = 3000;
    static constexpr int LoadRetryIntervalMs = 1000;
    // How long the final flush keeps trying a database that another program
    // holds before the rows go to the journal.
    static constexpr int FinalFlushWaitMs = 3000;

    static StrategyCompilerCommerFuncs *instance();
    // False once instance()'s object has been destroyed.
    static bool isInstanceAlive();

    explicit StrategyCompilerCommerFuncs(QObject *parent = nullptr);
    ~StrategyCompilerCommerFuncs() override;

    void init();

    void setCurrentRunMode(int mode);
    int getCurrentRunMode() const;
    QString getPYInstallPath();
    // Keeps the path and writes it to the ini file; false (with a line
    // logged) when the file does not hold it: the path is kept in memory and
    // written at the next sync.
    bool setPYInstallPath(const QString &path);

    void flushPendingData();
    // What the plug-in does before it lets go of the installation folder:
    // writes what is pending, waiting up to FinalFlushWaitMs while the
    // database is busy, keeps in the journal (PendingJournal) whatever the
    // database still does not take, and puts the ini file on disk. False,
    // with a critical log line, when rows could be stored nowhere.
    bool finish();
    // The end of the process: stops the timers, then finish().
    void shutdown();
    int pendingInstanceCount();
    int pendingCashCount();

    // Name rules used by the facade.
    static bool isValidFileName(QString name);
    static bool isValidDirectoryName(QString name);

    // Fund accounts and products.
    void refreshAccount();
    QList<FundAccountData> getFundAccountList(QString productId);
    bool getFundAccountRelaInfo(const QString &fundAccount, QString &productId, FundAccountData &data);
    static QString getFundAccountTypeName_py(const QString &accountType);
    QList<ProductData> getProductList();

    // Strategy instances.
    bool addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo);
    OPERATEMODE getInstanceRunMode(QString instanceId);
    QString getInstanceFundAccount(QString instanceId);
    InstanceInfo getInstanceInfo(QString instanceId);
    QString getReturnInstanceInfo(QString instanceId);
    InstanceInfo getLastReturnInstanceRegInfo();
    // Every instance held, and the ids of those with backtest days, in
    // instanceIdLess() order.
    QList<InstanceInfo> instanceList();
    QStringList backTestInstanceIds();
    // The order instances are listed in: ids that are numbers first, in
    // numeric order, then the others in text order (a strict weak order).
    static bool instanceIdLess(const QString &a, const QString &b);
    bool setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime);
    QList<ZParamData> getInstanceParams(const QString &instanceId);
    void updateInstanceParams(const ZInstanceMonitorData &data);
    void initInstanceData();
    void initHisInstanceData(const QHash<QString, QMap<QString, QVariant>> &instLst);

    // Backtest day cash.
    void addBackTestInitCashInfo(QString instanceId, QDate date, double initialFunds);
    void addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds);
    bool queryBackTestCashInfo(const QString &instanceId, QList<BackTestCashInfo> &records);
    bool queryBackTestCashInfo(const QString &instanceId, const QDate &date, double &initialFunds,
                               double &endFunds);

signals:
    void sigFundAccountChanged();
    void sigInstanceRunModeChange(QString instanceid, int mode);
    void signalInstanceRunModeLoaded();

private:
    // Writes the journal's rows, then the pending rows; 0 when all are in
    // the database, else the first failure's SQLite result code. Rows a
    // flush could not write stay where they were.
    int flushAll();
    // flushAll()'s answer when this process does not hold the installation
    // folder: nothing was written.
    static constexpr int FolderNotHeld = -2;
    bool holdsFolder() const;
    int replayJournal();
    // Takes a journal left by an earlier run: its rows are shown at once and
    // written before any newer row.
    void loadJournal();
    // `damaged`: the tables at fault, in words (damagedTables()); their
    // rows are then reported as not stored (strategylogic.unsaved).
    bool keepPendingInJournal(const QString &reason, const QStringList &damaged = QStringList());
    // The tables of the rows waiting here or in the journal that cannot
    // take rows at all (StrategySqlite::tableFault()), each as "the table
    // <name> of sarvek.db cannot take rows (<fault>)".
    QStringList damagedTables();
    QString journalPath() const;
    // Writes m_pyInstallPath to the ini file; true once the file holds it.
    bool writePythonPathLocked();

    // Lock order: m_cashLock before m_pendingCashLock; m_journalLock is
    // innermost. No other lock of the object is held while another is
    // taken. No lock is held while the database works.

    // State below is protected by m_accountLock.
    QList<ProductData> m_productList;
    QReadWriteLock m_accountLock;
    QMap<QString, QMap<QString, FundAccountData>> m_fundAccountMap;

    // State below is protected by m_pyPathMutex, with the ini writes.
    QMutex m_pyPathMutex;
    QString m_pyInstallPath;
    bool m_pyPathUnsaved = false; // the ini file does not hold m_pyInstallPath yet

    std::atomic<int> m_currentRunMode{0};
    QSettings *m_settings = nullptr;

    QReadWriteLock m_instanceLock; // guards m_instanceMap
    QMap<QString, InstanceInfo> m_instanceMap;
    QReadWriteLock m_pendingInstanceLock; // guards m_pendingInstanceMap
    QMap<QString, InstanceInfo> m_pendingInstanceMap;

    QReadWriteLock m_cashLock; // guards m_backTestCashMap
    QMap<QString, QMap<QDate, BackTestCashInfo>> m_backTestCashMap;
    QReadWriteLock m_pendingCashLock; // guards m_pendingCashList
    QList<BackTestCashInfo> m_pendingCashList;

    QMutex m_initMutex; // guards m_initialized
    bool m_initialized = false;

    QReadWriteLock m_paramsLock; // guards m_instanceParamsMap
    QMap<QString, ZInstanceMonitorData> m_instanceParamsMap;

    // Used on the object's own thread only.
    QTimer *m_flushTimer = nullptr;
    QTimer *m_loadRetryTimer = nullptr;

    QMutex m_flushMutex; // one flush at a time

    // State below is protected by m_journalLock: rows of a journal file
    // that are not in the database yet, and whether that file exists.
    QMutex m_journalLock;
    QList<InstanceInfo> m_journalInstances;
    QList<BackTestCashInfo> m_journalCash;
    bool m_journalOnDisk = false;
    QString m_folder; // the installation folder, for the ini and the journal
};

#endif // STRATEGYCOMPILERCOMMERFUNCS_H
