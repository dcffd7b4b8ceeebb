#pragma once

#include "database.h"

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

// What the paged exercise list keeps in memory: for each group and filter the ordered ids of
// its exercises (a page is then a slice, however deep), and each exercise's list item as
// finished JSON text. Everything held describes one data version (list_version.n); a reader
// uses it only when its own snapshot has that version, and the writers of this process carry
// it forward by their changes while they still hold the write mutex.
class ListCache : public Database::WriteListener
{
public:
    struct Filter {
        std::int64_t group = 0;
        std::int64_t type = -1; // -1: every type
        std::int64_t difficulty = -1; // -1: every difficulty
        bool operator<(const Filter &o) const
        {
            return std::tie(group, type, difficulty) < std::tie(o.group, o.type, o.difficulty);
        }
    };

    explicit ListCache(size_t maxIds = 4000000, size_t maxItemBytes = 64 * 1024 * 1024);

    // The data version of the connection's read snapshot (call it first in the transaction).
    static std::int64_t version(Database::Connection &connection);

    // True when the cache describes version: later calls with the same version may hit.
    bool usable(std::int64_t version);

    // The page [offset, offset + limit) of the filter's ids in list order (newest first) and
    // the filter's total; false when they are not held for this version.
    bool page(std::int64_t version, const Filter &filter, std::int64_t offset, std::int64_t limit,
        std::vector<std::int64_t> &ids, std::int64_t &total);
    // Keeps the filter's ids, ascending, as read at version.
    void storeIds(std::int64_t version, const Filter &filter, std::vector<std::int64_t> ids);

    bool item(std::int64_t version, std::int64_t id, const std::string &baseUrl, std::string &text);
    void storeItem(
        std::int64_t version, std::int64_t id, const std::string &baseUrl, std::string text);

    struct Counters {
        std::uint64_t pageHits = 0, pageMisses = 0, itemHits = 0, itemMisses = 0, resets = 0;
    };
    Counters counters() const;

    void began(Database::Connection &connection) override;
    void committing(Database::Connection &connection) override;
    void committed() override;
    void abandoned() override;

private:
    struct Entry {
        std::vector<std::int64_t> ids; // ascending
        std::uint64_t lastUse = 0;
    };
    struct Item {
        std::string baseUrl;
        std::string text;
    };
    // A written exercise as it stands after the transaction; present false when it is gone.
    struct Change {
        std::int64_t id = 0;
        bool present = false;
        std::int64_t group = 0, type = 0, difficulty = 0;
    };

    static bool matches(const Filter &filter, const Change &change);
    void clearLocked(std::int64_t version);
    void applyLocked(const std::vector<Change> &changes);
    void evictIdsLocked();
    void evictItemsLocked();

    const size_t m_maxIds;
    const size_t m_maxItemBytes;

    mutable std::mutex m_mutex;
    std::int64_t m_version = -1; // the data version everything below describes
    std::map<Filter, Entry> m_entries;
    size_t m_idCount = 0;
    std::unordered_map<std::int64_t, Item> m_items;
    std::deque<std::int64_t> m_itemOrder; // oldest first, for eviction; may hold stale ids
    size_t m_itemBytes = 0;
    std::uint64_t m_tick = 0;
    Counters m_counters;
    // The version a committed write of this process is about to carry the cache to.
    std::int64_t m_pending = -1;

    // The write transaction in progress (only one at a time: the write mutex is held).
    std::int64_t m_before = -1;
    std::int64_t m_after = -1;
    bool m_overflowed = false;
    std::vector<Change> m_changes;
};
