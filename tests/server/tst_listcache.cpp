#include "database.h"
#include "listcache.h"
#include "seeder.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sodium.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>

// The list's memory of ids and items against what SQL says, across every kind of write.
class TestListCache : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void writesCarryTheHeldIdsForward_data();
    void writesCarryTheHeldIdsForward();
    void writtenItemsAreDroppedOthersKept();
    void aRolledBackWriteChangesNothing();
    void aWriteFromAnotherConnectionStartsOver();
    void aWriteTooLargeToTrackStartsOver();
    void anotherVersionIsNeitherServedNorStored();
    void leastRecentlyUsedFiltersGoFirst();
    void itemsPastTheirBudgetGoOldestFirst();
    void itemsAreKeptOnlyWithinTheBudget();
    void queuedWritesCommitTogetherAndFailAlone();

private:
    using Filter = ListCache::Filter;
    std::int64_t insert(Database::Connection &c, std::int64_t group, int type, int difficulty);
    std::int64_t addGroup(const char *name);
    // The filter's ids newest first, straight from SQL.
    std::vector<std::int64_t> truth(const Filter &filter);
    // The filter's ids newest first as a list request sees them; hit tells whether the cache
    // served them.
    std::vector<std::int64_t> listed(const Filter &filter, bool &hit);
    std::vector<Filter> filters() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<ListCache> m_cache;
    std::int64_t m_user = 0;
    std::int64_t m_groupA = 0, m_groupB = 0;
    std::vector<std::int64_t> m_ids;
};

void TestListCache::initTestCase() {
    QVERIFY(sodium_init() >= 0);
}

void TestListCache::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_db = std::make_unique<Database>(m_dir->filePath(QStringLiteral("quenmo.db")).toStdString());
    m_db->migrate(&Seeder::seed);
    m_cache = std::make_unique<ListCache>();
    m_db->setWriteListener(m_cache.get(), "exercises");
    {
        Database::Lease c = m_db->lease();
        SqlStatement user(c->handle(), "SELECT id FROM users ORDER BY id LIMIT 1");
        QVERIFY(user.step());
        m_user = user.integer(0);
    }
    m_groupA = addGroup("A");
    m_groupB = addGroup("B");
    m_ids.clear();
    Database::Lease c = m_db->lease();
    Database::Transaction transaction(*c);
    for (int i = 0; i < 30; ++i)
        m_ids.push_back(insert(*c, i % 3 ? m_groupA : m_groupB, 1 + i % 2, 1 + i % 4));
    transaction.commit();
}

void TestListCache::cleanup() {
    m_db->setWriteListener(nullptr, std::string());
    m_cache.reset();
    m_db.reset();
    m_dir.reset();
}

std::int64_t TestListCache::addGroup(const char *name) {
    Database::Lease c = m_db->lease();
    Database::Transaction transaction(*c);
    SqlStatement &insert =
        c->cached("INSERT INTO folders(user_id, name, created_at) VALUES (?, ?, 0)");
    insert.bind(1, m_user).bind(2, std::string(name));
    insert.run();
    const std::int64_t id = c->lastInsertId();
    transaction.commit();
    return id;
}

std::int64_t TestListCache::insert(Database::Connection &c, std::int64_t group, int type,
                                   int difficulty) {
    SqlStatement &insert =
        c.cached("INSERT INTO exercises(user_id, folder_id, exercise_type_id, subject_id, "
                 "difficulty, content, created_at, created_date, modified_at, modifier_id) "
                 "VALUES (?, ?, ?, 2, ?, '', 0, '2026-01-01', 0, ?)");
    insert.bind(1, m_user).bind(2, group).bind(3, type).bind(4, difficulty).bind(5, m_user);
    insert.run();
    return c.lastInsertId();
}

std::vector<TestListCache::Filter> TestListCache::filters() const {
    std::vector<Filter> list;
    for (std::int64_t group : {m_groupA, m_groupB})
        for (int type : {-1, 1, 2})
            for (int difficulty : {-1, 1, 2, 3, 4})
                list.push_back({group, type, difficulty});
    return list;
}

std::vector<std::int64_t> TestListCache::truth(const Filter &filter) {
    Database::Lease c = m_db->lease();
    SqlStatement select(c->handle(),
                        "SELECT id FROM exercises WHERE folder_id = ?1 AND (?2 = -1 OR "
                        "exercise_type_id = ?2) AND (?3 = -1 OR difficulty = ?3) ORDER BY id DESC");
    select.bind(1, filter.group).bind(2, filter.type).bind(3, filter.difficulty);
    std::vector<std::int64_t> ids;
    while (select.step())
        ids.push_back(select.integer(0));
    return ids;
}

