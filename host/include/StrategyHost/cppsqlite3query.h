#ifndef CPPSQLITE3QUERY_H
#define CPPSQLITE3QUERY_H

#include <memory>
#include <string>
#include <vector>

// The result of one SELECT sent through ZqMemSqliteMgr::execQuery.
//
// The rows are read in full while the manager holds its lock, so a query
// can be walked on any thread, at any later time, without touching the
// connection. A failed statement gives an empty query (eof() at once).
// Copies share the rows; each copy has its own position.
class CppSQLite3Query
{
public:
    CppSQLite3Query();

    bool eof() const;
    int numFields() const;
    // The position of the named column, or -1.
    int fieldIndex(const char *name) const;
    // The name of the column at `col`; nullptr outside the columns.
    const char *fieldName(int col) const;
    // The value's text in UTF-8, valid until nextRow() or finalize();
    // nullptr for NULL and for a position outside the row.
    const char *fieldValue(int col) const;
    // The length in bytes of the value's text (which may hold NUL bytes, as
    // a blob may); 0 for NULL.
    int fieldLength(int col) const;
    // The type SQLite stored the value as: 1 integer, 2 float, 3 text,
    // 4 blob, 5 NULL (SQLite's codes; 5 also outside the row).
    int fieldDataType(int col) const;
    void nextRow();
    void finalize();

private:
    friend class ZqMemSqliteMgr;

    struct Result
    {
        std::vector<std::string> columns;
        // Every value's text, each ended by a NUL, one after the other: one
        // buffer rather than an allocation per value.
        std::string text;
        // Row-major, rowCount * columns.size() entries: where each value
        // starts in text, or Null.
        std::vector<size_t> offsets;
        // Row-major as offsets: each value's SQLite type code.
        std::vector<unsigned char> types;
        size_t rowCount = 0;
        static constexpr size_t Null = size_t(-1);
    };

    explicit CppSQLite3Query(std::shared_ptr<const Result> result);

    std::shared_ptr<const Result> m_result;
    size_t m_row = 0;
};

#endif // CPPSQLITE3QUERY_H
