// Registers strategy instances and finishes backtest cash days through the
// plug-in, then ends the process in the way its second argument names, so
// that a test can check that every row reached the database anyway.
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
// 1000+i, end funds 2000+i) are recorded.
//
// Prints "python path: <path>" as the plug-in read it at start, then
// "pending <instances> <cash days>" just before the end begins.

#include "facade/strategyfilelogichandler.h"
#include "services/strategycompilercommerfuncs.h"

#include <interprocidservice.h>
#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace {
QCoreApplication *s_keptApp = nullptr; // reachable until the process ends

void record(const QString &folder, int count)
{
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);
    const QByteArray ids = qgetenv("STRATEGYLOGIC_ID_DIR");
    if (!ids.isEmpty())
        InterProcIdService::instance().setStorageDirectory(QString::fromLocal8Bit(ids));

    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    std::printf("python path: %s\n", plugin.getPYInstallPath().toUtf8().constData());
    for (int i = 0; i < count; ++i) {
        const QString n = QString::number(i);
        plugin.addInstanceRunMode(QLatin1String("sf-") + n, 1, QLatin1String("acc-") + n, QLatin1String("reg-") + n);
        const QDate day = QDate(2026, 1, 1).addDays(i);
        plugin.addBackTestInitCashInfo(QStringLiteral("sf-cash"), day, 1000 + i);
        plugin.addBackTestInitCashEndInfo(QStringLiteral("sf-cash"), day, 2000 + i);
    }
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    std::printf("pending %d %d\n", service->pendingInstanceCount(), service->pendingCashCount());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    const QByteArray mode = argc > 2 ? argv[2] : "";
    const QList<QByteArray> modes = {"exit", "return", "deleteapp", "quickexit", "keepapp", "stdexit"};
    if (argc < 4 || !modes.contains(mode)) {
        std::fprintf(stderr, "usage: shutdownflush FOLDER exit|return|deleteapp|quickexit|keepapp|stdexit COUNT\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = std::atoi(argv[3]);

    if (mode == "deleteapp" || mode == "quickexit" || mode == "keepapp") {
        s_keptApp = new QCoreApplication(argc, argv);
        record(folder, count);
        if (mode == "keepapp")
            return 0;
        delete s_keptApp;
        s_keptApp = nullptr;
        if (mode == "quickexit")
            std::_Exit(0);
        return 0;
    }

    QCoreApplication app(argc, argv);
    record(folder, count);
    if (mode == "exit")
        StrategyFileLogicHandler::instance().exit();
    else if (mode == "stdexit")
        std::exit(0);
    return 0;
}
