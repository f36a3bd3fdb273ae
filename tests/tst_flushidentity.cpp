// The flush's prepared statements store exactly the rows of the statement
// texts they replaced: the same rows, written once as text and once
// prepared into two databases, compare equal value by value and type by
// type, for awkward and for random rows.

#include "storage/strategysqlite.h"
#include "testsupport.h"

#include <zqmemsqlitemgr.h>

#include <QtTest>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
using Rows = QList<QStringList>;
const QDate day(2026, 12, 3);
const QDateTime startAt(day, QTime(9, 30)), endAt(day, QTime(15, 0));
const double nan = std::numeric_limits<double>::quiet_NaN();
const double inf = std::numeric_limits<double>::infinity();

const char instanceColumns[] = "select typeof(instance_id), quote(instance_id), typeof(run_mode), quote(run_mode), "
                               "typeof(fund_account), quote(fund_account), typeof(return_reginfo), "
                               "quote(return_reginfo), typeof(create_date), quote(create_date), "
                               "typeof(start_time), quote(start_time), typeof(end_time), quote(end_time) "
                               "from instance_info order by rowid";
const char dayCashColumns[] = "select typeof(instance_id), quote(instance_id), typeof(date), quote(date), "
                              "typeof(fund_account), quote(fund_account), typeof(initial_funds), "
                              "quote(initial_funds), typeof(end_funds), quote(end_funds), typeof(create_date), "
                              "quote(create_date) from backtest_daycash order by rowid";

// Ids of every kind: plain decimals and numbers that are not, quotes, SQL,
// scripts beyond Latin-1, the empty id, a NUL, and a long one.
QStringList awkwardIds()
{
    return {"1024", "0", "007", "-5", "1e3", " 12", "12345678901234567890", "9223372036854775807",
            "o'b", "''", "'); drop table instance_info; --", "%1%2", "中文策略", "策略'一", "😀", "",
            QString("a") + QChar(0) + "b", QString(5000, QChar(0x4e2d))};
}

QList<double> awkwardAmounts()
{
    return {0, -0.0, 1, -1, 100000, 1e5, 100000.5, 1012000.5, 0.1, 0.1 + 0.2, 1.0 / 3, M_PI, -2.5,
            123456.789012345678, 0.9999999999999999, 999999999999999.9, 1e15 - 1, 1e15, 1e15 + 1,
            4503599627370496.5, 9007199254740992.0, 9007199254740994.0, 1e16, 9.2233720368547758e18,
            -9.2233720368547758e18, 1e19, -1e19, 1e20, 1e300, -1e300, DBL_MAX, -DBL_MAX, 1e-300,
            DBL_MIN, 5e-324, 1.7976931348623157e308 / 3, nan, inf, -inf};
}

// An amount from the whole range of doubles: cents, fractions of every
// magnitude and, now and then, any bit pattern at all (NaN included).
double randomAmount(QRandomGenerator &random)
{
    switch (random.bounded(4)) {
    case 0:
        return double(random.bounded(-100000000, 100000000)) / 100;
    case 1:
        return (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-30, 30));
    case 2:
        return double(qint64(random.generate64()) >> random.bounded(0, 63));
    default: {
        const quint64 bits = random.generate64();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    }
}

QString randomText(QRandomGenerator &random)
{
    static const QString pool = QString::fromUtf8("0123456789 abz'%\"-.;中策😀");
    QString text;
    const int size = random.bounded(12);
    for (int i = 0; i < size; ++i) {
        const int at = random.bounded(pool.size());
        // Keep surrogate pairs whole.
        if (pool.at(at).isSurrogate())
            text += pool.mid(pool.at(at).isHighSurrogate() ? at : at - 1, 2);
        else
            text += pool.at(at);
    }
    return text;
}

QString randomId(QRandomGenerator &random)
{
    return random.bounded(2) ? QString::number(random.bounded(1, 5000)) : randomText(random);
}
} // namespace

class TestFlushIdentity : public QObject
{
    Q_OBJECT

