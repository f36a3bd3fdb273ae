// The Instances page of strategydesk: the instance table follows the
// plug-in (a run mode recorded on another thread appears, a change of one
// instance changes one row), the filter by run mode and text shows the rows
// it should, times are local, and the run-mode tool bar sets the plug-in's
// mode.

#include "app/desktimezone.h"
#include "app/pluginsession.h"
#include "models/instancefilterproxy.h"
#include "models/instancetablemodel.h"
#include "ui/instancespage.h"
#include "ui/runmodebar.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <ctime>
#include <memory>
#include <thread>

class tst_DeskInstances : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;
    std::unique_ptr<PluginSession> m_session;
    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }

    static QStringList ids(const QAbstractItemModel &model)
    {
        QStringList list;
        for (int row = 0; row < model.rowCount(); ++row)
            list << model.index(row, InstanceTableModel::Id).data().toString();
        return list;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        // Local times of a zone that is not UTC.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        // The filter's instances, before the cases that register more.
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("101"), OPERATE_LIVE, QStringLiteral("880001"), QStringLiteral("ok")));
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("102"), OPERATE_SIMULATE, QStringLiteral("880002"), QStringLiteral("Accepted")));
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("103"), OPERATE_BACKTEST, QStringLiteral("990001"), QStringLiteral("ok")));
        QVERIFY(plugin().addInstanceRunMode(QStringLiteral("20"), OPERATE_BACKTEST, QStringLiteral("880001"), QString()));
    }
    void cleanupTestCase() { m_session->stop(); }


    // By run mode, by text (id, fund account, answer, any case), or both;
    // ids in numeric order.
    void filters_data()
    {
        QTest::addColumn<int>("mode"); // -1: every mode
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all") << -1 << "" << QStringList{"20", "101", "102", "103"};
        QTest::newRow("backtests") << int(OPERATE_BACKTEST) << "" << QStringList{"20", "103"};
        QTest::newRow("live") << int(OPERATE_LIVE) << "" << QStringList{"101"};
        QTest::newRow("a fund account") << -1 << "880001" << QStringList{"20", "101"};
        QTest::newRow("an answer in another case") << -1 << "ACCEPTED" << QStringList{"102"};
        QTest::newRow("mode and text") << int(OPERATE_BACKTEST) << "8800" << QStringList{"20"};
        QTest::newRow("nothing") << -1 << "zzz" << QStringList{};
    }
    void filters()
    {
        QFETCH(int, mode);
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        InstanceTableModel model(plugin());
        model.setRefreshInterval(0);
        InstanceFilterProxy proxy;
        proxy.setSourceModel(&model);
        QAbstractItemModelTester tester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        proxy.sort(InstanceTableModel::Id, Qt::AscendingOrder);
        proxy.setRunMode(mode);
        proxy.setFilterText(text);
        QCOMPARE(ids(proxy), shown);
        // Erased key by key, the rows come back.
        while (!text.isEmpty()) {
            text.chop(1);
            proxy.setFilterText(text);
        }
        proxy.setRunMode(-1);
        QCOMPARE(ids(proxy), QStringList({"20", "101", "102", "103"}));
    }

    // The filter rebuilds its rows in one layout change: a selected instance
    // it hides leaves the selection, and the page's details say so.
    void aSelectedInstanceTheFilterHidesLeavesTheDetails()
    {
        InstancesPage page(plugin());
        page.model()->setRefreshInterval(0);
        QVERIFY(page.selectInstance(QStringLiteral("102")));
        QCOMPARE(page.selectedId(), QStringLiteral("102"));
        QVERIFY(page.paramsNote()->text().contains(QLatin1String("102")));
        page.filterEdit()->setText(QStringLiteral("990001"));
        QCOMPARE(ids(*page.proxy()), QStringList{"103"});
        QCOMPARE(page.selectedId(), QString());
        QVERIFY2(!page.paramsNote()->text().contains(QLatin1String("102")), qPrintable(page.paramsNote()->text()));
        // The box's clear button fades in with an animation that outlives a
        // button deleted before its end (it stops at its next step): its end
        // is awaited.
        for (QToolButton *clear : page.filterEdit()->findChildren<QToolButton *>())
            QTRY_COMPARE(clear->property("opacity").toDouble(), 1.0);
    }

    // A run mode recorded on another thread reaches the table through the
    // plug-in's queued signal, as one more row with its words.
    void aRunModeFromAnotherThreadShows()
    {
        InstanceTableModel model(plugin());
        model.setRefreshInterval(0);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const int before = model.rowCount();
        std::thread worker([this] {
            plugin().addInstanceRunMode(QStringLiteral("777"), OPERATE_SIMULATE, QStringLiteral("880777"), QStringLiteral("ok"));
        });
        worker.join();
        QTRY_COMPARE(model.rowCount(), before + 1);
        const int row = model.rowOfId(QStringLiteral("777"));
        QVERIFY(row >= 0);
        QCOMPARE(model.index(row, InstanceTableModel::RunMode).data().toString(),
                 InstanceTableModel::runModeName(OPERATE_SIMULATE));
        QCOMPARE(model.index(row, InstanceTableModel::FundAccount).data().toString(), QStringLiteral("880777"));
    }

    // A change of one instance among many changes its row only; its times
    // show as local times.
    void oneChangeIsOneRow()
    {
        for (int i = 0; i < 500; ++i)
            plugin().addInstanceRunMode(QStringLiteral("5%1").arg(i, 4, 10, QLatin1Char('0')), OPERATE_BACKTEST,
                                        QStringLiteral("88"), QString());
        InstanceTableModel model(plugin());
        model.setRefreshInterval(0);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        const QDateTime start(QDate(2026, 12, 1), QTime(1, 30), Qt::UTC);
        const QDateTime end = start.addSecs(6 * 3600);
        QVERIFY(plugin().setInstanceStartEndTime(QStringLiteral("50250"), start, end));
        model.reload();
        QCOMPARE(reset.count(), 0);
        QCOMPARE(inserted.count(), 0);
        QCOMPARE(changed.count(), 1);
        const int row = model.rowOfId(QStringLiteral("50250"));
        QCOMPARE(changed.at(0).at(0).toModelIndex().row(), row);
        QCOMPARE(changed.at(0).at(1).toModelIndex().row(), row);
        // In the process's zone, Asia/Shanghai (UTC+8).
        QCOMPARE(model.index(row, InstanceTableModel::Start).data().toString(), QStringLiteral("2026-12-01 09:30:00"));
        QCOMPARE(model.index(row, InstanceTableModel::End).data().toString(), QStringLiteral("2026-12-01 15:30:00"));
    }

    // The tool bar sets the plug-in's run mode and shows what the plug-in
    // holds; a mode the plug-in kept from changing is shown again.
    void runModeBarSetsTheMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("taken");
        QTest::newRow("simulated") << int(OPERATE_SIMULATE) << true;
        QTest::newRow("backtest") << int(OPERATE_BACKTEST) << true;
        QTest::newRow("live") << int(OPERATE_LIVE) << true;
        QTest::newRow("kept by the plug-in") << int(OPERATE_BACKTEST) << false;
    }
    void runModeBarSetsTheMode()
    {
        QFETCH(int, mode);
        QFETCH(bool, taken);
        RunModeBar bar(plugin());
        QString shown;
        bar.showMessage = [&](const QString &, const QString &message) { shown = message; };
        if (!taken)
            bar.applyMode = [](int) {};
        const int before = plugin().getCurrentRunMode();
        QCOMPARE(bar.setMode(mode), taken || mode == before);
        QCOMPARE(plugin().getCurrentRunMode(), taken ? mode : before);
        QCOMPARE(bar.shownMode(), plugin().getCurrentRunMode());
        QCOMPARE(shown.isEmpty(), taken || mode == before);
    }

    // The desk names the system's zone file in TZ when TZ is unset, so that
    // it is read once; the local times stay those of the system's zone, and
    // a TZ the user set is kept.
    void pinnedZoneKeepsTheLocalTimes_data()
    {
        QTest::addColumn<QByteArray>("given");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("unset") << QByteArray() << QByteArray(":/etc/localtime");
        QTest::newRow("set by the user") << QByteArray("Europe/Paris") << QByteArray("Europe/Paris");
    }
    void pinnedZoneKeepsTheLocalTimes()
    {
        QFETCH(QByteArray, given);
        QFETCH(QByteArray, expected);
        if (!QFileInfo::exists(QStringLiteral("/etc/localtime")))
            QSKIP("this system has no /etc/localtime");
        const QByteArray before = qgetenv("TZ");
        const auto restore = qScopeGuard([&] {
            qputenv("TZ", before);
            tzset();
        });
        if (given.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", given);
        tzset();
        const qint64 instants[] = {0, 1783000000000, 1795000000000}; // 1970, mid-2026, end of 2026
        QStringList shown;
        for (qint64 ms : instants)
            shown.append(QDateTime::fromMSecsSinceEpoch(ms).toString(InstanceTableModel::timeFormat()));
        DeskTimeZone::pinSystemZone();
        QCOMPARE(qgetenv("TZ"), expected);
        tzset();
        QStringList pinned;
        for (qint64 ms : instants)
            pinned.append(QDateTime::fromMSecsSinceEpoch(ms).toString(InstanceTableModel::timeFormat()));
        QCOMPARE(pinned, shown);
    }
};

QTEST_MAIN(tst_DeskInstances)
#include "tst_deskinstances.moc"
