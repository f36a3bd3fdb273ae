#ifndef SIMUTRADEMODEL_H
#define SIMUTRADEMODEL_H

#include <QAbstractTableModel>
#include <QList>
#include <QMap>
#include <QStringList>
#include <QVariant>

// The orders or the fills of a simulated instance as the plug-in reads them
// from the simulated-trading database, one row per order or fill. A compact
// set of columns by default, every column after setShowAll(true). The
// invest type and position effect are shown in words through the plug-in's
// label rules ("——" for a stock). Thread: GUI.
class SimuTradeModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum class Kind { Orders, Fills };

    explicit SimuTradeModel(Kind kind, QObject *parent = nullptr);

    void setRows(const QList<QMap<QString, QVariant>> &rows);
    void setShowAll(bool all);
    bool showsAll() const { return m_all; }
    // The field key of a visible column.
    QString columnKey(int column) const { return m_visible.value(column); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const QMap<QString, QVariant> &row, const QString &key) const;

    Kind m_kind;
    bool m_all = false;
    QStringList m_visible;
    QList<QMap<QString, QVariant>> m_rows;
};

#endif // SIMUTRADEMODEL_H
