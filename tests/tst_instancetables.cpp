// The instance and backtest day-cash tables of the local database: batches
// that fail as a whole, rows replaced or rejected one by one, times, amounts,
// quoted values and odd stored values.

#include "storage/sqltext.h"
#include "storage/strategysqlite.h"
#include "testsupport.h"

#include <QtTest>

#include <sqlite3.h>

#include <cstring>

namespace {
using Rows = QList<QStringList>;
const QDate day(2026, 12, 3);
const QDateTime startAt(day, QTime(9, 30)), endAt(day, QTime(15, 0));
// Makes each %2 statement on table %1 for instance %3 fail with the error of evaluating %4.
const QString trigger = "create trigger %1_%2 before %2 on %1 when new.instance_id='%3' begin select %4; end;";
} // namespace

class TestInstanceTables : public QObject
{
    Q_OBJECT

    TestHome home;
    QScopedPointer<StrategySqlite> store; // a store of its own over a fresh folder for each case

    Rows rows(const QString &sql) const { return querySql(store->databasePath(), sql); }
    static InstanceInfo row(const char *id, int mode = 1) { return {id, mode, {}, {}, {}, {}}; }

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    void init()
    {
        home.switchToNewFolder(QString(QTest::currentTestFunction()) + '-' + QTest::currentDataTag());
        store.reset(new StrategySqlite);
    }

