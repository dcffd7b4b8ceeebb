#include "sqlstatement.h"

SqlStatement::SqlStatement(sqlite3 *db, const std::string &sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        throw SqlError(std::string("prepare: ") + sqlite3_errmsg(db) + " in " + sql);
}

SqlStatement::~SqlStatement()
{
    sqlite3_finalize(m_stmt);
}

// A parameter that did not bind would run the statement with NULL in its place: a write that
// silently changes nothing, or the wrong rows, and still reports success.
void SqlStatement::checkBind(int rc)
{
    if (rc != SQLITE_OK)
        throw SqlError(std::string("bind: ") + sqlite3_errmsg(m_db));
}

SqlStatement &SqlStatement::bind(int index, std::int64_t value)
{
    checkBind(sqlite3_bind_int64(m_stmt, index, value));
    return *this;
}

SqlStatement &SqlStatement::bind(int index, double value)
{
    checkBind(sqlite3_bind_double(m_stmt, index, value));
    return *this;
}

SqlStatement &SqlStatement::bind(int index, const std::string &value)
{
    checkBind(sqlite3_bind_text(m_stmt, index, value.data(), int(value.size()), SQLITE_TRANSIENT));
    return *this;
}

SqlStatement &SqlStatement::bindBlob(int index, const std::string &bytes)
{
    checkBind(sqlite3_bind_blob(m_stmt, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

SqlStatement &SqlStatement::bindNull(int index)
{
    checkBind(sqlite3_bind_null(m_stmt, index));
    return *this;
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw SqlError(std::string("step: ") + sqlite3_errmsg(m_db));
}

void SqlStatement::run()
{
    while (step()) { }
    reset();
}

void SqlStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

std::int64_t SqlStatement::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

double SqlStatement::real(int column) const
{
    return sqlite3_column_double(m_stmt, column);
}

std::string SqlStatement::text(int column) const
{
    const void *data = sqlite3_column_blob(m_stmt, column);
    const int size = sqlite3_column_bytes(m_stmt, column);
    return data ? std::string(static_cast<const char *>(data), size_t(size)) : std::string();
}

bool SqlStatement::isNull(int column) const
{
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
}
