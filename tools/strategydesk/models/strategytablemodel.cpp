#include "models/strategytablemodel.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <QMimeData>
#include <QSet>

#include <algorithm>

namespace {
// Texts longer than this have their whole text as a tool tip.
constexpr int LongText = 40;
const QChar CheckMark(0x2713);
bool isLong(const QString &text)
{
    return text.size() > LongText;
}

// The columns where two records of the same id differ, as [first, last];
// first is -1 when they are equal.
std::pair<int, int> changedColumns(const FixedStrategyInfo &a, bool aLocked, const FixedStrategyInfo &b,
                                   bool bLocked)
{
    ChangedColumns changed;
    changed.mark(a.name != b.name, StrategyTableModel::Name);
    changed.mark(a.filePath != b.filePath, StrategyTableModel::File);
    changed.mark(a.group != b.group, StrategyTableModel::Group);
    changed.mark(a.extraInfo != b.extraInfo, StrategyTableModel::Text);
    changed.mark(a.copyIndex != b.copyIndex, StrategyTableModel::Copy);
    changed.mark(aLocked != bLocked, StrategyTableModel::Locked);
    return changed.span();
}
} // namespace

StrategyTableModel::StrategyTableModel(StrategyFileLogicHandler &plugin, QObject *parent)
    : SortedRowsModel(parent)
    , m_plugin(plugin)
{
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setInterval(0);
    connect(&m_reloadTimer, &QTimer::timeout, this, &StrategyTableModel::reload);

    // The plug-in emits on the thread that made the change: queued, each
    // signal reaches this thread and only starts the timer, so that a burst
    // ends in one reload.
    const auto queued = Qt::QueuedConnection;
    connect(&plugin, &StrategyFileLogicHandler::signalAddStrategy, this, &StrategyTableModel::scheduleReload, queued);
    connect(&plugin, &StrategyFileLogicHandler::signalStrategyModifyed, this, &StrategyTableModel::scheduleReload,
            queued);
    connect(&plugin, &StrategyFileLogicHandler::signalFixedStrategyFileChanged, this,
            &StrategyTableModel::scheduleReload, queued);
    connect(&plugin, &StrategyFileLogicHandler::signalFixedStrategyFileRemoved, this,
            &StrategyTableModel::scheduleReload, queued);
    connect(&plugin, &StrategyFileLogicHandler::signalChangeFileLockState, this, &StrategyTableModel::scheduleReload,
            queued);
    connect(&plugin, &StrategyFileLogicHandler::signalDelStrategySuccess, this, &StrategyTableModel::scheduleReload,
            queued);
    connect(&plugin, &StrategyFileLogicHandler::signalInitData, this, &StrategyTableModel::scheduleReload, queued);

    reload();
}

int StrategyTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant StrategyTableModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const Row &row = rowAt(index.row());
    const FixedStrategyInfo &info = row.info;
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case Id:
            return info.id;
        case Name:
            return info.name;
        case File:
            return info.filePath;
        case Group:
            return info.group;
        case Text:
            return info.extraInfo;
        case Copy:
            return info.copyIndex;
        case Locked:
            return row.locked ? QString(CheckMark) : QString();
        }
        break;
    case Qt::ToolTipRole:
        switch (index.column()) {
        case Name:
            return isLong(info.name) ? QVariant(info.name) : QVariant();
        case File:
            return info.filePath;
        case Group:
            return isLong(info.group) ? QVariant(info.group) : QVariant();
        case Text:
            return isLong(info.extraInfo) ? QVariant(info.extraInfo) : QVariant();
        case Locked:
            return row.locked ? tr("The file is locked: it cannot be edited") : tr("The file is not locked");
        }
        break;
    case Qt::AccessibleTextRole:
        if (index.column() == Locked)
            return row.locked ? tr("Locked") : tr("Not locked");
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == Id || index.column() == Copy)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (index.column() == Locked)
            return int(Qt::AlignCenter);
        break;
    case IdRole:
        return info.id;
    case InfoRole:
        return QVariant::fromValue(info);
    case LockedRole:
        return row.locked;
    }
    return QVariant();
}

QVariant StrategyTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case Id:
        return tr("Id");
    case Name:
        return tr("Name");
    case File:
        return tr("File");
    case Group:
        return tr("Group");
    case Text:
        return tr("Text");
    case Copy:
        return tr("Copy");
    case Locked:
        return tr("Locked");
    }
    return QVariant();
}

Qt::ItemFlags StrategyTableModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Changes go through the plug-in (the screens' dialogs), never through
    // the cells.
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QString StrategyTableModel::idsMimeType()
{
    return QStringLiteral("application/x-strategylogic-ids");
}

QList<qint64> StrategyTableModel::idsFromMimeData(const QMimeData *data)
{
    QList<qint64> ids;
    if (!data || !data->hasFormat(idsMimeType()))
        return ids;
    const QList<QByteArray> lines = data->data(idsMimeType()).split('\n');
    for (const QByteArray &line : lines) {
        if (line.isEmpty())
            continue;
        bool ok = false;
        const qint64 id = line.toLongLong(&ok);
        // Anything else is not a drag of strategies: take none of it.
        if (!ok || id < 1)
            return {};
        ids.append(id);
    }
    return ids;
}

QStringList StrategyTableModel::mimeTypes() const
{
    return {idsMimeType()};
}

QMimeData *StrategyTableModel::mimeData(const QModelIndexList &indexes) const
{
    // A selected row comes once per column.
    QVector<qint64> ids;
    ids.reserve(indexes.size());
    for (const QModelIndex &index : indexes) {
        if (index.isValid() && index.model() == this)
            ids.append(rowAt(index.row()).info.id);
    }
    if (ids.isEmpty())
        return nullptr;
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    QByteArray text;
    for (qint64 id : qAsConst(ids))
        text += QByteArray::number(id) + '\n';
    auto *mime = new QMimeData;
    mime->setData(idsMimeType(), text);
    return mime;
}

Qt::DropActions StrategyTableModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

FixedStrategyInfo StrategyTableModel::infoAt(int row) const
{
    if (row < 0 || row >= rowCount())
        return FixedStrategyInfo();
    return rowAt(row).info;
}

int StrategyTableModel::rowOfId(qint64 id) const
{
    const auto found = std::lower_bound(rows().cbegin(), rows().cend(), id,
                                        [](const Row &row, qint64 wanted) { return row.info.id < wanted; });
    return found != rows().cend() && found->info.id == id ? int(found - rows().cbegin()) : -1;
}

QHash<QString, int> StrategyTableModel::groupCounts() const
{
    QHash<QString, int> counts;
    for (const Row &row : rows())
        ++counts[row.info.group];
    return counts;
}

void StrategyTableModel::scheduleReload()
{
    m_reloadTimer.start();
}

void StrategyTableModel::reload()
{
    // This reload sees every change whose signal has arrived so far.
    m_reloadTimer.stop();

    const QList<FixedStrategyInfo> list = m_plugin.getFixedStrategyList();
    const QStringList lockedList = m_plugin.getLockedFileList();
    const QSet<QString> locked(lockedList.cbegin(), lockedList.cend());
    QVector<Row> fresh;
    fresh.reserve(list.size());
    for (const FixedStrategyInfo &info : list)
        fresh.append(Row{info, !locked.isEmpty() && locked.contains(info.filePath)});

    const auto less = [](const Row &a, const Row &b) { return a.info.id < b.info.id; };
    const auto columns = [](const Row &a, const Row &b) {
        return changedColumns(a.info, a.locked, b.info, b.locked);
    };
    if (!updateRows(std::move(fresh), less, columns))
        return;
    emit changed();
}
