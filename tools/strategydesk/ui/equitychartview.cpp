#include "ui/equitychartview.h"

#include <QMouseEvent>
#include <QPainter>

using StrategyLogic::BacktestReport;

EquityChartView::EquityChartView(QWidget *parent)
    : QWidget(parent)
    , m_chart(BacktestReport(), size())
{
    setMouseTracking(true);
    setAccessibleName(tr("Equity chart"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void EquityChartView::setReport(const BacktestReport &report)
{
    m_chart = StrategyLogic::EquityChart(report, size());
    m_hovered = -1;
    setToolTip(QString());
    setAccessibleDescription(description());
    update();
}

QString EquityChartView::description() const
{
    const BacktestReport &report = m_chart.report();
    if (report.equity().isEmpty())
        return tr("No day with both funds to draw");
    return tr("End-of-day funds of instance %1 from %2 to %3")
        .arg(BacktestReport::printable(report.instanceId()), BacktestReport::funds(report.figures().startFunds),
             BacktestReport::funds(report.figures().endFunds));
}

QString EquityChartView::readOut() const
{
    if (m_hovered < 0)
        return QString();
    const BacktestReport::EquityPoint &point = m_chart.report().equity().at(m_hovered);
    const QString date = point.date.toString(Qt::ISODate);
    const QString funds = BacktestReport::funds(point.funds);
    return point.isStart ? tr("Start of %1: %2").arg(date, funds) : tr("End of %1: %2").arg(date, funds);
}

QSize EquityChartView::sizeHint() const
{
    return QSize(720, 380);
}

QSize EquityChartView::minimumSizeHint() const
{
    return QSize(360, 220);
}

void EquityChartView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_chart.paint(&painter);
    if (m_hovered >= 0)
        paintReadOut(&painter);
}

void EquityChartView::paintReadOut(QPainter *painter) const
{
    const QPointF at = m_chart.pointAt(m_hovered);
    const QRectF plot = m_chart.plotArea();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(QPen(QColor(0x5b, 0x64, 0x75), 1, Qt::DotLine));
    painter->drawLine(QPointF(at.x(), plot.top()), QPointF(at.x(), plot.bottom()));
    painter->setPen(QPen(QColor(0x1d, 0x23, 0x30), 2));
    painter->setBrush(Qt::white);
    painter->drawEllipse(at, 5, 5);

    const QString text = readOut();
    const QFontMetricsF metrics(font());
    const QSizeF box(metrics.horizontalAdvance(text) + 12, metrics.height() + 6);
    // Beside the point, on the side with room, inside the plot.
    double x = at.x() + 10;
    if (x + box.width() > plot.right())
        x = at.x() - 10 - box.width();
    const double y = qBound(plot.top(), at.y() - box.height() - 8, plot.bottom() - box.height());
    const QRectF ground(QPointF(x, y), box);
    painter->setPen(QPen(QColor(0x9a, 0xa3, 0xb2), 1));
    painter->setBrush(QColor(255, 255, 255, 235));
    painter->drawRoundedRect(ground, 3, 3);
    painter->setPen(QColor(0x1d, 0x23, 0x30));
    painter->drawText(ground, Qt::AlignCenter, text);
}

void EquityChartView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_chart.setSize(size());
}

void EquityChartView::mouseMoveEvent(QMouseEvent *event)
{
    setHovered(m_chart.pointNearest(event->pos().x()));
    QWidget::mouseMoveEvent(event);
}

void EquityChartView::leaveEvent(QEvent *event)
{
    setHovered(-1);
    QWidget::leaveEvent(event);
}

void EquityChartView::setHovered(int index)
{
    if (index == m_hovered)
        return;
    m_hovered = index;
    const QString text = readOut();
    setToolTip(text);
    setAccessibleDescription(text.isEmpty() ? description() : text);
    update();
}
