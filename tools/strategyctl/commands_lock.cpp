// Strategy-file locks.

#include "commands.h"
#include "commandtable.h"

#include <StrategyLogic/strategyfilelogichandler.h>

#include <zqapplicationdir.h>

#include <sqlite3.h>

namespace {
int change(CommandContext &c, bool lock)
{
    const QString path = c.args.at(0);
    if (path.contains(QChar(0)))
        return c.refuse(QStringLiteral("a path holding a NUL cannot be locked"));
    if (c.facade().getFileLockState(path) == lock)
        return c.unchanged(lock ? QStringLiteral("%1 is locked already").arg(path)
                                : QStringLiteral("%1 is not locked").arg(path));
    if (!c.facade().changeFileLockState(path, lock))
        return c.unavailable(QStringLiteral("io"), QStringLiteral("the local database did not take the change (see --verbose)"));
    return c.ok();
}

// A lock reaches the local database before the plug-in takes it, so the
// database's paths, as the plug-in answers for them, are all the locks.
int list(CommandContext &c)
{
    QStringList paths;
    const QString db = ZqApplicationDir::path() + QStringLiteral("/sarvek.db");
    sqlite3 *handle = nullptr;
    if (sqlite3_open_v2(db.toUtf8().constData(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(handle, 2000);
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(handle, "SELECT file_path FROM strategyfileinfo", -1, &stmt, nullptr) == SQLITE_OK) {
            int rc;
            while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
                const unsigned char *text = sqlite3_column_text(stmt, 0);
                if (text)
                    paths.append(QString::fromUtf8(reinterpret_cast<const char *>(text)));
            }
            if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                sqlite3_finalize(stmt);
                sqlite3_close(handle);
                return c.unavailable(QStringLiteral("busy"), QStringLiteral("the database %1 is busy").arg(db));
            }
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(handle);
    paths.removeDuplicates();
    paths.sort();
    QStringList locked;
    for (const QString &path : qAsConst(paths)) {
        if (c.facade().getFileLockState(path))
            locked.append(path);
    }
    c.out.printList(locked);
    return CommandContext::Success;
}
} // namespace

void registerLockCommands(CommandTable &table)
{
    table.add(QStringLiteral("lock on"), QStringLiteral("PATH:path"), QStringLiteral("Locks a strategy file against editing."),
              [](CommandContext &c) { return change(c, true); }).db = DbAccess::Writes;
    table.add(QStringLiteral("lock off"), QStringLiteral("PATH:path"), QStringLiteral("Unlocks a strategy file."),
              [](CommandContext &c) { return change(c, false); }).db = DbAccess::Writes;
    table.add(QStringLiteral("lock status"), QStringLiteral("PATH:path"), QStringLiteral("Whether a strategy file is locked."),
              [](CommandContext &c) { return c.answer(c.facade().getFileLockState(c.args.at(0))); }).db = DbAccess::Reads;
    table.add(QStringLiteral("lock list"), QString(), QStringLiteral("Lists the locked strategy files."), list).db =
        DbAccess::Reads;
}
