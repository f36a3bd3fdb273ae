// The instance and backtest day-cash tables of the local database: batches,
// replaced rows, times, amounts and quoted values.

#include "storage/strategysqlite.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sqlite3.h>

#include <limits>
#include <memory>

namespace {
const QDateTime start(QDate(2026, 12, 3), QTime(9, 30), Qt::LocalTime);
const QDateTime end(QDate(2026, 12, 3), QTime(15, 0), Qt::LocalTime);

InstanceInfo instance(const QString &id, int mode = 1, const QString &account = "acc", const QString &reg = "reg")
{
    return InstanceInfo{id, mode, account, reg, {}, {}};
}

BackTestCashInfo cashDay(const QString &id, double initial, double endFunds)
{
    return BackTestCashInfo{QDate(2026, 12, 3), id, initial, endFunds};
}
} // namespace

class TestInstanceTables : public QObject
{
    Q_OBJECT

    TestHome home;
    int folders = 0;
    std::unique_ptr<StrategySqlite> store; // a store of its own over a fresh folder for each case

    QString db() const { return store->databasePath(); }
    QList<QStringList> rows(const QString &sql) const { return querySql(db(), sql); }
    QString count(const QString &table) const { return rows("select count(*) from " + table).value(0).value(0); }

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    void init()
    {
        home.switchToNewFolder(QString("case-%1").arg(++folders));
        store.reset(new StrategySqlite);
        QVERIFY(store->isDatabaseOpen());
    }
    void cleanup() { store.reset(); }

    void emptyBatchSendsNothing()
    {
        LogCapture log;
        QVERIFY(store->addInstanceRunModeList({}));
        QVERIFY(store->addBackTestDayCashList({}));
        QVERIFY2(log.entries().isEmpty(), qPrintable(log.texts().join('\n')));

        // Over a database that cannot be opened, only a transaction could fail.
        store.reset();
        QVERIFY(QDir().mkpath(home.switchToNewFolder("unopenable") + "/sarvek.db"));
        store.reset(new StrategySqlite);
        QVERIFY(!store->isDatabaseOpen());
        QVERIFY(store->addInstanceRunModeList({}));
        QVERIFY(store->addBackTestDayCashList({}));
        QVERIFY(!store->addInstanceRunModeList({instance("1")}));
        QVERIFY(!store->addBackTestDayCashList({cashDay("1", 1, 2)}));
    }

