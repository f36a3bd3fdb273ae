// The plug-in's service object: run mode, Python path, fund accounts,
// instance registry, backtest day cash, the periodic flush, the load retry
// and the flush at the end of the process.

#include "facade/strategyfilelogichandler.h"
#include "services/strategycompilercommerfuncs.h"
#include "storage/sqltext.h"
#include "storage/strategysqlite.h"
#include "testsupport.h"

#include <cardel_values.h>
#include <hostprofile.h>
#include <tavrix_fields.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QSettings>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {
const QString pythonPath = "/opt/python 3.8/it's %1";
const QDate day(2026, 12, 3);

QDateTime local(int hour, int minute)
{
    return QDateTime(day, QTime(hour, minute), Qt::LocalTime);
}

QString msecs(const QDateTime &time) // as the database holds it
{
    return time.isValid() ? QString::number(time.toMSecsSinceEpoch()) : "NULL";
}

tagUserAccountInfo account(const QString &product, const QString &productName, const QString &fund,
                           const QString &type, const QString &ext = QString())
{
    tagUserAccountInfo info;
    info.productId = product;
    info.productName = productName;
    info.fundAccount = fund;
    info.accountType = type;
    info.extInfo = ext;
    return info;
}

QVariantMap serverEntry(const QString &basicParam, const QVariant &beginTime = QVariant())
{
    using namespace Tavrix_Fields::Strategy;
    QVariantMap entry{{strategyName, "Grid"}, {strategyInstanceName, "Grid #1"}, {strategyBasicParam, basicParam}};
    if (beginTime.isValid())
        entry.insert(strategyInstanceValidBeginTime, beginTime);
    return entry;
}

void deliver(const QString &id, const QVariantMap &entry,
             StrategyFileLogicHandler &to = StrategyFileLogicHandler::instance())
{
    to.slotQueryStrategyInstRsp({{id, entry}}, true, 1, 20);
}

QStringList params(const QString &id, bool values = false)
{
    QStringList list;
    for (const ZParamData &param : StrategyCompilerCommerFuncs::instance()->getInstanceParams(id))
        list.append(values ? param.paramValue : param.paramName);
    return list;
}

