#include "models/historymodel.h"

#include <StrategyLogic/installation.h>
#include <StrategyLogic/strategyhistory.h>

#include <QFileInfo>
#include <QJsonValue>

namespace {
qint64 idOf(const QJsonObject &record)
{
    const QJsonValue id = record.value(QLatin1String("id"));
    return id.isDouble() ? qint64(id.toDouble()) : -1;
}
} // namespace

HistoryModel::HistoryModel(const QString &appDir, const QString &userId, QObject *parent)
    : QAbstractTableModel(parent)
    , m_appDir(appDir)
    , m_userId(userId)
{
    const StrategyLogic::InstallationFiles files = StrategyLogic::installationFiles(appDir, userId);
    m_history = files.history;
    m_olderHistory = files.olderHistory;
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(0);
    connect(&m_reloadTimer, &QTimer::timeout, this, &HistoryModel::reload);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_visible.size();
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = m_all.at(m_visible.at(index.row()));
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Time:
            // The offset is the same for a user's lines but for a change of
            // the time zone: the whole text is the tool tip.
            return row.time.isValid() ? row.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : row.timeText;
        case Operation:
            return row.operation;
        case Change:
            return row.summary;
        }
        break;
    case Qt::ToolTipRole:
        switch (index.column()) {
        case Time:
            return row.timeText;
        case Change:
            return row.summary;
        }
        break;
    }
    return QVariant();
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Time:
        return tr("Time");
    case Operation:
        return tr("Operation");
    case Change:
        return tr("What changed");
    }
    return QVariant();
}

void HistoryModel::setStrategyId(std::optional<qint64> id)
{
    if (id == m_strategyId)
        return;
    m_strategyId = id;
    beginResetModel();
    applyFilter();
    endResetModel();
}

HistoryModel::Signature HistoryModel::signature() const
{
    Signature signature;
    for (const QString &path : {m_olderHistory, m_history}) {
        const QFileInfo info(path);
        signature << (info.exists() ? info.size() : -1) << info.lastModified().toMSecsSinceEpoch();
    }
    return signature;
}

void HistoryModel::scheduleReload()
{
    m_reloadTimer.start();
}

void HistoryModel::reload()
{
    m_reloadTimer.stop();
    const Signature now = signature();
    if (m_lastRead && *m_lastRead == now)
        return;
    StrategyLogic::HistoryFilter filter;
    filter.order = StrategyLogic::HistoryOrder::NewestFirst;
    const StrategyLogic::HistoryReadResult read = StrategyLogic::readHistory(m_appDir, m_userId, filter);
    ++m_reads;
    // A file that could not be read is tried again at the next request.
    m_lastRead = read.outcome == StrategyLogic::HistoryReadResult::Unreadable ? std::nullopt
                                                                              : std::optional<Signature>(now);
    beginResetModel();
    m_all.clear();
    m_all.reserve(read.entries.size());
    for (const StrategyLogic::HistoryEntry &entry : read.entries)
        m_all.append({entry.timeText, entry.time, entry.operation, entry.summary, idOf(entry.before),
                      idOf(entry.after)});
    applyFilter();
    if (read.outcome == StrategyLogic::HistoryReadResult::Unreadable)
        m_problem = read.error;
    else if (read.skippedLines > 0)
        m_problem = tr("%n lines of the history could not be read and are left out.", nullptr, read.skippedLines);
    else
        m_problem.clear();
    endResetModel();
    emit reloaded();
}

void HistoryModel::applyFilter()
{
    m_visible.clear();
    m_visible.reserve(m_all.size());
    for (int i = 0; i < m_all.size(); ++i) {
        const Row &row = m_all.at(i);
        if (!m_strategyId || row.beforeId == *m_strategyId || row.afterId == *m_strategyId)
            m_visible.append(i);
    }
}
