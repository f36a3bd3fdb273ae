#ifndef INSTALLATIONLAYOUT_H
#define INSTALLATIONLAYOUT_H

#include <QString>

// The names the plug-in gives its files in the installation folder, the id
// sequence it draws fixed-strategy ids from and the built-in group names:
// written once here, used by the classes that own each file
// (docs/formats.md describes them byte for byte). Hosts reach the names
// they need through <StrategyLogic/installation.h>.
namespace InstallationLayout {

// In the installation folder.
inline constexpr char DatabaseFile[] = "sarvek.db";
inline constexpr char PendingJournalFile[] = "sarvek.pending.json";
inline constexpr char SimuTradeDatabaseFile[] = "Sarvek_SimuTrade.db";
inline constexpr char PythonIniFile[] = "ZqProEngineConfig.ini";
inline constexpr char PythonIniGroup[] = "ZqProEngineConfig";
inline constexpr char PythonPathKey[] = "Sarvek_PythonInstallPath";
// The users' folders are work/<user id>.
inline constexpr char WorkFolder[] = "work";

// In a user's folder.
inline constexpr char DataFile[] = "SarvekFixStrategy.dat";
inline constexpr char GroupsFile[] = "SarvekFixedStrategyGroups.txt";
inline constexpr char GroupChangeFile[] = "SarvekFixedStrategyGroups.redo";
// An import being applied (ImportRecord), beside the groups file.
inline constexpr char ImportRecordFile[] = "SarvekStrategyImport.redo";
inline constexpr char HistoryFile[] = "history.jsonl";
inline constexpr char OlderHistoryFile[] = "history.1.jsonl";

// The machine-wide id sequence of fixed-strategy ids.
inline constexpr char IdService[] = "FixStrategyIDSrv";

// The built-in groups: the default group is always there (a strategy
// without a group of its own belongs to it); the auto-start group while the
// host's auto-start setting is on.
inline const QString DefaultGroup = QStringLiteral("默认分组");
inline const QString AutoStartGroup = QStringLiteral("自动启动");

inline bool isBuiltInGroup(const QString &name)
{
    return name == DefaultGroup || name == AutoStartGroup;
}

} // namespace InstallationLayout

#endif // INSTALLATIONLAYOUT_H
