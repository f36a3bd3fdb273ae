#include "dbprobe.h"

#include <QFileInfo>

#include <sqlite3.h>

DbProbe::Result DbProbe::waitUntilFree(const QString &path, bool write, int seconds, QString *detail)
{
    if (!QFileInfo(path).isFile())
        return Free;
    sqlite3 *db = nullptr;
    const int flags = write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return Free;
    }
    sqlite3_busy_timeout(db, seconds * 1000);
    // A read needs a shared lock (taken by reading the schema); a write
    // needs the reserved lock, which BEGIN IMMEDIATE takes and ROLLBACK
    // gives back without a change.
    const char *sql = write ? "BEGIN IMMEDIATE; ROLLBACK;" : "SELECT count(*) FROM sqlite_master;";
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    const int code = rc & 0xff;
    Result result = Free;
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        result = Busy;
        if (detail)
            *detail = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    return result;
}
