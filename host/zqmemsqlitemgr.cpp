#include "zqmemsqlitemgr.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <sqlite3.h>

#include <vector>

Q_LOGGING_CATEGORY(lcZqSqlite, "zq.sqlite", QtInfoMsg)

ZqMemSqliteMgr::ZqMemSqliteMgr() = default;

ZqMemSqliteMgr::~ZqMemSqliteMgr()
{
    QMutexLocker locker(&m_mutex);
    closeLocked();
}

void ZqMemSqliteMgr::closeLocked()
{
    for (sqlite3_stmt *stmt : qAsConst(m_statements))
        sqlite3_finalize(stmt);
    m_statements.clear();
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void ZqMemSqliteMgr::setDbFilePath(const char *utf8Path)
{
    QMutexLocker locker(&m_mutex);
    closeLocked();
    m_path = QByteArray(utf8Path ? utf8Path : "");
    m_readOnly = false;
    m_openFailureReported = false;
    ensureOpenLocked();
}

void ZqMemSqliteMgr::setDbFilePathReadOnly(const char *utf8Path)
{
    QMutexLocker locker(&m_mutex);
    closeLocked();
    m_path = QByteArray(utf8Path ? utf8Path : "");
    m_readOnly = true;
    m_openFailureReported = false;
    ensureOpenLocked();
}

bool ZqMemSqliteMgr::ensureOpenLocked()
{
    if (m_db)
        return true;
    if (m_path.isEmpty())
        return false;
    const QFileInfo info(QString::fromUtf8(m_path));
    if (info.isDir()) {
        m_openError = SQLITE_CANTOPEN;
        if (!m_openFailureReported)
            qCWarning(lcZqSqlite) << "cannot open database" << info.filePath() << ": it is a directory";
        m_openFailureReported = true;
        return false;
    }
    if (m_readOnly && !info.exists())
        return false;

    // Every use of the connection holds m_mutex: SQLite's own lock per call
    // would only be taken and given back again, a few times per value read.
    const int flags = SQLITE_OPEN_NOMUTEX
                      | (m_readOnly ? SQLITE_OPEN_READONLY : (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE));
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(m_path.constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        m_openError = rc;
        if (!m_openFailureReported)
            qCWarning(lcZqSqlite) << "cannot open database" << info.filePath() << ":" << sqlite3_errstr(rc);
        m_openFailureReported = true;
        sqlite3_close_v2(db);
        return false;
    }
    sqlite3_busy_timeout(db, m_busyTimeoutMs);

    // sqlite3_open_v2 defers reading the file; read the schema now so that a
    // file that is not a database counts as not open. A busy file is a
    // database all the same.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) {
        m_openError = rc;
        if (!m_openFailureReported)
            qCWarning(lcZqSqlite) << "cannot use database" << info.filePath() << ":" << sqlite3_errstr(rc);
        m_openFailureReported = true;
        sqlite3_close_v2(db);
        return false;
    }
    m_db = db;
    m_openFailureReported = false;
    m_openError = 0;
    return true;
}

CppSQLite3DB ZqMemSqliteMgr::getConn()
{
    QMutexLocker locker(&m_mutex);
    return CppSQLite3DB(ensureOpenLocked());
}

int ZqMemSqliteMgr::openError()
{
    QMutexLocker locker(&m_mutex);
    ensureOpenLocked();
    return m_openError;
}

void ZqMemSqliteMgr::setBusyTimeout(int ms)
{
    QMutexLocker locker(&m_mutex);
    m_busyTimeoutMs = ms;
    if (m_db)
        sqlite3_busy_timeout(m_db, ms);
}

QString ZqMemSqliteMgr::lastErrorMessage() const
{
    QMutexLocker locker(&m_mutex);
    return m_lastErrorMessage;
}

QString ZqMemSqliteMgr::errorText(int code)
{
    return QString::fromUtf8(sqlite3_errstr(code));
}

int ZqMemSqliteMgr::execDML(const char *sql, int &err)
{
    QMutexLocker locker(&m_mutex);
    if (!ensureOpenLocked()) {
        err = SQLITE_CANTOPEN;
        return 0;
    }
    char *message = nullptr;
    const int rc = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        err = rc;
        m_lastErrorMessage = QString::fromUtf8(message ? message : sqlite3_errstr(rc));
        qCDebug(lcZqSqlite) << "statement failed:" << rc << (message ? message : "") << sql;
        sqlite3_free(message);
        return 0;
    }
    return sqlite3_changes(m_db);
}

int ZqMemSqliteMgr::execPrepared(const char *sql, const Value *values, int count, int &err)
{
    QMutexLocker locker(&m_mutex);
    if (!ensureOpenLocked()) {
        err = SQLITE_CANTOPEN;
        return 0;
    }
    // The lookup borrows the caller's text; only a new entry copies it.
    sqlite3_stmt *stmt = m_statements.value(QByteArray::fromRawData(sql, int(qstrlen(sql))), nullptr);
    if (!stmt) {
        const int rc = sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr);
        if (rc != SQLITE_OK || !stmt) {
            err = rc != SQLITE_OK ? rc : SQLITE_MISUSE;
            qCDebug(lcZqSqlite) << "statement failed:" << err << sqlite3_errmsg(m_db) << sql;
            sqlite3_finalize(stmt);
            return 0;
        }
        m_statements.insert(QByteArray(sql), stmt);
    }
    int rc = SQLITE_OK;
    for (int i = 0; i < count && rc == SQLITE_OK; ++i) {
        const Value &value = values[i];
        if (!value.isText)
            rc = sqlite3_bind_int64(stmt, i + 1, value.number);
        else if (value.utf8)
            rc = sqlite3_bind_text(stmt, i + 1, value.utf8, value.size, SQLITE_STATIC);
        else
            rc = sqlite3_bind_null(stmt, i + 1);
    }
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_DONE || rc == SQLITE_ROW)
            rc = SQLITE_OK;
    }
    // Reset at once: a statement left mid-run would keep its read lock, and
    // the bound texts belong to the caller.
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (rc != SQLITE_OK) {
        err = rc;
        qCDebug(lcZqSqlite) << "statement failed:" << rc << sqlite3_errmsg(m_db) << sql;
        return 0;
    }
    return sqlite3_changes(m_db);
}

