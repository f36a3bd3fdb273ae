#ifndef STRATEGYLOGIC_BACKTESTREPORT_H
#define STRATEGYLOGIC_BACKTESTREPORT_H

#include <StrategyLogic/backtestcashinfo.h>
#include <StrategyLogic/strategylogic_global.h>

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

/// \file
/// The performance of a backtest instance from its day-cash ledger: the
/// figures traders compare strategies by, as numbers, JSON and texts.

namespace StrategyLogic {

/// The performance of one backtest instance, from its day-cash ledger (the
/// days StrategyFileLogicHandler::queryBackTestCashInfo() gives): each day's
/// return and drawdown, the equity curve and the figures traders compare
/// strategies by.
///
/// Definitions, with n the days that count:
///   - day return: end / start - 1;
///   - total return: last day's end / first day's start - 1;
///   - annual return: (1 + total) ^ (252 / n) - 1;
///   - annual volatility: sample standard deviation of the day returns * sqrt(252);
///   - Sharpe ratio: mean / sample standard deviation * sqrt(252), risk-free rate 0;
///     none for one day or a standard deviation of 0;
///   - maximum drawdown: the largest fall of the end-of-day funds below their
///     running peak, as a fraction of that peak; the first day's start counts
///     as the first peak, so that a loss on the first day is a drawdown too;
///   - win rate: the share of days with a return above 0.
///
/// A day counts when its date is valid, its start is finite and above 0 and
/// its end is finite and not 0 (0 is how the ledger marks a day that has not
/// ended); any other day is listed, with no return, left out of every figure
/// and named in a note.
///
/// A value: compute() makes it once and it never changes; copies are cheap
/// (implicitly shared lists). It needs Qt Core only and reads no file.
/// Thread: any; one object may be read from several threads at once.
/// Failures: there are none to report; what cannot be computed (a figure of
/// no day, a ratio of no deviation, a number beyond a double) is left
/// empty, shown as "-" in the texts and null in the JSON.
class STRATEGYLOGIC_EXPORT BacktestReport
{
public:
    /// The trading days of a year, for the annual return, volatility and
    /// Sharpe ratio.
    static const int TradingDaysPerYear = 252;

    /// One day of the ledger, in date order.
    struct Day
    {
        QDate date;              ///< the trading day; invalid when the ledger holds none
        double initialFunds = 0; ///< the funds at its start, as recorded
        double endFunds = 0;     ///< the funds at its end, as recorded (0: not ended)
        std::optional<double> dayReturn; ///< end / start - 1; none: the day does not count
        std::optional<double> drawdown;  ///< below the running peak, as a fraction of it; none: the day does not count
        /// Whether the day counts in the figures.
        bool counts() const { return dayReturn.has_value(); }
    };

    /// A point of the equity curve: the first counting day's start, then the
    /// end of every counting day, with the running peak up to it.
    struct EquityPoint
    {
        QDate date;           ///< the day whose start (first point) or end it is
        bool isStart = false; ///< the first point: the start of the first day
        double funds = 0;     ///< the funds at that point
        double peak = 0;      ///< the highest funds up to and including that point
    };

    /// The figures of the days that count; empty values where a figure is
    /// undefined (no day, one day, no deviation, beyond a double).
    struct Figures
    {
        int days = 0;        ///< days that count
        int skippedDays = 0; ///< days listed but left out
        QDate firstDate;     ///< the first counting day; null when none counts
        QDate lastDate;      ///< the last counting day; null when none counts
        std::optional<double> startFunds;       ///< the first counting day's start
        std::optional<double> endFunds;         ///< the last counting day's end
        std::optional<double> totalReturn;      ///< as a fraction (0.0123 for 1.23 %)
        std::optional<double> annualReturn;     ///< compounded over 252 trading days; none for a loss beyond everything
        std::optional<double> annualVolatility; ///< sample deviation of the day returns * sqrt(252); none for one day
        std::optional<double> sharpeRatio;      ///< risk-free rate 0; none for one day or a deviation of 0
        std::optional<double> maxDrawdown;      ///< 0 when the funds never fell below a peak
        QDate drawdownPeakDate;                 ///< where the maximum drawdown began; null while maxDrawdown is 0
        bool drawdownPeakIsStart = false;       ///< the peak is the first day's start
        std::optional<double> drawdownPeakFunds;   ///< the funds at that peak
        QDate drawdownTroughDate;                  ///< where the maximum drawdown bottomed out
        std::optional<double> drawdownTroughFunds; ///< the funds at that trough
        QDate bestDate;                   ///< the day of the highest return (the first of equals)
        std::optional<double> bestReturn; ///< its return
        QDate worstDate;                   ///< the day of the lowest return (the first of equals)
        std::optional<double> worstReturn; ///< its return
        std::optional<double> winRate;     ///< the share of days with a return above 0
    };

