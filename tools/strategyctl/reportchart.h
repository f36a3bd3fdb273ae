#ifndef REPORTCHART_H
#define REPORTCHART_H

#include "report.h"

#include <QByteArray>
#include <QFont>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QVector>

#include <memory>

class QGuiApplication;
class QPainter;

// The equity chart of a report: the end-of-day funds over the days (the
// first point is the first day's start), the running peak with the
// drawdown below it shaded, the maximum drawdown marked, axes with dates
// and amounts, a title with the instance and the headline figures, and a
// legend. One layout, painted with QPainter on any device: SVG
// (QSvgGenerator) and PNG (QImage).
//
// Text needs the font database of a QGuiApplication: construct a chart only
// where canDraw() is true. Thread: main.
class ReportChart
{
public:
    // Logical pixels; an SVG's view box, a PNG's size before scaling.
    static const QSize DefaultSize;

    explicit ReportChart(const Report &report, const QSize &size = DefaultSize);

    // Whether charts can be drawn in this process (a QGuiApplication exists).
    static bool canDraw();
    // The application of a process that draws charts: a QGuiApplication on
    // the offscreen platform unless QT_QPA_PLATFORM names another, so that
    // no display is needed.
    static std::unique_ptr<QGuiApplication> createApplication(int &argc, char **argv);

    QSize size() const { return m_size; }
    // The rectangle the curve is drawn in, between the axes.
    QRectF plotArea() const { return m_plot; }
    // Where equity point `index` of the report is drawn.
    QPointF pointAt(int index) const;
    // The amounts of the axis, lowest first: the bottom and top of the plot
    // area are the first and the last.
    const QVector<double> &amountTicks() const { return m_ticks; }
    // The equity points with a date under them, in order.
    const QVector<int> &labelledPoints() const { return m_labelled; }

    void paint(QPainter *painter) const;

    // The chart as an SVG document; empty, with `error` set, when it cannot
    // be made.
    QByteArray toSvg(QString *error) const;
    // The chart as a PNG of size() * `scale` pixels (2: sharp on
    // high-density screens and when zoomed); empty, with `error` set, when it
    // cannot be made.
    QByteArray toPng(QString *error, int scale = 2) const;

private:
    double xFor(int index) const;
    double yFor(double funds) const;
    void paintHeader(QPainter *painter) const;
    void paintAxes(QPainter *painter) const;
    void paintCurves(QPainter *painter) const;

    Report m_report;
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

#endif // REPORTCHART_H
