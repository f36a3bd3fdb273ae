#include "bundle/bundleexporter.h"

#include "bundle/bundledocument.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/installationlayout.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QPair>
#include <QSet>

#include <algorithm>

namespace {
const QStringList StrategyKeys{QStringLiteral("id"),    QStringLiteral("name"),      QStringLiteral("filePath"),
                               QStringLiteral("group"), QStringLiteral("extraInfo"), QStringLiteral("copyIndex")};
const QStringList GroupKeys{QStringLiteral("name"), QStringLiteral("createTime")};
const QStringList InstanceKeys{QStringLiteral("instanceId"),  QStringLiteral("runMode"),
                               QStringLiteral("fundAccount"), QStringLiteral("returnRegInfo"),
                               QStringLiteral("startTime"),   QStringLiteral("endTime")};
const QStringList DayKeys{QStringLiteral("instanceId"), QStringLiteral("date"), QStringLiteral("initialFunds"),
                          QStringLiteral("endFunds")};

QJsonValue timeValue(const QDateTime &time)
{
    if (!time.isValid())
        return QJsonValue(QJsonValue::Null);
    const QDateTime local = time.toLocalTime();
    return local.toString(local.time().msec() != 0 ? BundleDocument::TimeFormatMs : BundleDocument::TimeFormat);
}

// JSON text of one value, written by Qt (escapes, shortest numbers).
QByteArray compact(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

// An object on one line, its members in the order of `keys`.
QByteArray line(const QJsonObject &object, const QStringList &keys)
{
    QByteArray out = "{";
    for (int i = 0; i < keys.size(); ++i)
        out += (i ? ", " : "") + compact(keys.at(i)) + ": " + compact(object.value(keys.at(i)));
    return out + '}';
}

// One member of the document, a list with one record per line.
QByteArray memberText(const QString &key, const QJsonValue &value, const QStringList &recordKeys)
{
    QByteArray out = "    " + compact(key) + ": ";
    if (!value.isArray() || value.toArray().isEmpty())
        return out + compact(value);
    const QJsonArray array = value.toArray();
    out += "[\n";
    for (int j = 0; j < array.size(); ++j) {
        out += "        ";
        out += array.at(j).isObject() ? line(array.at(j).toObject(), recordKeys) : compact(array.at(j));
        out += j + 1 < array.size() ? ",\n" : "\n";
    }
    return out + "    ]";
}
} // namespace

BundleExporter::BundleExporter(StrategyFileLogicHandler &handler)
    : m_handler(handler)
{
}

void BundleExporter::collect()
{
    collectStrategiesAndGroups();
    m_locks = QJsonArray();
    for (const QString &lock : m_handler.getLockedFileList())
        m_locks.append(lock);
    collectInstancesAndDays();
    m_user = m_handler.getCurUserId();
    m_lastProduct = m_handler.getLastProduct();
    m_lastFundAccount = m_handler.getLastFundaccount();
    m_runMode = m_handler.getCurrentRunMode();
    m_pythonPath = m_handler.getPYInstallPath();
}

void BundleExporter::collectStrategiesAndGroups()
{
    m_strategies = QJsonArray();
    m_groups = QJsonArray();
    QStringList namedGroups;
    for (const FixedStrategyInfo &info : m_handler.getFixedStrategyList()) {
        m_strategies.append(QJsonObject{{QStringLiteral("id"), double(info.id)},
                                        {QStringLiteral("name"), info.name},
                                        {QStringLiteral("filePath"), info.filePath},
                                        {QStringLiteral("group"), info.group},
                                        {QStringLiteral("extraInfo"), info.extraInfo},
                                        {QStringLiteral("copyIndex"), info.copyIndex}});
        namedGroups.append(info.group);
    }
    QSet<QString> listed;
    for (const SarvekGroupInfo &group : m_handler.getAllStrategyGroups()) {
        // The built-in groups are the system's: their time is not carried.
        const bool timed = !InstallationLayout::isBuiltInGroup(group.name) && group.createTime != -1;
        m_groups.append(QJsonObject{
            {QStringLiteral("name"), group.name},
            {QStringLiteral("createTime"),
             timed ? timeValue(QDateTime::fromSecsSinceEpoch(group.createTime)) : QJsonValue(QJsonValue::Null)}});
        listed.insert(group.name);
    }
    // A group deleted while strategies still name it comes back at the next
    // start; listed here so that the document names every group it uses.
    namedGroups.removeDuplicates();
    namedGroups.sort();
    for (const QString &name : qAsConst(namedGroups)) {
        if (!listed.contains(name))
            m_groups.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("createTime"), QJsonValue()}});
    }
}

