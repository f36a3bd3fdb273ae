#ifndef INSTANCETABLEMODEL_H
#define INSTANCETABLEMODEL_H

#include "models/sortedrowsmodel.h"

#include <StrategyLogic/instanceinfo.h>

#include <QList>
#include <QTimer>
#include <QVector>

class InstanceFilterProxy;
class StrategyFileLogicHandler;

// A row of the instance table: the record and what sorting reads of it.
struct InstanceTableRow
{
    InstanceInfo info;
    qint64 number = 0;    // the id's value when it is a number
    bool numeric = false; // whether the id is a number
};

// The strategy instances the plug-in holds, one row each, in the plug-in's
// order (ids that are numbers first, in numeric order, then the others in
// text order): id, run mode, fund account, registration answer, start and
// end time (local, "yyyy-MM-dd HH:mm:ss"). Read from getInstanceList(), a
// read-only listing; reloaded on the GUI thread when the plug-in (queued)
// says an instance was registered or its instances were loaded, and every
// few seconds for what no signal announces (times that were set, instances
// the plug-in read back). A reload keeps the rows that stayed and changes
// only what changed; a burst of signals makes one reload. Thread: GUI.
class InstanceTableModel : public SortedRowsModel<InstanceTableRow>
{
    Q_OBJECT

public:
    enum Column { Id, RunMode, FundAccount, Registration, Start, End, ColumnCount };
    enum Role {
        IdRole = Qt::UserRole + 1, // QString
        RunModeRole,               // int, an OPERATEMODE value
        InfoRole,                  // InstanceInfo
        TimeRole,                  // QDateTime of the start and end columns; null when not set
    };
    // The display form of the start and end times.
    static QString timeFormat();
    // How often the model reads the plug-in's list without a signal.
    static constexpr int DefaultRefreshInterval = 3000;

    explicit InstanceTableModel(StrategyFileLogicHandler &plugin, QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // A default record (empty id) for a row that does not exist.
    InstanceInfo infoAt(int row) const;
    // -1 when the id has no row.
    int rowOfId(const QString &id) const;

    // The word for a run mode: "Live", "Simulated", "Backtest", "Unknown",
    // and "Mode 7" for a number the plug-in does not name.
    static QString runModeName(int mode);
    // The run modes the plug-in names, in the order of their values.
    static QList<int> namedRunModes();
    // Whether `a` comes before `b` in the plug-in's order of instance ids.
    static bool idLess(const QString &a, const QString &b);

    // 0 stops the periodic reload.
    void setRefreshInterval(int ms);
    int refreshInterval() const;

public slots:
    // Reads the plug-in's instances again.
    void reload();

signals:
    // After every reload that changed something.
    void changed();
    // After every reload, changed or not (the parameters of an instance
    // change without a signal: the screens read them again then).
    void reloaded();

private:
    friend class InstanceFilterProxy; // reads the rows without copies while it filters and sorts

    using Row = InstanceTableRow;
    static Row makeRow(const InstanceInfo &info);
    // A row that holds only an id, to search or compare by it.
    static Row keyRow(const QString &id);
    static bool rowLess(const Row &a, const Row &b);
    // Whether time `a` comes before `b`, times not set first. The plug-in's
    // times are local: two of them compare without a look at the time zone,
    // which a sort of every row by its time needs (a reload makes no
    // number of the times for it: that would be a look for each).
    static bool timeLess(const QDateTime &a, const QDateTime &b);
    // The plug-in's list in the order of rowLess() (rowOfId() searches the
    // rows in it).
    QVector<Row> readRows() const;
    void scheduleReload();

    StrategyFileLogicHandler &m_plugin;
    QTimer m_reloadTimer;  // zero interval: one reload for the signals of one pass of the event loop
    QTimer m_refreshTimer; // the periodic reload
};

#endif // INSTANCETABLEMODEL_H
