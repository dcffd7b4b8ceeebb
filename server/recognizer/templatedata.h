#pragma once

#include "pointcloud.h"

#include <cstddef>

namespace quenmo {

// One prototype of a symbol as a normalised point cloud (x, y interleaved).
struct TemplateRecord {
    const char *label;
    float points[2 * PointCloud::size];
};

// Generated at build time from the Hershey stroke fonts (templategenerator.cpp).
extern const TemplateRecord templateRecords[];
extern const std::size_t templateRecordCount;

} // namespace quenmo
