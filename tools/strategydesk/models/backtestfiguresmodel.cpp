#include "models/backtestfiguresmodel.h"

#include <QHash>

using StrategyLogic::BacktestReport;

namespace {
// The figures' names in the desk's words, by figure key; a key the report
// gains later is headed by the report's own name for it.
const QHash<QString, const char *> &labels()
{
    static const QHash<QString, const char *> table{
        {QStringLiteral("days"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Days")},
        {QStringLiteral("skippedDays"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Days left out")},
        {QStringLiteral("firstDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "First day")},
        {QStringLiteral("lastDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Last day")},
        {QStringLiteral("startFunds"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Start funds")},
        {QStringLiteral("endFunds"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "End funds")},
        {QStringLiteral("totalReturn"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Total return")},
        {QStringLiteral("annualReturn"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Annualised return")},
        {QStringLiteral("annualVolatility"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Annualised volatility")},
        {QStringLiteral("sharpeRatio"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Sharpe ratio")},
        {QStringLiteral("maxDrawdown"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Maximum drawdown")},
        {QStringLiteral("maxDrawdownPeakDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Drawdown peak")},
        {QStringLiteral("maxDrawdownPeakFunds"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Funds at the peak")},
        {QStringLiteral("maxDrawdownTroughDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Drawdown trough")},
        {QStringLiteral("maxDrawdownTroughFunds"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Funds at the trough")},
        {QStringLiteral("bestDayDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Best day")},
        {QStringLiteral("bestDayReturn"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Best day's return")},
        {QStringLiteral("worstDayDate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Worst day")},
        {QStringLiteral("worstDayReturn"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Worst day's return")},
        {QStringLiteral("winRate"), QT_TRANSLATE_NOOP("BacktestFiguresModel", "Winning days")},
    };
    return table;
}
} // namespace

QString BacktestFiguresModel::figureLabel(const QString &key)
{
    const char *label = labels().value(key);
    return label ? tr(label) : BacktestReport::figureLabel(key);
}

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
        return figureLabel(m_keys.at(section));
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
