#include "reportchart.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

#if defined(__SANITIZE_ADDRESS__)
#define STRATEGYCTL_LEAK_CHECKS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STRATEGYCTL_LEAK_CHECKS
#endif
#endif
#ifdef STRATEGYCTL_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

const QSize ReportChart::DefaultSize(960, 540);

namespace {
const double Margin = 24;
const double PointInset = 10; // the first and last points stay clear of the plot's edges
const int WantedTicks = 6;

const QColor Ink(0x1d, 0x23, 0x30);
const QColor Muted(0x5b, 0x64, 0x75);
const QColor Grid(0xe6, 0xe9, 0xef);
const QColor Baseline(0x9a, 0xa3, 0xb2);
const QColor Curve(0x1f, 0x5f, 0xa8);
const QColor Peak(0x8a, 0x94, 0xa6);
const QColor DrawdownFill(0xd6, 0x30, 0x31, 72);
const QColor Loss(0xc0, 0x39, 0x2b);
const QColor Gain(0x1b, 0x7f, 0x3b);

QFont font(int pixelSize, bool bold)
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
double niceStep(double span, int count)
{
    const double raw = span / count;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double normal = raw / magnitude;
    const double nice = normal <= 1 ? 1 : normal <= 2 ? 2 : normal <= 2.5 ? 2.5 : normal <= 5 ? 5 : 10;
    return nice * magnitude;
}

// The decimals that show every multiple of `step` exactly.
int decimalsFor(double step)
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

QString amountText(double amount, int decimals)
{
    if (std::abs(amount) < 0.5 * std::pow(10.0, -decimals))
        amount = 0; // no "-0"
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(amount, 'f', decimals);
}

QString pointLabel(const Report::EquityPoint &point)
{
    return point.isStart ? QStringLiteral("start") : point.date.toString(Qt::ISODate);
}

QColor signColor(std::optional<double> value)
{
    if (!value || *value == 0)
        return Ink;
    return *value > 0 ? Gain : Loss;
}
} // namespace

bool ReportChart::canDraw()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr;
}

