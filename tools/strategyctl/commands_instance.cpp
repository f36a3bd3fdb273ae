// Strategy instances.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
int add(CommandContext &c)
{
    int mode = 0;
    if (!c.toInt(c.args.at(1), QStringLiteral("MODE"), &mode))
        return c.usageStatus;
    if (!c.facade.addInstanceRunMode(c.args.at(0), mode, c.parser.value(QStringLiteral("account")),
                                     c.parser.value(QStringLiteral("reg"))))
        return c.refuse(QStringLiteral("the instance was not registered: a text holds a NUL"));
    return c.ok();
}

int show(CommandContext &c)
{
    const QString id = c.args.at(0);
    const InstanceInfo info = c.facade.getInstanceInfo(id);
    const OPERATEMODE mode = c.facade.getInstanceRunMode(id);
    if (info.instanceId.isEmpty() && mode == OPERATE_UNKNOWN)
        return c.refuse(QStringLiteral("no instance %1").arg(id));
    QJsonObject record = RecordJson::instance(info);
    record.insert(QStringLiteral("instanceRunMode"), int(mode));
    record.insert(QStringLiteral("instanceRunModeName"), OperateModeNames.value(int(mode)));
    c.out.printRecord(RecordJson::instanceKeys() << QStringLiteral("instanceRunMode") << QStringLiteral("instanceRunModeName"),
                      record);
    return CommandContext::Success;
}

int times(CommandContext &c)
{
    QDateTime start;
    QDateTime end;
    if (!c.toDateTime(c.args.at(1), &start) || !c.toDateTime(c.args.at(2), &end))
        return c.usageStatus;
    if (!c.facade.setInstanceStartEndTime(c.args.at(0), start, end))
        return c.refuse(QStringLiteral("the local database did not take the times (see --verbose)"));
    return c.ok();
}

int params(CommandContext &c)
{
    QList<QJsonObject> records;
    for (const ZParamData &param : c.facade.getInstanceParams(c.args.at(0)))
        records.append(QJsonObject{{QStringLiteral("paramName"), param.paramName},
                                   {QStringLiteral("paramValue"), param.paramValue}});
    c.out.printRecords({QStringLiteral("paramName"), QStringLiteral("paramValue")}, records);
    return CommandContext::Success;
}

// FILE holds the strategy server's instance list: a JSON object from
// instance id to the instance's fields. A strategyBasicParam given as an
// object is passed on as its JSON text, as the server sends it.
int serverList(CommandContext &c)
{
    QFile file(c.args.at(0));
    if (!file.open(QIODevice::ReadOnly))
        return c.refuse(QStringLiteral("cannot read %1: %2").arg(c.args.at(0), file.errorString()));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (!doc.isObject())
        return c.refuse(QStringLiteral("%1 is not a JSON object of instances: %2").arg(c.args.at(0), error.errorString()));
    QHash<QString, QVariantMap> list;
    const QJsonObject instances = doc.object();
    for (auto it = instances.begin(); it != instances.end(); ++it) {
        QVariantMap fields;
        const QJsonObject object = it.value().toObject();
        for (auto field = object.begin(); field != object.end(); ++field) {
            const QJsonValue value = field.value();
            if (value.isObject() || value.isArray())
                fields.insert(field.key(), QString::fromUtf8(QJsonDocument(value.isObject() ? QJsonDocument(value.toObject())
                                                                                            : QJsonDocument(value.toArray()))
                                                                 .toJson(QJsonDocument::Compact)));
            else
                fields.insert(field.key(), value.toVariant());
        }
        list.insert(it.key(), fields);
    }
    c.facade.slotQueryStrategyInstRsp(list, true, 1, list.size());
    return c.ok();
}
} // namespace

void registerInstanceCommands(CommandTable &table)
{
    table.add(QStringLiteral("instance add"), QStringLiteral("ID MODE"),
              QStringLiteral("Registers an instance with a run mode (0 live, 1 simulated, 2 backtest)."), 2, 2, add,
              {QCommandLineOption(QStringLiteral("account"), QStringLiteral("Fund account."), QStringLiteral("A")),
               QCommandLineOption(QStringLiteral("reg"), QStringLiteral("Registration answer."), QStringLiteral("TEXT"))});
    table.add(QStringLiteral("instance show"), QStringLiteral("ID"), QStringLiteral("Shows an instance and its run mode."),
              1, 1, show);
    table.add(QStringLiteral("instance last-backtest"), QString(),
              QStringLiteral("Shows the backtest instance with the greatest id."), 0, 0, [](CommandContext &c) {
                  const InstanceInfo info = c.facade.getLastReturnInstanceRegInfo();
                  if (info.instanceId.isEmpty())
                      return c.refuse(QStringLiteral("there is no backtest instance"));
                  c.out.printRecord(RecordJson::instanceKeys(), RecordJson::instance(info));
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("instance times"), QStringLiteral("ID START END"),
              QStringLiteral("Sets an instance's start and end times (ISO 8601 local times)."), 3, 3, times);
    table.add(QStringLiteral("instance params"), QStringLiteral("ID"),
              QStringLiteral("Lists an instance's user parameters from the server's list."), 1, 1, params);
    table.add(QStringLiteral("instance server-list"), QStringLiteral("FILE"),
              QStringLiteral("Hands the strategy server's instance list (a JSON file) to the plug-in."), 1, 1,
              serverList);
}
