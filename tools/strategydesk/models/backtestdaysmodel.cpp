#include "models/backtestdaysmodel.h"

#include <QBrush>
#include <QColor>
#include <QJsonObject>

using StrategyLogic::BacktestReport;

BacktestDaysModel::BacktestDaysModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

int BacktestDaysModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_report.days().size();
}

int BacktestDaysModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString BacktestDaysModel::text(int row, int column) const
{
    if (row != m_cachedRow) {
        const QJsonObject texts = BacktestReport::dayText(m_report.days().at(row));
        m_cachedTexts.clear();
        for (const QString &key : BacktestReport::dayKeys())
            m_cachedTexts.append(texts.value(key).toString());
        m_cachedRow = row;
    }
    return m_cachedTexts.value(column);
}

QVariant BacktestDaysModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const BacktestReport::Day &day = m_report.days().at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return int((index.column() == Date ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    case Qt::ForegroundRole:
        return day.counts() ? QVariant() : QBrush(QColor(0x80, 0x80, 0x80));
    case Qt::ToolTipRole:
        return day.counts() ? QVariant() : tr("This day is left out of the figures.");
    default:
        return QVariant();
    }
}

QVariant BacktestDaysModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return int((section == Date ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case Date:
        return tr("Date");
    case InitialFunds:
        return tr("Initial funds");
    case EndFunds:
        return tr("End funds");
    case DayReturn:
        return tr("Day return");
    default:
        return tr("Drawdown");
    }
}

void BacktestDaysModel::setReport(const BacktestReport &report)
{
    beginResetModel();
    m_report = report;
    m_cachedRow = -1;
    endResetModel();
}
