#ifndef STRATEGYTABLEMODEL_H
#define STRATEGYTABLEMODEL_H

#include <StrategyLogic/fixedstrategyinfo.h>

#include <QAbstractTableModel>
#include <QHash>
#include <QSet>
#include <QVector>

class StrategyFileLogicHandler;

// The fixed strategies of the logged-in user, one row each, in ascending
// id: id, name, file, group, text, copy index, locked. Filled from the
// plug-in's lists; reloaded on the GUI thread when a signal of the plug-in
// (queued) says the strategies or the locks changed, and after a change the
// screens made (reload()). A reload keeps the rows that stayed and changes
// only what changed, so that selections and the view's position survive.
// Thread: GUI.
class StrategyTableModel : public QAbstractTableModel
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

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Rows dragged onto a group: their ids as "application/x-strategylogic-ids".
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override;

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
    StrategyFileLogicHandler &m_plugin;
    QVector<FixedStrategyInfo> m_rows;
    QHash<qint64, int> m_rowOfId;
    QSet<QString> m_locked;
};

#endif // STRATEGYTABLEMODEL_H
