#include "hersheyfont.h"

#include <cstdlib>
#include <fstream>

namespace quenmo {

HersheyFont::Glyph HersheyFont::parseGlyph(const std::string &data)
{
    Glyph g;
    if (data.size() < 2)
        return g;
    g.left = data[0] - 'R';
    g.right = data[1] - 'R';
    Stroke current;
    for (std::size_t i = 2; i + 1 < data.size(); i += 2) {
        if (data[i] == ' ' && data[i + 1] == 'R') {
            if (!current.empty())
                g.strokes.push_back(current);
            current.clear();
            continue;
        }
        current.push_back(
            {static_cast<double>(data[i] - 'R'), static_cast<double>(data[i + 1] - 'R')});
    }
    if (!current.empty())
        g.strokes.push_back(current);
    return g;
}

bool HersheyFont::load(const std::string &path)
{
    std::ifstream in(path);
    if (!in)
        return false;
    glyphs.clear();
    std::string line, record;
    std::size_t wanted = 0;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (record.empty()) {
            if (line.size() < 8)
                continue;
            wanted = 8 + 2 * static_cast<std::size_t>(std::atoi(line.substr(5, 3).c_str()));
        }
        record += line;
        // Long glyphs may be wrapped over several lines.
        if (record.size() >= wanted) {
            glyphs.push_back(parseGlyph(record.substr(8, wanted - 8)));
            record.clear();
        }
    }
    return !glyphs.empty();
}

bool HersheyFont::has(char c) const
{
    const int index = static_cast<unsigned char>(c) - 32;
    return index >= 0 && index < static_cast<int>(glyphs.size());
}

const HersheyFont::Glyph &HersheyFont::glyph(char c) const
{
    return glyphs.at(static_cast<std::size_t>(static_cast<unsigned char>(c) - 32));
}

} // namespace quenmo
