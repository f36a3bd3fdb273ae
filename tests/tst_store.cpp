// StrategySqlite as a whole object: what its construction leaves in the
// installation folder (tables, column migrations, purge of earlier days,
// the move of the legacy fixedstrategyinfo table into data files) and how
// it behaves when the database cannot be opened.

#include "testsupport.h"

#include "registry/fixedstrategyfile.h"
#include "storage/strategysqlite.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QtTest>

namespace {
const QString LegacyTable = QStringLiteral(
    "create table fixedstrategyinfo(id integer primary key, name varchar(255), file_path varchar(255), "
    "user_folder varchar(255), group_name varchar(255), extra_info varchar(255));");

QStringList column(const QList<QStringList> &rows, int index = 0)
{
    QStringList values;
    for (const QStringList &row : rows)
        values.append(row.value(index));
    return values;
}

QStringList tables(const QString &db)
{
    return column(querySql(db, QStringLiteral("select name from sqlite_master where type='table' order by name")));
}

QStringList columns(const QString &db, const QString &table)
{
    return column(querySql(db, QStringLiteral("pragma table_info(%1)").arg(table)), 1);
}

QList<FixedStrategyInfo> dataFile(const QString &user)
{
    return FixedStrategyFile::parse(readFile(FixedStrategyFile::path(QDir::currentPath(), user)));
}

QStringList names(const QList<FixedStrategyInfo> &records)
{
    QStringList list;
    for (const FixedStrategyInfo &info : records)
        list.append(info.name);
    return list;
}
} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    void firstStartCreatesTables();
    void olderInstanceTableGainsColumns();
    void purgeRemovesEarlierDays();
    void unopenableDatabase();
    void nonAsciiInstallationFolder();
    void lockStatements_data();
    void lockStatements();
    void migrationMovesLegacyRows();
    void interruptedMigrationAddsNoDuplicates();
    void unwritableUserKeepsLegacyRows_data();
    void unwritableUserKeepsLegacyRows();

private:
    QString db() const { return home.filePath(QStringLiteral("sarvek.db")); }
    TestHome home;
    int m_folder = 0;
};

void TestStore::firstStartCreatesTables()
{
    home.switchToNewFolder(QStringLiteral("first-start"));
    LogCapture log;
    {
        StrategySqlite store;
        QVERIFY(store.isDatabaseOpen());
        QCOMPARE(store.databasePath(), db());
    }
    QCOMPARE(tables(db()), (QStringList{"backtest_daycash", "instance_info", "strategyfileinfo"}));
    QCOMPARE(columns(db(), "instance_info"), (QStringList{"instance_id", "run_mode", "fund_account", "return_reginfo",
                                                         "create_date", "start_time", "end_time"}));
    const QStringList texts = log.texts();
    QCOMPARE(texts.count(QStringLiteral("Table created!")), 2);
    QCOMPARE(texts.count(QStringLiteral("backtest_daycash Table created!")), 1);
    for (const char *name : {"fund_account", "return_reginfo", "create_date"}) {
        QCOMPARE(texts.count(QString::fromLatin1(name) + QLatin1String(" column added failed!")), 1);
        QCOMPARE(texts.count(QString::fromLatin1(name) + QLatin1String(" column added!")), 0);
    }
    QVERIFY(!log.contains(QStringLiteral("Error:")));
}

void TestStore::olderInstanceTableGainsColumns()
{
    home.switchToNewFolder(QStringLiteral("older-instance-table"));
    QVERIFY(execSql(db(), "create table instance_info(instance_id varchar(120) primary key, run_mode varchar(4));"
                          "insert into instance_info values('old-1', '2');"));
    LogCapture log;
    StrategySqlite store;
    QCOMPARE(columns(db(), "instance_info"), (QStringList{"instance_id", "run_mode", "fund_account", "return_reginfo",
                                                         "create_date", "start_time", "end_time"}));
    for (const char *name : {"fund_account", "return_reginfo", "create_date"})
        QVERIFY(log.texts().contains(QString::fromLatin1(name) + QLatin1String(" column added!")));
    // Rows of the older table have no creation day and are never purged.
    QCOMPARE(querySql(db(), "select * from instance_info"),
             (QList<QStringList>{{"old-1", "2", "NULL", "NULL", "NULL", "NULL", "NULL"}}));
    int err = 0;
    const QList<InstanceInfo> instances = store.queryAllInstaceRunMode(err);
    QCOMPARE(err, 0);
    QCOMPARE(instances.size(), 1);
    QCOMPARE(instances.first().instanceId, QStringLiteral("old-1"));
    QCOMPARE(instances.first().runMode, 2);
    QVERIFY(instances.first().startTime.isNull());
    QVERIFY(instances.first().endTime.isNull());
}