std::vector<std::int64_t> TestListCache::listed(const Filter &filter, bool &hit) {
    Database::Lease c = m_db->lease();
    c->exec("BEGIN");
    const std::int64_t version = ListCache::version(*c);
    std::vector<std::int64_t> ids;
    std::int64_t total = 0;
    hit = m_cache->usable(version) && m_cache->page(version, filter, 0, 1000, ids, total);
    if (hit) {
        if (total != std::int64_t(ids.size()))
            ids.clear(); // shows as a mismatch
    } else {
        std::vector<std::int64_t> ascending = truth(filter);
        ids = ascending;
        std::reverse(ascending.begin(), ascending.end());
        m_cache->storeIds(version, filter, std::move(ascending));
    }
    c->exec("COMMIT");
    return ids;
}

void TestListCache::writesCarryTheHeldIdsForward_data() {
    QTest::addColumn<QString>("write");
    QTest::newRow("add") << "add";
    QTest::newRow("add to the other group") << "add B";
    QTest::newRow("change of difficulty") << "difficulty";
    QTest::newRow("change of type") << "type";
    QTest::newRow("move") << "move";
    QTest::newRow("content only") << "content";
    QTest::newRow("remove") << "remove";
    QTest::newRow("batch move and remove") << "batch";
    QTest::newRow("remove a group") << "group";
}

void TestListCache::writesCarryTheHeldIdsForward() {
    QFETCH(QString, write);
    bool hit = false;
    for (const Filter &f : filters())
        listed(f, hit);
    const std::int64_t resets = m_cache->counters().resets;
    {
        Database::Lease c = m_db->lease();
        Database::Transaction transaction(*c);
        const std::string id = std::to_string(m_ids[4]); // group A, type 1, difficulty 1
        if (write == "add") {
            insert(*c, m_groupA, 1, 1);
        } else if (write == "add B") {
            insert(*c, m_groupB, 2, 3);
        } else if (write == "difficulty") {
            c->exec("UPDATE exercises SET difficulty = 3 WHERE id = " + id);
        } else if (write == "type") {
            c->exec("UPDATE exercises SET exercise_type_id = 2 WHERE id = " + id);
        } else if (write == "move") {
            c->exec("UPDATE exercises SET folder_id = " + std::to_string(m_groupB) +
                    " WHERE id = " + id);
        } else if (write == "content") {
            c->exec("UPDATE exercises SET content = '<doc>x</doc>' WHERE id = " + id);
        } else if (write == "remove") {
            c->exec("DELETE FROM exercises WHERE id = " + id);
        } else if (write == "batch") {
            c->exec("UPDATE exercises SET folder_id = " + std::to_string(m_groupB) +
                    " WHERE id IN (" + std::to_string(m_ids[1]) + "," + std::to_string(m_ids[2]) +
                    ")");
            c->exec("DELETE FROM exercises WHERE id IN (" + std::to_string(m_ids[7]) + "," +
                    std::to_string(m_ids[8]) + "," + std::to_string(m_ids[9]) + ")");
        } else if (write == "group") {
            c->exec("DELETE FROM exercises WHERE folder_id = " + std::to_string(m_groupB));
        }
        transaction.commit();
    }
    for (const Filter &f : filters()) {
        const std::vector<std::int64_t> ids = listed(f, hit);
        QVERIFY2(hit, "the write should have been carried into the cache");
        QCOMPARE(ids, truth(f));
    }
    QCOMPARE(m_cache->counters().resets, resets);
}

void TestListCache::writtenItemsAreDroppedOthersKept() {
    Database::Lease c = m_db->lease();
    c->exec("BEGIN");
    std::int64_t version = ListCache::version(*c);
    c->exec("COMMIT");
    QVERIFY(m_cache->usable(version));
    for (std::int64_t id : m_ids)
        m_cache->storeItem(version, id, "http://a", "item " + std::to_string(id));
    {
        Database::Transaction transaction(*c);
        c->exec("UPDATE exercises SET content = 'new' WHERE id = " + std::to_string(m_ids[3]));
        c->exec("DELETE FROM exercises WHERE id = " + std::to_string(m_ids[5]));
        transaction.commit();
    }
    c->exec("BEGIN");
    version = ListCache::version(*c);
    c->exec("COMMIT");
    QVERIFY(m_cache->usable(version));
    std::string text;
    QVERIFY(!m_cache->item(version, m_ids[3], "http://a", text));
    QVERIFY(!m_cache->item(version, m_ids[5], "http://a", text));
    QVERIFY(m_cache->item(version, m_ids[4], "http://a", text));
    QCOMPARE(text, "item " + std::to_string(m_ids[4]));
    // Items hold image addresses: another base address is another item.
    QVERIFY(!m_cache->item(version, m_ids[4], "http://b", text));
}

