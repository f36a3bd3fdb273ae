#include "strategyfilelogichandler.h"

#include "facade/pluginshutdown.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/strategysqlite.h"

#include <cbusinessdatabase.h>
#include <tavrix_fields.h>
#include <zcore.h>

#include <QThread>

Q_LOGGING_CATEGORY(lcStrategyLogic, "strategylogic")

namespace {
constexpr char LastProductKey[] = "Sarvek/StrategyFileLogicHandler/LastProduct";
constexpr char LastFundaccountKey[] = "Sarvek/StrategyFileLogicHandler/LastFundaccount";
constexpr char WorkThreadName[] = "StrategyFileLogicHandler_Thread";
} // namespace

StrategyFileLogicHandler &StrategyFileLogicHandler::instance()
{
    static StrategyFileLogicHandler handler;
    static const bool registered = [] {
        PluginShutdown::setFacade(&handler);
        return true;
    }();
    Q_UNUSED(registered)
    return handler;
}

StrategyFileLogicHandler::StrategyFileLogicHandler(QObject *parent)
    : ZqPluginBaseObject(parent)
{
    // Letters, digits, the underscore and the code units U+04BB to U+FFFD.
    m_strictNameRegExp = QRegExp(QStringLiteral("^[a-zA-Z0-9\u04BB-\uFFFD\uFFFD_]+$"), Qt::CaseSensitive,
                                 QRegExp::RegExp);
}

StrategyFileLogicHandler::~StrategyFileLogicHandler()
{
    if (m_initialized) {
        saveFixedStrategyGroup();
        writeDataFile();
        m_initialized = false;
        stopWorkThread();
    }
    // Forget this object if it is the one the shutdown routine knows.
    PluginShutdown::forgetFacade(this);
}

void StrategyFileLogicHandler::initialize()
{
    QMutexLocker locker(&m_initMutex);
    if (m_initialized)
        return;
    if (m_stopped) {
        // After exit() the object lives on a finished thread; moving it back
        // would have to be asked for from that thread, so a stopped plug-in
        // stays stopped.
        SL_WARNING << "StrategyFileLogicHandler::initialize"
                   << "refused: the plug-in was stopped by exit() and is not initialised again";
        return;
    }

    StrategyCompilerCommerFuncs::instance()->init();
    initConnect();
    initStrategyFileInfo();
    {
        ZCore *core = ZCore::instance();
        const QString product = core->settings(LastProductKey, QString(), QString(), QSettings::UserScope).toString();
        const QString account =
            core->settings(LastFundaccountKey, QString(), QString(), QSettings::UserScope).toString();
        QMutexLocker remembered(&m_rememberedMutex);
        m_lastProduct = product;
        m_lastFundaccount = account;
    }
    m_initialized = true;
    m_workThread.setObjectName(WorkThreadName);
    moveToThread(&m_workThread);
    m_workThread.start(QThread::InheritPriority);
    PluginShutdown::arm();
}

void StrategyFileLogicHandler::exit()
{
    if (!m_initialized)
        return;
    saveFixedStrategyGroup();
    // Copies left unwritten by an add that stopped half-way reach the file.
    writeDataFile();
    m_initialized = false;
    m_stopped = true;
    stopWorkThread();
}

void StrategyFileLogicHandler::stopWorkThread()
{
    m_workThread.quit();
    if (QThread::currentThread() != &m_workThread)
        m_workThread.wait();
}

void StrategyFileLogicHandler::initConnect()
{
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    connect(service, &StrategyCompilerCommerFuncs::sigFundAccountChanged, this,
            &StrategyFileLogicHandler::sigFundAccountChanged, Qt::AutoConnection);
    connect(service, &StrategyCompilerCommerFuncs::sigInstanceRunModeChange, this,
            &StrategyFileLogicHandler::sigInstanceRunModeChange, Qt::AutoConnection);
    connect(service, &StrategyCompilerCommerFuncs::signalInstanceRunModeLoaded, this,
            &StrategyFileLogicHandler::signalInstanceRunModeLoaded, Qt::AutoConnection);
}

