// StrategySqlite as a whole object: what its construction leaves in the
// installation folder (tables, column migrations, purge of earlier days,
// the move of the legacy fixedstrategyinfo table into data files) and how
// it behaves when the database cannot be opened.

#include "testsupport.h"

#include "storage/fixedstrategyfile.h"
#include "storage/strategysqlite.h"

#include <interprocidservice.h>

#include <QtTest>

class TestStore : public QObject
{
    Q_OBJECT

    TestHome home;
    QString db() const { return home.filePath(QStringLiteral("sarvek.db")); }
    // The first field of a query's first row, read outside the store.
    QString query(const QString &sql) const { return querySql(db(), sql).value(0).value(0); }
    // "user:id|name|path|group|extra|copy" for each line of each user's data file.
    QStringList dataFiles() const
    {
        QStringList lines;
        for (const QString &user : QDir(home.filePath("work")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString file = QString::fromUtf8(readFile(FixedStrategyFile::path(home.path(), user)));
            for (const QString &line : file.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
                lines.append(user + ":" + QString(line).replace(",%&", "|"));
        }
        return lines;
    }

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    // Every case in a folder of its own, below a non-ASCII installation
    // path as some users have, with an id counter that starts at 1.
    void init()
    {
        home.switchToNewFolder(QStringLiteral("安装 目录-é/") + QTest::currentTestFunction() + QTest::currentDataTag());
        InterProcIdService::instance().setStorageDirectory(home.filePath("ids"));
    }

    // The lines a start logs about its tables, with their levels: a column
    // a current table already has is an expected failure of its ALTER,
    // traced at debug level only; one an older table gains, or still lacks
    // because the ALTER could not run, is logged at info level.
    void startCreatesTablesAndColumns_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("busy"); // another program holds the database while the start runs
        QTest::addColumn<QStringList>("columns"); // of instance_info after the start
        QTest::addColumn<QStringList>("lines");   // "<level> <text>"

        const QString older = "create table instance_info(instance_id primary key, run_mode);"
                              "insert into instance_info values('old-1', '2');";
        const QStringList all{"instance_id", "run_mode", "fund_account", "return_reginfo", "create_date",
                              "start_time", "end_time"};
        auto columnLines = [](const char *level, const char *outcome) {
            QStringList lines;
            for (const char *column : {"fund_account", "return_reginfo", "create_date"})
                lines.append(QStringLiteral("%1 %2 column added%3").arg(level, column, outcome));
            return lines;
        };
        QTest::newRow("first start: the columns are there")
            << QString() << false << all
            << QStringList{"info Table created!", "info Table created!"} + columnLines("debug", " failed!")
                   + QStringList{"info backtest_daycash Table created!"};
        QTest::newRow("older instance_info gains its columns")
            << older << false << all
            << QStringList{"info Table created!", "info Table created!"} + columnLines("info", "!")
                   + QStringList{"info backtest_daycash Table created!"};
        QTest::newRow("older instance_info, the columns cannot be added")
            << older << true << QStringList{"instance_id", "run_mode"}
            << QStringList{"info Error: Fail to create table strategyfileinfo. 5", "info Table created!"}
                   + columnLines("info", " failed!")
                   + QStringList{"info Error: Fail to create table backtest_daycash. 5"};
    }

    void startCreatesTablesAndColumns()
    {
        QFETCH(QString, before);
        QFETCH(bool, busy);
        QFETCH(QStringList, columns);
        QFETCH(QStringList, lines);
        QVERIFY(before.isEmpty() || execSql(db(), before));
        QProcess locker;
        if (busy) {
            // Reads go on; writes wait out the busy timeout and fail.
            locker.start(helperPath("dblocker"), {db(), "immediate"});
            QVERIFY(locker.waitForReadyRead(20000) && locker.readLine() == "locked\n");
        }
        QLoggingCategory::setFilterRules(QStringLiteral("strategylogic.debug=true"));
        const auto quiet = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        LogCapture log;
        StrategySqlite store;
        QStringList logged;
        for (const LogCapture::Entry &entry : log.entries()) {
            if (entry.text.contains(QRegularExpression("Table created!|create table|column added")))
                logged.append((entry.type == QtDebugMsg ? "debug " : entry.type == QtInfoMsg ? "info " : "other ")
                              + entry.text);
        }
        QCOMPARE(logged, lines);
        QCOMPARE(query("select group_concat(name, ' ') from pragma_table_info('instance_info')"), columns.join(' '));
        if (busy) {
            locker.closeWriteChannel();
            QVERIFY(locker.waitForFinished(20000));
            return;
        }
        QCOMPARE(
            query("select group_concat(name, ' ') from (select name from sqlite_master where type='table' order by 1)"),
            QString("backtest_daycash instance_info strategyfileinfo"));
        // Rows of an older table have no creation day and are never purged.
        int err = 0;
        const QList<InstanceInfo> found = store.queryAllInstaceRunMode(err);
        QVERIFY(err == 0 && found == (before.isEmpty() ? QList<InstanceInfo>{} : QList<InstanceInfo>{{"old-1", 2, {}, {}, {}, {}}}));
    }

    void purgeRemovesEarlierDays()
    {
        { StrategySqlite first; } // creates the tables
        const QString today = QDate::currentDate().toString("yyyyMMdd");
        // Compared as texts: an empty text, a blank or a sign sorts before
        // the digits, letters and a longer text of today's digits after them.
        const QString rows = QStringLiteral("('20200101', 20200101), ('%1', %1), ('%2', %2), ('NULL', NULL), "
                                            "('empty', ''), ('blank', ' 9'), ('sign', '-1'), ('letters', 'abc'), "
                                            "('longer', '%2' || '0'), ('blob', x'00'), ('real', 1.5), "
                                            "('tomorrow', %3)")
                                 .arg(QDate::currentDate().addDays(-1).toString("yyyyMMdd"), today,
                                      QDate::currentDate().addDays(1).toString("yyyyMMdd"));
        QVERIFY(execSql(db(), "insert into instance_info(instance_id, create_date) values " + rows + ";"
                              "insert into backtest_daycash(instance_id, create_date) values " + rows));
        StrategySqlite store;
        if (QDate::currentDate().toString("yyyyMMdd") != today)
            QSKIP("the day changed while the test ran");
        QCOMPARE(query("select group_concat(instance_id) from (select instance_id from instance_info order by rowid)"),
                 QString(today + ",NULL,letters,longer,blob,tomorrow"));
        QCOMPARE(query("select group_concat(instance_id) from (select instance_id from backtest_daycash order by rowid)"),
                 QString(today + ",NULL,letters,longer,blob,tomorrow"));
    }

    // Something that is not a database in its place: kept aside, and the
    // store starts on a new, empty database.
    void notADatabaseIsSetAside_data()
    {
        QTest::addColumn<QByteArray>("content"); // empty: a folder
        QTest::newRow("folder") << QByteArray();
        QTest::newRow("random bytes") << QByteArray(4096, '\x5a');
        QTest::newRow("text file") << QByteArray("instance_info 1024 2\n");
    }
    void notADatabaseIsSetAside()
    {
        QFETCH(QByteArray, content);
        QVERIFY(content.isEmpty() ? QDir().mkpath(db() + "/inside") : writeFile(db(), content));
        LogCapture log;
        StrategySqlite store;
        QVERIFY(store.isDatabaseOpen() && store.addInstanceRunMode("1024", 2, "F", {}));
        const QStringList aside = QDir(home.path()).entryList({"sarvek.db.unreadable-*"}, QDir::AllEntries);
        QCOMPARE(aside.size(), 1);
        const QString kept = home.filePath(aside.value(0));
        QCOMPARE(content.isEmpty() ? QString::number(QFileInfo(kept + "/inside").isDir()) : QString(readFile(kept)),
                 content.isEmpty() ? "1" : QString(content));
        QVERIFY(log.contains("is not a database", QtCriticalMsg));
    }

    void unopenableDatabase()
    {
        // A path that cannot be created: not the file's fault, nothing moved.
        QVERIFY(QFile::link(home.filePath("missing/sarvek.db"), db()));
        StrategySqlite store;
        QVERIFY(!store.isDatabaseOpen());
        QVERIFY(!store.addStrategyFileInfo("D:/a.py") && !store.delStrategyFileInfo("D:/a.py"));
        QVERIFY(!store.addInstanceRunMode("i", 1, "F", {}) && !store.addBackTestDayCash("i", QDate(2024, 1, 5), 1, 2));
        int err[3] = {};
        QVERIFY(store.queryStrategyFileInfo(err[0]).isEmpty() && store.queryAllInstaceRunMode(err[1]).isEmpty()
                && store.queryALLBackTestDateCash(err[2]).isEmpty());
        QVERIFY(err[0] != 0 && err[1] != 0 && err[2] != 0);
        // The fixed-strategy store does not depend on the database.
        store.insertStrategyInfo("甲", "D:/s/a.py", "默认分组", QString(), 0);
        store.writeFixedStrategyInfoToFile("Demo01");
        QCOMPARE(dataFiles(), QStringList{"demo01:1|甲|D:/s/a.py|默认分组||0"});
        QVERIFY(QFileInfo(db()).isSymLink() && QDir(home.path()).entryList({"*unreadable*"}).isEmpty());
    }

    void lockStatementsDoubleApostrophes()
    {
        const QString path = "D:/it's/''/x');drop table strategyfileinfo;--.py";
        StrategySqlite store;
        // "C:/..." comes first both in the order of insertion and of the key.
        QVERIFY(store.addStrategyFileInfo("C:/other.py") && store.addStrategyFileInfo(path));
        int err = 0;
        QCOMPARE(store.queryStrategyFileInfo(err), (QStringList{"C:/other.py", path}));
        QVERIFY(store.delStrategyFileInfo(path));
        QCOMPARE(store.queryStrategyFileInfo(err), QStringList{"C:/other.py"});
    }

    void migrationMovesLegacyRowsOnce_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("existing"); // demo01's data file before
        QTest::addColumn<QString>("blocker");     // what keeps the data file of "blocked" from being written
        QTest::addColumn<QStringList>("expected");
        // Fresh ids in row order, above those already in the files; the lines
        // already in a file stay first.
        QTest::newRow("two users, user in upper case, empty group")
            << "insert into fixedstrategyinfo values (1001, '甲', 'D:/s/a.py', 'Demo01', '组A', 'x1'),"
               "(1002, 'it''s', 'D:/s/b.py', 'other', 'G', ''), (1003, '乙', 'D:/s/c.py', 'demo01', '', ' blank ');"
            << QByteArray("500,%&old,%&D:/s/old.py,%&默认分组,%&,%&0\n") << QString()
            << QStringList{"demo01:500|old|D:/s/old.py|默认分组||0", "demo01:501|甲|D:/s/a.py|组A|x1|0",
                           "demo01:503|乙|D:/s/c.py|默认分组| blank |0", "other:502|it's|D:/s/b.py|G||0"};
        // A start gave every row but one its id and wrote demo01's file, then
        // ended before it removed the rows or wrote the file of "other".
        QTest::newRow("interrupted migration")
            << "alter table fixedstrategyinfo add column migrated_id INTEGER; insert into fixedstrategyinfo values"
               "(1, 'a', 'D:/a.py', 'demo01', 'G', '', 700), (2, 'c', 'D:/c.py', 'other', 'G', '', 702),"
               "(3, 'd', 'D:/d.py', 'demo01', 'G', '', NULL);"
            << QByteArray("700,%&a,%&D:/a.py,%&G,%&,%&0\n") << QString()
            << QStringList{"demo01:700|a|D:/a.py|G||0", "demo01:701|d|D:/d.py|G||0", "other:702|c|D:/c.py|G||0"};
        // The data file came from another machine: its ids are above what this
        // machine's sequence gave, and a legacy row must not get one of them.
        QTest::newRow("ids of the data file not yet drawn here")
            << "insert into fixedstrategyinfo values (9, 'legacy', 'D:/l.py', 'demo01', 'G', '');"
            << QByteArray("1,%&mine,%&D:/m.py,%&G,%&,%&0\n") << QString()
            << QStringList{"demo01:1|mine|D:/m.py|G||0", "demo01:2|legacy|D:/l.py|G||0"};
        const QString rows = "insert into fixedstrategyinfo values (1, 'a', 'D:/a.py', 'demo01', 'G', ''),"
                             "(2, 'b', 'D:/b.py', 'blocked', 'G', '');";
        const QStringList expected{"blocked:2|b|D:/b.py|G||0", "demo01:1|a|D:/a.py|G||0"};
        QTest::newRow("user folder is a regular file") << rows << QByteArray() << "work/blocked" << expected;
        QTest::newRow("data file is a directory")
            << rows << QByteArray() << "work/blocked/SarvekFixStrategy.dat/x" << expected;
    }

