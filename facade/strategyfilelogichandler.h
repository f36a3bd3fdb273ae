#ifndef STRATEGYFILELOGICHANDLER_H
#define STRATEGYFILELOGICHANDLER_H

#include "strategylogic_global.h"

#include "registry/fixedstrategyinfo.h"
#include "registry/sarvekgroupinfo.h"
#include "services/fundaccountdata.h"
#include "services/productdata.h"
#include "storage/backtestcashinfo.h"
#include "storage/instanceinfo.h"

#include <zinstancemonitordata.h>
#include <zparamdata.h>
#include <zqpluginbaseobject.h>
#include <zqthread.h>

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QReadWriteLock>
#include <QRegExp>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>

struct GroupChangeRecord;

// The plug-in object of the quantitative-strategy screens: the one object
// the client reaches, through instance().
//
// It owns the in-memory registry of fixed strategies (by id and by file
// path), the strategy groups, the list of locked strategy files, the cached
// user id and the remembered product and fund account. Instances, backtest
// cash, fund accounts, the run mode and the Python path belong to the
// internal service object, the databases and the data file to the store;
// the methods of those subjects forward to them unchanged.
//
// Lifecycle: the client calls initialize() once, on the thread that first
// called instance(); the object then lives on its worker thread
// "StrategyFileLogicHandler_Thread", which runs only what reaches it by
// queued delivery. While initialised it holds the installation folder
// (ZqFolderLock): a second process of the same folder is refused by its
// initialize() with a critical log line naming the holder, and stays
// uninitialised. exit() saves the groups and the data file, writes the
// pending instance and day-cash rows (or keeps them in the journal), lets
// go of the folder and stops the worker thread; a stopped object is not
// initialised again (initialize() refuses with a log line). When the
// client ends without exit(), the same is done before QCoreApplication
// goes, or at process exit.
//
// An object that is not initialised (before initialize(), after exit(), or
// refused the folder) refuses every change that would reach a file or the
// database: false, a message, or for the void setters a warning.
//
// Threads: every public method may be called from any thread; it runs on
// the caller's thread. Signals are emitted on the calling thread (the
// relayed service signals on the worker thread).
//
// Failures are results: false, an empty value, a default record (id -1),
// or for addGroup/renameGroup a message for the user. A change that could
// not be written to its file answers false (or a message) too; it stays in
// memory and the next write of that file, at the latest exit(), tries again.
class STRATEGYLOGIC_EXPORT StrategyFileLogicHandler : public ZqPluginBaseObject
{
    Q_OBJECT
public:
    explicit StrategyFileLogicHandler(QObject *parent = nullptr);
    ~StrategyFileLogicHandler() override;

    static StrategyFileLogicHandler &instance();

    void initialize() override;
    void exit();
    bool isInitialized() const { return m_initialized.load(); }

    QString getLastProduct() const;
    QString getLastFundaccount() const;
    void setLastProduct(const QString &product);
    void setLastFundaccount(const QString &fundAccount);

    // Strategy-file locks.
    bool changeFileLockState(QString filePath, bool lock);
    bool getFileLockState(QString filePath);

    // Name rules and display labels.
    static bool containsChinesePuntuation(QString &text);
    static bool isValidStrategyName(QString name);
    bool isInValidFileName(QString name);
    bool isValidDirectoryName(QString name);
    bool isValidStrictFileName(QString path);
    static QString getAbsoulteFilePath(const QString &path);
    static QString getCoverFlag(const QString &symbol, const QString &coveredFlag);
    static QString getInvestType(const QString &symbol, const QString &investTypeCode);
    static QString getPositionEffectString(const QString &symbol, const QString &positionEffectCode);

    // Fixed-strategy registry.
    QList<FixedStrategyInfo> getFixedStrategyList();
    FixedStrategyInfo getFixedStrateyInfoByID(const int &id);
    QStringList getFixedStrateNameList(const QString &filePath);
    FixedStrategyInfo getLastFixedStrategyInfo();
    bool isFixedStrategy(const QString &filePath);
    bool isContainsFixedStrategy(const QString &filePath, const QString &name);

    QString GetDefaultFixedStrategyName(const QString &filePath);
    bool addFixedStrategy(QString filePath, QString name, QString group, QString extraInfo, int count);
    bool modifyFixedStrategyInfo(int id, const FixedStrategyInfo &info);
    bool modifyeStrategyFilePath(QString oldFilePath, QString newFilePath);
    bool delFixedStrategyInfoByID(qint64 id);
    bool delFixedStrategyInfoByFilePath(QString filePath);

    // Strategy groups.
    QString addGroup(const QString &name);
    QString renameGroup(const QString &oldName, const QString &newName);
    bool deleteGroup(QString name, bool deleteStrategies);
    bool cleanupGroup(const QString &name);
    bool regroupAllStrategy(const QString &fromGroup, const QString &toGroup, bool removeFrom);
    QList<SarvekGroupInfo> getAllStrategyGroups();
    QStringList getAllStrategyGroupNameSorted();
    void checkAutoStart();

    // Simulated-trade history.
    QList<QMap<QString, QVariant>> querySimuEntrust(const QString &instanceId);
    QList<QMap<QString, QVariant>> querySimuDeal(const QString &instanceId);

    // Run mode and Python path.
    int getCurrentRunMode() const;
    void setCurrentRunMode(int mode);
    QString getPYInstallPath();
    void setPYInstallPath(const QString &path);