    void databaseFailureWritesNothing_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("logged");
        QTest::newRow("second row meets an SQL error") << "trigger" << "VALUES ('a'";
        QTest::newRow("file locked by another process") << "dblocker" << "reason: 5";
        QTest::newRow("commit cannot take the lock") << "reader" << "commit failed, reason: 5";
    }
    void databaseFailureWritesNothing()
    {
        QFETCH(QString, obstacle);
        QFETCH(QString, logged);
        const QList<InstanceInfo> instances = {instance("a"), instance("b"), instance("c")};
        const QList<BackTestCashInfo> days = {cashDay("a", 1, 2), cashDay("b", 3, 4), cashDay("c", 5, 6)};
        QProcess locker;
        sqlite3 *reader = nullptr;
        if (obstacle == "trigger") {
            for (const QString table : {"instance_info", "backtest_daycash"}) {
                QVERIFY(execSql(db(), QString("create trigger fail_%1 after insert on %1 when new.instance_id='b' "
                                              "begin select abs(-9223372036854775807-1); end;")
                                          .arg(table)));
            }
        } else if (obstacle == "dblocker") {
            locker.start(helperPath("dblocker"), {db()});
            QVERIFY(locker.waitForReadyRead(20000));
            QCOMPARE(locker.readLine(), QByteArray("locked\n"));
        } else {
            QCOMPARE(sqlite3_open(db().toUtf8().constData(), &reader), SQLITE_OK);
            QCOMPARE(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM instance_info;", nullptr, nullptr, nullptr), 0);
        }
        LogCapture log;
        const bool instancesWritten = store->addInstanceRunModeList(instances);
        const bool daysWritten = store->addBackTestDayCashList(days);
        sqlite3_close(reader); // ends its read transaction
        if (locker.state() == QProcess::Running) {
            locker.write("\n");
            QVERIFY(locker.waitForFinished(20000));
        }
        QVERIFY(!instancesWritten);
        QVERIFY(!daysWritten);
        QVERIFY2(log.contains(logged), qPrintable(log.texts().join('\n')));
        QCOMPARE((QStringList{count("instance_info"), count("backtest_daycash")}), (QStringList{"0", "0"}));
        if (obstacle == "trigger") {
            QVERIFY(!log.contains("VALUES ('c'")); // the row after the failing one is not attempted
            return;
        }
        // The same batch goes through once the database is free.
        QVERIFY(store->addInstanceRunModeList(instances));
        QVERIFY(store->addBackTestDayCashList(days));
        QCOMPARE((QStringList{count("instance_info"), count("backtest_daycash")}), (QStringList{"3", "3"}));
    }

    void rejectedRowDoesNotHoldBackOthers()
    {
        QVERIFY(store->addInstanceRunModeList({instance("x", 1)}));
        QVERIFY(execSql(db(), "create trigger keep_x before update on instance_info when old.instance_id='x' "
                              "begin select raise(abort, 'kept'); end;"));
        QVERIFY(store->addInstanceRunModeList({instance("a"), instance("x", 2), instance("c")}));
        QCOMPARE(rows("select instance_id, run_mode from instance_info order by 1"),
                 (QList<QStringList>{{"a", "1"}, {"c", "1"}, {"x", "1"}}));

        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        QVERIFY(store->addBackTestDayCashList({cashDay("a", 1, 2), cashDay("n", nan, 1), cashDay("i", 1, inf),
                                               cashDay("c", 3, 4)}));
        QCOMPARE(rows("select instance_id from backtest_daycash order by 1"), (QList<QStringList>{{"a"}, {"c"}}));
    }

    void repeatedRowsReplaceStoredRows()
    {
        QVERIFY(store->addInstanceRunModeList({instance("1024", 1, "acc1", "reg1")}));
        QVERIFY(store->setInstanceStartEndTime("1024", start, end));
        QVERIFY(store->addInstanceRunModeList({instance("1024", 2, "acc2", "reg2")}));
        QCOMPARE(rows("select run_mode, fund_account, return_reginfo, start_time, end_time from instance_info"),
                 (QList<QStringList>{{"2", "acc2", "reg2", "NULL", "NULL"}}));

        QVERIFY(store->addBackTestDayCashList({cashDay("7", 100, 0)}));
        QVERIFY(store->addBackTestDayCashList({cashDay("7", 100, 105), cashDay("7", 100, 110)}));
        QCOMPARE(rows("select date, initial_funds, end_funds from backtest_daycash"),
                 (QList<QStringList>{{"20261203", "100", "110"}}));
    }

    void timesStoredAsDigitsAndReadBackLocal()
    {
        InstanceInfo withTimes = instance("2048"); // times set while the row was pending
        withTimes.startTime = start;
        withTimes.endTime = end;
        QVERIFY(store->addInstanceRunModeList({instance("1024"), withTimes}));
        QVERIFY(store->setInstanceStartEndTime("1024", start, end));
        const QStringList digits = {QString::number(start.toMSecsSinceEpoch()),
                                    QString::number(end.toMSecsSinceEpoch())};
        QCOMPARE(rows("select start_time, end_time from instance_info"), (QList<QStringList>{digits, digits}));

        int err = 0;
        const QList<InstanceInfo> read = store->queryAllInstaceRunMode(err);
        QCOMPARE(read.size(), 2);
        for (const InstanceInfo &info : read) {
            QCOMPARE(info.startTime, start);
            QCOMPARE(info.endTime.timeSpec(), Qt::LocalTime);
            QCOMPARE(info.endTime.time(), QTime(15, 0));
        }
    }

    void setTimesNeedsPlainDecimalId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("answer");
        QTest::newRow("condition that matches every row") << "1 or 1=1" << false;
        QTest::newRow("letters") << "abc" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("sign") << "-1" << false;
        QTest::newRow("fraction") << "1.0" << false;
        QTest::newRow("non-ASCII digit") << QString::fromUtf8("１") << false;
        QTest::newRow("number without a row") << "4096" << true;
    }
    void setTimesNeedsPlainDecimalId()
    {
        QFETCH(QString, id);
        QFETCH(bool, answer);
        QVERIFY(store->addInstanceRunModeList({instance("1"), instance("2"), instance("a'b")}));
        QCOMPARE(store->setInstanceStartEndTime(id, start, end), answer);
        QCOMPARE(count("instance_info where start_time is not null or end_time is not null"), QString("0"));
    }

    void storedTextsReadBack_data()
    {
        QTest::addColumn<QString>("values"); // run_mode, start_time, end_time
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("hasTimes");
        QTest::newRow("end time NULL") << "'1', '1000', NULL" << 1 << false;
        QTest::newRow("end time empty") << "'1', '1000', ''" << 1 << false;
        QTest::newRow("end time of four characters") << "'1', '1000', '9999'" << 1 << false;
        QTest::newRow("end time of five characters") << "'2', '1000', '60000'" << 2 << true;
        QTest::newRow("run mode not a number") << "'live', NULL, NULL" << 0 << false;
        QTest::newRow("run mode NULL") << "NULL, NULL, NULL" << 0 << false;
    }
    void storedTextsReadBack()
    {
        QFETCH(QString, values);
        QFETCH(int, mode);
        QFETCH(bool, hasTimes);
        QVERIFY(execSql(db(), "insert into instance_info (instance_id, run_mode, start_time, end_time) values('r', "
                                  + values + ")"));
        int err = 0;
        const QList<InstanceInfo> read = store->queryAllInstaceRunMode(err);
        QCOMPARE(read.size(), 1);
        QCOMPARE(read.first().runMode, mode);
        QCOMPARE(read.first().startTime, hasTimes ? QDateTime::fromMSecsSinceEpoch(1000) : QDateTime());
        QCOMPARE(read.first().endTime, hasTimes ? QDateTime::fromMSecsSinceEpoch(60000) : QDateTime());
    }

    void amountsKeepSixSignificantDigits_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<double>("readBack");
        QTest::newRow("whole number") << 100000.0 << "100000" << 100000.0;
        QTest::newRow("fraction") << 0.5 << "0.5" << 0.5;
        QTest::newRow("more than six digits") << 1234567.89 << "1234570.0" << 1234570.0;
    }
    void amountsKeepSixSignificantDigits()
    {
        QFETCH(double, amount);
        QFETCH(QString, stored);
        QFETCH(double, readBack);
        QVERIFY(store->addBackTestDayCashList({cashDay("9", amount, amount)}));
        QCOMPARE(rows("select initial_funds, end_funds from backtest_daycash"), (QList<QStringList>{{stored, stored}}));
        int err = 0;
        QCOMPARE(store->queryALLBackTestDateCash(err), (QList<BackTestCashInfo>{cashDay("9", readBack, readBack)}));
    }

    void quotedValuesStoredUnchanged_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("reg");
        QTest::newRow("apostrophes") << "o'brien" << "acc'1" << "{'code':'0'}";
        QTest::newRow("place markers") << "id%2" << "%1%3" << "%4 %5 %6";
        QTest::newRow("statement text") << "x'); drop table instance_info; --" << "'" << "''";
    }
    void quotedValuesStoredUnchanged()
    {
        QFETCH(QString, id);
        QFETCH(QString, account);
        QFETCH(QString, reg);
        for (int mode : {1, 2}) { // the second round replaces the rows through their updates
            const InstanceInfo info = instance(id, mode, account + QString::number(mode), reg + QString::number(mode));
            QVERIFY(store->addInstanceRunModeList({info}));
            QVERIFY(store->addBackTestDayCashList({cashDay(id, mode, mode)}));
            int err = 0;
            QCOMPARE(store->queryAllInstaceRunMode(err), (QList<InstanceInfo>{info}));
            QCOMPARE(store->queryALLBackTestDateCash(err), (QList<BackTestCashInfo>{cashDay(id, mode, mode)}));
            QCOMPARE(err, 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestInstanceTables)
#include "tst_instancetables.moc"
