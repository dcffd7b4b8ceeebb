#include "database.h"

#include <algorithm>

Database::Connection::Connection(const std::string &path, Database *owner)
    : m_owner(owner)
{
    if (sqlite3_open_v2(path.c_str(), &m_db,
            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
        != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw SqlError("open " + path + ": " + message);
    }
    sqlite3_busy_timeout(m_db, 5000);
    exec("PRAGMA journal_mode=WAL");
    // FULL: a commit is on disk when it is acknowledged, even across a power cut. The write
    // queue shares one sync among the commits waiting at the time.
    exec("PRAGMA synchronous=FULL");
    // A log that grew under a long burst is cut back to this when it starts over.
    exec("PRAGMA journal_size_limit=" + std::to_string(JournalSizeLimit));
    exec("PRAGMA foreign_keys=ON");
    exec("PRAGMA temp_store=MEMORY");
    exec("PRAGMA cache_size=-16000");
    sqlite3_update_hook(m_db, &Connection::rowChanged, this);
    // Replaces SQLite's checkpoint inside the committing call.
    if (m_owner)
        sqlite3_wal_hook(m_db, &Connection::walCommitted, this);
}

int Database::Connection::walCommitted(void *self, sqlite3 *, const char *, int pages)
{
    static_cast<Connection *>(self)->m_owner->committed(pages);
    return SQLITE_OK;
}

void Database::Connection::rowChanged(
    void *self, int, const char *, const char *table, sqlite3_int64 rowid)
{
    Connection *c = static_cast<Connection *>(self);
    if (!c->m_owner || c->m_overflowed || c->m_owner->m_watchedTable != table)
        return;
    if (c->m_changed.size() >= MaxTrackedChanges) {
        c->m_overflowed = true;
        c->m_changed.clear();
        return;
    }
    c->m_changed.push_back(rowid);
}

void Database::Connection::clearChanges()
{
    m_changed.clear();
    m_overflowed = false;
}

Database::Connection::~Connection()
{
    m_statements.clear();
    sqlite3_close(m_db);
}

void Database::Connection::exec(const std::string &sql)
{
    char *error = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw SqlError(message);
    }
}

SqlStatement &Database::Connection::cached(const std::string &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end())
        it = m_statements.emplace(sql, std::make_unique<SqlStatement>(m_db, sql)).first;
    it->second->reset();
    return *it->second;
}

std::int64_t Database::Connection::lastInsertId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

void Database::Connection::resetAll()
{
    for (auto &entry : m_statements)
        entry.second->reset();
}

int Database::Connection::changes() const
{
    return sqlite3_changes(m_db);
}

Database::Lease::Lease(Database &db, std::unique_ptr<Connection> connection)
    : m_db(&db)
    , m_connection(std::move(connection))
{ }

Database::Lease::~Lease()
{
    if (m_connection)
        m_db->giveBack(std::move(m_connection));
}

Database::Transaction::Transaction(Connection &connection)
    : m_connection(connection)
{
    Database *db = m_connection.owner();
    if (db)
        m_lock = std::unique_lock<std::mutex>(db->m_writeMutex);
    m_connection.exec("BEGIN IMMEDIATE");
    m_connection.clearChanges();
    if (db && db->m_listener) {
        try {
            db->m_listener->began(m_connection);
        } catch (...) {
            m_connection.exec("ROLLBACK");
            db->m_listener->abandoned();
            throw;
        }
    }
}

Database::Transaction::~Transaction()
{
    if (m_done)
        return;
    try {
        m_connection.exec("ROLLBACK");
    } catch (const SqlError &) { }
    Database *db = m_connection.owner();
    if (db && db->m_listener)
        db->m_listener->abandoned();
}

void Database::Transaction::commit()
{
    Database *db = m_connection.owner();
    WriteListener *listener = db ? db->m_listener : nullptr;
    if (listener)
        listener->committing(m_connection);
    m_connection.exec("COMMIT");
    m_done = true;
    m_connection.clearChanges();
    if (listener)
        listener->committed();
}

Database::Database(std::string path)
    : m_path(std::move(path))
    , m_checkpointer([this] { checkpointLoop(); })
{ }

Database::~Database()
{
    {
        std::lock_guard<std::mutex> lock(m_checkpointMutex);
        m_stopping = true;
    }
    m_checkpointWake.notify_one();
    m_checkpointer.join();
}

void Database::committed(int logPages)
{
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(m_checkpointMutex);
        if (logPages < m_logPages)
            m_checkpointAt = CheckpointPages; // the log started over
        m_logPages = logPages;
        const bool checkpointDue = logPages >= m_checkpointAt;
        m_lastCommit = std::chrono::steady_clock::now();
        // The checkpointer only needs waking to start its idle clock or to copy a long log.
        wake = checkpointDue || !m_logWritten;
        m_logWritten = true;
        m_checkpointDue = m_checkpointDue || checkpointDue;
    }
    if (wake)
        m_checkpointWake.notify_one();
}

