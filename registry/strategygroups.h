#ifndef STRATEGYGROUPS_H
#define STRATEGYGROUPS_H

#include <StrategyLogic/fixedstrategyinfo.h>
#include <StrategyLogic/sarvekgroupinfo.h>
#include <StrategyLogic/strategyrefusal.h>

#include <QList>
#include <QMap>
#include <QMutex>
#include <QReadWriteLock>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class ChangeHistory;
class FixedStrategyRegistry;
struct GroupChangeRecord;

// The strategy groups of the logged-in user: the group map, the groups file
// "work/<user>/SarvekFixedStrategyGroups.txt" and the group operations,
// with their messages for the user. Owned by the plug-in object, next to the
// registry whose records name the groups; the operations that move or remove
// records change the registry too.
//
// Every group added, renamed or removed, and every record an operation moves
// or removes, is recorded in the history of changes; a group's line goes out
// once save() has stored it, a record's once the data file has.
//
// Threads: every method may be called from any thread. m_groupLock guards
// the map; an operation holds it while it changes the registry (lock order:
// m_groupLock, then the registry's lock, then the store's; the history's
// lock is a leaf below all), and writes files after releasing it.
// m_groupsFileMutex keeps one save of the file at a time, from its snapshot
// to its rename, and guards what is known of the file.
// m_twoFileChangeMutex keeps one rename or delete with strategies at a time,
// from its change record to the record's removal; it is taken before
// m_groupLock.
//
// Failures are results: false, or a message for the user (empty on success);
// a change that could not be written stays in memory and the next save
// writes it.
class StrategyGroups
{
public:
    StrategyGroups(FixedStrategyRegistry &registry, ChangeHistory &history);

    // Where the file lies: the installation folder and the user id, and
    // whether that id can name a folder at all (else nothing is read or
    // written). Before read().
    void setLocation(const QString &folder, const QString &userId, bool usable);

    // Start-up, in this order: the file, a change a process did not finish,
    // the auto-start group, the groups named by the records.
    void read();
    bool readInterruptedChange(GroupChangeRecord *change);
    void redoOnGroups(const GroupChangeRecord &change);
    void redoOnRecords(const GroupChangeRecord &change, QVector<FixedStrategyInfo> *records);
    // Both files hold the change now: its record goes.
    void finishChange();
    bool checkAndAddAutoStart();
    // Adds, with the current time, every named group that is missing;
    // true when one was added.
    bool addMissing(const QStringList &names);
    // Writes the file unless it already holds exactly these groups; false
    // when it could not be written.
    bool save();

    QString add(const QString &name);
    // add() with a given creation time (seconds since the epoch, above 0),
    // for a group brought back from a copy of the user's state: the same
    // checks and messages as add().
    QString add(const QString &name, qint64 createTime);
    QString rename(const QString &oldName, const QString &newName);
    bool remove(const QString &name, bool withStrategies);
    bool cleanup(const QString &name);
    bool regroup(const QString &from, const QString &to, bool removeFrom);

    QList<SarvekGroupInfo> list();
    QStringList sortedNames();
    QStringList names();
    // Runs `work` while the group exists, holding the lock so that it stays
    // for that long; false, without running it, when there is no such group.
    bool whileExists(const QString &name, const std::function<void()> &work);

    // Messages of the operations for a refusal that is not theirs.
    static QString notInitialisedMessage();
    // "the file could not be written", the message of a change not saved.
    static QString writeFailedMessage();
    // The cause of a message that add() or rename() answered.
    static StrategyLogic::RefusalCode refusalCodeOf(const QString &message);

private:
    QString filePath() const;
    QString changeRecordPath() const;
    bool saveFile();
    bool writeChangeRecord(const GroupChangeRecord &change, const char *function);

    FixedStrategyRegistry &m_registry;
    ChangeHistory &m_history;
    QString m_folder;
    QString m_userId;
    bool m_usable = false; // set before read(), read-only after

    // State below is protected by m_groupLock.
    QReadWriteLock m_groupLock;
    QMap<QString, SarvekGroupInfo> m_groupMap;

    // State below is protected by m_groupsFileMutex: what the file holds as
    // far as this object knows (read at start, or last written), and whether
    // it held bytes that are not UTF-8 (kept aside at the first save).
    QMutex m_groupsFileMutex;

    // One change of two files at a time, from its record to the record's
    // removal: the record file is one, and a second change's write of it
    // must not meet the first's removal. Taken before m_groupLock.
    QMutex m_twoFileChangeMutex;
    QString m_groupsFileText;
    bool m_groupsFileNotText = false;
};

#endif // STRATEGYGROUPS_H
