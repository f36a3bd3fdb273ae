// Strategy groups.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"

#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
int answer(CommandContext &c, const QString &message)
{
    return message.isEmpty() ? c.ok() : c.refuseUnlessUnsaved(message);
}

int answer(CommandContext &c, bool done, const QString &why)
{
    return done ? c.ok() : c.refuseUnlessUnsaved(why);
}
} // namespace

void registerGroupCommands(CommandTable &table)
{
    table.add(QStringLiteral("group list"), QString(), QStringLiteral("Lists the groups by name."), 0, 0,
              [](CommandContext &c) {
                  QList<QJsonObject> records;
                  for (const SarvekGroupInfo &group : c.facade.getAllStrategyGroups())
                      records.append(RecordJson::group(group));
                  c.out.printRecords(RecordJson::groupKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("group sorted"), QString(), QStringLiteral("Lists the group names, oldest first."), 0, 0,
              [](CommandContext &c) {
                  c.out.printList(c.facade.getAllStrategyGroupNameSorted());
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("group add"), QStringLiteral("NAME"), QStringLiteral("Creates a group."), 1, 1,
              [](CommandContext &c) { return answer(c, c.facade.addGroup(c.args.at(0))); });
    table.add(QStringLiteral("group rename"), QStringLiteral("OLD NEW"),
              QStringLiteral("Renames a group and moves its strategies along."), 2, 2,
              [](CommandContext &c) { return answer(c, c.facade.renameGroup(c.args.at(0), c.args.at(1))); });
    table.add(QStringLiteral("group delete"), QStringLiteral("NAME"), QStringLiteral("Deletes a group."), 1, 1,
              [](CommandContext &c) {
                  return answer(c, c.facade.deleteGroup(c.args.at(0), c.parser.isSet(QStringLiteral("with-strategies"))),
                                QStringLiteral("no group named %1").arg(c.args.at(0)));
              },
              {QCommandLineOption(QStringLiteral("with-strategies"), QStringLiteral("Remove the group's strategies too."))});
    table.add(QStringLiteral("group cleanup"), QStringLiteral("NAME"),
              QStringLiteral("Removes every strategy of a group and keeps the group."), 1, 1, [](CommandContext &c) {
                  return answer(c, c.facade.cleanupGroup(c.args.at(0)), QStringLiteral("no group named %1").arg(c.args.at(0)));
              });
    table.add(QStringLiteral("group merge"), QStringLiteral("FROM TO"),
              QStringLiteral("Moves every strategy of group FROM to group TO."), 2, 2,
              [](CommandContext &c) {
                  return answer(c,
                                c.facade.regroupAllStrategy(c.args.at(0), c.args.at(1),
                                                            c.parser.isSet(QStringLiteral("remove-from"))),
                                QStringLiteral("both groups must exist"));
              },
              {QCommandLineOption(QStringLiteral("remove-from"), QStringLiteral("Delete group FROM afterwards."))});
    table.add(QStringLiteral("group check-autostart"), QString(),
              QStringLiteral("Adds the auto-start group when the client's auto-start setting is on."), 0, 0,
              [](CommandContext &c) {
                  c.facade.checkAutoStart();
                  return c.ok();
              });
}