void TestStore::purgeRemovesEarlierDays()
{
    home.switchToNewFolder(QStringLiteral("purge"));
    const QDate today = QDate::currentDate();
    auto day = [&](int offset) { return today.addDays(offset).toString(QStringLiteral("yyyyMMdd")); };
    QString sql = QStringLiteral(
        "create table strategyfileinfo(file_path varchar(120) primary key);"
        "create table instance_info(instance_id varchar(120) primary key, run_mode varchar(4), "
        "fund_account varchar(255), return_reginfo varchar(255), create_date varchar(255), "
        "start_time varchar(255), end_time varchar(255));"
        "create table backtest_daycash(instance_id varchar(120), date varchar(255), fund_account varchar(255), "
        "initial_funds varchar(255), end_funds varchar(255), create_date varchar(255), primary key(instance_id, date));"
        "insert into strategyfileinfo values('D:/a.py'),('D:/b.py');");
    const QList<QPair<QString, QString>> rows = {
        {"long-ago", "20200101"}, {"yesterday", day(-1)}, {"today", day(0)}, {"no-date", QString()}};
    for (const auto &row : rows) {
        const QString date = row.second.isEmpty() ? QStringLiteral("NULL") : row.second;
        sql += QStringLiteral("insert into instance_info(instance_id, run_mode, create_date) values('%1', '0', %2);"
                              "insert into backtest_daycash(instance_id, date, initial_funds, end_funds, create_date) "
                              "values('%1', '20240105', '1', '2', %2);")
                   .arg(row.first, date);
    }
    QVERIFY(execSql(db(), sql));

    StrategySqlite store;
    if (QDate::currentDate() != today)
        QSKIP("the day changed while the test ran");
    const QStringList kept{"no-date", "today"};
    QCOMPARE(column(querySql(db(), "select instance_id from instance_info order by instance_id")), kept);
    QCOMPARE(column(querySql(db(), "select instance_id from backtest_daycash order by instance_id")), kept);
    QCOMPARE(column(querySql(db(), "select file_path from strategyfileinfo order by file_path")),
             (QStringList{"D:/a.py", "D:/b.py"}));
}

void TestStore::unopenableDatabase()
{
    home.switchToNewFolder(QStringLiteral("unopenable"));
    QVERIFY(QDir().mkpath(db()));
    LogCapture log;
    StrategySqlite store;
    QVERIFY(!store.isDatabaseOpen());
    QVERIFY(log.contains(QStringLiteral("Error: Failed to connect database.")));
    QVERIFY(!log.contains(QStringLiteral("Table created!")));
    QVERIFY(QFileInfo(db()).isDir());
    QVERIFY(QDir(db()).isEmpty());

    int err = 0;
    QVERIFY(!store.addStrategyFileInfo(QStringLiteral("D:/a.py")));
    QVERIFY(!store.delStrategyFileInfo(QStringLiteral("D:/a.py")));
    QVERIFY(store.queryStrategyFileInfo(err).isEmpty());
    QVERIFY(err != 0);
    QVERIFY(!store.addInstanceRunMode(QStringLiteral("i-1"), 1, QStringLiteral("F1"), QString()));
    err = 0;
    QVERIFY(store.queryAllInstaceRunMode(err).isEmpty());
    QVERIFY(err != 0);
    QVERIFY(!store.addBackTestDayCash(QStringLiteral("i-1"), QDate(2024, 1, 5), 100.0, 101.0));
    err = 0;
    QVERIFY(store.queryALLBackTestDateCash(err).isEmpty());
    QVERIFY(err != 0);

    // The fixed-strategy store does not depend on the database.
    QVERIFY(store.LoadFixedStrategyInfo(QStringLiteral("demo01")).isEmpty());
    const qint64 id = store.insertStrategyInfo("甲", "D:/s/a.py", "默认分组", QString(), 0);
    QVERIFY(id >= 1);
    store.writeFixedStrategyInfoToFile(QStringLiteral("Demo01"));
    const QList<FixedStrategyInfo> written = dataFile(QStringLiteral("demo01"));
    QCOMPARE(written.size(), 1);
    QCOMPARE(written.first().id, id);
}

