// Strategy instances and the backtest day-cash ledger of
// StrategyCompilerCommerFuncs.

#include "strategycompilercommerfuncs.h"
#include "storage/sqltext.h"
#include "storage/strategylogging.h"
#include "storage/strategyschema.h"

#include "storage/strategysqlite.h"

#include <tavrix_fields.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <vector>

namespace {
constexpr int SqliteBusy = 5;

// Members of the server's basic parameters that are settings, not user
// parameters.
bool isSettingKey(const QString &key)
{
    static const QStringList keys = {
        QStringLiteral("account_info"),      QStringLiteral("LogDataSaveType"),
        QStringLiteral("operate_mode"),      QStringLiteral("python_home"),
        QStringLiteral("show_strategy_cmd"), QStringLiteral("strategy_batch_index"),
        QStringLiteral("fundaccount_trade_push"), QStringLiteral("time_unit"),
        QStringLiteral("instance_name"),
    };
    return keys.contains(key);
}

// Loaded times are kept in UTC and become local times only when read: a
// local time is costly to make, and a start loads thousands.
bool hasUtcTimes(const InstanceInfo &info)
{
    return info.startTime.timeSpec() == Qt::UTC || info.endTime.timeSpec() == Qt::UTC;
}

InstanceInfo withLocalTimes(InstanceInfo info)
{
    if (info.startTime.timeSpec() == Qt::UTC)
        info.startTime = info.startTime.toLocalTime();
    if (info.endTime.timeSpec() == Qt::UTC)
        info.endTime = info.endTime.toLocalTime();
    return info;
}

// Sorts `items` in the order of instanceIdLess() of their ids, each id read
// as a number once rather than at every comparison (a list of 100,000
// instances makes some two million comparisons).
template <typename T, typename IdOf>
void sortByInstanceId(QList<T> &items, IdOf idOf)
{
    struct Key
    {
        bool numeric;
        qint64 number;
        int index;
    };
    std::vector<Key> keys;
    keys.reserve(size_t(items.size()));
    for (int i = 0; i < items.size(); ++i) {
        Key key{false, 0, i};
        key.number = idOf(items.at(i)).toLongLong(&key.numeric);
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end(), [&items, &idOf](const Key &a, const Key &b) {
        if (a.numeric != b.numeric)
            return a.numeric;
        if (a.numeric && a.number != b.number)
            return a.number < b.number;
        return idOf(items.at(a.index)) < idOf(items.at(b.index));
    });
    QList<T> sorted;
    sorted.reserve(items.size());
    for (const Key &key : keys)
        sorted.append(items.at(key.index));
    items.swap(sorted);
}
} // namespace

bool StrategyCompilerCommerFuncs::addInstanceRunMode(QString instanceId, int runMode, QString fundAccount,
                                                     QString returnRegInfo)
{
    SL_DEBUG << "StrategyCompilerCommerFuncs::addInstanceRunMode" << instanceId << runMode;
    InstanceInfo info;
    info.instanceId = instanceId;
    info.runMode = runMode;
    info.fundAccount = fundAccount;
    info.returnRegInfo = returnRegInfo;
    {
        QWriteLocker locker(&m_instanceLock);
        m_instanceMap.insert(instanceId, info);
    }
    {
        QWriteLocker locker(&m_pendingInstanceLock);
        m_pendingInstanceMap.insert(instanceId, info);
    }
    emit sigInstanceRunModeChange(instanceId, runMode);
    return true;
}

OPERATEMODE StrategyCompilerCommerFuncs::getInstanceRunMode(QString instanceId)
{
    QReadLocker locker(&m_instanceLock);
    auto it = m_instanceMap.constFind(instanceId);
    return it == m_instanceMap.cend() ? OPERATE_UNKNOWN : OPERATEMODE(it->runMode);
}

QString StrategyCompilerCommerFuncs::getInstanceFundAccount(QString instanceId)
{
    QReadLocker locker(&m_instanceLock);
    SL_DEBUG << "StrategyCompilerCommerFuncs::getInstanceFundAccount" << instanceId << m_instanceMap.keys();
    return m_instanceMap.value(instanceId).fundAccount;
}

InstanceInfo StrategyCompilerCommerFuncs::getInstanceInfo(QString instanceId)
{
    QReadLocker locker(&m_instanceLock);
    return withLocalTimes(m_instanceMap.value(instanceId));
}

QString StrategyCompilerCommerFuncs::getReturnInstanceInfo(QString instanceId)
{
    QReadLocker locker(&m_instanceLock);
    return m_instanceMap.value(instanceId).returnRegInfo;
}

InstanceInfo StrategyCompilerCommerFuncs::getLastReturnInstanceRegInfo()
{
    InstanceInfo last;
    {
        QReadLocker locker(&m_instanceLock);
        SL_DEBUG << "StrategyCompilerCommerFuncs::getLastReturnInstanceRegInfo" << m_instanceMap.size();
        for (auto it = m_instanceMap.cend(); it != m_instanceMap.cbegin();) {
            --it;
            if (it->runMode == OPERATE_BACKTEST) {
                last = it.value();
                break;
            }
        }
    }
    SL_DEBUG << "StrategyCompilerCommerFuncs::getLastReturnInstanceRegInfo" << last.instanceId;
    return withLocalTimes(last);
}

