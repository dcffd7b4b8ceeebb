#pragma once

#include "pointcloud.h"

#include <functional>
#include <string>
#include <vector>

namespace quenmo {

// Nearest-prototype classification of one written symbol against the built-in templates.
class SymbolClassifier
{
public:
    struct Candidate {
        std::string label;
        float distance = 0;
    };

    static const SymbolClassifier &instance();

    // The best distinct labels, nearest first (at most `count`); with `only`, among the labels
    // it accepts. With `byHeading` the match weighs the way the ink runs as well as its place;
    // without, the distances are the outline's alone, as grouping strokes wants them.
    std::vector<Candidate> classify(const std::vector<Stroke> &strokes, std::size_t count = 3,
        const std::function<bool(const std::string &)> &only = {}, bool byHeading = false) const;

private:
    SymbolClassifier();

    struct Prototype {
        std::string label;
        PointCloud::Points points;
        PointCloud::Points headings;
    };
    std::vector<Prototype> prototypes;
};

} // namespace quenmo
