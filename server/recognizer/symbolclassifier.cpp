#include "symbolclassifier.h"

#include "templatedata.h"

#include <algorithm>
#include <limits>
#include <map>

namespace quenmo {

SymbolClassifier::SymbolClassifier()
{
    prototypes.reserve(templateRecordCount);
    for (std::size_t i = 0; i < templateRecordCount; ++i) {
        Prototype p;
        p.label = templateRecords[i].label;
        std::copy(std::begin(templateRecords[i].points), std::end(templateRecords[i].points),
            p.points.begin());
        p.headings = PointCloud::headings(p.points);
        prototypes.push_back(std::move(p));
    }
}

const SymbolClassifier &SymbolClassifier::instance()
{
    static const SymbolClassifier classifier;
    return classifier;
}

std::vector<SymbolClassifier::Candidate> SymbolClassifier::classify(
    const std::vector<Stroke> &strokes, std::size_t count,
    const std::function<bool(const std::string &)> &only, bool byHeading) const
{
    // Place alone leaves a round bow and a sharp corner, or an arc and a bar, close when the
    // few points of a small symbol fall alike; the way the ink runs there tells them apart.
    constexpr float headingWeight = 0.045f;
    const float w = byHeading ? headingWeight : 0.0f;
    const PointCloud::Points input = PointCloud::normalized(strokes);
    // Grouping asks for outlines alone, many times over: no headings then.
    const PointCloud::Points headings
        = byHeading ? PointCloud::headings(input) : PointCloud::Points {};
    // Rank all prototypes cheaply, then match the most promising ones fully.
    constexpr std::size_t shortlist = 40;
    std::vector<std::pair<float, std::size_t>> ranked;
    ranked.reserve(prototypes.size());
    for (std::size_t i = 0; i < prototypes.size(); ++i)
        if (!only || only(prototypes[i].label))
            ranked.emplace_back(PointCloud::quickDistance(input, headings, prototypes[i].points,
                                    prototypes[i].headings, w),
                i);
    const std::size_t keep = std::min(shortlist, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<long>(keep), ranked.end());
    std::map<std::string, float> best;
    std::vector<float> kept; // the `count` smallest distances of distinct labels so far
    for (std::size_t r = 0; r < keep; ++r) {
        const Prototype &p = prototypes[ranked[r].second];
        const auto it = best.find(p.label);
        float bound = kept.size() < count ? std::numeric_limits<float>::max() : kept.back();
        if (it != best.end())
            bound = std::min(bound, it->second);
        const float d = PointCloud::distance(input, headings, p.points, p.headings, w, bound);
        if (d >= bound)
            continue;
        best[p.label] = d;
        kept.clear();
        for (const auto &entry : best)
            kept.push_back(entry.second);
        std::sort(kept.begin(), kept.end());
        if (kept.size() > count)
            kept.resize(count);
    }
    std::vector<Candidate> out;
    for (const auto &entry : best)
        out.push_back({entry.first, entry.second});
    std::sort(out.begin(), out.end(),
        [](const Candidate &a, const Candidate &b) { return a.distance < b.distance; });
    if (out.size() > count)
        out.resize(count);
    return out;
}

} // namespace quenmo
