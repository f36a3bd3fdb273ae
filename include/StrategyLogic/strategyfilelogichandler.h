#ifndef STRATEGYFILELOGICHANDLER_H
#define STRATEGYFILELOGICHANDLER_H

#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/fundaccountdata.h>
#include <StrategyLogic/instanceinfo.h>
#include <StrategyLogic/productdata.h>
#include <StrategyLogic/sarvekgroupinfo.h>
#include <StrategyLogic/strategylogic_global.h>
#include <StrategyLogic/strategyrefusal.h>

#include <StrategyHost/zinstancemonitordata.h>
#include <StrategyHost/zparamdata.h>
#include <StrategyHost/zqpluginbaseobject.h>

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class StrategyFileLogicHandlerPrivate;

/// \file
/// The plug-in object of the quantitative-strategy screens.

/// The plug-in object of the quantitative-strategy screens: the one object
/// the client reaches, through instance().
///
/// It keeps the fixed strategies of the logged-in user (by id and by file
/// path), the strategy groups, the list of locked strategy files, the cached
/// user id and the remembered product and fund account. Instances, backtest
/// cash, fund accounts, the run mode and the Python path belong to the
/// plug-in's internal service; the methods of those subjects forward to it.
///
/// **Lifecycle.** The client calls initialize() once, on the thread that
/// first called instance(); the object then lives on its worker thread
/// "StrategyFileLogicHandler_Thread", which runs only what reaches it by
/// queued delivery. While initialised it holds the installation folder: a
/// second process of the same folder is refused by its initialize() with a
/// critical log line naming the holder, and stays uninitialised. exit()
/// saves the groups and the data file, writes the pending instance and
/// day-cash rows (or keeps them in a journal for the next start), lets go of
/// the folder and stops the worker thread; a stopped object is not
/// initialised again. When the client ends without exit(), the same is done
/// before QCoreApplication goes, or at process exit.
///
/// **Threads.** Every public method may be called from any thread and runs
/// on the caller's thread. Signals are emitted on the calling thread; the
/// relayed service signals on the worker thread.
///
/// **Failures** are results: false, an empty value, a default record (id
/// -1), or for addGroup() and renameGroup() a message for the user. An
/// object that is not initialised refuses every change that would reach a
/// file or the database. A change that could not be written to its file
/// answers false (or a message); it stays in memory and the next write of
/// that file, at the latest exit(), tries again. Values that cannot be
/// stored faithfully (a NUL anywhere, the data file's separators, amounts
/// that are not finite) are refused.
class STRATEGYLOGIC_EXPORT StrategyFileLogicHandler : public ZqPluginBaseObject
{
    Q_OBJECT
public:
    /// An object of its own; the client uses instance().
    explicit StrategyFileLogicHandler(QObject *parent = nullptr);
    /// Does what exit() does if the object is still initialised.
    ~StrategyFileLogicHandler() override;

    /// The process-wide object, created on the first call (thread-safe).
    static StrategyFileLogicHandler &instance();

    /// Takes the installation folder, loads the service's instance data, the
    /// groups, the fixed strategies and the locks, reads the remembered
    /// product and fund account, and moves the object to its worker thread.
    /// Runs once; a second call, or one after exit(), does nothing (the
    /// latter with a warning). Refused, with a critical log line, when
    /// another process holds the installation folder.
    ///
    /// Call it on the thread that first called instance(), and let that
    /// thread run an event loop afterwards (the client's main thread does):
    /// the plug-in's service object is created there, and its timers (the
    /// flush of new instance and day-cash rows every 3 s, the retry of a
    /// load while the database is busy) run on that loop.
    void initialize() override;
    /// Saves the groups and the data file, writes what is pending, lets go
    /// of the installation folder and stops the worker thread. Does nothing
    /// unless initialised.
    ///
    /// It blocks while it writes: while another program holds the database
    /// it waits for it up to a few seconds (3 s), and then keeps the rows in
    /// the journal "sarvek.pending.json" for the next start.
    void exit();
    /// Whether initialize() has run and exit() has not.
    bool isInitialized() const;

