#include <StrategyLogic/equitychart.h>

#include "chartstyle_p.h"

#include <StrategyLogic/reporthtml.h>
#include <StrategyLogic/wholefile.h>

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cerrno>
#include <cmath>

#if defined(__SANITIZE_ADDRESS__)
#define STRATEGYLOGIC_CHARTS_LEAK_CHECKS
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STRATEGYLOGIC_CHARTS_LEAK_CHECKS
#endif
#endif
#ifdef STRATEGYLOGIC_CHARTS_LEAK_CHECKS
#include <sanitizer/lsan_interface.h>
#endif

namespace StrategyLogic {

const QSize EquityChart::DefaultSize(960, 540);

using namespace ChartStyle;

namespace {
const double MinTitleWidth = 160; // beside the legend

const QColor Curve(0x1f, 0x5f, 0xa8);
const QColor Peak(0x8a, 0x94, 0xa6);
const QColor DrawdownFill(0xd6, 0x30, 0x31, 72);
const QColor Loss(0xc0, 0x39, 0x2b);
const QColor Gain(0x1b, 0x7f, 0x3b);

// The chart's words in the application's language: a host that installs a
// translator for this context has them translated, another has the English.
QString translated(const char *text)
{
    return QCoreApplication::translate("StrategyLogic::EquityChart", text);
}

QString pointLabel(const BacktestReport::EquityPoint &point)
{
    return point.isStart ? translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "start"))
                         : point.date.toString(Qt::ISODate);
}

QColor signColor(std::optional<double> value)
{
    if (!value || *value == 0)
        return Ink;
    return *value > 0 ? Gain : Loss;
}
} // namespace

bool EquityChart::canDraw()
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

