#pragma once

#include "stroke.h"

#include <array>
#include <vector>

namespace quenmo {

// A symbol reduced to a fixed number of points, scaled into the unit box with its aspect
// ratio kept and centred on its centroid. Stroke order and direction no longer matter, which
// is what makes the greedy cloud match insensitive to how a symbol was written.
class PointCloud
{
public:
    static constexpr int size = 32;
    using Points = std::array<float, 2 * size>;

    static Points normalized(const std::vector<Stroke> &strokes);

    // Greedy cloud match distance; stops early once it cannot beat `bound`.
    static float distance(const Points &a, const Points &b, float bound);
    // One greedy pass only: cheap, for ranking prototypes before the full match.
    static float quickDistance(const Points &a, const Points &b);
};

} // namespace quenmo