    /// The remembered product, read from the host settings at initialize().
    QString getLastProduct() const;
    /// The remembered fund account.
    QString getLastFundaccount() const;
    /// Remembers a product and writes it to the host settings at once when it
    /// differs from the one remembered. A product holding a NUL is refused.
    void setLastProduct(const QString &product);
    /// The same for the fund account.
    void setLastFundaccount(const QString &fundAccount);

    /// Locks (`lock` true) or unlocks a strategy file, in memory and in the
    /// local database, and emits signalChangeFileLockState(). False only when
    /// the database did not take the change (or the path holds a NUL).
    bool changeFileLockState(QString filePath, bool lock);
    /// Whether the path (compared exactly) is locked.
    bool getFileLockState(QString filePath);
    /// The locked strategy files, in ascending order of their paths.
    QStringList getLockedFileList();

    /// Whether the text holds one of the 21 Chinese punctuation strings.
    static bool containsChinesePuntuation(QString &text);
    /// Whether the name ends with ".py", ".pyd" or ".pyc".
    static bool isValidStrategyName(QString name);
    /// True when the name is NOT a valid file name (see the name rules).
    bool isInValidFileName(QString name);
    /// Whether the name is a valid directory name.
    bool isValidDirectoryName(QString name);
    /// Whether the base name of the path is a strict file name: letters,
    /// digits, the underscore and characters from U+04BB on, without Chinese
    /// punctuation.
    bool isValidStrictFileName(QString path);
    /// The path made absolute against the working directory.
    static QString getAbsoulteFilePath(const QString &path);
    /// "是", "否" or "——" for the covered flag of a futures or option symbol.
    static QString getCoverFlag(const QString &symbol, const QString &coveredFlag);
    /// The display text of an invest type code, or "——" for a stock.
    static QString getInvestType(const QString &symbol, const QString &investTypeCode);
    /// The display text of a position effect code, or "——" for a stock.
    static QString getPositionEffectString(const QString &symbol, const QString &positionEffectCode);

    /// The fixed strategies with a name, in ascending id.
    QList<FixedStrategyInfo> getFixedStrategyList();
    /// The fixed strategy of an id, or a default record (id -1).
    FixedStrategyInfo getFixedStrateyInfoByID(const int &id);
    /// The names registered for a strategy file, in registration order.
    QStringList getFixedStrateNameList(const QString &filePath);
    /// The fixed strategy with the largest id, or a default record.
    FixedStrategyInfo getLastFixedStrategyInfo();
    /// Whether the file is registered under at least one name.
    bool isFixedStrategy(const QString &filePath);
    /// Whether the file is registered under `name`.
    bool isContainsFixedStrategy(const QString &filePath, const QString &name);

    /// A name not yet registered for the file: its base name, or the base
    /// name followed by 1, 2, ...
    QString GetDefaultFixedStrategyName(const QString &filePath);
    /// Registers `count` copies of the file (name, name_1, name_2, ...) in
    /// `group`, writes the data file and emits signalAddStrategy(). False when
    /// the group does not exist or a copy's name is taken (earlier copies
    /// stay), an id was refused, or the data file could not be written.
    bool addFixedStrategy(QString filePath, QString name, QString group, QString extraInfo, int count);
    /// What addFixedStrategy() with these values would refuse, found
    /// without changing anything or logging: code RefusalCode::None when it
    /// would register them (the id service and the write of the data file
    /// aside). For a screen that checks a name as the user types it; the
    /// message is the one addFixedStrategy() would give.
    StrategyLogic::Refusal checkFixedStrategy(const QString &filePath, const QString &name, const QString &group,
                                              const QString &extraInfo, int count);
    /// Replaces the fields of the fixed strategy `id` (which keeps its id),
    /// emits signalStrategyModifyed() and writes the data file. False when the
    /// id is not registered or the data file could not be written.
    bool modifyFixedStrategyInfo(int id, const FixedStrategyInfo &info);
    /// Follows a strategy file that was moved or renamed and emits
    /// signalFixedStrategyFileChanged(). False for an empty path or when the
    /// data file could not be written; equal paths change nothing.
    bool modifyeStrategyFilePath(QString oldFilePath, QString newFilePath);
    /// Removes one fixed strategy and emits signalFixedStrategyFileRemoved().
    /// False for a negative or unknown id, or when the data file could not
    /// be written.
    bool delFixedStrategyInfoByID(qint64 id);
    /// Removes every fixed strategy of a file and emits
    /// signalFixedStrategyFileRemoved() with the smallest removed id (0 when
    /// there was none).
    bool delFixedStrategyInfoByFilePath(QString filePath);

