// Fixed strategies: listing, lookups, adding, changing and removing.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"
#include "unsavedwatch.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QJsonArray>

namespace {
const QString DefaultGroup = QStringLiteral("默认分组");

bool storable(const QString &text)
{
    return !text.contains(QLatin1String(",%&")) && !text.contains(QLatin1Char('\n'))
           && !text.contains(QLatin1Char('\r')) && !text.contains(QChar(0));
}

bool readId(CommandContext &c, int *id)
{
    return c.toInt(c.args.at(0), QStringLiteral("ID"), id);
}

int show(CommandContext &c, const FixedStrategyInfo &info, const QString &missing)
{
    if (info.id == -1)
        return c.refuse(missing);
    c.out.printRecord(RecordJson::fixedStrategyKeys(), RecordJson::fixedStrategy(info));
    return CommandContext::Success;
}

int list(CommandContext &c)
{
    QList<QJsonObject> records;
    const QList<FixedStrategyInfo> all = c.facade.getFixedStrategyList();
    for (const FixedStrategyInfo &info : all)
        records.append(RecordJson::fixedStrategy(info));
    c.out.printRecords(RecordJson::fixedStrategyKeys(), records);
    return CommandContext::Success;
}

int add(CommandContext &c)
{
    const QString path = c.args.at(0);
    const QString name = c.args.at(1);
    const QString group = c.parser.isSet(QStringLiteral("group")) ? c.parser.value(QStringLiteral("group")) : DefaultGroup;
    const QString extra = c.parser.value(QStringLiteral("extra"));
    int count = 1;
    if (c.parser.isSet(QStringLiteral("count")) && !c.toInt(c.parser.value(QStringLiteral("count")), QStringLiteral("--count"), &count))
        return c.usageStatus;

    // The names registered before: a refused add may still have registered
    // its first copies.
    const QStringList names = c.facade.getFixedStrateNameList(path);
    if (c.facade.addFixedStrategy(path, name, group, extra, count))
        return c.ok();
    if (!UnsavedWatch::since(c.unsavedMark).isEmpty())
        return c.refuseUnlessUnsaved(QString());
    // The plug-in answers false only; say why as its log does.
    bool groupExists = false;
    for (const SarvekGroupInfo &g : c.facade.getAllStrategyGroups())
        groupExists = groupExists || g.name == group;
    if (!storable(path) || !storable(name) || !storable(group) || !storable(extra))
        return c.refuse(QStringLiteral("a text holds \",%&\", a line feed, a carriage return or a NUL, which the data file cannot hold"));
    if (!groupExists)
        return c.refuse(QStringLiteral("不包含的分组: %1").arg(group));
    for (int i = 0; i < count; ++i) {
        const QString copy = i == 0 ? name : name + QLatin1Char('_') + QString::number(i);
        if (names.contains(copy))
            return c.refuse(QStringLiteral("已经存在该固化对象: %1").arg(copy));
    }
    return c.refuse(QStringLiteral("the id service gave no usable id for a copy"));
}

int modify(CommandContext &c)
{
    int id = 0;
    if (!readId(c, &id))
        return c.usageStatus;
    FixedStrategyInfo info = c.facade.getFixedStrateyInfoByID(id);
    if (info.id == -1)
        return c.refuse(QStringLiteral("no fixed strategy with id %1").arg(id));
    if (c.parser.isSet(QStringLiteral("name")))
        info.name = c.parser.value(QStringLiteral("name"));
    if (c.parser.isSet(QStringLiteral("path")))
        info.filePath = c.parser.value(QStringLiteral("path"));
    if (c.parser.isSet(QStringLiteral("group")))
        info.group = c.parser.value(QStringLiteral("group"));
    if (c.parser.isSet(QStringLiteral("extra")))
        info.extraInfo = c.parser.value(QStringLiteral("extra"));
    if (c.parser.isSet(QStringLiteral("copy-index"))
        && !c.toInt(c.parser.value(QStringLiteral("copy-index")), QStringLiteral("--copy-index"), &info.copyIndex))
        return c.usageStatus;
    if (!c.facade.modifyFixedStrategyInfo(id, info))
        return c.refuseUnlessUnsaved(QStringLiteral("the fixed strategy was not changed: a text holds \",%&\", a line feed, a carriage return or a NUL"));
    return c.ok();
}

int removeStrategies(CommandContext &c)
{
    if (c.parser.isSet(QStringLiteral("path"))) {
        if (!c.args.isEmpty())
            return c.usage(QStringLiteral("takes either ID or --path PATH"));
        if (!c.facade.delFixedStrategyInfoByFilePath(c.parser.value(QStringLiteral("path"))))
            return c.refuseUnlessUnsaved(QStringLiteral("the fixed strategies were not removed"));
        return c.ok();
    }
    if (c.args.size() != 1)
        return c.usage(QStringLiteral("expects ID or --path PATH"));
    qint64 id = 0;
    if (!c.toInt64(c.args.at(0), QStringLiteral("ID"), &id))
        return c.usageStatus;
    if (!c.facade.delFixedStrategyInfoByID(id))
        return c.refuseUnlessUnsaved(QStringLiteral("no fixed strategy with id %1").arg(id));
    return c.ok();
}
} // namespace

