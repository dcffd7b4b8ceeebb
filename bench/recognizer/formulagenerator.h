#pragma once

#include "hersheyfont.h"
#include "stroke.h"

#include <random>
#include <string>
#include <vector>

namespace quenmo {

// Writes random formulas the way a hand would: glyphs of a Hershey font, laid out with
// scripts, fractions and roots, then slanted, scaled, jittered and written in a shuffled
// stroke order. Each formula comes with its true TeX and the true symbol of every stroke.
// `nextMouse` writes longer formulas as a mouse does instead: 20-40 strokes in reading
// order, few samples per stroke at uneven speed, 20-200 px digits.
class FormulaGenerator {
public:
    struct Sample {
        std::string tex;
        std::vector<Stroke> strokes;
        // Per true symbol: its label and the indices of its strokes in `strokes`.
        std::vector<std::pair<std::string, std::vector<int>>> symbols;
        std::string font;
        double digitHeight = 0; // in canvas pixels
    };

    // `greekPaths`, when given, hold the Greek letters written with the font of the same
    // index (letters at the places of greekc.jhf: b beta, p pi, h theta).
    FormulaGenerator(unsigned seed, std::vector<std::string> fontPaths,
                     std::vector<std::string> greekPaths = {});
    bool ok() const {
        return !fonts.empty() && fonts.size() == fontNames.size() &&
               (greeks.empty() || greeks.size() == fonts.size());
    }

    Sample next();
    Sample nextMouse(int minStrokes = 20, int maxStrokes = 40);

    struct Node;

private:
    struct Placed;

    Node randomExpression(int depth);
    Node randomTerm(int depth);
    Node randomAtom();
    Node mouseExpression(int depth);
    Node mouseTerm(int depth);
    Node mouseAtom();
    Node mouseSum(int terms);
    Placed place(const Node &node, double scale);
    Placed placeSequence(const std::vector<Node> &items, double scale);
    Placed glyph(const std::string &label, double scale);
    Stroke mouseTrace(const Stroke &path, double speed);

    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    std::mt19937 rng;
    std::vector<HersheyFont> fonts;
    std::vector<std::string> fontNames;
    std::vector<HersheyFont> greeks;
    const HersheyFont *font = nullptr;
    const HersheyFont *greek = nullptr;
    bool barFirst = false; // fraction bars written before their numerators
};

} // namespace quenmo
