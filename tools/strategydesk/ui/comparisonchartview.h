#ifndef COMPARISONCHARTVIEW_H
#define COMPARISONCHARTVIEW_H

#include <StrategyLogic/comparisonchart.h>

#include <QWidget>

// The equity curves of several backtest reports from the same start, in a
// widget: the chart laid out anew for every size. Thread: GUI.
class ComparisonChartView : public QWidget
{
    Q_OBJECT

public:
    explicit ComparisonChartView(QWidget *parent = nullptr);

    void setReports(const QList<StrategyLogic::BacktestReport> &reports);
    const StrategyLogic::ComparisonChart &chart() const { return m_chart; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    StrategyLogic::ComparisonChart m_chart;
};

#endif // COMPARISONCHARTVIEW_H
