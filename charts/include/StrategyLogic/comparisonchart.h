#ifndef STRATEGYLOGIC_COMPARISONCHART_H
#define STRATEGYLOGIC_COMPARISONCHART_H

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/strategylogiccharts_global.h>

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QVector>

class QPainter;

/// \file
/// The equity curves of several backtest reports on one chart, from the
/// same start.

namespace StrategyLogic {

/// The equity curves of several BacktestReports on one chart, each scaled
/// to start where the first one starts: a curve's funds are divided by its
/// own first point and multiplied by base(), the first point of the first
/// report that has one. So the curves begin at one point and show how each
/// instance grew the same money. The x axis counts the trading days from
/// the start (0 is the start, n the end of the n-th counting day), so that
/// instances run over different periods are compared day for day. A
/// legend names each instance in its colour with its total return.
///
/// A value, laid out for one size like EquityChart; painted with QPainter
/// on any device. A report with no counting day keeps its place in the
/// legend ("no days") and draws no curve. Text needs the font database of a
/// QGuiApplication (EquityChart::canDraw()): construct, lay out and paint
/// it on the thread of that application. Nothing here fails.
class STRATEGYLOGICCHARTS_EXPORT ComparisonChart
{
public:
    /// The chart of `reports`, in that order, laid out for `size` (logical
    /// pixels).
    explicit ComparisonChart(const QList<BacktestReport> &reports, const QSize &size = QSize(960, 540));

    /// The reports drawn, a curve each.
    const QList<BacktestReport> &reports() const { return m_reports; }
    /// The number of curves: reports().size().
    int curveCount() const { return m_reports.size(); }
    /// The size laid out for.
    QSize size() const { return m_size; }
    /// Lays the chart out anew for `size`, as a widget does when resized.
    void setSize(const QSize &size);

    /// Where every curve starts: the first report's first equity point's
    /// funds (1 when no report has a point).
    double base() const { return m_base; }
    /// Equity point `index` of curve `curve`, scaled to start at base()
    /// (0 <= index < reports().at(curve).equity().size()).
    double value(int curve, int index) const;
    /// The colour of a curve, as in the legend.
    QColor curveColor(int curve) const;

    /// The rectangle the curves are drawn in, between the axes.
    QRectF plotArea() const { return m_plot; }
    /// The amounts of the axis, lowest first: the bottom and top of the plot
    /// area are the first and the last.
    const QVector<double> &amountTicks() const { return m_ticks; }
    /// Where equity point `index` of curve `curve` is drawn; every curve's
    /// point 0 is the same.
    QPointF pointAt(int curve, int index) const;

    /// Paints the whole chart, its white ground included, into the rectangle
    /// (0, 0, size()) of `painter`'s coordinates; the painter's state is
    /// restored afterwards.
    void paint(QPainter *painter) const;

private:
    void layOut();
    int legendRows(double width) const;
    double yFor(double amount) const;
    void paintAxes(QPainter *painter) const;
    void paintLegend(QPainter *painter) const;
    QString legendText(int curve) const;

    QList<BacktestReport> m_reports;
    QVector<double> m_starts; // each curve's own first funds; 0: no curve
    QSize m_size;
    QFont m_titleFont;
    QFont m_textFont;
    QFont m_tickFont;
    double m_base = 1;
    int m_longest = 0; // the most points of a curve
    QRectF m_plot;
    double m_legendTop = 0;
    QVector<double> m_ticks;
    int m_tickDecimals = 0;
};

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_COMPARISONCHART_H
