#ifndef STRATEGYLOGIC_STRATEGYDATABASE_H
#define STRATEGYLOGIC_STRATEGYDATABASE_H

#include <StrategyLogic/strategylogic_global.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

/// \file
/// A look into the local database "sarvek.db" from outside the plug-in's
/// own use of it: a table as it is on disk, and whether another program
/// holds the file. Both open the file through the host's database access
/// layer, read only or without a change, and never create it.

namespace StrategyLogic {

/// The rows of one table of sarvek.db, as readDatabaseTable() found them.
struct DatabaseTable
{
    /// Whether the table could be read.
    enum Outcome {
        Read,       ///< `columns` and `rows` hold the table
        Busy,       ///< another program holds the database beyond the wait; `error` says what SQLite said
        CannotOpen, ///< the file is missing or cannot be opened; `error` names it
        NotRead,    ///< the database answered with an error (no such table, not a database, ...): `error`
    };

    Outcome outcome = Read; ///< whether the table could be read
    QString error;          ///< why not, in English; empty when Read
    QStringList columns;    ///< the column names, in the table's order
    /// The rows in the order SQLite gives them, a value per column: a null
    /// QVariant for NULL, qint64 for an integer, double for a real,
    /// QString for a text, QByteArray for a blob, each as stored.
    QList<QVariantList> rows;
};

/// Reads every row of `table` ("select * from <table>") of the database
/// "sarvek.db" in the installation folder `appDir`, read only, waiting up to
/// two seconds while another program holds it. `table` must be a plain name
/// (letters, digits, underscores); any other text is not read (NotRead).
/// Thread-safe; blocks for the read.
STRATEGYLOGIC_EXPORT DatabaseTable readDatabaseTable(const QString &appDir, const QString &table);

/// Whether the database can be read (`write` false) or written (`write`
/// true) now or within `seconds`.
enum class DatabaseAccess {
    Free, ///< it can; also when the file is missing or is no database (the plug-in deals with those)
    Busy, ///< another program still holds it after `seconds`
};

/// Waits up to `seconds` for another program to let go of sarvek.db in
/// `appDir`, so that a host can say "busy" before it starts the plug-in
/// instead of letting it read an empty state. A read takes a shared lock
/// for a moment, a write the reserved lock (taken and given back without a
/// change). On Busy, `detail` (when given) gets SQLite's message. Creates
/// and changes nothing. Thread-safe; blocks up to `seconds`.
STRATEGYLOGIC_EXPORT DatabaseAccess waitForDatabase(const QString &appDir, bool write, int seconds,
                                                    QString *detail = nullptr);

} // namespace StrategyLogic

#endif // STRATEGYLOGIC_STRATEGYDATABASE_H
