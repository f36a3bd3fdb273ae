// Placeholder: the doctor commands are registered here.

#include "commands.h"
#include "commandtable.h"

void registerDoctorCommands(CommandTable &table)
{
    Q_UNUSED(table)
}