    // A user whose data file cannot be written keeps the rows, with the ids
    // they were given, until a later start can write it; no start moves a
    // row twice.
    void migrationMovesLegacyRowsOnce()
    {
        QFETCH(QString, rows);
        QFETCH(QByteArray, existing);
        QFETCH(QString, blocker);
        QFETCH(QStringList, expected);
        QVERIFY(execSql(db(), "create table fixedstrategyinfo(id integer primary key, name, file_path, user_folder, "
                              "group_name, extra_info);" + rows));
        QVERIFY(existing.isEmpty() || writeFile(FixedStrategyFile::path(home.path(), "demo01"), existing));
        QVERIFY(blocker.isEmpty() || writeFile(home.filePath(blocker), "precious"));
        { StrategySqlite first; }
        QCOMPARE(dataFiles(), expected.filter(QRegularExpression(blocker.isEmpty() ? "" : "^(?!blocked:)")));
        const QString blocked = home.filePath("work/blocked");
        QVERIFY(blocker.isEmpty() || QFile::remove(blocked) || QDir(blocked).removeRecursively());
        StrategySqlite store;
        QCOMPARE(query("select count(*) from sqlite_master where name='fixedstrategyinfo'"), QString("0"));
        QCOMPARE(dataFiles(), expected);
    }

