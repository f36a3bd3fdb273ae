// A sarvek.db whose table cannot take rows: one that lacks a column no
// start adds, a view or an index in its place, or a table dropped while the
// plug-in runs. The rows registered against it stay pending and go to the
// journal at exit with a warning naming the table and the fault (an
// instance, a backtest day), or the change is refused (a lock); doctor
// names the table, doctor --fix rebuilds it, keeping the damaged object
// aside and the rows that fit, and the next start writes the journal into
// the rebuilt table.

#include "testsupport.h"

#include "storage/strategyschema.h"
#include "storage/strategysqlite.h"

#include <QtTest>

namespace {
using Rows = QList<QStringList>;

QJsonObject jsonOf(const ProcessResult &result)
{
    return QJsonDocument::fromJson(result.out).object();
}

// "id:severity" of the doctor's findings about `table`'s database object.
QStringList tableFindings(const QJsonObject &report, const QString &table)
{
    QStringList found;
    for (const QJsonValue &value : report.value("findings").toArray()) {
        const QJsonObject f = value.toObject();
        if (f.value("id").toString().startsWith("db-") && f.value("message").toString().contains(table))
            found.append(f.value("id").toString() + ':' + f.value("severity").toString());
    }
    return found;
}

QStringList schemaColumns(const QString &table)
{
    for (const StrategySchema::Table &t : StrategySchema::tables()) {
        if (QLatin1String(t.name) == table) {
            QStringList names;
            for (const StrategySchema::Column &c : t.columns)
                names.append(QLatin1String(c.name));
            return names;
        }
    }
    return {};
}
} // namespace

class TestDamagedTables : public QObject
{
    Q_OBJECT

