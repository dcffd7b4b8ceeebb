// Accuracy and speed of the formula recogniser on synthetic handwriting in fonts that are
// not among its templates: formulas written with font strokes and jitter, and longer ones
// written as a mouse does. Usage: bench_recognizer [count] [seed] [-v]
// The default seed gives the held-out figures; tune on other seeds only.
#include "formulagenerator.h"
#include "formularecognizer.h"
#include "recognitionservice.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>

using namespace quenmo;

namespace {

const unsigned defaultSeed = 20261208;
const char *const evaluationFonts[] = {"cursive.jhf", "timesi.jhf", "scriptc.jhf", "futuram.jhf"};
// Their Greek letters: the complex Greek hand, whereas the templates know the simplex one.
const char *const evaluationGreeks[] = {"greekc.jhf", "greekc.jhf", "greekc.jhf", "greekc.jhf"};
const char *const fontDir = "/usr/share/hershey-fonts/";

std::string canonical(const std::string &label) {
    return label == "\\times" ? "x" : label;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * (v.size() - 1) + 0.5)];
}

double cpuMilliseconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return 1e3 * static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_nsec);
}

// Wall time; `cpu` gets the thread's own processor time, which other load on a shared
// machine does not inflate.
double millisecondsOf(const std::vector<Stroke> &strokes, std::string *result = nullptr,
                      double *cpu = nullptr) {
    const double c0 = cpuMilliseconds();
    const auto t0 = std::chrono::steady_clock::now();
    const std::string latex = RecognitionService::recognize(strokes);
    const auto t1 = std::chrono::steady_clock::now();
    if (cpu)
        *cpu = cpuMilliseconds() - c0;
    if (result)
        *result = latex;
    return std::chrono::duration<double, std::milli>(t1 - t0).count();
}

struct Tally {
    int symbols = 0, symbolsRight = 0, formulas = 0, exact = 0;
    void print(const char *name) const {
        std::printf("  %-14s symbols %5.1f %% (%5d)  exact %5.1f %% (%4d)\n", name,
                    100.0 * symbolsRight / std::max(1, symbols), symbols,
                    100.0 * exact / std::max(1, formulas), formulas);
    }
};

std::string sizeBand(double digitHeight) {
    if (digitHeight < 35)
        return "20-35 px";
    if (digitHeight < 65)
        return "35-65 px";
    if (digitHeight < 115)
        return "65-115 px";
    return "115-200 px";
}

struct Evaluation {
    Tally all;
    std::map<std::string, Tally> byFont, bySize;
    std::map<std::string, std::map<std::string, int>> confusions;
    std::vector<double> times;

    void add(const FormulaGenerator::Sample &s, bool verbose) {
        std::string latex;
        times.push_back(millisecondsOf(s.strokes, &latex));
        const bool hit = latex == s.tex;
        const auto found = FormulaRecognizer::instance().symbols(s.strokes);
        std::map<std::set<int>, std::string> byStrokes;
        for (const auto &f : found)
            byStrokes[std::set<int>(f.strokes.begin(), f.strokes.end())] = f.label;
        std::vector<Tally *> tallies{&all, &byFont[s.font]};
        if (s.digitHeight > 0)
            tallies.push_back(&bySize[sizeBand(s.digitHeight)]);
        for (Tally *t : tallies) {
            ++t->formulas;
            t->exact += hit;
        }
        bool symbolsOk = true;
        for (const auto &truth : s.symbols) {
            const auto it = byStrokes.find(std::set<int>(truth.second.begin(), truth.second.end()));
            const std::string got = it == byStrokes.end() ? "<split>" : canonical(it->second);
            const bool right = got == canonical(truth.first);
            for (Tally *t : tallies) {
                ++t->symbols;
                t->symbolsRight += right;
            }
            if (!right) {
                ++confusions[canonical(truth.first)][got];
                symbolsOk = false;
            }
        }
        if (verbose && !hit) {
            std::printf("MISS %s [%s %.0f] %s -> %s |", symbolsOk ? "layout" : "symbol",
                        s.font.c_str(), s.digitHeight, s.tex.c_str(), latex.c_str());
            for (const auto &f : found) {
                std::printf(" %s", f.label.c_str());
                for (const auto &a : f.alternatives)
                    std::printf("/%s", a.c_str());
            }
            std::printf("\n");
        }
    }

    void print(const char *title, bool verbose) const {
        std::printf("%s\n", title);
        all.print("all");
        std::printf(" by font:\n");
        for (const auto &f : byFont)
            f.second.print(f.first.c_str());
        if (!bySize.empty()) {
            std::printf(" by digit height:\n");
            for (const char *band : {"20-35 px", "35-65 px", "65-115 px", "115-200 px"}) {
                const auto it = bySize.find(band);
                if (it != bySize.end())
                    it->second.print(band);
            }
        }
        std::printf(" time per formula: p50 %.2f ms, p99 %.2f ms\n", percentile(times, 0.5),
                    percentile(times, 0.99));
        if (verbose) {
            for (const auto &c : confusions)
                for (const auto &g : c.second)
                    std::printf("  confused %s -> %s: %d\n", c.first.c_str(), g.first.c_str(),
                                g.second);
        }
    }
};

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
    std::vector<std::string> paths, greekPaths;
    for (const char *f : evaluationFonts)
        paths.push_back(std::string(fontDir) + f);
    for (const char *f : evaluationGreeks)
        greekPaths.push_back(std::string(fontDir) + f);
    FormulaGenerator generator(seed, paths);
    FormulaGenerator mouse(seed + 2, paths, greekPaths);
    if (!generator.ok() || !mouse.ok()) {
        std::fprintf(stderr, "Hershey fonts missing in %s (hershey-fonts-data)\n", fontDir);
        return 1;
    }

    std::printf("%d formulas per set, seed %u, fonts:", count, seed);
    for (const char *f : evaluationFonts)
        std::printf(" %s", f);
    std::printf("\n\n");
    Evaluation fonts;
    for (int i = 0; i < count; ++i)
        fonts.add(generator.next(), verbose);
    fonts.print("Font strokes with jitter, 1-20 strokes:", verbose);

    Evaluation written;
    for (int i = 0; i < count; ++i)
        written.add(mouse.nextMouse(), verbose);
    std::printf("\n");
    written.print("Mouse writing, 20-40 strokes:", verbose);

    // Timing on mouse drawings of exactly forty strokes.
    FormulaGenerator timing(seed + 1, paths, greekPaths);
    std::vector<double> times40, cpu40;
    for (int i = 0; i < 100; ++i) {
        const FormulaGenerator::Sample s = timing.nextMouse(40, 40);
        for (int r = 0; r < 3; ++r) {
            double cpu = 0;
            times40.push_back(millisecondsOf(s.strokes, nullptr, &cpu));
            cpu40.push_back(cpu);
        }
    }
    std::printf("\ntime, 40 strokes: p50 %.2f ms, p99 %.2f ms (%zu runs); processor time p50 "
                "%.2f ms, p99 %.2f ms\n",
                percentile(times40, 0.5), percentile(times40, 0.99), times40.size(),
                percentile(cpu40, 0.5), percentile(cpu40, 0.99));
    return 0;
}
