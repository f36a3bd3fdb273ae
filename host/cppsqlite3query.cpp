#include "cppsqlite3query.h"

#include <cstring>

CppSQLite3Query::CppSQLite3Query() = default;

CppSQLite3Query::CppSQLite3Query(std::shared_ptr<const Result> result)
    : m_result(std::move(result))
{
}

bool CppSQLite3Query::eof() const
{
    return !m_result || m_row >= m_result->rowCount;
}

int CppSQLite3Query::numFields() const
{
    return m_result ? int(m_result->columns.size()) : 0;
}

int CppSQLite3Query::fieldIndex(const char *name) const
{
    if (!name)
        return -1;
    for (int i = 0; i < numFields(); ++i) {
        if (m_result->columns[size_t(i)] == name)
            return i;
    }
    return -1;
}

const char *CppSQLite3Query::fieldValue(int col) const
{
    if (eof() || col < 0 || col >= numFields())
        return nullptr;
    const size_t at = m_row * m_result->columns.size() + size_t(col);
    const size_t offset = m_result->offsets[at];
    return offset == Result::Null ? nullptr : m_result->text.data() + offset;
}

const char *CppSQLite3Query::fieldName(int col) const
{
    if (col < 0 || col >= numFields())
        return nullptr;
    return m_result->columns[size_t(col)].c_str();
}

int CppSQLite3Query::fieldLength(int col) const
{
    if (eof() || col < 0 || col >= numFields())
        return 0;
    const size_t at = m_row * m_result->columns.size() + size_t(col);
    const size_t offset = m_result->offsets[at];
    if (offset == Result::Null)
        return 0;
    // Each value is followed by its NUL, then the next value's text.
    size_t end = m_result->text.size();
    for (size_t next = at + 1; next < m_result->offsets.size(); ++next) {
        if (m_result->offsets[next] != Result::Null) {
            end = m_result->offsets[next];
            break;
        }
    }
    return int(end - offset - 1);
}

int CppSQLite3Query::fieldDataType(int col) const
{
    constexpr int Null = 5;
    if (eof() || col < 0 || col >= numFields())
        return Null;
    return m_result->types[m_row * m_result->columns.size() + size_t(col)];
}

void CppSQLite3Query::nextRow()
{
    if (!eof())
        ++m_row;
}

void CppSQLite3Query::finalize()
{
    m_result.reset();
    m_row = 0;
}
