// Strategy groups.

#include "commands.h"
#include "commandtable.h"
#include "recordjson.h"
#include "unsavedwatch.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
int answer(CommandContext &c, const QString &message)
{
    return message.isEmpty() ? c.ok() : c.refuseUnlessUnsaved(message);
}

bool groupExists(CommandContext &c, const QString &name)
{
    for (const SarvekGroupInfo &group : c.facade().getAllStrategyGroups()) {
        if (group.name == name)
            return true;
    }
    return false;
}

int strategiesOf(CommandContext &c, const QString &group)
{
    int n = 0;
    for (const FixedStrategyInfo &info : c.facade().getFixedStrategyList())
        n += info.group == group ? 1 : 0;
    return n;
}

// Group names as they are; the plug-in's answers for those it refuses.
QStringList groupNames(CommandContext &c)
{
    QStringList names;
    for (const SarvekGroupInfo &group : c.facade().getAllStrategyGroups())
        names.append(group.name);
    return names;
}
} // namespace

void registerGroupCommands(CommandTable &table)
{
    table.add(QStringLiteral("group list"), QString(), QStringLiteral("Lists the groups by name, with their creation times."),
              [](CommandContext &c) {
                  QList<QJsonObject> records;
                  for (const SarvekGroupInfo &group : c.facade().getAllStrategyGroups())
                      records.append(RecordJson::group(group));
                  c.out.printRecords(RecordJson::groupKeys(), records);
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("group sorted"), QString(), QStringLiteral("Lists the group names, oldest first."),
              [](CommandContext &c) {
                  c.out.printList(c.facade().getAllStrategyGroupNameSorted());
                  return int(CommandContext::Success);
              });
    table.add(QStringLiteral("group add"), QStringLiteral("NAME"), QStringLiteral("Creates a group."),
              [](CommandContext &c) { return answer(c, c.facade().addGroup(c.args.at(0))); });
    table.add(QStringLiteral("group rename"), QStringLiteral("OLD NEW"),
              QStringLiteral("Renames a group and moves its strategies along."),
              [](CommandContext &c) {
                  const bool existed = groupExists(c, c.args.at(0));
                  const QString message = c.facade().renameGroup(c.args.at(0), c.args.at(1));
                  if (!message.isEmpty() && !existed && UnsavedWatch::since(c.unsavedMark).isEmpty())
                      return c.notFound(message);
                  return answer(c, message);
              });
    table.add(QStringLiteral("group delete"), QStringLiteral("NAME"), QStringLiteral("Deletes a group."),
              [](CommandContext &c) {
                  const QString name = c.args.at(0);
                  if (!groupExists(c, name))
                      return c.notFound(QStringLiteral("no group named %1").arg(name));
                  const bool withStrategies = c.parser.isSet(QStringLiteral("with-strategies"));
                  const int kept = withStrategies ? 0 : strategiesOf(c, name);
                  if (!c.facade().deleteGroup(name, withStrategies))
                      return c.refuseUnlessUnsaved(QStringLiteral("the group %1 cannot be deleted").arg(name));
                  const int status = c.ok();
                  // The plug-in allows both; say what follows from them.
                  if (status == CommandContext::Success && kept > 0)
                      c.out.printError(QStringLiteral("note: %1 strategies still name the group %2, which comes back "
                                                      "at the next start; 'group merge' moves them elsewhere")
                                           .arg(kept)
                                           .arg(name));
                  if (status == CommandContext::Success && name == StrategyLogic::defaultGroupName())
                      c.out.printError(QStringLiteral("note: %1 is built in; 'strategy add' without --group "
                                                      "needs it")
                                           .arg(name));
                  return status;
              },
              {{QStringLiteral("with-strategies"), QString(), ValueType::Text,
                QStringLiteral("Remove the group's strategies too."), {}, QString()}});
    table.add(QStringLiteral("group cleanup"), QStringLiteral("NAME"),
              QStringLiteral("Removes every strategy of a group and keeps the group."), [](CommandContext &c) {
                  const QString name = c.args.at(0);
                  if (!groupExists(c, name))
                      return c.notFound(QStringLiteral("no group named %1").arg(name));
                  if (strategiesOf(c, name) == 0)
                      return c.unchanged(QStringLiteral("the group %1 has no strategies").arg(name));
                  if (!c.facade().cleanupGroup(name))
                      return c.refuseUnlessUnsaved(QStringLiteral("the strategies of %1 were not removed").arg(name));
                  return c.ok();
              });
    table.add(QStringLiteral("group merge"), QStringLiteral("FROM TO"),
              QStringLiteral("Moves every strategy of group FROM to group TO."),
              [](CommandContext &c) {
                  const QString from = c.args.at(0);
                  const QString to = c.args.at(1);
                  for (const QString &name : {from, to}) {
                      if (!groupExists(c, name))
                          return c.notFound(QStringLiteral("no group named %1").arg(name));
                  }
                  const bool removeFrom = c.parser.isSet(QStringLiteral("remove-from"));
                  if (from == to)
                      return c.unchanged(QStringLiteral("the two groups are the same"));
                  if (strategiesOf(c, from) == 0 && !removeFrom)
                      return c.unchanged(QStringLiteral("the group %1 has no strategies").arg(from));
                  if (!c.facade().regroupAllStrategy(from, to, removeFrom))
                      return c.refuseUnlessUnsaved(QStringLiteral("the strategies of %1 were not moved").arg(from));
                  return c.ok();
              },
              {{QStringLiteral("remove-from"), QString(), ValueType::Text,
                QStringLiteral("Delete group FROM afterwards."), {}, QString()}});
    table.add(QStringLiteral("group check-autostart"), QString(),
              QStringLiteral("Adds the auto-start group when the client's auto-start setting is on."),
              [](CommandContext &c) {
                  const QStringList before = groupNames(c);
                  c.facade().checkAutoStart();
                  if (groupNames(c) == before)
                      return c.unchanged(QStringLiteral("the auto-start group is there already, or the client's "
                                                        "auto-start setting is off"));
                  return c.ok();
              });
}
