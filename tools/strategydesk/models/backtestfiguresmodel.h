#ifndef BACKTESTFIGURESMODEL_H
#define BACKTESTFIGURESMODEL_H

#include <StrategyLogic/backtestreport.h>

#include <QAbstractTableModel>
#include <QJsonObject>
#include <QList>

// The figures of one or more backtest reports side by side: a row per
// figure (BacktestReport::figureKeys(), headed by figureLabel()), a column
// per report (headed by its instance), the texts of figuresText().
// Thread: GUI.
class BacktestFiguresModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit BacktestFiguresModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Shows the figures of `reports`, a column each (a reset).
    void setReports(const QList<StrategyLogic::BacktestReport> &reports);
    // The name of a figure in the language of the screens (the report's
    // figureLabel() in English).
    static QString figureLabel(const QString &key);
    // The figure key of a row.
    QString keyAt(int row) const { return m_keys.value(row); }

private:
    QStringList m_keys;
    QStringList m_instances;
    QList<QJsonObject> m_texts; // a column each
};

#endif // BACKTESTFIGURESMODEL_H
