#pragma once

#include <vector>

namespace quenmo {

// One sample of a pen trace, in canvas coordinates (y grows downwards).
struct Point {
    double x = 0;
    double y = 0;
};

// The samples of one pen-down .. pen-up trace, in drawing order.
using Stroke = std::vector<Point>;

} // namespace quenmo
