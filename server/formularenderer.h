#pragma once

#include "database.h"

#include <condition_variable>
#include <mutex>
#include <string>

// Renders TeX formulas to PNG with latex and dvipng in a scratch folder, without shell escape
// and with reading and writing kept inside that folder; results are cached by formula text.
class FormulaRenderer {
public:
    static constexpr size_t MaxFormulaBytes = 2000;
    static constexpr int TimeLimitMs = 5000;

    struct Result {
        bool ok = false;
        std::string png;
        std::string error; // short reason when ok is false
    };

    FormulaRenderer(Database &db, std::string dataDir);
    Result render(const std::string &formula);

private:
    Result renderUncached(const std::string &formula);

    Database &m_db;
    std::string m_dataDir;
    std::mutex m_mutex;
    std::condition_variable m_free;
    int m_running = 0;
};