    TestHome home;
    // The same rows go to both: the statement texts and the prepared statements.
    QScopedPointer<StrategySqlite> textStore, preparedStore;

    QString textPath, preparedPath; // their databases

    // The table holds rows, the same in both databases.
    void compareTable(const char *sql)
    {
        const Rows written = querySql(textPath, sql);
        const Rows prepared = querySql(preparedPath, sql);
        QVERIFY(!written.isEmpty());
        QCOMPARE(prepared.size(), written.size());
        for (int i = 0; i < written.size(); ++i)
            QCOMPARE(prepared.at(i), written.at(i));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        // Replaced rows are reported at info level, thousands of times here.
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.info=false"));
    }
    void init()
    {
        const QString name = QString(QTest::currentTestFunction()) + '-' + QTest::currentDataTag();
        home.switchToNewFolder(name + "-text");
        textStore.reset(new StrategySqlite);
        textStore->m_textStatements = true;
        textPath = textStore->databasePath();
        home.switchToNewFolder(name + "-prepared");
        preparedStore.reset(new StrategySqlite);
        preparedPath = preparedStore->databasePath();
        QVERIFY(textPath != preparedPath);
    }

    void instanceRows_data()
    {
        QTest::addColumn<QList<InstanceInfo>>("instances");
        QList<InstanceInfo> awkward;
        int mode = -2;
        for (const QString &id : awkwardIds())
            awkward.append({id, mode++, id, id + "'reg'", {}, {}});
        QTest::newRow("awkward ids and texts") << awkward;
        QList<InstanceInfo> timed = awkward;
        for (InstanceInfo &info : timed) {
            info.startTime = startAt;
            info.endTime = endAt;
        }
        timed.first().endTime = QDateTime(); // times only when both are set
        timed.append({"1970", 1, {}, {}, QDateTime::fromMSecsSinceEpoch(-1), QDateTime::fromMSecsSinceEpoch(0)});
        QTest::newRow("times set") << timed;
        QTest::newRow("modes at the ends of int")
            << QList<InstanceInfo>{{"min", INT_MIN, {}, {}, {}, {}}, {"max", INT_MAX, {}, {}, {}, {}}};
        for (const quint32 seed : {1u, 2u, 3u}) {
            QRandomGenerator random(seed);
            QList<InstanceInfo> rows;
            for (int i = 0; i < 300; ++i) {
                InstanceInfo info{randomId(random), int(random.bounded(-3, 5)), randomText(random),
                                  randomText(random), {}, {}};
                if (random.bounded(2)) {
                    info.startTime = QDateTime::fromMSecsSinceEpoch(qint64(random.generate64() >> 20));
                    info.endTime = info.startTime.addMSecs(random.bounded(100000));
                }
                rows.append(info);
            }
            QTest::addRow("random, seed %u", seed) << rows;
        }
    }
    void instanceRows()
    {
        QFETCH(QList<InstanceInfo>, instances);
        // Twice: the second batch replaces every row the first one wrote.
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(preparedStore->writeInstanceRows(instances), textStore->writeInstanceRows(instances));
            for (InstanceInfo &info : instances) {
                info.runMode = int(unsigned(info.runMode) + 1u); // wraps at the end of int
                info.fundAccount += "'";
            }
        }
        // One by one (a transaction each) only for the first rows, which
        // hold every awkward case.
        for (const InstanceInfo &info : instances.mid(0, 40)) {
            QCOMPARE(preparedStore->setInstanceStartEndTime(info.instanceId, endAt, startAt),
                     textStore->setInstanceStartEndTime(info.instanceId, endAt, startAt));
            QCOMPARE(preparedStore->addInstanceRunMode(info.instanceId + "-single", info.runMode, info.fundAccount,
                                                       info.returnRegInfo),
                     textStore->addInstanceRunMode(info.instanceId + "-single", info.runMode, info.fundAccount,
                                                   info.returnRegInfo));
        }
        compareTable(instanceColumns);
    }

    void dayCashRows_data()
    {
        QTest::addColumn<QList<BackTestCashInfo>>("records");
        const QList<double> amounts = awkwardAmounts();
        QList<BackTestCashInfo> awkward;
        for (int i = 0; i < amounts.size(); ++i) {
            awkward.append({day.addDays(i), "1024", amounts.at(i), amounts.at(amounts.size() - 1 - i)});
            awkward.append({day.addDays(i), "o'b", -amounts.at(i), amounts.at(i)});
        }
        QTest::newRow("awkward amounts") << awkward;
        QList<BackTestCashInfo> ids;
        for (const QString &id : awkwardIds())
            ids.append({day, id, 1000, 1050.5});
        ids.append({QDate(), "no date", 1, 2});
        ids.append({QDate(1, 1, 1), "first day", 1, 2});
        QTest::newRow("awkward ids and dates") << ids;
        for (const quint32 seed : {1u, 2u, 3u}) {
            QRandomGenerator random(seed);
            QList<BackTestCashInfo> rows;
            for (int i = 0; i < 500; ++i)
                rows.append({day.addDays(random.bounded(-3, 3)), randomId(random), randomAmount(random),
                             randomAmount(random)});
            QTest::addRow("random, seed %u", seed) << rows;
        }
    }
    void dayCashRows()
    {
        QFETCH(QList<BackTestCashInfo>, records);
        for (int round = 0; round < 2; ++round) {
            QCOMPARE(preparedStore->writeDayCashRows(records), textStore->writeDayCashRows(records));
            for (BackTestCashInfo &info : records)
                std::swap(info.initialFunds, info.endFunds);
        }
        for (const BackTestCashInfo &info : records.mid(0, 40)) {
            QCOMPARE(preparedStore->addBackTestDayCash(info.instanceId + "-single", info.date, info.initialFunds,
                                                       info.endFunds),
                     textStore->addBackTestDayCash(info.instanceId + "-single", info.date, info.initialFunds,
                                                   info.endFunds));
        }
        compareTable(dayCashColumns);
        if (QTest::currentTestFailed())
            return;
        // What was written reads back the same from either database.
        int err = 0;
        QCOMPARE(preparedStore->queryALLBackTestDateCash(err), textStore->queryALLBackTestDateCash(err));
        QCOMPARE(err, 0);
    }

    void debugLogShowsStatementText()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=true"));
        LogCapture log;
        QCOMPARE(preparedStore->writeInstanceRows({{"o'b", 2, "880001", "ok", {}, {}}}), 0);
        QCOMPARE(preparedStore->writeDayCashRows({{day, "o'b", 1000, 1050.5}}), 0);
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.info=false"));
        QVERIFY2(log.contains("VALUES ('o''b',2,'880001','ok', "), qPrintable(log.texts().join('\n')));
        QVERIFY2(log.contains("values('o''b','20261203',1000,1050.5,'"), qPrintable(log.texts().join('\n')));
    }

    void statementsFollowTheConnection()
    {
        // A statement prepared on one file must not write into it once the
        // manager has moved to another.
        const QString first = home.filePath("first.db"), second = home.filePath("second.db");
        for (const QString &path : {first, second})
            QVERIFY(execSql(path, "create table t(v)"));
        ZqMemSqliteMgr db;
        const char *insert = "insert into t values(?1)";
        const ZqMemSqliteMgr::Value values[] = {ZqMemSqliteMgr::Value::integer(1)};
        int err = 0;
        db.setDbFilePath(first.toUtf8().constData());
        QCOMPARE(db.execPrepared(insert, values, 1, err), 1);
        db.setDbFilePath(second.toUtf8().constData());
        QCOMPARE(db.execPrepared(insert, values, 1, err), 1);
        QCOMPARE(db.execPrepared(insert, values, 1, err), 1);
        QCOMPARE(err, 0);
        QCOMPARE(querySql(first, "select count(*) from t"), (Rows{{"1"}}));
        QCOMPARE(querySql(second, "select count(*) from t"), (Rows{{"2"}}));
    }
};

QTEST_GUILESS_MAIN(TestFlushIdentity)
#include "tst_flushidentity.moc"
