#include "pointcloud.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace quenmo {

namespace {

double length(const Stroke &s)
{
    double d = 0;
    for (std::size_t i = 1; i < s.size(); ++i)
        d += std::hypot(s[i].x - s[i - 1].x, s[i].y - s[i - 1].y);
    return d;
}

template<bool withHeadings>
float cloudDistance(const PointCloud::Points &a, const PointCloud::Points &ha,
    const PointCloud::Points &b, const PointCloud::Points &hb, float w, int start, float bound)
{
    constexpr int n = PointCloud::size;
    // Matched points move far away instead of being flagged, which keeps the inner loops
    // free of branches so that they vectorise.
    constexpr float far = 1e9f;
    float bx[n], by[n], bu[n], bv[n], d[n];
    for (int j = 0; j < n; ++j) {
        bx[j] = b[2 * j];
        by[j] = b[2 * j + 1];
        if constexpr (withHeadings) {
            bu[j] = w * hb[2 * j];
            bv[j] = w * hb[2 * j + 1];
        }
    }
    float sum = 0;
    int i = start;
    for (int k = 0; k < n; ++k) {
        const float ax = a[2 * i], ay = a[2 * i + 1];
        if constexpr (withHeadings) {
            const float au = w * ha[2 * i], av = w * ha[2 * i + 1];
            for (int j = 0; j < n; ++j) {
                const float dx = ax - bx[j], dy = ay - by[j], du = au - bu[j], dv = av - bv[j];
                d[j] = dx * dx + dy * dy + du * du + dv * dv;
            }
        } else {
            for (int j = 0; j < n; ++j) {
                const float dx = ax - bx[j], dy = ay - by[j];
                d[j] = dx * dx + dy * dy;
            }
        }
        float best = d[0];
        int index = 0;
        for (int j = 1; j < n; ++j) {
            index = d[j] < best ? j : index;
            best = d[j] < best ? d[j] : best;
        }
        bx[index] = by[index] = far;
        const float weight = 1.0f - static_cast<float>(k) / n;
        sum += weight * std::sqrt(best);
        if (sum >= bound)
            return sum;
        i = (i + 1) % n;
    }
    return sum;
}

} // namespace

PointCloud::Points PointCloud::normalized(const std::vector<Stroke> &strokes)
{
    std::vector<Point> all;
    double total = 0;
    for (const Stroke &s : strokes) {
        total += length(s);
        all.insert(all.end(), s.begin(), s.end());
    }
    std::vector<Point> pts;
    pts.reserve(size);
    if (all.empty()) {
        all.push_back({0, 0});
    }
    if (total <= 0) {
        // Only dots: spread the samples over them.
        for (int k = 0; k < size; ++k)
            pts.push_back(all[static_cast<std::size_t>(k) * all.size() / size]);
    } else {
        const double interval = total / (size - 1);
        double carried = 0;
        for (const Stroke &s : strokes) {
            if (s.empty())
                continue;
            if (pts.empty())
                pts.push_back(s.front());
            Point prev = s.front();
            std::size_t i = 1;
            while (i < s.size() && static_cast<int>(pts.size()) < size) {
                const Point cur = s[i];
                const double d = std::hypot(cur.x - prev.x, cur.y - prev.y);
                if (carried + d >= interval && d > 0) {
                    const double t = (interval - carried) / d;
                    const Point q {prev.x + t * (cur.x - prev.x), prev.y + t * (cur.y - prev.y)};
                    pts.push_back(q);
                    prev = q;
                    carried = 0;
                } else {
                    carried += d;
                    prev = cur;
                    ++i;
                }
            }
        }
        while (static_cast<int>(pts.size()) < size)
            pts.push_back(strokes.back().empty() ? pts.back() : strokes.back().back());
    }

    double minX = pts[0].x, maxX = pts[0].x, minY = pts[0].y, maxY = pts[0].y;
    double cx = 0, cy = 0;
    for (const Point &p : pts) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
        cx += p.x;
        cy += p.y;
    }
    cx /= size;
    cy /= size;
    double scale = std::max(maxX - minX, maxY - minY);
    if (scale <= 0)
        scale = 1;
    Points out {};
    for (int k = 0; k < size; ++k) {
        out[2 * k] = static_cast<float>((pts[k].x - cx) / scale);
        out[2 * k + 1] = static_cast<float>((pts[k].y - cy) / scale);
    }
    return out;
}

PointCloud::Points PointCloud::headings(const Points &p)
{
    // Consecutive points lie about one spacing apart along a stroke; a wider gap is a move
    // to the next stroke.
    float gaps[size - 1];
    for (int k = 0; k + 1 < size; ++k)
        gaps[k] = std::hypot(p[2 * k + 2] - p[2 * k], p[2 * k + 3] - p[2 * k + 1]);
    float sorted[size - 1];
    std::copy(gaps, gaps + size - 1, sorted);
    std::nth_element(sorted, sorted + (size - 1) / 2, sorted + size - 1);
    const float jump = 2.5f * sorted[(size - 1) / 2] + 1e-6f;
    Points out {};
    for (int k = 0; k < size; ++k) {
        const int lo = k > 0 && gaps[k - 1] < jump ? k - 1 : k;
        const int hi = k + 1 < size && gaps[k] < jump ? k + 1 : k;
        const float dx = p[2 * hi] - p[2 * lo], dy = p[2 * hi + 1] - p[2 * lo + 1];
        const float len2 = dx * dx + dy * dy;
        if (len2 <= 0)
            continue;
        // Undirected: a stroke drawn either way has the same heading.
        out[2 * k] = (dx * dx - dy * dy) / len2;
        out[2 * k + 1] = 2 * dx * dy / len2;
    }
    return out;
}

float PointCloud::distance(
    const Points &a, const Points &ha, const Points &b, const Points &hb, float w, float bound)
{
    const auto cloud = w > 0 ? cloudDistance<true> : cloudDistance<false>;
    // Starting points spaced by sqrt(n), both matching directions, as in the $P recogniser.
    constexpr int step = 5;
    float best = bound;
    for (int start = 0; start < size; start += step) {
        best = std::min(best, cloud(a, ha, b, hb, w, start, best));
        best = std::min(best, cloud(b, hb, a, ha, w, start, best));
    }
    return best;
}

float PointCloud::quickDistance(
    const Points &a, const Points &ha, const Points &b, const Points &hb, float w)
{
    const auto cloud = w > 0 ? cloudDistance<true> : cloudDistance<false>;
    return cloud(a, ha, b, hb, w, 0, std::numeric_limits<float>::max());
}

} // namespace quenmo
