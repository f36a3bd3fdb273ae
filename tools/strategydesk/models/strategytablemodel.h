#ifndef STRATEGYTABLEMODEL_H
#define STRATEGYTABLEMODEL_H

#include "models/sortedrowsmodel.h"

#include <StrategyLogic/fixedstrategyinfo.h>

#include <QHash>
#include <QList>
#include <QTimer>
#include <QVector>

class QMimeData;
class StrategyFileLogicHandler;
class StrategyFilterProxy;

// A row of the strategy table: the record and whether its file is locked.
struct StrategyTableRow
{
    FixedStrategyInfo info;
    bool locked = false;
};

// The fixed strategies of the logged-in user, one row each, in ascending
// id: id, name, file, group, text, copy index, locked. Filled from the
// plug-in's lists; reloaded on the GUI thread when a signal of the plug-in
// (queued) says the strategies or the locks changed, and after a change the
// screens made (reload()). A reload keeps the rows that stayed and changes
// only what changed, so that selections and the view's position survive;
// a burst of signals (an import sends one per strategy) makes one reload.
// Thread: GUI.
class StrategyTableModel : public SortedRowsModel<StrategyTableRow>
{
    Q_OBJECT

public:
    enum Column { Id, Name, File, Group, Text, Copy, Locked, ColumnCount };
    enum Role {
        IdRole = Qt::UserRole + 1, // qint64
        InfoRole,                  // FixedStrategyInfo
        LockedRole,                // bool
    };

    explicit StrategyTableModel(StrategyFileLogicHandler &plugin, QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Rows dragged onto a group: their ids as "application/x-strategylogic-ids".
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

    // The drag format: the ids as decimal text, one a line.
    static QString idsMimeType();
    // The ids of a drag of strategies; empty when it holds none.
    static QList<qint64> idsFromMimeData(const QMimeData *data);

    // A default record (id -1) for a row that does not exist.
    FixedStrategyInfo infoAt(int row) const;
    // -1 when the id has no row.
    int rowOfId(qint64 id) const;
    // How many strategies each group has, by group name.
    QHash<QString, int> groupCounts() const;

public slots:
    // Reads the plug-in's strategies and locks again.
    void reload();

signals:
    // After every reload that changed something.
    void changed();

private:
    friend class StrategyFilterProxy; // reads the rows without copies while it filters and sorts

    // The rows are in ascending id (rowOfId() searches them).
    using Row = StrategyTableRow;
    void scheduleReload();

    StrategyFileLogicHandler &m_plugin;
    QTimer m_reloadTimer; // zero interval: one reload for the signals of one pass of the event loop
};

#endif // STRATEGYTABLEMODEL_H
