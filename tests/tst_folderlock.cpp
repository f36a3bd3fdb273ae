// One process per installation folder: the host's folder lock, and the
// plug-in object that a second process of the same folder starts.

#include <StrategyLogic/strategyfilelogichandler.h>

#include "services/strategycompilercommerfuncs.h"
#include "testsupport.h"

#include <zqfolderlock.h>

#include <QtTest>

#include <csignal>

class tst_FolderLock : public QObject
{
    Q_OBJECT

    TestHome home;

    // Starts a folderholder process on `folder` and waits until it holds it.
    bool startHolder(QProcess &holder, const QString &folder)
    {
        holder.start(helperPath("folderholder"), {folder});
        return holder.waitForReadyRead(20000) && holder.readLine() == "held\n";
    }

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }

    void holdsNestWithinOneProcess()
    {
        const QString folder = home.filePath("nested");
        QVERIFY(QDir().mkpath(folder));
        QCOMPARE(ZqFolderLock::acquire(folder), ZqFolderLock::Acquired);
        QCOMPARE(ZqFolderLock::acquire(folder + "/./"), ZqFolderLock::Acquired); // the same folder
        ZqFolderLock::release(folder);
        QVERIFY(ZqFolderLock::isHeld(folder));
        QCOMPARE(runHelper(home, "folderholder", {folder}).outText().left(5), QStringLiteral("busy "));
        ZqFolderLock::release(folder);
        QVERIFY(!ZqFolderLock::isHeld(folder) && ZqFolderLock::holder(folder).pid == 0);
        QCOMPARE(runHelper(home, "folderholder", {folder}).exitCode, 0);
    }

    void otherProcessIsNamedAndItsDeathFreesTheFolder_data()
    {
        QTest::addColumn<bool>("kill");
        QTest::newRow("holder lets go") << false;
        QTest::newRow("holder killed") << true;
    }
    void otherProcessIsNamedAndItsDeathFreesTheFolder()
    {
        QFETCH(bool, kill);
        const QString folder = home.filePath(QStringLiteral("other-%1").arg(kill));
        QVERIFY(QDir().mkpath(folder));
        QProcess holder;
        QVERIFY(startHolder(holder, folder));
        ZqFolderLock::Holder seen;
        QCOMPARE(ZqFolderLock::acquire(folder, &seen), ZqFolderLock::Busy);
        QCOMPARE(seen.pid, holder.processId());
        QCOMPARE(seen.program, QStringLiteral("folderholder"));
        QVERIFY(qAbs(seen.since.secsTo(QDateTime::currentDateTimeUtc())) < 600);
        QCOMPARE(ZqFolderLock::holder(folder).pid, holder.processId());
        QVERIFY(seen.describe().startsWith(QStringLiteral("pid %1 (folderholder on ").arg(holder.processId())));
        if (kill)
            ::kill(pid_t(holder.processId()), SIGKILL); // the system drops the lock: nothing stale is left
        else
            holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(20000));
        QCOMPARE(ZqFolderLock::acquire(folder), ZqFolderLock::Acquired);
        ZqFolderLock::release(folder);
    }

    // A client started while another process holds the folder loads and
    // writes nothing, and refuses every change.
    void refusedPluginChangesNothing()
    {
        const QString folder = home.switchToNewFolder("held");
        QVERIFY(writeFile(folder + "/work/demo01/SarvekFixStrategy.dat", "7,%&a,%&D:/s/a.py,%&默认分组,%&,%&0\n"));
        QProcess holder;
        QVERIFY(startHolder(holder, folder));
        const QMap<QString, QByteArray> before = folderContents(folder);
        StrategyFileLogicHandler plugin;
        LogCapture log;
        plugin.initialize();
        QVERIFY(!plugin.isInitialized() && plugin.thread() == QThread::currentThread());
        QVERIFY(log.contains(QStringLiteral("is in use by pid %1").arg(holder.processId()), QtCriticalMsg));
        QVERIFY(plugin.getFixedStrategyList().isEmpty()); // nothing loaded

        FixedStrategyInfo info;
        info.name = "b";
        const QString refused = QStringLiteral("操作失败：策略插件未初始化！");
        QVERIFY(!plugin.addFixedStrategy("D:/s/b.py", "b", "默认分组", QString(), 1));
        QVERIFY(!plugin.modifyFixedStrategyInfo(7, info) && !plugin.modifyeStrategyFilePath("D:/s/a.py", "D:/s/c.py"));
        QVERIFY(!plugin.delFixedStrategyInfoByID(7) && !plugin.delFixedStrategyInfoByFilePath("D:/s/a.py"));
        QCOMPARE(plugin.addGroup("g"), refused);
        QCOMPARE(plugin.renameGroup("默认分组", "g"), refused);
        QVERIFY(!plugin.deleteGroup("默认分组", true) && !plugin.cleanupGroup("默认分组"));
        QVERIFY(!plugin.regroupAllStrategy("默认分组", "默认分组", false));
        QVERIFY(!plugin.changeFileLockState("D:/s/a.py", true));
        QVERIFY(!plugin.addInstanceRunMode("1", 1, "F", "r") && !plugin.setInstanceStartEndTime("1", {}, {}));
        plugin.setPYInstallPath("/py");
        plugin.addBackTestInitCashInfo("1", QDate(2026, 1, 2), 5);
        plugin.addBackTestInitCashEndInfo("1", QDate(2026, 1, 2), 6);
        plugin.setLastProduct("P9");
        plugin.setLastFundaccount("F9");
        plugin.exit();
        QCOMPARE(log.count("refused: the plug-in is not initialised"), 18);
        // Reading does not write either: the store opens the database read-only.
        QVERIFY(plugin.querySimuEntrust("1").isEmpty() && !plugin.getFileLockState("D:/s/a.py"));
        QCOMPARE(folderContents(folder), before);
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(20000));
    }

    // Once the folder is let go, another process may write it: what this
    // one still has is neither written there nor kept in its journal.
    void writesEndWithTheFolder()
    {
        const QString folder = home.switchToNewFolder("released");
        const auto stored = [&] { return querySql(folder + "/sarvek.db", "select instance_id from instance_info"); };
        StrategyFileLogicHandler plugin;
        plugin.initialize();
        QVERIFY(plugin.isInitialized() && plugin.addInstanceRunMode("1", 1, "F", "r"));
        plugin.exit();
        QCOMPARE(stored(), QList<QStringList>{{"1"}});
        StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
        QVERIFY(service->addInstanceRunMode("late", 1, "F", "r"));
        LogCapture log;
        service->flushPendingData();
        QVERIFY(!service->finish());
        QCOMPARE(stored(), QList<QStringList>{{"1"}});
        QVERIFY(!QFileInfo::exists(folder + "/sarvek.pending.json"));
        QVERIFY(log.contains("does not hold the installation folder", QtCriticalMsg));
    }

    // The object moves itself to its worker thread, which only its own
    // thread can ask for: initialize() from another thread is refused.
    void initializeOnAnotherThreadIsRefused()
    {
        home.switchToNewFolder("thread");
        StrategyFileLogicHandler plugin;
        LogCapture log;
        QScopedPointer<QThread> other(QThread::create([&] { plugin.initialize(); }));
        other->start();
        QVERIFY(other->wait(20000));
        QVERIFY(!plugin.isInitialized() && plugin.thread() == QThread::currentThread());
        QVERIFY(log.contains("refused: called on another thread", QtCriticalMsg));
    }
};

QTEST_GUILESS_MAIN(tst_FolderLock)
#include "tst_folderlock.moc"
