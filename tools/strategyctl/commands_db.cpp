// A read-only look into the local database, to see what the plug-in wrote.

#include "commands.h"
#include "commandtable.h"

#include <zqapplicationdir.h>

#include <sqlite3.h>

namespace {
int dump(CommandContext &c)
{
    static const QStringList tables = {QStringLiteral("strategyfileinfo"), QStringLiteral("instance_info"),
                                       QStringLiteral("backtest_daycash"), QStringLiteral("fixedstrategyinfo")};
    const QString table = c.args.at(0);
    if (!tables.contains(table))
        return c.usage(QStringLiteral("TABLE is one of %1").arg(tables.join(QStringLiteral(", "))));
    const QString path = ZqApplicationDir::path() + QStringLiteral("/sarvek.db");
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return c.refuse(QStringLiteral("cannot open %1").arg(path));
    }
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt *stmt = nullptr;
    const QByteArray sql = QStringLiteral("select * from %1").arg(table).toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return c.refuse(QStringLiteral("cannot read %1: %2").arg(table, message));
    }
    QStringList columns;
    for (int i = 0; i < sqlite3_column_count(stmt); ++i)
        columns.append(QString::fromUtf8(sqlite3_column_name(stmt, i)));
    QList<QJsonObject> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        QJsonObject row;
        for (int i = 0; i < columns.size(); ++i) {
            const unsigned char *text = sqlite3_column_text(stmt, i);
            row.insert(columns.at(i), text ? QJsonValue(QString::fromUtf8(reinterpret_cast<const char *>(text)))
                                           : QJsonValue(QJsonValue::Null));
        }
        rows.append(row);
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    c.out.printRecords(columns, rows);
    return CommandContext::Success;
}
} // namespace

void registerDbCommands(CommandTable &table)
{
    table.add(QStringLiteral("db"), QStringLiteral("TABLE"),
              QStringLiteral("Shows the rows of a table of sarvek.db as they are on disk."), 1, 1, dump);
}
