// Placeholder: the history commands are registered here.

#include "commands.h"
#include "commandtable.h"

void registerHistoryCommands(CommandTable &table)
{
    Q_UNUSED(table)
}
