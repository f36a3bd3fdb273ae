#include "models/grouplistmodel.h"

#include "models/strategytablemodel.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <QFont>
#include <QMimeData>
#include <QSet>

GroupListModel::GroupListModel(StrategyFileLogicHandler &plugin, const StrategyTableModel &strategies,
                               QObject *parent)
    : QAbstractListModel(parent)
    , m_plugin(plugin)
    , m_strategies(strategies)
{
    // The strategy model reloads from the plug-in's signals, on this
    // thread, once for a burst: the counts follow it.
    connect(&strategies, &StrategyTableModel::changed, this, &GroupListModel::reload);
    m_rows.append(Row{QString(), strategies.rowCount(), false});
    reload();
}

int GroupListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

QVariant GroupListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const bool all = index.row() == 0;
    switch (role) {
    case Qt::DisplayRole:
        if (all)
            return tr("All strategies (%1)").arg(row.count);
        // Two arguments at once: a name holding "%2" stays as it is.
        return tr("%1 (%2)").arg(row.name, QString::number(row.count));
    case Qt::ToolTipRole:
        if (all)
            return tr("%n strategies in all", nullptr, row.count);
        if (row.builtIn)
            return tr("%1: a built-in group, it cannot be renamed or deleted (%n strategies)", nullptr, row.count)
                .arg(row.name);
        return tr("%1: %n strategies", nullptr, row.count).arg(row.name);
    case Qt::FontRole:
        if (row.builtIn) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        break;
    case NameRole:
        return row.name;
    case CountRole:
        return row.count;
    case BuiltInRole:
        return row.builtIn;
    }
    return QVariant();
}

Qt::ItemFlags GroupListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return index.row() == 0 ? flags : flags | Qt::ItemIsDropEnabled;
}

QStringList GroupListModel::mimeTypes() const
{
    return {StrategyTableModel::idsMimeType()};
}

Qt::DropActions GroupListModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

bool GroupListModel::canDropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                     const QModelIndex &parent) const
{
    Q_UNUSED(column)
    // Onto a group's row only: not between rows, not onto "All strategies".
    if (action != Qt::MoveAction && action != Qt::CopyAction)
        return false;
    if (row != -1 || !parent.isValid() || parent.model() != this || parent.row() < 1 || parent.row() >= m_rows.size())
        return false;
    return !StrategyTableModel::idsFromMimeData(data).isEmpty();
}

bool GroupListModel::dropMimeData(const QMimeData *data, Qt::DropAction action, int row, int column,
                                  const QModelIndex &parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    emit moveRequested(StrategyTableModel::idsFromMimeData(data), m_rows.at(parent.row()).name);
    return true;
}

QString GroupListModel::groupAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).name : QString();
}

int GroupListModel::rowOfGroup(const QString &name) const
{
    if (name.isEmpty())
        return -1;
    for (int row = 1; row < m_rows.size(); ++row) {
        if (m_rows.at(row).name == name)
            return row;
    }
    return -1;
}

void GroupListModel::reload()
{
    const QHash<QString, int> counts = m_strategies.groupCounts();
    const QString defaultGroup = StrategyLogic::defaultGroupName();
    const QString autoStartGroup = StrategyLogic::autoStartGroupName();
    QVector<Row> fresh;
    fresh.append(Row{QString(), m_strategies.rowCount(), false});
    for (const QString &name : m_plugin.getAllStrategyGroupNameSorted())
        fresh.append(Row{name, counts.value(name), name == defaultGroup || name == autoStartGroup});

    QSet<QString> oldNames;
    QSet<QString> newNames;
    for (int k = 1; k < m_rows.size(); ++k)
        oldNames.insert(m_rows.at(k).name);
    for (int k = 1; k < fresh.size(); ++k)
        newNames.insert(fresh.at(k).name);

    auto update = [this](int at, const Row &row) {
        Row &held = m_rows[at];
        if (held.name == row.name && held.count == row.count && held.builtIn == row.builtIn)
            return;
        held = row;
        emit dataChanged(index(at), index(at));
    };
    update(0, fresh.at(0));

    // Both lists are in the plug-in's order, which keeps the order of the
    // groups that stay: a walk over both finds the rows removed and added,
    // and a group that took the place of one that went (a rename) changes
    // that row, so that its selection stays.
    int i = 1;
    int j = 1;
    while (i < m_rows.size() || j < fresh.size()) {
        if (i < m_rows.size() && j < fresh.size()) {
            const QString &held = m_rows.at(i).name;
            const QString &now = fresh.at(j).name;
            const bool heldGoes = !newNames.contains(held);
            const bool nowIsNew = !oldNames.contains(now);
            if (held == now || (heldGoes && nowIsNew)) {
                update(i, fresh.at(j));
                ++i;
                ++j;
            } else if (heldGoes) {
                beginRemoveRows(QModelIndex(), i, i);
                m_rows.remove(i);
                endRemoveRows();
            } else if (nowIsNew) {
                beginInsertRows(QModelIndex(), i, i);
                m_rows.insert(i, fresh.at(j));
                endInsertRows();
                ++i;
                ++j;
            } else {
                // The groups that stay came in another order.
                beginResetModel();
                m_rows = fresh;
                endResetModel();
                return;
            }
        } else if (i < m_rows.size()) {
            beginRemoveRows(QModelIndex(), i, m_rows.size() - 1);
            m_rows.resize(i);
            endRemoveRows();
        } else {
            beginInsertRows(QModelIndex(), i, fresh.size() - 1);
            for (; j < fresh.size(); ++j)
                m_rows.append(fresh.at(j));
            endInsertRows();
            i = m_rows.size();
        }
    }
}