    void databaseFailureWritesNothing_data()
    {
        QTest::addColumn<QString>("sql"); // what another connection does first; empty: another process locks the file
        QTest::newRow("second row meets an SQL error")
            << trigger.arg("instance_info", "insert", "b", "abs(-9223372036854775807-1)") // an integer overflow
                   + trigger.arg("backtest_daycash", "insert", "b", "abs(-9223372036854775807-1)");
        QTest::newRow("file locked by another process") << QString();
        QTest::newRow("commit cannot take the lock") << "BEGIN; SELECT count(*) FROM instance_info;";
    }
    void databaseFailureWritesNothing()
    {
        QFETCH(QString, sql);
        const QList<InstanceInfo> instances = {row("a"), row("b"), row("c")};
        const QList<BackTestCashInfo> days = {{day, "a", 1, 2}, {day, "b", 3, 4}, {day, "c", 5, 6}};
        QProcess locker;
        sqlite3 *other = nullptr;
        if (sql.isEmpty()) {
            locker.start(helperPath("dblocker"), {store->databasePath()});
            QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        } else {
            QCOMPARE(sqlite3_open(store->databasePath().toUtf8().constData(), &other), SQLITE_OK);
            QCOMPARE(sqlite3_exec(other, sql.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
        }
        const bool written = store->addInstanceRunModeList(instances) || store->addBackTestDayCashList(days);
        sqlite3_close(other); // ends its transaction
        locker.close(); // ends the locker and its lock
        QVERIFY(!written); // by neither batch
        const QString counts = "select (select count(*) from instance_info), (select count(*) from backtest_daycash)";
        QCOMPARE(rows(counts), (Rows{{"0", "0"}}));
        // Nothing stays locked or half-done: the rows but "b" go through once the obstacle is gone.
        QVERIFY(store->addInstanceRunModeList({instances.first(), instances.last()})
                && store->addBackTestDayCashList({days.first(), days.last()}));
        QCOMPARE(rows(counts), (Rows{{"2", "2"}}));
    }

    void rowsReplacedOrRejectedOneByOne()
    {
        const QString quoted = "o'b%2", refused = "raise(abort, 'refused')"; // the latter a constraint error
        QVERIFY(store->addInstanceRunModeList({row("42"), {quoted, 1, "a'1", "'%1'", {}, {}}, row("x")}));
        QVERIFY(store->setInstanceStartEndTime("42", startAt, endAt));
        QVERIFY(store->addBackTestDayCashList({{day, quoted, 100, 0}}));
        QVERIFY(execSql(store->databasePath(), trigger.arg("instance_info", "update", "x", refused)
                                                   + trigger.arg("instance_info", "insert", "y", refused)
                                                   + "insert into instance_info (instance_id, run_mode, end_time) "
                                                     "values ('null', NULL, NULL), ('odd', 'live', '9999')"));
        const InstanceInfo timed{quoted, 2, "a'%2", "'%3'", startAt, endAt}; // times set while it was pending
        // Refused with no row to update, kept by a constraint on its update; the rows after them are replaced.
        // A NUL would end a statement early: that row alone is dropped.
        const QString nul = QStringLiteral("n%1ul").arg(QChar(0));
        QVERIFY(store->addInstanceRunModeList({row("y"), InstanceInfo{nul, 1, "F", "r", {}, {}}, row("x", 2), {"42", 2, "a2", "r2", {}, {}}, timed}));
        QVERIFY(store->addBackTestDayCashList({{day, "nan", qQNaN(), 1}, {day, "inf", 1, qInf()}, {day, nul, 1, 2},
                                               {day, quoted, 0.5, 1234567.89}, {day, "7", 1e5, 1e5},
                                               {day.addDays(1), "7", 1012000.5, 12345.678}}));
        QCOMPARE(rows("select start_time, end_time from instance_info where instance_id like 'o''%'"),
                 (Rows{{QString::number(startAt.toMSecsSinceEpoch()), QString::number(endAt.toMSecsSinceEpoch())}}));
        int err = 0;
        QCOMPARE(store->queryAllInstaceRunMode(err),
                 (QList<InstanceInfo>{{"42", 2, "a2", "r2", {}, {}}, timed, row("x"), row("null", 0), row("odd", 0)}));
        // Amounts read back exactly; whole ones are stored as integers.
        QCOMPARE(store->queryALLBackTestDateCash(err),
                 (QList<BackTestCashInfo>{{day, quoted, 0.5, 1234567.89}, {day, "7", 1e5, 1e5},
                                          {day.addDays(1), "7", 1012000.5, 12345.678}}));
        QCOMPARE(rows("select initial_funds, end_funds from backtest_daycash where instance_id='7' order by date"),
                 (Rows{{"100000", "100000"}, {"1012000.5", "12345.678"}}));
    }

    void setTimesNeedsPlainDecimalId_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<bool>("sent");
        QTest::newRow("plain number") << "123" << true;
        QTest::newRow("condition that matches every row") << "1 or 1=1" << false;
        QTest::newRow("leading zero") << "0123" << false;
        QTest::newRow("column name") << "instance_id" << false;
        QTest::newRow("beyond 64 bits") << "9223372036854775808" << false;
    }
    void setTimesNeedsPlainDecimalId()
    {
        QFETCH(QString, id);
        QFETCH(bool, sent);
        QVERIFY(store->addInstanceRunModeList({row("123"), row("456")}));
        QCOMPARE(store->setInstanceStartEndTime(id, startAt, endAt), sent);
        QCOMPARE(rows("select count(*) from instance_info where start_time not null"), (Rows{{sent ? "1" : "0"}}));
    }

    // Stored numbers read back as atoll and atof read them, to the last bit:
    // plain texts of every size, and texts only those functions take; texts
    // as QString::fromUtf8 reads them.
    void numbersReadAsTheCLibraryReadsThem()
    {
        QList<QByteArray> texts = {"", "0", "-0", "7", "-7", "007", "+5", " 12", "12 ", "1.", ".5", "-.5", "-", ".",
                                   "1e5", "1E5", "1e", "1e+", "1e-5", "2.5e-3x", "0x1p3", "inf", "-inf", "nan",
                                   "-nan", "infinity", "1e400", "-1e400", "1e-400", "4.9e-324", "2.2250738585072011e-308",
                                   "999999999999999999", "1000000000000000000", "9223372036854775807",
                                   "9223372036854775808", "-9223372036854775808", "99999999999999999999",
                                   "1012000.5", "12345.678", "0.1", "123456789012345678901234567890.123456789",
                                   "١٢", "12abc", "abc", "--1", "1-"};
        QRandomGenerator random(20261207);
        for (int i = 0; i < 20000; ++i) {
            const char pool[] = "0123456789-.e+ ";
            QByteArray text;
            const int size = random.bounded(1, 24);
            for (int j = 0; j < size; ++j)
                text += pool[random.bounded(int(sizeof pool) - 1)];
            texts.append(text);
            texts.append(QByteArray::number((random.generateDouble() - 0.5) * 2e6, 'g', random.bounded(1, 18)));
        }
        for (const QByteArray &text : qAsConst(texts)) {
            const double expected = std::atof(text.constData()), read = SqlText::numberOf(text.constData());
            QVERIFY2(std::memcmp(&expected, &read, sizeof read) == 0 || (std::isnan(expected) && std::isnan(read)),
                     qPrintable(QString("%1: atof %2, read %3").arg(QString::fromUtf8(text)).arg(expected).arg(read)));
            QVERIFY2(SqlText::integerOf(text.constData()) == std::atoll(text.constData()), text.constData());
        }
        texts << "" << "é" << "中文" << "a\xff" "b" << "\xe4\xb8" << "ok\x7f";
        for (const QByteArray &text : qAsConst(texts)) {
            const QString expected = QString::fromUtf8(text.constData()), read = SqlText::textOf(text.constData());
            QCOMPARE(read, expected);
            QCOMPARE(read.isNull(), expected.isNull());
        }
        QVERIFY(SqlText::textOf(nullptr).isNull());
        QCOMPARE(SqlText::numberOf(nullptr), 0.0);
        QCOMPARE(SqlText::integerOf(nullptr), 0);
    }
};

QTEST_GUILESS_MAIN(TestInstanceTables)
#include "tst_instancetables.moc"
