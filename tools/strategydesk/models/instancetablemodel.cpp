#include "models/instancetablemodel.h"

#include <StrategyLogic/displaytext.h>
#include <StrategyLogic/strategyfilelogichandler.h>

#include <algorithm>

namespace {
// Texts longer than this have their whole text as a tool tip.
constexpr int LongText = 40;
// More separate runs of removed or added rows than this reset the model:
// proxies and views do work in the number of rows for each run.
constexpr int MaxRuns = 256;

// The columns where two records of the same id differ, as [first, last];
// first is -1 when they are equal.
std::pair<int, int> changedColumns(const InstanceInfo &a, const InstanceInfo &b)
{
    int first = -1;
    int last = -1;
    auto mark = [&](bool differs, int column) {
        if (!differs)
            return;
        if (first < 0)
            first = column;
        last = column;
    };
    mark(a.runMode != b.runMode, InstanceTableModel::RunMode);
    mark(a.fundAccount != b.fundAccount, InstanceTableModel::FundAccount);
    mark(a.returnRegInfo != b.returnRegInfo, InstanceTableModel::Registration);
    mark(a.startTime != b.startTime, InstanceTableModel::Start);
    mark(a.endTime != b.endTime, InstanceTableModel::End);
    return {first, last};
}

QString timeText(const QDateTime &time)
{
    return time.isValid() ? time.toLocalTime().toString(InstanceTableModel::timeFormat()) : QString();
}
} // namespace

// What a reload changes, both lists in row order: rows removed, rows added
// (with the runs of neighbouring rows they form) and rows changed.
struct InstanceTableModel::Steps
{
    int removed = 0;
    int inserted = 0;
    int changed = 0;
    int runs = 0;
    int total() const { return removed + inserted + changed; }
};

InstanceTableModel::InstanceTableModel(StrategyFileLogicHandler &plugin, QObject *parent)
    : QAbstractTableModel(parent)
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

int InstanceTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size() + (m_tail.size() - m_tailStart);
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
    const auto found = std::lower_bound(m_rows.cbegin(), m_rows.cend(), wanted, rowLess);
    return found != m_rows.cend() && found->info.instanceId == id ? int(found - m_rows.cbegin()) : -1;
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
    QVector<Row> rows;
    rows.reserve(list.size());
    for (const InstanceInfo &info : list)
        rows.append(makeRow(info));
    // The plug-in lists them in this order already; the comparison of the
    // reload relies on it, so it is made sure of here.
    if (!std::is_sorted(rows.cbegin(), rows.cend(), rowLess))
        std::stable_sort(rows.begin(), rows.end(), rowLess);
    return rows;
}

InstanceTableModel::Steps InstanceTableModel::countSteps(const QVector<Row> &fresh) const
{
    Steps steps;
    int i = 0;
    int j = 0;
    int lastKind = 0; // 1 removal, 2 insertion, 0 neither
    while (i < m_rows.size() || j < fresh.size()) {
        if (j >= fresh.size() || (i < m_rows.size() && rowLess(m_rows.at(i), fresh.at(j)))) {
            ++steps.removed;
            steps.runs += lastKind != 1;
            lastKind = 1;
            ++i;
        } else if (i >= m_rows.size() || rowLess(fresh.at(j), m_rows.at(i))) {
            ++steps.inserted;
            steps.runs += lastKind != 2;
            lastKind = 2;
            ++j;
        } else {
            steps.changed += m_rows.at(i).info != fresh.at(j).info;
            lastKind = 0;
            ++i;
            ++j;
        }
    }
    return steps;
}

void InstanceTableModel::reload()
{
    // This reload sees every change whose signal has arrived so far.
    m_reloadTimer.stop();
    QVector<Row> fresh = readRows();
    const Steps steps = countSteps(fresh);
    if (steps.total() == 0) {
        emit reloaded();
        return;
    }
    // Many changes: one reset costs the views less than the steps. So do
    // many runs, each of which the views and proxies handle in time linear
    // in the rows.
    const int size = std::max(m_rows.size(), fresh.size());
    if (m_rows.isEmpty() || 2 * steps.total() > size || steps.runs > MaxRuns) {
        beginResetModel();
        m_rows = std::move(fresh);
        endResetModel();
    } else {
        applySteps(fresh, steps.changed);
    }
    emit changed();
    emit reloaded();
}

void InstanceTableModel::applySteps(const QVector<Row> &fresh, int changedRows)
{
    // The steps, in row order: m_rows is rebuilt from the front while the
    // old rows still to come wait in m_tail, so that each step is as long
    // as its rows and the model is whole between the steps.
    m_tail = std::move(m_rows);
    m_tailStart = 0;
    m_rows.clear();
    m_rows.reserve(fresh.size());
    struct Change
    {
        int row, first, last;
    };
    QVector<Change> changes;
    changes.reserve(changedRows);
    const auto oldFirst = [&](int j) {
        return j >= fresh.size() || (m_tailStart < m_tail.size() && rowLess(m_tail.at(m_tailStart), fresh.at(j)));
    };
    const auto freshFirst = [&](int j) {
        return m_tailStart >= m_tail.size() || rowLess(fresh.at(j), m_tail.at(m_tailStart));
    };
    int j = 0;
    while (m_tailStart < m_tail.size() || j < fresh.size()) {
        const int at = m_rows.size();
        if (oldFirst(j)) {
            int end = m_tailStart + 1;
            while (end < m_tail.size() && (j >= fresh.size() || rowLess(m_tail.at(end), fresh.at(j))))
                ++end;
            beginRemoveRows(QModelIndex(), at, at + (end - m_tailStart) - 1);
            m_tailStart = end;
            endRemoveRows();
        } else if (freshFirst(j)) {
            int end = j + 1;
            while (end < fresh.size() && freshFirst(end))
                ++end;
            beginInsertRows(QModelIndex(), at, at + (end - j) - 1);
            for (; j < end; ++j)
                m_rows.append(fresh.at(j));
            endInsertRows();
        } else {
            const auto columns = changedColumns(m_tail.at(m_tailStart).info, fresh.at(j).info);
            if (columns.first >= 0)
                changes.append({at, columns.first, columns.second});
            m_rows.append(fresh.at(j));
            ++m_tailStart;
            ++j;
        }
    }
    m_tail.clear();
    m_tailStart = 0;

    // Neighbouring rows that changed in the same columns share a signal.
    for (int k = 0; k < changes.size();) {
        int end = k + 1;
        while (end < changes.size() && changes.at(end).row == changes.at(end - 1).row + 1
               && changes.at(end).first == changes.at(k).first && changes.at(end).last == changes.at(k).last)
            ++end;
        emit dataChanged(index(changes.at(k).row, changes.at(k).first),
                         index(changes.at(end - 1).row, changes.at(k).last));
        k = end;
    }
}
