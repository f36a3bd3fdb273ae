// The performance report of a backtest instance: its figures against
// ledgers worked out by hand, the equity chart read back pixel by pixel
// (SVG through QSvgRenderer, PNG decoded), the HTML page, and `strategyctl
// report` end to end: files written whole or not at all, relative to the
// folder it was started in.

#include "report.h"
#include "reportchart.h"
#include "testsupport.h"

#include <QtTest>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <cmath>

namespace {
// "2026-12-01 100 101; 2026-12-02 101 99" -> days of instance 1024.
QList<BackTestCashInfo> ledger(const QString &text)
{
    QList<BackTestCashInfo> days;
    for (const QString &row : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList fields = row.simplified().split(QLatin1Char(' '));
        BackTestCashInfo day;
        day.instanceId = QStringLiteral("1024");
        day.date = QDate::fromString(fields.at(0), Qt::ISODate);
        day.initialFunds = fields.at(1).toDouble();
        day.endFunds = fields.at(2).toDouble();
        days.append(day);
    }
    return days;
}

// Five days of +2 %, -2 %, +1 %, +3 %, -1 %, each end the next start; the
// dates skip a weekend.
const QString FiveDays = QStringLiteral("2026-12-01 100000 102000; 2026-12-02 102000 99960; "
                                        "2026-12-03 99960 100959.6; 2026-12-04 100959.6 103988.388; "
                                        "2026-12-07 103988.388 102948.50412");

// Whether `actual` has every value of `expected`: null as null, texts
// equal, numbers within 1e-9 relative.
QString mismatch(const QJsonObject &expected, const QJsonObject &actual)
{
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QJsonValue want = it.value();
        const QJsonValue got = actual.value(it.key());
        bool same = want.type() == got.type();
        if (same && want.isDouble())
            same = std::abs(want.toDouble() - got.toDouble()) <= 1e-9 * std::max(1.0, std::abs(want.toDouble()));
        else if (same)
            same = want == got;
        if (!same)
            return QStringLiteral("%1: expected %2, got %3")
                .arg(it.key(), QString::fromUtf8(QJsonDocument(QJsonArray{want}).toJson(QJsonDocument::Compact)),
                     QString::fromUtf8(QJsonDocument(QJsonArray{got}).toJson(QJsonDocument::Compact)));
    }
    return QString();
}

QJsonObject object(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

// The curve's blue, where it is drawn at full strength.
bool isCurve(QRgb pixel)
{
    return qBlue(pixel) > 120 && qBlue(pixel) - qRed(pixel) > 70 && qBlue(pixel) - qGreen(pixel) > 30;
}

// The light red of the drawdown area.
bool isShade(QRgb pixel)
{
    return qRed(pixel) > 225 && qRed(pixel) - qGreen(pixel) > 25 && qRed(pixel) - qBlue(pixel) > 25;
}

QImage renderSvg(const QByteArray &svg, const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QSvgRenderer renderer(svg);
    if (!renderer.isValid())
        return QImage();
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

// The pixels of `image` inside `area` that `test` accepts.
QVector<QPoint> pixels(const QImage &image, const QRectF &area, bool (*test)(QRgb))
{
    QVector<QPoint> found;
    const QRect rect = area.toAlignedRect().intersected(image.rect());
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            if (test(image.pixel(x, y)))
                found.append(QPoint(x, y));
        }
    }
    return found;
}

// The y of `funds` on the chart's amount axis, from its first and last tick.
double rowOf(const ReportChart &chart, double funds)
{
    const double low = chart.amountTicks().first();
    const double high = chart.amountTicks().last();
    return chart.plotArea().bottom() - (funds - low) / (high - low) * chart.plotArea().height();
}

bool xmlIsWellFormed(const QByteArray &xml, QString *error)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    *error = reader.errorString();
    return !reader.hasError();
}
} // namespace

class tst_Report : public QObject
{
    Q_OBJECT

    TestHome m_home;
    QTemporaryDir m_start; // the folder strategyctl is started in