void TestStore::nonAsciiInstallationFolder()
{
    home.switchToNewFolder(QStringLiteral("安装 目录-é"));
    StrategySqlite store;
    QVERIFY(store.isDatabaseOpen());
    QVERIFY(QFileInfo(db()).isFile());
    QCOMPARE(tables(db()).size(), 3);
    QVERIFY(store.addStrategyFileInfo(QStringLiteral("D:/策略/a.py")));
    QCOMPARE(column(querySql(db(), "select file_path from strategyfileinfo")), QStringList{"D:/策略/a.py"});
    const qint64 id = store.insertStrategyInfo("名字", "D:/策略/a.py", "默认分组", QString(), 0);
    store.writeFixedStrategyInfoToFile(QStringLiteral("demo01"));
    QCOMPARE(dataFile(QStringLiteral("demo01")).value(0).id, id);
}

void TestStore::lockStatements_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("apostrophe") << QStringLiteral("D:/it's/a.py");
    QTest::newRow("statement in a path") << QStringLiteral("D:/x');drop table strategyfileinfo;--/b.py");
    QTest::newRow("doubled apostrophes") << QStringLiteral("D:/''/c.py");
    QTest::newRow("non-ASCII") << QStringLiteral("D:/策略/甲.py");
}

void TestStore::lockStatements()
{
    QFETCH(QString, path);
    home.switchToNewFolder(QStringLiteral("locks-%1").arg(++m_folder));
    StrategySqlite store;
    const QString other = QStringLiteral("D:/other.py");
    QVERIFY(store.addStrategyFileInfo(other));
    QVERIFY(store.addStrategyFileInfo(path));
    QVERIFY(!store.addStrategyFileInfo(path)); // already locked
    int err = 0;
    QStringList locked = store.queryStrategyFileInfo(err);
    locked.sort();
    QCOMPARE(err, 0);
    QStringList expected{other, path};
    expected.sort();
    QCOMPARE(locked, expected);
    QVERIFY(column(querySql(db(), "select file_path from strategyfileinfo")).contains(path));

    QVERIFY(store.delStrategyFileInfo(path));
    QCOMPARE(store.queryStrategyFileInfo(err), QStringList{other});
    QCOMPARE(err, 0);
}

void TestStore::migrationMovesLegacyRows()
{
    home.switchToNewFolder(QStringLiteral("migration"));
    QVERIFY(execSql(db(), LegacyTable
                              + "insert into fixedstrategyinfo values"
                                "(1001, '甲', 'D:/s/a.py', 'Demo01', '组A', 'x1'),"
                                "(1002, 'it''s', 'D:/s/b.py', 'other', 'G', ''),"
                                "(1003, '乙', 'D:/s/c.py', 'demo01', '', ' blank ');"));
    const QByteArray oldLine = "500,%&old,%&D:/s/old.py,%&默认分组,%&,%&0\n";
    QVERIFY(writeFile(FixedStrategyFile::path(home.path(), "demo01"), oldLine));

    LogCapture log;
    StrategySqlite store;
    QVERIFY(!tables(db()).contains(QStringLiteral("fixedstrategyinfo")));
    QVERIFY(!QFileInfo::exists(home.filePath("work/Demo01")));

    const QByteArray demo = readFile(FixedStrategyFile::path(home.path(), "demo01"));
    QVERIFY(demo.startsWith(oldLine));
    const QList<FixedStrategyInfo> mine = FixedStrategyFile::parse(demo);
    QCOMPARE(names(mine), (QStringList{"old", "甲", "乙"}));
    QCOMPARE(mine.at(1).filePath, QStringLiteral("D:/s/a.py"));
    QCOMPARE(mine.at(1).group, QStringLiteral("组A"));
    QCOMPARE(mine.at(1).extraInfo, QStringLiteral("x1"));
    QCOMPARE(mine.at(2).group, QStringLiteral("默认分组"));
    QCOMPARE(mine.at(2).extraInfo, QStringLiteral(" blank "));
    const QList<FixedStrategyInfo> others = dataFile(QStringLiteral("other"));
    QCOMPARE(names(others), QStringList{"it's"});

    // Fresh ids from the id service, never the legacy table's own.
    QSet<qint64> ids;
    for (const FixedStrategyInfo &info : mine.mid(1) + others) {
        QVERIFY(info.id >= 1 && info.id < 1001);
        QCOMPARE(info.copyIndex, 0);
        ids.insert(info.id);
    }
    QCOMPARE(ids.size(), 3);
    QCOMPARE(store.LoadFixedStrategyInfo(QStringLiteral("demo01")).size(), 3);
}