QString StrategyFileLogicHandler::getCurUserId()
{
    QMutexLocker locker(&m_userIdMutex);
    if (m_curUserId.isEmpty()) {
        const QMap<QString, QVariant> detail = CBusinessDataBase::GetInstance()->GetLoginAccountDetail();
        m_curUserId = detail.value(Tavrix_Fields::UserAccount::userID).toString().toLower();
    }
    return m_curUserId;
}

QString StrategyFileLogicHandler::getLastProduct() const
{
    QMutexLocker locker(&m_rememberedMutex);
    return m_lastProduct;
}

QString StrategyFileLogicHandler::getLastFundaccount() const
{
    QMutexLocker locker(&m_rememberedMutex);
    return m_lastFundaccount;
}

void StrategyFileLogicHandler::setLastProduct(const QString &product)
{
    QMutexLocker locker(&m_rememberedMutex);
    if (product == m_lastProduct)
        return;
    m_lastProduct = product;
    ZCore::instance()->saveSetting(LastProductKey, product, QString(), QString(), QSettings::UserScope);
}

void StrategyFileLogicHandler::setLastFundaccount(const QString &fundAccount)
{
    QMutexLocker locker(&m_rememberedMutex);
    if (fundAccount == m_lastFundaccount)
        return;
    m_lastFundaccount = fundAccount;
    ZCore::instance()->saveSetting(LastFundaccountKey, fundAccount, QString(), QString(), QSettings::UserScope);
}

void StrategyFileLogicHandler::slotQueryStrategyInstRsp(const QHash<QString, QVariantMap> &instLst, bool hasAllData,
                                                        int pageNo, int pageSize)
{
    Q_UNUSED(hasAllData)
    Q_UNUSED(pageNo)
    Q_UNUSED(pageSize)
    const bool initialized = m_initialized;
    SL_DEBUG << "enter slotQueryStrategyInstRsp" << initialized << instLst;
    if (initialized)
        StrategyCompilerCommerFuncs::instance()->initHisInstanceData(instLst);
}

// Strategy-file locks.

void StrategyFileLogicHandler::loadLockFileList()
{
    QStringList groups;
    {
        QReadLocker registry(&m_fixedStrategyLock);
        groups = m_groupMap.keys();
    }
    QWriteLocker locker(&m_lockFileListLock);
    int err = 0;
    m_lockFileList = StrategySqlite::instance().queryStrategyFileInfo(err);
    SL_DEBUG << "StrategyFileLogicHandler::initStrategyFileInfo" << "m_lockFileList size:" << m_lockFileList.size()
             << groups;
}

bool StrategyFileLogicHandler::changeFileLockState(QString filePath, bool lock)
{
    SL_DEBUG << "StrategyFileLogicHandler::changeFileLockState" << filePath << lock;
    bool result = true;
    {
        QWriteLocker locker(&m_lockFileListLock);
        const bool locked = m_lockFileList.contains(filePath);
        if (lock && !locked) {
            result = StrategySqlite::instance().addStrategyFileInfo(filePath);
            if (result)
                m_lockFileList.append(filePath);
        } else if (!lock && locked) {
            result = StrategySqlite::instance().delStrategyFileInfo(filePath);
            if (result)
                m_lockFileList.removeOne(filePath);
        }
    }
    if (result)
        emit signalChangeFileLockState(filePath);
    return result;
}

bool StrategyFileLogicHandler::getFileLockState(QString filePath)
{
    bool locked = false;
    {
        QReadLocker locker(&m_lockFileListLock);
        locked = m_lockFileList.contains(filePath);
    }
    SL_DEBUG << "StrategyFileLogicHandler::getFileLockState" << locked << filePath;
    return locked;
}

// Simulated-trade history: the store answers.

QList<QMap<QString, QVariant>> StrategyFileLogicHandler::querySimuEntrust(const QString &instanceId)
{
    return StrategySqlite::instance().querySimuEntrust(instanceId);
}

QList<QMap<QString, QVariant>> StrategyFileLogicHandler::querySimuDeal(const QString &instanceId)
{
    return StrategySqlite::instance().querySimuDeal(instanceId);
}

// Run mode, Python path, fund accounts, instances and day cash: the
// service object answers.

int StrategyFileLogicHandler::getCurrentRunMode() const
{
    return StrategyCompilerCommerFuncs::instance()->getCurrentRunMode();
}

