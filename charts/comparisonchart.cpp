#include <StrategyLogic/comparisonchart.h>

#include "chartstyle_p.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace StrategyLogic {

using namespace ChartStyle;

namespace {
// Told apart on white and from each other, also by most colour-blind eyes
// (the first ones); further curves take them again, dashed.
const QColor Palette[] = {QColor(0x1f, 0x5f, 0xa8), QColor(0xd3, 0x54, 0x00), QColor(0x1b, 0x7f, 0x3b),
                          QColor(0x7d, 0x3c, 0x98), QColor(0x11, 0x7a, 0x8b), QColor(0x8d, 0x6e, 0x1e),
                          QColor(0xc2, 0x18, 0x5b), QColor(0x37, 0x47, 0x4f)};
const int PaletteSize = int(sizeof(Palette) / sizeof(Palette[0]));
const int WantedDayTicks = 8;
const double Swatch = 22;
const double EntryGap = 18;

QString translated(const char *text, int n = -1)
{
    return QCoreApplication::translate("StrategyLogic::ComparisonChart", text, nullptr, n);
}
} // namespace

ComparisonChart::ComparisonChart(const QList<BacktestReport> &reports, const QSize &size)
    : m_reports(reports)
    , m_size(size)
    , m_titleFont(font(19, true))
    , m_textFont(font(13, false))
    , m_tickFont(font(11, false))
{
    bool baseFound = false;
    for (const BacktestReport &report : m_reports) {
        const QVector<BacktestReport::EquityPoint> &points = report.equity();
        // The first point counts only when it is above 0: a report's first
        // counting day starts above 0, so this holds for every curve drawn.
        m_starts.append(points.isEmpty() ? 0 : points.first().funds);
        m_longest = std::max(m_longest, int(points.size()));
        if (!baseFound && !points.isEmpty()) {
            m_base = points.first().funds;
            baseFound = true;
        }
    }
    layOut();
}

void ComparisonChart::setSize(const QSize &size)
{
    m_size = size;
    layOut();
}

double ComparisonChart::value(int curve, int index) const
{
    return m_reports.at(curve).equity().at(index).funds / m_starts.at(curve) * m_base;
}

QColor ComparisonChart::curveColor(int curve) const
{
    return Palette[curve % PaletteSize];
}

QString ComparisonChart::legendText(int curve) const
{
    const BacktestReport &report = m_reports.at(curve);
    const QString id = BacktestReport::printable(report.instanceId());
    if (report.equity().isEmpty())
        return translated(QT_TRANSLATE_NOOP("StrategyLogic::ComparisonChart", "%1 (no days)")).arg(id);
    return QStringLiteral("%1 %2").arg(id, BacktestReport::signedPercent(report.figures().totalReturn));
}

// The lines the legend takes at `width`, its entries flowing left to right.
int ComparisonChart::legendRows(double width) const
{
    const QFontMetricsF text(m_textFont);
    int rows = m_reports.isEmpty() ? 0 : 1;
    double x = 0;
    for (int c = 0; c < curveCount(); ++c) {
        const double entry = Swatch + 6 + text.horizontalAdvance(legendText(c));
        if (x > 0 && x + entry > width) {
            ++rows;
            x = 0;
        }
        x += entry + EntryGap;
    }
    return rows;
}

void ComparisonChart::layOut()
{
    double low = m_base;
    double high = m_base;
    for (int c = 0; c < curveCount(); ++c) {
        for (int i = 0; i < m_reports.at(c).equity().size(); ++i) {
            low = std::min(low, value(c, i));
            high = std::max(high, value(c, i));
        }
    }
    m_ticks = axisTicks(low, high, &m_tickDecimals);

    const QFontMetricsF title(m_titleFont);
    const QFontMetricsF text(m_textFont);
    const QFontMetricsF ticks(m_tickFont);
    double labelWidth = 0;
    for (const double tick : qAsConst(m_ticks))
        labelWidth = std::max(labelWidth, ticks.horizontalAdvance(amountText(tick, m_tickDecimals)));
    m_legendTop = Margin - 4 + title.height() + 4 + text.height() + 8;
    const double legendHeight = legendRows(m_size.width() - 2 * Margin) * (text.height() + 4);
    const double top = m_legendTop + legendHeight + 12;
    const double left = Margin + labelWidth + 10;
    // As in EquityChart: a size too small for the texts still gets a plot
    // area, of no width or height at worst.
    const double right = std::max(left, m_size.width() - Margin);
    const double bottom = std::max(top, m_size.height() - Margin - ticks.height() - 6);
    m_plot = QRectF(QPointF(left, top), QPointF(right, bottom));
}

