// Fixed strategies: listing, lookups, adding, changing and removing.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"
#include "unsavedwatch.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QJsonArray>

namespace {
int show(CommandContext &c, const FixedStrategyInfo &info, const QString &missing)
{
    if (info.id == -1)
        return c.notFound(missing);
    c.out.printRecord(RecordJson::fixedStrategyKeys(), RecordJson::fixedStrategy(info));
    return CommandContext::Success;
}

int list(CommandContext &c)
{
    const bool byGroup = c.parser.isSet(QStringLiteral("group"));
    const bool byPath = c.parser.isSet(QStringLiteral("path"));
    const QList<FixedStrategyInfo> all = c.facade().getFixedStrategyList();
    QVector<const FixedStrategyInfo *> shown;
    for (const FixedStrategyInfo &info : all) {
        if (byGroup && info.group != c.parser.value(QStringLiteral("group")))
            continue;
        if (byPath && info.filePath != c.parser.value(QStringLiteral("path")))
            continue;
        shown.append(&info);
    }
    if (byGroup && shown.isEmpty()) {
        bool exists = false;
        for (const SarvekGroupInfo &group : c.facade().getAllStrategyGroups())
            exists = exists || group.name == c.parser.value(QStringLiteral("group"));
        if (!exists)
            return c.notFound(QStringLiteral("no group named %1").arg(c.parser.value(QStringLiteral("group"))));
    }
    if (!c.out.isJson()) {
        c.out.printTable(RecordJson::fixedStrategyKeys(), shown.size(),
                         [&](int row, int key) { return RecordJson::fixedStrategyValue(*shown.at(row), key); });
        return CommandContext::Success;
    }
    QList<QJsonObject> records;
    for (const FixedStrategyInfo *info : qAsConst(shown))
        records.append(RecordJson::fixedStrategy(*info));
    c.out.printRecords(RecordJson::fixedStrategyKeys(), records);
    return CommandContext::Success;
}

int add(CommandContext &c)
{
    StrategyFileLogicHandler &f = c.facade();
    const QString path = c.args.at(0);
    const QString name = c.args.at(1);
    const QString group = c.parser.isSet(QStringLiteral("group")) ? c.parser.value(QStringLiteral("group")) : StrategyLogic::defaultGroupName();
    const QString extra = c.parser.value(QStringLiteral("extra"));
    const int count = c.parser.isSet(QStringLiteral("count")) ? c.toInt(c.parser.value(QStringLiteral("count"))) : 1;

    if (f.addFixedStrategy(path, name, group, extra, count))
        return c.ok();
    if (!UnsavedWatch::since(c.unsavedMark).isEmpty())
        return c.refuseUnlessUnsaved(QString());
    const StrategyLogic::Refusal refusal = StrategyLogic::lastRefusal();
    switch (refusal.code) {
    case StrategyLogic::RefusalCode::NoSuchGroup: return c.notFound(refusal.message);
    case StrategyLogic::RefusalCode::NameTaken: return c.refuse(refusal.message);
    case StrategyLogic::RefusalCode::IdRefused:
        return c.refuse(QStringLiteral("the id service gave no usable id for a copy"));
    default: return c.refuse(refusal.reason);
    }
}

int modify(CommandContext &c)
{
    const int id = c.toInt(c.args.at(0));
    const FixedStrategyInfo before = c.facade().getFixedStrateyInfoByID(id);
    if (before.id == -1)
        return c.notFound(QStringLiteral("no fixed strategy with id %1").arg(id));
    FixedStrategyInfo info = before;
    if (c.parser.isSet(QStringLiteral("name")))
        info.name = c.parser.value(QStringLiteral("name"));
    if (c.parser.isSet(QStringLiteral("path")))
        info.filePath = c.parser.value(QStringLiteral("path"));
    if (c.parser.isSet(QStringLiteral("group")))
        info.group = c.parser.value(QStringLiteral("group"));
    if (c.parser.isSet(QStringLiteral("extra")))
        info.extraInfo = c.parser.value(QStringLiteral("extra"));
    if (c.parser.isSet(QStringLiteral("copy-index")))
        info.copyIndex = c.toInt(c.parser.value(QStringLiteral("copy-index")));
    if (info.name == before.name && info.filePath == before.filePath && info.group == before.group
        && info.extraInfo == before.extraInfo && info.copyIndex == before.copyIndex)
        return c.unchanged(QStringLiteral("fixed strategy %1 has these values already").arg(id));
    if (!c.facade().modifyFixedStrategyInfo(id, info))
        return c.refuseUnlessUnsaved(QStringLiteral("the fixed strategy was not changed: a text holds \",%&\", a line feed, a carriage return or a NUL"));
    return c.ok();
}

int move(CommandContext &c)
{
    const QString from = c.args.at(0);
    const QString to = c.args.at(1);
    if (c.facade().getFixedStrateNameList(from).isEmpty())
        return c.notFound(QStringLiteral("no fixed strategy has the file %1").arg(from));
    if (from == to)
        return c.unchanged(QStringLiteral("the two paths are the same"));
    if (!c.facade().modifyeStrategyFilePath(from, to))
        return c.refuseUnlessUnsaved(QStringLiteral("the file path was not changed (empty, or a text the data file cannot hold)"));
    return c.ok();
}

int removeStrategies(CommandContext &c)
{
    if (c.parser.isSet(QStringLiteral("path"))) {
        const QString path = c.parser.value(QStringLiteral("path"));
        if (c.facade().getFixedStrateNameList(path).isEmpty())
            return c.notFound(QStringLiteral("no fixed strategy has the file %1").arg(path));
        if (!c.facade().delFixedStrategyInfoByFilePath(path))
            return c.refuseUnlessUnsaved(QStringLiteral("the fixed strategies were not removed"));
        return c.ok();
    }
    const qint64 id = c.toInt64(c.args.at(0));
    if (id < INT_MIN || id > INT_MAX || c.facade().getFixedStrateyInfoByID(int(id)).id == -1)
        return c.notFound(QStringLiteral("no fixed strategy with id %1").arg(id));
    if (!c.facade().delFixedStrategyInfoByID(id))
        return c.refuseUnlessUnsaved(QStringLiteral("no fixed strategy with id %1").arg(id));
    return c.ok();
}

OptionSpec option(const QString &name, const QString &valueName, const QString &description,
                  ValueType type = ValueType::Text)
{
    return {name, valueName, type, description, {}, QString()};
}
} // namespace

