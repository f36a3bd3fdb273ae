#include <StrategyLogic/strategyfilelogichandler.h>

#include "bundle/importreplay.h"
#include "facade/refusals.h"
#include "facade/strategyfilelogichandler_p.h"
#include "registry/groupchangerecord.h"
#include "registry/groupsfile.h"
#include "services/pendingjournal.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/fixedstrategyfile.h"
#include "storage/installationlayout.h"
#include "storage/shutdownroutine.h"
#include "storage/sqltext.h"
#include "storage/strategylogging.h"
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

using StrategyLogic::RefusalCode;

namespace {
constexpr char LastProductKey[] = "Sarvek/StrategyFileLogicHandler/LastProduct";
constexpr char LastFundaccountKey[] = "Sarvek/StrategyFileLogicHandler/LastFundaccount";
constexpr char WorkThreadName[] = "StrategyFileLogicHandler_Thread";

constexpr char UnstorableText[] =
    "a text holds \",%&\", a line feed, a carriage return or a NUL, which the data file cannot hold";

// A NUL cannot be stored: it would end a statement, a settings value or a
// line of a file early.
bool holdsNul(const QString &text)
{
    return text.contains(QChar(0));
}

bool canStore(const QString &name, const QString &filePath, const QString &group, const QString &extraInfo)
{
    return FixedStrategyFile::canHold(name) && FixedStrategyFile::canHold(filePath)
           && FixedStrategyFile::canHold(group) && FixedStrategyFile::canHold(extraInfo);
}
} // namespace

// The object and its lifecycle.

StrategyFileLogicHandler &StrategyFileLogicHandler::instance()
{
    static StrategyFileLogicHandler handler;
    static const bool registered = [] {
        ShutdownRoutine::set(ShutdownRoutine::PluginObject, &handler, [] { handler.exit(); });
        return true;
    }();
    Q_UNUSED(registered)
    return handler;
}

StrategyFileLogicHandlerPrivate::StrategyFileLogicHandlerPrivate(StrategyFileLogicHandler *q)
    : q(q)
    // Letters, digits, the underscore and the code units U+04BB to U+FFFD.
    , m_strictNameRegExp(QStringLiteral("^[a-zA-Z0-9\u04BB-\uFFFD\uFFFD_]+$"), Qt::CaseSensitive, QRegExp::RegExp)
{
}

StrategyFileLogicHandler::StrategyFileLogicHandler(QObject *parent)
    : ZqPluginBaseObject(parent)
    , d(new StrategyFileLogicHandlerPrivate(this))
{
    // The object lives on its worker thread: a client's connection to
    // slotQueryStrategyInstRsp() from another thread is queued, and Qt drops
    // a queued call whose argument type it does not know.
    qRegisterMetaType<QHash<QString, QVariantMap>>();
    qRegisterMetaType<QHash<QString, QVariantMap>>("QHash<QString,QVariantMap>");
}

StrategyFileLogicHandler::~StrategyFileLogicHandler()
{
    if (d->m_initialized)
        d->stop();
    // Forget this object if it is the one the shutdown routine knows.
    ShutdownRoutine::forget(ShutdownRoutine::PluginObject, this);
}

bool StrategyFileLogicHandler::isInitialized() const
{
    return d->m_initialized.load();
}

