#include "formulagenerator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>

namespace quenmo {

struct FormulaGenerator::Node {
    enum Type { Sym, Seq, Script, Frac, Root } type = Sym;
    std::string label;
    std::vector<Node> items; // Seq: items; Script: base, sub, sup; Frac: num, den; Root: body
    bool hasSub = false, hasSup = false;
};

struct FormulaGenerator::Placed {
    std::vector<Stroke> strokes;
    std::vector<std::pair<std::string, std::vector<int>>> symbols;
    double width = 0, top = 0, bottom = 0;

    void add(const Placed &p, double dx, double dy) {
        const int offset = static_cast<int>(strokes.size());
        for (Stroke s : p.strokes) {
            for (Point &q : s) {
                q.x += dx;
                q.y += dy;
            }
            strokes.push_back(s);
        }
        for (auto sym : p.symbols) {
            for (int &i : sym.second)
                i += offset;
            symbols.push_back(sym);
        }
        if (symbols.size() == p.symbols.size()) {
            top = p.top + dy;
            bottom = p.bottom + dy;
        } else {
            top = std::min(top, p.top + dy);
            bottom = std::max(bottom, p.bottom + dy);
        }
    }
};

namespace {

bool commandEnd(const std::string &tex) {
    std::size_t i = tex.size();
    while (i > 0 && std::isalpha(static_cast<unsigned char>(tex[i - 1])))
        --i;
    return i < tex.size() && i > 0 && tex[i - 1] == '\\';
}

std::string group(const std::string &tex) {
    return tex.size() == 1 ? tex : "{" + tex + "}";
}

} // namespace

static std::string texOf(const FormulaGenerator::Node &n);

FormulaGenerator::FormulaGenerator(unsigned seed, std::vector<std::string> fontPaths)
    : rng(seed) {
    for (const std::string &path : fontPaths) {
        HersheyFont f;
        if (f.load(path)) {
            fonts.push_back(std::move(f));
            fontNames.push_back(path.substr(path.find_last_of('/') + 1));
        }
    }
    if (fonts.size() != fontPaths.size())
        fonts.clear();
}

std::string texOf(const FormulaGenerator::Node &n) {
    using Node = FormulaGenerator::Node;
    switch (n.type) {
    case Node::Sym:
        return n.label;
    case Node::Seq: {
        std::string out;
        for (const Node &item : n.items) {
            const std::string piece = texOf(item);
            if (commandEnd(out) && !piece.empty() &&
                std::isalpha(static_cast<unsigned char>(piece[0])))
                out += ' ';
            out += piece;
        }
        return out;
    }
    case Node::Script: {
        std::string out = texOf(n.items[0]);
        if (n.hasSub)
            out += "_" + group(texOf(n.items[1]));
        if (n.hasSup)
            out += "^" + group(texOf(n.items[2]));
        return out;
    }
    case Node::Frac:
        return "\\frac{" + texOf(n.items[0]) + "}{" + texOf(n.items[1]) + "}";
    case Node::Root:
        return "\\sqrt{" + texOf(n.items[0]) + "}";
    }
    return {};
}

namespace {

using Node = FormulaGenerator::Node;

Node sym(const std::string &label) {
    Node n;
    n.label = label;
    return n;
}

Node seq(std::vector<Node> items) {
    Node n;
    n.type = Node::Seq;
    n.items = std::move(items);
    return n;
}

const char *const letters[] = {"a", "b", "c", "n", "x", "y", "z"};

} // namespace

Node FormulaGenerator::randomAtom() {
    const double r = uniform(0, 1);
    const std::string digit = std::to_string(pick(10));
    if (r < 0.3)
        return sym(digit);
    if (r < 0.45)
        return seq({sym(std::to_string(1 + pick(9))), sym(digit)});
    if (r < 0.75)
        return sym(letters[pick(7)]);
    return seq({sym(std::to_string(1 + pick(9))), sym(letters[pick(7)])});
}

Node FormulaGenerator::randomTerm(int depth) {
    const double r = uniform(0, 1);
    if (r < 0.3)
        return randomAtom();
    if (r < 0.47) {
        Node n;
        n.type = Node::Script;
        const double b = uniform(0, 1);
        Node base = b < 0.55 ? sym(letters[pick(7)]) : sym(std::to_string(pick(10)));
        if (depth == 0 && b > 0.85)
            base = seq({sym("("), randomExpression(2), sym(")")});
        const double e = uniform(0, 1);
        Node exponent =
            e < 0.7    ? sym(std::to_string(pick(10)))
            : e < 0.85 ? sym(letters[pick(7)])
                       : seq({sym(std::to_string(1 + pick(9))), sym(std::to_string(pick(10)))});
        n.items = {base, seq({}), seq({exponent})};
        n.hasSup = true;
        return n;
    }
    if (r < 0.57) {
        Node n;
        n.type = Node::Script;
        Node index = uniform(0, 1) < 0.75 ? sym(std::to_string(pick(10))) : sym(letters[pick(7)]);
        n.items = {sym(letters[pick(7)]), seq({index}), seq({})};
        n.hasSub = true;
        return n;
    }
    if (r < 0.75 && depth < 2) {
        Node n;
        n.type = Node::Frac;
        n.items = {randomExpression(depth + 2), randomExpression(depth + 2)};
        return n;
    }
    if (r < 0.88 && depth < 2) {
        Node n;
        n.type = Node::Root;
        n.items = {randomExpression(depth + 2)};
        return n;
    }
    if (depth == 0)
        return seq({sym("("), randomExpression(2), sym(")")});
    return randomAtom();
}

Node FormulaGenerator::randomExpression(int depth) {
    static const char *const topOps[] = {"+", "-", "\\times", "\\div", "=", "<", ">", "=", "+"};
    static const char *const innerOps[] = {"+", "-", "\\times", "+"};
    const int terms = depth == 0 ? 1 + pick(4) : 1 + pick(2);
    std::vector<Node> items;
    for (int i = 0; i < terms; ++i) {
        if (i > 0)
            items.push_back(sym(depth == 0 ? topOps[pick(9)] : innerOps[pick(4)]));
        // Inner expressions hold atoms only, so nesting stays shallow.
        items.push_back(depth < 2 ? randomTerm(depth) : randomAtom());
    }
    return seq(items);
}

FormulaGenerator::Placed FormulaGenerator::glyph(const std::string &label, double scale) {
    Placed p;
    std::vector<Stroke> strokes;
    double width = 0;
    if (label == "\\times") {
        const double a = uniform(4, 5.5), b = a * uniform(0.8, 1.2);
        strokes = {{{1, -9 - b}, {1 + 2 * a, -9 + b}}, {{1 + 2 * a, -9 - b}, {1, -9 + b}}};
        width = 2 * a + 2;
    } else if (label == "\\div") {
        const double w = uniform(12, 16), d = uniform(4.5, 6.5);
        strokes = {{{1, -9}, {1 + w, -9}},
                   {{1 + w / 2, -9 - d}},
                   {{1 + w / 2 + uniform(-0.5, 0.5), -9 + d}, {1 + w / 2 + 0.4, -9 + d + 0.3}}};
        width = w + 2;
    } else {
        const HersheyFont::Glyph &g = font->glyph(label[0]);
        for (Stroke s : g.strokes) {
            for (Point &q : s) {
                q.x -= g.left;
                q.y -= 9;
            }
            strokes.push_back(s);
        }
        width = g.right - g.left;
    }
    p.width = width * scale;
    p.top = 1e9;
    p.bottom = -1e9;
    std::vector<int> indices;
    for (Stroke &s : strokes) {
        for (Point &q : s) {
            q.x *= scale;
            q.y *= scale;
            p.top = std::min(p.top, q.y);
            p.bottom = std::max(p.bottom, q.y);
        }
        indices.push_back(static_cast<int>(p.strokes.size()));
        p.strokes.push_back(s);
    }
    p.symbols.push_back({label, indices});
    return p;
}

FormulaGenerator::Placed FormulaGenerator::placeSequence(const std::vector<Node> &items,
                                                         double scale) {
    Placed out;
    double x = 0;
    for (const Node &item : items) {
        const Placed p = place(item, scale);
        out.add(p, x, 0);
        x += p.width + uniform(1.0, 3.5) * scale;
    }
    out.width = std::max(0.0, x - 2 * scale);
    return out;
}

FormulaGenerator::Placed FormulaGenerator::place(const Node &node, double scale) {
    switch (node.type) {
    case Node::Sym:
        return glyph(node.label, scale);
    case Node::Seq:
        return placeSequence(node.items, scale);
    case Node::Script: {
        Placed out;
        const Placed base = place(node.items[0], scale);
        out.add(base, 0, 0);
        const double baseHeight = base.bottom - base.top;
        double width = base.width;
        const double x = base.width + uniform(0.5, 2.0) * scale;
        if (node.hasSub) {
            const Placed sub = place(node.items[1], scale * uniform(0.55, 0.7));
            // Scripts sit relative to the base's baseline, measured in digit heights.
            out.add(sub, x, uniform(0.25, 0.45) * 21 * scale);
            width = std::max(width, x + sub.width);
        }
        if (node.hasSup) {
            const Placed sup = place(node.items[2], scale * uniform(0.55, 0.7));
            const double raise = std::max(uniform(0.45, 0.7) * 21 * scale,
                                          -base.top - uniform(0.0, 0.3) * baseHeight);
            out.add(sup, x, -raise);
            width = std::max(width, x + sup.width);
        }
        out.width = width;
        return out;
    }
    case Node::Frac: {
        Placed out;
        const double inner = scale * uniform(0.75, 0.95);
        const Placed num = place(node.items[0], inner);
        const Placed den = place(node.items[1], inner);
        const double barWidth = std::max(num.width, den.width) + uniform(3, 6) * scale;
        const double barY = (-9 + uniform(-1, 1)) * scale;
        const double tilt = uniform(-0.6, 0.6) * scale;
        Placed bar;
        // Pens leave a little room before and after a bar.
        const double bearing = 2 * scale;
        bar.strokes = {{{bearing, barY},
                        {bearing + barWidth / 2, barY + tilt / 2},
                        {bearing + barWidth, barY + tilt}}};
        bar.symbols = {{"-", {0}}};
        bar.top = barY - std::fabs(tilt);
        bar.bottom = barY + std::fabs(tilt);
        bar.width = barWidth;
        out.add(num, bearing + (barWidth - num.width) / 2 + uniform(-1, 1) * scale,
                barY - std::fabs(tilt) - uniform(2.5, 4.5) * scale - num.bottom);
        out.add(bar, 0, 0);
        out.add(den, bearing + (barWidth - den.width) / 2 + uniform(-1, 1) * scale,
                barY + std::fabs(tilt) + uniform(2.5, 4.5) * scale - den.top);
        out.width = barWidth + 2 * bearing;
        return out;
    }
    case Node::Root: {
        Placed out;
        const Placed body = place(node.items[0], scale);
        const double barY = body.top - uniform(2.5, 4.5) * scale;
        const double bodyX = (10 + uniform(4, 6)) * scale;
        const double end = bodyX + body.width + uniform(1, 3) * scale;
        Stroke sign;
        if (uniform(0, 1) < 0.6)
            sign.push_back({0, -7 * scale});
        sign.push_back({2.5 * scale, -9 * scale});
        sign.push_back({6 * scale, uniform(0.5, 2.5) * scale});
        sign.push_back({10 * scale, barY});
        sign.push_back({end, barY + uniform(-0.5, 0.5) * scale});
        Placed root;
        root.strokes = {sign};
        root.symbols = {{"\\sqrt", {0}}};
        root.top = barY;
        root.bottom = 2.5 * scale;
        root.width = end;
        out.add(root, 2 * scale, 0);
        out.add(body, bodyX + 2 * scale, 0);
        out.width = end + 2 * scale;
        return out;
    }
    }
    return {};
}

FormulaGenerator::Sample FormulaGenerator::next() {
    const std::size_t f = static_cast<std::size_t>(pick(static_cast<int>(fonts.size())));
    font = &fonts[f];
    const Node formula = randomExpression(0);
    Placed placed = place(formula, 1.0);

    // Each symbol a little off in size, angle and position.
    for (auto &symbol : placed.symbols) {
        double cx = 0, cy = 0, count = 0;
        for (int i : symbol.second)
            for (const Point &q : placed.strokes[i]) {
                cx += q.x;
                cy += q.y;
                ++count;
            }
        cx /= count;
        cy /= count;
        double left = 1e9, right = -1e9;
        for (int i : symbol.second)
            for (const Point &q : placed.strokes[i]) {
                left = std::min(left, q.x);
                right = std::max(right, q.x);
            }
        // Long lines are drawn at a steadier angle than small glyphs.
        const double s = uniform(0.92, 1.08),
                     a = uniform(-0.07, 0.07) * std::min(1.0, 25 / std::max(1.0, right - left));
        const double dx = uniform(-0.7, 0.7), dy = uniform(-0.7, 0.7);
        for (int i : symbol.second)
            for (Point &q : placed.strokes[i]) {
                const double x = (q.x - cx) * s, y = (q.y - cy) * s;
                q = {cx + dx + x * std::cos(a) - y * std::sin(a),
                     cy + dy + x * std::sin(a) + y * std::cos(a)};
            }
    }
    // Slant, wobble and jitter, then sampled like a mouse at canvas resolution.
    const double slant = uniform(-0.25, 0.25);
    const double pixels = uniform(1.6, 3.2);
    std::normal_distribution<double> jitter(0, 0.25);
    std::vector<Stroke> strokes;
    for (Stroke &s : placed.strokes) {
        const double amp = uniform(0, 0.5), freq = uniform(0.1, 0.3), px = uniform(0, 6.3),
                     py = uniform(0, 6.3);
        Stroke dense;
        double along = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (i > 0)
                along += std::hypot(s[i].x - s[i - 1].x, s[i].y - s[i - 1].y);
            Point q = s[i];
            q.x += amp * std::sin(freq * along + px) + jitter(rng) - slant * q.y;
            q.y += amp * std::sin(freq * along + py) + jitter(rng);
            dense.push_back({40 + q.x * pixels, 150 + q.y * pixels});
        }
        Stroke sampled{dense.front()};
        const double step = uniform(2, 6);
        double carried = 0;
        for (std::size_t i = 1; i < dense.size(); ++i) {
            Point a = dense[i - 1];
            const Point b = dense[i];
            double d = std::hypot(b.x - a.x, b.y - a.y);
            while (carried + d >= step) {
                const double t = (step - carried) / d;
                a = {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
                sampled.push_back(a);
                d = std::hypot(b.x - a.x, b.y - a.y);
                carried = 0;
            }
            carried += d;
        }
        if (dense.size() > 1)
            sampled.push_back(dense.back());
        Stroke rounded;
        for (const Point &q : sampled) {
            const Point r{std::round(q.x), std::round(q.y)};
            if (rounded.empty() || r.x != rounded.back().x || r.y != rounded.back().y)
                rounded.push_back(r);
        }
        strokes.push_back(rounded);
    }

    // Writing order: strokes of a symbol shuffled and sometimes reversed; symbols now and
    // then written out of reading order.
    std::vector<std::size_t> order(placed.symbols.size());
    std::iota(order.begin(), order.end(), 0);
    if (uniform(0, 1) < 0.25)
        std::shuffle(order.begin(), order.end(), rng);
    Sample sample;
    sample.tex = texOf(formula);
    sample.font = fontNames[f];
    for (std::size_t k : order) {
        std::vector<int> indices = placed.symbols[k].second;
        std::shuffle(indices.begin(), indices.end(), rng);
        std::vector<int> now;
        for (int i : indices) {
            Stroke s = strokes[i];
            if (uniform(0, 1) < 0.3)
                std::reverse(s.begin(), s.end());
            now.push_back(static_cast<int>(sample.strokes.size()));
            sample.strokes.push_back(s);
        }
        sample.symbols.push_back({placed.symbols[k].first, now});
    }
    return sample;
}

} // namespace quenmo