void Database::checkpointLoop()
{
    std::unique_ptr<Connection> connection;
    std::unique_lock<std::mutex> lock(m_checkpointMutex);
    for (;;) {
        const auto idleAt = m_lastCommit + IdleCheckpointDelay;
        if (m_logWritten && !m_checkpointDue && !m_stopping)
            m_checkpointWake.wait_until(lock, idleAt);
        else
            m_checkpointWake.wait(
                lock, [this] { return m_checkpointDue || m_logWritten || m_stopping; });
        if (m_stopping)
            return;
        const bool idle = m_logWritten
            && std::chrono::steady_clock::now() >= m_lastCommit + IdleCheckpointDelay;
        if (!m_checkpointDue && !idle)
            continue;
        m_checkpointDue = false;
        if (idle)
            m_logWritten = false;
        lock.unlock();
        int result = SQLITE_ERROR;
        int logged = 0;
        int copied = 0;
        try {
            if (!connection) {
                connection = std::make_unique<Connection>(m_path, nullptr);
                // A truncating checkpoint holds writers back while it waits for readers.
                sqlite3_busy_timeout(connection->handle(), 100);
            }
            // Passive while writes come: copies what no reader still needs and never blocks a
            // writer. Once they stop, the whole log is copied and cut to nothing, so that it
            // cannot keep the size of its largest burst.
            result = sqlite3_wal_checkpoint_v2(connection->handle(), nullptr,
                idle ? SQLITE_CHECKPOINT_TRUNCATE : SQLITE_CHECKPOINT_PASSIVE, &logged, &copied);
        } catch (const SqlError &) {
            connection.reset();
        }
        lock.lock();
        if (!idle && result == SQLITE_OK) {
            m_checkpointAt = std::max(m_checkpointAt, logged + CheckpointPages);
            // Commits during the copy found the old mark passed: what they logged is not due yet.
            // Another checkpoint at once would hold the checkpoint lock when the next write
            // batch tries to start the log over, and the log would grow by another round.
            m_checkpointDue = m_logPages >= m_checkpointAt;
            if (copied == logged)
                m_startOver = true;
        }
        if (idle && result != SQLITE_OK && !m_logWritten) {
            // A reader was in the way: another try after another quiet spell.
            m_logWritten = true;
            m_lastCommit = std::chrono::steady_clock::now();
        }
    }
}

Database::Lease Database::lease()
{
    std::unique_ptr<Connection> connection;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_idle.empty()) {
            connection = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!connection)
        connection = std::make_unique<Connection>(m_path, this);
    return Lease(*this, std::move(connection));
}

void Database::write(const std::function<void(Connection &)> &work)
{
    QueuedWrite mine {&work, nullptr};
    std::unique_lock<std::mutex> lock(m_queueMutex);
    m_queue.push_back(&mine);
    while (!mine.done) {
        if (m_leading) {
            m_queueDone.wait(lock);
            continue;
        }
        // Leads: takes what is queued (its own work among it) into one transaction.
        m_leading = true;
        const size_t n = std::min(m_queue.size(), MaxWritesPerCommit);
        std::vector<QueuedWrite *> batch(m_queue.begin(), m_queue.begin() + long(n));
        m_queue.erase(m_queue.begin(), m_queue.begin() + long(n));
        lock.unlock();
        writeBatch(batch);
        lock.lock();
        for (QueuedWrite *queued : batch)
            queued->done = true;
        m_leading = false;
        m_queueDone.notify_all();
    }
    lock.unlock();
    if (mine.error)
        std::rethrow_exception(mine.error);
}