// Reads lines of a running process until one equals `wanted`; false when
// the process ends or stays silent for 30 s first.
bool readUntil(QProcess &process, const QString &wanted, QStringList &lines)
{
    const QDeadlineTimer deadline(30000);
    for (;;) {
        while (process.canReadLine()) {
            lines.append(QString::fromUtf8(process.readLine()).trimmed());
            if (lines.last() == wanted)
                return true;
        }
        if (deadline.hasExpired() || !process.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
}
} // namespace

class TestService : public QObject
{
    Q_OBJECT

    TestHome home;
    StrategyCompilerCommerFuncs *service = nullptr;

    static QString db() { return StrategySqlite::instance().databasePath(); }
    static QStringList stored(const QString &id)
    {
        return querySql(db(), "select run_mode, fund_account, return_reginfo, start_time, end_time from instance_info "
                              "where instance_id='" + id + "'").value(0);
    }
    static QList<QStringList> storedDays(const QString &id)
    {
        return querySql(db(), "select date, initial_funds, end_funds from backtest_daycash where instance_id='" + id
                                  + "' order by date");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        service = StrategyCompilerCommerFuncs::instance();
        StrategyFileLogicHandler::instance().initialize();
        QVERIFY(StrategyFileLogicHandler::instance().isInitialized());
    }
    void cleanupTestCase() { StrategyFileLogicHandler::instance().exit(); }

    void runModeStoredUnchanged()
    {
        QCOMPARE(service->getCurrentRunMode(), 0);
        service->setCurrentRunMode(7);
        QCOMPARE(service->getCurrentRunMode(), 7);
        service->setCurrentRunMode(OPERATE_LIVE);
    }

    void pythonPathAnsweredAtOnce()
    {
        QVERIFY(!QFile::exists(home.filePath("ZqProEngineConfig.ini")));
        QCOMPARE(service->getPYInstallPath(), QString());
        service->setPYInstallPath(pythonPath);
        QCOMPARE(service->getPYInstallPath(), pythonPath); // on disk: see the last test
    }

    void registrationAnsweredFromMemory()
    {
        QSignalSpy changes(service, &StrategyCompilerCommerFuncs::sigInstanceRunModeChange);
        QVERIFY(service->addInstanceRunMode("301", OPERATE_SIMULATE, "F301", "{\"code\":0}"));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(changes.first(), (QVariantList{"301", 1}));
        QCOMPARE(int(service->getInstanceRunMode("301")), 1);
        QCOMPARE(service->getInstanceFundAccount("301"), QString("F301"));
        QCOMPARE(service->getReturnInstanceInfo("301"), QString("{\"code\":0}"));

        QCOMPARE(int(service->getInstanceRunMode("nobody")), 3);
        QCOMPARE(service->getInstanceFundAccount("nobody"), QString());
        QCOMPARE(service->getReturnInstanceInfo("nobody"), QString());
        QCOMPARE(service->getInstanceInfo("nobody"), InstanceInfo());
    }

    void lastBacktestInstanceByIdOrder()
    {
        QCOMPARE(service->getLastReturnInstanceRegInfo(), InstanceInfo());
        service->addInstanceRunMode("10", OPERATE_BACKTEST, "F10", "r10");
        service->addInstanceRunMode("9", OPERATE_BACKTEST, "F9", "r9");
        service->addInstanceRunMode("95", OPERATE_SIMULATE, "F95", "r95");
        QCOMPARE(service->getLastReturnInstanceRegInfo(), (InstanceInfo{"9", OPERATE_BACKTEST, "F9", "r9", {}, {}}));
    }

    void instanceTimes()
    {
        const QStringList times = {msecs(local(9, 30)), msecs(local(15, 0))};
        QVERIFY(service->addInstanceRunMode("401", 1, "F1", "r1"));
        service->flushPendingData();
        QVERIFY(service->setInstanceStartEndTime("401", local(9, 30), local(15, 0)));
        QCOMPARE(service->getInstanceInfo("401").endTime, local(15, 0));
        QCOMPARE(stored("401"), QStringList({"1", "F1", "r1"}) + times);
        // Registered again: the times are reset, in memory and in the row.
        QVERIFY(service->addInstanceRunMode("401", 0, "F2", "r2"));
        QCOMPARE(service->getInstanceInfo("401"), (InstanceInfo{"401", 0, "F2", "r2", {}, {}}));
        service->flushPendingData();
        QCOMPARE(stored("401"), (QStringList{"0", "F2", "r2", "NULL", "NULL"}));

        // Times set while the row is pending travel with it.
        QVERIFY(service->addInstanceRunMode("402", 1, "F", "r"));
        QVERIFY(service->setInstanceStartEndTime("402", local(9, 30), local(15, 0)));
        QCOMPARE(stored("402"), QStringList());
        service->flushPendingData();
        QCOMPARE(stored("402"), QStringList({"1", "F", "r"}) + times);

        // An unknown id changes nothing in memory; the store answers.
        QVERIFY(service->setInstanceStartEndTime("403", local(9, 30), local(15, 0)));
        QCOMPARE(service->getInstanceInfo("403"), InstanceInfo());
        QVERIFY(service->addInstanceRunMode("1 or 1=1", 1, "F", "r"));
        service->flushPendingData();
        QVERIFY(!service->setInstanceStartEndTime("1 or 1=1", local(8, 0), local(8, 5)));
        QCOMPARE(querySql(db(), "select count(*) from instance_info where start_time='" + msecs(local(8, 0)) + "'"),
                 (QList<QStringList>{{"0"}}));
    }

    void loadKeepsEntriesMadeInThisProcess()
    {
        service->addInstanceRunMode("501", OPERATE_SIMULATE, "mine", "r");
        service->addBackTestInitCashInfo("load-cash", QDate(2026, 12, 1), 100);
        const QString today = QString::number(SqlText::todayNumber());
        QVERIFY(execSql(db(), "insert into instance_info values('501', '0', 'theirs', 'x', '" + today
                                  + "', NULL, NULL), ('502', '1', 'F502', 'r502', '" + today + "', NULL, NULL);"
                                  "insert into backtest_daycash values('load-cash', '20261201', NULL, '999', '999', '"
                                  + today + "'), ('load-cash', '20261202', NULL, '5', '6', '" + today + "');"));
        QSignalSpy loaded(service, &StrategyCompilerCommerFuncs::signalInstanceRunModeLoaded);
        service->initInstanceData();
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(service->getInstanceFundAccount("501"), QString("mine"));
        QCOMPARE(service->getInstanceFundAccount("502"), QString("F502"));
        double initial = -1, end = -1;
        QVERIFY(service->queryBackTestCashInfo("load-cash", QDate(2026, 12, 1), initial, end));
        QCOMPARE(initial, 100.0);
        QVERIFY(service->queryBackTestCashInfo("load-cash", QDate(2026, 12, 2), initial, end));
        QCOMPARE(end, 6.0);
    }

    void flushTimerWritesPendingRows()
    {
        QVERIFY(service->addInstanceRunMode("timer-1", 1, "F", "r"));
        service->addBackTestInitCashInfo("timer-1", day, 1000);
        service->addBackTestInitCashEndInfo("timer-1", day, 1050);
        QTRY_VERIFY_WITH_TIMEOUT(!stored("timer-1").isEmpty() && !storedDays("timer-1").isEmpty(), 10000);
        QCOMPARE(storedDays("timer-1"), (QList<QStringList>{{"20261203", "1000", "1050"}}));
    }

    void flushRacingRegistrationsKeepsLastRows()
    {
        // Several short rounds: each ends with the writer's last rows landing
        // at some point of a flush, checked on its own.
        constexpr int ids = 40, perRound = 2500;
        for (int round = 0; round < 4; ++round) {
            std::unique_ptr<QThread> writer(QThread::create([this, round] {
                for (int i = round * perRound; i < (round + 1) * perRound; ++i) {
                    const QString id = QString::number(7000 + i % ids);
                    service->addInstanceRunMode(id, i % 2, "F" + QString::number(i), "r" + QString::number(i));
                    if (i % 97 == 0)
                        service->setInstanceStartEndTime(id, local(9, 0).addSecs(i), local(15, 0).addSecs(i));
                    if (i % 11 == 0) {
                        const QDate date = QDate(2026, 1, 1).addDays(i % 37);
                        service->addBackTestInitCashInfo("race-cash", date, i);
                        service->addBackTestInitCashEndInfo("race-cash", date, i + 0.5);
                    }
                }
            }));
            writer->start();
            while (!writer->isFinished())
                service->flushPendingData();
            QVERIFY(writer->wait(60000));
            service->flushPendingData();
            QCOMPARE(service->pendingInstanceCount(), 0);
            QCOMPARE(service->pendingCashCount(), 0);

            for (int i = 0; i < ids; ++i) {
                const InstanceInfo info = service->getInstanceInfo(QString::number(7000 + i));
                QCOMPARE(stored(info.instanceId), (QStringList{QString::number(info.runMode), info.fundAccount,
                                                               info.returnRegInfo, msecs(info.startTime),
                                                               msecs(info.endTime)}));
            }
            QList<BackTestCashInfo> days;
            QVERIFY(service->queryBackTestCashInfo("race-cash", days));
            QList<QStringList> expected;
            for (const BackTestCashInfo &cash : qAsConst(days)) {
                expected.append({cash.date.toString("yyyyMMdd"), QString::number(cash.initialFunds),
                                 QString::number(cash.endFunds)});
            }
            QCOMPARE(storedDays("race-cash"), expected);
        }
    }

    void serverListPages()
    {
        StrategyFileLogicHandler notInitialized; // a list before initialize() is ignored
        deliver("page-1", serverEntry("{\"a\":\"1\"}"), notInitialized);
        QCOMPARE(params("page-1"), QStringList());
        deliver("page-1", serverEntry("{\"a\":\"1\"}"));
        deliver("page-2", serverEntry("{\"b\":\"2\"}"));
        QCOMPARE(params("page-1") + params("page-2"), (QStringList{"a", "b"}));
    }

    void serverParameters_data()
    {
        QTest::addColumn<QString>("basicParam");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("setting keys skipped")
            << R"({"account_info":"a","LogDataSaveType":1,"operate_mode":2,"python_home":"/py",)"
               R"("show_strategy_cmd":true,"strategy_batch_index":3,"fundaccount_trade_push":"x",)"
               R"("time_unit":"1m","instance_name":"n","period":"5"})"
            << QStringList{"period"} << QStringList{"5"};
        QTest::newRow("non-text values give empty texts") << R"({"a":1.5,"b":true,"c":null,"d":[1],"e":{},"f":"t"})"
                                                          << QStringList{"a", "b", "c", "d", "e", "f"}
                                                          << QStringList{"", "", "", "", "", "t"};
        QTest::newRow("keys in ascending order") << R"({"zeta":"1","Alpha":"2","beta":"3"})"
                                                 << QStringList{"Alpha", "beta", "zeta"} << QStringList{"2", "3", "1"};
        QTest::newRow("invalid JSON") << "{\"a\":" << QStringList() << QStringList();
        QTest::newRow("array instead of object") << "[\"a\"]" << QStringList() << QStringList();
    }
    void serverParameters()
    {
        QFETCH(QString, basicParam);
        QFETCH(QStringList, names);
        QFETCH(QStringList, values);
        deliver("srv-param", serverEntry("{\"earlier\":\"x\"}"));
        deliver("srv-param", serverEntry(basicParam)); // replaces the record as a whole
        QCOMPARE(params("srv-param"), names);
        QCOMPARE(params("srv-param", true), values);
    }

    void serverBeginTime_data()
    {
        QTest::addColumn<QVariant>("given");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("missing") << QVariant() << qint64(0);
        QTest::newRow("not a number") << QVariant("soon") << qint64(0);
        QTest::newRow("text") << QVariant("1764720000000") << qint64(1764720000000);
        QTest::newRow("number") << QVariant(qint64(1764720000000)) << qint64(1764720000000);
    }
    void serverBeginTime()
    {
        QFETCH(QVariant, given);
        QFETCH(qint64, expected);
        QString beginText;
        QDebug(&beginText).noquote() << QDateTime::fromMSecsSinceEpoch(expected);
        LogCapture log;
        deliver("srv-begin", serverEntry("{\"p\":\"v\"}", given));
        const QStringList lines = log.texts().filter("StrategyCompilerCommerFuncs::initHisInstanceData srv-begin");
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(beginText.trimmed()), qPrintable(lines.first()));
    }

    void accountSnapshot()
    {
        using namespace Cardel_Values;
        HostProfile::current().setFundAccounts({account("P2", "Two", "A1", "1", "first"),
                                                account("P1", "One", "B1", "4"),
                                                account("P2", "Two again", "A1", "2", "second"), // A1 again: ignored
                                                account("P2", "Two", "SHARED", "5"),
                                                account("P1", "One", "SHARED", "9", "odd"),
                                                account("P3", "Three", "U1", "99")});
        QSignalSpy changed(service, &StrategyCompilerCommerFuncs::sigFundAccountChanged);
        service->refreshAccount();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(service->getProductList(), (QList<ProductData>{{"P2", "Two"}, {"P1", "One"}, {"P3", "Three"}}));
        const QList<FundAccountData> p2 = service->getFundAccountList("P2");
        QCOMPARE(p2, (QList<FundAccountData>{{"A1", "1", FundAccountTypeName::Cash, "stock", "first"},
                                             {"SHARED", "5", FundAccountTypeName::Option, "option", ""}}));

        QString product;
        FundAccountData data;
        QVERIFY(service->getFundAccountRelaInfo("SHARED", product, data));
        QCOMPARE(product, QString("P1"));
        QCOMPARE(data, (FundAccountData{"SHARED", "9", FundAccountTypeName::UNKNOWN, "", "odd"}));
        QVERIFY(!service->getFundAccountRelaInfo("missing", product, data));
        QCOMPARE(product + data.fundAccount, QString("P1SHARED")); // untouched
        QCOMPARE(service->getFundAccountList("P9"), QList<FundAccountData>());

        HostProfile::current().setFundAccounts({});
        service->refreshAccount();
        QCOMPARE(changed.count(), 2);
        QCOMPARE(service->getProductList(), QList<ProductData>());
        QCOMPARE(service->getFundAccountList("P2"), QList<FundAccountData>());
    }

    void accountTypes_data()
    {
        using namespace Cardel_Values;
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("python");
        QTest::newRow("cash") << FundAccountType::Cash << FundAccountTypeName::Cash << "stock";
        QTest::newRow("credit") << FundAccountType::Credit << FundAccountTypeName::Credit << "stock_margin";
        QTest::newRow("credit special") << FundAccountType::CreditSpecial << FundAccountTypeName::CreditSpecial << "";
        QTest::newRow("future") << FundAccountType::Future << FundAccountTypeName::Future << "futures";
        QTest::newRow("option") << FundAccountType::Option << FundAccountTypeName::Option << "option";
        QTest::newRow("metal") << FundAccountType::Metal << FundAccountTypeName::Metal << "metal";
        QTest::newRow("CFETS") << FundAccountType::CFETS << FundAccountTypeName::CFETS << "";
        QTest::newRow("unknown code") << "8" << FundAccountTypeName::UNKNOWN << "";
        QTest::newRow("empty code") << "" << FundAccountTypeName::UNKNOWN << "";
    }
    void accountTypes()
    {
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, python);
        QCOMPARE(StrategyCompilerCommerFuncs::getFundAccountTypeName_py(code), python);
        HostProfile::current().setFundAccounts({account("P", "Product", "F", code)});
        service->refreshAccount();
        const QList<FundAccountData> accounts = service->getFundAccountList("P");
        QCOMPARE(accounts.size(), 1);
        QCOMPARE(accounts.first().accountTypeName, name);
        QCOMPARE(accounts.first().pyAccountType, python);
    }

    void cashQueries()
    {
        const QDate d1(2026, 12, 1), d2(2026, 12, 2), d3 = day;
        const int pending = service->pendingCashCount();
        service->addBackTestInitCashEndInfo("cash-1", d1, 5); // no initial funds: dropped
        double initial = -1, end = -1;
        QVERIFY(!service->queryBackTestCashInfo("cash-1", d1, initial, end));
        QCOMPARE(service->pendingCashCount(), pending);

        for (const QDate &date : {d3, d1, d2})
            service->addBackTestInitCashInfo("cash-1", date, date.day() * 100);
        service->addBackTestInitCashEndInfo("cash-1", d2, 250);
        service->addBackTestInitCashInfo("cash-1", d2, 210); // a new start of the day
        QVERIFY(service->queryBackTestCashInfo("cash-1", d2, initial, end));
        QCOMPARE(QPair(initial, end), QPair(210.0, 0.0));
        QList<BackTestCashInfo> days;
        QVERIFY(service->queryBackTestCashInfo("cash-1", days));
        QCOMPARE(days.size(), 3);
        QCOMPARE((QList<QDate>{days.at(0).date, days.at(1).date, days.at(2).date}), (QList<QDate>{d1, d2, d3}));

        // Unknown instance or day: the outputs stay as given.
        initial = end = -1;
        QVERIFY(!service->queryBackTestCashInfo("cash-none", d1, initial, end));
        QVERIFY(!service->queryBackTestCashInfo("cash-1", QDate(2026, 12, 9), initial, end));
        QCOMPARE(QPair(initial, end), QPair(-1.0, -1.0));
        QVERIFY(!service->queryBackTestCashInfo("cash-none", days));
        QCOMPARE(days.size(), 3);
    }

    void cashQueuedOnceAndFlushed()
    {
        service->flushPendingData();
        service->addBackTestInitCashInfo("cash-2", day, 1000);
        QCOMPARE(service->pendingCashCount(), 0);
        service->addBackTestInitCashEndInfo("cash-2", day, 1050);
        QCOMPARE(service->pendingCashCount(), 1);
        service->flushPendingData();
        QCOMPARE(service->pendingCashCount(), 0);
        QCOMPARE(storedDays("cash-2"), (QList<QStringList>{{"20261203", "1000", "1050"}}));

        // A repeated report replaces the row and holds back nothing.
        service->addBackTestInitCashEndInfo("cash-2", day, 1100);
        service->addBackTestInitCashInfo("cash-3", day, 1);
        service->addBackTestInitCashEndInfo("cash-3", day, 2);
        service->flushPendingData();
        QCOMPARE(service->pendingCashCount(), 0);
        QCOMPARE(storedDays("cash-2"), (QList<QStringList>{{"20261203", "1000", "1100"}}));
        QCOMPARE(storedDays("cash-3"), (QList<QStringList>{{"20261203", "1", "2"}}));
    }

    void busyStartupRetriesUntilLoaded()
    {
        const QString folder = home.filePath("busy-start");
        QVERIFY(QDir().mkpath(folder));
        // An earlier run leaves the instance "sf-0" (mode 1) in the database.
        QCOMPARE(runHelper(home, "shutdownflush", {folder, "return", "1"}).exitCode, 0);
        QProcess locker;
        QStringList lockerLines;
        locker.start(helperPath("dblocker"), {folder + "/sarvek.db"});
        QVERIFY(readUntil(locker, "locked", lockerLines));

        QProcess plugin;
        plugin.setProcessEnvironment(home.processEnvironment());
        plugin.start(helperPath("loadretry"), {folder, "sf-0"});
        QStringList lines;
        const bool retried = readUntil(plugin, "retry", lines);
        locker.write("\n");
        QVERIFY(locker.waitForFinished(20000));
        QVERIFY2(retried, qPrintable(lines.join('\n')));
        QVERIFY2(lines.contains("initialized") && lines.filter("signal").isEmpty(), qPrintable(lines.join('\n')));

        const bool relayed = readUntil(plugin, "facade signal", lines);
        QVERIFY(plugin.waitForFinished(20000));
        while (plugin.canReadLine())
            lines.append(QString::fromUtf8(plugin.readLine()).trimmed());
        QVERIFY2(relayed, qPrintable(lines.join('\n')));
        QCOMPARE(lines.count("service signal"), 1);
        QVERIFY2(lines.contains("mode 1"), qPrintable(lines.join('\n')));
        QVERIFY2(lines.contains("retry timer active: no"), qPrintable(lines.join('\n')));
        QCOMPARE(plugin.exitCode(), 0);
    }

    void processEndWritesEveryRow_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("exit() then return") << "exit";
        QTest::newRow("return without exit()") << "return";
        QTest::newRow("application deleted first") << "deleteapp";
        QTest::newRow("application deleted, then _Exit") << "quickexit";
        QTest::newRow("application outlives main") << "keepapp";
        QTest::newRow("std::exit") << "stdexit";
    }
    void processEndWritesEveryRow()
    {
        QFETCH(QString, mode);
        const QString folder = home.filePath("end-" + mode);
        QVERIFY(QDir().mkpath(folder));
        const ProcessResult result = runHelper(home, "shutdownflush", {folder, mode, "25"});
        QVERIFY2(!result.crashed && result.exitCode == 0, qPrintable(result.errText().right(2000)));
        QVERIFY2(result.outText().contains("pending 25 25"), qPrintable(result.outText()));
        const QString file = folder + "/sarvek.db";
        QCOMPARE(querySql(file, "select count(*) from instance_info where run_mode='1' and fund_account='acc-'||"
                                "substr(instance_id,4) and return_reginfo='reg-'||substr(instance_id,4)"),
                 (QList<QStringList>{{"25"}}));
        QCOMPARE(querySql(file, "select count(*) from backtest_daycash where instance_id='sf-cash' and "
                                "end_funds-initial_funds=1000"),
                 (QList<QStringList>{{"25"}}));
    }

    // Last: the final flush stops the flush timer.
    void shutdownWritesPendingRowsAndIni()
    {
        QVERIFY(service->addInstanceRunMode("999", 1, "F999", "r999"));
        service->addBackTestInitCashInfo("999", day, 1);
        service->addBackTestInitCashEndInfo("999", day, 2);
        service->shutdown();
        QCOMPARE(stored("999").value(1), QString("F999"));
        QCOMPARE(storedDays("999"), (QList<QStringList>{{"20261203", "1", "2"}}));

        QSettings ini(home.filePath("ZqProEngineConfig.ini"), QSettings::IniFormat);
        QCOMPARE(ini.value("ZqProEngineConfig/Sarvek_PythonInstallPath").toString(), pythonPath);
        const ProcessResult next = runHelper(home, "shutdownflush", {home.path(), "return", "0"});
        QVERIFY2(next.outText().contains("python path: " + pythonPath + '\n'), qPrintable(next.outText()));
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