void TestListCache::aRolledBackWriteChangesNothing() {
    const Filter all{m_groupA, -1, -1};
    bool hit = false;
    const std::vector<std::int64_t> before = listed(all, hit);
    {
        Database::Lease c = m_db->lease();
        Database::Transaction transaction(*c);
        insert(*c, m_groupA, 1, 1);
        c->exec("DELETE FROM exercises WHERE id = " + std::to_string(m_ids[1]));
    } // no commit
    QCOMPARE(listed(all, hit), before);
    QVERIFY(hit);
}

void TestListCache::aWriteFromAnotherConnectionStartsOver() {
    const Filter all{m_groupA, -1, -1};
    bool hit = false;
    listed(all, hit);
    sqlite3 *other = nullptr;
    QCOMPARE(
        sqlite3_open(m_dir->filePath(QStringLiteral("quenmo.db")).toUtf8().constData(), &other),
        SQLITE_OK);
    QCOMPARE(sqlite3_exec(other,
                          ("DELETE FROM exercises WHERE id = " + std::to_string(m_ids[1])).c_str(),
                          nullptr, nullptr, nullptr),
             SQLITE_OK);
    sqlite3_close(other);
    const std::vector<std::int64_t> ids = listed(all, hit);
    QVERIFY(!hit);
    QCOMPARE(ids, truth(all));
    QCOMPARE(listed(all, hit), truth(all));
    QVERIFY(hit);
}

void TestListCache::aWriteTooLargeToTrackStartsOver() {
    const Filter all{m_groupA, -1, -1};
    bool hit = false;
    listed(all, hit);
    const std::int64_t resets = m_cache->counters().resets;
    {
        Database::Lease c = m_db->lease();
        Database::Transaction transaction(*c);
        for (size_t i = 0; i <= Database::Connection::MaxTrackedChanges; ++i)
            insert(*c, m_groupA, 2, 2);
        transaction.commit();
    }
    const std::vector<std::int64_t> ids = listed(all, hit);
    QVERIFY(!hit);
    QCOMPARE(m_cache->counters().resets, resets + 1);
    QCOMPARE(ids, truth(all));
    QCOMPARE(ids.size(), size_t(20 + Database::Connection::MaxTrackedChanges + 1));
}

void TestListCache::anotherVersionIsNeitherServedNorStored() {
    const Filter all{m_groupA, -1, -1};
    bool hit = false;
    listed(all, hit);
    Database::Lease c = m_db->lease();
    const std::int64_t version = ListCache::version(*c);
    std::vector<std::int64_t> ids;
    std::int64_t total = 0;
    QVERIFY(m_cache->page(version, all, 0, 10, ids, total));
    QCOMPARE(total, std::int64_t(20));
    QVERIFY(!m_cache->page(version - 1, all, 0, 10, ids, total));
    const Filter other{m_groupB, -1, -1};
    m_cache->storeIds(version - 1, other, {1, 2, 3});
    QVERIFY(!m_cache->page(version, other, 0, 10, ids, total));
    m_cache->storeItem(version - 1, m_ids[0], "http://a", "old");
    std::string text;
    QVERIFY(!m_cache->item(version, m_ids[0], "http://a", text));
}

