#include "strategyfilelogichandler.h"

#include "facade/pluginshutdown.h"
#include "registry/fixedstrategyfile.h"
#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/strategysqlite.h"

#include <cbusinessdatabase.h>
#include <tavrix_fields.h>
#include <zcore.h>
#include <zqapplicationdir.h>
#include <zqfolderlock.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <cmath>

Q_LOGGING_CATEGORY(lcStrategyLogic, "strategylogic")
Q_LOGGING_CATEGORY(lcStrategyLogicUnsaved, "strategylogic.unsaved")

namespace {
constexpr char LastProductKey[] = "Sarvek/StrategyFileLogicHandler/LastProduct";
constexpr char LastFundaccountKey[] = "Sarvek/StrategyFileLogicHandler/LastFundaccount";
constexpr char WorkThreadName[] = "StrategyFileLogicHandler_Thread";

// A NUL cannot be stored: it would end a statement, a settings value or a
// line of a file early.
bool holdsNul(const QString &text)
{
    return text.contains(QChar(0));
}
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
    if (m_initialized)
        stop();
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
    // One process writes an installation folder at a time: a second one
    // would load the files once and later overwrite what the first wrote.
    const QString folder = ZqApplicationDir::path();
    ZqFolderLock::Holder holder;
    QString error;
    switch (ZqFolderLock::acquire(folder, &holder, &error)) {
    case ZqFolderLock::Acquired:
        break;
    case ZqFolderLock::Busy:
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "the installation folder" << folder << "is in use by"
                    << holder.describe() << "- the plug-in stays uninitialised and changes nothing";
        return;
    case ZqFolderLock::Failed:
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "cannot lock the installation folder" << folder << ":"
                    << error << "- the plug-in stays uninitialised and changes nothing";
        return;
    }
    m_lockedFolder = folder;
    // The user's files are named by the user id; the login account must
    // name the same user, or the two would name two folders.
    const QString user = getCurUserId();
    const QString login = CBusinessDataBase::GetInstance()->GetLoginAccount();
    if (login.toLower() != user)
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "the login account" << login << "and the user id"
                    << user << "name different users; the folder of the user id is used";
    m_userFolderUsable = FixedStrategyFile::isValidUserFolder(user);
    if (!m_userFolderUsable)
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "the user id" << user
                    << "cannot name a folder below work/: fixed strategies and groups are neither loaded nor changed";
    removeLeftoverTemporaryFiles();

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
    m_stopped = true;
    stop();
}

void StrategyFileLogicHandler::stop()
{
    bool written = saveFixedStrategyGroup();
    // Copies left unwritten by an add that stopped half-way reach the file.
    written = writeDataFile() && written;
    if (written)
        QFile::remove(groupChangeRecordPath()); // both files hold the change now
    m_initialized = false;
    // Pending instance and day-cash rows are written (or kept in the
    // journal) before the folder is free for the next process.
    if (StrategyCompilerCommerFuncs::isInstanceAlive())
        StrategyCompilerCommerFuncs::instance()->finish();
    ZqFolderLock::release(m_lockedFolder);
    m_lockedFolder.clear();
    stopWorkThread();
}

bool StrategyFileLogicHandler::refusesChange(const char *function) const
{
    if (m_initialized)
        return false;
    SL_WARNING << function << "refused: the plug-in is not initialised";
    return true;
}

bool StrategyFileLogicHandler::refusesRegistryChange(const char *function) const
{
    if (refusesChange(function))
        return true;
    if (m_userFolderUsable)
        return false;
    SL_WARNING << function << "refused: the user id cannot name a folder for the fixed strategies";
    return true;
}

void StrategyFileLogicHandler::removeLeftoverTemporaryFiles()
{
    // A process killed while it replaced a file leaves the new copy under
    // a temporary name ("<file>.XXXXXX"). Nobody else writes the folder
    // while this process holds it, so such copies are leftovers.
    const QString folder = ZqApplicationDir::path();
    QList<QPair<QString, QStringList>> places = {
        {folder, {QLatin1String(PendingJournal::FileName), QStringLiteral("ZqProEngineConfig.ini")}}};
    if (m_userFolderUsable)
        places.append({folder + QLatin1String("/work/") + getCurUserId(),
                       {QLatin1String(FixedStrategyFile::FileName), QLatin1String(GroupsFile::FileName),
                        QLatin1String(GroupChangeRecord::FileName)}});
    for (const auto &[dir, names] : qAsConst(places)) {
        if (!QFileInfo(dir).isDir())
            continue;
        QStringList patterns;
        for (const QString &name : names)
            patterns.append(QRegularExpression::escape(name) + QLatin1String("\\.[A-Za-z0-9]{6}"));
        const QRegularExpression leftover(QLatin1String("^(") + patterns.join(QLatin1Char('|')) + QLatin1String(")$"));
        const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Hidden);
        for (const QString &entry : entries) {
            if (!leftover.match(entry).hasMatch())
                continue;
            if (QFile::remove(dir + QLatin1Char('/') + entry))
                SL_INFO << "StrategyFileLogicHandler::initialize" << "removed a leftover temporary file" << entry;
        }
    }
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
    if (holdsNul(product)) {
        SL_UNSAVED << "StrategyFileLogicHandler::setLastProduct" << "refused: the product holds a NUL";
        return;
    }
    QMutexLocker locker(&m_rememberedMutex);
    if (product == m_lastProduct)
        return;
    m_lastProduct = product;
    ZCore::instance()->saveSetting(LastProductKey, product, QString(), QString(), QSettings::UserScope);
}

void StrategyFileLogicHandler::setLastFundaccount(const QString &fundAccount)
{
    if (holdsNul(fundAccount)) {
        SL_UNSAVED << "StrategyFileLogicHandler::setLastFundaccount" << "refused: the fund account holds a NUL";
        return;
    }
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
    if (refusesChange("StrategyFileLogicHandler::changeFileLockState"))
        return false;
    if (lock && holdsNul(filePath)) {
        SL_WARNING << "StrategyFileLogicHandler::changeFileLockState" << "refused: the path holds a NUL";
        return false;
    }
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
    if (refusesChange("StrategyFileLogicHandler::setPYInstallPath"))
        return;
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
    if (refusesChange("StrategyFileLogicHandler::addInstanceRunMode"))
        return false;
    if (holdsNul(instanceId) || holdsNul(fundAccount) || holdsNul(returnRegInfo)) {
        SL_WARNING << "StrategyFileLogicHandler::addInstanceRunMode" << "refused: a text holds a NUL";
        return false;
    }
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
    if (refusesChange("StrategyFileLogicHandler::setInstanceStartEndTime"))
        return false;
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
    if (refusesChange("StrategyFileLogicHandler::addBackTestInitCashInfo"))
        return;
    if (holdsNul(instanceId) || !std::isfinite(initialFunds)) {
        SL_UNSAVED << "StrategyFileLogicHandler::addBackTestInitCashInfo"
                   << "refused: the instance id holds a NUL or the amount is not a number";
        return;
    }
    StrategyCompilerCommerFuncs::instance()->addBackTestInitCashInfo(instanceId, date, initialFunds);
}

void StrategyFileLogicHandler::addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds)
{
    if (refusesChange("StrategyFileLogicHandler::addBackTestInitCashEndInfo"))
        return;
    if (holdsNul(instanceId) || !std::isfinite(endFunds)) {
        SL_UNSAVED << "StrategyFileLogicHandler::addBackTestInitCashEndInfo"
                   << "refused: the instance id holds a NUL or the amount is not a number";
        return;
    }
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
