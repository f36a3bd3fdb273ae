// A read-only look into the local database, to see what the plug-in wrote.

#include "commands.h"
#include "commandtable.h"

#include <zqapplicationdir.h>

#include <sqlite3.h>

namespace {
int dump(CommandContext &c)
{
    const QString table = c.args.at(0);
    const QString path = ZqApplicationDir::path() + QStringLiteral("/sarvek.db");
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return c.unavailable(QStringLiteral("io"), QStringLiteral("cannot open %1").arg(path));
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("select * from %1").arg(table).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        const int code = sqlite3_errcode(db) & 0xff;
        sqlite3_close(db);
        if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
            return c.unavailable(QStringLiteral("busy"), QStringLiteral("cannot read %1: %2").arg(table, message));
        return c.notFound(QStringLiteral("cannot read %1: %2").arg(table, message));
    }
    QStringList columns;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i)
        columns.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
    // Values as they are stored: numbers as numbers, NULL as null. An
    // integer beyond what a JSON number holds exactly stays a text.
    QList<QJsonObject> rows;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        QJsonObject row;
        for (int i = 0; i < columns.size(); ++i) {
            QJsonValue value;
            switch (sqlite3_column_type(stmt, i)) {
            case SQLITE_NULL:
                value = QJsonValue(QJsonValue::Null);
                break;
            case SQLITE_INTEGER: {
                const qint64 n = sqlite3_column_int64(stmt, i);
                value = (n > (qint64(1) << 53) || n < -(qint64(1) << 53)) ? QJsonValue(QString::number(n))
                                                                         : QJsonValue(double(n));
                break;
            }
            case SQLITE_FLOAT:
                value = sqlite3_column_double(stmt, i);
                break;
            default:
                value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                          sqlite3_column_bytes(stmt, i));
                break;
            }
            row.insert(columns.at(i), value);
        }
        rows.append(row);
    }
    const int code = rc & 0xff;
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
        return c.unavailable(QStringLiteral("busy"), QStringLiteral("cannot read %1: %2").arg(table, message));
    c.out.printRecords(columns, rows);
    return CommandContext::Success;
}
} // namespace

void registerDbCommands(CommandTable &table)
{
    table.add(QStringLiteral("db"),
              QStringLiteral("TABLE:strategyfileinfo|instance_info|backtest_daycash|fixedstrategyinfo"),
              QStringLiteral("Shows the rows of a table of sarvek.db as they are on disk."), dump)
        .db = DbAccess::Reads;
}
