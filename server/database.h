#pragma once

#include "sqlstatement.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// One SQLite file in WAL mode shared by the worker threads: each request leases its own
// connection (SQLite connections must not be used by two threads at once).
class Database {
public:
    class Connection {
    public:
        explicit Connection(const std::string &path);
        ~Connection();
        Connection(const Connection &) = delete;
        Connection &operator=(const Connection &) = delete;

        sqlite3 *handle() const { return m_db; }
        void exec(const std::string &sql);
        // A prepared statement kept for the connection's life, reset and unbound.
        SqlStatement &cached(const std::string &sql);
        std::int64_t lastInsertId() const;
        int changes() const;
        // Ends every statement left mid-way, so no stale read snapshot outlives a request.
        void resetAll();

    private:
        sqlite3 *m_db = nullptr;
        std::unordered_map<std::string, std::unique_ptr<SqlStatement>> m_statements;
    };

    // Returns the connection to the pool when it goes out of scope.
    class Lease {
    public:
        Lease(Database &db, std::unique_ptr<Connection> connection);
        ~Lease();
        Lease(Lease &&) = default;
        Connection *operator->() const { return m_connection.get(); }
        Connection &operator*() const { return *m_connection; }

    private:
        Database *m_db;
        std::unique_ptr<Connection> m_connection;
    };

    // BEGIN IMMEDIATE ... COMMIT, rolled back when left by an exception.
    class Transaction {
    public:
        explicit Transaction(Connection &connection);
        ~Transaction();
        void commit();

    private:
        Connection &m_connection;
        bool m_done = false;
    };

    explicit Database(std::string path);
    // Creates or migrates the schema; a new file is seeded in the same transaction.
    // True when the file was new.
    bool migrate(const std::function<void(Connection &)> &seed);
    Lease lease();

    static constexpr int SchemaVersion = 1;

private:
    friend class Lease;
    void giveBack(std::unique_ptr<Connection> connection);

    std::string m_path;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Connection>> m_idle;
};
