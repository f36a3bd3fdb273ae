#ifndef STRATEGYLOGIC_CHARTSTYLE_P_H
#define STRATEGYLOGIC_CHARTSTYLE_P_H

// What the charts of the library share: their fonts, their greys and their
// amount axis, so that an equity chart and a comparison look alike. Not
// part of the library's interface.

#include <QColor>
#include <QFont>
#include <QFontMetricsF>
#include <QLocale>
#include <QPainter>
#include <QRectF>
#include <QString>
#include <QVector>

#include <algorithm>
#include <cmath>

namespace StrategyLogic {
namespace ChartStyle {

const double Margin = 24;
const double PointInset = 10; // the first and last points stay clear of the plot's edges
const int WantedTicks = 6;

// The inset of the first and last points in a plot `width` wide: half the
// width of a plot narrower than two insets, so that the points stay inside
// the plot at any size.
inline double pointInset(double width)
{
    return std::clamp(width / 2, 0.0, PointInset);
}

const QColor Ink(0x1d, 0x23, 0x30);
const QColor Muted(0x5b, 0x64, 0x75);
const QColor Grid(0xe6, 0xe9, 0xef);
const QColor Baseline(0x9a, 0xa3, 0xb2);

inline QFont font(int pixelSize, bool bold)
{
    // A generic family: fontconfig picks the machine's sans-serif face for
    // the PNG, and an SVG viewer its own.
    QFont f(QStringLiteral("sans-serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// 1, 2, 2.5 or 5 times a power of ten, near span / count.
inline double niceStep(double span, int count)
{
    const double raw = span / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normal = raw / magnitude;
    const double nice = normal <= 1 ? 1 : normal <= 2 ? 2 : normal <= 2.5 ? 2.5 : normal <= 5 ? 5 : 10;
    return nice * magnitude;
}

// The decimals that show every multiple of `step` exactly.
inline int decimalsFor(double step)
{
    int decimals = 0;
    while (decimals < 8) {
        const double scaled = step * std::pow(10.0, decimals);
        if (std::abs(scaled - std::round(scaled)) < 1e-6)
            break;
        ++decimals;
    }
    return decimals;
}

inline QString amountText(double amount, int decimals)
{
    if (std::abs(amount) < 0.5 * std::pow(10.0, -decimals))
        amount = 0; // no "-0"
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(amount, 'f', decimals);
}

// The ticks of an axis over low .. high: round steps, the lowest and the
// highest amount on a tick or inside; `decimals` those that show each tick.
inline QVector<double> axisTicks(double low, double high, int *decimals)
{
    if (high - low <= std::abs(high) * 1e-9) {
        // A flat line sits in the middle of a small range around it.
        const double half = high != 0 ? std::abs(high) * 0.01 : 1;
        low -= half;
        high += half;
    }
    const double step = niceStep(high - low, WantedTicks);
    *decimals = decimalsFor(step);
    const double first = std::floor(low / step + 1e-9) * step;
    const double last = std::ceil(high / step - 1e-9) * step;
    const int count = int(std::lround((last - first) / step));
    QVector<double> ticks;
    for (int i = 0; i <= count; ++i)
        ticks.append(first + i * step);
    return ticks;
}

// The amount axis over `plot`: a grid line and its amount at the left for
// each tick, `yFor(amount)` their heights, then the baseline.
template <typename YFor>
void paintAmountAxis(QPainter *painter, const QRectF &plot, const QFont &tickFont, const QVector<double> &ticks,
                     int decimals, YFor yFor)
{
    const QFontMetricsF metrics(tickFont);
    painter->setFont(tickFont);
    for (const double tick : ticks) {
        const double y = yFor(tick);
        painter->setPen(QPen(Grid, 1));
        painter->drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        const QString label = amountText(tick, decimals);
        painter->setPen(Muted);
        painter->drawText(QPointF(plot.left() - 10 - metrics.horizontalAdvance(label),
                                  y + (metrics.ascent() - metrics.descent()) / 2),
                          label);
    }
    painter->setPen(QPen(Baseline, 1));
    painter->drawLine(plot.bottomLeft(), plot.bottomRight());
}

} // namespace ChartStyle
} // namespace StrategyLogic

#endif // STRATEGYLOGIC_CHARTSTYLE_P_H