    /// Creates a group; an empty text on success, else a message for the user.
    QString addGroup(const QString &name);
    /// Creates a group with a given creation time (seconds since the epoch;
    /// 0 or less: now), as when a copy of the user's state is brought back:
    /// the same checks, messages and files as addGroup().
    QString addGroupCreatedAt(const QString &name, qint64 createTime);
    /// Renames a group and moves its strategies along; an empty text on
    /// success, else a message for the user.
    QString renameGroup(const QString &oldName, const QString &newName);
    /// Deletes a group, and its strategies too when asked. False when there
    /// is no such group or a file could not be written.
    bool deleteGroup(QString name, bool deleteStrategies);
    /// Removes every strategy of a group and keeps the group.
    bool cleanupGroup(const QString &name);
    /// Moves every strategy of one group to another, and deletes the source
    /// group from memory when asked (from the file at the next save).
    bool regroupAllStrategy(const QString &fromGroup, const QString &toGroup, bool removeFrom);
    /// The groups in ascending name order.
    QList<SarvekGroupInfo> getAllStrategyGroups();
    /// The group names, oldest first (built-in groups first).
    QStringList getAllStrategyGroupNameSorted();
    /// Adds the auto-start group when the host's auto-start setting is on and
    /// it is missing, and then emits signalAddStrategy().
    void checkAutoStart();

    /// The orders of a simulated instance, read from the simulated-trading
    /// engine's database; each row keyed by the host's field names.
    QList<QMap<QString, QVariant>> querySimuEntrust(const QString &instanceId);
    /// The fills of a simulated instance.
    QList<QMap<QString, QVariant>> querySimuDeal(const QString &instanceId);

    /// The plug-in's run mode (an OPERATEMODE value); 0 at start.
    int getCurrentRunMode() const;
    /// Sets the run mode for this process; it is not kept.
    void setCurrentRunMode(int mode);
    /// The Python installation path of the engine's ini file.
    QString getPYInstallPath();
    /// Sets the Python installation path and writes it to the ini file; a
    /// failed write is logged under "strategylogic.unsaved", refused as
    /// RefusalCode::NotWritable (the path stays in memory) and retried.
    void setPYInstallPath(const QString &path);

    /// The fund accounts of a product.
    QList<FundAccountData> getFundAccountList(QString productId);
    /// The product and record of a fund account; false when it is unknown.
    bool getFundAccountRelaInfo(const QString &fundAccount, QString &productId, FundAccountData &data);
    /// The Python word of an account type code ("stock", "futures", ...).
    QString getFundAccountTypeName_py(const QString &accountType);
    /// The products, in the order first met.
    QList<ProductData> getProductList();
    /// Takes a new snapshot of the fund accounts and emits sigFundAccountChanged().
    void refreshAccount();

