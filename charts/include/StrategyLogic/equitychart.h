#ifndef STRATEGYLOGIC_EQUITYCHART_H
#define STRATEGYLOGIC_EQUITYCHART_H

#include <StrategyLogic/backtestreport.h>
#include <StrategyLogic/strategylogiccharts_global.h>

#include <QByteArray>
#include <QFont>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

#include <memory>

class QGuiApplication;
class QPainter;

/// \file
/// The equity chart of a backtest report, for a widget, an SVG, a PNG or an
/// HTML page.

namespace StrategyLogic {

/// The equity chart of a BacktestReport: the end-of-day funds over the days
/// (the first point is the first day's start), the running peak with the
/// drawdown below it shaded, the maximum drawdown marked, axes with dates
/// and amounts, a title with the instance and the headline figures, and a
/// legend. One layout for a given size, painted with QPainter on any device:
/// a widget (paint(), with pointAt() and pointNearest() for a read-out under
/// the pointer), an SVG (QSvgGenerator), a PNG (QImage), or an HTML page
/// with the SVG inlined.
///
/// A value: it holds a copy of the report and its layout; setSize() lays it
/// out anew. Text needs the font database of a QGuiApplication: construct,
/// lay out and draw a chart only where canDraw() is true, on the thread of
/// that application. Failures: toSvg(), toPng() and toHtml() return an
/// empty array and say why in `error`; save() and writeDocument() return
/// false, leaving the old file (or none) in place.
class STRATEGYLOGICCHARTS_EXPORT EquityChart
{
public:
    /// What save() writes.
    enum class Format {
        Svg,  ///< the chart as an SVG document (toSvg())
        Png,  ///< the chart as a PNG image, twice as fine as its size (toPng())
        Html, ///< the report's HTML page with the chart inlined (toHtml())
    };

    /// Logical pixels; an SVG's view box, a PNG's size before scaling.
    static const QSize DefaultSize;

    /// The chart of `report`, laid out for `size` (logical pixels). Any size
    /// can be laid out; below about 480 x 270 the texts crowd each other.
    explicit EquityChart(const BacktestReport &report, const QSize &size = DefaultSize);

    /// The period of `report` as the chart shows it: BacktestReport::period()
    /// ("2026-11-02 to 2026-12-04, 25 days"), in the application's language
    /// when a translator for the context StrategyLogic::EquityChart has it.
    static QString periodText(const BacktestReport &report);

    /// Whether charts can be drawn in this process (a QGuiApplication exists).
    static bool canDraw();
    /// The application of a process that draws charts: a QGuiApplication on
    /// the offscreen platform unless QT_QPA_PLATFORM names another, so that
    /// no display is needed. Call it where the process would create its
    /// application, before any other Qt object.
    static std::unique_ptr<QGuiApplication> createApplication(int &argc, char **argv);

    /// The report drawn.
    const BacktestReport &report() const { return m_report; }
    /// The size laid out for.
    QSize size() const { return m_size; }
    /// Lays the chart out anew for `size`, as a widget does when it is
    /// resized.
    void setSize(const QSize &size);

    /// The rectangle the curve is drawn in, between the axes.
    QRectF plotArea() const { return m_plot; }
    /// Where equity point `index` of the report is drawn (0 <= index <
    /// report().equity().size()).
    QPointF pointAt(int index) const;
    /// The equity point drawn nearest to `x` (in the chart's coordinates),
    /// for a read-out of the date and funds under the pointer: an index into
    /// report().equity(), or -1 when the report has no point.
    int pointNearest(double x) const;
    /// The amounts of the axis, lowest first: the bottom and top of the plot
    /// area are the first and the last.
    const QVector<double> &amountTicks() const { return m_ticks; }
    /// The equity points with a date under them, in order.
    const QVector<int> &labelledPoints() const { return m_labelled; }

    /// Paints the whole chart, its white ground included, into the rectangle
    /// (0, 0, size()) of `painter`'s coordinates; the painter's state is
    /// restored afterwards.
    void paint(QPainter *painter) const;

    /// The chart as an SVG document; empty, with `error` set, when it cannot
    /// be made.
    QByteArray toSvg(QString *error) const;
    /// The chart as a PNG of size() * `scale` pixels (2: sharp on
    /// high-density screens and when zoomed); empty, with `error` set, when it
    /// cannot be made.
    QByteArray toPng(QString *error, int scale = 2) const;
    /// reportHtml() of the report with this chart's SVG, as UTF-8; empty,
    /// with `error` set, when the SVG cannot be made.
    QByteArray toHtml(QString *error) const;
    /// The document of `format`: toSvg(), toPng() or toHtml().
    QByteArray document(Format format, QString *error) const;

    /// Makes the document of `format` and writes it to `path` with
    /// writeDocument(). False, with the reason in `error` (when given), when
    /// it could not be made or written; the old file (or none) then stays.
    bool save(const QString &path, Format format, QString *error = nullptr) const;
    /// Writes `document` to `path` whole or not at all, through
    /// StrategyLogic::writeWholeFile(): a reader finds the old file or the
    /// new one, never a part, and a full disk leaves no short file. The
    /// folder must exist (a mistyped folder is an error, not a new folder).
    /// False, with the reason in `error` (when given, the system's words:
    /// "No such file or directory", "File too large", ...), when the old
    /// file (or none) stays. A relative `path` is taken from the working
    /// directory. Thread-safe for different paths.
    static bool writeDocument(const QString &path, const QByteArray &document, QString *error = nullptr);

private:
    void layOut();
    double xFor(int index) const;
    // The width the points are spread over, between the insets.
    double pointSpread() const;
    double yFor(double funds) const;
    void paintHeader(QPainter *painter) const;
    void paintAxes(QPainter *painter) const;
    void paintCurves(QPainter *painter) const;

    BacktestReport m_report;
    QSize m_size;
    QFont m_titleFont;
    QFont m_textFont;
    QFont m_boldFont;
    QFont m_tickFont;
    QRectF m_plot;
    double m_headlineBaseline = 0;
    QVector<double> m_ticks;
    int m_tickDecimals = 0;
    QVector<int> m_labelled;
};

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_EQUITYCHART_H
