#include "models/backtestfiguresmodel.h"

using StrategyLogic::BacktestReport;

BacktestFiguresModel::BacktestFiguresModel(QObject *parent)
    : QAbstractTableModel(parent)
    , m_keys(BacktestReport::figureKeys())
{
}

int BacktestFiguresModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || m_texts.isEmpty() ? 0 : m_keys.size();
}

int BacktestFiguresModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_texts.size();
}

QVariant BacktestFiguresModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    return m_texts.at(index.column()).value(m_keys.at(index.row())).toString();
}

QVariant BacktestFiguresModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (orientation == Qt::Vertical && section >= 0 && section < rowCount())
        return BacktestReport::figureLabel(m_keys.at(section));
    if (orientation == Qt::Horizontal && section >= 0 && section < columnCount())
        return tr("Instance %1").arg(m_instances.at(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

void BacktestFiguresModel::setReports(const QList<BacktestReport> &reports)
{
    beginResetModel();
    m_instances.clear();
    m_texts.clear();
    for (const BacktestReport &report : reports) {
        m_instances.append(BacktestReport::printable(report.instanceId()));
        m_texts.append(report.figuresText());
    }
    endResetModel();
}
