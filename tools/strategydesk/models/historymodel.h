#ifndef HISTORYMODEL_H
#define HISTORYMODEL_H

#include <QAbstractTableModel>
#include <QDateTime>
#include <QTimer>
#include <QVector>

#include <optional>

// The history of changes of the logged-in user's fixed strategies, groups
// and locks (StrategyLogic::readHistory), newest first: time, operation,
// what changed. Optionally only the changes of one fixed strategy (its
// record before or after the change has the id), filtered in memory, so
// that a change of the filter reads nothing.
//
// The history of a large user is megabytes of JSON: it is read once, and
// again only when asked (scheduleReload(), which coalesces the requests of
// one pass of the event loop) and when one of its two files changed size or
// time since the last read. A history that cannot be read leaves no rows
// and says why (problem()). Thread: GUI.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Operation, Change, ColumnCount };

    HistoryModel(const QString &appDir, const QString &userId, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Only the changes of this fixed strategy; none: every change.
    void setStrategyId(std::optional<qint64> id);
    std::optional<qint64> strategyId() const { return m_strategyId; }

    // Why the history shows nothing or not all: the read's error, or how
    // many lines could not be read; empty when all was read.
    QString problem() const { return m_problem; }
    // How many times the files were read, for tests of the coalescing.
    int reads() const { return m_reads; }

public slots:
    // Reads the history now if its files changed since the last read.
    void reload();
    // A reload at the next pass of the event loop; many calls make one.
    void scheduleReload();

signals:
    // After each read of the files.
    void reloaded();

private:
    struct Row
    {
        QString timeText;
        QDateTime time;
        QString operation;
        QString summary;
        qint64 beforeId = -1;
        qint64 afterId = -1;
    };
    // The size and time of both files; a read is skipped while it stays.
    using Signature = QVector<qint64>;
    Signature signature() const;
    void applyFilter();

    QString m_appDir;
    QString m_userId;
    QString m_history;
    QString m_olderHistory;
    QVector<Row> m_all;     // newest first
    QVector<int> m_visible; // the rows of m_all that pass the filter, in order
    std::optional<qint64> m_strategyId;
    std::optional<Signature> m_lastRead;
    QString m_problem;
    int m_reads = 0;
    QTimer m_reloadTimer;
};

#endif // HISTORYMODEL_H
