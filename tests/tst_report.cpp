// The performance report of a backtest instance: BacktestReport's figures
// against ledgers worked out by hand and its texts; EquityChart read back
// pixel by pixel (SVG through QSvgRenderer, PNG decoded, paint() on an
// image) at any size, its HTML page and its files, written whole or not at
// all; and `strategyctl report` end to end, once.

#include "pixels.h"
#include "testsupport.h"

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/comparisonchart.h>
#include <StrategyLogic/equitychart.h>
#include <StrategyLogic/reporthtml.h>

#include <QtTest>
#include <QTranslator>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cmath>
#include <tuple>

using StrategyLogic::BacktestReport;
using StrategyLogic::ComparisonChart;
using StrategyLogic::EquityChart;

Q_DECLARE_METATYPE(EquityChart::Format)

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
const QString NeverRecovering = QStringLiteral("2026-12-01 100 95; 2026-12-02 95 90; 2026-12-03 90 92");

// Answers every text of one context with a fixed text.
class FixedTranslator : public QTranslator
{
public:
    FixedTranslator(const char *context, const QString &answer)
        : m_context(context)
        , m_answer(answer)
    {
    }
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *, const char *, int) const override
    {
        return qstrcmp(context, m_context) == 0 ? m_answer : QString();
    }

private:
    const char *m_context;
    QString m_answer;
};

BacktestReport fiveDays()
{
    return BacktestReport::compute(QStringLiteral("1024"), ledger(FiveDays));
}

// Where `actual` differs from `expected` in a value `expected` has, or
// empty: null as null, texts equal, numbers within 1e-9 relative; objects
// and arrays member by member.
QString mismatch(const QJsonValue &expected, const QJsonValue &actual, const QString &at = QString())
{
    const auto text = [](const QJsonValue &v) { return QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact)); };
    if (expected.isObject() && actual.isObject()) {
        const QJsonObject want = expected.toObject();
        for (auto it = want.begin(); it != want.end(); ++it) {
            const QString wrong = mismatch(it.value(), actual.toObject().value(it.key()), at + '/' + it.key());
            if (!wrong.isEmpty())
                return wrong;
        }
        return QString();
    }
    if (expected.isArray() && actual.isArray() && expected.toArray().size() == actual.toArray().size()) {
        for (int i = 0; i < expected.toArray().size(); ++i) {
            const QString wrong = mismatch(expected.toArray().at(i), actual.toArray().at(i), at + '/' + QString::number(i));
            if (!wrong.isEmpty())
                return wrong;
        }
        return QString();
    }
    const double want = expected.toDouble();
    const bool same = expected.type() == actual.type()
        && (expected.isDouble() ? std::abs(want - actual.toDouble()) <= 1e-9 * std::max(1.0, std::abs(want))
                                : expected == actual);
    return same ? QString() : QStringLiteral("%1: expected %2, got %3").arg(at, text(expected), text(actual));
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

