// Registers instance 77, finishes its backtest day 2026-12-01 and locks
// D:/s/a.py through the plug-in, then calls exit(): for a test whose
// sarvek.db has a damaged table.
//
//   damagedrows FOLDER [TABLE]
//
// FOLDER is the installation folder and working directory. With TABLE,
// that table is dropped through a connection of the helper's own once the
// plug-in has started, as another program could drop it while the plug-in
// runs. Prints "lock 1" when the lock was taken, "lock 0" when refused,
// then "times 1" or "times 0": whether the plug-in took the times
// 2026-12-01T09:30/15:00 UTC of instance 66, which the database may hold.

#include <StrategyLogic/strategyfilelogichandler.h>

#include "testsupport.h"

#include <zqapplicationdir.h>

#include <QCoreApplication>
#include <QDate>
#include <QDir>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2; // usage: see the top of this file
    QCoreApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    ZqApplicationDir::setPath(folder);
    QDir::setCurrent(folder);
    StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
    plugin.initialize();
    if (!plugin.isInitialized())
        return 3;
    if (argc > 2 && !execSql(folder + "/sarvek.db", QStringLiteral("drop table %1").arg(QString::fromLocal8Bit(argv[2]))))
        return 3;
    plugin.addInstanceRunMode("77", 1, "880001", "ok");
    plugin.addBackTestInitCashInfo("77", QDate(2026, 12, 1), 100);
    plugin.addBackTestInitCashEndInfo("77", QDate(2026, 12, 1), 105.5);
    std::printf("lock %d\n", plugin.changeFileLockState("D:/s/a.py", true) ? 1 : 0);
    const QDateTime start(QDate(2026, 12, 1), QTime(9, 30), Qt::UTC), end(QDate(2026, 12, 1), QTime(15, 0), Qt::UTC);
    std::printf("times %d\n", plugin.setInstanceStartEndTime("66", start, end) ? 1 : 0);
    std::fflush(stdout);
    plugin.exit();
    return 0;
}