std::unique_ptr<QGuiApplication> EquityChart::createApplication(int &argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler() = qInstallMessageHandler(quietPlatformStart);
    std::unique_ptr<QGuiApplication> application;
    {
#ifdef STRATEGYLOGIC_CHARTS_LEAK_CHECKS
        // Qt 5's offscreen platform never removes the screen it adds: not
        // a leak of ours, and nothing else is allocated here.
        __lsan::ScopedDisabler platformStart;
#endif
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    qInstallMessageHandler(previousHandler());
    return application;
}

EquityChart::EquityChart(const BacktestReport &report, const QSize &size)
    : m_report(report)
    , m_size(size)
    , m_titleFont(font(19, true))
    , m_textFont(font(13, false))
    , m_boldFont(font(13, true))
    , m_tickFont(font(11, false))
{
    layOut();
}

void EquityChart::setSize(const QSize &size)
{
    m_size = size;
    layOut();
}

void EquityChart::layOut()
{
    m_ticks.clear();
    m_labelled.clear();
    const QVector<BacktestReport::EquityPoint> &points = m_report.equity();
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
        for (const BacktestReport::EquityPoint &point : points) {
            low = std::min(low, point.funds);
            high = std::max({high, point.funds, point.peak});
        }
    }
    m_ticks = axisTicks(low, high, &m_tickDecimals);

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
    // A size too small for the texts still gets a plot area, of no width or
    // height at worst, rather than one turned inside out.
    const double right =
        std::max(left, m_size.width() - std::max(Margin, dateWidth / 2 - PointInset + Margin));
    const double bottom = std::max(top, m_size.height() - Margin - ticks.height() - 6);
    m_plot = QRectF(QPointF(left, top), QPointF(right, bottom));

    // Dates under as many points as fit without touching.
    if (points.size() > 1) {
        const double spacing = pointSpread() / (points.size() - 1);
        // No room at all: the first and the last date only.
        const double wanted = spacing > 0 ? std::ceil((dateWidth + 14) / spacing) : points.size();
        const int every = wanted >= points.size() ? points.size() : std::max(1, int(wanted));
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

double EquityChart::xFor(int index) const
{
    const int n = m_report.equity().size();
    if (n <= 1)
        return m_plot.center().x();
    return m_plot.left() + pointInset(m_plot.width()) + index * pointSpread() / (n - 1);
}

double EquityChart::pointSpread() const
{
    return m_plot.width() - 2 * pointInset(m_plot.width());
}

double EquityChart::yFor(double funds) const
{
    const double low = m_ticks.first();
    const double high = m_ticks.last();
    return m_plot.bottom() - (funds - low) / (high - low) * m_plot.height();
}

QPointF EquityChart::pointAt(int index) const
{
    return QPointF(xFor(index), yFor(m_report.equity().at(index).funds));
}

int EquityChart::pointNearest(double x) const
{
    const int n = m_report.equity().size();
    if (n <= 1 || pointSpread() <= 0)
        return n == 0 ? -1 : 0;
    const double step = pointSpread() / (n - 1);
    const double at = std::round((x - m_plot.left() - pointInset(m_plot.width())) / step);
    return int(std::clamp(at, 0.0, double(n - 1)));
}

void EquityChart::paint(QPainter *painter) const
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

void EquityChart::paintHeader(QPainter *painter) const
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
    const QList<Entry> entries{{translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "End-of-day funds")), 0},
                               {translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Running peak")), 1},
                               {translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Drawdown")), 2}};
    const double swatch = 22;
    double legendWidth = 0;
    for (const Entry &entry : entries)
        legendWidth += swatch + 6 + text.horizontalAdvance(entry.label) + 18;
    legendWidth -= 18;
    double x = m_size.width() - Margin - legendWidth;
    const double legendLeft = x;
    // A narrow chart gives its line to the title: the legend would cover it.
    const bool legend = legendLeft - 24 - Margin >= MinTitleWidth;
    const double middle = titleBaseline - text.ascent() / 2 + 2;
    painter->setFont(m_textFont);
    for (const Entry &entry : legend ? entries : QList<Entry>()) {
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
    const QString heading =
        translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Equity of instance %1"))
            .arg(BacktestReport::printable(m_report.instanceId()));
    painter->drawText(QPointF(Margin, titleBaseline),
                      title.elidedText(heading, Qt::ElideRight,
                                       (legend ? legendLeft - 24 : m_size.width() - Margin) - Margin));

    // The headline figures, the value after its name.
    const BacktestReport::Figures &f = m_report.figures();
    struct Figure
    {
        QString label;
        QString value;
        QColor color;
    };
    QList<Figure> figures{
        {translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Total return")),
         BacktestReport::signedPercent(f.totalReturn), signColor(f.totalReturn)},
        {translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Max drawdown")),
         BacktestReport::percent(f.maxDrawdown),
         f.maxDrawdown.value_or(0) > 0 ? Loss : Ink},
        {translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Sharpe")), BacktestReport::ratio(f.sharpeRatio),
         Ink},
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
    // The period at the right, unless the figures reach that far.
    const QString period = periodText(m_report);
    const double periodLeft = m_size.width() - Margin - text.horizontalAdvance(period);
    if (f.days > 0 && periodLeft >= x) {
        painter->setFont(m_textFont);
        painter->setPen(Muted);
        painter->drawText(QPointF(periodLeft, m_headlineBaseline), period);
    }
}

void EquityChart::paintAxes(QPainter *painter) const
{
    paintAmountAxis(painter, m_plot, m_tickFont, m_ticks, m_tickDecimals,
                    [this](double amount) { return yFor(amount); });
    const QFontMetricsF ticks(m_tickFont); // the day ticks below, in the same font

    const QVector<BacktestReport::EquityPoint> &points = m_report.equity();
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

void EquityChart::paintCurves(QPainter *painter) const
{
    const QVector<BacktestReport::EquityPoint> &points = m_report.equity();
    if (points.isEmpty()) {
        painter->setFont(m_textFont);
        painter->setPen(Muted);
        painter->drawText(m_plot, Qt::AlignCenter,
                          translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "No day with both funds to draw")));
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
        const BacktestReport::EquityPoint &before = points.at(i - 1);
        const BacktestReport::EquityPoint &point = points.at(i);
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
        const QString label = QStringLiteral("-") + BacktestReport::percent(m_report.figures().maxDrawdown);
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

QString EquityChart::periodText(const BacktestReport &report)
{
    const BacktestReport::Figures &f = report.figures();
    if (f.days == 0 || !f.firstDate.isValid() || !f.lastDate.isValid())
        return report.period();
    const char *context = "StrategyLogic::EquityChart";
    const char *source = f.firstDate == f.lastDate
        ? QT_TRANSLATE_N_NOOP("StrategyLogic::EquityChart", "%1, %n days")
        : QT_TRANSLATE_N_NOOP("StrategyLogic::EquityChart", "%1 to %2, %n days");
    const QString text = QCoreApplication::translate(context, source, nullptr, f.days);
    // Untranslated, the report's own words: they say "1 day".
    if (text == QString::fromLatin1(source).replace(QLatin1String("%n"), QString::number(f.days)))
        return report.period();
    const QString first = f.firstDate.toString(Qt::ISODate);
    return f.firstDate == f.lastDate ? text.arg(first) : text.arg(first, f.lastDate.toString(Qt::ISODate));
}

QByteArray EquityChart::toSvg(QString *error) const
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
        translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "Equity of instance %1"))
            .arg(BacktestReport::printable(m_report.instanceId()))
            .toHtmlEscaped());
    generator.setDescription(
        translated(QT_TRANSLATE_NOOP("StrategyLogic::EquityChart", "End-of-day funds, running peak and drawdown")));
    QPainter painter;
    if (!painter.begin(&generator)) {
        *error = QStringLiteral("cannot draw the SVG chart");
        return QByteArray();
    }
    paint(&painter);
    painter.end();
    return buffer.data();
}

QByteArray EquityChart::toPng(QString *error, int scale) const
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

QByteArray EquityChart::toHtml(QString *error) const
{
    const QByteArray svg = toSvg(error);
    if (svg.isEmpty())
        return QByteArray();
    return reportHtml(m_report, svg).toUtf8();
}

QByteArray EquityChart::document(Format format, QString *error) const
{
    switch (format) {
    case Format::Svg:
        return toSvg(error);
    case Format::Png:
        return toPng(error);
    case Format::Html:
        return toHtml(error);
    }
    *error = QStringLiteral("unknown chart format %1").arg(int(format));
    return QByteArray();
}

bool EquityChart::save(const QString &path, Format format, QString *error) const
{
    QString reason;
    const QByteArray bytes = document(format, &reason);
    if (bytes.isEmpty()) {
        if (error)
            *error = reason;
        return false;
    }
    return writeDocument(path, bytes, error);
}

bool EquityChart::writeDocument(const QString &path, const QByteArray &document, QString *error)
{
    // writeWholeFile() makes a missing folder, as the plug-in's own files
    // need; a file a person names goes into a folder that is there.
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.isDir()) {
        if (error)
            *error = qt_error_string(folder.exists() ? ENOTDIR : ENOENT);
        return false;
    }
    return writeWholeFile(path, document, error);
}

} // namespace StrategyLogic