    ProcessResult run(const QStringList &args, const QByteArray &input = QByteArray())
    {
        return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{QStringLiteral("--home"), m_home.path()} + args,
                          m_home.processEnvironment(), m_start.path(), input);
    }
    QString startFile(const QString &name) const { return m_start.path() + QLatin1Char('/') + name; }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_home.isValid(), qPrintable(m_home.errorString()));
        QVERIFY2(m_start.isValid(), qPrintable(m_start.errorString()));
        for (const BackTestCashInfo &day : ledger(FiveDays)) {
            CHECK_EXIT(run({"cash", "day", "1024", day.date.toString(Qt::ISODate),
                            QString::number(day.initialFunds, 'g', 17), QString::number(day.endFunds, 'g', 17)}),
                       0);
        }
    }

    void figures_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QByteArray>("returns");  // each day's, in date order
        QTest::addColumn<QByteArray>("expected"); // figures that must match
        QTest::addColumn<int>("notes");

        // total 102948.50412 / 100000 - 1 = 0.0294850412;
        // annual e^(252/5 * ln 1.0294850412) - 1 = e^(50.4 * 0.0290587172) - 1 = 3.3256367193;
        // mean 0.03 / 5 = 0.006; deviations .014 -.026 .004 .024 -.016, squares 0.00172,
        // sample variance 0.00172 / 4 = 0.00043, deviation 0.0207364414;
        // volatility 0.0207364414 * sqrt 252 (15.8745079) = 0.3291808014;
        // Sharpe 0.006 / 0.0207364414 * 15.8745079 = 4.5932204844;
        // drawdown from 102000 (12-01) to 99960 (12-02): 2040 / 102000 = 0.02; win 3 of 5.
        QTest::newRow("five days")
            << FiveDays << QByteArray("[0.02, -0.02, 0.01, 0.03, -0.01]")
            << QByteArray(R"({"days": 5, "skippedDays": 0, "firstDate": "2026-12-01", "lastDate": "2026-12-07",
                "startFunds": 100000, "endFunds": 102948.50412, "totalReturn": 0.0294850412,
                "annualReturn": 3.3256367193, "annualVolatility": 0.3291808014, "sharpeRatio": 4.5932204844,
                "maxDrawdown": 0.02, "maxDrawdownPeakDate": "2026-12-01", "maxDrawdownPeakFunds": 102000,
                "maxDrawdownTroughDate": "2026-12-02", "maxDrawdownTroughFunds": 99960,
                "bestDayDate": "2026-12-04", "bestDayReturn": 0.03, "worstDayDate": "2026-12-02",
                "worstDayReturn": -0.02, "winRate": 0.6})")
            << 0;
        // The same ledger in another order: sorted by date first.
        QStringList shuffled = FiveDays.split(QLatin1Char(';'));
        std::reverse(shuffled.begin(), shuffled.end());
        shuffled.swapItemsAt(0, 2);
        QTest::newRow("days out of order")
            << shuffled.join(QLatin1Char(';')) << QByteArray("[0.02, -0.02, 0.01, 0.03, -0.01]")
            << QByteArray(R"({"days": 5, "firstDate": "2026-12-01", "totalReturn": 0.0294850412,
                "sharpeRatio": 4.5932204844, "maxDrawdown": 0.02, "maxDrawdownTroughDate": "2026-12-02"})")
            << 0;
        // annual 1.1^252 - 1 = 2.69747022667e10; one day has no deviation.
        QTest::newRow("one day")
            << "2026-12-01 100 110" << QByteArray("[0.1]")
            << QByteArray(R"({"days": 1, "totalReturn": 0.1, "annualReturn": 26974702266.758556,
                "annualVolatility": null, "sharpeRatio": null, "maxDrawdown": 0, "maxDrawdownPeakDate": null,
                "maxDrawdownTroughDate": null, "bestDayDate": "2026-12-01", "bestDayReturn": 0.1,
                "worstDayDate": "2026-12-01", "worstDayReturn": 0.1, "winRate": 1})")
            << 0;
        QTest::newRow("flat: deviation 0, no Sharpe ratio")
            << "2026-12-01 100 100; 2026-12-02 100 100; 2026-12-03 100 100" << QByteArray("[0, 0, 0]")
            << QByteArray(R"({"days": 3, "totalReturn": 0, "annualReturn": 0, "annualVolatility": 0,
                "sharpeRatio": null, "maxDrawdown": 0, "winRate": 0})")
            << 0;
        // 1 % a day from amounts that round differently: the deviation is
        // rounding noise, not a Sharpe ratio of 10^15. 1.030301 = 1.01^3,
        // annual (1.01^3)^(252/3) - 1 = 1.01^252 - 1 = 11.2740021.
        QTest::newRow("equal returns: deviation 0")
            << "2026-12-01 100 101; 2026-12-02 101 102.01; 2026-12-03 102.01 103.0301"
            << QByteArray("[0.01, 0.01, 0.01]")
            << QByteArray(R"({"days": 3, "totalReturn": 0.030301, "annualReturn": 11.274002099,
                "annualVolatility": 0, "sharpeRatio": null, "winRate": 1})")
            << 0;
        // The day starting at 0 is left out: returns +5 % and -10 %;
        // total 94.5 / 100 - 1 = -0.055, annual 0.945^126 - 1 = -0.9991975687;
        // mean -0.025, deviation sqrt((0.075^2 * 2) / 1) = 0.075 * sqrt 2 = 0.1060660172,
        // volatility * sqrt 252 = 1.6837458240, Sharpe -0.025 / (0.075 sqrt 2) * sqrt 252 = -sqrt 14;
        // drawdown from 105 to 94.5: 10.5 / 105 = 0.1.
        QTest::newRow("a day starting at 0 is left out")
            << "2026-12-01 100 105; 2026-12-02 0 50; 2026-12-03 105 94.5" << QByteArray("[0.05, null, -0.1]")
            << QByteArray(R"({"days": 2, "skippedDays": 1, "startFunds": 100, "endFunds": 94.5,
                "totalReturn": -0.055, "annualReturn": -0.9991975687, "annualVolatility": 1.6837458240,
                "sharpeRatio": -3.7416573868, "maxDrawdown": 0.1, "maxDrawdownPeakDate": "2026-12-01",
                "maxDrawdownTroughDate": "2026-12-03", "winRate": 0.5})")
            << 1;
        // The first start (100) is the peak the funds never regain:
        // returns -0.05, -5/95 = -0.0526315789, 2/90 = 0.0222222222; total -0.08,
        // annual 0.92^(252/3) - 1 = -0.9990918084; mean -0.0268031189,
        // deviation 0.0424775748, volatility 0.6743105945, Sharpe -10.0167282256;
        // drawdown (100 - 90) / 100 = 0.1 on 12-02.
        QTest::newRow("a drawdown that never recovers")
            << "2026-12-01 100 95; 2026-12-02 95 90; 2026-12-03 90 92"
            << QByteArray("[-0.05, -0.0526315789, 0.0222222222]")
            << QByteArray(R"({"days": 3, "totalReturn": -0.08, "annualReturn": -0.9990918084,
                "annualVolatility": 0.6743105945, "sharpeRatio": -10.0167282256, "maxDrawdown": 0.1,
                "maxDrawdownPeakDate": "2026-12-01", "maxDrawdownPeakFunds": 100,
                "maxDrawdownTroughDate": "2026-12-02", "maxDrawdownTroughFunds": 90,
                "bestDayDate": "2026-12-03", "worstDayDate": "2026-12-02", "winRate": 0.3333333333})")
            << 0;
        // End funds 0 mark a day that has not ended.
        QTest::newRow("a day without end funds is left out")
            << "2026-12-01 100 101; 2026-12-02 101 0" << QByteArray("[0.01, null]")
            << QByteArray(R"({"days": 1, "skippedDays": 1, "lastDate": "2026-12-01", "endFunds": 101,
                "totalReturn": 0.01, "annualReturn": 11.274002099})")
            << 1;
        QTest::newRow("no day counts")
            << "2026-12-01 0 100; 2026-12-02 -5 100" << QByteArray("[null, null]")
            << QByteArray(R"({"days": 0, "skippedDays": 2, "firstDate": null, "totalReturn": null,
                "annualReturn": null, "annualVolatility": null, "sharpeRatio": null, "maxDrawdown": null,
                "bestDayReturn": null, "winRate": null})")
            << 2;
        QTest::newRow("a return beyond a double is left out")
            << "2026-12-01 1e-300 1e300; 2026-12-02 100 110" << QByteArray("[null, 0.1]")
            << QByteArray(R"({"days": 1, "skippedDays": 1, "startFunds": 100, "totalReturn": 0.1})") << 1;
        // Funds below 0: -150 %, and no annual rate of a loss beyond everything.
        QTest::newRow("end funds below 0")
            << "2026-12-01 100 -50" << QByteArray("[-1.5]")
            << QByteArray(R"({"days": 1, "totalReturn": -1.5, "annualReturn": null, "maxDrawdown": 1.5})") << 0;
    }

    void figures()
    {
        QFETCH(QString, days);
        QFETCH(QByteArray, returns);
        QFETCH(QByteArray, expected);
        QFETCH(int, notes);
        const Report report = Report::compute(QStringLiteral("1024"), ledger(days));
        const QJsonObject json = report.toJson();

        const QString wrong = mismatch(QJsonDocument::fromJson(expected).object(), json.value("figures").toObject());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        const QJsonArray wantReturns = QJsonDocument::fromJson(returns).array();
        const QJsonArray rows = json.value("days").toArray();
        QCOMPARE(rows.size(), wantReturns.size());
        QDate previous;
        for (int i = 0; i < rows.size(); ++i) {
            const QJsonObject row = rows.at(i).toObject();
            const QString bad = mismatch(QJsonObject{{"return", wantReturns.at(i)}}, row);
            QVERIFY2(bad.isEmpty(), qPrintable(QStringLiteral("day %1: %2").arg(i).arg(bad)));
            const QDate date = QDate::fromString(row.value("date").toString(), Qt::ISODate);
            QVERIFY2(!previous.isValid() || previous < date, "days sorted by date");
            previous = date;
        }
        QCOMPARE(json.value("notes").toArray().size(), notes);
        QCOMPARE(json.value("instanceId").toString(), QStringLiteral("1024"));
        // Undefined values are null in the document, never a number such as NaN.
        const QByteArray text = QJsonDocument(json).toJson();
        QVERIFY2(!text.contains("nan") && !text.contains("inf"), text.constData());
    }

    void texts_data()
    {
        QTest::addColumn<bool>("isReturn"); // a return as a percentage, else an amount
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("gain") << true << 0.0123 << "+1.23%";
        QTest::newRow("loss") << true << -0.005 << "-0.50%";
        QTest::newRow("loss rounding to nothing") << true << -0.00001 << "0.00%";
        QTest::newRow("whole amount") << false << 1012000.0 << "1,012,000";
        QTest::newRow("cents") << false << 998500.5 << "998,500.50";
        QTest::newRow("finer than cents") << false << 102948.50412 << "102,948.50412";
        QTest::newRow("negative amount") << false << -50.0 << "-50";
    }

    void texts()
    {
        QFETCH(bool, isReturn);
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(isReturn ? Report::signedPercent(value) : Report::funds(value), text);
        QCOMPARE(isReturn ? Report::signedPercent(std::nullopt) : Report::funds(std::nullopt), QStringLiteral("-"));
    }

    void svgCurveWhereTheValuesPutIt()
    {
        const Report report = Report::compute(QStringLiteral("1024"), ledger(FiveDays));
        const ReportChart chart(report);
        QString error;
        const QByteArray svg = chart.toSvg(&error);
        QVERIFY2(!svg.isEmpty(), qPrintable(error));
        QVERIFY2(xmlIsWellFormed(svg, &error), qPrintable(error));
        const QImage image = renderSvg(svg, chart.size());
        QVERIFY(!image.isNull());

        // The axis holds every amount without wasting the height.
        const QVector<double> &ticks = chart.amountTicks();
        QVERIFY(ticks.size() >= 3);
        QVERIFY(ticks.first() <= 99960 && ticks.last() >= 103988.388);
        QVERIFY(ticks.last() - ticks.first() < 3 * (103988.388 - 99960));
        const QRectF plot = chart.plotArea();
        QVERIFY(QRectF(QPointF(0, 0), QSizeF(chart.size())).contains(plot));

        // Points 0..5: the start (100000), then each end; 4 is the highest
        // (103988.388), 2 the lowest (99960).
        const QVector<QPoint> curve = pixels(image, plot, isCurve);
        QVERIFY(!curve.isEmpty());
        const QPoint top = *std::min_element(curve.begin(), curve.end(),
                                             [](const QPoint &a, const QPoint &b) { return a.y() < b.y(); });
        const QPoint bottom = *std::max_element(curve.begin(), curve.end(),
                                                [](const QPoint &a, const QPoint &b) { return a.y() < b.y(); });
        const double highest = rowOf(chart, 103988.388);
        const double lowest = rowOf(chart, 99960);
        QVERIFY2(std::abs(top.y() - highest) <= 3, qPrintable(QStringLiteral("top row %1, expected %2")
                                                                 .arg(top.y()).arg(highest)));
        QVERIFY2(std::abs(bottom.y() - lowest) <= 3, qPrintable(QStringLiteral("bottom row %1, expected %2")
                                                                    .arg(bottom.y()).arg(lowest)));
        QVERIFY2(std::abs(top.x() - chart.pointAt(4).x()) <= 3, qPrintable(QString::number(top.x())));
        QVERIFY2(std::abs(bottom.x() - chart.pointAt(2).x()) <= 3, qPrintable(QString::number(bottom.x())));
        // Dates run left to right at equal steps, from the plot's left to its right.
        for (int i = 1; i < report.equity().size(); ++i)
            QVERIFY(std::abs((chart.pointAt(i).x() - chart.pointAt(i - 1).x())
                             - (chart.pointAt(1).x() - chart.pointAt(0).x()))
                    < 0.01);
        QVERIFY(chart.pointAt(0).x() - plot.left() < plot.width() / 10);
        QVERIFY(plot.right() - chart.pointAt(5).x() < plot.width() / 10);
        // The curve passes through every point.
        for (int i = 0; i < report.equity().size(); ++i) {
            const QPointF at(chart.pointAt(i).x(), rowOf(chart, report.equity().at(i).funds));
            const bool near = std::any_of(curve.begin(), curve.end(), [&](const QPoint &p) {
                return std::abs(p.x() - at.x()) <= 2 && std::abs(p.y() - at.y()) <= 2;
            });
            QVERIFY2(near, qPrintable(QStringLiteral("no curve at point %1").arg(i)));
        }
        // Each day has a date under it.
        QCOMPARE(chart.labelledPoints().last(), 5);
    }

    void svgDrawdownShadedBelowThePeak_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("segment"); // between equity points segment and segment + 1
        QTest::addColumn<double>("along");
        QTest::addColumn<bool>("shaded");
        QTest::newRow("after the first peak") << FiveDays << 1 << 0.75 << true;
        QTest::newRow("after the second peak") << FiveDays << 4 << 0.6 << true;
        QTest::newRow("rising to the first peak") << FiveDays << 0 << 0.5 << false;
        QTest::newRow("above the old peak") << FiveDays << 3 << 0.9 << false;
        QTest::newRow("never recovering") << "2026-12-01 100 95; 2026-12-02 95 90; 2026-12-03 90 92" << 2 << 0.5
                                          << true;
    }

    void svgDrawdownShadedBelowThePeak()
    {
        QFETCH(QString, days);
        QFETCH(int, segment);
        QFETCH(double, along);
        QFETCH(bool, shaded);
        const Report report = Report::compute(QStringLiteral("1024"), ledger(days));
        const ReportChart chart(report);
        QString error;
        const QImage image = renderSvg(chart.toSvg(&error), chart.size());
        QVERIFY2(!image.isNull(), qPrintable(error));

        const Report::EquityPoint &from = report.equity().at(segment);
        const Report::EquityPoint &to = report.equity().at(segment + 1);
        const double left = chart.pointAt(segment).x();
        const int x = qRound(left + along * (chart.pointAt(segment + 1).x() - left));
        const double funds = from.funds + along * (to.funds - from.funds);
        const double curveRow = rowOf(chart, funds);
        const double peakRow = rowOf(chart, from.peak);
        if (shaded) {
            QVERIFY2(curveRow - peakRow > 8, "the probe lies in a visible drawdown");
            const QRgb middle = image.pixel(x, qRound((curveRow + peakRow) / 2));
            QVERIFY2(isShade(middle), qPrintable(QColor(middle).name()));
            // Nothing above the peak, nothing below the curve.
            QVERIFY(!isShade(image.pixel(x, qRound(peakRow) - 6)));
            QVERIFY(!isShade(image.pixel(x, qRound(curveRow) + 6)));
        } else {
            for (int dy : {-12, -6, 6, 12})
                QVERIFY2(!isShade(image.pixel(x, qRound(curveRow) + dy)), qPrintable(QString::number(dy)));
        }
    }

    void risingFundsHaveNoDrawdownArea()
    {
        const Report report =
            Report::compute(QStringLiteral("7"), ledger("2026-12-01 100 101; 2026-12-02 101 103; 2026-12-03 103 104"));
        QCOMPARE(report.figures().maxDrawdown.value_or(-1), 0.0);
        const ReportChart chart(report);
        QString error;
        const QImage image = renderSvg(chart.toSvg(&error), chart.size());
        QVERIFY(!image.isNull());
        QCOMPARE(pixels(image, chart.plotArea(), isShade).size(), 0);
        QVERIFY(!pixels(image, chart.plotArea(), isCurve).isEmpty());
    }

    void png()
    {
        const Report report = Report::compute(QStringLiteral("1024"), ledger(FiveDays));
        const ReportChart chart(report);
        QString error;
        const QByteArray bytes = chart.toPng(&error);
        QVERIFY2(!bytes.isEmpty(), qPrintable(error));
        QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage image = QImage::fromData(bytes, "PNG");
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), ReportChart::DefaultSize * 2);
        // The same drawing, twice as fine.
        const QPointF highest = chart.pointAt(4) * 2;
        QVERIFY(isCurve(image.pixel(highest.toPoint())) || isCurve(image.pixel(highest.toPoint() + QPoint(0, 1))));
    }

    void markupInTheIdIsEscaped_data()
    {
        QTest::addColumn<QString>("id");
        QTest::newRow("markup") << QStringLiteral("<b>&\"x\"</b>");
        QTest::newRow("control character") << QStringLiteral("7\x1b[31m");
    }

    void markupInTheIdIsEscaped()
    {
        QFETCH(QString, id);
        const Report report = Report::compute(id, ledger(FiveDays));
        const ReportChart chart(report);
        QString error;
        const QByteArray svg = chart.toSvg(&error);
        QVERIFY2(xmlIsWellFormed(svg, &error), qPrintable(error));
        QVERIFY(!svg.contains(id.toUtf8()));

        const QString html = report.toHtml(svg);
        QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
        QVERIFY(!html.contains(id));
        QVERIFY(html.contains(Report::printable(id).toHtmlEscaped()));
        QCOMPARE(html.count(QLatin1String("<svg")), 1);
        QVERIFY(!html.contains(QLatin1String("<?xml")));
        for (const char *date : {"2026-12-01", "2026-12-07"})
            QVERIFY(html.contains(QLatin1String(date)));
        QVERIFY(html.contains(QLatin1String("+2.95%")));
    }

    void reportMatchesTheLedger()
    {
        const ProcessResult result = run({"--json", "report", "1024"});
        CHECK_EXIT(result, 0);
        const QJsonObject json = QJsonDocument::fromJson(result.out).object();
        const QJsonObject expected = Report::compute(QStringLiteral("1024"), ledger(FiveDays)).toJson();
        QCOMPARE(json.value("instanceId").toString(), QStringLiteral("1024"));
        QString wrong = mismatch(expected.value("figures").toObject(), json.value("figures").toObject());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(json.value("days").toArray().size(), 5);
        for (int i = 0; i < 5; ++i) {
            wrong = mismatch(expected.value("days").toArray().at(i).toObject(),
                             json.value("days").toArray().at(i).toObject());
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
        QVERIFY2(mismatch(object(R"({"totalReturn": 0.0294850412, "maxDrawdown": 0.02, "sharpeRatio": 4.5932204844})"),
                          json.value("figures").toObject())
                     .isEmpty(),
                 result.out.constData());

        const ProcessResult text = run({"report", "1024"});
        CHECK_EXIT(text, 0);
        QVERIFY2(text.err.isEmpty(), text.err.constData());
        QVERIFY(text.outText().contains(QRegularExpression(QStringLiteral("totalReturn +\\+2\\.95%"))));
        QVERIFY(text.outText().contains(QRegularExpression(QStringLiteral("2026-12-02 +102,000 +99,960 +-2\\.00%"))));
    }

    void filesRelativeToTheStartFolder()
    {
        QVERIFY(QDir(m_start.path()).mkpath("out"));
        CHECK_EXIT(run({"report", "1024", "--svg", "out/chart.svg", "--png", "out/chart.png", "--html",
                        "out/report.html"}),
                   0);
        QCOMPARE(QDir(startFile("out")).entryList(QDir::Files, QDir::Name),
                 (QStringList{"chart.png", "chart.svg", "report.html"}));
        QVERIFY(!QFile::exists(m_home.filePath("out/chart.svg")));
        QSvgRenderer svg(readFile(startFile("out/chart.svg")));
        QVERIFY(svg.isValid());
        QCOMPARE(QImage(startFile("out/chart.png")).size(), ReportChart::DefaultSize * 2);
        const QString html = QString::fromUtf8(readFile(startFile("out/report.html")));
        QVERIFY(html.contains(QLatin1String("<svg")) && html.contains(QLatin1String("Backtest report: instance 1024")));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown instance")
            << QStringList{"report", "404"} << 1 << "notFound" << qint64(0) << "no cash recorded for instance 404";
        QTest::newRow("svg in a missing folder") << QStringList{"report", "1024", "--svg", "missing/chart.svg"} << 3
                                                 << "io" << qint64(0) << "cannot write missing/chart.svg";
        QTest::newRow("svg over a folder")
            << QStringList{"report", "1024", "--svg", "afolder"} << 3 << "io" << qint64(0) << "cannot write afolder";
        // Files cut off by the limit (as by a full disk) are not renamed into
        // place, and the message names the cause.
        QTest::newRow("png on a full disk") << QStringList{"report", "1024", "--png", "chart.png"} << 3 << "io"
                                            << qint64(4096) << "cannot write chart.png: File too large";
        QTest::newRow("html on a full disk") << QStringList{"report", "1024", "--html", "report.html"} << 3 << "io"
                                             << qint64(20000) << "cannot write report.html: File too large";
        QTest::newRow("one file named twice") << QStringList{"report", "1024", "--svg", "x.svg", "--html", "./x.svg"}
                                              << 2 << "usage" << qint64(0) << "name the same file";
        QTest::newRow("no file name")
            << QStringList{"report", "1024", "--png="} << 2 << "usage" << qint64(0) << "--png needs a file name";
    }

    void failures()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, kind);
        QFETCH(qint64, fileSizeLimit);
        QFETCH(QString, message);
        QTemporaryDir start;
        QVERIFY2(start.isValid(), qPrintable(start.errorString()));
        QVERIFY(QDir(start.path()).mkdir("afolder"));
        const QStringList before = QDir(start.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden);
        ProcessResult result;
        {
            // Only strategyctl's own files are limited: the ledger is read, not written.
            std::unique_ptr<FileSizeLimit> limit(fileSizeLimit ? new FileSizeLimit(fileSizeLimit) : nullptr);
            result = runProcess(QStringLiteral(STRATEGYCTL_PATH),
                                QStringList{"--home", m_home.path(), "--json"} + args, m_home.processEnvironment(),
                                start.path());
        }
        CHECK_EXIT(result, status);
        const QJsonObject error = QJsonDocument::fromJson(result.out).object().value("error").toObject();
        QCOMPARE(error.value("kind").toString(), kind);
        QVERIFY2(error.value("message").toString().contains(message), qPrintable(error.value("message").toString()));
        // Nothing written, not even in part, and no temporary file left.
        QCOMPARE(QDir(start.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), before);
        QVERIFY(QFileInfo(start.path() + "/afolder").isDir());
    }

    void chartsNeedAOneShotRun()
    {
        const ProcessResult result =
            run({"--json", "shell"}, "report 1024\nreport 1024 --svg shell.svg\n");
        CHECK_EXIT(result, 1);
        const QList<QByteArray> lines = result.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(lines.at(0)).object().value("figures").toObject().value("days").toInt(), 5);
        QCOMPARE(QJsonDocument::fromJson(lines.at(1)).object().value("error").toObject().value("kind").toString(),
                 QStringLiteral("refused"));
        QVERIFY(!QFile::exists(startFile("shell.svg")));
    }
};

int main(int argc, char **argv)
{
    // Charts draw text: the font database comes with a QGuiApplication.
    const std::unique_ptr<QGuiApplication> app = ReportChart::createApplication(argc, argv);
    tst_Report test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_report.moc"
