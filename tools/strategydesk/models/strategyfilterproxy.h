#ifndef STRATEGYFILTERPROXY_H
#define STRATEGYFILTERPROXY_H

#include <QSortFilterProxyModel>

class StrategyTableModel;

// The strategies the user looks for: those of one group (or all), whose
// name, file or text holds the filter text (case-insensitive); ids and copy
// indexes sort as numbers, the locked column as locked after not locked.
// Sorting and filtering follow the changes of the source (dynamic). Thread:
// GUI.
class StrategyFilterProxy : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit StrategyFilterProxy(QObject *parent = nullptr);

    QString filterText() const { return m_text; }
    QString group() const { return m_group; }

    void setSourceModel(QAbstractItemModel *model) override;

public slots:
    void setFilterText(const QString &text);
    // An empty name shows every group.
    void setGroup(const QString &name);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    // `narrower`: no row hidden now is shown by the new filter.
    void refilter(bool narrower);
    int compare(const QString &a, const QString &b) const;

    // The source when it is a strategy model, read directly: a keystroke
    // filters every row.
    const StrategyTableModel *m_strategies = nullptr;
    QString m_text;
    QString m_group;
};

#endif // STRATEGYFILTERPROXY_H
