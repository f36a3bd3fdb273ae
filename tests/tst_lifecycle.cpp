// Lifecycle of the plug-in object: initialisation, its worker thread, the
// relayed service signals, shutdown, and the small state it keeps itself.
// The functions run in order: the shared plug-in object goes from
// constructed to initialised to stopped.

#include "testsupport.h"

#include <StrategyLogic/strategydirhandler.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "services/strategycompilercommerfuncs.h"

#include <hostprofile.h>
#include <tavrix_fields.h>

#include <QtTest>

#include <atomic>

using Facade = StrategyFileLogicHandler;

// Hands the object a server answer with one instance and tells whether its parameters reached the service.
static bool instanceListReachesService(Facade &facade, const QString &id)
{
    const QVariantMap entry{{Tavrix_Fields::Strategy::strategyBasicParam, R"({"risk":"0.5"})"}};
    facade.slotQueryStrategyInstRsp({{id, entry}}, true, 1, 20);
    return !StrategyCompilerCommerFuncs::instance()->getInstanceParams(id).isEmpty();
}

class tst_Lifecycle : public QObject
{
    Q_OBJECT

    TestHome home;
    QString groupsFile() const { return home.filePath("work/demo01/SarvekFixedStrategyGroups.txt"); }

signals:
    // As the client's server connection delivers the instance list.
    void instanceList(const QHash<QString, QVariantMap> &list, bool hasAllData, int pageNo, int pageSize);

private slots:
    void initTestCase() { QVERIFY2(home.isValid(), qPrintable(home.errorString())); }
    // The instances registered here reach the database while this folder still exists.
    void cleanupTestCase() { StrategyCompilerCommerFuncs::instance()->flushPendingData(); }

    void dirHandlerRestoresWorkingDirectory()
    {
        const auto cwd = [] { return QFileInfo(QDir::currentPath()).canonicalFilePath(); };
        QVERIFY(QDir().mkpath(home.filePath("before")) && QDir::setCurrent(home.filePath("before")));
        const QString before = cwd();
        {
            StrategyDirHandler guard;
            QCOMPARE(cwd(), QFileInfo(home.path()).canonicalFilePath());
            guard.restore();
            QCOMPARE(cwd(), before);
            QVERIFY(QDir::setCurrent(home.path()));
            StrategyDirHandler{guard}; // a copy, gone at once
            QCOMPARE(cwd(), before);
            QVERIFY(QDir::setCurrent(home.path()));
            StrategyDirHandler() = guard; // saved the installation folder, then takes the guard's; gone at once
            QCOMPARE(cwd(), before);
            QVERIFY(QDir::setCurrent(home.path()));
        }
        QCOMPARE(cwd(), before); // the guard itself, also after restore()
    }

    void initializeMovesToWorkerThreadOnce()
    {
        // Before initialize(), exit() writes nothing and an instance list does not reach the service.
        Facade &facade = Facade::instance();
        facade.exit();
        QVERIFY(!facade.isInitialized() && !QFileInfo::exists(groupsFile()));
        QVERIFY(!instanceListReachesService(facade, "7001"));

        facade.initialize();
        QVERIFY(instanceListReachesService(facade, "7002"));
        // A client's call from its own thread is queued to the worker thread, and arrives. (Qt copies the
        // argument inside its own, uninstrumented code: ThreadSanitizer cannot see that copy come first.)
#if !defined(__SANITIZE_THREAD__)
        connect(this, &tst_Lifecycle::instanceList, &facade, &Facade::slotQueryStrategyInstRsp);
        emit instanceList({{"7003", {{Tavrix_Fields::Strategy::strategyBasicParam, R"({"k":"v"})"}}}}, true, 1, 20);
        QTRY_VERIFY(!StrategyCompilerCommerFuncs::instance()->getInstanceParams("7003").isEmpty());
#endif
        QThread *worker = facade.thread();
        QVERIFY(facade.isInitialized() && worker != QThread::currentThread() && worker->isRunning());
        QCOMPARE(worker->objectName(), QStringLiteral("StrategyFileLogicHandler_Thread"));

        // Groups written behind the object's back would show if a second call loaded them again.
        QVERIFY(writeFile(groupsFile(), QStringLiteral("默认分组;-1,外部分组;7").toUtf8()));
        facade.initialize();
        QVERIFY(facade.isInitialized() && facade.thread() == worker && worker->isRunning());
        QVERIFY(!facade.getAllStrategyGroupNameSorted().contains("外部分组"));

        // Nor are the relays connected again: each service signal reaches a receiver on this thread once.
        // A duplicate of the first signal would arrive before the second.
        QObject receiver;
        QList<QVariantList> seen;
        connect(&facade, &Facade::sigInstanceRunModeChange, &receiver,
                [&](const QString &id, int mode) { seen << QVariantList{id, mode}; });
        QVERIFY(StrategyCompilerCommerFuncs::instance()->addInstanceRunMode("9001", OPERATE_SIMULATE, "880001", "{}"));
        QVERIFY(StrategyCompilerCommerFuncs::instance()->addInstanceRunMode("9002", OPERATE_BACKTEST, "", ""));
        QTRY_COMPARE(seen, (QList<QVariantList>{{"9001", OPERATE_SIMULATE}, {"9002", OPERATE_BACKTEST}}));
    }

