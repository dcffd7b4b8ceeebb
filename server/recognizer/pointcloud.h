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

    // The way the ink runs at each point, whichever way it was drawn: (cos 2a, sin 2a) of the
    // line to its neighbours on the same stroke.
    static Points headings(const Points &points);

    // Greedy cloud match distance; stops early once it cannot beat `bound`. With a weight `w`,
    // points are matched by their headings `ha`, `hb` (scaled by `w`) as well as by place.
    static float distance(
        const Points &a, const Points &ha, const Points &b, const Points &hb, float w, float bound);
    // One greedy pass only: cheap, for ranking prototypes before the full match.
    static float quickDistance(
        const Points &a, const Points &ha, const Points &b, const Points &hb, float w);
};

} // namespace quenmo