    // A row that cannot be written as it is (a text the data file cannot
    // hold, a user that names no folder below work/) stays in the table,
    // whole; the table stays with it.
    void legacyRowsThatCannotBeStoredStay()
    {
        QVERIFY(execSql(db(), "create table fixedstrategyinfo(id integer primary key, name, file_path, user_folder, "
                              "group_name, extra_info); insert into fixedstrategyinfo values"
                              "(1, 'a,%&b', 'D:/a.py', 'demo01', 'G', ''), (2, 'lf', 'D:/b.py', 'demo01', 'G', 'x' || char(10)),"
                              "(3, 'up', 'D:/c.py', '../x', 'G', ''), (4, 'none', 'D:/d.py', NULL, 'G', ''),"
                              "(5, 'good', 'D:/e.py', 'demo01', 'G', '');"));
        for (int start = 0; start < 2; ++start) {
            StrategySqlite store;
            QCOMPARE(dataFiles(), QStringList{"demo01:5|good|D:/e.py|G||0"}); // every row was given its id first
            QCOMPARE(query("select group_concat(name, '|') from fixedstrategyinfo"), QString("a,%&b|lf|up|none"));
        }
        QVERIFY(!QFileInfo::exists(home.filePath("x")) && !QFileInfo::exists(home.filePath("work/SarvekFixStrategy.dat")));
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
