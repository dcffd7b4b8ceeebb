#include "listcache.h"

#include <algorithm>

ListCache::ListCache(size_t maxIds, size_t maxItemBytes)
    : m_maxIds(maxIds)
    , m_maxItemBytes(maxItemBytes)
{ }

std::int64_t ListCache::version(Database::Connection &connection)
{
    SqlStatement &select = connection.cached("SELECT n FROM list_version WHERE id = 1");
    const std::int64_t n = select.step() ? select.integer(0) : -1;
    select.reset();
    return n;
}

bool ListCache::usable(std::int64_t version)
{
    if (version < 0)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    // A newer version than ours was written by someone who could not tell us what changed
    // (unless it is our own writer, about to bring the cache up to date).
    if (version > m_version && version != m_pending)
        clearLocked(version);
    return version == m_version;
}

bool ListCache::page(std::int64_t version, const Filter &filter, std::int64_t offset,
    std::int64_t limit, std::vector<std::int64_t> &ids, std::int64_t &total)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = version == m_version ? m_entries.find(filter) : m_entries.end();
    if (it == m_entries.end()) {
        ++m_counters.pageMisses;
        return false;
    }
    ++m_counters.pageHits;
    it->second.lastUse = ++m_tick;
    const std::vector<std::int64_t> &all = it->second.ids;
    total = std::int64_t(all.size());
    ids.clear();
    // Newest first: position p counts from the end of the ascending ids.
    for (std::int64_t p = std::max<std::int64_t>(offset, 0); p < offset + limit && p < total; ++p)
        ids.push_back(all[size_t(total - 1 - p)]);
    return true;
}

void ListCache::storeIds(std::int64_t version, const Filter &filter, std::vector<std::int64_t> ids)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (version != m_version || ids.size() > m_maxIds)
        return;
    Entry &entry = m_entries[filter];
    m_idCount -= entry.ids.size();
    entry.ids = std::move(ids);
    entry.lastUse = ++m_tick;
    m_idCount += entry.ids.size();
    evictIdsLocked();
}

bool ListCache::item(
    std::int64_t version, std::int64_t id, const std::string &baseUrl, std::string &text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = version == m_version ? m_items.find(id) : m_items.end();
    if (it == m_items.end() || it->second.baseUrl != baseUrl) {
        ++m_counters.itemMisses;
        return false;
    }
    ++m_counters.itemHits;
    text = it->second.text;
    return true;
}

void ListCache::storeItem(
    std::int64_t version, std::int64_t id, const std::string &baseUrl, std::string text)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Counted as eviction counts it: an item past the whole budget would first push out
    // every other item and then itself.
    if (version != m_version || text.size() + baseUrl.size() > m_maxItemBytes)
        return;
    Item &item = m_items[id];
    m_itemBytes -= item.text.size() + item.baseUrl.size();
    item.baseUrl = baseUrl;
    item.text = std::move(text);
    m_itemBytes += item.text.size() + item.baseUrl.size();
    m_itemOrder.push_back(id);
    evictItemsLocked();
}

ListCache::Counters ListCache::counters() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_counters;
}

void ListCache::began(Database::Connection &connection)
{
    m_before = version(connection);
    m_after = -1;
    m_overflowed = false;
    m_changes.clear();
}

void ListCache::committing(Database::Connection &connection)
{
    m_after = version(connection);
    m_overflowed = connection.changesOverflowed();
    m_changes.clear();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = m_after;
    }
    if (m_overflowed || m_after == m_before)
        return;
    std::vector<std::int64_t> ids = connection.changedRows();
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    SqlStatement &select = connection.cached(
        "SELECT folder_id, exercise_type_id, difficulty FROM exercises WHERE id = ?");
    for (std::int64_t id : ids) {
        Change change;
        change.id = id;
        select.bind(1, id);
        if (select.step()) {
            change.present = true;
            change.group = select.integer(0);
            change.type = select.integer(1);
            change.difficulty = select.integer(2);
        }
        select.reset();
        m_changes.push_back(change);
    }
}

void ListCache::committed()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_after < 0 || m_after == m_version) {
        // Nothing written, or a reader already saw this version and started over with it.
    } else if (m_version == m_before && !m_overflowed) {
        applyLocked(m_changes);
        m_version = m_after;
    } else {
        clearLocked(m_after);
    }
    m_pending = -1;
    m_changes.clear();
}

void ListCache::abandoned()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pending = -1;
    m_changes.clear();
    m_before = m_after = -1;
}

bool ListCache::matches(const Filter &filter, const Change &change)
{
    return change.present && change.group == filter.group
        && (filter.type == -1 || filter.type == change.type)
        && (filter.difficulty == -1 || filter.difficulty == change.difficulty);
}

void ListCache::clearLocked(std::int64_t version)
{
    m_entries.clear();
    m_idCount = 0;
    m_items.clear();
    m_itemOrder.clear();
    m_itemBytes = 0;
    m_version = version;
    ++m_counters.resets;
}

void ListCache::applyLocked(const std::vector<Change> &changes)
{
    for (const Change &change : changes) {
        const auto item = m_items.find(change.id);
        if (item != m_items.end()) {
            m_itemBytes -= item->second.text.size() + item->second.baseUrl.size();
            m_items.erase(item);
        }
        for (auto &entry : m_entries) {
            std::vector<std::int64_t> &ids = entry.second.ids;
            const auto at = std::lower_bound(ids.begin(), ids.end(), change.id);
            const bool held = at != ids.end() && *at == change.id;
            const bool belongs = matches(entry.first, change);
            if (held && !belongs) {
                ids.erase(at);
                --m_idCount;
            } else if (!held && belongs) {
                ids.insert(at, change.id);
                ++m_idCount;
            }
        }
    }
    evictIdsLocked();
}

void ListCache::evictIdsLocked()
{
    while (m_idCount > m_maxIds && !m_entries.empty()) {
        auto oldest = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        m_idCount -= oldest->second.ids.size();
        m_entries.erase(oldest);
    }
}

void ListCache::evictItemsLocked()
{
    while (m_itemBytes > m_maxItemBytes && !m_itemOrder.empty()) {
        const auto it = m_items.find(m_itemOrder.front());
        m_itemOrder.pop_front();
        if (it != m_items.end()) {
            m_itemBytes -= it->second.text.size() + it->second.baseUrl.size();
            m_items.erase(it);
        }
    }
    // Ids of items dropped by writes stay in the order until they come up; keep it bounded.
    if (m_itemOrder.size() > 2 * m_items.size() + 1024) {
        std::deque<std::int64_t> kept;
        for (std::int64_t id : m_itemOrder)
            if (m_items.count(id))
                kept.push_back(id);
        m_itemOrder.swap(kept);
    }
}
