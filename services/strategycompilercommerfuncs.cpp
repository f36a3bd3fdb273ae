#include "strategycompilercommerfuncs.h"

#include "services/pendingjournal.h"
#include "storage/installationlayout.h"
#include "storage/setasidefile.h"
#include "storage/shutdownroutine.h"
#include "storage/strategyschema.h"
#include "storage/strategylogging.h"
#include "storage/strategysqlite.h"

#include <zqapplicationdir.h>
#include <zqfolderlock.h>
#include <zqmemsqlitemgr.h>
#include <zqpath.h>

#include <QElapsedTimer>
#include <QFile>
#include <QRegExp>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

namespace {
using InstallationLayout::PythonIniGroup;
using InstallationLayout::PythonPathKey;
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
std::atomic<StrategyCompilerCommerFuncs *> s_instance{nullptr};
} // namespace

StrategyCompilerCommerFuncs *StrategyCompilerCommerFuncs::instance()
{
    static StrategyCompilerCommerFuncs service;
    static const bool registered = [] {
        s_instance = &service;
        ShutdownRoutine::set(ShutdownRoutine::Service, &service, [] { service.shutdown(); });
        return true;
    }();
    Q_UNUSED(registered)
    return &service;
}

bool StrategyCompilerCommerFuncs::isInstanceAlive()
{
    return s_instance.load() != nullptr;
}

StrategyCompilerCommerFuncs::StrategyCompilerCommerFuncs(QObject *parent)
    : QObject(parent)
    , m_folder(ZqApplicationDir::path())
{
    // In the installation folder, whatever the working directory is: the
    // file read is the file written.
    m_settings = new QSettings(m_folder + QLatin1Char('/') + QLatin1String(InstallationLayout::PythonIniFile), QSettings::IniFormat, this);
    m_settings->beginGroup(PythonIniGroup);
    {
        QMutexLocker locker(&m_pyPathMutex);
        m_pyInstallPath = m_settings->value(PythonPathKey, QVariant()).toString();
        SL_DEBUG << "PYTHONINSTALLPATHKEY" << m_pyInstallPath;
    }
    m_settings->endGroup();

    m_flushTimer = new QTimer(this);
    m_flushTimer->setInterval(FlushIntervalMs);
    connect(m_flushTimer, &QTimer::timeout, this, &StrategyCompilerCommerFuncs::flushPendingData);
    m_flushTimer->start();
}

StrategyCompilerCommerFuncs::~StrategyCompilerCommerFuncs()
{
    StrategyCompilerCommerFuncs *self = this;
    s_instance.compare_exchange_strong(self, nullptr);
    ShutdownRoutine::forget(ShutdownRoutine::Service, this);
    shutdown();
    delete m_loadRetryTimer;
    m_loadRetryTimer = nullptr;
}

void StrategyCompilerCommerFuncs::shutdown()
{
    if (QThread::currentThread() == thread()) {
        m_flushTimer->stop();
        if (m_loadRetryTimer)
            m_loadRetryTimer->stop();
    }
    finish();
}

bool StrategyCompilerCommerFuncs::finish()
{
    if (!holdsFolder()) {
        // Not this process's folder to write (any more): nothing goes to it.
        const int instances = pendingInstanceCount(), cash = pendingCashCount();
        if (instances > 0 || cash > 0)
            SL_UNSAVED_CRITICAL << "StrategyCompilerCommerFuncs::shutdown" << "this process does not hold the installation folder"
                                << m_folder << ":" << instances << "instance rows and" << cash
                                << "day-cash rows are not stored";
        return instances == 0 && cash == 0;
    }
    bool kept = true;
    if (pendingInstanceCount() > 0 || pendingCashCount() > 0) {
        int code = -1;
        if (StrategySqlite::isInstanceAlive()) {
            // Another program's write usually ends within moments; one that
            // holds the database longer must not keep the client from closing.
            QElapsedTimer waited;
            waited.start();
            while ((code = flushAll()) != 0 && (code == SqliteBusy || code == SqliteLocked)
                   && waited.elapsed() < FinalFlushWaitMs)
                QThread::msleep(100);
        }
        if (code != 0) {
            // A table that cannot take rows (a view in its place, columns
            // it lacks) is no passing state like a busy database: its rows
            // are said not to be stored, and the reason names it.
            const QStringList damaged = code > 0 ? damagedTables() : QStringList();
            const QString reason = !damaged.isEmpty() ? damaged.join(QLatin1String("; "))
                                   : code < 0 ? QStringLiteral("the database is closed")
                                              : QStringLiteral("%1 (%2)").arg(ZqMemSqliteMgr::errorText(code)).arg(code);
            kept = keepPendingInJournal(reason, damaged);
        }
    } else if (StrategySqlite::isInstanceAlive()) {
        flushAll(); // a journal of an earlier run, if the database takes it now; else it stays as it is
    }
    QMutexLocker locker(&m_pyPathMutex);
    if (m_pyPathUnsaved) {
        m_pyPathUnsaved = !writePythonPathLocked();
        if (m_pyPathUnsaved) {
            SL_UNSAVED << "StrategyCompilerCommerFuncs::shutdown" << "cannot write" << m_settings->fileName()
                       << "- the Python path" << m_pyInstallPath << "is not stored";
            kept = false;
        }
    }
    m_settings->sync();
    return kept;
}

