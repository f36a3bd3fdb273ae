#ifndef ZQAPPLICATIONDIR_H
#define ZQAPPLICATIONDIR_H

#include <QString>

// The one place where the plug-in learns the client's installation folder.
//
// In the client this is QCoreApplication::applicationDirPath(). A host that
// runs the plug-in elsewhere (the command-line host, tests) points it at any
// folder with setPath(). Thread-safe. The path has forward slashes and no
// trailing slash. Once a QCoreApplication has been seen, its folder is
// remembered, so the answer stays valid while the process shuts down.
class ZqApplicationDir
{
public:
    static QString path();
    // An empty path returns to QCoreApplication::applicationDirPath().
    static void setPath(const QString &dir);
    // The data folder of the reference hosts (strategyctl, strategydesk)
    // when none is given: $STRATEGYLOGIC_HOME, else
    // $XDG_DATA_HOME/StrategyLogic, else ~/.local/share/StrategyLogic;
    // absolute and clean.
    static QString defaultDataFolder();
};

#endif // ZQAPPLICATIONDIR_H
