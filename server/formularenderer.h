#pragma once

#include "database.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

// Renders TeX formulas to PNG with latex and dvipng in a scratch folder, without shell escape,
// without Ghostscript and with reading and writing kept inside that folder; each child runs in
// a process group of its own under memory, CPU and file size limits. Results are cached by
// formula text, the oldest leaving first once the cache passes its size.
class FormulaRenderer
{
public:
    static constexpr size_t MaxFormulaBytes = 2000;
    static constexpr int TimeLimitMs = 5000;
    static constexpr int MaxConcurrentRenders = 2;
    // Renders waiting for a turn; a formula beyond them is answered at once.
    static constexpr size_t MaxQueuedRenders = 16;
    static constexpr std::uint64_t ChildAddressSpace = 256ull << 20;
    static constexpr std::uint64_t ChildFileSize = 8ull << 20;
    static constexpr std::int64_t DefaultCacheBytes = 64ll << 20;

    struct Result {
        bool ok = false;
        std::string png;
        std::string error; // short reason when ok is false
    };

    FormulaRenderer(Database &db, std::string dataDir, std::int64_t cacheBytes = DefaultCacheBytes);
    Result render(const std::string &formula);

    // The reason a formula is refused before TeX sees it (a way out of the formula: file
    // access, \special, category codes, names built from text), or empty.
    static std::string refusal(const std::string &formula);

private:
    Result renderUncached(const std::string &formula);
    void remember(const std::string &formula, const std::string &png);

    Database &m_db;
    std::string m_dataDir;
    std::mutex m_mutex;
    std::condition_variable m_free;
    int m_running = 0;
    // Tickets of the renders waiting, first come first served.
    std::deque<std::uint64_t> m_waiting;
    std::uint64_t m_nextTicket = 0;
    std::mutex m_cacheMutex;
    std::int64_t m_cacheLimit;
    std::int64_t m_cacheBytes = -1; // -1 until summed
};
