#ifndef FILELOCKLIST_H
#define FILELOCKLIST_H

#include <QReadWriteLock>
#include <QString>
#include <QStringList>

class ChangeHistory;

// The strategy files the user locked against editing: a list in memory,
// mirrored at every change in the table strategyfileinfo of the local
// database. Owned by the plug-in object, which loads it once at start-up.
//
// Every lock and unlock the database took is recorded in the history of
// changes (ChangeHistory, owned by the plug-in object).
//
// Threads: any thread. m_lockFileListLock guards the list; a change holds it
// for writing across its database statement, so changes are serialised and
// readers wait for a change to be complete. No other lock is taken under it
// but the history's, a leaf.
class FileLockList
{
public:
    explicit FileLockList(ChangeHistory &history);

    // Replaces the list by the table's rows; `groups` is for the log line.
    void load(const QStringList &groups);
    // False only when the database did not take the change; locking a
    // locked path or unlocking one that is not changes nothing.
    bool change(const QString &filePath, bool lock);
    bool isLocked(const QString &filePath);
    // The locked paths, in ascending order.
    QStringList list();

private:
    ChangeHistory &m_history;

    // State below is protected by m_lockFileListLock.
    QReadWriteLock m_lockFileListLock;
    QStringList m_lockFileList;
};

#endif // FILELOCKLIST_H