void TestStore::interruptedMigrationAddsNoDuplicates()
{
    // A previous start gave every row its id and wrote demo01's file, then
    // ended before it removed the rows or wrote the file of "other".
    home.switchToNewFolder(QStringLiteral("migration-interrupted"));
    QVERIFY(execSql(db(), LegacyTable
                              + "alter table fixedstrategyinfo add column migrated_id INTEGER;"
                                "insert into fixedstrategyinfo values"
                                "(1, 'a', 'D:/a.py', 'demo01', 'G', '', 700),"
                                "(2, 'b', 'D:/b.py', 'demo01', 'G', '', 701),"
                                "(3, 'c', 'D:/c.py', 'other', 'G', '', 702),"
                                "(4, 'd', 'D:/d.py', 'demo01', 'G', '', NULL);"));
    QVERIFY(writeFile(FixedStrategyFile::path(home.path(), "demo01"),
                      "700,%&a,%&D:/a.py,%&G,%&,%&0\n701,%&b,%&D:/b.py,%&G,%&,%&0\n"));

    StrategySqlite store;
    QVERIFY(!tables(db()).contains(QStringLiteral("fixedstrategyinfo")));
    const QList<FixedStrategyInfo> mine = dataFile(QStringLiteral("demo01"));
    QCOMPARE(names(mine), (QStringList{"a", "b", "d"}));
    QCOMPARE(mine.at(0).id, qint64(700));
    QCOMPARE(mine.at(1).id, qint64(701));
    QVERIFY(mine.at(2).id >= 1 && mine.at(2).id != 700 && mine.at(2).id != 701);
    const QList<FixedStrategyInfo> others = dataFile(QStringLiteral("other"));
    QCOMPARE(names(others), QStringList{"c"});
    QCOMPARE(others.first().id, qint64(702));
}

void TestStore::unwritableUserKeepsLegacyRows_data()
{
    QTest::addColumn<bool>("folderIsFile");
    QTest::newRow("user folder is a regular file") << true;
    QTest::newRow("data file is a directory") << false;
}

void TestStore::unwritableUserKeepsLegacyRows()
{
    QFETCH(bool, folderIsFile);
    home.switchToNewFolder(QStringLiteral("migration-blocked-%1").arg(++m_folder));
    QVERIFY(execSql(db(), LegacyTable
                              + "insert into fixedstrategyinfo values"
                                "(1, 'a', 'D:/a.py', 'demo01', 'G', ''),"
                                "(2, 'b1', 'D:/b.py', 'blocked', 'G', ''),"
                                "(3, 'b2', 'D:/b.py', 'Blocked', '', 'e');"));
    const QString blocker = folderIsFile ? home.filePath("work/blocked")
                                         : FixedStrategyFile::path(home.path(), "blocked");
    if (folderIsFile)
        QVERIFY(writeFile(blocker, "not a folder"));
    else
        QVERIFY(writeFile(blocker + "/keep.txt", "precious"));

    QList<QStringList> pending;
    QByteArray demo;
    {
        LogCapture log;
        StrategySqlite store;
        QVERIFY(log.contains(QStringLiteral("its legacy rows stay in the database")));
        demo = readFile(FixedStrategyFile::path(home.path(), "demo01"));
        QCOMPARE(names(FixedStrategyFile::parse(demo)), QStringList{"a"});
        pending = querySql(db(), "select name, migrated_id from fixedstrategyinfo order by rowid");
        QCOMPARE(column(pending), (QStringList{"b1", "b2"}));
        for (const QStringList &row : qAsConst(pending))
            QVERIFY2(row.at(1).toLongLong() >= 1, qPrintable(row.at(1)));
    }
    if (!folderIsFile)
        QCOMPARE(readFile(blocker + "/keep.txt"), QByteArray("precious"));

    // Once the folder can be written, the next start finishes the move with
    // the ids given the first time and leaves demo01's file alone.
    QVERIFY(folderIsFile ? QFile::remove(blocker) : QDir(blocker).removeRecursively());
    StrategySqlite store;
    QVERIFY(!tables(db()).contains(QStringLiteral("fixedstrategyinfo")));
    QCOMPARE(readFile(FixedStrategyFile::path(home.path(), "demo01")), demo);
    const QList<FixedStrategyInfo> blocked = dataFile(QStringLiteral("blocked"));
    QCOMPARE(names(blocked), (QStringList{"b1", "b2"}));
    QCOMPARE(QString::number(blocked.at(0).id), pending.at(0).at(1));
    QCOMPARE(QString::number(blocked.at(1).id), pending.at(1).at(1));
    QCOMPARE(blocked.at(1).group, QStringLiteral("默认分组"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