    /// Registers a strategy instance with its run mode, fund account and
    /// registration answer; the row reaches the database with the next flush
    /// (every 3 s). Emits sigInstanceRunModeChange(). False when not
    /// initialised or a text holds a NUL.
    bool addInstanceRunMode(QString instanceId, int runMode, QString fundAccount, QString returnRegInfo);
    /// The run mode of an instance, or OPERATE_UNKNOWN.
    OPERATEMODE getInstanceRunMode(QString instanceId);
    /// The fund account of an instance, or an empty text.
    QString getInstanceFundAccount(QString instanceId);
    /// The record of an instance, or a default record.
    InstanceInfo getInstanceInfo(QString instanceId);
    /// The registration answer of an instance, or an empty text.
    QString getReturnInstanceInfo(QString instanceId);
    /// The backtest instance with the greatest id, or a default record.
    InstanceInfo getLastReturnInstanceRegInfo();
    /// Every instance the plug-in holds: those of the local database and of
    /// the journal of an earlier run, read at initialize(), and those
    /// registered since (whose rows may still be on their way to the
    /// database). Ids that are numbers come first, in numeric order, then
    /// the others in text order.
    QList<InstanceInfo> getInstanceList();
    /// The ids of the instances that have backtest days, registered or not,
    /// in the order of getInstanceList().
    QStringList getBackTestInstanceIdList();
    /// Sets an instance's start and end times, in memory and in the database;
    /// answers the database's result (false for an id that is not a plain
    /// decimal number).
    bool setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime);
    /// The user parameters of an instance, from the strategy server's list.
    QList<ZParamData> getInstanceParams(const QString &instanceId);
    /// Replaces the parameter record of an instance.
    void updateInstanceParams(const ZInstanceMonitorData &data);

    /// Starts a backtest day with its initial funds (end funds 0).
    void addBackTestInitCashInfo(QString instanceId, QDate date, double initialFunds);
    /// Finishes a started backtest day with its end funds and queues it for
    /// the database; a day that was not started is dropped.
    void addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds);
    /// The days of an instance in ascending date order; false when it has none.
    bool queryBackTestCashInfo(const QString &instanceId, QList<BackTestCashInfo> &records);
    /// The funds of one day; false, outputs untouched, when it is unknown.
    bool queryBackTestCashInfo(const QString &instanceId, const QDate &date, double &initialFunds, double &endFunds);

signals:
    /// Never emitted by the library.
    void signalInitData();
    /// A fixed strategy was changed by modifyFixedStrategyInfo().
    void signalStrategyModifyed(int fixedstrategyid);
    /// modifyeStrategyFilePath() followed a file from `oldfilePath` to `newfilePath`.
    void signalFixedStrategyFileChanged(QString oldfilePath, QString newfilePath);
    /// Fixed strategies were removed (by id, or the smallest id of a file).
    void signalFixedStrategyFileRemoved(int fixedstrategyid);
    /// Fixed strategies were added, or the auto-start group appeared.
    void signalAddStrategy();
    /// Never emitted by the library.
    void signalDelStrategySuccess();
    /// The fund accounts were refreshed (relayed from the service).
    void sigFundAccountChanged();
    /// An instance was registered with a run mode (relayed from the service).
    void sigInstanceRunModeChange(QString instanceid, int mode);
    /// The instance data was loaded from the database (relayed from the service).
    void signalInstanceRunModeLoaded();
    /// changeFileLockState() answered true for this path.
    void signalChangeFileLockState(QString filepath);

public slots:
    /// The logged-in user's id in lower case, cached once it is not empty.
    QString getCurUserId();
    /// Takes a page of the strategy server's instance list (the instances'
    /// user parameters); ignored unless initialised. `hasAllData`, `pageNo`
    /// and `pageSize` are not used: every page is applied as it comes.
    void slotQueryStrategyInstRsp(const QHash<QString, QVariantMap> &instLst, bool hasAllData, int pageNo,
                                  int pageSize);

private:
    friend class StrategyFileLogicHandlerPrivate;
    std::unique_ptr<StrategyFileLogicHandlerPrivate> d;
};

#endif // STRATEGYFILELOGICHANDLER_H
