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
    // it accepts.
    std::vector<Candidate> classify(const std::vector<Stroke> &strokes, std::size_t count = 3,
        const std::function<bool(const std::string &)> &only = {}) const;

private:
    SymbolClassifier();

    struct Prototype {
        std::string label;
        PointCloud::Points points;
    };
    std::vector<Prototype> prototypes;
};

} // namespace quenmo
