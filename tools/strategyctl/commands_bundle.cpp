// Placeholder: the bundle commands are registered here.

#include "commands.h"
#include "commandtable.h"

void registerBundleCommands(CommandTable &table)
{
    Q_UNUSED(table)
}
