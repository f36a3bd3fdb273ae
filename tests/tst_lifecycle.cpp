// Lifecycle of the plug-in object: initialisation, its worker thread, the
// relayed service signals, shutdown, and the small state it keeps itself.
// The functions run in order: the shared plug-in object goes from
// constructed to initialised to stopped.

#include "testsupport.h"

#include "facade/strategydirhandler.h"
#include "facade/strategyfilelogichandler.h"
#include "services/strategycompilercommerfuncs.h"

#include <hostprofile.h>
#include <tavrix_fields.h>

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QtTest>

#include <atomic>

// Lives on the test thread, so that what the plug-in emits on its worker
// thread reaches the spies here by queued delivery.
class Receiver : public QObject
{
    Q_OBJECT
signals:
    void runModeChanged(QString instanceId, int mode);
    void fundAccountChanged();
};

class tst_Lifecycle : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void exitBeforeInitializeWritesNothing();
    void dirHandlerRestoresWorkingDirectory_data();
    void dirHandlerRestoresWorkingDirectory();
    void userIdIsLowerCasedAndCached_data();
    void userIdIsLowerCasedAndCached();
    void initializeMovesToWorkerThread();
    void secondInitializeChangesNothing();
    void serviceSignalsArriveOnce();
    void rememberedValueIsWrittenOnlyOnChange_data();
    void rememberedValueIsWrittenOnlyOnChange();
    void instanceListIsDroppedBeforeInitialize();
    void destroyingInitialisedFacadeSavesGroupsAndStopsThread();
    void initializeAfterExitIsRefused();

private:
    static StrategyFileLogicHandler &initialised();
    QString groupsFile() const { return m_home.filePath(QStringLiteral("work/demo01/SarvekFixedStrategyGroups.txt")); }
    static QHash<QString, QVariantMap> instanceList(const QString &id);

    TestHome m_home;
};

void tst_Lifecycle::initTestCase()
{
    QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
}

void tst_Lifecycle::cleanupTestCase()
{
    // The instances registered here reach the database while this folder
    // still exists.
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    service->flushPendingData();
    QCOMPARE(service->pendingInstanceCount(), 0);
}

void tst_Lifecycle::cleanup()
{
    HostProfile::current().setUserId(QStringLiteral("Demo01"));
    QDir::setCurrent(m_home.path());
}

StrategyFileLogicHandler &tst_Lifecycle::initialised()
{
    StrategyFileLogicHandler &facade = StrategyFileLogicHandler::instance();
    facade.initialize();
    return facade;
}

QHash<QString, QVariantMap> tst_Lifecycle::instanceList(const QString &id)
{
    QVariantMap entry;
    entry.insert(Tavrix_Fields::Strategy::strategyName, QStringLiteral("trend"));
    entry.insert(Tavrix_Fields::Strategy::strategyBasicParam, QStringLiteral("{\"risk\":\"0.5\"}"));
    return {{id, entry}};
}

void tst_Lifecycle::exitBeforeInitializeWritesNothing()
{
    StrategyFileLogicHandler &facade = StrategyFileLogicHandler::instance();
    facade.exit();
    facade.exit();
    QVERIFY(!facade.isInitialized());
    QVERIFY(!QFileInfo::exists(groupsFile()));
    QCOMPARE(facade.thread(), QThread::currentThread());
}

void tst_Lifecycle::dirHandlerRestoresWorkingDirectory_data()
{
    QTest::addColumn<int>("way");
    QTest::newRow("end of scope") << 0;
    QTest::newRow("end of scope after restore()") << 1;
    QTest::newRow("copy constructed") << 2;
    QTest::newRow("copy assigned") << 3;
}

void tst_Lifecycle::dirHandlerRestoresWorkingDirectory()
{
    QFETCH(int, way);
    const QString before = m_home.path() + QStringLiteral("/before");
    const QString other = m_home.path() + QStringLiteral("/other");
    QVERIFY(QDir().mkpath(before) && QDir().mkpath(other));
    const auto cwd = [] { return QFileInfo(QDir::currentPath()).canonicalFilePath(); };
    QVERIFY(QDir::setCurrent(before));
    const QString expected = cwd();
    {
        StrategyDirHandler guard;
        QCOMPARE(cwd(), QFileInfo(m_home.path()).canonicalFilePath());
        if (way == 1) {
            guard.restore();
            QCOMPARE(cwd(), expected);
        } else if (way == 2) {
            StrategyDirHandler copy(guard);
            QVERIFY(QDir::setCurrent(other));
        } else if (way == 3) {
            QVERIFY(QDir::setCurrent(other));
            StrategyDirHandler assigned; // saved "other"
            assigned = guard;
            QVERIFY(QDir::setCurrent(other));
        }
        if (way >= 2)
            QCOMPARE(cwd(), expected); // the copy went back to where the original started
        QVERIFY(QDir::setCurrent(other));
    }
    QCOMPARE(cwd(), expected);
}