void StrategyFileLogicHandler::setCurrentRunMode(int mode)
{
    StrategyCompilerCommerFuncs::instance()->setCurrentRunMode(mode);
}

QString StrategyFileLogicHandler::getPYInstallPath()
{
    return StrategyCompilerCommerFuncs::instance()->getPYInstallPath();
}

void StrategyFileLogicHandler::setPYInstallPath(const QString &path)
{
    StrategyCompilerCommerFuncs::instance()->setPYInstallPath(path);
}

QList<FundAccountData> StrategyFileLogicHandler::getFundAccountList(QString productId)
{
    return StrategyCompilerCommerFuncs::instance()->getFundAccountList(productId);
}

bool StrategyFileLogicHandler::getFundAccountRelaInfo(const QString &fundAccount, QString &productId,
                                                      FundAccountData &data)
{
    return StrategyCompilerCommerFuncs::instance()->getFundAccountRelaInfo(fundAccount, productId, data);
}

QString StrategyFileLogicHandler::getFundAccountTypeName_py(const QString &accountType)
{
    return StrategyCompilerCommerFuncs::getFundAccountTypeName_py(accountType);
}

QList<ProductData> StrategyFileLogicHandler::getProductList()
{
    return StrategyCompilerCommerFuncs::instance()->getProductList();
}

void StrategyFileLogicHandler::refreshAccount()
{
    StrategyCompilerCommerFuncs::instance()->refreshAccount();
}

bool StrategyFileLogicHandler::addInstanceRunMode(QString instanceId, int runMode, QString fundAccount,
                                                  QString returnRegInfo)
{
    return StrategyCompilerCommerFuncs::instance()->addInstanceRunMode(instanceId, runMode, fundAccount,
                                                                        returnRegInfo);
}

OPERATEMODE StrategyFileLogicHandler::getInstanceRunMode(QString instanceId)
{
    return StrategyCompilerCommerFuncs::instance()->getInstanceRunMode(instanceId);
}

QString StrategyFileLogicHandler::getInstanceFundAccount(QString instanceId)
{
    return StrategyCompilerCommerFuncs::instance()->getInstanceFundAccount(instanceId);
}

InstanceInfo StrategyFileLogicHandler::getInstanceInfo(QString instanceId)
{
    return StrategyCompilerCommerFuncs::instance()->getInstanceInfo(instanceId);
}

QString StrategyFileLogicHandler::getReturnInstanceInfo(QString instanceId)
{
    return StrategyCompilerCommerFuncs::instance()->getReturnInstanceInfo(instanceId);
}

InstanceInfo StrategyFileLogicHandler::getLastReturnInstanceRegInfo()
{
    return StrategyCompilerCommerFuncs::instance()->getLastReturnInstanceRegInfo();
}

bool StrategyFileLogicHandler::setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime)
{
    return StrategyCompilerCommerFuncs::instance()->setInstanceStartEndTime(instanceId, startTime, endTime);
}

QList<ZParamData> StrategyFileLogicHandler::getInstanceParams(const QString &instanceId)
{
    return StrategyCompilerCommerFuncs::instance()->getInstanceParams(instanceId);
}

void StrategyFileLogicHandler::updateInstanceParams(const ZInstanceMonitorData &data)
{
    StrategyCompilerCommerFuncs::instance()->updateInstanceParams(data);
}

void StrategyFileLogicHandler::addBackTestInitCashInfo(QString instanceId, QDate date, double initialFunds)
{
    StrategyCompilerCommerFuncs::instance()->addBackTestInitCashInfo(instanceId, date, initialFunds);
}

void StrategyFileLogicHandler::addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds)
{
    StrategyCompilerCommerFuncs::instance()->addBackTestInitCashEndInfo(instanceId, date, endFunds);
}

bool StrategyFileLogicHandler::queryBackTestCashInfo(const QString &instanceId, QList<BackTestCashInfo> &records)
{
    return StrategyCompilerCommerFuncs::instance()->queryBackTestCashInfo(instanceId, records);
}

bool StrategyFileLogicHandler::queryBackTestCashInfo(const QString &instanceId, const QDate &date,
                                                     double &initialFunds, double &endFunds)
{
    return StrategyCompilerCommerFuncs::instance()->queryBackTestCashInfo(instanceId, date, initialFunds, endFunds);
}
