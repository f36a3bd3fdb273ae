// The Backtests page of strategydesk: the days an instance's backtest wrote
// through the plug-in, shown with the figures BacktestReport computes from
// them; a day left out greyed; the equity curve drawn where the chart puts
// its points; several instances compared from one start; the chart saved as
// PNG, SVG and HTML, and refused for a missing folder or another ending;
// the read-out under the pointer.

#include "app/pluginsession.h"
#include "models/backtestdaysmodel.h"
#include "models/backtestfiguresmodel.h"
#include "ui/backtestpage.h"
#include "ui/comparisonchartview.h"
#include "ui/equitychartview.h"

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/strategyfilelogichandler.h>
#include "pixels.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QtTest>
#include <QtWidgets>

#include <algorithm>
#include <memory>
#include <thread>

using StrategyLogic::BacktestReport;

namespace {
// "2026-12-01 100 101; 2026-12-02 101 0" -> the days of `instanceId`; an
// end of 0 is a day that has not ended.
QList<BackTestCashInfo> ledger(const QString &instanceId, const QString &text)
{
    QList<BackTestCashInfo> days;
    for (const QString &row : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        BackTestCashInfo day;
        day.instanceId = instanceId;
        day.date = QDate::fromString(fields.at(0), Qt::ISODate);
        day.initialFunds = fields.at(1).toDouble();
        day.endFunds = fields.at(2).toDouble();
        days.append(day);
    }
    return days;
}

// Writes the days as a running backtest does: each day started with its
// initial funds, then finished with its end funds unless it has not ended.
QList<BackTestCashInfo> writeDays(StrategyFileLogicHandler &plugin, const QString &instanceId, const QString &text)
{
    const QList<BackTestCashInfo> days = ledger(instanceId, text);
    for (const BackTestCashInfo &day : days) {
        plugin.addBackTestInitCashInfo(instanceId, day.date, day.initialFunds);
        if (day.endFunds != 0)
            plugin.addBackTestInitCashEndInfo(instanceId, day.date, day.endFunds);
    }
    return days;
}

// The equity curve's blue (EquityChart draws its curve in it).
const QColor CurveBlue(0x1f, 0x5f, 0xa8);

QImage grabbed(QWidget *widget)
{
    QImage image = widget->grab().toImage();
    image.setDevicePixelRatio(1);
    return image;
}

// Three rising days, two falling, two flat; one with a day not ended.
const QString Rising = QStringLiteral("2026-12-01 100000 101000; 2026-12-02 101000 102010; 2026-12-03 102010 103030.1");
const QString Falling = QStringLiteral("2026-12-01 100000 99000; 2026-12-02 99000 98010");
const QString Flat = QStringLiteral("2026-12-01 50000 50000; 2026-12-02 50000 50000");
const QString NotEnded = QStringLiteral("2026-12-01 100000 102000; 2026-12-02 102000 0");
const QString NoStart = QStringLiteral("2026-12-01 0 100; 2026-12-02 100000 101000");
const QString Mixed = QStringLiteral("2026-12-01 100000 102000; 2026-12-02 102000 99960; 2026-12-03 99960 100959.6;"
                                     "2026-12-04 100959.6 0");
} // namespace

class tst_DeskBacktest : public QObject
{
    Q_OBJECT

    TestHome m_home;
    std::unique_ptr<PluginSession> m_session;
    QTemporaryDir m_out;
    StrategyFileLogicHandler &plugin() { return m_session->plugin(); }

