#pragma once

#include "stroke.h"

#include <string>
#include <vector>

namespace quenmo {

// Turns a drawing into TeX: strokes are grouped into symbols, each symbol is classified, and
// the layout (baseline, scripts, fractions, roots) is read into TeX.
class FormulaRecognizer
{
public:
    struct Box {
        double left = 0, top = 0, right = 0, bottom = 0;
        double width() const { return right - left; }
        double height() const { return bottom - top; }
        double centerX() const { return (left + right) / 2; }
        double centerY() const { return (top + bottom) / 2; }
    };

    struct Symbol {
        std::vector<int> strokes;
        Box box;
        std::string label;
        std::vector<std::string> alternatives; // other labels the classifier found nearly as close
        float distance = 0; // the classifier's distance to the label it chose first
        bool tail = false; // a z with a loop below the line, as script hands write it
        bool bars = false; // a cross of two straight strokes, as a times sign is written
    };

    static const FormulaRecognizer &instance();

    std::string recognize(const std::vector<Stroke> &strokes) const;

    // The symbols found in a drawing, for diagnostics and tests.
    std::vector<Symbol> symbols(const std::vector<Stroke> &strokes) const;

private:
    FormulaRecognizer() = default;
};

} // namespace quenmo
