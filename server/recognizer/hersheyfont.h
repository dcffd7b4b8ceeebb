#pragma once

#include "stroke.h"

#include <string>
#include <vector>

namespace quenmo {

// A Hershey stroke font in the .jhf layout: one glyph per line for the printable ASCII
// characters from the blank on, coordinates as letters relative to 'R', " R" lifting the pen.
class HersheyFont
{
public:
    struct Glyph {
        double left = 0;
        double right = 0;
        std::vector<Stroke> strokes;
    };

    // Reads a .jhf file; false if it cannot be read or holds no glyph.
    bool load(const std::string &path);
    // Parses the coordinate text of one glyph (the part after the count field).
    static Glyph parseGlyph(const std::string &data);

    bool has(char c) const;
    const Glyph &glyph(char c) const;

private:
    std::vector<Glyph> glyphs;
};

} // namespace quenmo
