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

FormulaGenerator::FormulaGenerator(unsigned seed, std::vector<std::string> fontPaths,
                                   std::vector<std::string> greekPaths)
    : rng(seed) {
    for (const std::string &path : fontPaths) {
        HersheyFont f;
        if (f.load(path)) {
            fonts.push_back(std::move(f));
            fontNames.push_back(path.substr(path.find_last_of('/') + 1));
        }
    }
    for (const std::string &path : greekPaths) {
        HersheyFont f;
        if (f.load(path))
            greeks.push_back(std::move(f));
    }
    if (fonts.size() != fontPaths.size() || greeks.size() != greekPaths.size())
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
const char *const greekLetters[] = {"\\beta", "\\pi", "\\theta"};

char greekPlace(const std::string &label) {
    if (label == "\\beta")
        return 'b';
    if (label == "\\pi")
        return 'p';
    if (label == "\\theta")
        return 'h';
    return 0;
}

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
        const char place = greekPlace(label);
        const HersheyFont::Glyph &g = place ? greek->glyph(place) : font->glyph(label[0]);
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
        if (barFirst)
            out.add(bar, 0, 0);
        out.add(num, bearing + (barWidth - num.width) / 2 + uniform(-1, 1) * scale,
                barY - std::fabs(tilt) - uniform(2.5, 4.5) * scale - num.bottom);
        if (!barFirst)
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


Node FormulaGenerator::mouseAtom() {
    const double r = uniform(0, 1);
    const bool hasGreek = greek != nullptr;
    auto letter = [&]() {
        return hasGreek && uniform(0, 1) < 0.3 ? sym(greekLetters[pick(3)]) : sym(letters[pick(7)]);
    };
    if (r < 0.3)
        return sym(std::to_string(pick(10)));
    if (r < 0.42)
        return seq({sym(std::to_string(1 + pick(9))), sym(std::to_string(pick(10)))});
    if (r < 0.82)
        return letter();
    return seq({sym(std::to_string(2 + pick(8))), letter()});
}

Node FormulaGenerator::mouseSum(int terms) {
    static const char *const ops[] = {"+", "-", "+"};
    std::vector<Node> items;
    for (int i = 0; i < terms; ++i) {
        if (i > 0)
            items.push_back(sym(ops[pick(3)]));
        if (uniform(0, 1) < 0.25) {
            Node n;
            n.type = Node::Script;
            n.items = {sym(letters[pick(7)]), seq({}), seq({})};
            if (uniform(0, 1) < 0.5) {
                n.items[2] = seq({sym(std::to_string(2 + pick(2)))});
                n.hasSup = true;
            } else {
                n.items[1] = seq({sym(std::to_string(1 + pick(3)))});
                n.hasSub = true;
            }
            items.push_back(n);
        } else {
            items.push_back(mouseAtom());
        }
    }
    return seq(items);
}

Node FormulaGenerator::mouseTerm(int depth) {
    const double r = uniform(0, 1);
    if (r < 0.22)
        return mouseAtom();
    if (r < 0.36) {
        // Indices: digits, n, and now and then n+1.
        Node n;
        n.type = Node::Script;
        const double b = uniform(0, 1);
        Node base = greek && b < 0.2 ? sym(greekLetters[pick(3)]) : sym(letters[pick(7)]);
        const double i = uniform(0, 1);
        Node index = i < 0.6   ? sym(std::to_string(pick(10)))
                     : i < 0.85 ? sym("n")
                                : seq({sym("n"), sym(uniform(0, 1) < 0.5 ? "+" : "-"), sym("1")});
        n.items = {base, seq({index}), seq({})};
        n.hasSub = true;
        return n;
    }
    if (r < 0.5) {
        Node n;
        n.type = Node::Script;
        const double b = uniform(0, 1);
        Node base = b < 0.5   ? sym(letters[pick(7)])
                    : b < 0.7 ? sym(std::to_string(1 + pick(9)))
                    : b < 0.8 && greek ? sym(greekLetters[pick(3)])
                    : depth == 0 ? seq({sym("("), mouseSum(2), sym(")")})
                                 : sym(letters[pick(7)]);
        const double e = uniform(0, 1);
        Node exponent = e < 0.7    ? sym(std::to_string(2 + pick(8)))
                        : e < 0.85 ? sym(letters[pick(7)])
                                   : seq({sym(std::to_string(1 + pick(9))), sym(std::to_string(pick(10)))});
        n.items = {base, seq({}), seq({exponent})};
        n.hasSup = true;
        return n;
    }
    if (r < 0.7 && depth == 0) {
        // Two-line fractions: a sum above or below the bar.
        Node n;
        n.type = Node::Frac;
        const int up = 1 + pick(3), down = up == 1 ? 2 + pick(2) : 1 + pick(3);
        n.items = {mouseSum(up), mouseSum(down)};
        return n;
    }
    if (r < 0.86 && depth == 0) {
        Node n;
        n.type = Node::Root;
        n.items = {mouseSum(2 + pick(2))};
        return n;
    }
    if (r < 0.93 && depth == 0)
        return seq({sym("("), mouseSum(2), sym(")")});
    return mouseAtom();
}

Node FormulaGenerator::mouseExpression(int depth) {
    static const char *const ops[] = {"+", "-", "\\times", "\\div", "=", "<", ">", "=", "+"};
    const int terms = 2 + pick(3);
    std::vector<Node> items;
    for (int i = 0; i < terms; ++i) {
        if (i > 0)
            items.push_back(sym(ops[pick(9)]));
        items.push_back(mouseTerm(depth));
    }
    return seq(items);
}

// Mouse samples arrive at a steady rate while the hand moves at its own, uneven pace:
// slow at the ends, fast in the middle, and faster or slower from stroke to stroke.
Stroke FormulaGenerator::mouseTrace(const Stroke &path, double speed) {
    std::vector<double> along{0};
    for (std::size_t i = 1; i < path.size(); ++i)
        along.push_back(along.back() +
                        std::hypot(path[i].x - path[i - 1].x, path[i].y - path[i - 1].y));
    const double length = along.back();
    const double duration = speed * (40 + 18 * std::sqrt(length));
    const double tick = uniform(0, 1) < 0.5 ? 8 : 16;
    const double wave = uniform(-0.7, 0.7), phase = uniform(0, 6.3);
    std::normal_distribution<double> tremor(0, 0.4);
    auto at = [&](double u) {
        const double d = u * length;
        std::size_t k = 1;
        while (k + 1 < path.size() && along[k] < d)
            ++k;
        if (path.size() == 1)
            return path[0];
        const double span = along[k] - along[k - 1];
        const double t = span > 0 ? std::clamp((d - along[k - 1]) / span, 0.0, 1.0) : 1.0;
        return Point{path[k - 1].x + t * (path[k].x - path[k - 1].x),
                     path[k - 1].y + t * (path[k].y - path[k - 1].y)};
    };
    Stroke out;
    auto add = [&](Point p) {
        p = {std::round(p.x + tremor(rng)), std::round(p.y + tremor(rng))};
        if (out.empty() || p.x != out.back().x || p.y != out.back().y)
            out.push_back(p);
    };
    add(path.front());
    for (double t = tick * uniform(0.2, 1); t < duration; t += tick * uniform(0.8, 1.2)) {
        const double tau = t / duration;
        double u = tau * tau * tau * (10 - 15 * tau + 6 * tau * tau);
        u += wave * std::sin(2 * M_PI * u + phase) / (2 * M_PI) -
             wave * std::sin(phase) / (2 * M_PI) * (1 - u) -
             wave * std::sin(2 * M_PI + phase) / (2 * M_PI) * u;
        add(at(std::clamp(u, 0.0, 1.0)));
    }
    add(path.back());
    return out;
}

FormulaGenerator::Sample FormulaGenerator::nextMouse(int minStrokes, int maxStrokes) {
    const std::size_t f = static_cast<std::size_t>(pick(static_cast<int>(fonts.size())));
    font = &fonts[f];
    greek = greeks.empty() ? nullptr : &greeks[f];
    Node formula;
    Placed placed;
    for (;;) {
        formula = mouseExpression(0);
        barFirst = uniform(0, 1) < 0.35;
        placed = place(formula, 1.0);
        barFirst = false;
        const int n = static_cast<int>(placed.strokes.size());
        if (n >= minStrokes && n <= maxStrokes)
            break;
    }

    // Each symbol a little off in size, angle and position; the line drifts up and down.
    // Slant leans the letters; the writer keeps numerators over their bars and bodies under
    // their roots, so the layout leans much less.
    const double slant = uniform(-0.3, 0.3), turn = uniform(-0.04, 0.04);
    const double drift = uniform(0, 2), driftFreq = uniform(0.005, 0.02), driftPhase = uniform(0, 6.3);
    for (auto &symbol : placed.symbols) {
        double cx = 0, cy = 0, count = 0, left = 1e9, right = -1e9;
        for (int i : symbol.second)
            for (const Point &q : placed.strokes[i]) {
                cx += q.x;
                cy += q.y;
                ++count;
                left = std::min(left, q.x);
                right = std::max(right, q.x);
            }
        cx /= count;
        cy /= count;
        const double s = uniform(0.88, 1.12),
                     a = uniform(-0.08, 0.08) * std::min(1.0, 25 / std::max(1.0, right - left));
        const double dx = uniform(-1, 1), dy = uniform(-1, 1) + drift * std::sin(driftFreq * cx + driftPhase);
        for (int i : symbol.second)
            for (Point &q : placed.strokes[i]) {
                const double x = (q.x - cx) * s, y = (q.y - cy) * s;
                const double ry = x * std::sin(a) + y * std::cos(a);
                q = {cx + dx + x * std::cos(a) - y * std::sin(a) - slant * ry, cy + dy + ry};
            }
    }
    const double digitHeight = std::exp(uniform(std::log(20.0), std::log(200.0)));
    const double pixels = digitHeight / 21;
    const double speed = uniform(0.6, 1.6);
    std::vector<Stroke> strokes;
    for (const Stroke &s : placed.strokes) {
        const double amp = uniform(0, 0.4), freq = uniform(0.1, 0.3), px = uniform(0, 6.3),
                     py = uniform(0, 6.3);
        Stroke path;
        double along = 0;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (i > 0)
                along += std::hypot(s[i].x - s[i - 1].x, s[i].y - s[i - 1].y);
            double x = s[i].x + amp * std::sin(freq * along + px) - 0.3 * slant * s[i].y;
            double y = s[i].y + amp * std::sin(freq * along + py);
            const double rx = x * std::cos(turn) - y * std::sin(turn);
            const double ry = x * std::sin(turn) + y * std::cos(turn);
            path.push_back({rx * pixels, ry * pixels});
        }
        strokes.push_back(path);
    }
    // On the canvas, a margin from its top left corner.
    double minX = 1e18, minY = 1e18;
    for (const Stroke &s : strokes)
        for (const Point &q : s) {
            minX = std::min(minX, q.x);
            minY = std::min(minY, q.y);
        }
    for (Stroke &s : strokes) {
        for (Point &q : s)
            q = {q.x - minX + 20, q.y - minY + 20};
        s = mouseTrace(s, speed);
    }

    // Written in reading order, each glyph's strokes in the font's order and direction; now
    // and then the strokes of a glyph come the other way round.
    Sample sample;
    sample.tex = texOf(formula);
    sample.font = fontNames[f];
    sample.digitHeight = digitHeight;
    for (const auto &symbol : placed.symbols) {
        std::vector<int> indices = symbol.second;
        if (indices.size() > 1 && uniform(0, 1) < 0.15)
            std::reverse(indices.begin(), indices.end());
        std::vector<int> now;
        for (int i : indices) {
            now.push_back(static_cast<int>(sample.strokes.size()));
            sample.strokes.push_back(strokes[i]);
        }
        sample.symbols.push_back({symbol.first, now});
    }
    return sample;
}

} // namespace quenmo
