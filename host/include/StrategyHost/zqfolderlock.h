#ifndef ZQFOLDERLOCK_H
#define ZQFOLDERLOCK_H

#include <QDateTime>
#include <QString>

// An exclusive lock on a folder, held by at most one process of the machine
// at a time: the client holds its installation folder with it while the
// plug-in is initialised, so that two processes never write the same files.
//
// The lock is an flock(2) on the file "sarvek.lock" in the folder. The
// operating system drops it when the process ends, however it ends, so a
// crashed holder never leaves a stale lock behind. The file is never
// removed; while the lock is held it names the holder (pid, host, program,
// since when), which is what a refused process reports.
//
// Holds nest within a process: every acquire() that succeeds is matched by
// one release(), and the folder stays locked until the last one. Folders are
// compared by their canonical path (links resolved). Thread-safe.
class ZqFolderLock
{
public:
    static constexpr const char *FileName = "sarvek.lock";

    struct Holder
    {
        qint64 pid = 0;     // 0: unknown (the file could not be read)
        QString hostName;
        QString program;
        QDateTime since;    // UTC
        // "pid 123 (strategyctl on host-a, since 2026-12-07T09:30:00Z)".
        QString describe() const;
    };

    enum Outcome {
        Acquired, // this process holds the folder
        Busy,     // another process holds it; `holder` names it
        Failed,   // the lock file cannot be opened or locked; `error` says why
    };

    // Tries once, without waiting.
    static Outcome acquire(const QString &folder, Holder *holder = nullptr, QString *error = nullptr);
    // Gives back one hold taken by acquire(); the last one unlocks.
    static void release(const QString &folder);
    // Whether this process holds the folder.
    static bool isHeld(const QString &folder);
    // Whether another process holds it now. Takes nothing.
    static bool isHeldElsewhere(const QString &folder);
    // Who holds the folder, as its lock file says; pid 0 when nobody does
    // or the file cannot be read. Takes nothing.
    static Holder holder(const QString &folder);
};

#endif // ZQFOLDERLOCK_H
