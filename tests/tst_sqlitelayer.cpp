#include "testsupport.h"

#include <zqmemsqlitemgr.h>

#include <QtTest>

#include <future>
#include <memory>

#include <sqlite3.h>

namespace {
// Runs a change, or a query that must give no rows when it fails; returns err.
int exec(ZqMemSqliteMgr &db, const QString &sql)
{
    int err = 0;
    if (!sql.startsWith(QLatin1String("SELECT")))
        db.execDML(sql.toUtf8().constData(), err);
    else if (!db.execQuery(sql.toUtf8().constData(), err).eof() && err != 0)
        return -1;
    return err;
}
} // namespace

class TestSqliteLayer : public QObject
{
    Q_OBJECT

    TestHome m_home;
    ZqMemSqliteMgr m_db;

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY(writeFile(m_home.filePath(QStringLiteral("notes.db")), QByteArray("not a database\n").repeated(60)));
        m_db.setDbFilePath(m_home.filePath(QStringLiteral("layer.db")).toUtf8().constData());
        // The second row holds the smallest integer, whose abs() fails.
        QCOMPARE(exec(m_db, QStringLiteral("CREATE TABLE uniq(k UNIQUE); INSERT INTO uniq VALUES(1), (-1 << 63)")), 0);
    }

    // Another program's database, named in Chinese: never created, written or switched out of its journal mode,
    // found once it exists; NULL reads as nullptr, empty text as "", and the rows outlive the manager.
    void readOnlyOpening()
    {
        const QString file = m_home.filePath(QStringLiteral("模拟交易.db"));
        auto db = std::make_unique<ZqMemSqliteMgr>();
        db->setDbFilePathReadOnly(file.toUtf8().constData());
        QVERIFY(exec(*db, QStringLiteral("CREATE TABLE 策略(名称)")) != 0 && !QFileInfo::exists(file));
        QVERIFY(execSql(file, QStringLiteral("PRAGMA journal_mode=WAL; CREATE TABLE 策略(名称, 备注, 作者);"
                                             "INSERT INTO 策略 VALUES('双均线', NULL, '')")));
        QVERIFY(exec(*db, QStringLiteral("INSERT INTO 策略 VALUES('网格', NULL, NULL)")) != 0);
        int err = 0;
        CppSQLite3Query q = db->execQuery("SELECT * FROM 策略", err);
        db.reset();
        QCOMPARE(QString::fromUtf8(q.fieldValue(0)), QStringLiteral("双均线"));
        QVERIFY(q.fieldValue(1) == nullptr && q.fieldValue(3) == nullptr);
        QCOMPARE(q.fieldValue(2), "");
        q.nextRow();
        QVERIFY(q.eof() && q.fieldValue(0) == nullptr);
        QCOMPARE(querySql(file, QStringLiteral("PRAGMA journal_mode")), QList<QStringList>{{QStringLiteral("wal")}});
    }

    void failingStatement_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("code"); // 0: the path is no database, every statement fails
        QTest::newRow("change breaking uniqueness") << "layer.db" << "INSERT INTO uniq VALUES(1)" << SQLITE_CONSTRAINT;
        QTest::newRow("query of a missing table") << "layer.db" << "SELECT * FROM nosuch" << SQLITE_ERROR;
        QTest::newRow("query failing after its first row")
            << "layer.db" << "SELECT abs(k) FROM uniq ORDER BY rowid" << SQLITE_ERROR;
        QTest::newRow("query at a directory") << "." << "SELECT 1" << 0; // the installation folder itself
        QTest::newRow("change in a file that is not a database") << "notes.db" << "CREATE TABLE t(v)" << 0;
    }

    // A failing statement sets err and gives an empty query; a path that is not a database is never opened.
    void failingStatement()
    {
        QFETCH(QString, file);
        QFETCH(QString, sql);
        QFETCH(int, code);
        ZqMemSqliteMgr db;
        db.setDbFilePath(m_home.filePath(file).toUtf8().constData());
        QCOMPARE(db.getConn().isOpen(), code != 0);
        const int err = exec(db, sql);
        QVERIFY2(code == 0 ? err != 0 : err == code, qPrintable(QString::number(err)));
        QCOMPARE(db.transaction() == 0 && db.rollback() == 0, code != 0);
        // Neither the statement nor transaction() kept the manager locked against other threads.
        std::async(std::launch::async, [&db] { db.tableExists("uniq"); }).wait();
    }

    void fileLockedByAnotherProcessAnswersBusy()
    {
        QProcess locker;
        locker.start(helperPath(QStringLiteral("dblocker")), QStringList{m_home.filePath(QStringLiteral("layer.db"))});
        QVERIFY2(locker.waitForReadyRead(30000), locker.readAllStandardError().constData());
        QCOMPARE(locker.readAll(), QByteArray("locked\n"));
        // Callers retry on 5, so the manager answers it instead of hanging, here one opened while the file is locked;
        // it works again once the lock is gone.
        ZqMemSqliteMgr db;
        db.setDbFilePath(m_home.filePath(QStringLiteral("layer.db")).toUtf8().constData());
        QCOMPARE(exec(db, QStringLiteral("SELECT k FROM uniq")), SQLITE_BUSY);
        QCOMPARE(exec(db, QStringLiteral("INSERT INTO uniq VALUES(2)")), SQLITE_BUSY);
        locker.write("\n");
        QVERIFY(locker.waitForFinished(30000));
        QCOMPARE(exec(db, QStringLiteral("INSERT INTO uniq VALUES(2)")), 0);
    }

    void statementsFromManyThreads()
    {
        QCOMPARE(exec(m_db, QStringLiteral("PRAGMA synchronous=OFF; CREATE TABLE threads(t INTEGER)")), 0);
        std::vector<std::future<int>> threads; // each gives its number of failures
        for (int t = 0; t < 4; ++t)
            threads.push_back(std::async(std::launch::async, [this, t] {
                int failures = 0;
                for (int n = 1; n <= 200; ++n) {
                    int err = exec(m_db, QStringLiteral("INSERT INTO threads VALUES(%1)").arg(t));
                    const QByteArray sql = QStringLiteral("SELECT count(*) FROM threads WHERE t = %1").arg(t).toUtf8();
                    const CppSQLite3Query count = m_db.execQuery(sql.constData(), err);
                    failures += err != 0 || QByteArray(count.fieldValue(0)) != QByteArray::number(n);
                }
                return failures;
            }));
        for (auto &thread : threads)
            QCOMPARE(thread.get(), 0);
    }

    void transactionBelongsToItsThread_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("insert waits and survives the rollback") << "insert";
        QTest::newRow("commit without a transaction fails") << "commit";
        QTest::newRow("rollback without a transaction fails") << "rollback";
    }

    // While this thread holds a transaction, another thread's call waits for the rollback: its insert survives it,
    // its commit or rollback fails. Ending a transaction twice fails too, and no lock is left behind.
    void transactionBelongsToItsThread()
    {
        QFETCH(QString, action);
        const bool insert = action == QLatin1String("insert");
        QCOMPARE(exec(m_db, QStringLiteral("CREATE TABLE IF NOT EXISTS who(name); DELETE FROM who")), 0);
        QVERIFY(m_db.transaction() == 0 && exec(m_db, QStringLiteral("INSERT INTO who VALUES('owner')")) == 0);
        QSemaphore trying;
        auto other = std::async(std::launch::async, [&] {
            trying.release();
            return insert ? exec(m_db, QStringLiteral("INSERT INTO who VALUES('other')"))
                          : action == QLatin1String("commit") ? m_db.commit() : m_db.rollback();
        });
        trying.acquire();
        // Hold the transaction for a thousand turns of the scheduler, giving the other thread every chance to slip in.
        for (int i = 0; i < 1000; ++i)
            QThread::yieldCurrentThread();
        const bool slippedIn = other.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
        QCOMPARE(m_db.rollback(), 0);
        QVERIFY2(!slippedIn, "another thread's call ran inside the transaction");
        QCOMPARE(other.get() == 0, insert);
        QVERIFY(m_db.commit() != 0 && m_db.rollback() != 0);
        QCOMPARE(querySql(m_home.filePath(QStringLiteral("layer.db")), QStringLiteral("SELECT name FROM who")),
                 insert ? QList<QStringList>{{QStringLiteral("other")}} : QList<QStringList>());
        std::async(std::launch::async, [this] { m_db.tableExists("who"); }).wait(); // hangs on a lock left behind
    }
};

QTEST_GUILESS_MAIN(TestSqliteLayer)
#include "tst_sqlitelayer.moc"
