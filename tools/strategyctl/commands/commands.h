#ifndef COMMANDS_H
#define COMMANDS_H

class CommandTable;

// Each subsystem's commands, in commands_<subsystem>.cpp.
void registerCoreCommands(CommandTable &table);
void registerStrategyCommands(CommandTable &table);
void registerGroupCommands(CommandTable &table);
void registerLockCommands(CommandTable &table);
void registerInstanceCommands(CommandTable &table);
void registerCashCommands(CommandTable &table);
void registerAccountCommands(CommandTable &table);
void registerSimuCommands(CommandTable &table);
void registerNameCommands(CommandTable &table);
void registerDbCommands(CommandTable &table);
void registerDoctorCommands(CommandTable &table);
void registerBundleCommands(CommandTable &table);
void registerHistoryCommands(CommandTable &table);
void registerReportCommands(CommandTable &table);

#endif // COMMANDS_H
