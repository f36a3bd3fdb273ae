#include <StrategyLogic/backtestreport.h>

#include <StrategyLogic/displaytext.h>

#include <QJsonArray>
#include <QLocale>
#include <QMap>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace StrategyLogic {

namespace {
// Below this, a standard deviation of day returns is rounding noise (a
// series of equal returns computed from different amounts): a Sharpe ratio
// divided by it would be a meaningless huge number.
const double NegligibleDeviation = 1e-12;

QJsonValue number(std::optional<double> value)
{
    return value && std::isfinite(*value) ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue dateValue(const QDate &date)
{
    return date.isValid() ? QJsonValue(date.toString(Qt::ISODate)) : QJsonValue(QJsonValue::Null);
}

std::optional<double> finiteOrNone(double value)
{
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

QString dash()
{
    return QStringLiteral("-");
}

// Why a day does not count, or empty when it does.
QString leftOutBecause(const BackTestCashInfo &day)
{
    if (!day.date.isValid())
        return QStringLiteral("it has no valid date");
    if (!std::isfinite(day.initialFunds) || day.initialFunds <= 0)
        return QStringLiteral("its initial funds are %1").arg(day.initialFunds);
    if (!std::isfinite(day.endFunds))
        return QStringLiteral("its end funds are %1").arg(day.endFunds);
    if (day.endFunds == 0)
        return QStringLiteral("it has no end funds (0: the day has not ended)");
    if (!std::isfinite(day.endFunds / day.initialFunds))
        return QStringLiteral("its return is beyond what a number holds");
    return QString();
}
// `fraction` as a percentage with two decimals: plain while it has at most
// 15 digits before the point, else in scientific notation ("1.23e+310"),
// its exponent that of `fraction` moved by two, since the product may not
// fit in a double (a finite day return near 1e308 would otherwise show as
// "inf").
QString hundredfold(double fraction)
{
    const double scaled = fraction * 100;
    if (std::isfinite(scaled) && std::fabs(scaled) < 1e15)
        return QString::number(scaled, 'f', 2);
    const QString text = QString::number(fraction, 'e', 2); // "-1.23e+308"
    const int e = text.indexOf(QLatin1Char('e'));
    const int exponent = text.mid(e + 1).toInt() + 2;
    return text.left(e) + (exponent < 0 ? QStringLiteral("e-") : QStringLiteral("e+"))
           + QStringLiteral("%1").arg(std::abs(exponent), 2, 10, QLatin1Char('0'));
}
} // namespace

BacktestReport BacktestReport::compute(const QString &instanceId, QList<BackTestCashInfo> days)
{
    std::stable_sort(days.begin(), days.end(),
                     [](const BackTestCashInfo &a, const BackTestCashInfo &b) { return a.date < b.date; });
    BacktestReport report;
    report.m_instanceId = instanceId;
    Figures &f = report.m_figures;

    QVector<double> returns;
    double peak = 0;
    QDate peakDate;
    int peakPoint = 0;
    bool peakIsStart = true;
    for (const BackTestCashInfo &cash : qAsConst(days)) {
        Day day;
        day.date = cash.date;
        day.initialFunds = cash.initialFunds;
        day.endFunds = cash.endFunds;
        const QString because = leftOutBecause(cash);
        if (!because.isEmpty()) {
            ++f.skippedDays;
            const QString date = cash.date.isValid() ? cash.date.toString(Qt::ISODate) : QStringLiteral("a day");
            report.m_notes.append(QStringLiteral("%1 is left out of the figures: %2.").arg(date, because));
            report.m_days.append(day);
            continue;
        }
        const double r = cash.endFunds / cash.initialFunds - 1;
        day.dayReturn = r;
        returns.append(r);
        if (report.m_equity.isEmpty()) {
            f.firstDate = cash.date;
            f.startFunds = cash.initialFunds;
            peak = cash.initialFunds;
            peakDate = cash.date;
            report.m_equity.append(EquityPoint{cash.date, true, cash.initialFunds, cash.initialFunds});
        }
        // ">=": a drawdown is measured from the latest time the funds stood
        // at their peak.
        if (cash.endFunds >= peak) {
            peak = cash.endFunds;
            peakDate = cash.date;
            peakPoint = report.m_equity.size();
            peakIsStart = false;
        }
        const double drawdown = (peak - cash.endFunds) / peak;
        day.drawdown = drawdown;
        report.m_equity.append(EquityPoint{cash.date, false, cash.endFunds, peak});
        if (drawdown > f.maxDrawdown.value_or(0)) {
            f.maxDrawdown = drawdown;
            f.drawdownPeakDate = peakDate;
            f.drawdownPeakIsStart = peakIsStart;
            f.drawdownPeakFunds = peak;
            f.drawdownTroughDate = cash.date;
            f.drawdownTroughFunds = cash.endFunds;
            report.m_peakPoint = peakPoint;
            report.m_troughPoint = report.m_equity.size() - 1;
        }
        if (!f.bestReturn || r > *f.bestReturn) {
            f.bestReturn = r;
            f.bestDate = cash.date;
        }
        if (!f.worstReturn || r < *f.worstReturn) {
            f.worstReturn = r;
            f.worstDate = cash.date;
        }
        f.lastDate = cash.date;
        f.endFunds = cash.endFunds;
        report.m_days.append(day);
    }

    const int n = returns.size();
    f.days = n;
    if (n == 0)
        return report;
    if (!f.maxDrawdown)
        f.maxDrawdown = 0.0;
    f.totalReturn = finiteOrNone(*f.endFunds / *f.startFunds - 1);
    // A loss beyond everything (negative end funds) has no annual rate.
    if (f.totalReturn && 1 + *f.totalReturn >= 0)
        f.annualReturn = finiteOrNone(std::pow(1 + *f.totalReturn, double(TradingDaysPerYear) / n) - 1);
    double sum = 0;
    int wins = 0;
    for (const double r : qAsConst(returns)) {
        sum += r;
        wins += r > 0 ? 1 : 0;
    }
    f.winRate = double(wins) / n;
    if (n >= 2) {
        const double mean = sum / n;
        double squares = 0;
        for (const double r : qAsConst(returns))
            squares += (r - mean) * (r - mean);
        double deviation = std::sqrt(squares / (n - 1));
        if (deviation <= NegligibleDeviation * std::max(1.0, std::abs(mean)))
            deviation = 0;
        f.annualVolatility = finiteOrNone(deviation * std::sqrt(double(TradingDaysPerYear)));
        if (deviation > 0)
            f.sharpeRatio = finiteOrNone(mean / deviation * std::sqrt(double(TradingDaysPerYear)));
    }
    return report;
}

QStringList BacktestReport::figureKeys()
{
    return {QStringLiteral("days"),
            QStringLiteral("skippedDays"),
            QStringLiteral("firstDate"),
            QStringLiteral("lastDate"),
            QStringLiteral("startFunds"),
            QStringLiteral("endFunds"),
            QStringLiteral("totalReturn"),
            QStringLiteral("annualReturn"),
            QStringLiteral("annualVolatility"),
            QStringLiteral("sharpeRatio"),
            QStringLiteral("maxDrawdown"),
            QStringLiteral("maxDrawdownPeakDate"),
            QStringLiteral("maxDrawdownPeakFunds"),
            QStringLiteral("maxDrawdownTroughDate"),
            QStringLiteral("maxDrawdownTroughFunds"),
            QStringLiteral("bestDayDate"),
            QStringLiteral("bestDayReturn"),
            QStringLiteral("worstDayDate"),
            QStringLiteral("worstDayReturn"),
            QStringLiteral("winRate")};
}

QStringList BacktestReport::dayKeys()
{
    return {QStringLiteral("date"), QStringLiteral("initialFunds"), QStringLiteral("endFunds"),
            QStringLiteral("return"), QStringLiteral("drawdown")};
}

QString BacktestReport::figureLabel(const QString &key)
{
    static const QMap<QString, QString> labels{
        {QStringLiteral("days"), QStringLiteral("Days")},
        {QStringLiteral("skippedDays"), QStringLiteral("Days left out")},
        {QStringLiteral("firstDate"), QStringLiteral("First day")},
        {QStringLiteral("lastDate"), QStringLiteral("Last day")},
        {QStringLiteral("startFunds"), QStringLiteral("Start funds")},
        {QStringLiteral("endFunds"), QStringLiteral("End funds")},
        {QStringLiteral("totalReturn"), QStringLiteral("Total return")},
        {QStringLiteral("annualReturn"), QStringLiteral("Annualised return")},
        {QStringLiteral("annualVolatility"), QStringLiteral("Annualised volatility")},
        {QStringLiteral("sharpeRatio"), QStringLiteral("Sharpe ratio")},
        {QStringLiteral("maxDrawdown"), QStringLiteral("Maximum drawdown")},
        {QStringLiteral("maxDrawdownPeakDate"), QStringLiteral("Drawdown peak")},
        {QStringLiteral("maxDrawdownPeakFunds"), QStringLiteral("Funds at the peak")},
        {QStringLiteral("maxDrawdownTroughDate"), QStringLiteral("Drawdown trough")},
        {QStringLiteral("maxDrawdownTroughFunds"), QStringLiteral("Funds at the trough")},
        {QStringLiteral("bestDayDate"), QStringLiteral("Best day")},
        {QStringLiteral("bestDayReturn"), QStringLiteral("Best day's return")},
        {QStringLiteral("worstDayDate"), QStringLiteral("Worst day")},
        {QStringLiteral("worstDayReturn"), QStringLiteral("Worst day's return")},
        {QStringLiteral("winRate"), QStringLiteral("Winning days")},
    };
    return labels.value(key, key);
}

QJsonObject BacktestReport::dayJson(const Day &day)
{
    return QJsonObject{
        {QStringLiteral("date"), dateValue(day.date)},
        {QStringLiteral("initialFunds"), number(day.initialFunds)},
        {QStringLiteral("endFunds"), number(day.endFunds)},
        {QStringLiteral("return"), number(day.dayReturn)},
        {QStringLiteral("drawdown"), number(day.drawdown)},
    };
}

QJsonObject BacktestReport::figuresJson() const
{
    const Figures &f = m_figures;
    return QJsonObject{
        {QStringLiteral("days"), f.days},
        {QStringLiteral("skippedDays"), f.skippedDays},
        {QStringLiteral("firstDate"), dateValue(f.firstDate)},
        {QStringLiteral("lastDate"), dateValue(f.lastDate)},
        {QStringLiteral("startFunds"), number(f.startFunds)},
        {QStringLiteral("endFunds"), number(f.endFunds)},
        {QStringLiteral("totalReturn"), number(f.totalReturn)},
        {QStringLiteral("annualReturn"), number(f.annualReturn)},
        {QStringLiteral("annualVolatility"), number(f.annualVolatility)},
        {QStringLiteral("sharpeRatio"), number(f.sharpeRatio)},
        {QStringLiteral("maxDrawdown"), number(f.maxDrawdown)},
        {QStringLiteral("maxDrawdownPeakDate"), dateValue(f.drawdownPeakDate)},
        {QStringLiteral("maxDrawdownPeakFunds"), number(f.drawdownPeakFunds)},
        {QStringLiteral("maxDrawdownTroughDate"), dateValue(f.drawdownTroughDate)},
        {QStringLiteral("maxDrawdownTroughFunds"), number(f.drawdownTroughFunds)},
        {QStringLiteral("bestDayDate"), dateValue(f.bestDate)},
        {QStringLiteral("bestDayReturn"), number(f.bestReturn)},
        {QStringLiteral("worstDayDate"), dateValue(f.worstDate)},
        {QStringLiteral("worstDayReturn"), number(f.worstReturn)},
        {QStringLiteral("winRate"), number(f.winRate)},
    };
}

QJsonObject BacktestReport::toJson() const
{
    QJsonArray days;
    for (const Day &day : m_days)
        days.append(dayJson(day));
    return QJsonObject{
        {QStringLiteral("instanceId"), m_instanceId},
        {QStringLiteral("days"), days},
        {QStringLiteral("figures"), figuresJson()},
        {QStringLiteral("notes"), QJsonArray::fromStringList(m_notes)},
    };
}

QString BacktestReport::printable(const QString &text)
{
    // Also the two non-characters that an SVG or HTML document may not hold.
    QString out = visibleText(text);
    return out.replace(QChar(0xfffe), QLatin1String("\\xfffe")).replace(QChar(0xffff), QLatin1String("\\xffff"));
}

QString BacktestReport::signedPercent(std::optional<double> fraction)
{
    if (!fraction || !std::isfinite(*fraction))
        return dash();
    const QString text = hundredfold(*fraction);
    // Rounding may leave "-0.00": no sign for what shows as nothing.
    if (text.toDouble() == 0)
        return QStringLiteral("0.00%");
    return (*fraction > 0 ? QStringLiteral("+") : QString()) + text + QLatin1Char('%');
}

QString BacktestReport::percent(std::optional<double> fraction)
{
    if (!fraction || !std::isfinite(*fraction))
        return dash();
    const QString text = hundredfold(*fraction);
    return (text.toDouble() == 0 ? QStringLiteral("0.00") : text) + QLatin1Char('%');
}

QString BacktestReport::ratio(std::optional<double> value)
{
    if (!value || !std::isfinite(*value))
        return dash();
    const QString text = QString::number(*value, 'f', 2);
    return text.toDouble() == 0 ? QStringLiteral("0.00") : text;
}

QString BacktestReport::funds(std::optional<double> amount)
{
    if (!amount || !std::isfinite(*amount))
        return dash();
    // Whole amounts without decimals, cents as cents; finer amounts keep up
    // to six decimals rather than being rounded to cents.
    QString text = QLocale(QLocale::English, QLocale::UnitedStates).toString(*amount, 'f', 6);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    else if (text.at(text.size() - 2) == QLatin1Char('.'))
        text += QLatin1Char('0');
    return text == QLatin1String("-0") ? QStringLiteral("0") : text;
}

namespace {
QString dateText(const QDate &date)
{
    return date.isValid() ? date.toString(Qt::ISODate) : QStringLiteral("-");
}
} // namespace

QJsonObject BacktestReport::figuresText() const
{
    const Figures &f = m_figures;
    QString peakDate = dateText(f.drawdownPeakDate);
    if (f.drawdownPeakDate.isValid() && f.drawdownPeakIsStart)
        peakDate += QStringLiteral(" (start)");
    return QJsonObject{
        {QStringLiteral("days"), QString::number(f.days)},
        {QStringLiteral("skippedDays"), QString::number(f.skippedDays)},
        {QStringLiteral("firstDate"), dateText(f.firstDate)},
        {QStringLiteral("lastDate"), dateText(f.lastDate)},
        {QStringLiteral("startFunds"), funds(f.startFunds)},
        {QStringLiteral("endFunds"), funds(f.endFunds)},
        {QStringLiteral("totalReturn"), signedPercent(f.totalReturn)},
        {QStringLiteral("annualReturn"), signedPercent(f.annualReturn)},
        {QStringLiteral("annualVolatility"), percent(f.annualVolatility)},
        {QStringLiteral("sharpeRatio"), ratio(f.sharpeRatio)},
        {QStringLiteral("maxDrawdown"), percent(f.maxDrawdown)},
        {QStringLiteral("maxDrawdownPeakDate"), peakDate},
        {QStringLiteral("maxDrawdownPeakFunds"), funds(f.drawdownPeakFunds)},
        {QStringLiteral("maxDrawdownTroughDate"), dateText(f.drawdownTroughDate)},
        {QStringLiteral("maxDrawdownTroughFunds"), funds(f.drawdownTroughFunds)},
        {QStringLiteral("bestDayDate"), dateText(f.bestDate)},
        {QStringLiteral("bestDayReturn"), signedPercent(f.bestReturn)},
        {QStringLiteral("worstDayDate"), dateText(f.worstDate)},
        {QStringLiteral("worstDayReturn"), signedPercent(f.worstReturn)},
        {QStringLiteral("winRate"), percent(f.winRate)},
    };
}

QJsonObject BacktestReport::dayText(const Day &day)
{
    return QJsonObject{
        {QStringLiteral("date"), dateText(day.date)},
        {QStringLiteral("initialFunds"), funds(day.initialFunds)},
        {QStringLiteral("endFunds"), funds(day.endFunds)},
        {QStringLiteral("return"), signedPercent(day.dayReturn)},
        {QStringLiteral("drawdown"), day.drawdown && *day.drawdown > 0 ? percent(day.drawdown) : dash()},
    };
}

QString BacktestReport::period() const
{
    const Figures &f = m_figures;
    if (f.days == 0)
        return QString();
    const QString count = f.days == 1 ? QStringLiteral("1 day") : QStringLiteral("%1 days").arg(f.days);
    if (f.firstDate == f.lastDate)
        return QStringLiteral("%1, %2").arg(dateText(f.firstDate), count);
    return QStringLiteral("%1 to %2, %3").arg(dateText(f.firstDate), dateText(f.lastDate), count);
}

} // namespace StrategyLogic