void StrategyFileLogicHandler::initialize()
{
    QMutexLocker locker(&d->m_initMutex);
    if (d->m_initialized)
        return;
    if (d->m_stopped) {
        // After exit() the object lives on a finished thread; moving it back
        // would have to be asked for from that thread, so a stopped plug-in
        // stays stopped.
        SL_WARNING << "StrategyFileLogicHandler::initialize"
                   << "refused: the plug-in was stopped by exit() and is not initialised again";
        return;
    }
    if (QThread::currentThread() != thread()) {
        // Only the object's own thread can move it to the worker thread:
        // from another one the move would fail and leave it half started.
        SL_CRITICAL << "StrategyFileLogicHandler::initialize"
                    << "refused: called on another thread than the one that made the object";
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
    d->m_lockedFolder = folder;
    // The user's files are named by the user id; the login account must
    // name the same user, or the two would name two folders.
    const QString user = getCurUserId();
    const QString login = CBusinessDataBase::GetInstance()->GetLoginAccount();
    if (login.toLower() != user)
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "the login account" << login << "and the user id"
                    << user << "name different users; the folder of the user id is used";
    d->m_userFolderUsable = FixedStrategyFile::isValidUserFolder(user);
    if (!d->m_userFolderUsable)
        SL_CRITICAL << "StrategyFileLogicHandler::initialize" << "the user id" << user
                    << "cannot name a folder below work/: fixed strategies and groups are neither loaded nor changed";
    d->m_registry.setUserFolder(user);
    d->m_groups.setLocation(folder, user, d->m_userFolderUsable);
    const QString history = QStringLiteral("%1/work/%2/%3").arg(folder, user, QLatin1String(ChangeHistory::FileName));
    d->m_history.setFilePath(d->m_userFolderUsable ? history : QString());
    d->removeLeftoverTemporaryFiles();
    // A store made while another process held the folder may write now.
    if (StrategySqlite::isInstanceAlive())
        StrategySqlite::instance().becomeWritable();

    StrategyCompilerCommerFuncs::instance()->init();
    d->initConnect();
    d->initStrategyFileInfo();
    {
        ZCore *core = ZCore::instance();
        const QString product = core->settings(LastProductKey, QString(), QString(), QSettings::UserScope).toString();
        const QString account =
            core->settings(LastFundaccountKey, QString(), QString(), QSettings::UserScope).toString();
        QMutexLocker remembered(&d->m_rememberedMutex);
        d->m_lastProduct = product;
        d->m_lastFundaccount = account;
    }
    d->m_initialized = true;
    // An import that a process did not finish is finished before anyone
    // sees the state it left.
    if (d->m_userFolderUsable)
        ImportReplay::finishInterrupted(*this, folder);
    d->m_workThread.setObjectName(WorkThreadName);
    moveToThread(&d->m_workThread);
    d->m_workThread.start(QThread::InheritPriority);
    ShutdownRoutine::arm();
}

void StrategyFileLogicHandler::exit()
{
    if (!d->m_initialized)
        return;
    d->m_stopped = true;
    d->stop();
}

void StrategyFileLogicHandlerPrivate::stop()
{
    bool written = m_groups.save();
    // Copies left unwritten by an add that stopped half-way reach the file.
    written = m_registry.writeDataFile() && written;
    if (written)
        m_groups.finishChange(); // both files hold a change that waited
    m_initialized = false;
    // Pending instance and day-cash rows are written (or kept in the
    // journal) before the folder is free for the next process.
    if (StrategyCompilerCommerFuncs::isInstanceAlive())
        StrategyCompilerCommerFuncs::instance()->finish();
    ZqFolderLock::release(m_lockedFolder);
    m_lockedFolder.clear();
    stopWorkThread();
}

void StrategyFileLogicHandlerPrivate::stopWorkThread()
{
    m_workThread.quit();
    if (QThread::currentThread() != &m_workThread)
        m_workThread.wait();
}

bool StrategyFileLogicHandlerPrivate::refusesChange(const char *function) const
{
    if (m_initialized)
        return false;
    Refusals::refuse(function, RefusalCode::NotInitialised, QStringLiteral("the plug-in is not initialised"),
                     Refusals::notInitialisedMessage());
    return true;
}

bool StrategyFileLogicHandlerPrivate::refusesRegistryChange(const char *function) const
{
    if (refusesChange(function))
        return true;
    if (m_userFolderUsable)
        return false;
    Refusals::refuse(function, RefusalCode::NotInitialised,
                     QStringLiteral("the user id cannot name a folder for the fixed strategies"),
                     Refusals::notInitialisedMessage());
    return true;
}

bool StrategyFileLogicHandlerPrivate::writeDataFile(const char *function)
{
    const bool written = m_registry.writeDataFile();
    if (!written && function)
        refuseUnwritten(function, QStringLiteral("the data file"));
    return written;
}

void StrategyFileLogicHandlerPrivate::refuseUnwritten(const char *function, const QString &what)
{
    Refusals::refuse(function, RefusalCode::NotWritable,
                     QStringLiteral("%1 could not be written; the change stays in memory").arg(what),
                     Refusals::notWritableMessage());
}

QString StrategyFileLogicHandlerPrivate::groupAnswer(const char *function, const QString &names,
                                                     const QString &message)
{
    const RefusalCode code = StrategyGroups::refusalCodeOf(message);
    if (code != RefusalCode::None)
        Refusals::refuse(function, code, QStringLiteral("%1 (%2)").arg(StrategyLogic::refusalCodeName(code), names),
                         message);
    return message;
}

bool StrategyFileLogicHandlerPrivate::groupResult(const char *function, const QString &group, bool existed,
                                                  bool result)
{
    if (result)
        return true;
    if (!existed)
        Refusals::refuse(function, RefusalCode::NoSuchGroup, QStringLiteral("no group named %1").arg(group),
                         Refusals::noSuchGroupMessage(group));
    else
        refuseUnwritten(function, QStringLiteral("the data file or the groups file"));
    return false;
}

void StrategyFileLogicHandlerPrivate::removeLeftoverTemporaryFiles()
{
    // A process killed while it replaced a file leaves the new copy under
    // a temporary name ("<file>.XXXXXX"). Nobody else writes the folder
    // while this process holds it, so such copies are leftovers.
    const QString folder = ZqApplicationDir::path();
    QList<QPair<QString, QStringList>> places = {
        {folder, {QLatin1String(PendingJournal::FileName), QLatin1String(InstallationLayout::PythonIniFile)}}};
    if (m_userFolderUsable)
        places.append({folder + QLatin1String("/work/") + q->getCurUserId(),
                       {QLatin1String(FixedStrategyFile::FileName), QLatin1String(GroupsFile::FileName),
                        QLatin1String(GroupChangeRecord::FileName),
                        QLatin1String(InstallationLayout::ImportRecordFile)}});
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

void StrategyFileLogicHandlerPrivate::initConnect()
{
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    QObject::connect(service, &StrategyCompilerCommerFuncs::sigFundAccountChanged, q,
                     &StrategyFileLogicHandler::sigFundAccountChanged, Qt::AutoConnection);
    QObject::connect(service, &StrategyCompilerCommerFuncs::sigInstanceRunModeChange, q,
                     &StrategyFileLogicHandler::sigInstanceRunModeChange, Qt::AutoConnection);
    QObject::connect(service, &StrategyCompilerCommerFuncs::signalInstanceRunModeLoaded, q,
                     &StrategyFileLogicHandler::signalInstanceRunModeLoaded, Qt::AutoConnection);
}

void StrategyFileLogicHandlerPrivate::initStrategyFileInfo()
{
    m_groups.read();
    // A change of two files that a process did not finish is finished
    // first, on what the two files gave, so that this start sees what the
    // finished change would have left.
    GroupChangeRecord change;
    const bool redo = m_groups.readInterruptedChange(&change);
    if (redo)
        m_groups.redoOnGroups(change);
    m_groups.checkAndAddAutoStart();

    QVector<FixedStrategyInfo> records = m_registry.storedRecords();
    if (redo)
        m_groups.redoOnRecords(change, &records);
    // Every group a record names is there after the start.
    const bool groupsAdded = m_groups.addMissing(m_registry.load(records));
    if (redo) {
        const bool written = m_registry.writeDataFile();
        if (m_groups.save() && written)
            m_groups.finishChange();
    } else if (groupsAdded) {
        m_groups.save();
    }
    m_locks.load(m_groups.names());
}

QString StrategyFileLogicHandler::getCurUserId()
{
    QMutexLocker locker(&d->m_userIdMutex);
    if (d->m_curUserId.isEmpty()) {
        const QMap<QString, QVariant> detail = CBusinessDataBase::GetInstance()->GetLoginAccountDetail();
        d->m_curUserId = detail.value(Tavrix_Fields::UserAccount::userID).toString().toLower();
    }
    return d->m_curUserId;
}

QString StrategyFileLogicHandler::getLastProduct() const
{
    QMutexLocker locker(&d->m_rememberedMutex);
    return d->m_lastProduct;
}

QString StrategyFileLogicHandler::getLastFundaccount() const
{
    QMutexLocker locker(&d->m_rememberedMutex);
    return d->m_lastFundaccount;
}

void StrategyFileLogicHandler::setLastProduct(const QString &product)
{
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::setLastProduct"))
        return;
    if (holdsNul(product)) {
        SL_UNSAVED << "StrategyFileLogicHandler::setLastProduct" << "refused: the product holds a NUL";
        Refusals::note("StrategyFileLogicHandler::setLastProduct", RefusalCode::NotStorable,
                       QStringLiteral("the product holds a NUL"), Refusals::notStorableMessage());
        return;
    }
    QMutexLocker locker(&d->m_rememberedMutex);
    if (product == d->m_lastProduct)
        return;
    d->m_lastProduct = product;
    ZCore::instance()->saveSetting(LastProductKey, product, QString(), QString(), QSettings::UserScope);
}

void StrategyFileLogicHandler::setLastFundaccount(const QString &fundAccount)
{
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::setLastFundaccount"))
        return;
    if (holdsNul(fundAccount)) {
        SL_UNSAVED << "StrategyFileLogicHandler::setLastFundaccount" << "refused: the fund account holds a NUL";
        Refusals::note("StrategyFileLogicHandler::setLastFundaccount", RefusalCode::NotStorable,
                       QStringLiteral("the fund account holds a NUL"), Refusals::notStorableMessage());
        return;
    }
    QMutexLocker locker(&d->m_rememberedMutex);
    if (fundAccount == d->m_lastFundaccount)
        return;
    d->m_lastFundaccount = fundAccount;
    ZCore::instance()->saveSetting(LastFundaccountKey, fundAccount, QString(), QString(), QSettings::UserScope);
}

void StrategyFileLogicHandler::slotQueryStrategyInstRsp(const QHash<QString, QVariantMap> &instLst, bool hasAllData,
                                                        int pageNo, int pageSize)
{
    Q_UNUSED(hasAllData)
    Q_UNUSED(pageNo)
    Q_UNUSED(pageSize)
    const bool initialized = d->m_initialized;
    SL_DEBUG << "enter slotQueryStrategyInstRsp" << initialized << instLst;
    if (initialized)
        StrategyCompilerCommerFuncs::instance()->initHisInstanceData(instLst);
}

// Strategy-file locks: the lock list answers.

bool StrategyFileLogicHandler::changeFileLockState(QString filePath, bool lock)
{
    SL_DEBUG << "StrategyFileLogicHandler::changeFileLockState" << filePath << lock;
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::changeFileLockState"))
        return false;
    if (lock && holdsNul(filePath)) {
        Refusals::refuse("StrategyFileLogicHandler::changeFileLockState", RefusalCode::NotStorable,
                         QStringLiteral("the path holds a NUL"), Refusals::notStorableMessage());
        return false;
    }
    const bool result = d->m_locks.change(filePath, lock);
    if (result)
        emit signalChangeFileLockState(filePath);
    else
        Refusals::refuse("StrategyFileLogicHandler::changeFileLockState", RefusalCode::NotWritable,
                         QStringLiteral("the local database did not take the change of %1").arg(filePath),
                         Refusals::notWritableMessage());
    return result;
}

bool StrategyFileLogicHandler::getFileLockState(QString filePath)
{
    const bool locked = d->m_locks.isLocked(filePath);
    SL_DEBUG << "StrategyFileLogicHandler::getFileLockState" << locked << filePath;
    return locked;
}

QStringList StrategyFileLogicHandler::getLockedFileList()
{
    return d->m_locks.list();
}

// Fixed strategies: the registry answers and changes, the facade signals.

QList<FixedStrategyInfo> StrategyFileLogicHandler::getFixedStrategyList()
{
    return d->m_registry.list();
}

FixedStrategyInfo StrategyFileLogicHandler::getFixedStrateyInfoByID(const int &id)
{
    return d->m_registry.byId(qint64(id));
}

QStringList StrategyFileLogicHandler::getFixedStrateNameList(const QString &filePath)
{
    return d->m_registry.names(filePath);
}

FixedStrategyInfo StrategyFileLogicHandler::getLastFixedStrategyInfo()
{
    return d->m_registry.last();
}

bool StrategyFileLogicHandler::isFixedStrategy(const QString &filePath)
{
    return d->m_registry.isFixed(filePath);
}

bool StrategyFileLogicHandler::isContainsFixedStrategy(const QString &filePath, const QString &name)
{
    return d->m_registry.contains(filePath, name);
}

QString StrategyFileLogicHandler::GetDefaultFixedStrategyName(const QString &filePath)
{
    return d->m_registry.defaultName(filePath);
}

bool StrategyFileLogicHandler::addFixedStrategy(QString filePath, QString name, QString group, QString extraInfo,
                                                int count)
{
    constexpr char Function[] = "StrategyFileLogicHandler::addFixedStrategy";
    SL_DEBUG << Function << filePath << name << group << extraInfo << count;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    if (!canStore(name, filePath, group, extraInfo)) {
        Refusals::refuse(Function, RefusalCode::NotStorable, QLatin1String(UnstorableText),
                         Refusals::notStorableMessage());
        return false;
    }
    bool result = true;
    for (int i = 0; i < count; ++i) {
        const QString copyName = i == 0 ? name : name + QLatin1Char('_') + QString::number(i);
        SL_DEBUG << "add begin " << i;
        FixedStrategyRegistry::AddResult added = FixedStrategyRegistry::AddResult::Added;
        qint64 id = 0;
        // The group stays while the copy goes in.
        const bool groupExists = d->m_groups.whileExists(group, [&] {
            added = d->m_registry.addCopy(filePath, copyName, group, extraInfo, i, &id);
        });
        if (!groupExists) {
            SL_DEBUG << "不包含的分组" << group;
            Refusals::refuse(Function, RefusalCode::NoSuchGroup, QStringLiteral("no group named %1").arg(group),
                             Refusals::noSuchGroupMessage(group));
            return false;
        }
        if (added == FixedStrategyRegistry::AddResult::NameTaken) {
            Refusals::refuse(Function, RefusalCode::NameTaken,
                             QStringLiteral("%1 is registered for %2 already").arg(copyName, filePath),
                             Refusals::nameTakenMessage(copyName));
            return false;
        }
        // Listed whenever registered, also after an earlier copy's id was
        // rejected: every record's name stays under its path.
        if (added == FixedStrategyRegistry::AddResult::IdRejected && result) {
            result = false;
            Refusals::refuse(Function, RefusalCode::IdRefused,
                             QStringLiteral("the id service gave no usable id for %1").arg(copyName),
                             Refusals::idRefusedMessage());
        }
        SL_DEBUG << "end insertStrategyInfo2 " << i << id << result;
        SL_DEBUG << "add end " << i << result;
    }
    SL_DEBUG << "addFixedStrategy over";
    if (!d->m_registry.writeDataFile() && result) {
        result = false;
        d->refuseUnwritten(Function, QStringLiteral("the data file"));
    }
    SL_DEBUG << "addFixedStrategy write file over";
    emit signalAddStrategy();
    return result;
}

StrategyLogic::Refusal StrategyFileLogicHandler::checkFixedStrategy(const QString &filePath, const QString &name,
                                                                   const QString &group, const QString &extraInfo,
                                                                   int count)
{
    const auto refused = [](RefusalCode code, const QString &reason, const QString &message) {
        StrategyLogic::Refusal refusal;
        refusal.code = code;
        refusal.reason = reason;
        refusal.message = message;
        refusal.function = QStringLiteral("StrategyFileLogicHandler::addFixedStrategy");
        return refusal;
    };
    if (!d->m_initialized)
        return refused(RefusalCode::NotInitialised, QStringLiteral("the plug-in is not initialised"),
                       Refusals::notInitialisedMessage());
    if (!d->m_userFolderUsable)
        return refused(RefusalCode::NotInitialised,
                       QStringLiteral("the user id cannot name a folder for the fixed strategies"),
                       Refusals::notInitialisedMessage());
    if (!canStore(name, filePath, group, extraInfo))
        return refused(RefusalCode::NotStorable, QLatin1String(UnstorableText), Refusals::notStorableMessage());
    if (!d->m_groups.whileExists(group, [] {}))
        return refused(RefusalCode::NoSuchGroup, QStringLiteral("no group named %1").arg(group),
                       Refusals::noSuchGroupMessage(group));
    for (int i = 0; i < count; ++i) {
        const QString copyName = i == 0 ? name : name + QLatin1Char('_') + QString::number(i);
        if (d->m_registry.contains(filePath, copyName))
            return refused(RefusalCode::NameTaken,
                           QStringLiteral("%1 is registered for %2 already").arg(copyName, filePath),
                           Refusals::nameTakenMessage(copyName));
    }
    return StrategyLogic::Refusal();
}

bool StrategyFileLogicHandler::modifyFixedStrategyInfo(int id, const FixedStrategyInfo &info)
{
    constexpr char Function[] = "StrategyFileLogicHandler::modifyFixedStrategyInfo";
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    if (!canStore(info.name, info.filePath, info.group, info.extraInfo)) {
        Refusals::refuse(Function, RefusalCode::NotStorable, QLatin1String(UnstorableText),
                         Refusals::notStorableMessage());
        return false;
    }
    if (!d->m_registry.modify(id, info)) {
        Refusals::refuse(Function, RefusalCode::NotFound, QStringLiteral("no fixed strategy with id %1").arg(id),
                         Refusals::notFoundMessage());
        return false;
    }
    emit signalStrategyModifyed(id);
    return d->writeDataFile(Function);
}

bool StrategyFileLogicHandler::modifyeStrategyFilePath(QString oldFilePath, QString newFilePath)
{
    constexpr char Function[] = "StrategyFileLogicHandler::modifyeStrategyFilePath";
    Refusals::clear();
    if (oldFilePath.isEmpty() || newFilePath.isEmpty()) {
        Refusals::refuse(Function, RefusalCode::NotFound, QStringLiteral("an empty path"),
                         Refusals::notFoundMessage());
        return false;
    }
    if (oldFilePath == newFilePath)
        return true;
    if (d->refusesRegistryChange(Function))
        return false;
    if (!FixedStrategyFile::canHold(newFilePath)) {
        SL_WARNING << Function << "refused: the path holds \",%&\", a line feed, a carriage return or a NUL";
        Refusals::note(Function, RefusalCode::NotStorable,
                       QStringLiteral("the path holds \",%&\", a line feed, a carriage return or a NUL"),
                       Refusals::notStorableMessage());
        return false;
    }
    const bool result = d->m_registry.moveFile(oldFilePath, newFilePath);
    if (!result)
        Refusals::refuse(Function, RefusalCode::NotFound,
                         QStringLiteral("the store holds no record of %1 to move").arg(oldFilePath),
                         Refusals::notFoundMessage());
    const bool written = d->writeDataFile(result ? Function : nullptr);
    if (result)
        emit signalFixedStrategyFileChanged(oldFilePath, newFilePath);
    return result && written;
}

bool StrategyFileLogicHandler::delFixedStrategyInfoByFilePath(QString filePath)
{
    constexpr char Function[] = "StrategyFileLogicHandler::delFixedStrategyInfoByFilePath";
    SL_DEBUG << Function << filePath;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    QList<int> removed;
    bool result = d->m_registry.removeFile(filePath, &removed);
    if (result)
        emit signalFixedStrategyFileRemoved(removed.isEmpty() ? 0 : removed.first());
    else
        Refusals::refuse(Function, RefusalCode::NotFound,
                         QStringLiteral("the store holds no record of %1 to remove").arg(filePath),
                         Refusals::notFoundMessage());
    if (!d->writeDataFile(result ? Function : nullptr))
        result = false;
    SL_DEBUG << "StrategyFileLogicHandler::delFixedStrategyInfoByFilePath" << result;
    return result;
}

bool StrategyFileLogicHandler::delFixedStrategyInfoByID(qint64 id)
{
    constexpr char Function[] = "StrategyFileLogicHandler::delFixedStrategyInfoByID";
    Refusals::clear();
    if (id < 0) {
        Refusals::refuse(Function, RefusalCode::NotFound, QStringLiteral("no fixed strategy with id %1").arg(id),
                         Refusals::notFoundMessage());
        return false;
    }
    if (d->refusesRegistryChange(Function))
        return false;
    if (!d->m_registry.removeId(id)) {
        Refusals::refuse(Function, RefusalCode::NotFound, QStringLiteral("no fixed strategy with id %1").arg(id),
                         Refusals::notFoundMessage());
        d->m_registry.writeDataFile();
        return false;
    }
    const bool written = d->writeDataFile(Function);
    emit signalFixedStrategyFileRemoved(int(id));
    return written;
}

// Strategy groups: the groups answer and change.

QString StrategyFileLogicHandler::addGroup(const QString &name)
{
    constexpr char Function[] = "StrategyFileLogicHandler::addGroup";
    SL_DEBUG << Function << name;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return StrategyGroups::notInitialisedMessage();
    return d->groupAnswer(Function, name, d->m_groups.add(name));
}

QString StrategyFileLogicHandler::addGroupCreatedAt(const QString &name, qint64 createTime)
{
    constexpr char Function[] = "StrategyFileLogicHandler::addGroupCreatedAt";
    SL_DEBUG << Function << name << createTime;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return StrategyGroups::notInitialisedMessage();
    return d->groupAnswer(Function, name, d->m_groups.add(name, createTime));
}

QString StrategyFileLogicHandler::renameGroup(const QString &oldName, const QString &newName)
{
    constexpr char Function[] = "StrategyFileLogicHandler::renameGroup";
    SL_DEBUG << Function << oldName << newName;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return StrategyGroups::notInitialisedMessage();
    return d->groupAnswer(Function, QStringLiteral("%1 -> %2").arg(oldName, newName),
                          d->m_groups.rename(oldName, newName));
}

bool StrategyFileLogicHandler::deleteGroup(QString name, bool deleteStrategies)
{
    constexpr char Function[] = "StrategyFileLogicHandler::deleteGroup";
    SL_DEBUG << Function << name << deleteStrategies;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    const bool existed = d->m_groups.names().contains(name);
    return d->groupResult(Function, name, existed, d->m_groups.remove(name, deleteStrategies));
}

bool StrategyFileLogicHandler::cleanupGroup(const QString &name)
{
    constexpr char Function[] = "StrategyFileLogicHandler::cleanupGroup";
    SL_DEBUG << Function << name;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    const bool existed = d->m_groups.names().contains(name);
    return d->groupResult(Function, name, existed, d->m_groups.cleanup(name));
}

bool StrategyFileLogicHandler::regroupAllStrategy(const QString &fromGroup, const QString &toGroup, bool removeFrom)
{
    constexpr char Function[] = "StrategyFileLogicHandler::regroupAllStrategy";
    SL_DEBUG << Function << fromGroup << toGroup << removeFrom;
    Refusals::clear();
    if (d->refusesRegistryChange(Function))
        return false;
    const QStringList names = d->m_groups.names();
    const QString missing = !names.contains(fromGroup) ? fromGroup : !names.contains(toGroup) ? toGroup : QString();
    return d->groupResult(Function, missing.isNull() ? fromGroup : missing, missing.isNull(),
                          d->m_groups.regroup(fromGroup, toGroup, removeFrom));
}

QList<SarvekGroupInfo> StrategyFileLogicHandler::getAllStrategyGroups()
{
    return d->m_groups.list();
}

QStringList StrategyFileLogicHandler::getAllStrategyGroupNameSorted()
{
    return d->m_groups.sortedNames();
}

void StrategyFileLogicHandler::checkAutoStart()
{
    if (d->m_groups.checkAndAddAutoStart())
        emit signalAddStrategy();
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
    Refusals::clear();
    StrategyCompilerCommerFuncs::instance()->setCurrentRunMode(mode);
}

QString StrategyFileLogicHandler::getPYInstallPath()
{
    return StrategyCompilerCommerFuncs::instance()->getPYInstallPath();
}

void StrategyFileLogicHandler::setPYInstallPath(const QString &path)
{
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::setPYInstallPath"))
        return;
    // A path the ini file did not take is refused as not written, as every
    // setter's is: a screen that shows the refusal does not call it saved.
    // The line naming the file was logged already.
    if (!StrategyCompilerCommerFuncs::instance()->setPYInstallPath(path))
        Refusals::note("StrategyFileLogicHandler::setPYInstallPath", RefusalCode::NotWritable,
                       QStringLiteral("the Python ini file could not be written; the path stays in memory"),
                       Refusals::notWritableMessage());
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
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::addInstanceRunMode"))
        return false;
    if (holdsNul(instanceId) || holdsNul(fundAccount) || holdsNul(returnRegInfo)) {
        Refusals::refuse("StrategyFileLogicHandler::addInstanceRunMode", RefusalCode::NotStorable,
                         QStringLiteral("a text holds a NUL"), Refusals::notStorableMessage());
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

QList<InstanceInfo> StrategyFileLogicHandler::getInstanceList()
{
    return StrategyCompilerCommerFuncs::instance()->instanceList();
}

QStringList StrategyFileLogicHandler::getBackTestInstanceIdList()
{
    return StrategyCompilerCommerFuncs::instance()->backTestInstanceIds();
}

bool StrategyFileLogicHandler::setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime)
{
    constexpr char Function[] = "StrategyFileLogicHandler::setInstanceStartEndTime";
    Refusals::clear();
    if (d->refusesChange(Function))
        return false;
    if (StrategyCompilerCommerFuncs::instance()->setInstanceStartEndTime(instanceId, startTime, endTime))
        return true;
    if (!SqlText::isPlainDecimal(instanceId))
        Refusals::refuse(Function, RefusalCode::NotStorable,
                         QStringLiteral("times are kept only for an instance whose id is a plain decimal number, "
                                        "not %1")
                             .arg(instanceId),
                         Refusals::notStorableMessage());
    else
        Refusals::refuse(Function, RefusalCode::NotWritable,
                         QStringLiteral("the local database did not take the times of instance %1").arg(instanceId),
                         Refusals::notWritableMessage());
    return false;
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
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::addBackTestInitCashInfo"))
        return;
    if (holdsNul(instanceId) || !std::isfinite(initialFunds)) {
        SL_UNSAVED << "StrategyFileLogicHandler::addBackTestInitCashInfo"
                   << "refused: the instance id holds a NUL or the amount is not a number";
        Refusals::note("StrategyFileLogicHandler::addBackTestInitCashInfo", RefusalCode::NotStorable,
                       QStringLiteral("the instance id holds a NUL or the amount is not a number"),
                       Refusals::notStorableMessage());
        return;
    }
    StrategyCompilerCommerFuncs::instance()->addBackTestInitCashInfo(instanceId, date, initialFunds);
}

void StrategyFileLogicHandler::addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds)
{
    Refusals::clear();
    if (d->refusesChange("StrategyFileLogicHandler::addBackTestInitCashEndInfo"))
        return;
    if (holdsNul(instanceId) || !std::isfinite(endFunds)) {
        SL_UNSAVED << "StrategyFileLogicHandler::addBackTestInitCashEndInfo"
                   << "refused: the instance id holds a NUL or the amount is not a number";
        Refusals::note("StrategyFileLogicHandler::addBackTestInitCashEndInfo", RefusalCode::NotStorable,
                       QStringLiteral("the instance id holds a NUL or the amount is not a number"),
                       Refusals::notStorableMessage());
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
