// The local database as another program sees it: for hosts that show a
// table as it is on disk or wait for the file before they start the
// plug-in. Through the host's access layer, like the store itself.

#include <StrategyLogic/strategydatabase.h>

#include "storage/installationlayout.h"

#include <zqmemsqlitemgr.h>

#include <QFileInfo>
#include <QRegularExpression>

namespace {
constexpr int SqliteBusy = 5;
constexpr int SqliteLocked = 6;
constexpr int SqliteCorrupt = 11;
constexpr int SqliteNotADatabase = 26;
// How long a table read waits for another program's lock.
constexpr int TableReadWaitMs = 2000;

enum SqliteType { Integer = 1, Float = 2, Text = 3, Blob = 4 };

bool isBusy(int code)
{
    return (code & 0xff) == SqliteBusy || (code & 0xff) == SqliteLocked;
}

QString databasePath(const QString &appDir)
{
    return appDir + QLatin1Char('/') + QLatin1String(InstallationLayout::DatabaseFile);
}

QVariant valueOf(const CppSQLite3Query &query, int column)
{
    const char *text = query.fieldValue(column);
    switch (query.fieldDataType(column)) {
    case Integer: return QVariant(QByteArray(text).toLongLong());
    case Float: return QVariant(QByteArray(text).toDouble());
    case Text: return QVariant(QString::fromUtf8(text, query.fieldLength(column)));
    case Blob: return QVariant(QByteArray(text, query.fieldLength(column)));
    default: return QVariant();
    }
}
} // namespace

StrategyLogic::DatabaseTable StrategyLogic::readDatabaseTable(const QString &appDir, const QString &table)
{
    DatabaseTable result;
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (!plainName.match(table).hasMatch()) {
        result.outcome = DatabaseTable::NotRead;
        result.error = QStringLiteral("no table named %1").arg(table);
        return result;
    }
    const QString path = databasePath(appDir);
    ZqMemSqliteMgr db;
    db.setDbFilePathReadOnly(path.toUtf8().constData());
    db.setBusyTimeout(TableReadWaitMs);
    if (!db.getConn().isOpen()) {
        const int code = db.openError();
        // A file that is there but holds no database is read, and answers
        // as the database does.
        if (code == SqliteNotADatabase || code == SqliteCorrupt) {
            result.outcome = DatabaseTable::NotRead;
            result.error = ZqMemSqliteMgr::errorText(code);
        } else if (isBusy(code)) {
            result.outcome = DatabaseTable::Busy;
            result.error = ZqMemSqliteMgr::errorText(code);
        } else {
            result.outcome = DatabaseTable::CannotOpen;
            result.error = QStringLiteral("cannot open %1").arg(path);
        }
        return result;
    }
    int err = 0;
    const QByteArray sql = QStringLiteral("select * from %1").arg(table).toUtf8();
    CppSQLite3Query query = db.execQuery(sql.constData(), err);
    if (err != 0) {
        result.outcome = isBusy(err) ? DatabaseTable::Busy : DatabaseTable::NotRead;
        result.error = db.lastErrorMessage();
        return result;
    }
    for (int i = 0; i < query.numFields(); ++i)
        result.columns.append(QString::fromUtf8(query.fieldName(i)));
    for (; !query.eof(); query.nextRow()) {
        QVariantList row;
        row.reserve(result.columns.size());
        for (int i = 0; i < result.columns.size(); ++i)
            row.append(valueOf(query, i));
        result.rows.append(row);
    }
    return result;
}

StrategyLogic::DatabaseAccess StrategyLogic::waitForDatabase(const QString &appDir, bool write, int seconds,
                                                             QString *detail)
{
    const QString path = databasePath(appDir);
    if (!QFileInfo(path).isFile())
        return DatabaseAccess::Free;
    ZqMemSqliteMgr db;
    if (write)
        db.setDbFilePath(path.toUtf8().constData());
    else
        db.setDbFilePathReadOnly(path.toUtf8().constData());
    if (!db.getConn().isOpen())
        return DatabaseAccess::Free;
    db.setBusyTimeout(seconds * 1000);
    // A read needs a shared lock (taken by reading the schema); a write
    // needs the reserved lock, which BEGIN IMMEDIATE takes and ROLLBACK
    // gives back without a change.
    int err = 0;
    if (write)
        db.execDML("BEGIN IMMEDIATE; ROLLBACK;", err);
    else
        db.execQuery("SELECT count(*) FROM sqlite_master;", err);
    if (!isBusy(err))
        return DatabaseAccess::Free;
    if (detail)
        *detail = db.lastErrorMessage();
    return DatabaseAccess::Busy;
}
