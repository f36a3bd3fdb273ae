#ifndef EQUITYCHARTVIEW_H
#define EQUITYCHARTVIEW_H

#include <StrategyLogic/equitychart.h>

#include <QWidget>

// The equity chart of one backtest report in a widget: the chart laid out
// anew for every size, and under the pointer a read-out of the date and the
// funds of the nearest point, drawn as a marker with a label and given as
// the tool tip and the accessible description. Thread: GUI.
class EquityChartView : public QWidget
{
    Q_OBJECT

public:
    explicit EquityChartView(QWidget *parent = nullptr);

    void setReport(const StrategyLogic::BacktestReport &report);
    const StrategyLogic::EquityChart &chart() const { return m_chart; }

    // The equity point under the pointer; -1 when none.
    int hoveredPoint() const { return m_hovered; }
    // What the read-out says ("End of 2026-12-03: 100,959.60"); empty
    // while the pointer is not over the chart.
    QString readOut() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void setHovered(int index);
    void paintReadOut(QPainter *painter) const;
    QString description() const;

    StrategyLogic::EquityChart m_chart;
    int m_hovered = -1;
};

#endif // EQUITYCHARTVIEW_H
