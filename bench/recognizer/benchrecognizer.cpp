// Accuracy and speed of the formula recogniser on synthetic handwriting in fonts that are
// not among its templates. Usage: bench_recognizer [count] [seed] [-v]
#include "formulagenerator.h"
#include "formularecognizer.h"
#include "recognitionservice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <string>

using namespace quenmo;

namespace {

const unsigned defaultSeed = 20261208;
const char *const evaluationFonts[] = {"cursive.jhf", "timesi.jhf", "scriptc.jhf", "futuram.jhf"};

std::string canonical(const std::string &label) {
    return label == "\\times" ? "x" : label;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * (v.size() - 1) + 0.5)];
}

} // namespace

int main(int argc, char **argv) {
    int count = 600;
    unsigned seed = defaultSeed;
    bool verbose = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-v") == 0)
            verbose = true;
        else if (positional++ == 0)
            count = std::atoi(argv[i]);
        else
            seed = static_cast<unsigned>(std::strtoul(argv[i], nullptr, 10));
    }
    std::vector<std::string> paths;
    for (const char *f : evaluationFonts)
        paths.push_back(std::string("/usr/share/hershey-fonts/") + f);
    FormulaGenerator generator(seed, paths);
    if (!generator.ok()) {
        std::fprintf(stderr,
                     "Hershey fonts missing in /usr/share/hershey-fonts (hershey-fonts-data)\n");
        return 1;
    }

    int symbolsTotal = 0, symbolsRight = 0, exact = 0;
    std::map<std::string, std::pair<int, int>> perFont;
    std::map<std::string, std::map<std::string, int>> confusions;
    std::vector<double> times20, timesAll;
    int formulas = 0;
    while (formulas < count) {
        const FormulaGenerator::Sample s = generator.next();
        ++formulas;
        const auto t0 = std::chrono::steady_clock::now();
        const std::string latex = RecognitionService::recognize(s.strokes);
        const auto t1 = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        timesAll.push_back(ms);
        const bool hit = latex == s.tex;
        exact += hit;
        perFont[s.font].first += hit;
        perFont[s.font].second += 1;
        const auto found = FormulaRecognizer::instance().symbols(s.strokes);
        if (verbose && !hit) {
            std::printf("MISS [%s] %s -> %s |", s.font.c_str(), s.tex.c_str(), latex.c_str());
            for (const auto &f : found) {
                std::printf(" %s", f.label.c_str());
                for (const auto &a : f.alternatives)
                    std::printf("/%s", a.c_str());
            }
            std::printf("\n");
        }

        std::map<std::set<int>, std::string> byStrokes;
        for (const auto &f : found)
            byStrokes[std::set<int>(f.strokes.begin(), f.strokes.end())] = f.label;
        for (const auto &truth : s.symbols) {
            ++symbolsTotal;
            const auto it = byStrokes.find(std::set<int>(truth.second.begin(), truth.second.end()));
            const std::string got = it == byStrokes.end() ? "<split>" : canonical(it->second);
            if (got == canonical(truth.first))
                ++symbolsRight;
            else
                ++confusions[canonical(truth.first)][got];
        }
    }

    // Timing on drawings of exactly twenty strokes.
    FormulaGenerator timing(seed + 1, paths);
    while (times20.size() < 200) {
        const FormulaGenerator::Sample s = timing.next();
        if (s.strokes.size() != 20)
            continue;
        for (int r = 0; r < 3; ++r) {
            const auto t0 = std::chrono::steady_clock::now();
            const std::string latex = RecognitionService::recognize(s.strokes);
            const auto t1 = std::chrono::steady_clock::now();
            times20.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    }

    std::printf("formulas: %d (seed %u, fonts:", formulas, seed);
    for (const char *f : evaluationFonts)
        std::printf(" %s", f);
    std::printf(")\n");
    std::printf("symbol accuracy: %.1f %% (%d of %d)\n", 100.0 * symbolsRight / symbolsTotal,
                symbolsRight, symbolsTotal);
    std::printf("exact match:     %.1f %% (%d of %d)\n", 100.0 * exact / formulas, exact, formulas);
    for (const auto &f : perFont)
        std::printf("  %-12s %.1f %%\n", f.first.c_str(), 100.0 * f.second.first / f.second.second);
    std::printf("time, 20 strokes: p50 %.2f ms, p99 %.2f ms (%zu runs)\n", percentile(times20, 0.5),
                percentile(times20, 0.99), times20.size());
    std::printf("time, all formulas: p50 %.2f ms, p99 %.2f ms\n", percentile(timesAll, 0.5),
                percentile(timesAll, 0.99));
    if (verbose) {
        for (const auto &c : confusions)
            for (const auto &g : c.second)
                std::printf("confused %s -> %s: %d\n", c.first.c_str(), g.first.c_str(), g.second);
    }
    return 0;
}
