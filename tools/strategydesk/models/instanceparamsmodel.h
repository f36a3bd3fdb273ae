#ifndef INSTANCEPARAMSMODEL_H
#define INSTANCEPARAMSMODEL_H

#include <StrategyHost/zparamdata.h>

#include <QAbstractTableModel>
#include <QList>

// The user parameters of one strategy instance, as the plug-in holds them
// from the strategy server's list (getInstanceParams()): a row for each
// parameter, a column for each field of the host's ZParamData, in its
// order. A few rows: a change of the list resets the model. Thread: GUI.
class InstanceParamsModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Index, Name, Value, Type, Flag, Description, Range, Precision, Default, Group, ColumnCount };

    explicit InstanceParamsModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    QList<ZParamData> params() const { return m_params; }
    // Shows these parameters; nothing happens when they are the ones shown.
    void setParams(const QList<ZParamData> &params);

private:
    QVariant field(const ZParamData &param, int column) const;

    QList<ZParamData> m_params;
};

#endif // INSTANCEPARAMSMODEL_H