void registerStrategyCommands(CommandTable &table)
{
    table.add(QStringLiteral("strategy list"), QString(), QStringLiteral("Lists the fixed strategies."), list,
              {option(QStringLiteral("group"), QStringLiteral("G"), QStringLiteral("Only those of group G.")),
               option(QStringLiteral("path"), QStringLiteral("P"), QStringLiteral("Only those of the file P."),
                      ValueType::Path)});
    table.add(QStringLiteral("strategy show"), QStringLiteral("ID:int"), QStringLiteral("Shows one fixed strategy."),
              [](CommandContext &c) {
                  const int id = c.toInt(c.args.at(0));
                  return show(c, c.facade().getFixedStrateyInfoByID(id), QStringLiteral("no fixed strategy with id %1").arg(id));
              });
    table.add(QStringLiteral("strategy last"), QString(), QStringLiteral("Shows the fixed strategy with the largest id."),
              [](CommandContext &c) {
                  return show(c, c.facade().getLastFixedStrategyInfo(), QStringLiteral("there are no fixed strategies"));
              });
    table.add(QStringLiteral("strategy names"), QStringLiteral("PATH:path"),
              QStringLiteral("Lists the names registered for a strategy file."), [](CommandContext &c) {
                  const QStringList names = c.facade().getFixedStrateNameList(c.args.at(0));
                  if (names.isEmpty())
                      return c.notFound(QStringLiteral("no fixed strategy has the file %1").arg(c.args.at(0)));
                  c.out.printList(names);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("strategy is-fixed"), QStringLiteral("PATH:path [NAME]"),
              QStringLiteral("Whether the file is a fixed strategy (under NAME, when given)."), [](CommandContext &c) {
                  return c.answer(c.args.size() == 2 ? c.facade().isContainsFixedStrategy(c.args.at(0), c.args.at(1))
                                                     : c.facade().isFixedStrategy(c.args.at(0)));
              });
    table.add(QStringLiteral("strategy default-name"), QStringLiteral("PATH:path"),
              QStringLiteral("Proposes a name not yet used for the file."), [](CommandContext &c) {
                  c.out.printRecord({QStringLiteral("name")},
                                    QJsonObject{{QStringLiteral("name"), c.facade().GetDefaultFixedStrategyName(c.args.at(0))}});
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("strategy add"), QStringLiteral("PATH:path NAME"),
              QStringLiteral("Registers the file as COUNT fixed strategies: NAME, NAME_1, NAME_2, ..."), add,
              {option(QStringLiteral("group"), QStringLiteral("G"), QStringLiteral("Group (default %1).").arg(StrategyLogic::defaultGroupName())),
               option(QStringLiteral("extra"), QStringLiteral("TEXT"), QStringLiteral("Free text kept with the strategy.")),
               option(QStringLiteral("count"), QStringLiteral("N"), QStringLiteral("Number of copies, 1 or more (default 1)."),
                      ValueType::Count)});
    CommandTable::Command &modifyCommand = table.add(
        QStringLiteral("strategy modify"), QStringLiteral("ID:int"), QStringLiteral("Changes the given fields of a fixed strategy."),
        modify,
        {option(QStringLiteral("name"), QStringLiteral("N"), QStringLiteral("New name.")),
         option(QStringLiteral("path"), QStringLiteral("P"), QStringLiteral("New file path."), ValueType::Path),
         option(QStringLiteral("group"), QStringLiteral("G"), QStringLiteral("New group.")),
         option(QStringLiteral("extra"), QStringLiteral("T"), QStringLiteral("New free text.")),
         option(QStringLiteral("copy-index"), QStringLiteral("I"), QStringLiteral("New copy index."), ValueType::Int)});
    modifyCommand.check = [](const ParsedCommand &parsed) {
        return parsed.options.isEmpty() ? QStringLiteral("give at least one of --name, --path, --group, --extra, --copy-index")
                                        : QString();
    };
    table.add(QStringLiteral("strategy move"), QStringLiteral("OLD:path NEW:path"),
              QStringLiteral("Follows a strategy file that was moved or renamed."), move);
    CommandTable::Command &remove = table.add(
        QStringLiteral("strategy remove"), QStringLiteral("[ID:int]"),
        QStringLiteral("Removes one fixed strategy, or every fixed strategy of a file (--path)."), removeStrategies,
        {option(QStringLiteral("path"), QStringLiteral("PATH"), QStringLiteral("Remove every fixed strategy of this file."),
                ValueType::Path)});
    remove.check = [](const ParsedCommand &parsed) {
        return (parsed.args.size() == 1) == parsed.options.contains(QStringLiteral("path"))
                   ? QStringLiteral("expects ID or --path PATH")
                   : QString();
    };
}
