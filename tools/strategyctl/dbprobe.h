#ifndef DBPROBE_H
#define DBPROBE_H

#include <QString>

// Whether another program holds sarvek.db so that strategyctl could not
// read it (or, for a writing command, write it), waiting up to `seconds`
// for it to let go. Used before the plug-in starts, so that a busy database
// is reported as busy rather than read as empty. A missing file, or one
// that is not a database, counts as free: the plug-in deals with those.
// Opens the file without creating anything. Thread: any.
class DbProbe
{
public:
    enum Result { Free, Busy };
    static Result waitUntilFree(const QString &path, bool write, int seconds, QString *detail);
};

#endif // DBPROBE_H
