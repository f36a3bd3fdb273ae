// The plug-in's service object: instance times, the backtest day-cash ledger,
// fund accounts, the server's instance list, the flush racing a writer, the
// load retry over a locked database and the flush at the end of the process.

#include <StrategyLogic/strategyfilelogichandler.h>
#include "services/strategycompilercommerfuncs.h"
#include "testsupport.h"

#include <cardel_values.h>
#include <hostprofile.h>
#include <tavrix_fields.h>

#include <QtTest>

namespace {
using Rows = QList<QStringList>;
const QDate day(2026, 12, 3);
const QDateTime startAt(day, QTime(9, 30)), endAt(day, QTime(15, 0));

QString msecs(const QDateTime &time) // as the database holds it
{
    return time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : "NULL";
}
} // namespace

class TestService : public QObject
{
    Q_OBJECT

    TestHome home; // before the service, which reads its ini file in the working directory
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();

    Rows sql(const QString &query) const { return querySql(home.filePath("sarvek.db"), query); }

private slots:
    void initTestCase()
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        StrategyFileLogicHandler::instance().initialize();
    }
    void cleanupTestCase() { StrategyFileLogicHandler::instance().exit(); } // while the installation folder exists

    void timesTravelWithTheirRow()
    {
        QVERIFY(service->addInstanceRunMode("401", 1, "F1", "r1"));
        service->flushPendingData();
        QVERIFY(service->setInstanceStartEndTime("401", startAt, endAt)); // reaches the stored row at once
        QVERIFY(service->addInstanceRunMode("401", 0, "F2", "r2")); // registered again: the times are reset
        QVERIFY(service->addInstanceRunMode("402", 1, "F", "r"));
        QVERIFY(service->setInstanceStartEndTime("402", startAt, endAt)); // while the row is pending
        service->flushPendingData();
        QCOMPARE(sql("select run_mode, fund_account, return_reginfo, start_time, end_time from instance_info "
                     "where instance_id in ('401', '402') order by instance_id"),
                 (Rows{{"0", "F2", "r2", "NULL", "NULL"}, {"1", "F", "r", msecs(startAt), msecs(endAt)}}));
    }

    // Times loaded from the database are handed out as the local times they were set as, in a
    // zone that is not UTC.
    void loadedTimesAreLocal()
    {
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Asia/Shanghai");
        const auto restore = qScopeGuard([&] {
            if (zone.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
        });
        const QDateTime start(day, QTime(23, 30)), end = start.addSecs(3600); // another day in UTC
        QVERIFY(execSql(home.filePath("sarvek.db"),
                        QString("insert into instance_info values('loaded-times',2,'F','r',20261203,'%1','%2')")
                            .arg(start.toMSecsSinceEpoch())
                            .arg(end.toMSecsSinceEpoch())));
        service->initInstanceData();
        for (const InstanceInfo &info : {service->getInstanceInfo("loaded-times"), service->getLastReturnInstanceRegInfo()}) {
            QCOMPARE(info.instanceId, QString("loaded-times"));
            QCOMPARE(info.startTime.timeSpec(), Qt::LocalTime);
            QCOMPARE(info.endTime.timeSpec(), Qt::LocalTime);
            QCOMPARE(info.startTime.toString(Qt::ISODate), QString("2026-12-03T23:30:00"));
            QCOMPARE(info.endTime.toString(Qt::ISODate), QString("2026-12-04T00:30:00"));
        }
    }

    void cashLedger()
    {
        const QDate d1(2026, 12, 1), d2(2026, 12, 2);
        service->addBackTestInitCashEndInfo("cash", d1, 5); // no initial funds yet: dropped
        for (const QDate &date : {day, d1, d2})
            service->addBackTestInitCashInfo("cash", date, date.day() * 100);
        service->addBackTestInitCashEndInfo("cash", QDate(2026, 12, 9), 5); // no such day: dropped
        service->addBackTestInitCashEndInfo("cash", d2, 250); // queued as the day ended
        service->addBackTestInitCashInfo("cash", d2, 210); // a new start of the day: no end funds yet
        QList<BackTestCashInfo> days;
        QVERIFY(service->queryBackTestCashInfo("cash", days));
        QCOMPARE(days, (QList<BackTestCashInfo>{{d1, "cash", 100, 0}, {d2, "cash", 210, 0}, {day, "cash", 300, 0}}));

        service->addBackTestInitCashEndInfo("cash", day, 350);
        service->flushPendingData();
        service->addBackTestInitCashEndInfo("cash", day, 360); // reported again: replaces the row
        service->flushPendingData();
        QCOMPARE(sql("select date, initial_funds, end_funds from backtest_daycash where instance_id='cash' order by 1"),
                 (Rows{{"20261202", "200", "250"}, {"20261203", "300", "360"}}));
    }

    // A writer thread registers instances again and again while this thread flushes without pause: after
    // each round the database holds exactly what memory holds.
    void flushKeepsRowsQueuedAfterItsCopy()
    {
        constexpr int ids = 40, perRound = 2500;
        for (int round = 0; round < 4; ++round) { // each round ends at another point of a flush
            QScopedPointer<QThread> writer(QThread::create([this, round] {
                for (int i = round * perRound; i < (round + 1) * perRound; ++i) {
                    const QString id = QString::number(7000 + i % ids), n = QString::number(i);
                    service->addInstanceRunMode(id, i % 2, "F" + n, "r" + n);
                    if (i % 97 == 0)
                        service->setInstanceStartEndTime(id, startAt.addSecs(i), endAt.addSecs(i));
                    if (i % 11 == 0) {
                        service->addBackTestInitCashInfo("race", day.addDays(i % 37), i);
                        service->addBackTestInitCashEndInfo("race", day.addDays(i % 37), i + 0.5);
                    }
                }
            }));
            writer->start();
            while (!writer->wait(0))
                service->flushPendingData();
            service->flushPendingData();
            QCOMPARE(service->pendingInstanceCount() + service->pendingCashCount(), 0);
            Rows instances, days;
            for (int i = 0; i < ids; ++i) {
                const InstanceInfo info = service->getInstanceInfo(QString::number(7000 + i));
                instances.append({info.instanceId, QString::number(info.runMode), info.fundAccount, info.returnRegInfo,
                                  msecs(info.startTime), msecs(info.endTime)});
            }
            QList<BackTestCashInfo> cash;
            QVERIFY(service->queryBackTestCashInfo("race", cash));
            for (const BackTestCashInfo &c : qAsConst(cash))
                days.append({c.date.toString("yyyyMMdd"), QString::number(c.initialFunds), QString::number(c.endFunds)});
            QCOMPARE(sql("select instance_id, run_mode, fund_account, return_reginfo, start_time, end_time "
                         "from instance_info where instance_id like '70__' order by 1"), instances);
            QCOMPARE(sql("select date, initial_funds, end_funds from backtest_daycash where instance_id='race' "
                         "order by 1"), days);
        }
    }

    // Pages of the server's instance list: an entry replaces its earlier record as a whole, other
    // entries stay; settings among the basic parameters are no parameters.
    void serverInstanceList()
    {
        using namespace Tavrix_Fields::Strategy;
        const auto entry = [](const char *json) { return QVariantMap{{strategyBasicParam, json}}; };
        const char *settings = R"({"account_info":"a","operate_mode":2,"python_home":"/py","time_unit":"1m","p":"5"})";
        StrategyFileLogicHandler &plugin = StrategyFileLogicHandler::instance();
        plugin.slotQueryStrategyInstRsp({{"srv-1", entry(R"({"old":"x"})")}, {"srv-2", entry(settings)}}, false, 1, 2);
        plugin.slotQueryStrategyInstRsp({{"srv-1", entry(R"({"z":1.5,"A":"2","b":null,"c":[1]})")}}, true, 2, 2);
        QStringList params;
        for (const ZParamData &param : service->getInstanceParams("srv-1") + service->getInstanceParams("srv-2"))
            params.append(param.paramName + '=' + param.paramValue);
        QCOMPARE(params, (QStringList{"A=2", "b=", "c=", "z=", "p=5"}));
    }

    void accountSnapshot()
    {
        using namespace Cardel_Values::FundAccountTypeName;
        QList<tagUserAccountInfo> accounts = HostProfile::current().fundAccounts(); // of products P001, P002, P003
        accounts.append(accounts.at(0)); // 880001 of P001 again, of another type: ignored
        accounts.last().accountType = "2";
        accounts.append(accounts.at(2)); // 990001 of P002 also under P000, of an unknown type
        accounts.last().productId = "P000";
        accounts.last().accountType = "9";
        HostProfile::current().setFundAccounts(accounts);
        service->refreshAccount(); // replaces the snapshot taken at start
        QCOMPARE(service->getProductList().size(), 4); // P001, P002, P003 and P000, each once
        QCOMPARE(service->getProductList().last(), (ProductData{"P000", accounts.at(2).productName}));
        QCOMPARE(service->getFundAccountList("P001").value(0), (FundAccountData{"880001", "1", Cash, "stock", "main"}));
        QString product;
        FundAccountData data;
        QVERIFY(service->getFundAccountRelaInfo("990001", product, data)); // the first product in key order
        QCOMPARE(product, QString("P000"));
        QCOMPARE(data, (FundAccountData{"990001", "9", UNKNOWN, "", "CFFEX"}));
    }

    // Another process holds the database locked while the plug-in starts. An earlier run left "sf-0" and
    // "sf-1" (mode 1) and day cash of "sf-cash"; the helper registers "sf-1" again (mode 2) and starts a
    // day of "sf-cash" (initial funds 5) while its load waits, and prints what the load leaves.
    void busyStartupRetriesUntilLoaded_data()
    {
        QTest::addColumn<bool>("earlierRun");
        QTest::newRow("tables of an earlier run") << true;
        QTest::newRow("brand-new database without tables") << false;
    }
    void busyStartupRetriesUntilLoaded()
    {
        QFETCH(bool, earlierRun);
        const QString folder = home.filePath(earlierRun ? "busy-old" : "busy-new"), file = folder + "/sarvek.db";
        QVERIFY(QDir().mkpath(folder));
        if (earlierRun)
            QCOMPARE(runHelper(home, "shutdownflush", {folder, "return", "2"}).exitCode, 0);
        else
            QVERIFY(execSql(file, "PRAGMA user_version=1")); // a database file, no tables yet
        QProcess locker, plugin;
        locker.start(helperPath("dblocker"), {file});
        QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        QByteArray out;
        connect(&plugin, &QProcess::readyReadStandardOutput, this, [&] { out += plugin.readAllStandardOutput(); });
        plugin.setProcessEnvironment(home.processEnvironment());
        plugin.start(helperPath("loadretry"), {folder});
        QTRY_VERIFY_WITH_TIMEOUT(out.contains("initialized\n"), 30000); // the first load met the lock
        locker.closeWriteChannel(); // the lock goes
        QVERIFY2(!out.contains("signal"), out.constData());
        QTRY_VERIFY2_WITH_TIMEOUT(out.endsWith("facade signal\nretry timer active: no\n"), out.constData(), 30000);
        QVERIFY2(out.startsWith("initialized\nretry\n") && out.count("service signal\n") == 1
                     && out.contains(earlierRun ? "\nmodes 1 2 funds 5\n" : "\nmodes 3 2 funds 5\n"), out.constData());
        QTRY_COMPARE_WITH_TIMEOUT(plugin.state(), QProcess::NotRunning, 20000);
        QCOMPARE(plugin.exitCode(), 0);
        QCOMPARE(querySql(file, "select instance_id, run_mode, fund_account from instance_info order by 1"),
                 (earlierRun ? Rows{{"sf-0", "1", "acc-0"}, {"sf-1", "2", "acc-new"}} : Rows{{"sf-1", "2", "acc-new"}}));
    }

    void processEndWritesEverything_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("exit() then return") << "exit";
        QTest::newRow("return without exit()") << "return";
        QTest::newRow("application deleted first") << "deleteapp";
        QTest::newRow("application deleted, then _Exit") << "quickexit";
        QTest::newRow("application outlives main") << "keepapp";
        QTest::newRow("std::exit") << "stdexit";
    }
    void processEndWritesEverything()
    {
        QFETCH(QString, mode);
        const QString folder = home.filePath("end-" + mode);
        QVERIFY(QDir().mkpath(folder));
        const ProcessResult result = runHelper(home, "shutdownflush", {folder, mode, "25"});
        QVERIFY2(!result.crashed && result.exitCode == 0 && result.outText().contains("pending 25 25"),
                 qPrintable(result.outText() + result.errText().right(2000)));
        QCOMPARE(querySql(folder + "/sarvek.db", "select (select sum(end_funds-initial_funds) from backtest_daycash), "
                                                 "(select count(*) from instance_info)"), (Rows{{"25000", "25"}}));
        // The Python path set by that run reached the ini file: the next start reads it.
        const QString next = runHelper(home, "shutdownflush", {folder, "return", "0"}).outText();
        QVERIFY2(next.startsWith("python path: /opt/python 3.8/it's %1\n"), qPrintable(next));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
