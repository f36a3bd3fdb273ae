#ifndef CPPSQLITE3DB_H
#define CPPSQLITE3DB_H

// A view of a ZqMemSqliteMgr's connection, as getConn() hands it out.
// Copies are cheap; destroying one leaves the connection open.
class CppSQLite3DB
{
public:
    CppSQLite3DB() = default;

    // True when statements can run on the connection.
    bool isOpen() const { return m_open; }

private:
    friend class ZqMemSqliteMgr;
    explicit CppSQLite3DB(bool open) : m_open(open) {}

    bool m_open = false;
};

#endif // CPPSQLITE3DB_H
