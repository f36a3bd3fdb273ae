// Starts the plug-in over an installation folder whose database may be held
// locked by another process, and reports what it sees of the instance load.
//
//   loadretry FOLDER INSTANCEID
//
// Prints, one line each:
//   "initialized"                   after initialize() returned
//   "retry"                         at every tick of the load's retry timer
//   "service signal"                when the service emits signalInstanceRunModeLoaded
//   "mode <n>"                      the run mode of INSTANCEID at that moment
//   "facade signal"                 when the plug-in object relays the signal
//   "retry timer active: yes|no"    right after the relayed signal
// and exits 0 after the relayed signal.

#include "facade/strategyfilelogichandler.h"
#include "services/strategycompilercommerfuncs.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QPointer>
#include <QTimer>

#include <cstdio>

namespace {
void say(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

// Sees every timer event of the main thread, so it finds the retry timer of
// the load (an unparented timer of the retry interval) when it ticks.
class RetryTimerWatch : public QObject
{
public:
    QPointer<QTimer> retryTimer;

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer) {
            auto *timer = qobject_cast<QTimer *>(watched);
            if (timer && !timer->parent() && timer->interval() == StrategyCompilerCommerFuncs::LoadRetryIntervalMs) {
                retryTimer = timer;
                say("retry");
            }
        }
        return false;
    }
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: loadretry FOLDER INSTANCEID\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString instanceId = QString::fromLocal8Bit(argv[2]);
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);
    const QByteArray ids = qgetenv("STRATEGYLOGIC_ID_DIR");
    if (!ids.isEmpty())
        InterProcIdService::instance().setStorageDirectory(QString::fromLocal8Bit(ids));

    RetryTimerWatch watch;
    app.installEventFilter(&watch);

    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    QObject::connect(service, &StrategyCompilerCommerFuncs::signalInstanceRunModeLoaded, &app, [&] {
        say("service signal");
        say("mode " + QByteArray::number(int(service->getInstanceRunMode(instanceId))));
    });
    QObject::connect(&plugin, &StrategyFileLogicHandler::signalInstanceRunModeLoaded, &app, [&] {
        say("facade signal");
        say(QByteArray("retry timer active: ") + (watch.retryTimer && watch.retryTimer->isActive() ? "yes" : "no"));
        app.quit();
    });
    plugin.initialize();
    say("initialized");
    return app.exec();
}