// What a widget shows: the chart painted straight onto a device.
QImage paintedImage(const EquityChart &chart)
{
    QImage image(chart.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    chart.paint(&painter);
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
double rowOf(const EquityChart &chart, double funds)
{
    const double low = chart.amountTicks().first();
    const double high = chart.amountTicks().last();
    return chart.plotArea().bottom() - (funds - low) / (high - low) * chart.plotArea().height();
}

// Whether the curve's blue lies within 2 pixels of where every equity point
// of `chart` belongs; empty, or the first point it misses.
QString curveMisses(const EquityChart &chart, const QImage &image)
{
    const QVector<QPoint> curve = pixels(image, chart.plotArea().adjusted(-3, -3, 3, 3), isCurve);
    for (int i = 0; i < chart.report().equity().size(); ++i) {
        const QPointF at(chart.pointAt(i).x(), rowOf(chart, chart.report().equity().at(i).funds));
        const bool near = std::any_of(curve.begin(), curve.end(), [&](const QPoint &p) {
            return std::abs(p.x() - at.x()) <= 2 && std::abs(p.y() - at.y()) <= 2;
        });
        if (!near)
            return QStringLiteral("no curve at point %1 (%2, %3)").arg(i).arg(at.x()).arg(at.y());
    }
    return QString();
}

// The reports of several ledgers, instances "A", "B", ... in that order.
QList<BacktestReport> reportsOf(const QStringList &ledgers)
{
    QList<BacktestReport> reports;
    for (const QString &text : ledgers)
        reports.append(BacktestReport::compute(QString(QChar('A' + reports.size())), ledger(text)));
    return reports;
}

QImage paintedImage(const ComparisonChart &chart)
{
    QImage image(chart.size(), QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    chart.paint(&painter);
    return image;
}

// Whether `at` lies in `area`, its edges included (an area of no width or
// height holds the points on it).
bool within(const QRectF &area, const QPointF &at)
{
    const double slack = 1e-6;
    return std::isfinite(at.x()) && std::isfinite(at.y()) && at.x() >= area.left() - slack
        && at.x() <= area.right() + slack && at.y() >= area.top() - slack && at.y() <= area.bottom() + slack;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden, QDir::Name);
}
} // namespace

class tst_Report : public QObject
{
    Q_OBJECT

private slots:
    void figures_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QByteArray>("returns");  // each day's, in date order
        QTest::addColumn<QByteArray>("expected"); // figures that must match
        QTest::addColumn<int>("notes");
        QTest::addColumn<QString>("period");

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
            << 0 << "2026-12-01 to 2026-12-07, 5 days";
        // The same ledger in another order: sorted by date first.
        QStringList shuffled = FiveDays.split(QLatin1Char(';'));
        std::reverse(shuffled.begin(), shuffled.end());
        shuffled.swapItemsAt(0, 2);
        QTest::newRow("days out of order")
            << shuffled.join(QLatin1Char(';')) << QByteArray("[0.02, -0.02, 0.01, 0.03, -0.01]")
            << QByteArray(R"({"days": 5, "firstDate": "2026-12-01", "totalReturn": 0.0294850412,
                "sharpeRatio": 4.5932204844, "maxDrawdown": 0.02, "maxDrawdownTroughDate": "2026-12-02"})")
            << 0 << "2026-12-01 to 2026-12-07, 5 days";
        // annual 1.1^252 - 1 = 2.69747022667e10; one day has no deviation.
        QTest::newRow("one day")
            << "2026-12-01 100 110" << QByteArray("[0.1]")
            << QByteArray(R"({"days": 1, "totalReturn": 0.1, "annualReturn": 26974702266.758556,
                "annualVolatility": null, "sharpeRatio": null, "maxDrawdown": 0, "maxDrawdownPeakDate": null,
                "maxDrawdownTroughDate": null, "bestDayDate": "2026-12-01", "bestDayReturn": 0.1,
                "worstDayDate": "2026-12-01", "worstDayReturn": 0.1, "winRate": 1})")
            << 0 << "2026-12-01, 1 day";
        QTest::newRow("flat: deviation 0, no Sharpe ratio")
            << "2026-12-01 100 100; 2026-12-02 100 100; 2026-12-03 100 100" << QByteArray("[0, 0, 0]")
            << QByteArray(R"({"days": 3, "totalReturn": 0, "annualReturn": 0, "annualVolatility": 0,
                "sharpeRatio": null, "maxDrawdown": 0, "winRate": 0})")
            << 0 << "2026-12-01 to 2026-12-03, 3 days";
        // 10 % a day from amounts that are not exact in binary: the returns
        // differ in their last bits (a deviation of about 1.3e-16), which is
        // rounding noise, not a Sharpe ratio of 10^16.
        QTest::newRow("equal returns from inexact amounts: no Sharpe ratio")
            << "2026-12-01 0.3 0.33; 2026-12-02 0.7 0.77; 2026-12-03 1.3 1.43"
            << QByteArray("[0.1, 0.1, 0.1]")
            << QByteArray(R"({"days": 3, "annualVolatility": 0, "sharpeRatio": null, "winRate": 1})")
            << 0 << "2026-12-01 to 2026-12-03, 3 days";
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
            << 1 << "2026-12-01 to 2026-12-03, 2 days";
        // The first start (100) is the peak the funds never regain:
        // returns -0.05, -5/95 = -0.0526315789, 2/90 = 0.0222222222; total -0.08,
        // annual 0.92^(252/3) - 1 = -0.9990918084; mean -0.0268031189,
        // deviation 0.0424775748, volatility 0.6743105945, Sharpe -10.0167282256;
        // drawdown (100 - 90) / 100 = 0.1 on 12-02.
        QTest::newRow("a drawdown that never recovers")
            << NeverRecovering << QByteArray("[-0.05, -0.0526315789, 0.0222222222]")
            << QByteArray(R"({"days": 3, "totalReturn": -0.08, "annualReturn": -0.9990918084,
                "annualVolatility": 0.6743105945, "sharpeRatio": -10.0167282256, "maxDrawdown": 0.1,
                "maxDrawdownPeakDate": "2026-12-01", "maxDrawdownPeakFunds": 100,
                "maxDrawdownTroughDate": "2026-12-02", "maxDrawdownTroughFunds": 90,
                "bestDayDate": "2026-12-03", "worstDayDate": "2026-12-02", "winRate": 0.3333333333})")
            << 0 << "2026-12-01 to 2026-12-03, 3 days";
        // 110 is reached on 12-01 and again on 12-03; the fall to 99 on 12-04
        // is measured from the later: 11 / 110 = 0.1 (the earlier dip to 105
        // is 5 / 110).
        QTest::newRow("a peak reached twice: the drawdown starts at the later")
            << "2026-12-01 100 110; 2026-12-02 110 105; 2026-12-03 105 110; 2026-12-04 110 99"
            << QByteArray("[0.1, -0.0454545455, 0.0476190476, -0.1]")
            << QByteArray(R"({"days": 4, "maxDrawdown": 0.1, "maxDrawdownPeakDate": "2026-12-03",
                "maxDrawdownPeakFunds": 110, "maxDrawdownTroughDate": "2026-12-04",
                "maxDrawdownTroughFunds": 99, "winRate": 0.5})")
            << 0 << "2026-12-01 to 2026-12-04, 4 days";
        // End funds 0 mark a day that has not ended; annual 1.01^252 - 1 = 11.2740021.
        QTest::newRow("a day without end funds is left out")
            << "2026-12-01 100 101; 2026-12-02 101 0" << QByteArray("[0.01, null]")
            << QByteArray(R"({"days": 1, "skippedDays": 1, "lastDate": "2026-12-01", "endFunds": 101,
                "totalReturn": 0.01, "annualReturn": 11.274002099})")
            << 1 << "2026-12-01, 1 day";
        QTest::newRow("no day counts")
            << "2026-12-01 0 100; 2026-12-02 -5 100" << QByteArray("[null, null]")
            << QByteArray(R"({"days": 0, "skippedDays": 2, "firstDate": null, "totalReturn": null,
                "annualReturn": null, "annualVolatility": null, "sharpeRatio": null, "maxDrawdown": null,
                "bestDayReturn": null, "winRate": null})")
            << 2 << "";
        QTest::newRow("a return beyond a double is left out")
            << "2026-12-01 1e-300 1e300; 2026-12-02 100 110" << QByteArray("[null, 0.1]")
            << QByteArray(R"({"days": 1, "skippedDays": 1, "startFunds": 100, "totalReturn": 0.1})") << 1
            << "2026-12-02, 1 day";
        // Funds below 0: -150 %, and no annual rate of a loss beyond everything.
        QTest::newRow("end funds below 0")
            << "2026-12-01 100 -50" << QByteArray("[-1.5]")
            << QByteArray(R"({"days": 1, "totalReturn": -1.5, "annualReturn": null, "maxDrawdown": 1.5})") << 0
            << "2026-12-01, 1 day";
    }

    void figures()
    {
        QFETCH(QString, days);
        QFETCH(QByteArray, returns);
        QFETCH(QByteArray, expected);
        QFETCH(int, notes);
        QFETCH(QString, period);
        const BacktestReport report = BacktestReport::compute(QStringLiteral("1024"), ledger(days));
        const QJsonObject json = report.toJson();
        QJsonArray wantDays;
        for (const QJsonValue &value : QJsonDocument::fromJson(returns).array())
            wantDays.append(QJsonObject{{"return", value}});
        const QString wrong = mismatch(QJsonObject{{"instanceId", "1024"}, {"days", wantDays},
                                                   {"figures", QJsonDocument::fromJson(expected).object()}},
                                       json);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        for (int i = 0; i < wantDays.size(); ++i) {
            QCOMPARE(report.days().at(i).counts(), !wantDays.at(i).toObject().value("return").isNull());
            QVERIFY2(i == 0 || report.days().at(i - 1).date < report.days().at(i).date, "days sorted by date");
        }
        QCOMPARE(json.value("notes").toArray().size(), notes);
        QCOMPARE(report.notes().size(), notes);
        QCOMPARE(report.period(), period);
        QCOMPARE(QStringList(json.value("figures").toObject().keys()),
                 [] { QStringList keys = BacktestReport::figureKeys(); keys.sort(); return keys; }());
        // Undefined values are null in the document, never a number such as NaN.
        const QByteArray text = QJsonDocument(json).toJson();
        QVERIFY2(!text.contains("nan") && !text.contains("inf"), text.constData());
        // The curve: the first start, then every counting day's end.
        const int counting = json.value("figures").toObject().value("days").toInt();
        QCOMPARE(report.equity().size(), counting ? counting + 1 : 0);
    }

    void texts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("loss") << "signedPercent" << -0.005 << "-0.50%";
        QTest::newRow("loss rounding to nothing") << "signedPercent" << -0.00001 << "0.00%";
        QTest::newRow("percent rounding to nothing") << "percent" << -0.00001 << "0.00%";
        QTest::newRow("ratio rounding to nothing") << "ratio" << -0.001 << "0.00";
        // A finite return whose percentage overflows a double, or is too
        // long for the plain form: scientific notation, never "inf".
        QTest::newRow("day return near the largest double") << "signedPercent" << 1.5e308 << "+1.50e+310%";
        QTest::newRow("loss near the largest double") << "signedPercent" << -1.7976931348623157e308 << "-1.80e+310%";
        QTest::newRow("percent near the largest double") << "percent" << 1e308 << "1.00e+310%";
        QTest::newRow("percent just too long for the plain form") << "signedPercent" << 1e13 << "+1.00e+15%";
        QTest::newRow("percent longest in the plain form") << "signedPercent" << 9.99e12 << "+999000000000000.00%";
        QTest::newRow("tiny percent") << "signedPercent" << 1e-300 << "0.00%";
        QTest::newRow("cents") << "funds" << 998500.5 << "998,500.50";
        QTest::newRow("finer than cents") << "funds" << 102948.50412 << "102,948.50412";
        QTest::newRow("negative amount") << "funds" << -50.0 << "-50";
        QTest::newRow("not a number") << "funds" << qQNaN() << "-";
    }

    void texts()
    {
        QFETCH(QString, kind);
        QFETCH(double, value);
        QFETCH(QString, text);
        using Format = QString (*)(std::optional<double>);
        const QMap<QString, Format> formats{{"signedPercent", &BacktestReport::signedPercent},
                                            {"percent", &BacktestReport::percent},
                                            {"ratio", &BacktestReport::ratio},
                                            {"funds", &BacktestReport::funds}};
        const Format format = formats.value(kind);
        QVERIFY(format);
        QCOMPARE(format(value), text);
        QCOMPARE(format(std::nullopt), QStringLiteral("-"));
    }

    // What people read: the figures and days as strategyctl and the HTML
    // page show them.
    void peopleTexts_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("day"); // -1: the figures
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("figures") << FiveDays << -1
                                 << QByteArray(R"({"days": "5", "totalReturn": "+2.95%", "annualReturn": "+332.56%",
                                    "annualVolatility": "32.92%", "sharpeRatio": "4.59", "maxDrawdown": "2.00%",
                                    "maxDrawdownPeakDate": "2026-12-01", "maxDrawdownPeakFunds": "102,000",
                                    "endFunds": "102,948.50412", "worstDayReturn": "-2.00%",
                                    "winRate": "60.00%"})");
        QTest::newRow("a day in a drawdown")
            << FiveDays << 1
            << QByteArray(R"({"date": "2026-12-02", "initialFunds": "102,000", "endFunds": "99,960",
                "return": "-2.00%", "drawdown": "2.00%"})");
        QTest::newRow("a day at its peak") << FiveDays << 0
                                           << QByteArray(R"({"return": "+2.00%", "drawdown": "-"})");
        QTest::newRow("the peak is the first start")
            << NeverRecovering << -1 << QByteArray(R"json({"maxDrawdownPeakDate": "2026-12-01 (start)"})json");
        QTest::newRow("a day left out") << "2026-12-01 100 101; 2026-12-02 101 0" << 1
                                        << QByteArray(R"({"endFunds": "0", "return": "-", "drawdown": "-"})");
        QTest::newRow("no figures") << "2026-12-01 0 100" << -1
                                    << QByteArray(R"({"firstDate": "-", "sharpeRatio": "-", "maxDrawdown": "-",
                                       "maxDrawdownPeakDate": "-", "days": "0", "skippedDays": "1"})");
    }

    void peopleTexts()
    {
        QFETCH(QString, days);
        QFETCH(int, day);
        QFETCH(QByteArray, expected);
        const BacktestReport report = BacktestReport::compute(QStringLiteral("1024"), ledger(days));
        const QJsonObject texts = day < 0 ? report.figuresText() : BacktestReport::dayText(report.days().at(day));
        const QString wrong = mismatch(QJsonDocument::fromJson(expected).object(), texts);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QCOMPARE(QStringList(texts.keys()).size(),
                 (day < 0 ? BacktestReport::figureKeys() : BacktestReport::dayKeys()).size());
    }

    void printable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "1024 趋势" << "1024 趋势";
        QTest::newRow("line breaks and tabs") << "a\nb\tc\r" << "a\\nb\\tc\\r";
        QTest::newRow("escape sequence") << "7\x1b[31m" << "7\\x1b[31m";
        QTest::newRow("delete and C1 controls") << QString::fromUtf8("x\x7f\xc2\x85") << "x\\x7f\\x85";
    }

    void printable()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(BacktestReport::printable(text), shown);
    }

    // A widget lays the chart out for its own size and paints it, the SVG
    // is drawn at it: the curve goes where the values put it. The read-out
    // under the pointer asks for the nearest point.
    void layoutAtAnySize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("readable"); // large enough for the curve to be checked in the pixels
        QTest::newRow("default") << EquityChart::DefaultSize << true;
        QTest::newRow("a small pane") << QSize(480, 270) << true;
        QTest::newRow("full screen") << QSize(1920, 1080) << true;
        QTest::newRow("tall") << QSize(600, 900) << true;
        QTest::newRow("too small for the texts") << QSize(60, 40) << false;
        QTest::newRow("nothing") << QSize(0, 0) << false;
    }

    void layoutAtAnySize()
    {
        QFETCH(QSize, size);
        QFETCH(bool, readable);
        const BacktestReport report = fiveDays();
        const EquityChart chart(report, size);
        QCOMPARE(chart.size(), size);
        const QRectF plot = chart.plotArea();
        QVERIFY2(plot.width() >= 0 && plot.height() >= 0, "the plot area is not turned inside out");
        // The points inside the plot, also where it is narrower than their inset.
        for (int i = 0; i < report.equity().size(); ++i)
            QVERIFY2(within(plot, chart.pointAt(i)), qPrintable(QStringLiteral("point %1 outside the plot").arg(i)));
        // The axis holds every amount (99960 to 103988.388) without wasting the height.
        const QVector<double> &ticks = chart.amountTicks();
        QVERIFY(ticks.size() >= 3 && ticks.first() <= 99960 && ticks.last() >= 103988.388);
        QVERIFY(ticks.last() - ticks.first() < 3 * (103988.388 - 99960));

        // Left to right at equal steps, from the plot's left to its right.
        const int n = report.equity().size();
        for (int i = 1; i < n; ++i)
            QVERIFY(std::abs((chart.pointAt(i).x() - chart.pointAt(i - 1).x())
                             - (chart.pointAt(1).x() - chart.pointAt(0).x()))
                    < 0.01);
        if (readable) {
            QVERIFY(chart.pointAt(0).x() - plot.left() < plot.width() / 10);
            QVERIFY(plot.right() - chart.pointAt(n - 1).x() < plot.width() / 10);
            QCOMPARE(chart.labelledPoints().first(), 0);
            QCOMPARE(chart.labelledPoints().last(), n - 1);
            if (size == EquityChart::DefaultSize) // each day has a date under it
                QCOMPARE(chart.labelledPoints(), (QVector<int>{0, 1, 2, 3, 4, 5}));
            QVERIFY(QRectF(QPointF(0, 0), QSizeF(size)).contains(plot));
            const QImage image = paintedImage(chart);
            QString missed = curveMisses(chart, image);
            QVERIFY2(missed.isEmpty(), qPrintable(missed));
            QCOMPARE(QColor(image.pixel(1, size.height() - 2)), QColor(Qt::white)); // its own ground
            QString error;
            missed = curveMisses(chart, renderSvg(chart.toSvg(&error), size));
            QVERIFY2(missed.isEmpty(), qPrintable(missed + error));
        } else if (!size.isEmpty()) {
            paintedImage(chart); // draws what fits, and returns
        }

        // The point under the pointer: the nearest by x, the ends beyond.
        for (int i = 0; i < n && readable; ++i) {
            const double half = (chart.pointAt(1).x() - chart.pointAt(0).x()) / 2;
            QCOMPARE(chart.pointNearest(chart.pointAt(i).x()), i);
            QCOMPARE(chart.pointNearest(chart.pointAt(i).x() + half * 0.9), i);
            QCOMPARE(chart.pointNearest(chart.pointAt(i).x() - half * 0.9), i);
        }
        QCOMPARE(chart.pointNearest(-1e9), 0);
        if (readable)
            QCOMPARE(chart.pointNearest(1e9), n - 1);
        else
            QVERIFY(chart.pointNearest(1e9) >= 0 && chart.pointNearest(1e9) < n);

        // Laid out anew for another size: as if made at that size.
        EquityChart resized(report);
        resized.setSize(size);
        QCOMPARE(resized.plotArea(), plot);
        QCOMPARE(resized.pointAt(n - 1), chart.pointAt(n - 1));
        QCOMPARE(resized.labelledPoints(), chart.labelledPoints());
    }

    // The chart's period: the report's words untranslated ("1 day"), the
    // translator's with the dates and the count when there is one.
    void periodText_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<QString>("translation");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one day") << "2026-12-01 100 101" << QString() << "2026-12-01, 1 day";
        QTest::newRow("five days") << FiveDays << QString() << "2026-12-01 to 2026-12-07, 5 days";
        QTest::newRow("no day counted") << "2026-12-01 0 100" << QString() << QString();
        QTest::newRow("translated") << FiveDays << "%1 .. %2 (%n)" << "2026-12-01 .. 2026-12-07 (5)";
        QTest::newRow("translated, one day") << "2026-12-01 100 101" << "%1 (%n)" << "2026-12-01 (1)";
    }
    void periodText()
    {
        QFETCH(QString, days);
        QFETCH(QString, translation);
        QFETCH(QString, expected);
        FixedTranslator translator("StrategyLogic::EquityChart", translation);
        if (!translation.isEmpty())
            QVERIFY(QCoreApplication::installTranslator(&translator));
        const BacktestReport report = BacktestReport::compute(QStringLiteral("1024"), ledger(days));
        const QString text = EquityChart::periodText(report);
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(text, expected);
    }

    void noPointToShow()
    {
        const BacktestReport report = BacktestReport::compute(QStringLiteral("1"), ledger("2026-12-01 0 100"));
        const EquityChart chart(report);
        QCOMPARE(chart.pointNearest(100), -1);
        QString error;
        QVERIFY2(!chart.toSvg(&error).isEmpty(), qPrintable(error));
        QCOMPARE(pixels(paintedImage(chart), chart.plotArea(), isCurve).size(), 0);
    }

    void svgDrawdownShadedBelowThePeak_data()
    {
        QTest::addColumn<QString>("days");
        QTest::addColumn<int>("segment"); // between equity points segment and segment + 1; -1: anywhere
        QTest::addColumn<double>("along");
        QTest::addColumn<bool>("shaded");
        QTest::newRow("after the first peak") << FiveDays << 1 << 0.75 << true;
        QTest::newRow("after the second peak") << FiveDays << 4 << 0.6 << true;
        QTest::newRow("rising to the first peak") << FiveDays << 0 << 0.5 << false;
        QTest::newRow("above the old peak") << FiveDays << 3 << 0.9 << false;
        QTest::newRow("never recovering") << NeverRecovering << 2 << 0.5 << true;
        QTest::newRow("rising funds: nowhere") << "2026-12-01 100 101; 2026-12-02 101 103; 2026-12-03 103 104" << -1
                                               << 0.0 << false;
    }

    void svgDrawdownShadedBelowThePeak()
    {
        QFETCH(QString, days);
        QFETCH(int, segment);
        QFETCH(double, along);
        QFETCH(bool, shaded);
        const BacktestReport report = BacktestReport::compute(QStringLiteral("1024"), ledger(days));
        const EquityChart chart(report);
        QString error;
        const QImage image = renderSvg(chart.toSvg(&error), chart.size());
        QVERIFY2(!image.isNull(), qPrintable(error));
        if (segment < 0) {
            QCOMPARE(report.drawdownPeakPoint(), -1);
            QCOMPARE(pixels(image, chart.plotArea(), isShade).size(), 0);
            QVERIFY(!pixels(image, chart.plotArea(), isCurve).isEmpty());
            return;
        }
        const BacktestReport::EquityPoint &from = report.equity().at(segment);
        const BacktestReport::EquityPoint &to = report.equity().at(segment + 1);
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

    void png()
    {
        const EquityChart chart(fiveDays());
        QString error;
        const QByteArray bytes = chart.toPng(&error);
        QVERIFY2(!bytes.isEmpty(), qPrintable(error));
        QVERIFY(bytes.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage image = QImage::fromData(bytes, "PNG");
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), EquityChart::DefaultSize * 2);
        // The same drawing, twice as fine.
        const QPointF highest = chart.pointAt(4) * 2;
        QVERIFY(isCurve(image.pixel(highest.toPoint())) || isCurve(image.pixel(highest.toPoint() + QPoint(0, 1))));
        QCOMPARE(QImage::fromData(chart.toPng(&error, 1), "PNG").size(), EquityChart::DefaultSize);
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
        const BacktestReport report = BacktestReport::compute(id, ledger(FiveDays));
        const EquityChart chart(report);
        QString error;
        const QByteArray svg = chart.toSvg(&error);
        QVERIFY2(QSvgRenderer(svg).isValid(), svg.constData()); // well-formed
        QVERIFY(!svg.contains(id.toUtf8()));

        const QString html = StrategyLogic::reportHtml(report, svg);
        QVERIFY(html.startsWith(QLatin1String("<!DOCTYPE html>")));
        QVERIFY(!html.contains(id));
        QVERIFY(html.contains(BacktestReport::printable(id).toHtmlEscaped()));
        QCOMPARE(html.count(QLatin1String("<svg")), 1);
        QVERIFY(!html.contains(QLatin1String("<?xml")));
        for (const char *date : {"2026-12-01", "2026-12-07"})
            QVERIFY(html.contains(QLatin1String(date)));
        QVERIFY(html.contains(QLatin1String("+2.95%")));
        QCOMPARE(chart.toHtml(&error), html.toUtf8());
    }

    void htmlWithoutAChart()
    {
        const BacktestReport report =
            BacktestReport::compute(QStringLiteral("1024"), ledger("2026-12-01 100 101; 2026-12-02 101 0"));
        const QString html = StrategyLogic::reportHtml(report, QByteArray());
        QVERIFY(!html.contains(QLatin1String("<svg")));
        QVERIFY(html.contains(QLatin1String("<h2>Notes</h2>")));
        QVERIFY(html.contains(report.notes().first().toHtmlEscaped()));
        QVERIFY(html.endsWith(QLatin1String("</html>\n")));
    }

    // Saving: whole or not at all; the folder must be there.
    // Every curve scaled to start where the first drawn one starts, and
    // ending at that start times its own total return; a report with no
    // day to draw keeps its place and draws nothing.
    void comparisonFromTheSameStart_data()
    {
        QTest::addColumn<QStringList>("ledgers");
        QTest::addColumn<double>("base");
        QTest::addColumn<QList<int>>("drawn"); // the curves with points
        QTest::newRow("two starts") << QStringList{FiveDays, NeverRecovering} << 100000.0 << QList<int>{0, 1};
        QTest::newRow("one curve") << QStringList{NeverRecovering} << 100.0 << QList<int>{0};
        QTest::newRow("no day to draw first")
            << QStringList{"2026-12-01 0 100", NeverRecovering, FiveDays} << 100.0 << QList<int>{1, 2};
        QTest::newRow("a day not ended between")
            << QStringList{FiveDays, "2026-12-01 100 0", "2026-12-01 5 6; 2026-12-02 6 4"} << 100000.0
            << QList<int>{0, 2};
        QTest::newRow("no curve at all") << QStringList{"2026-12-01 100 0"} << 1.0 << QList<int>{};
        QTest::newRow("nothing compared") << QStringList{} << 1.0 << QList<int>{};
    }
    void comparisonFromTheSameStart()
    {
        QFETCH(QStringList, ledgers);
        QFETCH(double, base);
        QFETCH(QList<int>, drawn);
        const QList<BacktestReport> reports = reportsOf(ledgers);
        const ComparisonChart chart(reports);
        QCOMPARE(chart.curveCount(), ledgers.size());
        QCOMPARE(chart.base(), base);
        QList<int> withPoints;
        for (int c = 0; c < chart.curveCount(); ++c) {
            if (!chart.reports().at(c).equity().isEmpty())
                withPoints.append(c);
        }
        QCOMPARE(withPoints, drawn);
        QVERIFY(chart.amountTicks().size() >= 2);
        const QImage image = paintedImage(chart);
        QCOMPARE(QColor(image.pixel(1, 1)), QColor(Qt::white)); // its own ground
        for (const int c : drawn) {
            const BacktestReport &report = reports.at(c);
            const int last = report.equity().size() - 1;
            QCOMPARE(chart.value(c, 0), base);
            QCOMPARE(chart.pointAt(c, 0), chart.pointAt(drawn.first(), 0));
            const double end = base * (1 + *report.figures().totalReturn);
            QVERIFY2(std::abs(chart.value(c, last) - end) <= 1e-9 * end,
                     qPrintable(QStringLiteral("curve %1 ends at %2, not %3").arg(c).arg(chart.value(c, last)).arg(end)));
            for (int i = 0; i <= last; ++i) {
                QVERIFY(chart.value(c, i) >= chart.amountTicks().first() && chart.value(c, i) <= chart.amountTicks().last());
                QVERIFY2(within(chart.plotArea(), chart.pointAt(c, i)),
                         qPrintable(QStringLiteral("curve %1 point %2 outside the plot").arg(c).arg(i)));
            }
            QVERIFY2(colourNear(image, chart.pointAt(c, last), chart.curveColor(c)),
                     qPrintable(QStringLiteral("curve %1 not drawn at its end").arg(c)));
        }
        if (!drawn.isEmpty()) // the curve drawn last covers the common start
            QVERIFY(colourNear(image, chart.pointAt(drawn.first(), 0), chart.curveColor(drawn.last())));
        for (int c = 1; c < chart.curveCount(); ++c)
            QVERIFY(chart.curveColor(c) != chart.curveColor(c - 1));
    }

    // Laid out at any size: the plot never turned inside out, the points
    // inside it, day n of every curve above the same x; drawn without fault.
    void comparisonAtAnySize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("readable"); // large enough to read the curves in the pixels
        QTest::newRow("default") << QSize(960, 540) << true;
        QTest::newRow("a small pane") << QSize(480, 270) << true;
        QTest::newRow("full screen") << QSize(1920, 1080) << true;
        QTest::newRow("tall") << QSize(600, 900) << true;
        QTest::newRow("too small for the texts") << QSize(60, 40) << false;
        QTest::newRow("a line") << QSize(400, 1) << false;
        QTest::newRow("nothing") << QSize(0, 0) << false;
    }
    void comparisonAtAnySize()
    {
        QFETCH(QSize, size);
        QFETCH(bool, readable);
        // Eight ledgers and more: the palette comes round again, dashed.
        QStringList ledgers{FiveDays, NeverRecovering, "2026-12-01 100 100"};
        for (int i = 0; i < 7; ++i)
            ledgers.append(QStringLiteral("2026-12-01 1000 %1; 2026-12-02 %1 %2").arg(1000 + 10 * i).arg(1005 + 20 * i));
        const ComparisonChart chart(reportsOf(ledgers), size);
        QCOMPARE(chart.size(), size);
        const QRectF plot = chart.plotArea();
        QVERIFY2(plot.width() >= 0 && plot.height() >= 0, "the plot area is not turned inside out");
        for (int c = 0; c < chart.curveCount(); ++c) {
            for (int i = 0; i < chart.reports().at(c).equity().size(); ++i) {
                QVERIFY2(within(plot, chart.pointAt(c, i)),
                         qPrintable(QStringLiteral("curve %1 point %2 outside the plot").arg(c).arg(i)));
                QCOMPARE(chart.pointAt(c, i).x(), chart.pointAt(0, i).x());
            }
        }
        if (readable) {
            QVERIFY(QRectF(QPointF(0, 0), QSizeF(size)).contains(plot));
            QVERIFY(chart.pointAt(0, 5).x() > chart.pointAt(0, 0).x());
            const QImage image = paintedImage(chart);
            for (const int c : {0, 1}) {
                const int last = chart.reports().at(c).equity().size() - 1;
                QVERIFY2(colourNear(image, chart.pointAt(c, last), chart.curveColor(c)),
                         qPrintable(QStringLiteral("curve %1 not drawn at its end").arg(c)));
            }
        } else if (!size.isEmpty()) {
            paintedImage(chart); // draws what fits, and returns
        }
        // Laid out anew for another size: as if made at that size.
        ComparisonChart resized(chart.reports());
        resized.setSize(size);
        QCOMPARE(resized.plotArea(), plot);
        QCOMPARE(resized.pointAt(1, 3), chart.pointAt(1, 3));
    }

    void save_data()
    {
        using Format = EquityChart::Format;
        QTest::addColumn<Format>("format");
        QTest::addColumn<QString>("name");     // in a fresh folder holding "afolder/" and "old.png"
        QTest::addColumn<qint64>("sizeLimit"); // 0: none
        QTest::addColumn<QString>("error");    // empty: saved
        QTest::newRow("svg") << Format::Svg << "chart.svg" << qint64(0) << "";
        QTest::newRow("png over an old one") << Format::Png << "old.png" << qint64(0) << "";
        QTest::newRow("html") << Format::Html << "report.html" << qint64(0) << "";
        QTest::newRow("in a missing folder") << Format::Svg << "missing/chart.svg" << qint64(0) << "No such file or directory";
        QTest::newRow("below a file") << Format::Svg << "old.png/chart.svg" << qint64(0) << "Not a directory";
        QTest::newRow("over a folder") << Format::Svg << "afolder" << qint64(0) << "Filename refers to a directory";
        // Cut off by the limit as by a full disk: never renamed into place.
        QTest::newRow("png on a full disk") << Format::Png << "chart.png" << qint64(4096) << "File too large";
        QTest::newRow("html on a full disk, over an old file") << Format::Html << "old.png" << qint64(20000)
                                                               << "File too large";
    }

    void save()
    {
        QFETCH(EquityChart::Format, format);
        QFETCH(QString, name);
        QFETCH(qint64, sizeLimit);
        QFETCH(QString, error);
        QTemporaryDir folder;
        QVERIFY2(folder.isValid(), qPrintable(folder.errorString()));
        QVERIFY(QDir(folder.path()).mkdir("afolder"));
        QVERIFY(writeFile(folder.filePath("old.png"), "the old file"));
        const QMap<QString, QByteArray> before = folderContents(folder.path());
        const EquityChart chart(fiveDays());
        QString reason;
        const QByteArray expected = chart.document(format, &reason);
        QVERIFY2(!expected.isEmpty(), qPrintable(reason));

        bool saved = false;
        {
            std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(sizeLimit) : nullptr);
            saved = chart.save(folder.filePath(name), format, &reason);
        }
        if (error.isEmpty()) {
            QVERIFY2(saved, qPrintable(reason));
            QCOMPARE(readFile(folder.filePath(name)), expected);
            QMap<QString, QByteArray> after = folderContents(folder.path());
            after.remove(name);
            QMap<QString, QByteArray> rest = before;
            rest.remove(name);
            QCOMPARE(after, rest);
        } else {
            QVERIFY(!saved);
            QCOMPARE(reason, error);
            // Nothing written, not even in part; no folder made, no temporary
            // file left.
            QCOMPARE(folderContents(folder.path()), before);
            QCOMPARE(entries(folder.path()), (QStringList{"afolder", "old.png"}));
            QVERIFY(QFileInfo(folder.filePath("afolder")).isDir());
        }
    }

    // The command end to end where docs/cli.md (tst_clidoc) does not go: the
    // tool writes what the library draws; files are taken from the folder it
    // was started in and written whole or not at all; a usage error and the
    // shell touch nothing.
    void strategyctlReport()
    {
        TestHome home;
        QVERIFY2(home.isValid(), qPrintable(home.errorString()));
        QTemporaryDir start;
        QVERIFY2(start.isValid(), qPrintable(start.errorString()));
        const auto run = [&](const QStringList &args, const QByteArray &input = QByteArray()) {
            return runProcess(QStringLiteral(STRATEGYCTL_PATH), QStringList{"--home", home.path()} + args,
                              home.processEnvironment(), start.path(), input);
        };
        QByteArray days;
        for (const BackTestCashInfo &day : ledger(FiveDays))
            days += QStringLiteral("cash day 1024 %1 %2 %3\n")
                        .arg(day.date.toString(Qt::ISODate), QString::number(day.initialFunds, 'g', 17),
                             QString::number(day.endFunds, 'g', 17))
                        .toUtf8();
        CHECK_EXIT(run({"shell"}, days), 0);
        QVERIFY(QDir(start.path()).mkdir("out"));
        CHECK_EXIT(run({"report", "1024", "--svg", "out/chart.svg", "--png", "out/chart.png", "--html", "out/report.html"}),
                   0);
        const EquityChart chart(fiveDays());
        QString error;
        QCOMPARE(entries(start.filePath("out")), (QStringList{"chart.png", "chart.svg", "report.html"}));
        QVERIFY(!QFile::exists(home.filePath("out")));
        QCOMPARE(readFile(start.filePath("out/chart.svg")), chart.toSvg(&error));
        QCOMPARE(readFile(start.filePath("out/chart.png")), chart.toPng(&error));
        QCOMPARE(readFile(start.filePath("out/report.html")), chart.toHtml(&error));

        // Arguments, stdin, the size limit of strategyctl's own files, the exit status, the error.
        const QList<std::tuple<QStringList, QByteArray, qint64, int, QString, QString>> refusals{
            {{"report", "1024", "--png", "out/big.png"}, {}, 4096, 3, "io", "cannot write out/big.png: File too large"},
            {{"report", "1024", "--svg", "x.svg", "--html", "./x.svg"}, {}, 0, 2, "usage",
             "--svg and --html name the same file './x.svg'"},
            {{"shell"}, "report 1024 --svg out/shell.svg\n", 0, 1, "refused",
             "charts are drawn by a one-shot 'strategyctl report'"},
        };
        const QMap<QString, QByteArray> files = folderContents(start.path());
        for (const auto &[args, input, sizeLimit, status, kind, message] : refusals) {
            ProcessResult result;
            {
                std::unique_ptr<FileSizeLimit> limit(sizeLimit ? new FileSizeLimit(sizeLimit) : nullptr);
                result = run(QStringList{"--json"} + args, input);
            }
            CHECK_EXIT(result, status);
            const QJsonObject failure = QJsonDocument::fromJson(result.out).object().value("error").toObject();
            QCOMPARE(failure.value("kind").toString(), kind);
            QVERIFY2(failure.value("message").toString().contains(message), qPrintable(result.describe()));
            QCOMPARE(folderContents(start.path()), files);
        }
    }
};

int main(int argc, char **argv)
{
    // Charts draw text: the font database comes with a QGuiApplication.
    const std::unique_ptr<QGuiApplication> app = EquityChart::createApplication(argc, argv);
    tst_Report test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_report.moc"