void TestListCache::leastRecentlyUsedFiltersGoFirst() {
    m_cache = std::make_unique<ListCache>(35, 1024);
    m_db->setWriteListener(m_cache.get(), "exercises");
    bool hit = false;
    const Filter a{m_groupA, -1, -1}; // 20 ids
    const Filter b{m_groupB, -1, -1}; // 10 ids
    const Filter a1{m_groupA, 1, -1}; // 10 ids
    listed(a, hit);
    listed(b, hit);
    listed(a, hit); // a used after b
    QVERIFY(hit);
    listed(a1, hit); // 40 ids would be held: b, the least recently used, goes
    listed(a, hit);
    QVERIFY(hit);
    listed(a1, hit);
    QVERIFY(hit);
    listed(b, hit);
    QVERIFY(!hit);
    // A write that grows the held ids past the bound lets the least recently used go too.
    listed(a, hit);
    listed(a, hit); // held: b 10 and a 20, a used last
    QVERIFY(hit);
    {
        Database::Lease c = m_db->lease();
        Database::Transaction transaction(*c);
        for (int i = 0; i < 6; ++i)
            insert(*c, m_groupB, 2, 2);
        transaction.commit();
    }
    QCOMPARE(listed(a, hit), truth(a));
    QVERIFY(hit);
    QCOMPARE(listed(b, hit), truth(b));
    QVERIFY(!hit);
}

void TestListCache::itemsPastTheirBudgetGoOldestFirst()
{
    // Room for two items of 40 bytes with their address, not three.
    m_cache = std::make_unique<ListCache>(1000, 100);
    m_db->setWriteListener(m_cache.get(), "exercises");
    Database::Lease c = m_db->lease();
    const std::int64_t version = ListCache::version(*c);
    QVERIFY(m_cache->usable(version));
    const std::string address = "http://a:1"; // 10 bytes
    for (int i = 0; i < 3; ++i)
        m_cache->storeItem(version, m_ids[i], address, std::string(30, char('a' + i)));
    std::string text;
    QVERIFY(!m_cache->item(version, m_ids[0], address, text));
    QVERIFY(m_cache->item(version, m_ids[1], address, text));
    QCOMPARE(text, std::string(30, 'b'));
    QVERIFY(m_cache->item(version, m_ids[2], address, text));
    QCOMPARE(text, std::string(30, 'c'));
    // Far more stores than the budget holds keep it bounded and the newest served.
    for (int round = 0; round < 2000; ++round)
        m_cache->storeItem(version, m_ids[size_t(round % 30)], address, std::string(30, 'x'));
    QVERIFY(m_cache->item(version, m_ids[size_t(1999 % 30)], address, text));
    QVERIFY(!m_cache->item(version, m_ids[size_t(1997 % 30)], address, text));
}

void TestListCache::itemsAreKeptOnlyWithinTheBudget()
{
    // A budget of 100 bytes, counting each item's text and its 10-byte address.
    m_cache = std::make_unique<ListCache>(1000, 100);
    m_db->setWriteListener(m_cache.get(), "exercises");
    Database::Lease c = m_db->lease();
    const std::int64_t version = ListCache::version(*c);
    QVERIFY(m_cache->usable(version));
    const std::string address = "http://a:1";
    std::string text;
    // An item as large as the whole budget is kept.
    m_cache->storeItem(version, m_ids[0], address, std::string(90, 'a'));
    QVERIFY(m_cache->item(version, m_ids[0], address, text));
    QCOMPARE(text, std::string(90, 'a'));
    // One byte more is not, and it does not push out what is held either.
    m_cache->storeItem(version, m_ids[1], address, std::string(91, 'b'));
    QVERIFY(!m_cache->item(version, m_ids[1], address, text));
    QVERIFY(m_cache->item(version, m_ids[0], address, text));
    QCOMPARE(text, std::string(90, 'a'));
}

void TestListCache::queuedWritesCommitTogetherAndFailAlone() {
    const Filter all{m_groupA, -1, -1};
    bool hit = false;
    listed(all, hit);
    const int threads = 8, each = 20;
    std::atomic<int> failures{0}, wrongFailures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&, t] {
            for (int i = 0; i < each; ++i) {
                const bool fails = (t + i) % 5 == 0;
                try {
                    m_db->write([&](Database::Connection &c) {
                        insert(c, m_groupA, 1, 1 + i % 4);
                        if (fails)
                            throw std::runtime_error("refused");
                    });
                    if (fails)
                        ++wrongFailures;
                } catch (const std::runtime_error &) {
                    ++failures;
                    if (!fails)
                        ++wrongFailures;
                }
            }
        });
    for (std::thread &w : writers)
        w.join();
    QCOMPARE(wrongFailures.load(), 0);
    QCOMPARE(failures.load(), threads * each / 5);
    const std::vector<std::int64_t> ids = listed(all, hit);
    QVERIFY(hit);
    QCOMPARE(ids, truth(all));
    QCOMPARE(ids.size(), size_t(20 + threads * each - failures));
}

QTEST_GUILESS_MAIN(TestListCache)
#include "tst_listcache.moc"