QString StrategyCompilerCommerFuncs::journalPath() const
{
    return PendingJournal::path(m_folder);
}

QStringList StrategyCompilerCommerFuncs::damagedTables()
{
    bool instances = pendingInstanceCount() > 0, cash = pendingCashCount() > 0;
    {
        QMutexLocker journal(&m_journalLock);
        instances = instances || !m_journalInstances.isEmpty();
        cash = cash || !m_journalCash.isEmpty();
    }
    QStringList damaged;
    StrategySqlite &store = StrategySqlite::instance();
    for (const auto &table : {std::make_pair(instances, StrategySchema::InstancesTable),
                              std::make_pair(cash, StrategySchema::DayCashTable)}) {
        const QString fault = table.first ? store.tableFault(table.second) : QString();
        if (!fault.isEmpty())
            damaged.append(QStringLiteral("the table %1 of %2 cannot take rows (%3)")
                               .arg(QLatin1String(table.second), QLatin1String(InstallationLayout::DatabaseFile), fault));
    }
    return damaged;
}

bool StrategyCompilerCommerFuncs::keepPendingInJournal(const QString &reason, const QStringList &damaged)
{
    QMutexLocker flushing(&m_flushMutex);
    PendingJournal::Rows rows;
    {
        QMutexLocker journal(&m_journalLock);
        rows.instances = m_journalInstances;
        rows.dayCash = m_journalCash;
    }
    QList<InstanceInfo> instances;
    {
        QReadLocker locker(&m_pendingInstanceLock);
        instances = m_pendingInstanceMap.values();
    }
    QList<BackTestCashInfo> cash;
    {
        QReadLocker locker(&m_pendingCashLock);
        cash = m_pendingCashList;
    }
    if (instances.isEmpty() && cash.isEmpty() && rows.isEmpty())
        return true;
    // Pending rows are newer than the journal's: they come after them.
    rows.instances += instances;
    rows.dayCash += cash;
    QString error;
    if (!PendingJournal::write(journalPath(), rows, reason, &error)) {
        SL_UNSAVED_CRITICAL << "StrategyCompilerCommerFuncs::shutdown"
                            << QStringLiteral("the database cannot be written (%1) and the rows cannot be kept in %2 "
                                              "either (%3):").arg(reason, journalPath(), error)
                            << instances.size() << "instance rows and" << cash.size() << "day-cash rows are not stored";
        return false;
    }
    if (!damaged.isEmpty())
        SL_UNSAVED << "StrategyCompilerCommerFuncs::shutdown" << QStringLiteral("%1:").arg(reason)
                   << rows.instances.size() << "instance rows and" << rows.dayCash.size() << "day-cash rows kept in"
                   << journalPath()
                   << "for the next start; a repair of the installation rebuilds the table (strategyctl doctor --fix)";
    else
        SL_WARNING << "StrategyCompilerCommerFuncs::shutdown" << QStringLiteral("the database cannot be written (%1):").arg(reason)
                   << rows.instances.size() << "instance rows and" << rows.dayCash.size() << "day-cash rows kept in"
                   << journalPath() << "for the next start";
    // The journal holds them now; a later flush of this process replays it.
    {
        QMutexLocker journal(&m_journalLock);
        m_journalInstances = rows.instances;
        m_journalCash = rows.dayCash;
        m_journalOnDisk = true;
    }
    {
        QWriteLocker locker(&m_pendingInstanceLock);
        for (const InstanceInfo &kept : qAsConst(instances)) {
            auto it = m_pendingInstanceMap.find(kept.instanceId);
            if (it != m_pendingInstanceMap.end() && *it == kept)
                m_pendingInstanceMap.erase(it);
        }
    }
    {
        QWriteLocker locker(&m_pendingCashLock);
        m_pendingCashList.erase(m_pendingCashList.begin(), m_pendingCashList.begin() + cash.size());
    }
    return true;
}

