#ifndef REPORT_H
#define REPORT_H

#include <StrategyLogic/backtestcashinfo.h>

#include <QDate>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

// The performance of one backtest instance, from its day-cash ledger: each
// day's return and the figures traders compare strategies by. A value
// object, computed once; no Qt Gui, so that the figures work anywhere.
// Thread: any (one object per thread).
//
// Definitions, with n the days that count:
//   day return            end / start - 1;
//   total return          last day's end / first day's start - 1;
//   annual return         (1 + total) ^ (252 / n) - 1;
//   annual volatility     sample standard deviation of the day returns * sqrt(252);
//   Sharpe ratio          mean / sample standard deviation * sqrt(252), risk-free rate 0;
//                         none for one day or a standard deviation of 0;
//   maximum drawdown      the largest fall of the end-of-day funds below their
//                         running peak, as a fraction of that peak; the first
//                         day's start counts as the first peak, so that a loss
//                         on the first day is a drawdown too;
//   win rate              the share of days with a return above 0.
// A day counts when its date is valid, its start is finite and above 0 and
// its end is finite and not 0 (0 is how the ledger marks a day that has not
// ended); any other day is listed, with no return, left out of every figure
// and named in a note.
class Report
{
public:
    static const int TradingDaysPerYear = 252;

    struct Day
    {
        QDate date;
        double initialFunds = 0;
        double endFunds = 0;
        std::optional<double> dayReturn; // none: the day does not count
        std::optional<double> drawdown;  // below the running peak, as a fraction of it
        bool counts() const { return dayReturn.has_value(); }
    };

    // A point of the equity curve: the first counting day's start, then the
    // end of every counting day, with the running peak up to it.
    struct EquityPoint
    {
        QDate date;           // the day whose start (first point) or end it is
        bool isStart = false; // the first point: the start of the first day
        double funds = 0;
        double peak = 0;
    };

    struct Figures
    {
        int days = 0;        // days that count
        int skippedDays = 0; // days listed but left out
        QDate firstDate;
        QDate lastDate;
        std::optional<double> startFunds;
        std::optional<double> endFunds;
        std::optional<double> totalReturn;
        std::optional<double> annualReturn;
        std::optional<double> annualVolatility;
        std::optional<double> sharpeRatio;
        std::optional<double> maxDrawdown; // 0 when the funds never fell below a peak
        QDate drawdownPeakDate;            // null while maxDrawdown is 0
        bool drawdownPeakIsStart = false;  // the peak is the first day's start
        std::optional<double> drawdownPeakFunds;
        QDate drawdownTroughDate;
        std::optional<double> drawdownTroughFunds;
        QDate bestDate;
        std::optional<double> bestReturn;
        QDate worstDate;
        std::optional<double> worstReturn;
        std::optional<double> winRate;
    };

    // The report of `instanceId` from its days, in any order (they are
    // sorted by date).
    static Report compute(const QString &instanceId, QList<BackTestCashInfo> days);

    QString instanceId() const { return m_instanceId; }
    const QList<Day> &days() const { return m_days; }
    const Figures &figures() const { return m_figures; }
    const QVector<EquityPoint> &equity() const { return m_equity; }
    // Why days were left out, one sentence each.
    const QStringList &notes() const { return m_notes; }
    // The equity point where the maximum drawdown began and where it
    // bottomed out; -1 when there was none.
    int drawdownPeakPoint() const { return m_peakPoint; }
    int drawdownTroughPoint() const { return m_troughPoint; }

    // {"instanceId", "days": [...], "figures": {...}, "notes": [...]}:
    // numbers as numbers, returns as fractions (0.0123 for 1.23 %), null
    // where a value is undefined.
    QJsonObject toJson() const;
    static QJsonObject dayJson(const Day &day);
    QJsonObject figuresJson() const;
    // The keys of figuresJson() and dayJson() in the order people read them.
    static QStringList figureKeys();
    static QStringList dayKeys();
    // The same values as people read them: percentages, dates, "-" for none.
    QJsonObject figuresText() const;
    static QJsonObject dayText(const Day &day);
    // What each figure key means, for headings ("Total return").
    static QString figureLabel(const QString &key);

    // One self-contained HTML page: the figures, `svg` (a chart, inlined;
    // may be empty), the day table and the notes. Every text is escaped.
    QString toHtml(const QByteArray &svg) const;

    // `text` with control characters as visible escapes (\n, \x1b): they
    // may not stand in an SVG or HTML document, nor move a terminal's cursor.
    static QString printable(const QString &text);
    // "2026-12-01 to 2026-12-07, 5 days", "2026-12-01, 1 day"; empty while
    // no day counts.
    QString period() const;
    // "+1.23%", "-0.50%", "0.00%"; "-" for none.
    static QString signedPercent(std::optional<double> fraction);
    // "1.23%"; "-" for none.
    static QString percent(std::optional<double> fraction);
    // "1.85"; "-" for none.
    static QString ratio(std::optional<double> value);
    // "1,012,000.50" (grouped, at most two decimals); "-" for none.
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

#endif // REPORT_H
