#pragma once

#include "sqlstatement.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

// One SQLite file in WAL mode shared by the worker threads: each request leases its own
// connection (SQLite connections must not be used by two threads at once). Write transactions
// of this process take turns on a mutex, so they queue at once instead of polling SQLite's
// busy handler. The write-ahead log is copied back into the database by a thread of its own,
// so no commit waits for a checkpoint.
class Database
{
public:
    class Connection
    {
    public:
        Connection(const std::string &path, Database *owner);
        ~Connection();
        Connection(const Connection &) = delete;
        Connection &operator=(const Connection &) = delete;

        sqlite3 *handle() const { return m_db; }
        Database *owner() const { return m_owner; }
        void exec(const std::string &sql);
        // A prepared statement kept for the connection's life, reset and unbound.
        SqlStatement &cached(const std::string &sql);
        std::int64_t lastInsertId() const;
        int changes() const;
        // Ends every statement left mid-way, so no stale read snapshot outlives a request.
        void resetAll();

        // Rowids of the watched table written since the last clearChanges(); overflowed is set
        // instead of keeping more than MaxTrackedChanges of them.
        const std::vector<std::int64_t> &changedRows() const { return m_changed; }
        bool changesOverflowed() const { return m_overflowed; }
        void clearChanges();

        static constexpr size_t MaxTrackedChanges = 5000;

    private:
        static void rowChanged(void *self, int operation, const char *database, const char *table,
            sqlite3_int64 rowid);
        static int walCommitted(void *self, sqlite3 *db, const char *database, int pages);

        sqlite3 *m_db = nullptr;
        Database *m_owner;
        std::unordered_map<std::string, std::unique_ptr<SqlStatement>> m_statements;
        std::vector<std::int64_t> m_changed;
        bool m_overflowed = false;
    };

    // Told about every write transaction, while it still holds the write mutex.
    class WriteListener
    {
    public:
        virtual ~WriteListener() = default;
        // Just after BEGIN IMMEDIATE.
        virtual void began(Connection &connection) = 0;
        // Just before COMMIT, with the watched table's changes of this transaction.
        virtual void committing(Connection &connection) = 0;
        // After COMMIT succeeded.
        virtual void committed() = 0;
        // After a rollback.
        virtual void abandoned() = 0;
    };

    // Returns the connection to the pool when it goes out of scope.
    class Lease
    {
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
    class Transaction
    {
    public:
        explicit Transaction(Connection &connection);
        ~Transaction();
        void commit();

    private:
        Connection &m_connection;
        std::unique_lock<std::mutex> m_lock;
        bool m_done = false;
    };

    explicit Database(std::string path);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;
    // Creates or migrates the schema; a new file is seeded in the same transaction.
    // True when the file was new.
    bool migrate(const std::function<void(Connection &)> &seed);
    Lease lease();

    // Runs work in a write transaction that may also hold the work of other threads queued
    // meanwhile, all committed at once. Each work has a savepoint of its own: one that throws
    // leaves the others intact, and its exception is thrown here. Returns once committed.
    void write(const std::function<void(Connection &)> &work);
    static constexpr size_t MaxWritesPerCommit = 32;

    // Set before serving; rows of watchedTable are tracked per write transaction.
    void setWriteListener(WriteListener *listener, const std::string &watchedTable);

    static constexpr int SchemaVersion = 3;
    // Log pages after which a checkpoint is due while writes keep coming (64 MB of 4 KB pages).
    // Writes mostly stop long enough for the idle checkpoint below; under a long burst, each
    // start over of the log that follows a checkpoint stalls one write batch for the sync of the
    // whole copy, so they are rare: pages rewritten meanwhile are copied once.
    static constexpr int CheckpointPages = 16000;
    // Without a commit for this long, the log is copied back whole and truncated.
    static constexpr std::chrono::milliseconds IdleCheckpointDelay {1000};
    // A log started over keeps its file up to this size, so that it is not grown again.
    static constexpr std::int64_t JournalSizeLimit = 72 * 1024 * 1024;

private:
    friend class Lease;
    void giveBack(std::unique_ptr<Connection> connection);

    std::string m_path;
    std::mutex m_writeMutex;
    WriteListener *m_listener = nullptr;
    std::string m_watchedTable;

    struct QueuedWrite {
        const std::function<void(Connection &)> *work;
        std::exception_ptr error;
        bool done = false;
    };
    void writeBatch(const std::vector<QueuedWrite *> &batch);
    std::mutex m_queueMutex;
    std::condition_variable m_queueDone;
    std::vector<QueuedWrite *> m_queue;
    bool m_leading = false;

    // Called by every commit, with whether the log has grown long enough for a checkpoint.
    void committed(int logPages);
    void checkpointLoop();
    std::mutex m_checkpointMutex;
    std::condition_variable m_checkpointWake;
    bool m_checkpointDue = false;
    int m_logPages = 0; // pages in the log after the last commit
    // A passive checkpoint is due once the log reaches this; moved on past what the last one
    // copied, so that a log no writer has started over yet does not call for one every commit.
    int m_checkpointAt = CheckpointPages;
    // Set when a checkpoint copied the whole log: the next write batch starts the log over.
    std::atomic<bool> m_startOver {false};
    bool m_logWritten = false; // commits since the last truncating checkpoint
    std::chrono::steady_clock::time_point m_lastCommit;
    bool m_stopping = false;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<Connection>> m_idle;
    std::thread m_checkpointer; // last: started once everything above exists
};
