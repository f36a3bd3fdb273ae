#ifndef DATEDBACKUP_H
#define DATEDBACKUP_H

#include <QDateTime>
#include <QString>

// A copy of a file taken before a repair or an import changes it:
// "<file>.bak-<yyyyMMdd-HHmmss>" beside it, with "-2", "-3", ... when that
// name is taken (a dangling link counts as taken). Files changed together
// share one time. Thread: any.
class DatedBackup
{
public:
    // The name a copy of `path` taken at `when` gets.
    static QString nameFor(const QString &path, const QDateTime &when);
    // Copies `path` to nameFor(path, when), whole or not at all. False, with
    // the system's reason in `error`, when no copy was made; `backup` gets
    // the copy's name either way.
    static bool copy(const QString &path, const QDateTime &when, QString *backup, QString *error);
};

#endif // DATEDBACKUP_H