void tst_Lifecycle::userIdIsLowerCasedAndCached_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("expectedFirst");
    QTest::addColumn<QString>("expectedLater");
    QTest::newRow("mixed case") << QStringLiteral("Demo01") << QStringLiteral("demo01") << QStringLiteral("demo01");
    QTest::newRow("upper case") << QStringLiteral("TRADER_X9") << QStringLiteral("trader_x9")
                                << QStringLiteral("trader_x9");
    QTest::newRow("no id yet: looked up again") << QString() << QString() << QStringLiteral("later");
}

void tst_Lifecycle::userIdIsLowerCasedAndCached()
{
    QFETCH(QString, first);
    QFETCH(QString, expectedFirst);
    QFETCH(QString, expectedLater);
    StrategyFileLogicHandler facade;
    HostProfile::current().setUserId(first);
    QCOMPARE(facade.getCurUserId(), expectedFirst);
    HostProfile::current().setUserId(QStringLiteral("LATER"));
    QCOMPARE(facade.getCurUserId(), expectedLater);
}

void tst_Lifecycle::initializeMovesToWorkerThread()
{
    StrategyFileLogicHandler &facade = initialised();
    QVERIFY(facade.isInitialized());
    QThread *worker = facade.thread();
    QVERIFY(worker != QThread::currentThread());
    QCOMPARE(worker->objectName(), QStringLiteral("StrategyFileLogicHandler_Thread"));
    QVERIFY(worker->isRunning());
}

void tst_Lifecycle::secondInitializeChangesNothing()
{
    StrategyFileLogicHandler &facade = initialised();
    QThread *worker = facade.thread();
    // Groups written behind the object's back would show if it loaded again.
    QVERIFY(writeFile(groupsFile(), QStringLiteral("默认分组;-1,外部分组;7").toUtf8()));
    LogCapture log;
    facade.initialize();
    QCOMPARE(facade.thread(), worker);
    QVERIFY(worker->isRunning());
    QVERIFY(!facade.getAllStrategyGroupNameSorted().contains(QStringLiteral("外部分组")));
    QVERIFY(!log.contains(QStringLiteral("refused")));
    QVERIFY(QFile::remove(groupsFile()));
}

void tst_Lifecycle::serviceSignalsArriveOnce()
{
    StrategyFileLogicHandler &facade = initialised();
    facade.initialize(); // a second call must not connect the relays again
    Receiver receiver;
    connect(&facade, &StrategyFileLogicHandler::sigInstanceRunModeChange, &receiver, &Receiver::runModeChanged);
    connect(&facade, &StrategyFileLogicHandler::sigFundAccountChanged, &receiver, &Receiver::fundAccountChanged);
    QSignalSpy runModes(&receiver, &Receiver::runModeChanged);
    QSignalSpy fundAccounts(&receiver, &Receiver::fundAccountChanged);
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();

    QVERIFY(service->addInstanceRunMode(QStringLiteral("9001"), OPERATE_SIMULATE, QStringLiteral("880001"),
                                        QStringLiteral("{}")));
    QVERIFY(runModes.wait());
    QCOMPARE(runModes.first(), QVariantList({QStringLiteral("9001"), int(OPERATE_SIMULATE)}));

    // Each later signal takes the same way; a duplicate of an earlier one
    // would have arrived before it.
    service->refreshAccount();
    QTRY_COMPARE(fundAccounts.count(), 1);
    QCOMPARE(runModes.count(), 1);
    QVERIFY(service->addInstanceRunMode(QStringLiteral("9002"), OPERATE_BACKTEST, QString(), QString()));
    QTRY_COMPARE(runModes.count(), 2);
    QCOMPARE(runModes.at(1), QVariantList({QStringLiteral("9002"), int(OPERATE_BACKTEST)}));
    QCOMPARE(fundAccounts.count(), 1);
}

void tst_Lifecycle::rememberedValueIsWrittenOnlyOnChange_data()
{
    QTest::addColumn<bool>("product");
    QTest::newRow("product") << true;
    QTest::newRow("fund account") << false;
}

