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
class FormulaGenerator {
public:
    struct Sample {
        std::string tex;
        std::vector<Stroke> strokes;
        // Per true symbol: its label and the indices of its strokes in `strokes`.
        std::vector<std::pair<std::string, std::vector<int>>> symbols;
        std::string font;
    };

    FormulaGenerator(unsigned seed, std::vector<std::string> fontPaths);
    bool ok() const { return !fonts.empty() && fonts.size() == fontNames.size(); }

    Sample next();

    struct Node;

private:
    struct Placed;

    Node randomExpression(int depth);
    Node randomTerm(int depth);
    Node randomAtom();
    Placed place(const Node &node, double scale);
    Placed placeSequence(const std::vector<Node> &items, double scale);
    Placed glyph(const std::string &label, double scale);

    double uniform(double a, double b) { return std::uniform_real_distribution<double>(a, b)(rng); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

    std::mt19937 rng;
    std::vector<HersheyFont> fonts;
    std::vector<std::string> fontNames;
    const HersheyFont *font = nullptr;
};

} // namespace quenmo