namespace {
QtMessageHandler &previousHandler()
{
    static QtMessageHandler handler = nullptr;
    return handler;
}

// Outside a desktop session the platform's start warns that
// XDG_RUNTIME_DIR is unset; nothing a chart needs lives there.
void quietPlatformStart(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (!message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")) && previousHandler())
        previousHandler()(type, context, message);
}
} // namespace

std::unique_ptr<QGuiApplication> ReportChart::createApplication(int &argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler() = qInstallMessageHandler(quietPlatformStart);
    std::unique_ptr<QGuiApplication> application;
    {
#ifdef STRATEGYCTL_LEAK_CHECKS
        // Qt 5's offscreen platform never removes the screen it adds: not
        // a leak of ours, and nothing else is allocated here.
        __lsan::ScopedDisabler platformStart;
#endif
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    qInstallMessageHandler(previousHandler());
    return application;
}

ReportChart::ReportChart(const Report &report, const QSize &size)
    : m_report(report)
    , m_size(size)
    , m_titleFont(font(19, true))
    , m_textFont(font(13, false))
    , m_boldFont(font(13, true))
    , m_tickFont(font(11, false))
{
    const QVector<Report::EquityPoint> &points = m_report.equity();
    const QFontMetricsF title(m_titleFont);
    const QFontMetricsF text(m_textFont);
    const QFontMetricsF ticks(m_tickFont);

    // The amount axis: round steps over every amount drawn (the funds and
    // their running peak), the lowest and highest on a tick or inside.
    double low = 0;
    double high = 1;
    if (!points.isEmpty()) {
        low = points.first().funds;
        high = low;
        for (const Report::EquityPoint &point : points) {
            low = std::min(low, point.funds);
            high = std::max({high, point.funds, point.peak});
        }
    }
    if (high - low <= std::abs(high) * 1e-9) {
        // A flat line sits in the middle of a small range around it.
        const double half = high != 0 ? std::abs(high) * 0.01 : 1;
        low -= half;
        high += half;
    }
    const double step = niceStep(high - low, WantedTicks);
    m_tickDecimals = decimalsFor(step);
    const double first = std::floor(low / step + 1e-9) * step;
    const double last = std::ceil(high / step - 1e-9) * step;
    const int count = int(std::lround((last - first) / step));
    for (int i = 0; i <= count; ++i)
        m_ticks.append(first + i * step);

    double labelWidth = 0;
    for (const double tick : qAsConst(m_ticks))
        labelWidth = std::max(labelWidth, ticks.horizontalAdvance(amountText(tick, m_tickDecimals)));
    const double dateWidth = ticks.horizontalAdvance(QStringLiteral("0000-00-00"));

    const double headerTop = Margin - 4;
    m_headlineBaseline = headerTop + title.height() + 6 + text.ascent();
    const double top = m_headlineBaseline + text.descent() + 22;
    const double left = Margin + labelWidth + 10;
    // The last date is centred under the last point: room for its half, so
    // that it ends where the text above it does.
    const double right = m_size.width() - std::max(Margin, dateWidth / 2 - PointInset + Margin);
    const double bottom = m_size.height() - Margin - ticks.height() - 6;
    m_plot = QRectF(QPointF(left, top), QPointF(right, bottom));

    // Dates under as many points as fit without touching.
    if (points.size() > 1) {
        const double spacing = (m_plot.width() - 2 * PointInset) / (points.size() - 1);
        const int every = std::max(1, int(std::ceil((dateWidth + 14) / spacing)));
        for (int i = 0; i < points.size(); i += every)
            m_labelled.append(i);
        const int lastPoint = points.size() - 1;
        if (m_labelled.last() != lastPoint) {
            // The last day is always named; a date too near it makes room.
            if (m_labelled.size() > 1 && (lastPoint - m_labelled.last()) * spacing < dateWidth + 14)
                m_labelled.removeLast();
            m_labelled.append(lastPoint);
        }
    } else if (points.size() == 1) {
        m_labelled.append(0);
    }
}

double ReportChart::xFor(int index) const
{
    const int n = m_report.equity().size();
    if (n <= 1)
        return m_plot.center().x();
    return m_plot.left() + PointInset + index * (m_plot.width() - 2 * PointInset) / (n - 1);
}

double ReportChart::yFor(double funds) const
{
    const double low = m_ticks.first();
    const double high = m_ticks.last();
    return m_plot.bottom() - (funds - low) / (high - low) * m_plot.height();
}

QPointF ReportChart::pointAt(int index) const
{
    return QPointF(xFor(index), yFor(m_report.equity().at(index).funds));
}

void ReportChart::paint(QPainter *painter) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setRenderHint(QPainter::TextAntialiasing);
    painter->fillRect(QRectF(QPointF(0, 0), QSizeF(m_size)), Qt::white);
    paintAxes(painter);
    paintCurves(painter);
    paintHeader(painter);
    painter->restore();
}

void ReportChart::paintHeader(QPainter *painter) const
{
    const QFontMetricsF title(m_titleFont);
    const QFontMetricsF text(m_textFont);
    const QFontMetricsF bold(m_boldFont);
    const double titleBaseline = Margin - 4 + title.ascent();

    // The legend, on the title's line at the right.
    struct Entry
    {
        QString label;
        int kind; // 0 curve, 1 running peak, 2 drawdown
    };
    const QList<Entry> entries{{QStringLiteral("End-of-day funds"), 0},
                               {QStringLiteral("Running peak"), 1},
                               {QStringLiteral("Drawdown"), 2}};
    const double swatch = 22;
    double legendWidth = 0;
    for (const Entry &entry : entries)
        legendWidth += swatch + 6 + text.horizontalAdvance(entry.label) + 18;
    legendWidth -= 18;
    double x = m_size.width() - Margin - legendWidth;
    const double legendLeft = x;
    const double middle = titleBaseline - text.ascent() / 2 + 2;
    painter->setFont(m_textFont);
    for (const Entry &entry : entries) {
        switch (entry.kind) {
        case 0:
            painter->setPen(QPen(Curve, 2.2, Qt::SolidLine, Qt::RoundCap));
            painter->drawLine(QPointF(x + 1, middle), QPointF(x + swatch - 1, middle));
            break;
        case 1: {
            QPen pen(Peak, 1.4, Qt::CustomDashLine, Qt::FlatCap);
            pen.setDashPattern({4, 3});
            painter->setPen(pen);
            painter->drawLine(QPointF(x, middle), QPointF(x + swatch, middle));
            break;
        }
        default:
            painter->setPen(Qt::NoPen);
            painter->setBrush(DrawdownFill);
            painter->drawRect(QRectF(x + 3, middle - 6, swatch - 6, 12));
            painter->setBrush(Qt::NoBrush);
            break;
        }
        x += swatch + 6;
        painter->setPen(Muted);
        painter->drawText(QPointF(x, titleBaseline), entry.label);
        x += text.horizontalAdvance(entry.label) + 18;
    }

    painter->setFont(m_titleFont);
    painter->setPen(Ink);
    const QString heading = QStringLiteral("Equity of instance %1").arg(Report::printable(m_report.instanceId()));
    painter->drawText(QPointF(Margin, titleBaseline),
                      title.elidedText(heading, Qt::ElideRight, legendLeft - 24 - Margin));

    // The headline figures, the value after its name.
    const Report::Figures &f = m_report.figures();
    struct Figure
    {
        QString label;
        QString value;
        QColor color;
    };
    QList<Figure> figures{
        {QStringLiteral("Total return"), Report::signedPercent(f.totalReturn), signColor(f.totalReturn)},
        {QStringLiteral("Max drawdown"), Report::percent(f.maxDrawdown),
         f.maxDrawdown.value_or(0) > 0 ? Loss : Ink},
        {QStringLiteral("Sharpe"), Report::ratio(f.sharpeRatio), Ink},
    };
    x = Margin;
    for (const Figure &figure : qAsConst(figures)) {
        painter->setFont(m_textFont);
        painter->setPen(Muted);
        painter->drawText(QPointF(x, m_headlineBaseline), figure.label);
        x += text.horizontalAdvance(figure.label) + 6;
        painter->setFont(m_boldFont);
        painter->setPen(figure.color);
        painter->drawText(QPointF(x, m_headlineBaseline), figure.value);
        x += bold.horizontalAdvance(figure.value) + 22;
    }
    if (f.days > 0) {
        const QString period = m_report.period();
        painter->setFont(m_textFont);
        painter->setPen(Muted);
        painter->drawText(QPointF(m_size.width() - Margin - text.horizontalAdvance(period), m_headlineBaseline),
                          period);
    }
}

void ReportChart::paintAxes(QPainter *painter) const
{
    const QFontMetricsF ticks(m_tickFont);
    painter->setFont(m_tickFont);
    for (const double tick : m_ticks) {
        const double y = yFor(tick);
        painter->setPen(QPen(Grid, 1));
        painter->drawLine(QPointF(m_plot.left(), y), QPointF(m_plot.right(), y));
        const QString label = amountText(tick, m_tickDecimals);
        painter->setPen(Muted);
        painter->drawText(QPointF(m_plot.left() - 10 - ticks.horizontalAdvance(label),
                                  y + (ticks.ascent() - ticks.descent()) / 2),
                          label);
    }
    painter->setPen(QPen(Baseline, 1));
    painter->drawLine(m_plot.bottomLeft(), m_plot.bottomRight());

    const QVector<Report::EquityPoint> &points = m_report.equity();
    for (const int index : m_labelled) {
        const double x = xFor(index);
        painter->setPen(QPen(Grid, 1));
        painter->drawLine(QPointF(x, m_plot.top()), QPointF(x, m_plot.bottom()));
        painter->setPen(QPen(Baseline, 1));
        painter->drawLine(QPointF(x, m_plot.bottom()), QPointF(x, m_plot.bottom() + 4));
        const QString label = pointLabel(points.at(index));
        painter->setPen(Muted);
        painter->drawText(QPointF(x - ticks.horizontalAdvance(label) / 2, m_plot.bottom() + 8 + ticks.ascent()),
                          label);
    }
}

void ReportChart::paintCurves(QPainter *painter) const
{
    const QVector<Report::EquityPoint> &points = m_report.equity();
    if (points.isEmpty()) {
        painter->setFont(m_textFont);
        painter->setPen(Muted);
        painter->drawText(m_plot, Qt::AlignCenter, QStringLiteral("No day with both funds to draw"));
        return;
    }

    // The running peak stays flat until the funds cross it, then follows
    // them: the crossing points are added to both lines, so that the area
    // between them is exactly the drawdown.
    QPolygonF peakLine;
    QPolygonF curve;
    peakLine.append(QPointF(xFor(0), yFor(points.first().peak)));
    curve.append(pointAt(0));
    for (int i = 1; i < points.size(); ++i) {
        const Report::EquityPoint &before = points.at(i - 1);
        const Report::EquityPoint &point = points.at(i);
        if (point.funds > before.peak && before.funds < before.peak) {
            const double t = (before.peak - before.funds) / (point.funds - before.funds);
            const double x = xFor(i - 1) + t * (xFor(i) - xFor(i - 1));
            peakLine.append(QPointF(x, yFor(before.peak)));
            curve.append(QPointF(x, yFor(before.peak)));
        }
        peakLine.append(QPointF(xFor(i), yFor(point.peak)));
        curve.append(pointAt(i));
    }

    QPolygonF area = peakLine;
    for (int i = curve.size() - 1; i >= 0; --i)
        area.append(curve.at(i));
    painter->setPen(Qt::NoPen);
    painter->setBrush(DrawdownFill);
    painter->drawPolygon(area);
    painter->setBrush(Qt::NoBrush);

    QPen peakPen(Peak, 1.4, Qt::CustomDashLine, Qt::FlatCap);
    peakPen.setDashPattern({4, 3});
    painter->setPen(peakPen);
    painter->drawPolyline(peakLine);

    painter->setPen(QPen(Curve, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawPolyline(curve);

    // The maximum drawdown: from its peak down to its trough.
    const int peak = m_report.drawdownPeakPoint();
    const int trough = m_report.drawdownTroughPoint();
    if (peak >= 0 && trough >= 0) {
        const QPointF top(xFor(trough), yFor(points.at(trough).peak));
        const QPointF bottom = pointAt(trough);
        QPen drop(Loss, 1.2, Qt::CustomDashLine, Qt::FlatCap);
        drop.setDashPattern({2, 2});
        painter->setPen(drop);
        painter->drawLine(top, bottom);
        // Rings, so that the curve's own point stays visible inside them.
        painter->setPen(QPen(Ink, 1.6));
        painter->drawEllipse(pointAt(peak), 5, 5);
        painter->setPen(QPen(Loss, 1.8));
        painter->drawEllipse(bottom, 5, 5);

        // The depth beside the middle of the drop, on a white ground so that
        // it reads over the shading and the curve.
        const QFontMetricsF bold(m_boldFont);
        const QString label = QStringLiteral("-") + Report::percent(m_report.figures().maxDrawdown);
        const QSizeF box(bold.horizontalAdvance(label) + 8, bold.height() + 2);
        double x = bottom.x() + 6;
        if (x + box.width() > m_plot.right())
            x = bottom.x() - 6 - box.width();
        const double y = std::clamp((top.y() + bottom.y()) / 2 - box.height() / 2, m_plot.top(),
                                    m_plot.bottom() - box.height());
        const QRectF ground(QPointF(x, y), box);
        painter->setPen(Qt::NoPen);
        painter->setBrush(QColor(255, 255, 255, 225));
        painter->drawRoundedRect(ground, 3, 3);
        painter->setBrush(Qt::NoBrush);
        painter->setFont(m_boldFont);
        painter->setPen(Loss);
        painter->drawText(QPointF(x + 4, y + 1 + bold.ascent()), label);
    }
}

QByteArray ReportChart::toSvg(QString *error) const
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator generator;
    generator.setOutputDevice(&buffer);
    generator.setSize(m_size);
    generator.setViewBox(QRect(QPoint(0, 0), m_size));
    generator.setResolution(96);
    // QSvgGenerator writes the title as it is; the texts it draws it escapes.
    generator.setTitle(
        QStringLiteral("Equity of instance %1").arg(Report::printable(m_report.instanceId())).toHtmlEscaped());
    generator.setDescription(QStringLiteral("End-of-day funds, running peak and drawdown"));
    QPainter painter;
    if (!painter.begin(&generator)) {
        *error = QStringLiteral("cannot draw the SVG chart");
        return QByteArray();
    }
    paint(&painter);
    painter.end();
    return buffer.data();
}

QByteArray ReportChart::toPng(QString *error, int scale) const
{
    scale = std::max(1, scale);
    QImage image(m_size * scale, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull()) {
        *error = QStringLiteral("cannot allocate a %1x%2 image")
                     .arg(m_size.width() * scale)
                     .arg(m_size.height() * scale);
        return QByteArray();
    }
    image.fill(Qt::white);
    QPainter painter;
    if (!painter.begin(&image)) {
        *error = QStringLiteral("cannot draw the PNG chart");
        return QByteArray();
    }
    painter.scale(scale, scale);
    paint(&painter);
    painter.end();
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) {
        *error = QStringLiteral("cannot encode the PNG chart");
        return QByteArray();
    }
    return buffer.data();
}
