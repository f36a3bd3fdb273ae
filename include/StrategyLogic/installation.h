#ifndef STRATEGYLOGIC_INSTALLATION_H
#define STRATEGYLOGIC_INSTALLATION_H

#include <StrategyLogic/strategylogic_global.h>

#include <QString>

/// \file
/// The files of an installation folder and the names built into the
/// plug-in, for hosts that show or check them (docs/formats.md describes
/// each file).

namespace StrategyLogic {

/// The built-in default group: always there, it cannot be created, renamed
/// or deleted by hand, and it is the group of a fixed strategy that was
/// given no other (a new strategy needs an existing group).
STRATEGYLOGIC_EXPORT QString defaultGroupName();
/// The built-in auto-start group, present while the host's auto-start
/// setting is on.
STRATEGYLOGIC_EXPORT QString autoStartGroupName();
/// The id sequence of the host's InterProcIdService that fixed-strategy ids
/// are drawn from.
STRATEGYLOGIC_EXPORT QString idServiceName();

/// Where the plug-in keeps its files, all absolute.
struct InstallationFiles
{
    QString database;       ///< "sarvek.db": locks, instances, backtest days
    QString pendingJournal; ///< rows that wait for the database between runs
    QString pythonIni;      ///< the Python installation path
    QString simuDatabase;   ///< the simulated-trading engine's database (read only)
    QString userFolder;     ///< "work/<user>"
    /// Whether the user id names a folder right below work/; the plug-in
    /// reads and writes none of the user's files otherwise.
    bool userFolderValid = false;
    QString dataFile;       ///< the user's fixed strategies
    QString groupsFile;     ///< the user's groups
    QString history;        ///< the history of changes, newer part
    QString olderHistory;   ///< the history of changes, older part
};

/// The files of the installation folder `appDir` and of the user `userId`
/// (as StrategyFileLogicHandler::getCurUserId() gives it) in it. Creates
/// nothing. Thread-safe.
STRATEGYLOGIC_EXPORT InstallationFiles installationFiles(const QString &appDir, const QString &userId);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_INSTALLATION_H
