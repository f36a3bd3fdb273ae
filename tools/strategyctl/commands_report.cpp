// Placeholder: the report commands are registered here.

#include "commands.h"
#include "commandtable.h"

void registerReportCommands(CommandTable &table)
{
    Q_UNUSED(table)
}
