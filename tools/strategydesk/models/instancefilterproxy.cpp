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
    m_text = text;
    refilter();
}

void InstanceFilterProxy::setRunMode(int mode)
{
    if (mode < 0)
        mode = AllModes;
    if (mode == m_mode)
        return;
    m_mode = mode;
    refilter();
}

void InstanceFilterProxy::refilter()
{
    // Building the rows anew filters every row and sorts those shown. The
    // step by step update of invalidateFilter() costs up to the number of
    // rows for each run of rows that come or go, and a keystroke that
    // narrows a table of ids leaves rows scattered all over it: one key
    // over 100,000 instances removed thousands of runs, some 150 ms, where
    // building anew takes a few.
    invalidate();
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
            return InstanceTableModel::timeLess(a.info.startTime, b.info.startTime);
        case InstanceTableModel::End:
            return InstanceTableModel::timeLess(a.info.endTime, b.info.endTime);
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
        return InstanceTableModel::timeLess(left.data(InstanceTableModel::TimeRole).toDateTime(),
                                            right.data(InstanceTableModel::TimeRole).toDateTime());
    }
    }
    return QSortFilterProxyModel::lessThan(left, right);
}
