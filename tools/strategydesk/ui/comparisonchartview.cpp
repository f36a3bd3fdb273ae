#include "ui/comparisonchartview.h"

#include <QPainter>

using StrategyLogic::BacktestReport;

ComparisonChartView::ComparisonChartView(QWidget *parent)
    : QWidget(parent)
    , m_chart({}, size())
{
    setAccessibleName(tr("Equity curves compared"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void ComparisonChartView::setReports(const QList<BacktestReport> &reports)
{
    m_chart = StrategyLogic::ComparisonChart(reports, size());
    QStringList summary;
    for (const BacktestReport &report : reports)
        summary.append(tr("instance %1 %2")
                           .arg(BacktestReport::printable(report.instanceId()),
                                BacktestReport::signedPercent(report.figures().totalReturn)));
    setAccessibleDescription(summary.join(QStringLiteral("; ")));
    update();
}

QSize ComparisonChartView::sizeHint() const
{
    return QSize(720, 380);
}

QSize ComparisonChartView::minimumSizeHint() const
{
    return QSize(360, 220);
}

void ComparisonChartView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_chart.paint(&painter);
}

void ComparisonChartView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_chart.setSize(size());
}
