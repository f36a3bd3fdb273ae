// Starts the plug-in over an installation folder whose database may be held
// locked by another process, and reports what it sees of the instance load.
//
//   loadretry FOLDER
//
// Right after initialize() it registers instance "sf-1" (mode 2, account
// "acc-new") and starts the day 2026-01-01 of instance "sf-cash" with
// initial funds 5, while a locked load is still waiting. Prints, one line
// each:
//   "initialized"                   after initialize() and those entries
//   "retry"                         at every tick of the load's retry timer
//   "service signal"                when the service emits signalInstanceRunModeLoaded
//   "modes <m0> <m1> funds <f>"     at that moment: the run modes of "sf-0" and
//                                   "sf-1" and the initial funds of that day
//   "facade signal"                 when the plug-in object relays the signal
//   "retry timer active: yes|no"    right after the relayed signal
// and exits 0 after the relayed signal. Its periodic flush is stopped, so
// those entries reach the database only at the final flush, after the load:
// a load that replaced them could not go unnoticed.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "services/strategycompilercommerfuncs.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {
// Sees every timer event of the main thread, so it finds the retry timer of
// the load (an unparented timer of the retry interval) when it ticks.
struct RetryTimerWatch : QObject
{
    QPointer<QTimer> retryTimer;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *timer = qobject_cast<QTimer *>(watched);
        if (event->type() == QEvent::Timer && timer && !timer->parent()
            && timer->interval() == StrategyCompilerCommerFuncs::LoadRetryIntervalMs) {
            retryTimer = timer;
            std::puts("retry");
        }
        return false;
    }
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2; // usage: loadretry FOLDER
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each line reaches the test at once
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);

    RetryTimerWatch watch;
    app.installEventFilter(&watch);
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    service->findChild<QTimer *>()->stop(); // the periodic flush, the service's only child timer
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    QObject::connect(service, &StrategyCompilerCommerFuncs::signalInstanceRunModeLoaded, &app, [&] {
        double initial = 0, end = 0;
        service->queryBackTestCashInfo("sf-cash", QDate(2026, 1, 1), initial, end);
        std::printf("service signal\nmodes %d %d funds %g\n", int(service->getInstanceRunMode("sf-0")),
                    int(service->getInstanceRunMode("sf-1")), initial);
    });
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalInstanceRunModeLoaded, &app, [&] {
        const bool active = watch.retryTimer && watch.retryTimer->isActive();
        std::printf("facade signal\nretry timer active: %s\n", active ? "yes" : "no");
        app.quit();
    });
    plugin.initialize();
    plugin.addInstanceRunMode("sf-1", 2, "acc-new", "reg-new");
    plugin.addBackTestInitCashInfo("sf-cash", QDate(2026, 1, 1), 5);
    std::puts("initialized");
    return app.exec();
}