    void rememberedValueIsWrittenOnlyOnChange_data()
    {
        QTest::addColumn<QString>("key");
        QTest::newRow("product") << "Sarvek/StrategyFileLogicHandler/LastProduct";
        QTest::newRow("fund account") << "Sarvek/StrategyFileLogicHandler/LastFundaccount";
    }
    void rememberedValueIsWrittenOnlyOnChange()
    {
        QFETCH(QString, key);
        Facade &facade = Facade::instance();
        const bool product = key.endsWith("LastProduct");
        const QString path = home.filePath("ZqUserSettings.ini");
        // After each step the stored value is changed behind the object's back: the next step shows whether it wrote.
        const QList<QPair<QString, QString>> steps = {{"P001", "P001"}, {"P001", "other"}, {"", ""}, {"p001", "p001"}};
        for (const auto &[value, stored] : steps) {
            product ? facade.setLastProduct(value) : facade.setLastFundaccount(value);
            QCOMPARE(product ? facade.getLastProduct() : facade.getLastFundaccount(), value); // answered at once
            QCOMPARE(QSettings(path, QSettings::IniFormat).value(key), QVariant(stored));
            QSettings(path, QSettings::IniFormat).setValue(key, "other");
        }
    }

    void stoppingSavesGroupsAndStopsThreadForGood()
    {
        // A second object destroyed while initialised saves the groups before its thread stops.
        QFile::remove(groupsFile());
        auto *other = new Facade;
        other->initialize();
        QThread *worker = other->thread();
        QVERIFY(worker->isRunning() && worker != Facade::instance().thread() && !QFileInfo::exists(groupsFile()));
        std::atomic<int> stopsAfterSaving{0};
        const auto stopped = [&] { stopsAfterSaving += QFileInfo::exists(groupsFile()); };
        connect(worker, &QThread::finished, worker, stopped, Qt::DirectConnection);
        delete other;
        QCOMPARE(stopsAfterSaving.load(), 1);

        // The shared object, still running, stays stopped after exit().
        worker = Facade::instance().thread();
        QVERIFY(worker->isRunning());
        Facade::instance().exit();
        LogCapture log;
        Facade::instance().initialize();
        QVERIFY(!Facade::instance().isInitialized() && Facade::instance().thread() == worker && worker->isFinished());
        QVERIFY(log.contains("StrategyFileLogicHandler::initialize refused", QtWarningMsg));
    }

    // Last: it changes the user of the host profile.
    void userIdIsLowerCasedAndCached()
    {
        Facade withId, withoutId;
        HostProfile::current().setUserId("TRADER_x9");
        QCOMPARE(withId.getCurUserId(), QStringLiteral("trader_x9"));
        HostProfile::current().setUserId(QString());
        QCOMPARE(withoutId.getCurUserId(), QString());
        HostProfile::current().setUserId("LATER");
        QCOMPARE(withId.getCurUserId(), QStringLiteral("trader_x9"));
        QCOMPARE(withoutId.getCurUserId(), QStringLiteral("later")); // no id yet: looked up again
    }
};

QTEST_GUILESS_MAIN(tst_Lifecycle)
#include "tst_lifecycle.moc"
