#ifndef INTERPROCIDSERVICE_H
#define INTERPROCIDSERVICE_H

#include <QMutex>
#include <QString>

// Named id sequences shared by every process of the machine's user.
//
// Each sequence is a counter file "<name>.seq" in the storage folder, read
// and advanced under an exclusive flock(2) lock, so ids never repeat across
// processes or restarts. The storage folder is, in this order of choice:
// the one given to setStorageDirectory(); the environment variable
// STRATEGYLOGIC_ID_DIR; "StrategyHost/ids" under the user's generic data
// location (~/.local/share). Thread-safe.
class InterProcIdService
{
public:
    static constexpr qint64 MaxId = 2147483647;

    static InterProcIdService &instance();

    // Makes sure the sequence exists. A positive `first` raises the sequence
    // so that the next id is at least `first`; -1 (or any value below 1)
    // leaves it where it is. False when the counter file cannot be created
    // or written.
    bool registerIdService(const QString &name, qint64 first);

    // The next id of the sequence, from 1 to MaxId. 0 on failure: the name
    // is empty or holds a character other than letters, digits, '_', '-' and
    // '.'; the storage folder cannot be created; the counter file cannot be
    // opened, locked, read or written; its content is not a number; or the
    // sequence has reached MaxId.
    qint64 getId(const QString &name);

    // Makes sure every later id of the sequence is above `id`, atomically
    // for all processes; never lowers the sequence. For ids that reached a
    // store from elsewhere (a folder brought from another machine). False
    // when the counter file cannot be read or written.
    bool raiseFloor(const QString &name, qint64 id);

    void setStorageDirectory(const QString &dir);
    QString storageDirectory();

private:
    InterProcIdService() = default;
    qint64 advance(const QString &name, qint64 floor, bool draw);

    QMutex m_mutex; // guards m_storageDir
    QString m_storageDir;
};

#endif // INTERPROCIDSERVICE_H
