#include "models/instancefilterproxy.h"

#include "models/instancetablemodel.h"

#include <StrategyLogic/strategylogic_global.h>

InstanceFilterProxy::InstanceFilterProxy(QObject *parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(true);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

void InstanceFilterProxy::setSourceModel(QAbstractItemModel *model)
{
    m_instances = qobject_cast<const InstanceTableModel *>(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void InstanceFilterProxy::setFilterText(const QString &text)
{
    if (text == m_text)
        return;
    // A longer text of the same start shows some of the rows shown.
    const bool narrower = text.startsWith(m_text, Qt::CaseInsensitive);
    m_text = text;
    refilter(narrower);
}

void InstanceFilterProxy::setRunMode(int mode)
{
    if (mode < 0)
        mode = AllModes;
    if (mode == m_mode)
        return;
    const bool narrower = m_mode == AllModes;
    m_mode = mode;
    refilter(narrower);
}

void InstanceFilterProxy::refilter(bool narrower)
{
    // Building the rows anew filters every row and sorts those shown; the
    // step by step update of invalidateFilter() keeps the sort of the rows
    // that stay, but costs up to the number of rows for each run of rows
    // that come. Rows only go when the filter narrows: then the update is
    // the cheaper.
    if (sortColumn() < 0 || !narrower)
        invalidate();
    else
        invalidateFilter();
}

bool InstanceFilterProxy::modeAccepted(int mode) const
{
    if (m_mode == AllModes || mode == m_mode)
        return true;
    // The table names the modes the plug-in does not know by their number;
    // they are unknown to it as OPERATE_UNKNOWN is.
    return m_mode == OPERATE_UNKNOWN && !InstanceTableModel::namedRunModes().contains(mode);
}

bool InstanceFilterProxy::textAccepted(const QString &id, const QString &account, const QString &answer) const
{
    return m_text.isEmpty() || id.contains(m_text, Qt::CaseInsensitive)
        || account.contains(m_text, Qt::CaseInsensitive) || answer.contains(m_text, Qt::CaseInsensitive);
}

bool InstanceFilterProxy::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (m_instances) {
        const InstanceInfo &info = m_instances->rowAt(sourceRow).info;
        return modeAccepted(info.runMode) && textAccepted(info.instanceId, info.fundAccount, info.returnRegInfo);
    }
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    const InstanceInfo info = index.data(InstanceTableModel::InfoRole).value<InstanceInfo>();
    return modeAccepted(info.runMode) && textAccepted(info.instanceId, info.fundAccount, info.returnRegInfo);
}

int InstanceFilterProxy::compare(const QString &a, const QString &b) const
{
    // As QSortFilterProxyModel compares texts, without the variants.
    if (isSortLocaleAware())
        return sortCaseSensitivity() == Qt::CaseSensitive ? a.localeAwareCompare(b)
                                                          : a.toLower().localeAwareCompare(b.toLower());
    return a.compare(b, sortCaseSensitivity());
}

bool InstanceFilterProxy::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    if (m_instances && left.model() == m_instances) {
        const auto &a = m_instances->rowAt(left.row());
        const auto &b = m_instances->rowAt(right.row());
        switch (left.column()) {
        case InstanceTableModel::Id:
            return InstanceTableModel::rowLess(a, b);
        case InstanceTableModel::RunMode:
            return a.info.runMode < b.info.runMode;
        case InstanceTableModel::FundAccount:
            return compare(a.info.fundAccount, b.info.fundAccount) < 0;
        case InstanceTableModel::Registration:
            return compare(a.info.returnRegInfo, b.info.returnRegInfo) < 0;
        case InstanceTableModel::Start:
            return a.startMs < b.startMs;
        case InstanceTableModel::End:
            return a.endMs < b.endMs;
        }
        return QSortFilterProxyModel::lessThan(left, right);
    }
    switch (left.column()) {
    case InstanceTableModel::Id:
        return InstanceTableModel::idLess(left.data(InstanceTableModel::IdRole).toString(),
                                          right.data(InstanceTableModel::IdRole).toString());
    case InstanceTableModel::RunMode:
        return left.data(InstanceTableModel::RunModeRole).toInt() < right.data(InstanceTableModel::RunModeRole).toInt();
    case InstanceTableModel::Start:
    case InstanceTableModel::End: {
        // Times not set first.
        const QDateTime a = left.data(InstanceTableModel::TimeRole).toDateTime();
        const QDateTime b = right.data(InstanceTableModel::TimeRole).toDateTime();
        return a.isValid() != b.isValid() ? b.isValid()
                                          : a.isValid() && a.toMSecsSinceEpoch() < b.toMSecsSinceEpoch();
    }
    }
    return QSortFilterProxyModel::lessThan(left, right);
}
