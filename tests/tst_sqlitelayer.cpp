#include "testsupport.h"

#include <zqmemsqlitemgr.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSemaphore>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <memory>
#include <vector>

#include <sqlite3.h>

namespace {
int exec(ZqMemSqliteMgr &db, const QString &sql)
{
    int err = 0;
    db.execDML(sql.toUtf8().constData(), err);
    return err;
}

// The first column of every row, "NULL" for NULL.
QStringList firstColumn(ZqMemSqliteMgr &db, const QString &sql, int &err)
{
    QStringList values;
    for (CppSQLite3Query q = db.execQuery(sql.toUtf8().constData(), err); !q.eof(); q.nextRow())
        values.append(q.fieldIsNull(0) ? QStringLiteral("NULL") : QString::fromUtf8(q.fieldValue(0)));
    return values;
}

// Runs `work` on a thread of its own; false when it does not come back.
template <typename Work>
bool runOnOtherThread(Work work)
{
    std::unique_ptr<QThread> thread(QThread::create(work));
    thread->start();
    return thread->wait(30000);
}
} // namespace

class TestSqliteLayer : public QObject
{
    Q_OBJECT

    TestHome m_home;
    ZqMemSqliteMgr m_db;

    QByteArray path(const QString &name) const { return m_home.filePath(name).toUtf8(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        m_db.setDbFilePath(path(QStringLiteral("layer.db")).constData());
        QVERIFY(m_db.getConn().isOpen());
        QCOMPARE(exec(m_db, QStringLiteral("CREATE TABLE uniq(k INTEGER PRIMARY KEY); INSERT INTO uniq VALUES(1);"
                                           "CREATE INDEX uniq_idx ON uniq(k); CREATE VIEW uniq_view AS SELECT k FROM uniq")),
                 0);
    }

    void fieldValue_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<bool>("isNull");
        QTest::addColumn<QString>("text");
        QTest::newRow("NULL") << "NULL" << true << QString();
        QTest::newRow("empty text") << "''" << false << QString();
        QTest::newRow("zero") << "0" << false << "0";
        QTest::newRow("real") << "1.5" << false << "1.5";
        QTest::newRow("Chinese text") << QStringLiteral("'双均线 策略'") << false << QStringLiteral("双均线 策略");
    }

    void fieldValue()
    {
        QFETCH(QString, expression);
        QFETCH(bool, isNull);
        QFETCH(QString, text);
        int err = 0;
        CppSQLite3Query q = m_db.execQuery(QStringLiteral("SELECT %1, 'next'").arg(expression).toUtf8().constData(), err);
        QCOMPARE(err, 0);
        QVERIFY(!q.eof());
        QCOMPARE(q.fieldValue(0) == nullptr, isNull);
        if (!isNull)
            QCOMPARE(QString::fromUtf8(q.fieldValue(0)), text);
        QCOMPARE(q.fieldValue(1), "next");
        QVERIFY(q.fieldValue(2) == nullptr);
        q.nextRow();
        QVERIFY(q.eof());
        QVERIFY(q.fieldValue(1) == nullptr);
    }