    // A page of `ids`, shown at `size`, with no dialogs.
    std::unique_ptr<BacktestPage> shownPage(const QStringList &ids, const QSize &size = QSize(1100, 760))
    {
        auto page = std::make_unique<BacktestPage>(plugin());
        page->showMessage = [](const QString &title, const QString &message) {
            QFAIL(qPrintable(QStringLiteral("unexpected message: %1: %2").arg(title, message)));
        };
        page->chooseSaveFile = [](const QString &) { return QString(); };
        page->resize(size);
        page->show();
        if (!QTest::qWaitForWindowExposed(page.get()))
            return nullptr;
        page->selectInstances(ids);
        return page;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_out.isValid(), qPrintable(m_out.errorString()));
        m_session = std::make_unique<PluginSession>(m_home.path());
        m_session->askRetry = [](const QString &) { return false; };
        QVERIFY(m_session->start());
        writeDays(plugin(), QStringLiteral("3001"), Rising);
        writeDays(plugin(), QStringLiteral("3002"), Falling);
        writeDays(plugin(), QStringLiteral("3003"), Mixed);
        // Nothing to draw: a day not ended; 2999 listed before the others.
        writeDays(plugin(), QStringLiteral("3004"), QStringLiteral("2026-12-05 80000 0"));
        writeDays(plugin(), QStringLiteral("2999"), QStringLiteral("2026-11-30 70000 0"));
    }
    void cleanupTestCase() { m_session->stop(); }

    // What the page shows of an instance is what BacktestReport computes
    // from the days written; a day left out is counted as such.
    void figuresOfTheDaysWritten_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("counted");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("totalReturn");
        QTest::newRow("rising") << "4001" << Rising << "3" << "0" << "+3.03%";
        QTest::newRow("falling") << "4002" << Falling << "2" << "0" << "-1.99%";
        QTest::newRow("flat") << "4003" << Flat << "2" << "0" << "0.00%";
        QTest::newRow("a day not ended") << "4004" << NotEnded << "1" << "1" << "+2.00%";
        QTest::newRow("a day with no start funds") << "4005" << NoStart << "1" << "1" << "+1.00%";
    }
    void figuresOfTheDaysWritten()
    {
        QFETCH(QString, id);
        QFETCH(QString, days);
        QFETCH(QString, counted);
        QFETCH(QString, skipped);
        QFETCH(QString, totalReturn);
        const QList<BackTestCashInfo> written = writeDays(plugin(), id, days);
        BacktestPage page(plugin());
        QVERIFY(page.instanceModel()->stringList().contains(id));
        page.selectInstances({id});
        QCOMPARE(page.selectedInstances(), QStringList{id});

        const BacktestReport expected = BacktestReport::compute(id, written);
        const QJsonObject texts = expected.figuresText();
        const BacktestFiguresModel *figures = page.figuresModel();
        QCOMPARE(figures->columnCount(), 1);
        QCOMPARE(figures->rowCount(), BacktestReport::figureKeys().size());
        QCOMPARE(figures->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Instance %1").arg(id));
        for (int row = 0; row < figures->rowCount(); ++row) {
            const QString key = figures->keyAt(row);
            QCOMPARE(figures->headerData(row, Qt::Vertical).toString(), BacktestReport::figureLabel(key));
            QVERIFY2(figures->index(row, 0).data().toString() == texts.value(key).toString(),
                     qPrintable(QStringLiteral("%1: %2, expected %3")
                                    .arg(key, figures->index(row, 0).data().toString(), texts.value(key).toString())));
        }
        QCOMPARE(texts.value("days").toString(), counted);
        QCOMPARE(texts.value("skippedDays").toString(), skipped);
        QCOMPARE(texts.value("totalReturn").toString(), totalReturn);

        // Every day is listed, counting or not, in date order.
        const BacktestDaysModel *dayRows = page.daysModel();
        QCOMPARE(dayRows->rowCount(), written.size());
        for (int row = 0; row < written.size(); ++row) {
            const QJsonObject day = BacktestReport::dayText(expected.days().at(row));
            for (int column = 0; column < BacktestDaysModel::ColumnCount; ++column)
                QCOMPARE(dayRows->index(row, column).data().toString(),
                         day.value(BacktestReport::dayKeys().at(column)).toString());
        }
        QCOMPARE(dayRows->index(0, BacktestDaysModel::Date).data().toString(),
                 written.first().date.toString(Qt::ISODate));
    }

    // The models keep their contracts through a change of selection; a day
    // left out of the figures is grey and says why.
    void dayLeftOutIsGreyed()
    {
        BacktestPage page(plugin());
        QAbstractItemModelTester days(page.daysModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester figures(page.figuresModel(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        page.selectInstances({QStringLiteral("3003")});
        const BacktestDaysModel *model = page.daysModel();
        QCOMPARE(model->rowCount(), 4);
        for (int row = 0; row < 3; ++row) {
            QVERIFY(!model->index(row, BacktestDaysModel::EndFunds).data(Qt::ForegroundRole).isValid());
            QVERIFY(model->index(row, BacktestDaysModel::EndFunds).data(Qt::ToolTipRole).toString().isEmpty());
        }
        const QModelIndex left = model->index(3, BacktestDaysModel::DayReturn);
        QCOMPARE(left.data().toString(), QStringLiteral("-"));
        const QBrush brush = left.data(Qt::ForegroundRole).value<QBrush>();
        QVERIFY(brush.style() != Qt::NoBrush);
        QCOMPARE(brush.color(), QColor(0x80, 0x80, 0x80));
        QVERIFY(!left.data(Qt::ToolTipRole).toString().isEmpty());
        QCOMPARE(model->headerData(BacktestDaysModel::Date, Qt::Horizontal).toString(), QStringLiteral("Date"));

        // Two instances: no days listed, a column of figures each.
        page.selectInstances({QStringLiteral("3001"), QStringLiteral("3003")});
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(page.figuresModel()->columnCount(), 2);
        QCOMPARE(page.figuresModel()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Instance 3003"));
        page.selectInstances({QStringLiteral("3001")});
        QCOMPARE(model->rowCount(), 3);
        page.selectInstances({});
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(page.figuresModel()->rowCount(), 0);
    }

    // Days written after the page was opened show on Refresh; the selection
    // stays.
    void refreshShowsNewDays()
    {
        const QString id = QStringLiteral("4100");
        writeDays(plugin(), id, QStringLiteral("2026-12-01 100000 100500"));
        BacktestPage page(plugin());
        page.selectInstances({id});
        QCOMPARE(page.daysModel()->rowCount(), 1);
        writeDays(plugin(), id, QStringLiteral("2026-12-02 100500 101000"));
        writeDays(plugin(), QStringLiteral("4101"), QStringLiteral("2026-12-01 1000 1001"));
        page.refreshAction()->trigger();
        QCOMPARE(page.selectedInstances(), QStringList{id});
        QCOMPARE(page.daysModel()->rowCount(), 2);
        QVERIFY(page.instanceModel()->stringList().contains(QStringLiteral("4101")));
        QCOMPARE(page.reports().first().figures().endFunds.value_or(0), 101000.0);
    }

    // When the plug-in has loaded its instances it says so on its own
    // thread: the page reads the list again on the GUI thread, later.
    void listFollowsTheLoadSignal()
    {
        const QString id = QStringLiteral("4200");
        BacktestPage page(plugin());
        page.selectInstances({QStringLiteral("3001")});
        QVERIFY(!page.instanceModel()->stringList().contains(id));
        std::thread worker([this, id] {
            writeDays(plugin(), id, QStringLiteral("2026-12-01 100 101"));
            emit plugin().signalInstanceRunModeLoaded();
        });
        worker.join();
        QVERIFY(!page.instanceModel()->stringList().contains(id)); // queued, not read on the worker
        QTRY_VERIFY(page.instanceModel()->stringList().contains(id));
        QCOMPARE(page.selectedInstances(), QStringList{QStringLiteral("3001")});
        QCOMPARE(page.daysModel()->rowCount(), 3);
    }

    // The curve of the shown chart lies on the points the chart maps the
    // funds to, at the size of the window.
    void curveWhereTheFundsAre_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QSize>("window");
        QTest::newRow("rising, a large window") << "3001" << QSize(1400, 900);
        QTest::newRow("rising, a small window") << "3001" << QSize(800, 560);
        QTest::newRow("a drawdown and a day left out") << "3003" << QSize(1100, 760);
    }
    void curveWhereTheFundsAre()
    {
        QFETCH(QString, id);
        QFETCH(QSize, window);
        const std::unique_ptr<BacktestPage> page = shownPage({id}, window);
        QVERIFY(page);
        EquityChartView *view = page->chartView();
        QVERIFY(view->isVisible());
        QVERIFY(!page->comparisonView()->isVisible());
        const StrategyLogic::EquityChart &chart = view->chart();
        QCOMPARE(chart.size(), view->size());
        QCOMPARE(chart.report().instanceId(), id);
        const QImage image = grabbed(view);
        QCOMPARE(image.size(), view->size());
        const QVector<BacktestReport::EquityPoint> &points = chart.report().equity();
        QVERIFY(points.size() >= 3);
        for (int i = 0; i < points.size(); ++i) {
            const QPointF at = chart.pointAt(i);
            QVERIFY2(chart.plotArea().contains(at), qPrintable(QStringLiteral("point %1 outside the plot").arg(i)));
            QVERIFY2(colourNear(image, at, CurveBlue),
                     qPrintable(QStringLiteral("no curve at point %1 (%2, %3)").arg(i).arg(at.x()).arg(at.y())));
        }
        // Higher funds stand higher.
        for (int i = 1; i < points.size(); ++i) {
            if (points.at(i).funds > points.at(i - 1).funds)
                QVERIFY(chart.pointAt(i).y() < chart.pointAt(i - 1).y());
        }
        // Laid out again when the window changes size.
        page->resize(window + QSize(120, 80));
        QTRY_COMPARE(chart.size(), view->size());
        QVERIFY(colourNear(grabbed(view), view->chart().pointAt(points.size() - 1), CurveBlue));
    }

    // Two or more instances, in the list's order: their curves start at one
    // point, each in its colour at its end.
    void comparisonFromOneStart_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<int>("drawn"); // curves with points
        QTest::newRow("two") << QStringList{"3001", "3002"} << 2;
        QTest::newRow("three, one with no day to draw") << QStringList{"3001", "3003", "3004"} << 2;
        QTest::newRow("no day to draw first") << QStringList{"2999", "3001", "3002"} << 2;
        QTest::newRow("selected out of order") << QStringList{"3002", "3001"} << 2;
    }
    void comparisonFromOneStart()
    {
        QFETCH(QStringList, ids);
        QFETCH(int, drawn);
        const std::unique_ptr<BacktestPage> page = shownPage(ids);
        QVERIFY(page);
        ComparisonChartView *view = page->comparisonView();
        QVERIFY(view->isVisible());
        QVERIFY(!page->chartView()->isVisible());
        QVERIFY(!page->daysView()->isVisible());
        QVERIFY(!page->saveAction()->isEnabled());
        QCOMPARE(page->figuresModel()->columnCount(), ids.size());
        const StrategyLogic::ComparisonChart &chart = view->chart();
        QCOMPARE(chart.size(), view->size());
        QCOMPARE(chart.curveCount(), ids.size());
        QStringList listed = ids;
        const QStringList list = page->instanceModel()->stringList();
        std::sort(listed.begin(), listed.end(),
                  [&](const QString &a, const QString &b) { return list.indexOf(a) < list.indexOf(b); });
        QCOMPARE(page->selectedInstances(), listed);
        QStringList shown;
        for (const BacktestReport &report : chart.reports())
            shown.append(report.instanceId());
        QCOMPARE(shown, listed);

        const QImage image = grabbed(view);
        int first = -1;
        int withPoints = 0;
        int last = -1;
        for (int c = 0; c < chart.curveCount(); ++c) {
            const int n = chart.reports().at(c).equity().size();
            if (n == 0)
                continue;
            ++withPoints;
            last = c;
            if (first < 0)
                first = c;
            QCOMPARE(chart.value(c, 0), chart.base());
            QCOMPARE(chart.pointAt(c, 0), chart.pointAt(first, 0));
            const QPointF end = chart.pointAt(c, n - 1);
            QVERIFY(chart.plotArea().contains(end));
            QVERIFY2(colourNear(image, end, chart.curveColor(c)),
                     qPrintable(QStringLiteral("curve %1 not at its end (%2, %3)").arg(c).arg(end.x()).arg(end.y())));
        }
        QCOMPARE(withPoints, drawn);
        QCOMPARE(chart.base(), chart.reports().at(first).equity().first().funds);
        // The curve drawn last covers the common start.
        QVERIFY(colourNear(image, chart.pointAt(first, 0), chart.curveColor(last)));
        QVERIFY(view->accessibleDescription().startsWith(QStringLiteral("instance %1").arg(listed.first())));
    }

    // The chart of one instance saved in each format, the file what its
    // ending names.
    void saveChart_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("begins"); // the file's first bytes
        QTest::addColumn<QByteArray>("holds");
        QTest::newRow("png") << "chart.png" << QByteArray("\x89PNG\r\n\x1a\n", 8) << QByteArray("IEND");
        QTest::newRow("svg") << "chart.svg" << QByteArray("<?xml") << QByteArray("<svg");
        QTest::newRow("html") << "chart.html" << QByteArray("<!DOCTYPE html") << QByteArray("<svg");
        QTest::newRow("an ending in capitals") << "CHART.PNG" << QByteArray("\x89PNG", 4) << QByteArray("IEND");
    }
    void saveChart()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, begins);
        QFETCH(QByteArray, holds);
        const std::unique_ptr<BacktestPage> page = shownPage({QStringLiteral("3003")});
        QVERIFY(page);
        QVERIFY(page->saveAction()->isEnabled());
        const QString path = m_out.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + '-' + name);
        QString proposed;
        page->chooseSaveFile = [&](const QString &offered) {
            proposed = offered;
            return path;
        };
        page->saveAction()->trigger();
        QVERIFY2(proposed.endsWith(QLatin1String("backtest-3003.png")), qPrintable(proposed));
        const QByteArray bytes = readFile(path);
        QVERIFY2(bytes.startsWith(begins), bytes.left(40).constData());
        QVERIFY(bytes.contains(holds));
        QVERIFY2(page->lastMessage().contains(path), qPrintable(page->lastMessage()));
        // Cancelled: nothing written, nothing said.
        QVERIFY(QFile::remove(path));
        page->chooseSaveFile = [](const QString &) { return QString(); };
        page->saveAction()->trigger();
        QVERIFY(!QFileInfo::exists(path));
    }

    // A chart that cannot be saved says why, and writes nothing.
    void saveRefused_data()
    {
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("said"); // in the message
        QTest::newRow("a folder that does not exist") << QStringList{"3001"} << "nowhere/chart.png"
                                                      << "No such file or directory";
        QTest::newRow("a file where the folder should be") << QStringList{"3001"} << "plain-file/chart.svg"
                                                           << "Not a directory";
        QTest::newRow("an unknown ending") << QStringList{"3001"} << "chart.jpg" << ".png, .svg or .html";
        QTest::newRow("no ending") << QStringList{"3001"} << "chart" << ".png, .svg or .html";
        QTest::newRow("two instances") << QStringList{"3001", "3002"} << "chart.png" << "Select one";
    }
    void saveRefused()
    {
        QFETCH(QStringList, ids);
        QFETCH(QString, name);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QVERIFY2(dir.isValid(), qPrintable(dir.errorString()));
        QVERIFY(writeFile(dir.filePath(QStringLiteral("plain-file")), "x"));
        const std::unique_ptr<BacktestPage> page = shownPage(ids);
        QVERIFY(page);
        QStringList messages;
        page->showMessage = [&](const QString &, const QString &message) { messages.append(message); };
        const QString path = dir.filePath(name);
        QVERIFY(!page->saveChart(path));
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(said), qPrintable(messages.first()));
        QCOMPARE(page->lastMessage(), messages.first());
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList{QStringLiteral("plain-file")});
    }

    // The pointer over the chart reads out the date and funds of the point
    // nearest to it, as the tool tip too; leaving the chart ends it.
    void readOutUnderThePointer_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<double>("nudge"); // a share of the step between points
        QTest::addColumn<QString>("text");
        QTest::newRow("the start") << 0 << 0.0 << "Start of 2026-12-01: 100,000";
        QTest::newRow("a fall, a little to its right") << 2 << 0.4 << "End of 2026-12-02: 99,960";
        QTest::newRow("the last day, a little to its left") << 3 << -0.4 << "End of 2026-12-03: 100,959.60";
    }
    void readOutUnderThePointer()
    {
        QFETCH(int, point);
        QFETCH(double, nudge);
        QFETCH(QString, text);
        const std::unique_ptr<BacktestPage> page = shownPage({QStringLiteral("3003")});
        QVERIFY(page);
        EquityChartView *view = page->chartView();
        QCOMPARE(view->hoveredPoint(), -1);
        QCOMPARE(view->readOut(), QString());
        const StrategyLogic::EquityChart &chart = view->chart();
        const double step = chart.pointAt(1).x() - chart.pointAt(0).x();
        const QPointF at = chart.pointAt(point) + QPointF(nudge * step, 0);
        QMouseEvent move(QEvent::MouseMove, at, view->mapToGlobal(at.toPoint()), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QCOMPARE(view->hoveredPoint(), point);
        QCOMPARE(view->readOut(), text);
        QCOMPARE(view->toolTip(), text);
        QCOMPARE(view->accessibleDescription(), text);
        // The marker is drawn on the point, over the curve.
        const QImage image = grabbed(view);
        QVERIFY(colourNear(image, chart.pointAt(point) + QPointF(0, 5), QColor(0x1d, 0x23, 0x30), 1));

        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(view, &leave);
        QCOMPARE(view->hoveredPoint(), -1);
        QCOMPARE(view->readOut(), QString());
        QCOMPARE(view->toolTip(), QString());
        QVERIFY(view->accessibleDescription().contains(QStringLiteral("instance 3003")));
    }

    // An instance with no day to draw: no point under the pointer.
    void readOutOfNothing()
    {
        const std::unique_ptr<BacktestPage> page = shownPage({QStringLiteral("3004")});
        QVERIFY(page);
        EquityChartView *view = page->chartView();
        QCOMPARE(view->chart().report().equity().size(), 0);
        const QPointF centre = view->chart().plotArea().center();
        QMouseEvent move(QEvent::MouseMove, centre, view->mapToGlobal(centre.toPoint()), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
        QCOMPARE(view->hoveredPoint(), -1);
        QCOMPARE(view->readOut(), QString());
        QCOMPARE(view->accessibleDescription(), QStringLiteral("No day with both funds to draw"));
    }
};

QTEST_MAIN(tst_DeskBacktest)
#include "tst_deskbacktest.moc"
