#ifndef ZQMEMSQLITEMGR_H
#define ZQMEMSQLITEMGR_H

#include "cppsqlite3db.h"
#include "cppsqlite3query.h"

#include <QByteArray>
#include <QString>
#include <QRecursiveMutex>
#include <QThread>

#include <QHash>

#include <functional>

struct sqlite3;
struct sqlite3_stmt;

// Access to one SQLite database file.
//
// Statements are UTF-8 text. Every call that takes `int &err` leaves it
// untouched on success (callers preset it to 0) and sets it to the SQLite
// result code on failure; 5 (SQLITE_BUSY) means another connection holds
// the file locked beyond the busy timeout.
//
// Thread-safety: every method may be called from any thread at any time;
// the manager runs one statement at a time. A transaction belongs to the
// thread that began it: until that thread commits or rolls back, the
// statements of other threads wait, so they never land inside it.
class ZqMemSqliteMgr
{
public:
    // How long a statement waits for a lock held by another connection
    // before it fails with 5. Long enough to ride out another process's
    // short write; short enough that a caller that retries on 5 (the
    // instance load, every second) gets its answer instead of hanging
    // behind a long-held lock.
    static constexpr int BusyTimeoutMs = 200;

    ZqMemSqliteMgr();
    ~ZqMemSqliteMgr();
    ZqMemSqliteMgr(const ZqMemSqliteMgr &) = delete;
    ZqMemSqliteMgr &operator=(const ZqMemSqliteMgr &) = delete;

    // Opens the file for reading and writing, creating it when missing.
    // A path that cannot be opened as a database leaves getConn().isOpen()
    // false; every statement then fails.
    void setDbFilePath(const char *utf8Path);
    // Opens another program's database for reading only: the file is never
    // created, written or switched to another journal mode. A missing file
    // is looked for again at each statement.
    void setDbFilePathReadOnly(const char *utf8Path);

    CppSQLite3DB getConn();
    // Why the file could not be opened: the SQLite result code of the last
    // attempt (26 SQLITE_NOTADB for a file that is not a database, 14
    // SQLITE_CANTOPEN for a folder in its place or no access), 0 while open.
    int openError();
    // SQLite's English text of a result code.
    static QString errorText(int code);
    // How long statements wait for another connection's lock from now on
    // (BusyTimeoutMs until set).
    void setBusyTimeout(int ms);
    // SQLite's message of the last statement that failed ("no such table:
    // x"); empty while none has.
    QString lastErrorMessage() const;

    // Runs the statement(s); returns the number of changed rows.
    int execDML(const char *sql, int &err);
    // A value for one parameter of execPrepared(): an integer, or UTF-8 text
    // that must stay valid until the call returns, or NULL.
    struct Value
    {
        static Value null() { return {true, 0, nullptr, 0}; }
        static Value integer(qint64 value) { return {false, value, nullptr, 0}; }
        // An empty array binds the empty text, not NULL.
        static Value text(const QByteArray &utf8) { return {true, 0, utf8.constData(), utf8.size()}; }
        bool isText;
        qint64 number;
        const char *utf8;
        int size;
    };
    // Runs one statement kept prepared on the connection: the first call with
    // a text prepares it, later calls with the same text bind new values to
    // the same statement; values[i] goes to parameter ?i+1. The statements
    // are finalized when the connection closes. Returns the number of
    // changed rows; err as for execDML.
    int execPrepared(const char *sql, const Value *values, int count, int &err);
    // Runs one SELECT and reads all its rows; a failure gives an empty query.
    CppSQLite3Query execQuery(const char *sql, int &err);
    // Runs one SELECT and hands each row to `row` as SQLite reads it, with
    // the values' UTF-8 texts (nullptr for NULL), valid only during the
    // call; nothing is copied. `row` runs with the connection held and must
    // not use this manager. Returns the number of rows handed over; on a
    // failure err is set, and the rows handed over until then are not the
    // whole result.
    int forEachRow(const char *sql, const std::function<void(const char *const *values, int count)> &row, int &err);
    bool tableExists(const char *table);

    // Each returns 0 or the SQLite result code. commit() that fails rolls
    // the transaction back, so the database never stays locked by it.
    int transaction();
    int commit();
    int rollback();

private:
    // Prepares and runs one SELECT on the held connection: `prepared` sees
    // the statement before the first step, `row` after each step that gave
    // a row. False on a failure, with err set.
    bool queryLocked(const char *sql, const std::function<void(sqlite3_stmt *)> &prepared,
                     const std::function<void(sqlite3_stmt *)> &row, int &err);
    bool ensureOpenLocked();
    void closeLocked();
    int endTransaction(const char *sql);

    // State below is protected by m_mutex. A transaction keeps one extra
    // lock on it, taken by transaction() and released by commit()/rollback().
    mutable QRecursiveMutex m_mutex;
    sqlite3 *m_db = nullptr;
    QByteArray m_path;
    bool m_readOnly = false;
    bool m_openFailureReported = false; // warn once, not at every statement
    int m_openError = 0;
    int m_busyTimeoutMs = BusyTimeoutMs;
    QString m_lastErrorMessage;
    int m_txDepth = 0;
    Qt::HANDLE m_txOwner = nullptr;
    // The statements of execPrepared() on m_db, by their text; always reset
    // after a run, so that none holds a read lock or a transaction open.
    QHash<QByteArray, sqlite3_stmt *> m_statements;
};

#endif // ZQMEMSQLITEMGR_H
