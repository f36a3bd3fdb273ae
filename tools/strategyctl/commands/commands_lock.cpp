// Strategy-file locks.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>

namespace {
int change(CommandContext &c, bool lock)
{
    const QString path = c.args.at(0);
    if (path.contains(QChar(0)))
        return c.refuse(QStringLiteral("a path holding a NUL cannot be locked"));
    if (c.facade().getFileLockState(path) == lock)
        return c.unchanged(lock ? QStringLiteral("%1 is locked already").arg(path)
                                : QStringLiteral("%1 is not locked").arg(path));
    if (!c.facade().changeFileLockState(path, lock))
        return c.unavailable(QStringLiteral("io"), QStringLiteral("the local database did not take the change (see --verbose)"));
    return c.ok();
}

int list(CommandContext &c)
{
    c.out.printList(c.facade().getLockedFileList());
    return CommandContext::Success;
}
} // namespace

void registerLockCommands(CommandTable &table)
{
    table.add(QStringLiteral("lock on"), QStringLiteral("PATH:path"), QStringLiteral("Locks a strategy file against editing."),
              [](CommandContext &c) { return change(c, true); }).db = DbAccess::Writes;
    table.add(QStringLiteral("lock off"), QStringLiteral("PATH:path"), QStringLiteral("Unlocks a strategy file."),
              [](CommandContext &c) { return change(c, false); }).db = DbAccess::Writes;
    table.add(QStringLiteral("lock status"), QStringLiteral("PATH:path"), QStringLiteral("Whether a strategy file is locked."),
              [](CommandContext &c) { return c.answer(c.facade().getFileLockState(c.args.at(0))); }).db = DbAccess::Reads;
    table.add(QStringLiteral("lock list"), QString(), QStringLiteral("Lists the locked strategy files."), list).db =
        DbAccess::Reads;
}