bool StrategyCompilerCommerFuncs::setInstanceStartEndTime(QString instanceId, QDateTime startTime, QDateTime endTime)
{
    {
        QWriteLocker locker(&m_instanceLock);
        auto it = m_instanceMap.find(instanceId);
        if (it != m_instanceMap.end()) {
            it->startTime = startTime;
            it->endTime = endTime;
        }
    }
    {
        // A row still waiting for the database takes its times along.
        QWriteLocker locker(&m_pendingInstanceLock);
        auto it = m_pendingInstanceMap.find(instanceId);
        if (it != m_pendingInstanceMap.end()) {
            it->startTime = startTime;
            it->endTime = endTime;
        }
    }
    {
        // So does a row of an earlier run's journal.
        QMutexLocker locker(&m_journalLock);
        for (InstanceInfo &info : m_journalInstances) {
            if (info.instanceId == instanceId) {
                info.startTime = startTime;
                info.endTime = endTime;
            }
        }
    }
    StrategySqlite &store = StrategySqlite::instance();
    if (store.setInstanceStartEndTime(instanceId, startTime, endTime))
        return true;
    // The table cannot take the times (a view in its place, columns it
    // lacks): the row waits with them for the flush, and the journal, as a
    // new row does.
    if (!SqlText::isPlainDecimal(instanceId) || store.tableFault(StrategySchema::InstancesTable).isEmpty())
        return false;
    InstanceInfo info;
    {
        QReadLocker locker(&m_instanceLock);
        auto it = m_instanceMap.constFind(instanceId);
        if (it == m_instanceMap.cend())
            return false;
        info = it.value();
    }
    QWriteLocker locker(&m_pendingInstanceLock);
    if (!m_pendingInstanceMap.contains(instanceId))
        m_pendingInstanceMap.insert(instanceId, info);
    return true;
}

QList<ZParamData> StrategyCompilerCommerFuncs::getInstanceParams(const QString &instanceId)
{
    QReadLocker locker(&m_paramsLock);
    return m_instanceParamsMap.value(instanceId).params;
}

void StrategyCompilerCommerFuncs::updateInstanceParams(const ZInstanceMonitorData &data)
{
    QWriteLocker locker(&m_paramsLock);
    m_instanceParamsMap.insert(data.instanceId, data);
}

void StrategyCompilerCommerFuncs::initInstanceData()
{
    StrategySqlite &store = StrategySqlite::instance();
    // Read into maps of their own, without a lock held while the database
    // is read (it may be busy), then taken over whole.
    QMap<QString, InstanceInfo> instances;
    int instancesErr = 0;
    store.readAllInstances(instancesErr, [&](InstanceInfo &info) {
        // Rows come in the order they were written, mostly ascending:
        // inserting at the end is then the right place at once.
        instances.insert(instances.cend(), info.instanceId, info);
    });
    QHash<QString, QMap<QDate, BackTestCashInfo>> cash;
    int cashErr = 0;
    {
        QMap<QDate, BackTestCashInfo> *days = nullptr;
        QString daysOf;
        store.readAllDayCash(cashErr, [&](BackTestCashInfo &day) {
            // The days of one instance usually follow each other.
            if (!days || daysOf != day.instanceId) {
                days = &cash[day.instanceId];
                daysOf = day.instanceId;
            }
            days->insert(days->cend(), day.date, day);
        });
    }
    if (instancesErr == 0) {
        // Entries made in this process are newer than the database's rows
        // (their own rows may still be pending), so a load never replaces them.
        QWriteLocker locker(&m_instanceLock);
        if (m_instanceMap.isEmpty()) {
            m_instanceMap.swap(instances);
        } else {
            for (auto it = instances.cbegin(); it != instances.cend(); ++it) {
                if (!m_instanceMap.contains(it.key()))
                    m_instanceMap.insert(it.key(), it.value());
            }
        }
    }
    if (cashErr == 0) {
        QWriteLocker locker(&m_cashLock);
        for (auto it = cash.begin(); it != cash.end(); ++it) {
            QMap<QDate, BackTestCashInfo> &days = m_backTestCashMap[it.key()];
            if (days.isEmpty()) {
                days.swap(it.value());
                continue;
            }
            for (auto day = it->cbegin(); day != it->cend(); ++day) {
                if (!days.contains(day.key()))
                    days.insert(day.key(), day.value());
            }
        }
    }
    const int err = instancesErr != 0 ? instancesErr : cashErr;

    if (err == SqliteBusy && !m_loadRetryTimer) {
        m_loadRetryTimer = new QTimer;
        m_loadRetryTimer->setInterval(LoadRetryIntervalMs);
        connect(m_loadRetryTimer, &QTimer::timeout, this, &StrategyCompilerCommerFuncs::initInstanceData);
        m_loadRetryTimer->start();
    } else if (err == 0) {
        if (m_loadRetryTimer && m_loadRetryTimer->isActive())
            m_loadRetryTimer->stop();
        emit signalInstanceRunModeLoaded();
        SL_DEBUG << "emit signalInstanceRunModeLoaded";
    }
}

