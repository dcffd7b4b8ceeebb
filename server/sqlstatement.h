#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>

// Thrown for every SQLite failure; the HTTP layer turns it into an internal error reply.
class SqlError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// A prepared statement with 1-based binding and 0-based column reading.
class SqlStatement
{
public:
    SqlStatement(sqlite3 *db, const std::string &sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement &) = delete;
    SqlStatement &operator=(const SqlStatement &) = delete;

    SqlStatement &bind(int index, std::int64_t value);
    SqlStatement &bind(int index, int value) { return bind(index, std::int64_t(value)); }
    SqlStatement &bind(int index, double value);
    SqlStatement &bind(int index, const std::string &value);
    SqlStatement &bindBlob(int index, const std::string &bytes);
    SqlStatement &bindNull(int index);

    // True while a row is available.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    std::int64_t integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;
    bool isNull(int column) const;

private:
    void checkBind(int rc);

    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
};