void tst_Lifecycle::rememberedValueIsWrittenOnlyOnChange()
{
    QFETCH(bool, product);
    StrategyFileLogicHandler &facade = initialised();
    const QString key = product ? QStringLiteral("Sarvek/StrategyFileLogicHandler/LastProduct")
                                : QStringLiteral("Sarvek/StrategyFileLogicHandler/LastFundaccount");
    const QString path = m_home.filePath(QStringLiteral("ZqUserSettings.ini"));
    const auto set = [&](const QString &value) {
        product ? facade.setLastProduct(value) : facade.setLastFundaccount(value);
    };
    const auto get = [&] { return product ? facade.getLastProduct() : facade.getLastFundaccount(); };
    const auto stored = [&] { return QSettings(path, QSettings::IniFormat).value(key); };

    set(QStringLiteral("P001"));
    QCOMPARE(get(), QStringLiteral("P001"));
    QCOMPARE(stored().toString(), QStringLiteral("P001"));

    {
        QSettings outside(path, QSettings::IniFormat);
        outside.setValue(key, QStringLiteral("changed elsewhere"));
        outside.sync();
        QCOMPARE(outside.status(), QSettings::NoError);
    }
    set(QStringLiteral("P001"));
    QCOMPARE(stored().toString(), QStringLiteral("changed elsewhere"));
    QCOMPARE(get(), QStringLiteral("P001"));

    set(QString());
    QCOMPARE(get(), QString());
    QVERIFY(stored().isValid());
    QCOMPARE(stored().toString(), QString());

    set(QStringLiteral("p001"));
    QCOMPARE(get(), QStringLiteral("p001"));
    QCOMPARE(stored().toString(), QStringLiteral("p001"));
}

void tst_Lifecycle::instanceListIsDroppedBeforeInitialize()
{
    StrategyCompilerCommerFuncs *service = StrategyCompilerCommerFuncs::instance();
    {
        StrategyFileLogicHandler notInitialised;
        notInitialised.slotQueryStrategyInstRsp(instanceList(QStringLiteral("7001")), true, 1, 20);
    }
    QVERIFY(service->getInstanceParams(QStringLiteral("7001")).isEmpty());

    initialised().slotQueryStrategyInstRsp(instanceList(QStringLiteral("7002")), true, 1, 20);
    const QList<ZParamData> params = service->getInstanceParams(QStringLiteral("7002"));
    QCOMPARE(params.size(), 1);
    QCOMPARE(params.first().paramName, QStringLiteral("risk"));
}

void tst_Lifecycle::destroyingInitialisedFacadeSavesGroupsAndStopsThread()
{
    initialised();
    QFile::remove(groupsFile());
    auto *facade = new StrategyFileLogicHandler;
    facade->initialize();
    QVERIFY(facade->isInitialized());
    QThread *worker = facade->thread();
    QVERIFY(worker != QThread::currentThread());
    QVERIFY(worker != StrategyFileLogicHandler::instance().thread());
    QVERIFY(worker->isRunning());
    QVERIFY(!QFileInfo::exists(groupsFile()));

    std::atomic<int> finished{0};
    std::atomic<bool> groupsSavedFirst{false};
    connect(worker, &QThread::finished, worker, [&] {
        groupsSavedFirst = QFileInfo::exists(groupsFile());
        ++finished;
    }, Qt::DirectConnection);
    delete facade;
    QCOMPARE(finished.load(), 1);
    QVERIFY(groupsSavedFirst.load());
    QVERIFY(readFile(groupsFile()).startsWith(QStringLiteral("默认分组;").toUtf8()));
    QVERIFY(StrategyFileLogicHandler::instance().thread()->isRunning());
}

void tst_Lifecycle::initializeAfterExitIsRefused()
{
    StrategyFileLogicHandler &facade = initialised();
    QThread *worker = facade.thread();
    QFile::remove(groupsFile());
    facade.exit();
    QVERIFY(!facade.isInitialized());
    QVERIFY(worker->isFinished());
    QVERIFY(QFileInfo::exists(groupsFile()));

    LogCapture log;
    facade.initialize();
    QVERIFY(!facade.isInitialized());
    QCOMPARE(facade.thread(), worker);
    QVERIFY(worker->isFinished());
    bool refused = false;
    for (const LogCapture::Entry &entry : log.entries()) {
        refused = refused
                  || (entry.type == QtWarningMsg && entry.category == QLatin1String("strategylogic")
                      && entry.text.startsWith(QLatin1String("StrategyFileLogicHandler::initialize"))
                      && entry.text.contains(QLatin1String("refused")));
    }
    QVERIFY2(refused, qPrintable(log.texts().join(QLatin1Char('\n'))));

    // A stopped object passes no instance list on.
    facade.slotQueryStrategyInstRsp(instanceList(QStringLiteral("7003")), true, 1, 20);
    QVERIFY(StrategyCompilerCommerFuncs::instance()->getInstanceParams(QStringLiteral("7003")).isEmpty());
}

QTEST_GUILESS_MAIN(tst_Lifecycle)
#include "tst_lifecycle.moc"