bool ZqMemSqliteMgr::queryLocked(const char *sql, const std::function<void(sqlite3_stmt *)> &prepared,
                                 const std::function<void(sqlite3_stmt *)> &row, int &err)
{
    if (!ensureOpenLocked()) {
        err = SQLITE_CANTOPEN;
        return false;
    }
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(m_db, sql, -1, &stmt, nullptr);
    if (rc != SQLITE_OK || !stmt) {
        err = rc != SQLITE_OK ? rc : SQLITE_MISUSE;
        m_lastErrorMessage = QString::fromUtf8(sqlite3_errmsg(m_db));
        qCDebug(lcZqSqlite) << "query failed:" << err << sqlite3_errmsg(m_db) << sql;
        sqlite3_finalize(stmt);
        return false;
    }
    prepared(stmt);
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        row(stmt);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) {
        err = rc;
        m_lastErrorMessage = QString::fromUtf8(sqlite3_errmsg(m_db));
        qCDebug(lcZqSqlite) << "query failed:" << rc << sqlite3_errmsg(m_db) << sql;
        return false;
    }
    return true;
}

CppSQLite3Query ZqMemSqliteMgr::execQuery(const char *sql, int &err)
{
    QMutexLocker locker(&m_mutex);
    auto result = std::make_shared<CppSQLite3Query::Result>();
    int columns = 0;
    const auto prepared = [&](sqlite3_stmt *stmt) {
        columns = sqlite3_column_count(stmt);
        result->columns.reserve(size_t(columns));
        for (int i = 0; i < columns; ++i) {
            const char *name = sqlite3_column_name(stmt, i);
            result->columns.emplace_back(name ? name : "");
        }
    };
    const auto row = [&](sqlite3_stmt *stmt) {
        for (int i = 0; i < columns; ++i) {
            result->types.push_back(static_cast<unsigned char>(sqlite3_column_type(stmt, i)));
            const unsigned char *text = sqlite3_column_text(stmt, i);
            if (text) {
                result->offsets.push_back(result->text.size());
                result->text.append(reinterpret_cast<const char *>(text), size_t(sqlite3_column_bytes(stmt, i)));
                result->text.push_back('\0');
            } else {
                result->offsets.push_back(CppSQLite3Query::Result::Null);
            }
        }
        ++result->rowCount;
    };
    if (!queryLocked(sql, prepared, row, err))
        return CppSQLite3Query();
    return CppSQLite3Query(std::move(result));
}

int ZqMemSqliteMgr::forEachRow(const char *sql, const std::function<void(const char *const *, int)> &row,
                               int &err)
{
    QMutexLocker locker(&m_mutex);
    std::vector<const char *> values;
    int rows = 0;
    queryLocked(
        sql, [&](sqlite3_stmt *stmt) { values.resize(size_t(qMax(sqlite3_column_count(stmt), 1))); },
        [&](sqlite3_stmt *stmt) {
            const int columns = sqlite3_column_count(stmt);
            for (int i = 0; i < columns; ++i)
                values[size_t(i)] = reinterpret_cast<const char *>(sqlite3_column_text(stmt, i));
            row(values.data(), columns);
            ++rows;
        },
        err);
    return rows;
}

bool ZqMemSqliteMgr::tableExists(const char *table)
{
    QMutexLocker locker(&m_mutex);
    if (!ensureOpenLocked() || !table)
        return false;
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, "SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?1",
                           -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        return false;
    }
    sqlite3_bind_text(stmt, 1, table, -1, SQLITE_TRANSIENT);
    const bool exists = sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_int(stmt, 0) > 0;
    sqlite3_finalize(stmt);
    return exists;
}

int ZqMemSqliteMgr::transaction()
{
    m_mutex.lock(); // held until commit() or rollback() of this thread
    if (!ensureOpenLocked()) {
        m_mutex.unlock();
        return SQLITE_CANTOPEN;
    }
    const int rc = sqlite3_exec(m_db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        m_mutex.unlock();
        return rc;
    }
    ++m_txDepth;
    m_txOwner = QThread::currentThreadId();
    return SQLITE_OK;
}

int ZqMemSqliteMgr::endTransaction(const char *sql)
{
    QMutexLocker locker(&m_mutex);
    if (m_txDepth == 0 || m_txOwner != QThread::currentThreadId())
        return SQLITE_MISUSE;
    const bool commit = qstrcmp(sql, "COMMIT") == 0;
    int rc = SQLITE_OK;
    if (sqlite3_get_autocommit(m_db)) {
        // SQLite ended the transaction by itself (an I/O error, a full disk):
        // its changes are gone, so a commit cannot succeed.
        rc = commit ? SQLITE_ABORT : SQLITE_OK;
    } else {
        rc = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK && commit && !sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    --m_txDepth;
    if (m_txDepth == 0)
        m_txOwner = nullptr;
    m_mutex.unlock(); // the lock taken by transaction()
    return rc;
}

int ZqMemSqliteMgr::commit()
{
    return endTransaction("COMMIT");
}

int ZqMemSqliteMgr::rollback()
{
    return endTransaction("ROLLBACK");
}