    void nonAsciiPathIsCreatedAndReopened()
    {
        const QString folder = m_home.filePath(QStringLiteral("数据"));
        QVERIFY(QDir().mkpath(folder));
        const QByteArray file = path(QStringLiteral("数据/库.db"));
        {
            ZqMemSqliteMgr db;
            db.setDbFilePath(file.constData());
            QCOMPARE(exec(db, QStringLiteral("CREATE TABLE 策略(名称 TEXT); INSERT INTO 策略 VALUES('双均线'), ('网格')")), 0);
        }
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("库.db")});

        CppSQLite3Query rows;
        {
            ZqMemSqliteMgr db;
            db.setDbFilePath(file.constData());
            QVERIFY(db.tableExists("策略"));
            int err = 0;
            rows = db.execQuery("SELECT 名称 FROM 策略 ORDER BY rowid", err);
            QCOMPARE(err, 0);
        }
        // The rows were read in full, so they outlive the manager.
        QCOMPARE(QString::fromUtf8(rows.fieldValue(0)), QStringLiteral("双均线"));
        rows.nextRow();
        QCOMPARE(QString::fromUtf8(rows.fieldValue(0)), QStringLiteral("网格"));
        rows.nextRow();
        QVERIFY(rows.eof());
    }

    void failingStatement_data()
    {
        QTest::addColumn<bool>("query");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("code");
        QTest::newRow("change with a syntax error") << false << "INSERT INTO" << SQLITE_ERROR;
        QTest::newRow("change of a missing table") << false << "INSERT INTO nosuch VALUES(1)" << SQLITE_ERROR;
        QTest::newRow("change breaking a constraint") << false << "INSERT INTO uniq VALUES(1)" << SQLITE_CONSTRAINT;
        QTest::newRow("query with a syntax error") << true << "SELEC 1" << SQLITE_ERROR;
        QTest::newRow("query of a missing table") << true << "SELECT * FROM nosuch" << SQLITE_ERROR;
        QTest::newRow("query of a missing column") << true << "SELECT nosuch FROM uniq" << SQLITE_ERROR;
        QTest::newRow("query failing after its first row")
            << true << "SELECT abs(x) FROM (SELECT 1 AS x UNION ALL SELECT -9223372036854775807 - 1)" << SQLITE_ERROR;
    }

    void failingStatement()
    {
        QFETCH(bool, query);
        QFETCH(QString, sql);
        QFETCH(int, code);
        int err = 0;
        if (query)
            QVERIFY(m_db.execQuery(sql.toUtf8().constData(), err).eof());
        else
            m_db.execDML(sql.toUtf8().constData(), err);
        QCOMPARE(err, code);
        err = 0;
        QCOMPARE(firstColumn(m_db, QStringLiteral("SELECT k FROM uniq"), err), QStringList{QStringLiteral("1")});
        QCOMPARE(err, 0);
    }

    void fileLockedByAnotherProcessAnswersBusy()
    {
        const QByteArray file = path(QStringLiteral("busy.db"));
        ZqMemSqliteMgr db;
        db.setDbFilePath(file.constData());
        QCOMPARE(exec(db, QStringLiteral("CREATE TABLE t(v INTEGER); INSERT INTO t VALUES(1)")), 0);

        QProcess locker;
        locker.start(helperPath(QStringLiteral("dblocker")), QStringList{QString::fromUtf8(file)});
        QVERIFY2(locker.waitForStarted(), qPrintable(locker.errorString()));
        while (!locker.canReadLine())
            QVERIFY2(locker.waitForReadyRead(30000), locker.readAllStandardError().constData());
        QCOMPARE(locker.readLine().trimmed(), QByteArray("locked"));

        // A manager opened while the file is locked holds a database all the same.
        ZqMemSqliteMgr late;
        late.setDbFilePath(file.constData());
        QVERIFY(late.getConn().isOpen());
        for (ZqMemSqliteMgr *manager : {&db, &late}) {
            // Callers retry on 5, so the manager must answer it instead of hanging.
            QElapsedTimer timer;
            timer.start();
            int err = 0;
            manager->execDML("INSERT INTO t VALUES(2)", err);
            QCOMPARE(err, SQLITE_BUSY);
            err = 0;
            QVERIFY(manager->execQuery("SELECT v FROM t", err).eof());
            QCOMPARE(err, SQLITE_BUSY);
            QVERIFY2(timer.elapsed() < 50 * ZqMemSqliteMgr::BusyTimeoutMs, qPrintable(QString::number(timer.elapsed())));
        }

        locker.write("\n");
        QVERIFY(locker.waitForFinished(30000));
        QCOMPARE(locker.exitCode(), 0);
        QCOMPARE(exec(db, QStringLiteral("INSERT INTO t VALUES(2)")), 0);
        int err = 0;
        QCOMPARE(firstColumn(late, QStringLiteral("SELECT v FROM t ORDER BY v"), err),
                 (QStringList{QStringLiteral("1"), QStringLiteral("2")}));
        QCOMPARE(err, 0);
    }

    void statementsFromManyThreads()
    {
        ZqMemSqliteMgr db;
        db.setDbFilePath(path(QStringLiteral("threads.db")).constData());
        QCOMPARE(exec(db, QStringLiteral("PRAGMA synchronous=OFF; CREATE TABLE t(thread INTEGER, n INTEGER)")), 0);
        constexpr int Threads = 4;
        constexpr int Rows = 200;
        std::atomic<int> failures{0};
        std::vector<std::unique_ptr<QThread>> threads;
        for (int t = 0; t < Threads; ++t) {
            threads.emplace_back(QThread::create([&db, &failures, t] {
                for (int n = 0; n < Rows; ++n) {
                    int err = exec(db, QStringLiteral("INSERT INTO t VALUES(%1, %2)").arg(t).arg(n));
                    const QStringList count =
                        firstColumn(db, QStringLiteral("SELECT count(*) FROM t WHERE thread = %1").arg(t), err);
                    if (err != 0 || count != QStringList{QString::number(n + 1)})
                        ++failures;
                }
            }));
            threads.back()->start();
        }
        for (auto &thread : threads)
            QVERIFY(thread->wait(60000));
        QCOMPARE(failures.load(), 0);
        QCOMPARE(querySql(m_home.filePath(QStringLiteral("threads.db")),
                          QStringLiteral("SELECT count(DISTINCT thread * 1000 + n) FROM t")),
                 QList<QStringList>{QStringList{QString::number(Threads * Rows)}});
    }

    void anotherThreadWaitsForTransaction_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("insert") << "insert";
        QTest::newRow("commit") << "commit";
        QTest::newRow("rollback") << "rollback";
    }

    // Thread A holds a transaction while thread B acts on the same manager:
    // B waits until A has rolled back; B's insert survives the rollback, and
    // B's commit or rollback, holding no transaction, fails and ends nothing.
    void anotherThreadWaitsForTransaction()
    {
        QFETCH(QString, action);
        const QString file = m_home.filePath(QStringLiteral("transaction-%1.db").arg(action));
        ZqMemSqliteMgr db;
        db.setDbFilePath(file.toUtf8().constData());
        QCOMPARE(exec(db, QStringLiteral("CREATE TABLE t(who TEXT)")), 0);

        QSemaphore aInside, bTrying;
        std::atomic<bool> bDone{false}, aEnding{false};
        int aBegin = -1, aInsert = -1, aRollback = -1, bResult = -1;
        bool bDoneInsideA = true, bSawAEnding = false;
        std::unique_ptr<QThread> a(QThread::create([&] {
            aBegin = db.transaction();
            aInsert = exec(db, QStringLiteral("INSERT INTO t VALUES('a')"));
            aInside.release();
            bTrying.acquire();
            // Keep working inside the transaction to give B every chance to slip in.
            for (int i = 0; i < 500 && !bDone; ++i)
                exec(db, QStringLiteral("UPDATE t SET who = who"));
            bDoneInsideA = bDone;
            aEnding = true;
            aRollback = db.rollback();
        }));
        std::unique_ptr<QThread> b(QThread::create([&] {
            aInside.acquire();
            bTrying.release();
            if (action == QLatin1String("insert"))
                bResult = exec(db, QStringLiteral("INSERT INTO t VALUES('b')"));
            else
                bResult = action == QLatin1String("commit") ? db.commit() : db.rollback();
            bSawAEnding = aEnding;
            bDone = true;
        }));
        a->start();
        b->start();
        QVERIFY(a->wait(30000));
        QVERIFY(b->wait(30000));
        QCOMPARE(aBegin, 0);
        QCOMPARE(aInsert, 0);
        QCOMPARE(aRollback, 0);
        QVERIFY2(!bDoneInsideA && bSawAEnding, "B's call ran inside A's transaction");
        const bool insert = action == QLatin1String("insert");
        QCOMPARE(bResult == 0, insert);
        QCOMPARE(querySql(file, QStringLiteral("SELECT who FROM t")),
                 insert ? QList<QStringList>{QStringList{QStringLiteral("b")}} : QList<QStringList>());
    }

    void endingWithoutTransactionFails()
    {
        QVERIFY(m_db.commit() != 0);
        QVERIFY(m_db.rollback() != 0);
        QCOMPARE(m_db.transaction(), 0);
        QCOMPARE(m_db.commit(), 0);
        QVERIFY(m_db.commit() != 0);
        QVERIFY(m_db.rollback() != 0);
        // Nothing was unlocked twice or left locked: another thread gets through.
        bool exists = false;
        QVERIFY(runOnOtherThread([this, &exists] { exists = m_db.tableExists("uniq"); }));
        QVERIFY(exists);
    }

    void unusablePath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("directory") << "folder.db" << QByteArray();
        QTest::newRow("file that is not a database") << "notes.db" << QByteArray("not a database\n").repeated(60);
        QTest::newRow("missing folder") << "nosuch/missing.db" << QByteArray();
    }

    void unusablePath()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        const QString file = m_home.filePath(name);
        if (QTest::currentDataTag() == QByteArray("directory"))
            QVERIFY(QDir().mkpath(file));
        else if (!content.isEmpty())
            QVERIFY(writeFile(file, content));

        ZqMemSqliteMgr db;
        db.setDbFilePath(file.toUtf8().constData());
        QVERIFY(!db.getConn().isOpen());
        QVERIFY(exec(db, QStringLiteral("CREATE TABLE t(v)")) != 0);
        int err = 0;
        QVERIFY(db.execQuery("SELECT 1", err).eof());
        QVERIFY(err != 0);
        QVERIFY(!db.tableExists("t"));
        QVERIFY(db.transaction() != 0);
        QVERIFY(db.commit() != 0);
        // The failed transaction() left the manager unlocked for other threads.
        QVERIFY(runOnOtherThread([&db] { db.tableExists("t"); }));
        if (!content.isEmpty())
            QCOMPARE(readFile(file), content);
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("-journal")));
    }

    void readOnlyMissingFileIsNotCreated()
    {
        const QString file = m_home.filePath(QStringLiteral("simulated.db"));
        ZqMemSqliteMgr db;
        db.setDbFilePathReadOnly(file.toUtf8().constData());
        int err = 0;
        QVERIFY(db.execQuery("SELECT v FROM t", err).eof());
        QVERIFY(err != 0);
        QVERIFY(exec(db, QStringLiteral("CREATE TABLE t(v TEXT)")) != 0);
        QVERIFY(!QFileInfo::exists(file));

        // The program that owns the file creates it later.
        QVERIFY(execSql(file, QStringLiteral("CREATE TABLE t(v TEXT); INSERT INTO t VALUES('written elsewhere')")));
        err = 0;
        QCOMPARE(firstColumn(db, QStringLiteral("SELECT v FROM t"), err), QStringList{QStringLiteral("written elsewhere")});
        QCOMPARE(err, 0);
        QVERIFY(exec(db, QStringLiteral("INSERT INTO t VALUES('mine')")) != 0);
        QCOMPARE(querySql(file, QStringLiteral("SELECT count(*) FROM t")), QList<QStringList>{QStringList{"1"}});
    }

    void readOnlyKeepsJournalMode()
    {
        const QString file = m_home.filePath(QStringLiteral("wal.db"));
        QVERIFY(execSql(file, QStringLiteral("PRAGMA journal_mode=WAL; CREATE TABLE t(v TEXT); INSERT INTO t VALUES('one')")));
        const QByteArray before = readFile(file);
        {
            ZqMemSqliteMgr db;
            db.setDbFilePathReadOnly(file.toUtf8().constData());
            int err = 0;
            QCOMPARE(firstColumn(db, QStringLiteral("SELECT v FROM t"), err), QStringList{QStringLiteral("one")});
            QCOMPARE(err, 0);
        }
        QCOMPARE(querySql(file, QStringLiteral("PRAGMA journal_mode")), QList<QStringList>{QStringList{"wal"}});
        QCOMPARE(readFile(file), before);
    }

    void tableExists_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("table") << QByteArray("uniq") << true;
        QTest::newRow("missing table") << QByteArray("nosuch") << false;
        QTest::newRow("index") << QByteArray("uniq_idx") << false;
        QTest::newRow("view") << QByteArray("uniq_view") << false;
        QTest::newRow("name with quotes") << QByteArray("x' OR '1'='1") << false;
        QTest::newRow("empty name") << QByteArray("") << false;
    }

    void tableExists()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, exists);
        QCOMPARE(m_db.tableExists(name.constData()), exists);
    }
};

QTEST_GUILESS_MAIN(TestSqliteLayer)
#include "tst_sqlitelayer.moc"