    // Fund accounts and products.
    QList<FundAccountData> getFundAccountList(QString productId);
    bool getFundAccountRelaInfo(const QString &fundAccount, QString &productId, FundAccountData &data);
    QString getFundAccountTypeName_py(const QString &accountType);
    QList<ProductData> getProductList();
    void refreshAccount();

    // Strategy instances.
    bool addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo);
    OPERATEMODE getInstanceRunMode(QString instanceId);
    QString getInstanceFundAccount(QString instanceId);
    InstanceInfo getInstanceInfo(QString instanceId);
    QString getReturnInstanceInfo(QString instanceId);
    InstanceInfo getLastReturnInstanceRegInfo();
    bool setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime);
    QList<ZParamData> getInstanceParams(const QString &instanceId);
    void updateInstanceParams(const ZInstanceMonitorData &data);

    // Backtest day cash.
    void addBackTestInitCashInfo(QString instanceId, QDate date, double initialFunds);
    void addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds);
    bool queryBackTestCashInfo(const QString &instanceId, QList<BackTestCashInfo> &records);
    bool queryBackTestCashInfo(const QString &instanceId, const QDate &date, double &initialFunds, double &endFunds);

signals:
    void signalInitData();
    void signalStrategyModifyed(int fixedstrategyid);
    void signalFixedStrategyFileChanged(QString oldfilePath, QString newfilePath);
    void signalFixedStrategyFileRemoved(int fixedstrategyid);
    void signalAddStrategy();
    void signalDelStrategySuccess();
    void sigFundAccountChanged();
    void sigInstanceRunModeChange(QString instanceid, int mode);
    void signalInstanceRunModeLoaded();
    void signalChangeFileLockState(QString filepath);

public slots:
    QString getCurUserId();
    void slotQueryStrategyInstRsp(const QHash<QString, QVariantMap> &instLst, bool hasAllData, int pageNo,
                                  int pageSize);

private:
    void initConnect();
    void initStrategyFileInfo();
    bool checkAndAddAutoStart();
    // False when the groups file could not be written.
    bool saveFixedStrategyGroup();

    void readFixedStrategyGroups();
    void loadLockFileList();
    // exit() and the destructor: files written, folder let go, thread stopped.
    void stop();
    void stopWorkThread();
    // False when the data file could not be written.
    bool writeDataFile();
    // True, with a warning, when the object is not initialised.
    bool refusesChange(const char *function) const;
    // The same, and also when the user id cannot name the user's folder.
    bool refusesRegistryChange(const char *function) const;
    void removeLeftoverTemporaryFiles();
    QString groupChangeRecordPath();
    // A group change that a process did not finish, from its record; false
    // when there is none.
    bool readInterruptedGroupChange(GroupChangeRecord *change);
    // Apply it to the groups as the groups file gave them, and to the
    // records as the data file gave them (in the store too); the records'
    // side with m_fixedStrategyLock held for writing.
    void redoGroupChangeOnGroups(const GroupChangeRecord &change);
    void redoGroupChangeOnRecords(const GroupChangeRecord &change, QList<FixedStrategyInfo> *records);
    // Removes the records of `group` from the registry and the store;
    // m_fixedStrategyLock must be held for writing.
    void removeGroupStrategiesLocked(const QString &group);
    // Moves the records of group `from` to group `to`, in the registry and
    // the store; m_fixedStrategyLock must be held for writing.
    void moveGroupStrategiesLocked(const QString &from, const QString &to);
    QString groupsFilePath();

    // Lock order: m_initMutex, then m_fixedStrategyLock, then the store's
    // locks; m_lockFileListLock on its own; m_userIdMutex innermost.
    // No facade lock is held while a file is written.

    QMutex m_initMutex;                 // serialises initialize()
    std::atomic<bool> m_initialized{false};

    // State below is protected by m_fixedStrategyLock: the registry by id,
    // the names registered per strategy file, and the groups.
    QReadWriteLock m_fixedStrategyLock;
    QMap<qint64, FixedStrategyInfo> m_fixedStrategyMap;
    QMap<QString, QStringList> m_fixedSrategyNameMap;
    QMap<QString, SarvekGroupInfo> m_groupMap;

    // State below is protected by m_lockFileListLock.
    QReadWriteLock m_lockFileListLock;
    QStringList m_lockFileList;

    ZqThread m_workThread;

    // State below is protected by m_userIdMutex.
    QMutex m_userIdMutex;
    QString m_curUserId;

    // Written by initialize() and the host's setters; m_rememberedMutex
    // lets readers on other threads see whole values.
    QString m_lastProduct;
    QString m_lastFundaccount;

    QRegExp m_strictNameRegExp; // read-only after construction

    mutable QMutex m_rememberedMutex;
    // One groups-file save at a time, from its snapshot to its rename, so
    // that an older snapshot never lands after a newer one. It also guards
    // m_groupsFileText, what the groups file holds as far as this object
    // knows (read at start, or last written).
    QMutex m_groupsFileMutex;
    QString m_groupsFileText;
    bool m_groupsFileNotText = false; // it held bytes that are not UTF-8: kept aside at the first save
    std::atomic<bool> m_stopped{false}; // exit() ran: the object is not initialised again
    QString m_lockedFolder; // the installation folder held while initialised
    // The user id names a folder below work/; set by initialize().
    std::atomic<bool> m_userFolderUsable{false};
};

#endif // STRATEGYFILELOGICHANDLER_H