void StrategyCompilerCommerFuncs::initHisInstanceData(const QHash<QString, QMap<QString, QVariant>> &instLst)
{
    using namespace Tavrix_Fields;
    for (auto entry = instLst.cbegin(); entry != instLst.cend(); ++entry) {
        ZInstanceMonitorData data;
        data.strategyName = entry->value(Strategy::strategyName).toString();
        data.instanceName = entry->value(Strategy::strategyInstanceName).toString();
        data.instanceId = entry.key();
        data.instanceState = 4;
        const qint64 begin = entry->value(Strategy::strategyInstanceValidBeginTime).toString().toLongLong(nullptr, 10);
        data.validBeginTime = QDateTime::fromMSecsSinceEpoch(begin);

        const QJsonObject params =
            QJsonDocument::fromJson(entry->value(Strategy::strategyBasicParam).toString().toUtf8()).object();
        for (auto it = params.begin(); it != params.end(); ++it) {
            if (isSettingKey(it.key()))
                continue;
            ZParamData param;
            param.paramName = it.key();
            param.paramValue = it.value().toString();
            data.params.append(param);
            SL_DEBUG << "StrategyCompilerCommerFuncs::initHisInstanceData" << data.instanceId << data.strategyName
                     << data.instanceName << data.validBeginTime << param.paramName << param.paramValue;
        }
        updateInstanceParams(data);
    }
}

void StrategyCompilerCommerFuncs::addBackTestInitCashInfo(QString instanceId, QDate date, double initialFunds)
{
    BackTestCashInfo day;
    day.date = date;
    day.instanceId = instanceId;
    day.initialFunds = initialFunds;
    day.endFunds = 0.0;
    QWriteLocker locker(&m_cashLock);
    m_backTestCashMap[instanceId].insert(date, day);
}

void StrategyCompilerCommerFuncs::addBackTestInitCashEndInfo(QString instanceId, QDate date, double endFunds)
{
    QWriteLocker locker(&m_cashLock);
    auto instance = m_backTestCashMap.find(instanceId);
    if (instance == m_backTestCashMap.end())
        return;
    auto day = instance->find(date);
    if (day == instance->end())
        return; // end funds without initial funds are dropped
    day->endFunds = endFunds;
    QWriteLocker pending(&m_pendingCashLock);
    m_pendingCashList.append(day.value());
}

bool StrategyCompilerCommerFuncs::instanceIdLess(const QString &a, const QString &b)
{
    bool aNumber = false;
    bool bNumber = false;
    const qint64 x = a.toLongLong(&aNumber);
    const qint64 y = b.toLongLong(&bNumber);
    if (aNumber != bNumber)
        return aNumber;
    if (aNumber && x != y)
        return x < y;
    return a < b;
}

QList<InstanceInfo> StrategyCompilerCommerFuncs::instanceList()
{
    QList<InstanceInfo> list;
    bool utc = false;
    {
        QReadLocker locker(&m_instanceLock);
        list = m_instanceMap.values();
        utc = std::any_of(list.cbegin(), list.cend(), hasUtcTimes);
    }
    if (utc) {
        // The loaded times are made local in the map, once: a client reads
        // the whole list every few seconds, and a local time costs a look at
        // the time zone.
        QWriteLocker locker(&m_instanceLock);
        for (InstanceInfo &info : m_instanceMap) {
            if (hasUtcTimes(info))
                info = withLocalTimes(info);
        }
        list = m_instanceMap.values();
    }
    sortByInstanceId(list, [](const InstanceInfo &info) -> const QString & { return info.instanceId; });
    return list;
}

QStringList StrategyCompilerCommerFuncs::backTestInstanceIds()
{
    QStringList ids;
    {
        QReadLocker locker(&m_cashLock);
        for (auto it = m_backTestCashMap.cbegin(); it != m_backTestCashMap.cend(); ++it) {
            if (!it->isEmpty())
                ids.append(it.key());
        }
    }
    sortByInstanceId(ids, [](const QString &id) -> const QString & { return id; });
    return ids;
}

bool StrategyCompilerCommerFuncs::queryBackTestCashInfo(const QString &instanceId, QList<BackTestCashInfo> &records)
{
    QReadLocker locker(&m_cashLock);
    auto instance = m_backTestCashMap.constFind(instanceId);
    if (instance == m_backTestCashMap.cend())
        return false;
    records = instance->values();
    return true;
}

bool StrategyCompilerCommerFuncs::queryBackTestCashInfo(const QString &instanceId, const QDate &date,
                                                        double &initialFunds, double &endFunds)
{
    QReadLocker locker(&m_cashLock);
    auto instance = m_backTestCashMap.constFind(instanceId);
    if (instance == m_backTestCashMap.cend())
        return false;
    auto day = instance->constFind(date);
    if (day == instance->cend())
        return false;
    initialFunds = day->initialFunds;
    endFunds = day->endFunds;
    return true;
}