// The instances the plug-in holds (of the database, an earlier run's
// journal and this process), and the days of instances never registered
// too, in the plug-in's listing order.
void BundleExporter::collectInstancesAndDays()
{
    QStringList ids;
    QSet<QString> instancesListed;
    for (const InstanceInfo &info : m_handler.getInstanceList()) {
        ids.append(info.instanceId);
        instancesListed.insert(info.instanceId);
    }
    for (const QString &id : m_handler.getBackTestInstanceIdList()) {
        if (!instancesListed.contains(id))
            ids.append(id);
    }
    std::sort(ids.begin(), ids.end(), StrategyCompilerCommerFuncs::instanceIdLess);
    m_instances = QJsonArray();
    m_days = QJsonArray();
    for (const QString &id : qAsConst(ids)) {
        const InstanceInfo info = m_handler.getInstanceInfo(id);
        if (!info.instanceId.isEmpty())
            m_instances.append(QJsonObject{{QStringLiteral("instanceId"), info.instanceId},
                                           {QStringLiteral("runMode"), info.runMode},
                                           {QStringLiteral("fundAccount"), info.fundAccount},
                                           {QStringLiteral("returnRegInfo"), info.returnRegInfo},
                                           {QStringLiteral("startTime"), timeValue(info.startTime)},
                                           {QStringLiteral("endTime"), timeValue(info.endTime)}});
        QList<BackTestCashInfo> cash;
        if (!m_handler.queryBackTestCashInfo(id, cash))
            continue;
        for (const BackTestCashInfo &day : qAsConst(cash))
            m_days.append(QJsonObject{{QStringLiteral("instanceId"), id},
                                      {QStringLiteral("date"), day.date.toString(Qt::ISODate)},
                                      {QStringLiteral("initialFunds"), day.initialFunds},
                                      {QStringLiteral("endFunds"), day.endFunds}});
    }
}

QByteArray BundleExporter::text() const
{
    const QList<QPair<QString, QJsonValue>> members{
        {QStringLiteral("format"), BundleDocument::Format},
        {QStringLiteral("version"), BundleDocument::Version},
        {QStringLiteral("exportedAt"), QDateTime::currentDateTime().toString(BundleDocument::TimeFormat)},
        {QStringLiteral("user"), m_user},
        {QStringLiteral("fixedStrategies"), m_strategies},
        {QStringLiteral("groups"), m_groups},
        {QStringLiteral("locks"), m_locks},
        {QStringLiteral("instances"), m_instances},
        {QStringLiteral("backtestDays"), m_days},
        {QStringLiteral("lastProduct"), m_lastProduct},
        {QStringLiteral("lastFundAccount"), m_lastFundAccount},
        {QStringLiteral("runMode"), m_runMode},
        {QStringLiteral("pythonPath"), m_pythonPath}};
    const QHash<QString, QStringList> recordKeys{{QStringLiteral("fixedStrategies"), StrategyKeys},
                                                 {QStringLiteral("groups"), GroupKeys},
                                                 {QStringLiteral("instances"), InstanceKeys},
                                                 {QStringLiteral("backtestDays"), DayKeys}};
    QByteArray out = "{\n";
    for (int i = 0; i < members.size(); ++i) {
        const QString &key = members.at(i).first;
        out += memberText(key, members.at(i).second, recordKeys.value(key));
        out += i + 1 < members.size() ? ",\n" : "\n";
    }
    return out + "}\n";
}