void StrategyCompilerCommerFuncs::loadJournal()
{
    PendingJournal::Rows rows;
    QString error;
    switch (PendingJournal::read(journalPath(), &rows, &error)) {
    case PendingJournal::Missing:
        return;
    case PendingJournal::Damaged: {
        const QString aside = SetAsideFile::move(journalPath());
        SL_CRITICAL << "StrategyCompilerCommerFuncs::init" << "the pending-row journal" << journalPath()
                    << QStringLiteral("cannot be read (%1); kept as").arg(error) << (aside.isEmpty() ? journalPath() : aside);
        return;
    }
    case PendingJournal::Read:
        break;
    }
    SL_INFO << "StrategyCompilerCommerFuncs::init" << "journal of an earlier run:" << rows.instances.size()
            << "instance rows and" << rows.dayCash.size() << "day-cash rows to write";
    {
        QMutexLocker journal(&m_journalLock);
        m_journalInstances = rows.instances;
        m_journalCash = rows.dayCash;
        m_journalOnDisk = true;
    }
    // Shown at once; the database's older rows of the same keys do not
    // replace them when they are loaded.
    {
        QWriteLocker locker(&m_instanceLock);
        for (const InstanceInfo &info : qAsConst(rows.instances))
            m_instanceMap.insert(info.instanceId, info);
    }
    {
        QWriteLocker locker(&m_cashLock);
        for (const BackTestCashInfo &day : qAsConst(rows.dayCash))
            m_backTestCashMap[day.instanceId].insert(day.date, day);
    }
}

int StrategyCompilerCommerFuncs::replayJournal()
{
    QList<InstanceInfo> instances;
    QList<BackTestCashInfo> cash;
    {
        QMutexLocker journal(&m_journalLock);
        if (!m_journalOnDisk)
            return 0;
        instances = m_journalInstances;
        cash = m_journalCash;
    }
    StrategySqlite &store = StrategySqlite::instance();
    // The same upsert as the flush: a journal row replaces the row of its
    // key, which is older (nothing newer is written while a journal waits).
    int code = store.writeInstanceRows(instances);
    if (code == 0)
        code = store.writeDayCashRows(cash);
    if (code != 0)
        return code;
    QMutexLocker journal(&m_journalLock);
    if (!QFile::remove(journalPath()) && QFile::exists(journalPath())) {
        // A folder in which SQLite could write its own journal is one in
        // which this file can be removed; should it not be, the next start
        // would write these rows once more, over any newer row of their keys.
        SL_CRITICAL << "StrategyCompilerCommerFuncs::flushPendingData"
                    << "journal written to the database but not removed:" << journalPath();
        return 0;
    }
    SL_INFO << "StrategyCompilerCommerFuncs::flushPendingData" << "journal of an earlier run written:"
            << instances.size() << "instance rows and" << cash.size() << "day-cash rows";
    m_journalInstances.clear();
    m_journalCash.clear();
    m_journalOnDisk = false;
    return 0;
}

void StrategyCompilerCommerFuncs::init()
{
    {
        QMutexLocker locker(&m_initMutex);
        if (m_initialized)
            return;
        m_initialized = true;
    }
    loadJournal();
    initInstanceData();
    refreshAccount();
    // A journal of an earlier run goes in now if the database takes it.
    flushAll();
}

void StrategyCompilerCommerFuncs::setCurrentRunMode(int mode)
{
    SL_DEBUG << "eter StrategyCompilerCommerFuncs::setCurrentRunMode" << mode;
    m_currentRunMode = mode;
}

int StrategyCompilerCommerFuncs::getCurrentRunMode() const
{
    return m_currentRunMode;
}

QString StrategyCompilerCommerFuncs::getPYInstallPath()
{
    QMutexLocker locker(&m_pyPathMutex);
    return m_pyInstallPath;
}

bool StrategyCompilerCommerFuncs::setPYInstallPath(const QString &path)
{
    QMutexLocker locker(&m_pyPathMutex);
    m_pyInstallPath = path;
    m_pyPathUnsaved = !writePythonPathLocked();
    if (m_pyPathUnsaved)
        SL_UNSAVED << "StrategyCompilerCommerFuncs::setPYInstallPath" << "cannot write" << m_settings->fileName()
                   << "- the path is kept in memory and written at the next sync";
    return !m_pyPathUnsaved;
}