double ComparisonChart::yFor(double amount) const
{
    const double low = m_ticks.first();
    const double high = m_ticks.last();
    return m_plot.bottom() - (amount - low) / (high - low) * m_plot.height();
}

QPointF ComparisonChart::pointAt(int curve, int index) const
{
    const double inset = pointInset(m_plot.width());
    const double spread = m_plot.width() - 2 * inset;
    const double x = m_longest <= 1 ? m_plot.center().x() : m_plot.left() + inset + index * spread / (m_longest - 1);
    return QPointF(x, yFor(value(curve, index)));
}

void ComparisonChart::paint(QPainter *painter) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->fillRect(QRectF(QPointF(0, 0), QSizeF(m_size)), Qt::white);
    paintAxes(painter);
    for (int c = 0; c < curveCount(); ++c) {
        QPolygonF line;
        for (int i = 0; i < m_reports.at(c).equity().size(); ++i)
            line.append(pointAt(c, i));
        QPen pen(curveColor(c), 2.2, c < PaletteSize ? Qt::SolidLine : Qt::DashLine, Qt::RoundCap, Qt::RoundJoin);
        painter->setPen(pen);
        if (line.size() == 1)
            painter->drawPoint(line.first());
        painter->drawPolyline(line);
    }
    paintLegend(painter);
    painter->restore();
}

void ComparisonChart::paintAxes(QPainter *painter) const
{
    paintAmountAxis(painter, m_plot, m_tickFont, m_ticks, m_tickDecimals,
                    [this](double amount) { return yFor(amount); });
    const QFontMetricsF ticks(m_tickFont); // the day ticks below, in the same font
    if (m_longest < 1)
        return;
    // The trading days from the start, in round steps.
    const int days = m_longest - 1;
    const int step = days == 0 ? 1 : std::max(1, int(std::lround(niceStep(days, WantedDayTicks))));
    // Not pointAt(0, 0): the first report may have no point.
    const double inset = pointInset(m_plot.width());
    for (int day = 0; day <= days; day += step) {
        const double x = days == 0 ? m_plot.center().x()
                                   : m_plot.left() + inset + day * (m_plot.width() - 2 * inset) / days;
        painter->setPen(QPen(Baseline, 1));
        painter->drawLine(QPointF(x, m_plot.bottom()), QPointF(x, m_plot.bottom() + 4));
        const QString label =
            day == 0 ? translated(QT_TRANSLATE_NOOP("StrategyLogic::ComparisonChart", "start")) : QString::number(day);
        painter->setPen(Muted);
        painter->drawText(QPointF(x - ticks.horizontalAdvance(label) / 2, m_plot.bottom() + 8 + ticks.ascent()),
                          label);
    }
}

void ComparisonChart::paintLegend(QPainter *painter) const
{
    const QFontMetricsF title(m_titleFont);
    const QFontMetricsF text(m_textFont);
    const double width = m_size.width() - 2 * Margin;
    painter->setFont(m_titleFont);
    painter->setPen(Ink);
    const QString heading = translated(
        QT_TRANSLATE_N_NOOP("StrategyLogic::ComparisonChart", "Equity of %n instances from the same start"),
        curveCount());
    painter->drawText(QPointF(Margin, Margin - 4 + title.ascent()), title.elidedText(heading, Qt::ElideRight, width));
    painter->setFont(m_textFont);
    painter->setPen(Muted);
    const QString explanation =
        translated(QT_TRANSLATE_NOOP("StrategyLogic::ComparisonChart",
                                     "Funds scaled to start at %1; trading days from the start along the bottom"))
                                    .arg(amountText(m_base, m_tickDecimals));
    painter->drawText(QPointF(Margin, Margin - 4 + title.height() + 4 + text.ascent()),
                      text.elidedText(explanation, Qt::ElideRight, width));

    double x = 0;
    double baseline = m_legendTop + text.ascent();
    for (int c = 0; c < curveCount(); ++c) {
        const QString label = legendText(c);
        const double entry = Swatch + 6 + text.horizontalAdvance(label);
        if (x > 0 && x + entry > width) {
            x = 0;
            baseline += text.height() + 4;
        }
        const double middle = baseline - text.ascent() / 2 + 2;
        painter->setPen(QPen(curveColor(c), 2.2, c < PaletteSize ? Qt::SolidLine : Qt::DashLine, Qt::RoundCap));
        painter->drawLine(QPointF(Margin + x + 1, middle), QPointF(Margin + x + Swatch - 1, middle));
        painter->setPen(Ink);
        painter->drawText(QPointF(Margin + x + Swatch + 6, baseline), label);
        x += entry + EntryGap;
    }
}

} // namespace StrategyLogic
