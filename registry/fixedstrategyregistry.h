#ifndef FIXEDSTRATEGYREGISTRY_H
#define FIXEDSTRATEGYREGISTRY_H

#include <StrategyLogic/fixedstrategyinfo.h>

#include <QList>
#include <QMap>
#include <QReadWriteLock>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

class ChangeHistory;

// The fixed strategies of the logged-in user in memory: by id, and the
// names registered for each strategy file, kept in step with the store
// (StrategySqlite), which holds them for the data file in the user's folder.
// Owned by the plug-in object, which loads it once at start-up.
//
// Every record added, changed or removed is recorded in the history of
// changes, whose lines go out once writeDataFile() has stored them.
//
// Threads: every method may be called from any thread. m_fixedStrategyLock
// guards both maps; a change holds it for writing over its walk and its
// store calls, and the data file is written after it is released. Lock
// order: StrategyGroups' lock, then m_fixedStrategyLock, then the store's;
// the history's lock is a leaf below all of them.
//
// Failures are results: false, an empty list, a default record (id -1).
class FixedStrategyRegistry
{
public:
    explicit FixedStrategyRegistry(ChangeHistory &history);

    // The folder the data file is read from and written to; before load().
    void setUserFolder(const QString &userFolder);
    // The store's records: at start-up, the data file's, in file order.
    QVector<FixedStrategyInfo> storedRecords();
    // Fills the maps (the first record of an id wins) and answers the groups
    // the records taken name, each once, in the order first named.
    QStringList load(const QVector<FixedStrategyInfo> &records);
    // Rewrites the data file when the store holds changes; false when it
    // could not be written (the store stays dirty and the next call retries).
    // Called on a thread where a WriteHold lives, it leaves the file to a
    // later call and answers true.
    bool writeDataFile();

    // While one lives, writeDataFile() on its thread writes nothing: an
    // import, whose record holds every change it makes, writes the file
    // once after its last strategy instead of once for each. Calls on other
    // threads write as ever (and so write the held changes too).
    class WriteHold
    {
    public:
        WriteHold();
        ~WriteHold();
        WriteHold(const WriteHold &) = delete;
        WriteHold &operator=(const WriteHold &) = delete;
    };

    // Records with a name, in ascending id.
    QList<FixedStrategyInfo> list();
    FixedStrategyInfo byId(qint64 id);
    FixedStrategyInfo last();
    QStringList names(const QString &filePath);
    bool isFixed(const QString &filePath);
    bool contains(const QString &filePath, const QString &name);
    // The file's base name, or with 1, 2, ... added: a name not yet
    // registered for the file.
    QString defaultName(const QString &filePath);
    // The same rule over the names `taken` for the file: for a walk that
    // changes nothing and keeps its own list (an import's dry run).
    static QString defaultName(const QString &filePath, const QStringList &taken);
    // The same over a set; the search for a free suffix starts at `*from`
    // (1 when null or below) and leaves it at the suffix tried last, so that
    // a walk that only adds names asks again from there instead of from 1.
    static QString defaultName(const QString &filePath, const QSet<QString> &taken, qint64 *from);

    enum class AddResult { Added, NameTaken, IdRejected };
    // One copy of an add, under the lock from the name check to the maps:
    // two callers cannot register the same name for the same file.
    // The id the store gave goes to *id.
    AddResult addCopy(const QString &filePath, const QString &name, const QString &group, const QString &extraInfo,
                      int copyIndex, qint64 *id);
    // Replaces the record of `id` (which keeps its id); false when the id is
    // not registered.
    bool modify(int id, const FixedStrategyInfo &info);
    bool moveFile(const QString &from, const QString &to);
    // The ids removed, ascending, in *removed.
    bool removeFile(const QString &filePath, QList<int> *removed);
    // False when the id is not registered.
    bool removeId(qint64 id);

    // Changes of a group's records, for StrategyGroups, which holds its lock;
    // `operation` names the group operation in the history, whose lines wait
    // for `historyTargets` (ChangeHistory::Target) to be stored.
    void moveGroupRecords(const QString &from, const QString &to, const char *operation, int historyTargets);
    void removeGroupRecords(const QString &group, const char *operation, int historyTargets);

private:
    ChangeHistory &m_history;

    // State below is protected by m_fixedStrategyLock.
    QReadWriteLock m_fixedStrategyLock;
    QMap<qint64, FixedStrategyInfo> m_fixedStrategyMap;
    QMap<QString, QStringList> m_fixedSrategyNameMap;

    QString m_userFolder; // set before load(), read-only after
};

#endif // FIXEDSTRATEGYREGISTRY_H
