#include "strategycompilercommerfuncs.h"

#include "facade/pluginshutdown.h"
#include "storage/strategysqlite.h"

#include <zqpath.h>

#include <QRegExp>
#include <QSettings>
#include <QThread>
#include <QTimer>

namespace {
constexpr char IniGroup[] = "ZqProEngineConfig";
constexpr char PythonPathKey[] = "Sarvek_PythonInstallPath";
std::atomic<StrategyCompilerCommerFuncs *> s_instance{nullptr};
} // namespace

StrategyCompilerCommerFuncs *StrategyCompilerCommerFuncs::instance()
{
    static StrategyCompilerCommerFuncs service;
    static const bool registered = [] {
        s_instance = &service;
        PluginShutdown::setService(&service);
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
{
    // The path is resolved now, against the working directory the client
    // keeps at its installation folder.
    m_settings = new QSettings(QStringLiteral("./ZqProEngineConfig.ini"), QSettings::IniFormat, this);
    m_settings->beginGroup(IniGroup);
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
    PluginShutdown::forgetService(this);
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
    if (StrategySqlite::isInstanceAlive()) {
        flushPendingData();
    } else if (pendingInstanceCount() > 0 || pendingCashCount() > 0) {
        SL_WARNING << "StrategyCompilerCommerFuncs::shutdown" << "the store is gone; rows not written:"
                   << pendingInstanceCount() << "instances," << pendingCashCount() << "day-cash rows";
    }
    QMutexLocker locker(&m_pyPathMutex);
    m_settings->sync();
}

void StrategyCompilerCommerFuncs::init()
{
    {
        QMutexLocker locker(&m_initMutex);
        if (m_initialized)
            return;
        m_initialized = true;
    }
    initInstanceData();
    refreshAccount();
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

void StrategyCompilerCommerFuncs::setPYInstallPath(const QString &path)
{
    QMutexLocker locker(&m_pyPathMutex);
    m_pyInstallPath = path;
    m_settings->beginGroup(IniGroup);
    m_settings->setValue(PythonPathKey, path);
    m_settings->endGroup();
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
    QMutexLocker flushing(&m_flushMutex);
    StrategySqlite &store = StrategySqlite::instance();

    // Both halves write from a copy: no pending lock is held while the
    // database works, and rows queued meanwhile wait for the next tick.
    QList<InstanceInfo> instances;
    {
        QReadLocker locker(&m_pendingInstanceLock);
        instances = m_pendingInstanceMap.values();
    }
    if (!instances.isEmpty() && store.addInstanceRunModeList(instances)) {
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
    if (!cash.isEmpty() && store.addBackTestDayCashList(cash)) {
        // Only this flush removes rows and others only append, so the rows
        // written are still the first ones.
        QWriteLocker locker(&m_pendingCashLock);
        m_pendingCashList.erase(m_pendingCashList.begin(), m_pendingCashList.begin() + cash.size());
    }
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
