#include "models/strategyfilterproxy.h"

#include "models/strategytablemodel.h"

StrategyFilterProxy::StrategyFilterProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void StrategyFilterProxy::setSourceModel(QAbstractItemModel *model)
{
    m_strategies = qobject_cast<const StrategyTableModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void StrategyFilterProxy::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateFilter();
}

void StrategyFilterProxy::setGroup(const QString &name)
{
    if (name == m_group)
        return;
    m_group = name;
    invalidateFilter();
}

bool StrategyFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_strategies) {
        const FixedStrategyInfo &info = m_strategies->rowAt(sourceRow).info;
        if (!m_group.isEmpty() && info.group != m_group)
            return false;
        return m_text.isEmpty() || info.name.contains(m_text, Qt::CaseInsensitive)
            || info.filePath.contains(m_text, Qt::CaseInsensitive)
            || info.extraInfo.contains(m_text, Qt::CaseInsensitive);
    }
    const QAbstractItemModel *model = sourceModel();
    auto text = [&](int column) {
        return model->index(sourceRow, column, sourceParent).data().toString();
    };
    if (!m_group.isEmpty() && text(StrategyTableModel::Group) != m_group)
        return false;
    return m_text.isEmpty() || text(StrategyTableModel::Name).contains(m_text, Qt::CaseInsensitive)
        || text(StrategyTableModel::File).contains(m_text, Qt::CaseInsensitive)
        || text(StrategyTableModel::Text).contains(m_text, Qt::CaseInsensitive);
}

bool StrategyFilterProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    const int column = left.column();
    if (m_strategies && left.model() == m_strategies) {
        const auto &a = m_strategies->rowAt(left.row());
        const auto &b = m_strategies->rowAt(right.row());
        switch (column) {
        case StrategyTableModel::Id:
            return a.info.id < b.info.id;
        case StrategyTableModel::Copy:
            return a.info.copyIndex < b.info.copyIndex;
        case StrategyTableModel::Locked:
            return a.locked < b.locked;
        }
        return QSortFilterProxyModel::lessThan(left, right);
    }
    switch (column) {
    case StrategyTableModel::Id:
    case StrategyTableModel::Copy:
        return left.data().toLongLong() < right.data().toLongLong();
    case StrategyTableModel::Locked:
        return left.data(StrategyTableModel::LockedRole).toBool() < right.data(StrategyTableModel::LockedRole).toBool();
    }
    return QSortFilterProxyModel::lessThan(left, right);
}