    TestHome home;

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }

    void rowsOfADamagedTableAreKept_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("damage");  // SQL run after a first start; empty: dropped while the plug-in runs
        QTest::addColumn<QString>("finding"); // "id:severity" of doctor
        QTest::addColumn<QString>("fault");   // the warning's words for the fault
        QTest::addColumn<QString>("aside");   // the type of the object kept aside; empty when none
        QTest::addColumn<QString>("copied");  // the rows of the damaged object the rebuilt table holds, "|"-joined keys

        const QString today = QDate::currentDate().toString("yyyyMMdd");
        const QString lacking = "db-missing-column:error", replaced = "db-table-replaced:error",
                      missing = "db-missing-table:warning";
        QTest::newRow("instances: lacking a column")
            << "instance_info"
            << "drop table instance_info; create table instance_info(instance_id varchar(120) primary key, "
               "fund_account varchar(255)); insert into instance_info values('66', 'acc66')"
            << lacking << "lacks the column(s) run_mode" << "table" << "66";
        QTest::newRow("instances: a view")
            << "instance_info"
            << "drop table instance_info; create view instance_info as select '66' as instance_id, 2 as run_mode, "
               "'acc66' as fund_account, '' as return_reginfo, null as create_date, null as start_time, null as end_time"
            << replaced << "a view stands in its place" << "view" << "66";
        QTest::newRow("instances: an index")
            << "instance_info" << "drop table instance_info; create index instance_info on strategyfileinfo(file_path)"
            << replaced << "an index stands in its place" << "index" << "";
        QTest::newRow("instances: dropped") << "instance_info" << "" << missing << "there is no such table" << ""
                                            << "";
        QTest::newRow("day cash: lacking a column")
            << "backtest_daycash"
            << "drop table backtest_daycash; create table backtest_daycash(instance_id, date, initial_funds, "
               "create_date, primary key(instance_id, date)); insert into backtest_daycash values('66', '20261130', 5, '"
                   + today + "')"
            << lacking << "lacks the column(s) fund_account, end_funds" << "table" << "66|20261130";
        QTest::newRow("day cash: a view")
            << "backtest_daycash"
            << "drop table backtest_daycash; create view backtest_daycash as select '66' as instance_id, "
               "'20261130' as date, 5 as initial_funds, 6 as end_funds, '" + today + "' as create_date"
            << replaced << "a view stands in its place" << "view" << "66|20261130";
        QTest::newRow("day cash: an index")
            << "backtest_daycash"
            << "drop table backtest_daycash; create index backtest_daycash on strategyfileinfo(file_path)" << replaced
            << "an index stands in its place" << "index" << "";
        QTest::newRow("day cash: dropped") << "backtest_daycash" << "" << missing << "there is no such table" << ""
                                           << "";
        QTest::newRow("locks: lacking a column")
            << "strategyfileinfo"
            << "drop table strategyfileinfo; create table strategyfileinfo(path varchar(120)); "
               "insert into strategyfileinfo values('D:/s/old.py')"
            << lacking << "lacks the column(s) file_path" << "table" << "";
        QTest::newRow("locks: a view")
            << "strategyfileinfo"
            << "drop table strategyfileinfo; create view strategyfileinfo as select 'D:/s/old.py' as file_path"
            << replaced << "a view stands in its place" << "view" << "D:/s/old.py";
        QTest::newRow("locks: an index")
            << "strategyfileinfo"
            << "drop table strategyfileinfo; create index strategyfileinfo on instance_info(run_mode)" << replaced
            << "an index stands in its place" << "index" << "";
        QTest::newRow("locks: dropped") << "strategyfileinfo" << "" << missing << "there is no such table" << ""
                                        << "";
    }

    void rowsOfADamagedTableAreKept()
    {
        QFETCH(QString, table);
        QFETCH(QString, damage);
        QFETCH(QString, finding);
        QFETCH(QString, fault);
        QFETCH(QString, aside);
        QFETCH(QString, copied);
        const QString folder = home.switchToNewFolder(QTest::currentDataTag());
        const QString db = folder + "/sarvek.db", journal = folder + "/sarvek.pending.json";
        {
            LogCapture quiet; // the start's routine lines
            StrategySqlite start;
        }
        QVERIFY(damage.isEmpty() || execSql(db, damage));
        const bool locks = table == "strategyfileinfo";

        // The rows the table cannot take wait in the journal, with a
        // warning of the category hosts watch; the lock is refused.
        const ProcessResult run = runHelper(home, "damagedrows", damage.isEmpty() ? QStringList{folder, table} : QStringList{folder});
        QVERIFY2(!run.crashed && run.exitCode == 0, qPrintable(run.describe()));
        // The times of an instance the view shows wait with its row.
        const bool timed = aside == "view" && table == "instance_info";
        // Times of an instance the plug-in does not know (the table gone) are refused.
        const bool unknown = table == "instance_info" && (aside == "index" || aside.isEmpty());
        QCOMPARE(run.outText(), QString("lock %1\ntimes %2\n").arg(locks ? 0 : 1).arg(unknown ? 0 : 1));
        const QString warning = QString("the table %1 of sarvek.db cannot take ").arg(table);
        QVERIFY2(run.errText().contains(warning) && run.errText().contains(fault), qPrintable(run.describe()));
        if (!locks) {
            QVERIFY2(run.errText().contains("strategylogic.unsaved: "), qPrintable(run.describe()));
            const QJsonObject kept = QJsonDocument::fromJson(readFile(journal)).object();
            QVERIFY2(kept.value("reason").toString().contains(table), readFile(journal).constData());
            QStringList ids;
            for (const QJsonValue &row : kept.value(table).toArray())
                ids.append(row.toObject().value("instance_id").toString());
            QCOMPARE(ids, timed ? (QStringList{"66", "77"}) : QStringList{"77"});
        }

        // doctor names the table; --fix rebuilds it, keeping the damaged
        // object aside, with a backup of the database.
        const ProcessResult doctor = runStrategyctlIn(home, folder, {"--json", "doctor"});
        QCOMPARE(tableFindings(jsonOf(doctor), table), QStringList{finding});
        CHECK_EXIT(doctor, finding.endsWith(":error") ? 1 : 0);
        const ProcessResult fix = runStrategyctlIn(home, folder, {"--json", "doctor", "--fix"});
        CHECK_EXIT(fix, 0);
        QCOMPARE(tableFindings(jsonOf(fix), table), QStringList());
        const QJsonArray fixed = jsonOf(fix).value("fixed").toArray();
        QCOMPARE(fixed.size(), 1);
        QCOMPARE(fixed.first().toObject().value("id").toString(), finding.section(':', 0, 0));
        QVERIFY(QFileInfo::exists(fixed.first().toObject().value("backup").toString()));
        const Rows asideObjects = querySql(db, QString("select type, name from sqlite_master where name like '%1_damaged_%'").arg(table));
        if (aside.isEmpty()) {
            QCOMPARE(asideObjects, Rows());
        } else {
            QCOMPARE(asideObjects.size(), 1);
            QCOMPARE(asideObjects.first().value(0), aside);
            QVERIFY2(QRegularExpression(QString("^%1_damaged_\\d{8}_\\d{6}$").arg(table)).match(asideObjects.first().value(1)).hasMatch(),
                     qPrintable(asideObjects.first().value(1)));
            QVERIFY(fixed.first().toObject().value("action").toString().contains(asideObjects.first().value(1)));
        }
        QStringList columns;
        for (const QStringList &c : querySql(db, QString("select name from pragma_table_info('%1')").arg(table)))
            columns.append(c.value(0));
        QCOMPARE(columns, schemaColumns(table));

        // The next start writes the journal into the rebuilt table, beside
        // the rows of the damaged object that fit.
        if (locks)
            CHECK_EXIT(runStrategyctlIn(home, folder, {"lock", "on", "D:/s/a.py"}), 0);
        else
            CHECK_EXIT(runStrategyctlIn(home, folder, {"instance", "list"}), 0);
        QVERIFY(!QFileInfo::exists(journal));
        const QString key = table == "backtest_daycash" ? "instance_id || '|' || date" : locks ? "file_path" : "instance_id";
        QStringList keys;
        for (const QStringList &r : querySql(db, QString("select %1 from %2 order by 1").arg(key, table)))
            keys.append(r.value(0));
        QStringList expected = copied.isEmpty() ? QStringList() : QStringList{copied};
        expected.append(table == "backtest_daycash" ? "77|20261201" : locks ? "D:/s/a.py" : "77");
        std::sort(expected.begin(), expected.end());
        QCOMPARE(keys, expected);
        if (table == "instance_info")
            QCOMPARE(querySql(db, "select run_mode, fund_account, return_reginfo from instance_info where instance_id='77'"),
                     (Rows{{"1", "880001", "ok"}}));
        if (timed)
            QCOMPARE(querySql(db, "select run_mode, start_time, end_time from instance_info where instance_id='66'"),
                     (Rows{{"2", "1796117400000", "1796137200000"}}));
        if (table == "backtest_daycash")
            QCOMPARE(querySql(db, "select initial_funds, end_funds from backtest_daycash where instance_id='77'"),
                     (Rows{{"100", "105.5"}}));
    }

    // strategyctl tells of rows a damaged table did not take: exit 3 and
    // the warning, the shell's answers having been ok.
    void strategyctlExitsThreeForADamagedTable()
    {
        const QString folder = home.switchToNewFolder("strategyctl shell");
        {
            LogCapture quiet;
            StrategySqlite start;
        }
        QVERIFY(execSql(folder + "/sarvek.db", "drop table instance_info; create view instance_info as select 1 as instance_id"));
        const ProcessResult shell = runStrategyctlIn(home, folder, {"shell"}, "instance add 77 1\ncash day 77 2026-12-01 5 6\n");
        CHECK_EXIT(shell, 3);
        QCOMPARE(shell.outText().count("ok\n"), 2);
        QVERIFY2(shell.errText().contains("not everything could be stored")
                     && shell.errText().contains("the table instance_info of sarvek.db cannot take rows (a view stands in its place")
                     && shell.errText().contains("sarvek.pending.json"),
                 qPrintable(shell.describe()));
        // The day's row went to its sound table; the instance waits.
        QCOMPARE(querySql(folder + "/sarvek.db", "select instance_id, date from backtest_daycash"), (Rows{{"77", "20261201"}}));
        QCOMPARE(QJsonDocument::fromJson(readFile(folder + "/sarvek.pending.json")).object().value("instance_info").toArray().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDamagedTables)
#include "tst_damagedtables.moc"