bool StrategyCompilerCommerFuncs::writePythonPathLocked()
{
    m_settings->beginGroup(PythonIniGroup);
    m_settings->setValue(PythonPathKey, m_pyInstallPath);
    m_settings->endGroup();
    // A QSettings object reports a failed write for the rest of its life,
    // and keeps the change to retry it at the next sync: a fresh view of
    // the same file tells whether this write failed.
    QSettings written(m_settings->fileName(), QSettings::IniFormat);
    written.sync();
    if (written.status() != QSettings::NoError)
        return false;
    // Nor does QSettings notice every failure: a disk that fills up during
    // the final flush leaves a short file behind a "successful" sync. The
    // bytes on disk are parsed afresh (a copy, since QSettings caches the
    // file it has written).
    QFile file(m_settings->fileName());
    const QTemporaryDir check;
    if (!file.open(QIODevice::ReadOnly) || !check.isValid())
        return file.exists(); // no way to look closer: the sync's word stands
    const QString copy = check.filePath(QStringLiteral("check.ini"));
    QFile copyFile(copy);
    if (!copyFile.open(QIODevice::WriteOnly) || copyFile.write(file.readAll()) < 0 || !copyFile.flush())
        return true;
    copyFile.close();
    return QSettings(copy, QSettings::IniFormat).value(QStringLiteral("%1/%2").arg(QLatin1String(PythonIniGroup), QLatin1String(PythonPathKey)))
               .toString()
           == m_pyInstallPath;
}

int StrategyCompilerCommerFuncs::pendingInstanceCount()
{
    QReadLocker locker(&m_pendingInstanceLock);
    return m_pendingInstanceMap.size();
}

int StrategyCompilerCommerFuncs::pendingCashCount()
{
    QReadLocker locker(&m_pendingCashLock);
    return m_pendingCashList.size();
}

void StrategyCompilerCommerFuncs::flushPendingData()
{
    flushAll();
}

bool StrategyCompilerCommerFuncs::holdsFolder() const
{
    return ZqFolderLock::isHeld(m_folder);
}

int StrategyCompilerCommerFuncs::flushAll()
{
    QMutexLocker flushing(&m_flushMutex);
    if (pendingInstanceCount() == 0 && pendingCashCount() == 0) {
        QMutexLocker journal(&m_journalLock);
        if (!m_journalOnDisk)
            return 0; // nothing to do: the database is not even opened
    }
    // Only the process that holds the installation folder writes it: after
    // exit() another process may hold it, and rows left here wait (in the
    // journal) for whoever holds it next.
    if (!holdsFolder())
        return FolderNotHeld;
    // Rows of an earlier run first: a newer row of the same key written
    // before them would be replaced by them.
    const int journalCode = replayJournal();
    if (journalCode != 0)
        return journalCode;

    StrategySqlite &store = StrategySqlite::instance();
    // Both halves write from a copy: no pending lock is held while the
    // database works, and rows queued meanwhile wait for the next tick.
    QList<InstanceInfo> instances;
    {
        QReadLocker locker(&m_pendingInstanceLock);
        instances = m_pendingInstanceMap.values();
    }
    const int instanceCode = store.writeInstanceRows(instances);
    if (!instances.isEmpty() && instanceCode == 0) {
        QWriteLocker locker(&m_pendingInstanceLock);
        for (const InstanceInfo &written : qAsConst(instances)) {
            // A row replaced after the copy was taken stays pending.
            auto it = m_pendingInstanceMap.find(written.instanceId);
            if (it != m_pendingInstanceMap.end() && *it == written)
                m_pendingInstanceMap.erase(it);
        }
    }

    QList<BackTestCashInfo> cash;
    {
        QReadLocker locker(&m_pendingCashLock);
        cash = m_pendingCashList;
    }
    const int cashCode = store.writeDayCashRows(cash);
    if (!cash.isEmpty() && cashCode == 0) {
        // Only a flush removes rows and others only append, so the rows
        // written are still the first ones.
        QWriteLocker locker(&m_pendingCashLock);
        m_pendingCashList.erase(m_pendingCashList.begin(), m_pendingCashList.begin() + cash.size());
    }
    return instanceCode != 0 ? instanceCode : cashCode;
}

bool StrategyCompilerCommerFuncs::isValidFileName(QString name)
{
    SL_DEBUG << "StrategyCompilerCommerFuncs::isValidFileName" << name;
    const QString baseName = ZqPath::baseName(name);
    const QString fileName = ZqPath::fileName(name);
    if (baseName.isEmpty())
        return false;
    const QRegExp blacklist(QStringLiteral("[\\\\/:*?\"<> ]"), Qt::CaseSensitive, QRegExp::RegExp);
    if (fileName.contains(blacklist))
        return false;
    const bool hasExtension = !fileName.endsWith(QLatin1Char('.')) && fileName.contains(QLatin1Char('.'));
    return baseName.size() <= 30 ? hasExtension : false;
}

bool StrategyCompilerCommerFuncs::isValidDirectoryName(QString name)
{
    if (name.isEmpty())
        return false;
    const QRegExp blacklist(QStringLiteral("[\\\\/:*?\"<> .]"), Qt::CaseSensitive, QRegExp::RegExp);
    if (name.contains(blacklist))
        return false;
    return !name.at(0).isDigit();
}
