#ifndef BACKTESTDAYSMODEL_H
#define BACKTESTDAYSMODEL_H

#include <StrategyLogic/backtestreport.h>

#include <QAbstractTableModel>

// The days of one backtest report, in date order: date, initial funds, end
// funds, day return and drawdown, as BacktestReport::dayText() gives them.
// A day that does not count in the figures (not ended, no valid funds) is
// greyed and says why in its tool tip. The texts are made when a row is
// shown, not for every day at once, so that ten thousand days cost one
// copy of the report. Thread: GUI.
class BacktestDaysModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Date, InitialFunds, EndFunds, DayReturn, Drawdown, ColumnCount };

    explicit BacktestDaysModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Shows the days of `report` (a reset).
    void setReport(const StrategyLogic::BacktestReport &report);
    const StrategyLogic::BacktestReport &report() const { return m_report; }

private:
    QString text(int row, int column) const;

    StrategyLogic::BacktestReport m_report;
    // The texts of the row asked for last: a view asks for a row's cells
    // one after another.
    mutable int m_cachedRow = -1;
    mutable QStringList m_cachedTexts;
};

#endif // BACKTESTDAYSMODEL_H
