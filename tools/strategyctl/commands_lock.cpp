// Strategy-file locks.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>

void registerLockCommands(CommandTable &table)
{
    auto change = [](CommandContext &c, bool lock) {
        if (!c.facade.changeFileLockState(c.args.at(0), lock))
            return c.refuseUnlessUnsaved(c.args.at(0).contains(QChar(0))
                                             ? QStringLiteral("a path holding a NUL cannot be locked")
                                             : QStringLiteral("the local database did not take the change (see --verbose)"));
        return c.ok();
    };
    table.add(QStringLiteral("lock on"), QStringLiteral("PATH"), QStringLiteral("Locks a strategy file against editing."),
              1, 1, [change](CommandContext &c) { return change(c, true); });
    table.add(QStringLiteral("lock off"), QStringLiteral("PATH"), QStringLiteral("Unlocks a strategy file."), 1, 1,
              [change](CommandContext &c) { return change(c, false); });
    table.add(QStringLiteral("lock status"), QStringLiteral("PATH"), QStringLiteral("Whether a strategy file is locked."),
              1, 1, [](CommandContext &c) { return c.check(c.facade.getFileLockState(c.args.at(0))); });
}
