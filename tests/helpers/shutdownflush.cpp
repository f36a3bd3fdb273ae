// Registers strategy instances and finishes backtest cash days through the
// plug-in, sets the Python path, then ends the process in the way its second
// argument names, so that a test can check that everything reached the disk
// anyway.
//
//   shutdownflush FOLDER MODE COUNT
//
// FOLDER is the installation folder and working directory. MODE:
//   exit       calls the plug-in's exit(), then returns from main
//   return     returns from main without exit()
//   deleteapp  deletes the application object, then returns from main
//   quickexit  deletes the application object, then ends with std::_Exit(0)
//              (no atexit routines, no static destructors)
//   keepapp    returns from main while the application object still lives
//   stdexit    calls std::exit(0) while the application object still lives
// COUNT instances "sf-<i>" (mode 1, account "acc-<i>", answer "reg-<i>")
// and COUNT days of instance "sf-cash" (2026-01-01 on, initial funds
// 1000+i, end funds 2000+i) are recorded; the Python path becomes
// "/opt/python 3.8/it's %1".
//
// Prints "python path: <path>" as the plug-in read it at start, then
// "pending <instances> <cash days>" just before the end begins.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "services/strategycompilercommerfuncs.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {
QCoreApplication *s_keptApp = nullptr; // reachable until the process ends
} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 3 ? argv[2] : "";
    if (!QByteArrayList{"exit", "return", "deleteapp", "quickexit", "keepapp", "stdexit"}.contains(mode))
        return 2; // usage: see the top of this file
    s_keptApp = new QCoreApplication(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    std::printf("python path: %s\n", plugin.getPYInstallPath().toUtf8().constData());
    plugin.setPYInstallPath("/opt/python 3.8/it's %1");
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
        const QString n = QString::number(i);
        plugin.addInstanceRunMode("sf-" + n, 1, "acc-" + n, "reg-" + n);
        plugin.addBackTestInitCashInfo("sf-cash", QDate(2026, 1, 1).addDays(i), 1000 + i);
        plugin.addBackTestInitCashEndInfo("sf-cash", QDate(2026, 1, 1).addDays(i), 2000 + i);
    }
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    std::printf("pending %d %d\n", service->pendingInstanceCount(), service->pendingCashCount());
    std::fflush(stdout);

    if (mode == "exit")
        plugin.exit();
    else if (mode == "stdexit")
        std::exit(0);
    else if (mode == "keepapp")
        return 0;
    // The other ways delete the application object first, as the end of main does with a local one.
    delete s_keptApp;
    s_keptApp = nullptr;
    if (mode == "quickexit")
        std::_Exit(0);
    return 0;
}