void registerStrategyCommands(CommandTable &table)
{
    const QCommandLineOption group(QStringLiteral("group"), QStringLiteral("Group (default 默认分组)."), QStringLiteral("G"));
    const QCommandLineOption extra(QStringLiteral("extra"), QStringLiteral("Free text kept with the strategy."), QStringLiteral("TEXT"));

    table.add(QStringLiteral("strategy list"), QString(), QStringLiteral("Lists the fixed strategies."), 0, 0, list);
    table.add(QStringLiteral("strategy show"), QStringLiteral("ID"), QStringLiteral("Shows one fixed strategy."), 1, 1,
              [](CommandContext &c) {
                  int id = 0;
                  if (!readId(c, &id))
                      return c.usageStatus;
                  return show(c, c.facade.getFixedStrateyInfoByID(id), QStringLiteral("no fixed strategy with id %1").arg(id));
              });
    table.add(QStringLiteral("strategy last"), QString(), QStringLiteral("Shows the fixed strategy with the largest id."),
              0, 0, [](CommandContext &c) {
                  return show(c, c.facade.getLastFixedStrategyInfo(), QStringLiteral("there are no fixed strategies"));
              });
    table.add(QStringLiteral("strategy names"), QStringLiteral("PATH"),
              QStringLiteral("Lists the names registered for a strategy file."), 1, 1, [](CommandContext &c) {
                  c.out.printList(c.facade.getFixedStrateNameList(c.args.at(0)));
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("strategy is-fixed"), QStringLiteral("PATH [NAME]"),
              QStringLiteral("Whether the file is a fixed strategy (under NAME, when given)."), 1, 2,
              [](CommandContext &c) {
                  return c.check(c.args.size() == 2 ? c.facade.isContainsFixedStrategy(c.args.at(0), c.args.at(1))
                                                    : c.facade.isFixedStrategy(c.args.at(0)));
              });
    table.add(QStringLiteral("strategy default-name"), QStringLiteral("PATH"),
              QStringLiteral("Proposes a name not yet used for the file."), 1, 1, [](CommandContext &c) {
                  c.out.printRecord({QStringLiteral("name")},
                                    QJsonObject{{QStringLiteral("name"), c.facade.GetDefaultFixedStrategyName(c.args.at(0))}});
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("strategy add"), QStringLiteral("PATH NAME"),
              QStringLiteral("Registers the file as COUNT fixed strategies: NAME, NAME_1, NAME_2, ..."), 2, 2, add,
              {group, extra,
               QCommandLineOption(QStringLiteral("count"), QStringLiteral("Number of copies (default 1)."), QStringLiteral("N"))});
    table.add(QStringLiteral("strategy modify"), QStringLiteral("ID"),
              QStringLiteral("Changes the given fields of a fixed strategy."), 1, 1, modify,
              {QCommandLineOption(QStringLiteral("name"), QStringLiteral("New name."), QStringLiteral("N")),
               QCommandLineOption(QStringLiteral("path"), QStringLiteral("New file path."), QStringLiteral("P")),
               QCommandLineOption(QStringLiteral("group"), QStringLiteral("New group."), QStringLiteral("G")),
               QCommandLineOption(QStringLiteral("extra"), QStringLiteral("New free text."), QStringLiteral("T")),
               QCommandLineOption(QStringLiteral("copy-index"), QStringLiteral("New copy index."), QStringLiteral("I"))});
    table.add(QStringLiteral("strategy move"), QStringLiteral("OLD NEW"),
              QStringLiteral("Follows a strategy file that was moved or renamed."), 2, 2, [](CommandContext &c) {
                  if (!c.facade.modifyeStrategyFilePath(c.args.at(0), c.args.at(1)))
                      return c.refuseUnlessUnsaved(QStringLiteral("the file path was not changed (empty, or a text the data file cannot hold)"));
                  return c.ok();
              });
    table.add(QStringLiteral("strategy remove"), QStringLiteral("ID | --path PATH"),
              QStringLiteral("Removes one fixed strategy, or every fixed strategy of a file."), 0, 1, removeStrategies,
              {QCommandLineOption(QStringLiteral("path"), QStringLiteral("Remove every fixed strategy of this file."), QStringLiteral("PATH"))});
}
