// Strategy instances.

#include "commands.h"
#include "commandtable.h"
#include "eventprinter.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
int add(CommandContext &c)
{
    const int mode = c.toInt(c.args.at(1));
    if (!c.facade().addInstanceRunMode(c.args.at(0), mode, c.parser.value(QStringLiteral("account")),
                                     c.parser.value(QStringLiteral("reg"))))
        return c.refuseUnlessUnsaved(QStringLiteral("the instance was not registered: a text holds a NUL"));
    return c.ok();
}

bool known(CommandContext &c, const QString &id)
{
    return !c.facade().getInstanceInfo(id).instanceId.isEmpty() || c.facade().getInstanceRunMode(id) != OPERATE_UNKNOWN;
}

QJsonObject record(CommandContext &c, const QString &id)
{
    QJsonObject record = RecordJson::instance(c.facade().getInstanceInfo(id));
    const OPERATEMODE mode = c.facade().getInstanceRunMode(id);
    record.insert(QStringLiteral("instanceId"), id);
    record.insert(QStringLiteral("instanceRunMode"), int(mode));
    record.insert(QStringLiteral("instanceRunModeName"), OperateModeNames.value(int(mode)));
    return record;
}

QStringList recordKeys()
{
    return RecordJson::instanceKeys() << QStringLiteral("instanceRunMode") << QStringLiteral("instanceRunModeName");
}

int show(CommandContext &c)
{
    const QString id = c.args.at(0);
    if (!known(c, id))
        return c.notFound(QStringLiteral("no instance %1").arg(id));
    c.out.printRecord(recordKeys(), record(c, id));
    return CommandContext::Success;
}

// The instances the plug-in holds: those of the local database and those
// registered in this process whose rows are still on their way there.
int list(CommandContext &c)
{
    QList<QJsonObject> records;
    for (const InstanceInfo &info : c.facade().getInstanceList()) {
        if (known(c, info.instanceId))
            records.append(record(c, info.instanceId));
    }
    c.out.printRecords(recordKeys(), records);
    return CommandContext::Success;
}

int times(CommandContext &c)
{
    const QString id = c.args.at(0);
    if (!known(c, id))
        return c.notFound(QStringLiteral("no instance %1").arg(id));
    if (!c.facade().setInstanceStartEndTime(id, c.toDateTime(c.args.at(1)), c.toDateTime(c.args.at(2))))
        return c.unavailable(QStringLiteral("io"), QStringLiteral("the local database did not take the times (see --verbose)"));
    return c.ok();
}

int params(CommandContext &c)
{
    const QList<ZParamData> list = c.facade().getInstanceParams(c.args.at(0));
    if (list.isEmpty())
        return c.notFound(QStringLiteral("no parameters known for instance %1 (they come with the strategy server's "
                                         "list: 'instance server-list' inside 'strategyctl shell')").arg(c.args.at(0)));
    QList<QJsonObject> records;
    for (const ZParamData &param : list)
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
    QFile file(CommandContext::localFile(c.args.at(0)));
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
    c.facade().slotQueryStrategyInstRsp(list, true, 1, list.size());
    return c.ok();
}
} // namespace

void registerInstanceCommands(CommandTable &table)
{
    table.add(QStringLiteral("instance add"), QStringLiteral("ID MODE:int"),
              QStringLiteral("Registers an instance with a run mode (0 live, 1 simulated, 2 backtest)."), add,
              {{QStringLiteral("account"), QStringLiteral("A"), ValueType::Text, QStringLiteral("Fund account."), {}, QString()},
               {QStringLiteral("reg"), QStringLiteral("TEXT"), ValueType::Text, QStringLiteral("Registration answer."), {},
                QString()}})
        .db = DbAccess::Writes;
    table.add(QStringLiteral("instance list"), QString(), QStringLiteral("Lists the instances and their run modes."),
              list)
        .db = DbAccess::Reads;
    table.add(QStringLiteral("instance show"), QStringLiteral("ID"), QStringLiteral("Shows an instance and its run mode."),
              show)
        .db = DbAccess::Reads;
    table.add(QStringLiteral("instance last-backtest"), QString(),
              QStringLiteral("Shows the backtest instance with the greatest id."), [](CommandContext &c) {
                  const InstanceInfo info = c.facade().getLastReturnInstanceRegInfo();
                  if (info.instanceId.isEmpty())
                      return c.notFound(QStringLiteral("there is no backtest instance"));
                  c.out.printRecord(RecordJson::instanceKeys(), RecordJson::instance(info));
                  return int(CommandContext::Success);
              })
        .db = DbAccess::Reads;
    table.add(QStringLiteral("instance times"), QStringLiteral("ID START:time END:time"),
              QStringLiteral("Sets an instance's start and end times (ISO 8601 local times)."), times)
        .db = DbAccess::Writes;
    table.add(QStringLiteral("instance params"), QStringLiteral("ID"),
              QStringLiteral("Lists an instance's user parameters from the server's list."), params);
    CommandTable::Command &server = table.add(
        QStringLiteral("instance server-list"), QStringLiteral("FILE:file"),
        QStringLiteral("Hands the strategy server's instance list (a JSON file) to the plug-in."), serverList);
    server.scope = Scope::ShellOnly;
    server.shellHint = QStringLiteral("the plug-in keeps the server's list in memory only; hand it over inside "
                                      "'strategyctl shell'.");
}