void Database::writeBatch(const std::vector<QueuedWrite *> &batch)
{
    try {
        Lease c = lease();
        if (m_startOver.exchange(false)) {
            // Under an unbroken stream of writes every transaction begins before the checkpointer
            // has copied the last commit, so SQLite never starts the log over and it grows
            // without end. Copying those few pages here, with no other writer about, lets this
            // transaction start it over. The sync that ends this copy also writes out the long
            // copy before it, which SQLite did not sync as commits kept coming; syncing that on
            // the checkpointer's thread instead slowed every commit beside it.
            sqlite3_wal_checkpoint_v2(
                c->handle(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        }
        Transaction transaction(*c);
        for (QueuedWrite *queued : batch) {
            c->exec("SAVEPOINT queued_write");
            try {
                (*queued->work)(*c);
                c->exec("RELEASE queued_write");
            } catch (...) {
                queued->error = std::current_exception();
                c->exec("ROLLBACK TO queued_write");
                c->exec("RELEASE queued_write");
            }
        }
        transaction.commit();
    } catch (...) {
        // Nothing of the batch was committed.
        for (QueuedWrite *queued : batch)
            if (!queued->error)
                queued->error = std::current_exception();
    }
}

void Database::setWriteListener(WriteListener *listener, const std::string &watchedTable)
{
    m_listener = listener;
    m_watchedTable = watchedTable;
}

void Database::giveBack(std::unique_ptr<Connection> connection)
{
    // A connection left inside a transaction by a failure must not serve the next request.
    connection->resetAll();
    connection->clearChanges();
    if (!sqlite3_get_autocommit(connection->handle()))
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idle.push_back(std::move(connection));
}

namespace {

// Version 1. Counts per group, exercise type and difficulty are kept by triggers so that
// the list's page count and the group counts never scan the exercises.
const char *const schemaV1 = R"sql(
CREATE TABLE users (
    id INTEGER PRIMARY KEY,
    phone TEXT NOT NULL UNIQUE,
    password_hash TEXT NOT NULL,
    role_id INTEGER NOT NULL,
    role_name TEXT NOT NULL,
    username TEXT NOT NULL,
    real_name TEXT NOT NULL,
    subject_code INTEGER NOT NULL,
    province_id INTEGER NOT NULL
);
CREATE TABLE tokens (
    token TEXT PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id) ON DELETE CASCADE,
    expires_at INTEGER NOT NULL
) WITHOUT ROWID;
CREATE INDEX tokens_user ON tokens(user_id);
CREATE TABLE folders (
    id INTEGER PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id),
    name TEXT NOT NULL,
    created_at INTEGER NOT NULL
);
CREATE UNIQUE INDEX folders_user_name ON folders(user_id, name);
CREATE TABLE exercise_types (
    id INTEGER PRIMARY KEY,
    subject_code INTEGER NOT NULL,
    province_id INTEGER NOT NULL,
    name TEXT NOT NULL,
    has_stem INTEGER NOT NULL,
    has_more_questions INTEGER NOT NULL,
    sort INTEGER NOT NULL
);
CREATE TABLE question_types (
    id INTEGER PRIMARY KEY,
    exercise_type_id INTEGER NOT NULL REFERENCES exercise_types(id),
    type_code INTEGER NOT NULL,
    type_desc TEXT NOT NULL,
    score REAL NOT NULL,
    has_content INTEGER NOT NULL,
    option_num INTEGER NOT NULL,
    sort INTEGER NOT NULL,
    position INTEGER NOT NULL
);
CREATE TABLE knowledge (
    id INTEGER PRIMARY KEY,
    subject_code INTEGER NOT NULL,
    parent_id INTEGER REFERENCES knowledge(id),
    name TEXT NOT NULL,
    position INTEGER NOT NULL
);
CREATE TABLE exercises (
    id INTEGER PRIMARY KEY,
    user_id INTEGER NOT NULL REFERENCES users(id),
    folder_id INTEGER NOT NULL REFERENCES folders(id),
    exercise_type_id INTEGER NOT NULL,
    subject_id INTEGER NOT NULL,
    difficulty INTEGER NOT NULL,
    content TEXT NOT NULL,
    created_at INTEGER NOT NULL,
    created_date TEXT NOT NULL,
    modified_at INTEGER NOT NULL,
    modifier_id INTEGER NOT NULL
);
CREATE INDEX exercises_folder ON exercises(folder_id, id);
CREATE INDEX exercises_folder_type ON exercises(folder_id, exercise_type_id, id);
CREATE INDEX exercises_folder_difficulty ON exercises(folder_id, difficulty, id);
CREATE INDEX exercises_folder_type_difficulty
    ON exercises(folder_id, exercise_type_id, difficulty, id);
CREATE INDEX exercises_user_date ON exercises(user_id, created_date);
CREATE TABLE questions (
    id INTEGER PRIMARY KEY,
    exercise_id INTEGER NOT NULL REFERENCES exercises(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    question_index INTEGER NOT NULL,
    questiontype_id INTEGER NOT NULL,
    knowledge_ids TEXT NOT NULL,
    score REAL NOT NULL,
    question_content TEXT NOT NULL,
    question_explain TEXT NOT NULL,
    option_content TEXT
);
CREATE INDEX questions_exercise ON questions(exercise_id, position);
CREATE TABLE answers (
    id INTEGER PRIMARY KEY,
    question_id INTEGER NOT NULL REFERENCES questions(id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    answer_idx INTEGER NOT NULL,
    content TEXT NOT NULL
);
CREATE INDEX answers_question ON answers(question_id, position);
CREATE TABLE folder_counts (
    folder_id INTEGER NOT NULL,
    exercise_type_id INTEGER NOT NULL,
    difficulty INTEGER NOT NULL,
    n INTEGER NOT NULL,
    PRIMARY KEY (folder_id, exercise_type_id, difficulty)
) WITHOUT ROWID;
CREATE TRIGGER exercises_counted_in AFTER INSERT ON exercises BEGIN
    INSERT INTO folder_counts(folder_id, exercise_type_id, difficulty, n)
        VALUES (NEW.folder_id, NEW.exercise_type_id, NEW.difficulty, 1)
        ON CONFLICT(folder_id, exercise_type_id, difficulty) DO UPDATE SET n = n + 1;
END;
CREATE TRIGGER exercises_counted_out AFTER DELETE ON exercises BEGIN
    UPDATE folder_counts SET n = n - 1 WHERE folder_id = OLD.folder_id
        AND exercise_type_id = OLD.exercise_type_id AND difficulty = OLD.difficulty;
    DELETE FROM folder_counts WHERE folder_id = OLD.folder_id
        AND exercise_type_id = OLD.exercise_type_id AND difficulty = OLD.difficulty AND n <= 0;
END;
CREATE TRIGGER exercises_counted_moved AFTER UPDATE OF folder_id, exercise_type_id, difficulty
    ON exercises BEGIN
    UPDATE folder_counts SET n = n - 1 WHERE folder_id = OLD.folder_id
        AND exercise_type_id = OLD.exercise_type_id AND difficulty = OLD.difficulty;
    DELETE FROM folder_counts WHERE folder_id = OLD.folder_id
        AND exercise_type_id = OLD.exercise_type_id AND difficulty = OLD.difficulty AND n <= 0;
    INSERT INTO folder_counts(folder_id, exercise_type_id, difficulty, n)
        VALUES (NEW.folder_id, NEW.exercise_type_id, NEW.difficulty, 1)
        ON CONFLICT(folder_id, exercise_type_id, difficulty) DO UPDATE SET n = n + 1;
END;
CREATE TABLE images (
    file_key TEXT PRIMARY KEY,
    sha256 TEXT NOT NULL,
    content_type TEXT NOT NULL,
    size INTEGER NOT NULL,
    usage_type TEXT NOT NULL,
    created_at INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE formulas (
    formula TEXT PRIMARY KEY,
    png BLOB NOT NULL,
    created_at INTEGER NOT NULL
) WITHOUT ROWID;
)sql";

// Version 2. A counter that every change of the exercises, questions or answers moves on, so a
// reader can tell whether what it keeps in memory is what its snapshot holds.
const char *const schemaV2 = R"sql(
CREATE TABLE list_version (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    n INTEGER NOT NULL
);
INSERT INTO list_version(id, n) VALUES (1, 0);
CREATE TRIGGER exercises_versioned_in AFTER INSERT ON exercises BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER exercises_versioned_out AFTER DELETE ON exercises BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER exercises_versioned_changed AFTER UPDATE ON exercises BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER questions_versioned_in AFTER INSERT ON questions BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER questions_versioned_out AFTER DELETE ON questions BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER questions_versioned_changed AFTER UPDATE ON questions BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER answers_versioned_in AFTER INSERT ON answers BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER answers_versioned_out AFTER DELETE ON answers BEGIN
    UPDATE list_version SET n = n + 1;
END;
CREATE TRIGGER answers_versioned_changed AFTER UPDATE ON answers BEGIN
    UPDATE list_version SET n = n + 1;
END;
)sql";

// Version 3. Rendered formulas get an id so the oldest leave first when the cache is full;
// uploads remember the teacher who sent them, for the per-teacher quota.
const char *const schemaV3 = R"sql(
CREATE TABLE formulas_v3 (
    id INTEGER PRIMARY KEY,
    formula TEXT NOT NULL UNIQUE,
    png BLOB NOT NULL,
    created_at INTEGER NOT NULL
);
INSERT INTO formulas_v3(formula, png, created_at)
    SELECT formula, png, created_at FROM formulas ORDER BY created_at;
DROP TABLE formulas;
ALTER TABLE formulas_v3 RENAME TO formulas;
ALTER TABLE images ADD COLUMN user_id INTEGER;
CREATE INDEX images_user ON images(user_id, sha256);
)sql";

} // namespace

bool Database::migrate(const std::function<void(Connection &)> &seed)
{
    Lease connection = lease();
    SqlStatement version(connection->handle(), "PRAGMA user_version");
    version.step();
    const int current = int(version.integer(0));
    version.reset();
    if (current > SchemaVersion)
        throw SqlError("the data folder was written by a newer quenmo-server");
    if (current == SchemaVersion)
        return false;
    Transaction transaction(*connection);
    if (current < 1)
        connection->exec(schemaV1);
    if (current < 2)
        connection->exec(schemaV2);
    if (current < 3)
        connection->exec(schemaV3);
    if (current == 0 && seed)
        seed(*connection);
    connection->exec("PRAGMA user_version=" + std::to_string(SchemaVersion));
    transaction.commit();
    return current == 0;
}
