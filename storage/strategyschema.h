#ifndef STRATEGYSCHEMA_H
#define STRATEGYSCHEMA_H

#include <QString>
#include <QStringList>
#include <QVector>

class ZqMemSqliteMgr;

// The tables of the local database "sarvek.db", stated once: each table
// with its columns, the statement that creates it, the columns a start adds
// to a table of an older version (with their ALTER statements, in the order
// they run) and the lines the start logs. StrategySqlite creates and
// migrates the tables from here; the health check compares a database with
// it. The statement texts are those every version of the plug-in has sent,
// so a database of any version reads and migrates the same way.
// docs/formats.md ("Local database") describes the tables.
//
// Plain constant data; thread: any.
class StrategySchema
{
public:
    static constexpr char FileLocksTable[] = "strategyfileinfo";
    static constexpr char InstancesTable[] = "instance_info";
    static constexpr char DayCashTable[] = "backtest_daycash";
    // The table of fixed strategies of versions that kept them in the
    // database; a start moves its rows into the users' data files and then
    // drops it. Its columns by position, as those versions wrote them.
    static constexpr char LegacyTable[] = "fixedstrategyinfo";
    enum LegacyColumn { LegacyName = 1, LegacyFilePath = 2, LegacyUserFolder = 3, LegacyGroup = 4, LegacyExtraInfo = 5 };

    struct Column
    {
        const char *name; // lower case, as the statements spell it
        // The statement a start runs to add the column to a table that
        // lacks it; nullptr for a column every version of the table has.
        // On a current table the statement fails, which is expected.
        const char *addStatement = nullptr;
        // What the start logs when the statement added the column, and when
        // it did not; nullptr where it logs nothing.
        const char *addedLine = nullptr;
        const char *notAddedLine = nullptr;

        bool addedAtStart() const { return addStatement != nullptr; }
    };

    struct Table
    {
        const char *name;
        const char *createStatement; // "create table if not exists ...": a no-op on an existing table
        const char *createdLine;     // logged after the statement succeeded
        const char *notCreatedLine;  // logged, with the SQLite result code, after it failed
        QVector<Column> columns;     // every column the plug-in reads or writes, in table order
        QVector<const char *> key;   // the primary key's columns
    };

    // What stands in `db` under a table's name, against the table as
    // stated here.
    struct TableState
    {
        enum Kind {
            Unknown,     // the database did not answer (busy, not a database, ...)
            Sound,       // a table with every column
            Missing,     // nothing of that name
            NotATable,   // a view or an index of that name
            LacksColumns // a table without some of the columns
        };
        Kind kind = Unknown;
        QString objectType;       // NotATable: "view", "index"
        QStringList lacking;      // LacksColumns: those no start adds
        QStringList addedAtStart; // LacksColumns: those a start adds
        QStringList absent;       // LacksColumns: both, in table order
        // Whether the plug-in's statements fail on it: anything but Sound
        // and Unknown.
        bool isDamaged() const { return kind == Missing || kind == NotATable || kind == LacksColumns; }
        // The fault in words, for log lines and findings: "there is no such
        // table", "a view stands in its place", "it lacks the column(s) a, b".
        QString fault() const;
    };

    // The three tables, in the order a start creates them.
    static const QVector<Table> &tables();

    // The names of the columns of `table` in `db` (PRAGMA table_info), in
    // lower case, since SQLite compares column names regardless of case;
    // empty when there is no such table. False when the database did not
    // answer (busy, not a database, ...).
    static bool columnsOf(ZqMemSqliteMgr &db, const char *table, QStringList *names);
    // The state of `table` in `db`.
    static TableState stateOf(ZqMemSqliteMgr &db, const Table &table);
    // The table of that name; nullptr for none of the three.
    static const Table *table(const char *name);
};

#endif // STRATEGYSCHEMA_H