    /// The report of `instanceId` from its days, in any order (they are
    /// sorted by date; days of one date keep their order).
    static BacktestReport compute(const QString &instanceId, QList<BackTestCashInfo> days);

    /// The instance the report is of.
    QString instanceId() const { return m_instanceId; }
    /// Every day of the ledger, in date order, counting or not.
    const QList<Day> &days() const { return m_days; }
    /// The figures of the days that count.
    const Figures &figures() const { return m_figures; }
    /// The equity curve; empty when no day counts.
    const QVector<EquityPoint> &equity() const { return m_equity; }
    /// Why days were left out, one sentence each.
    const QStringList &notes() const { return m_notes; }
    /// The equity point where the maximum drawdown began; -1 when there was
    /// none.
    int drawdownPeakPoint() const { return m_peakPoint; }
    /// The equity point where the maximum drawdown bottomed out; -1 when
    /// there was none.
    int drawdownTroughPoint() const { return m_troughPoint; }

    /// {"instanceId", "days": [...], "figures": {...}, "notes": [...]}:
    /// numbers as numbers, returns as fractions (0.0123 for 1.23 %), null
    /// where a value is undefined.
    QJsonObject toJson() const;
    /// One element of toJson()'s "days", keyed by dayKeys().
    static QJsonObject dayJson(const Day &day);
    /// toJson()'s "figures", keyed by figureKeys().
    QJsonObject figuresJson() const;
    /// The keys of figuresJson() in the order people read them.
    static QStringList figureKeys();
    /// The keys of dayJson() in the order people read them.
    static QStringList dayKeys();
    /// The figures as people read them, keyed by figureKeys(): percentages,
    /// grouped amounts, dates, "-" for none.
    QJsonObject figuresText() const;
    /// A day as people read it, keyed by dayKeys().
    static QJsonObject dayText(const Day &day);
    /// What a figure key means, for headings ("Total return"); the key
    /// itself for an unknown one.
    static QString figureLabel(const QString &key);

    /// `text` with control characters as visible escapes (\\n, \\x1b): they
    /// may not stand in an SVG or HTML document, nor move a terminal's cursor.
    static QString printable(const QString &text);
    /// "2026-12-01 to 2026-12-07, 5 days", "2026-12-01, 1 day"; empty while
    /// no day counts.
    QString period() const;
    /// "+1.23%", "-0.50%", "0.00%"; "-" for none. A percentage of more than
    /// 15 digits before the point in scientific notation: "+1.00e+310%".
    static QString signedPercent(std::optional<double> fraction);
    /// "1.23%"; "-" for none; scientific notation as for signedPercent().
    static QString percent(std::optional<double> fraction);
    /// "1.85"; "-" for none.
    static QString ratio(std::optional<double> value);
    /// "1,012,000.50" (grouped; whole amounts without decimals, cents as
    /// cents, finer amounts to at most six decimals); "-" for none.
    static QString funds(std::optional<double> amount);

private:
    QString m_instanceId;
    QList<Day> m_days;
    Figures m_figures;
    QVector<EquityPoint> m_equity;
    QStringList m_notes;
    int m_peakPoint = -1;
    int m_troughPoint = -1;
};

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_BACKTESTREPORT_H
