// Imports a bundle into a data folder and dies with SIGKILL at a given step
// of the import's application, so that a test can check what the next start
// makes of it.
//
//   importstop FOLDER BUNDLE MODE STEP
//
// FOLDER is the installation folder and working directory; MODE "merge" or
// "replace"; STEP the step (0, 1, ...) at which the process kills itself, or
// -1 to run to the end. Prints "steps N" (the steps it passed) and the
// import's outcome when it ends on its own.

#include <StrategyLogic/strategybundle.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "bundle/importreplay.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>

#include <csignal>
#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    if (argc != 5)
        return 2; // usage: see the top of this file
    QCoreApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);
    const int stopAt = std::atoi(argv[4]);
    int steps = 0;
    ImportReplay::stepHook() = [&](int step) {
        steps = step + 1;
        if (step == stopAt)
            ::raise(SIGKILL);
    };
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    if (!plugin.isInitialized())
        return 3;
    const auto mode = qstrcmp(argv[3], "replace") == 0 ? StrategyLogic::BundleImportMode::Replace
                                                        : StrategyLogic::BundleImportMode::Merge;
    const StrategyLogic::BundleImportResult result
        = StrategyLogic::importBundle(QString::fromLocal8Bit(argv[2]), mode);
    std::printf("steps %d\noutcome %d %s\n", steps, int(result.outcome), qPrintable(result.message));
    plugin.exit();
    return result.outcome == StrategyLogic::BundleImportResult::Applied ? 0 : 1;
}
