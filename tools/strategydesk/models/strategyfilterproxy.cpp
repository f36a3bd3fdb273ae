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
    // A longer text of the same start shows some of the rows shown.
    const bool narrower = text.startsWith(m_text, Qt::CaseInsensitive);
    m_text = text;
    refilter(narrower);
}

void StrategyFilterProxy::setGroup(const QString &name)
{
    if (name == m_group)
        return;
    const bool narrower = m_group.isEmpty();
    m_group = name;
    refilter(narrower);
}

void StrategyFilterProxy::refilter(bool narrower)
{
    // Building the rows anew filters every row and sorts those shown; the
    // step by step update of invalidateFilter() keeps the sort of the rows
    // that stay, but costs up to the number of rows for each run of rows
    // that come (for each the view moves all rows below). Rows only go when
    // the filter narrows: then the update is the cheaper.
    if (sortColumn() < 0 || !narrower)
        invalidate();
    else
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

int StrategyFilterProxy::compare(const QString &a, const QString &b) const
{
    // As QSortFilterProxyModel compares texts, without the variants.
    if (isSortLocaleAware())
        return sortCaseSensitivity() == Qt::CaseSensitive ? a.localeAwareCompare(b)
                                                          : a.toLower().localeAwareCompare(b.toLower());
    return a.compare(b, sortCaseSensitivity());
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
        case StrategyTableModel::Name:
            return compare(a.info.name, b.info.name) < 0;
        case StrategyTableModel::File:
            return compare(a.info.filePath, b.info.filePath) < 0;
        case StrategyTableModel::Group:
            return compare(a.info.group, b.info.group) < 0;
        case StrategyTableModel::Text:
            return compare(a.info.extraInfo, b.info.extraInfo) < 0;
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
