#include "models/instancetablemodel.h"

#include <StrategyLogic/displaytext.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <algorithm>

namespace {
// Texts longer than this have their whole text as a tool tip.
constexpr int LongText = 40;
// The columns where two records of the same id differ, as [first, last];
// first is -1 when they are equal.
std::pair<int, int> changedColumns(const InstanceInfo &a, const InstanceInfo &b)
{
    ChangedColumns changed;
    changed.mark(a.runMode != b.runMode, InstanceTableModel::RunMode);
    changed.mark(a.fundAccount != b.fundAccount, InstanceTableModel::FundAccount);
    changed.mark(a.returnRegInfo != b.returnRegInfo, InstanceTableModel::Registration);
    changed.mark(a.startTime != b.startTime, InstanceTableModel::Start);
    changed.mark(a.endTime != b.endTime, InstanceTableModel::End);
    return changed.span();
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(InstanceTableModel::timeFormat()) : QString();
}
} // namespace

InstanceTableModel::InstanceTableModel(StrategyFileLogicHandler &plugin, QObject *parent)
    : SortedRowsModel(parent)
    , m_plugin(plugin)
{
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(0);
    connect(&m_reloadTimer, &QTimer::timeout, this, &InstanceTableModel::reload);
    connect(&m_refreshTimer, &QTimer::timeout, this, &InstanceTableModel::reload);
    setRefreshInterval(DefaultRefreshInterval);

    // The plug-in emits on the thread that made the change or on its worker
    // thread: queued, each signal reaches this thread and only starts the
    // timer, so that a burst ends in one reload.
    connect(&plugin, &StrategyFileLogicHandler::sigInstanceRunModeChange, this, &InstanceTableModel::scheduleReload,
            Qt::QueuedConnection);
    connect(&plugin, &StrategyFileLogicHandler::signalInstanceRunModeLoaded, this,
            &InstanceTableModel::scheduleReload, Qt::QueuedConnection);

    reload();
}

QString InstanceTableModel::timeFormat()
{
    return QStringLiteral("yyyy-MM-dd HH:mm:ss");
}

int InstanceTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant InstanceTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const InstanceInfo &info = rowAt(index.row()).info;
    const int column = index.column();
    const bool isTime = column == Start || column == End;
    const QDateTime &time = column == Start ? info.startTime : info.endTime;
    switch (role) {
    case Qt::DisplayRole:
        switch (column) {
        case Id:
            return info.instanceId;
        case RunMode:
            return runModeName(info.runMode);
        case FundAccount:
            return info.fundAccount;
        case Registration:
            // One line: a line break of the answer shows as "\n".
            return StrategyLogic::visibleText(info.returnRegInfo);
        }
        return isTime ? QVariant(timeText(time)) : QVariant();
    case Qt::ToolTipRole:
        if (column == RunMode) {
            if (info.runMode >= 0 && info.runMode < OperateModeNames.size())
                return tr("Mode %1 (%2)").arg(info.runMode).arg(OperateModeNames.at(info.runMode));
            return tr("Mode %1, which the plug-in does not name").arg(info.runMode);
        }
        if (column == Registration && info.returnRegInfo.size() > LongText)
            return info.returnRegInfo;
        if (isTime && !time.isValid())
            return tr("Not set");
        break;
    case Qt::AccessibleTextRole:
        if (isTime && !time.isValid())
            return tr("Not set");
        break;
    case IdRole:
        return info.instanceId;
    case RunModeRole:
        return info.runMode;
    case InfoRole:
        return QVariant::fromValue(info);
    case TimeRole:
        return isTime ? QVariant(time) : QVariant();
    }
    return QVariant();
}

QVariant InstanceTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Id:
        return tr("Instance");
    case RunMode:
        return tr("Run mode");
    case FundAccount:
        return tr("Fund account");
    case Registration:
        return tr("Registration answer");
    case Start:
        return tr("Start");
    case End:
        return tr("End");
    }
    return QVariant();
}

Qt::ItemFlags InstanceTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // The plug-in's listing is read-only: instances are registered by the
    // strategies that run them.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

InstanceInfo InstanceTableModel::infoAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return InstanceInfo();
    return rowAt(row).info;
}

int InstanceTableModel::rowOfId(const QString &id) const
{
    const Row wanted = keyRow(id);
    const auto found = std::lower_bound(rows().cbegin(), rows().cend(), wanted, rowLess);
    return found != rows().cend() && found->info.instanceId == id ? int(found - rows().cbegin()) : -1;
}

QString InstanceTableModel::runModeName(int mode)
{
    switch (mode) {
    case OPERATE_LIVE:
        return tr("Live");
    case OPERATE_SIMULATE:
        return tr("Simulated");
    case OPERATE_BACKTEST:
        return tr("Backtest");
    case OPERATE_UNKNOWN:
        return tr("Unknown");
    }
    return tr("Mode %1").arg(mode);
}

QList<int> InstanceTableModel::namedRunModes()
{
    return {OPERATE_LIVE, OPERATE_SIMULATE, OPERATE_BACKTEST, OPERATE_UNKNOWN};
}

bool InstanceTableModel::idLess(const QString &a, const QString &b)
{
    return rowLess(keyRow(a), keyRow(b));
}

InstanceTableModel::Row InstanceTableModel::keyRow(const QString &id)
{
    Row row;
    row.info.instanceId = id;
    row.number = id.toLongLong(&row.numeric);
    return row;
}

InstanceTableModel::Row InstanceTableModel::makeRow(const InstanceInfo &info)
{
    Row row{info, 0, false};
    row.number = info.instanceId.toLongLong(&row.numeric);
    return row;
}

bool InstanceTableModel::timeLess(const QDateTime &a, const QDateTime &b)
{
    return a.isValid() != b.isValid() ? b.isValid() : a.isValid() && a < b;
}

bool InstanceTableModel::rowLess(const Row &a, const Row &b)
{
    if (a.numeric != b.numeric)
        return a.numeric;
    if (a.numeric && a.number != b.number)
        return a.number < b.number;
    return a.info.instanceId < b.info.instanceId;
}

void InstanceTableModel::setRefreshInterval(int ms)
{
    if (ms <= 0) {
        m_refreshTimer.stop();
        return;
    }
    m_refreshTimer.start(ms);
}

int InstanceTableModel::refreshInterval() const
{
    return m_refreshTimer.isActive() ? m_refreshTimer.interval() : 0;
}

void InstanceTableModel::scheduleReload()
{
    m_reloadTimer.start();
}

QVector<InstanceTableModel::Row> InstanceTableModel::readRows() const
{
    const QList<InstanceInfo> list = m_plugin.getInstanceList();
    QVector<Row> read;
    read.reserve(list.size());
    for (const InstanceInfo &info : list)
        read.append(makeRow(info));
    // The plug-in lists them in this order already; the comparison of the
    // reload relies on it, so it is made sure of here.
    if (!std::is_sorted(read.cbegin(), read.cend(), rowLess))
        std::stable_sort(read.begin(), read.end(), rowLess);
    return read;
}

void InstanceTableModel::reload()
{
    // This reload sees every change whose signal has arrived so far.
    m_reloadTimer.stop();
    const bool changedRows = updateRows(readRows(), rowLess, [](const Row &a, const Row &b) {
        return changedColumns(a.info, b.info);
    });
    if (changedRows)
        emit changed();
    emit reloaded();
}
