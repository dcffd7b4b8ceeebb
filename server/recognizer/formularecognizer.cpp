#include "formularecognizer.h"

#include "symbolclassifier.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <numeric>

namespace quenmo {

namespace {

using Box = FormulaRecognizer::Box;
using Symbol = FormulaRecognizer::Symbol;

Box boxOf(const Stroke &s)
{
    Box b {s[0].x, s[0].y, s[0].x, s[0].y};
    for (const Point &p : s) {
        b.left = std::min(b.left, p.x);
        b.right = std::max(b.right, p.x);
        b.top = std::min(b.top, p.y);
        b.bottom = std::max(b.bottom, p.y);
    }
    return b;
}

Box united(const Box &a, const Box &b)
{
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
        std::max(a.bottom, b.bottom)};
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// Drops samples closer than `spacing` to the last kept one; enough for proximity tests.
Stroke thinned(const Stroke &s, double spacing)
{
    Stroke out {s.front()};
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (std::hypot(s[i].x - out.back().x, s[i].y - out.back().y) >= spacing
            || i + 1 == s.size())
            out.push_back(s[i]);
    }
    return out;
}

double pointSegment(const Point &p, const Point &a, const Point &b)
{
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double cross(const Point &o, const Point &a, const Point &b)
{
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double segmentDistance(const Point &a, const Point &b, const Point &c, const Point &d)
{
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0)))
        return 0;
    return std::min(std::min(pointSegment(a, c, d), pointSegment(b, c, d)),
        std::min(pointSegment(c, a, b), pointSegment(d, a, b)));
}

double strokeDistance(const Stroke &a, const Stroke &b, double enough)
{
    double best = 1e300;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Point &a0 = a[i];
        const Point &a1 = a[i + 1 < a.size() ? i + 1 : i];
        for (std::size_t j = 0; j < b.size(); ++j) {
            const Point &b0 = b[j];
            const Point &b1 = b[j + 1 < b.size() ? j + 1 : j];
            best = std::min(best, segmentDistance(a0, a1, b0, b1));
            if (best <= enough)
                return best;
        }
    }
    return best;
}

// Every sample close to the chord: a line, not a root sign or a flat curve. The chord runs to
// the sample farthest from the start, as a bar drawn back over itself ends where it began.
bool straight(const Stroke &s, double tolerance)
{
    const Point &a = s.front();
    Point b = a;
    double len = 0;
    for (const Point &p : s) {
        const double d = std::hypot(p.x - a.x, p.y - a.y);
        if (d > len) {
            len = d;
            b = p;
        }
    }
    if (len <= 0)
        return false;
    for (const Point &p : s)
        if (std::fabs(cross(a, b, p)) / len > std::min(0.12 * len, tolerance) + 1)
            return false;
    return true;
}

// A stroke that dips on its left and whose right part runs along its top: a root sign.
bool roofed(const Stroke &s, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0 || s.size() < 3)
        return false;
    bool dips = false;
    double roofStart = box.right;
    for (std::size_t i = 1; i < s.size(); ++i) {
        // Along the segments: a mouse leaves few samples on a long line.
        for (int k = 0; k <= 8; ++k) {
            const Point p {s[i - 1].x + k / 8.0 * (s[i].x - s[i - 1].x),
                s[i - 1].y + k / 8.0 * (s[i].y - s[i - 1].y)};
            if (p.x < box.left + 0.5 * box.width() && p.y > box.top + 0.6 * box.height())
                dips = true;
            if (p.x < box.left + 0.6 * box.width())
                continue;
            if (p.y > box.top + 0.2 * box.height())
                return false;
            roofStart = std::min(roofStart, p.x);
        }
    }
    return dips && roofStart < box.left + 0.7 * box.width();
}

// Where a root sign reaches lowest, left of its roof: its body starts to the right of that.
double footOf(const Stroke &s)
{
    const Box box = boxOf(s);
    Point foot = s.front();
    for (const Point &p : s)
        if (p.x < box.left + 0.6 * box.width() && p.y > foot.y)
            foot = p;
    return foot.x + 0.05 * box.width();
}

struct UnionFind {
    std::vector<int> parent;
    explicit UnionFind(std::size_t n)
        : parent(n)
    {
        std::iota(parent.begin(), parent.end(), 0);
    }
    int find(int i) { return parent[i] == i ? i : parent[i] = find(parent[i]); }
    void join(int a, int b) { parent[find(a)] = find(b); }
};

// Long: as tall as a digit and descending below the line as well, like a beta.
enum class Kind {
    Digit,
    Small,
    Tall,
    Descender,
    Long,
    OpenParen,
    CloseParen,
    Operator,
    Root,
    Bar,
    Dot
};

Kind kindOf(const std::string &label)
{
    if (label.size() == 1 && label[0] >= '0' && label[0] <= '9')
        return Kind::Digit;
    if (label == "b" || label == "\\theta")
        return Kind::Tall;
    if (label == "y")
        return Kind::Descender;
    if (label == "\\beta")
        return Kind::Long;
    if (label == "a" || label == "c" || label == "n" || label == "x" || label == "z"
        || label == "\\pi")
        return Kind::Small;
    if (label == "(")
        return Kind::OpenParen;
    if (label == ")")
        return Kind::CloseParen;
    if (label == "\\sqrt")
        return Kind::Root;
    if (label == "-")
        return Kind::Bar;
    if (label == ".")
        return Kind::Dot;
    return Kind::Operator;
}

// Script hands write z with a long tail below the line, like y.
Kind kindOf(const Symbol &s)
{
    if (s.label == "z" && (s.tail || s.box.height() > 1.3 * s.box.width()))
        return Kind::Descender;
    // Until its neighbours say otherwise a cross is placed like the letter x.
    if (s.label == "\\times")
        return Kind::Small;
    return kindOf(s.label);
}

// A piece of the layout: a symbol, or a fraction or root built from several.
struct Unit {
    Box box;
    std::string tex;
    std::string label; // the symbol's label; empty for built pieces
    Kind kind = Kind::Operator;
    double axis = 0; // the line's middle, where + and fraction bars sit
    double baseline = 0; // where the unit's line stands
    double height = 0; // the height of digits on the unit's line
    // A letter's own size tells the digit height of its line only roughly: script hands write
    // small letters less than half as tall as digits. The tallest line it may stand on:
    double span = 0;
    // Where a descender's line stands depends on the hand; the highest and lowest guesses.
    double highBaseline = 0, lowBaseline = 0;
    bool axial = false; // placed by its middle (operators, fractions), not by a baseline
    bool bars = false; // a cross of two straight strokes, as a times sign is written
};

bool takesScripts(const Unit &u)
{
    return u.kind == Kind::Digit || u.kind == Kind::Small || u.kind == Kind::Tall
        || u.kind == Kind::Descender || u.kind == Kind::Long || u.kind == Kind::CloseParen
        || u.kind == Kind::Root;
}

bool isCommandEnd(const std::string &tex)
{
    if (tex.empty() || !std::isalpha(static_cast<unsigned char>(tex.back())))
        return false;
    std::size_t i = tex.size();
    while (i > 0 && std::isalpha(static_cast<unsigned char>(tex[i - 1])))
        --i;
    return i > 0 && tex[i - 1] == '\\';
}

void appendTex(std::string &out, const std::string &piece)
{
    if (piece.empty())
        return;
    if (isCommandEnd(out) && std::isalpha(static_cast<unsigned char>(piece.front())))
        out += ' ';
    out += piece;
}

std::string scriptGroup(const std::string &tex)
{
    if (tex.size() == 1)
        return tex;
    return "{" + tex + "}";
}

class Layout
{
public:
    Layout(const std::vector<Symbol> &symbols, double lineHeight)
        : symbols(symbols)
        , lineHeight(lineHeight)
    { }

    std::string region(const std::vector<int> &members) const;

private:
    Unit symbolUnit(const Symbol &s) const;
    std::vector<int> rootBody(
        int root, const std::vector<int> &members, const std::vector<bool> &used) const;
    std::string line(std::vector<Unit> units) const;

    const std::vector<Symbol> &symbols;
    double lineHeight;
};

Unit Layout::symbolUnit(const Symbol &s) const
{
    Unit u;
    u.box = s.box;
    u.label = s.label;
    u.tex = s.label;
    u.kind = kindOf(s);
    u.bars = s.bars;
    const double h = s.box.height();
    switch (u.kind) {
    case Kind::Digit:
    case Kind::Tall:
        u.height = h;
        u.baseline = s.box.bottom;
        break;
    case Kind::Small:
        u.height = h / 0.6;
        u.span = h / 0.45;
        u.baseline = s.box.bottom;
        break;
    case Kind::Long:
        u.height = 0.75 * h;
        u.baseline = s.box.top + 0.75 * h;
        break;
    case Kind::Descender:
        u.height = h;
        u.baseline = s.box.top + 0.55 * h;
        u.highBaseline = s.box.top + 0.43 * h;
        u.lowBaseline = s.box.top + 0.67 * h;
        break;
    case Kind::OpenParen:
    case Kind::CloseParen:
        u.height = h / 1.2;
        u.baseline = s.box.bottom - 0.1 * h;
        break;
    case Kind::Root:
        u.height = 0.8 * h;
        u.baseline = s.box.bottom - 0.05 * h;
        break;
    default:
        u.height = lineHeight;
        u.axial = true;
        u.axis = s.box.centerY();
        u.baseline = u.axis + lineHeight / 2;
        break;
    }
    if (u.height <= 0)
        u.height = lineHeight;
    if (!u.axial)
        u.axis = u.baseline - u.height / 2;
    if (u.kind != Kind::Descender)
        u.highBaseline = u.lowBaseline = u.baseline;
    return u;
}

enum class Relation { Same, Above, Below };

Relation relation(const Unit &base, const Unit &u)
{
    const double h = base.height;
    if (u.axial || base.axial) {
        const double rel = (u.axis - base.axis) / h;
        if (rel < -0.4)
            return Relation::Above;
        if (rel > 0.4)
            return Relation::Below;
        return Relation::Same;
    }
    // Scripts are told by their baselines: a raised one is a power, a lowered one whose
    // middle is below the base's middle an index.
    const double drop = (u.baseline - base.baseline) / h;
    if (drop < -0.3)
        return Relation::Above;
    const bool smaller = u.height < 0.85 * std::max(base.height, base.span);
    // A descender's tail says nothing about where its index starts.
    const double middle = base.kind == Kind::Descender ? (base.box.top + base.highBaseline) / 2
                                                       : base.box.centerY();
    const bool lower = u.box.centerY() > middle;
    if (lower && drop > 0.5)
        return Relation::Below;
    // Lowered by a third of a line, a script need not look much smaller: a letter's size tells
    // its line's height only roughly.
    if (lower && drop > 0.3 && u.height < std::max(base.height, base.span))
        return Relation::Below;
    // A smaller symbol is an index if it is lowered whatever hand wrote the base; where a
    // descender's line stands is less sure.
    double lowered = u.kind == Kind::Descender ? 0.2 : 0.12;
    // A digit rarely takes an index: a letter after it sits a little low more often.
    if (base.kind == Kind::Digit && u.kind != Kind::Digit)
        lowered += 0.1;
    if (lower && smaller && (u.lowBaseline - base.highBaseline) / h > lowered)
        return Relation::Below;
    return Relation::Same;
}

struct Node {
    Unit unit;
    std::vector<std::unique_ptr<Node>> sub, sup;
};

using Line = std::vector<std::unique_ptr<Node>>;

bool isOperand(const Node *n)
{
    if (!n)
        return false;
    const Kind k = n->unit.kind;
    return k == Kind::Digit || k == Kind::Small || k == Kind::Tall || k == Kind::Descender
        || k == Kind::Long || k == Kind::CloseParen || k == Kind::Root || n->unit.label.empty();
}

bool startsOperand(const Node *n)
{
    if (!n)
        return false;
    const Kind k = n->unit.kind;
    return k == Kind::Digit || k == Kind::OpenParen || k == Kind::Root || k == Kind::Small
        || k == Kind::Tall || k == Kind::Descender || k == Kind::Long || n->unit.label.empty();
}

std::string lineTex(Line &nodes)
{
    // A cross between two operands that floats above their baseline is a times sign;
    // anywhere else it is the letter x.
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        Unit &u = nodes[i]->unit;
        if (u.label != "x" && u.label != "\\times")
            continue;
        const Node *prev = i > 0 ? nodes[i - 1].get() : nullptr;
        const Node *next = i + 1 < nodes.size() ? nodes[i + 1].get() : nullptr;
        bool times = isOperand(prev) && startsOperand(next) && nodes[i]->sub.empty()
            && nodes[i]->sup.empty();
        if (times) {
            double baseline = 0, height = 0;
            int count = 0;
            for (const Node *n : {prev, next}) {
                // A root's sign dips below the line and rises over its body: no measure.
                if (!n->unit.axial && n->unit.kind != Kind::Descender
                    && n->unit.kind != Kind::Root) {
                    baseline += n->unit.baseline;
                    height += n->unit.height;
                    ++count;
                }
            }
            // Placed as a sign already when the line was read.
            if (u.kind == Kind::Operator && u.axial)
                times = true;
            else if (count > 0)
                times = u.box.bottom < (baseline - (u.bars ? 0.02 : 0.1) * height) / count;
            else
                times = u.label == "\\times";
        }
        u.label = u.tex = times ? "\\times" : "x";
        u.kind = times ? Kind::Operator : Kind::Small;
    }
    std::string out;
    for (auto &n : nodes) {
        std::string piece = n->unit.tex;
        if (!n->sub.empty())
            piece += "_" + scriptGroup(lineTex(n->sub));
        if (!n->sup.empty())
            piece += "^" + scriptGroup(lineTex(n->sup));
        appendTex(out, piece);
    }
    return out;
}

std::string Layout::line(std::vector<Unit> units) const
{
    std::sort(units.begin(), units.end(),
        [](const Unit &a, const Unit &b) { return a.box.left < b.box.left; });
    Line main;
    std::vector<Line *> stack {&main};
    for (Unit &u : units) {
        auto node = std::make_unique<Node>();
        node->unit = u;
        if (stack.back()->empty()) {
            stack.back()->push_back(std::move(node));
            continue;
        }
        bool placed = false;
        // A cross that is not raised like a letter may be a times sign on an outer line.
        if (u.label == "x" || u.label == "\\times") {
            const Unit &last = stack.back()->back()->unit;
            // An index takes no exponent of its own, so a cross raised over it stands on
            // an outer line.
            const bool index
                = stack.size() > 1 && stack.back() == &stack[stack.size() - 2]->back()->sub;
            const bool bracket
                = last.kind == Kind::CloseParen || last.kind == Kind::Root || last.axial || index;
            // An exponent floats higher than the middle of a times sign; a letter's size tells
            // the height of the line only roughly, so two bars may float a little higher.
            const bool middling
                = u.box.centerY() > last.baseline - (u.bars ? 0.75 : 0.55) * last.height;
            if (bracket || middling || relation(last, u) != Relation::Above) {
                Unit sign = u;
                sign.axial = true;
                sign.axis = u.box.centerY();
                for (std::size_t level = 0; level < stack.size() && !placed; ++level) {
                    const Unit &prev = stack[level]->back()->unit;
                    if (relation(prev, sign) != Relation::Same)
                        continue;
                    // Raised above the operand before it, it is a sign and takes no scripts.
                    // After a fraction: level with its bar.
                    const bool operand = takesScripts(prev) || prev.label.empty();
                    // Two bars need less room under them; over a descender, the highest
                    // guess of its line.
                    const bool raised = prev.axial
                        ? prev.label.empty() && std::fabs(sign.axis - prev.axis) < 0.3 * prev.height
                        : u.bars ? operand && u.box.bottom < prev.highBaseline - 0.02 * prev.height
                                 : operand && prev.kind != Kind::Descender
                            && u.box.bottom < prev.baseline - 0.1 * prev.height;
                    if (raised) {
                        node->unit = sign;
                        node->unit.kind = Kind::Operator;
                    }
                    stack.resize(level + 1);
                    stack.back()->push_back(std::move(node));
                    placed = true;
                }
            }
        }
        // A sign level with an outer line's middle goes on that line, not on a script's; a
        // full-size one a little off it too: signs of an index are written smaller.
        for (std::size_t level = 0; u.axial && level + 1 < stack.size() && !placed; ++level) {
            const Unit &base = stack[level]->back()->unit;
            // A descender's middle is that of its part above the line.
            const double middle
                = base.kind == Kind::Descender ? (base.box.top + base.baseline) / 2 : base.axis;
            const double off = std::fabs(u.axis - middle) / base.height;
            const double size = std::max(u.box.width(), u.box.height()) / lineHeight;
            if (takesScripts(base) && relation(base, u) == Relation::Same
                && ((off < 0.15 && size > 0.6) || (off < 0.45 && size > 0.8))) {
                stack.resize(level + 1);
                stack.back()->push_back(std::move(node));
                placed = true;
            }
        }
        for (std::size_t level = stack.size(); !placed && level-- > 0;) {
            const Unit &base = stack[level]->back()->unit;
            // A script line goes on with symbols of its own size, not with a bracket that
            // closes around it.
            if (level > 0 && !u.axial && u.height > 1.3 * std::max(base.height, base.span))
                continue;
            if (relation(base, u) == Relation::Same) {
                stack.resize(level + 1);
                stack.back()->push_back(std::move(node));
                placed = true;
                break;
            }
        }
        if (placed)
            continue;
        Node *base = stack.back()->back().get();
        if (!takesScripts(base->unit)) {
            stack.back()->push_back(std::move(node));
            continue;
        }
        const bool above = relation(base->unit, u) == Relation::Above;
        // Two bars left standing like the letter x after a root, a script or a descender, whose
        // baselines tell little: a letter lower after it but no narrower is no index, which is
        // written smaller, but the next operand, and the cross a times sign.
        const Kind next = u.kind;
        if (!above && base->unit.bars && (base->unit.label == "x" || base->unit.label == "\\times")
            && (next == Kind::Small || next == Kind::Tall || next == Kind::Descender
                || next == Kind::Long)
            && u.box.width() >= base->unit.box.width()) {
            base->unit.kind = Kind::Operator;
            base->unit.axial = true;
            base->unit.axis = base->unit.box.centerY();
            stack.back()->push_back(std::move(node));
            continue;
        }
        Line &target = above ? base->sup : base->sub;
        // A root has no index: what follows lower is on its line.
        if (!target.empty() || (!above && base->unit.kind == Kind::Root)) {
            // Scripts are only ever continued, never restarted.
            stack.back()->push_back(std::move(node));
            continue;
        }
        target.push_back(std::move(node));
        stack.push_back(&target);
    }
    return lineTex(main);
}

std::vector<int> Layout::rootBody(
    int root, const std::vector<int> &members, const std::vector<bool> &used) const
{
    const Symbol &s = symbols[root];
    const double hook = std::min(0.35 * s.box.width(), 0.4 * s.box.height());
    auto kindAt = [this](int m) { return kindOf(symbols[m].label); };
    auto isSign = [&](int m) {
        const Kind kind = kindAt(m);
        return kind == Kind::Operator || kind == Kind::Bar;
    };
    std::vector<int> inside, lower;
    for (int m : members) {
        const Box &b = symbols[m].box;
        if (used[m] || m == root)
            continue;
        // Tails and indices may hang past the roof's end, a slanted hand leaves the
        // last index of the body there; a sign after the root starts near that end.
        const Kind kind = kindAt(m);
        const bool sign = kind == Kind::Operator;
        const bool glyph = !sign && kind != Kind::Bar;
        const double overhang = sign ? -0.25 : 0.4;
        // A roof drawn a little short still covers a glyph that starts by its end, and
        // an index may hang below the sign's foot.
        const bool covered = b.centerX() < s.box.right + overhang * b.width();
        const bool underEnd = glyph && b.left < s.box.right + 0.15 * lineHeight;
        if (b.centerX() <= s.box.left + hook || !(covered || underEnd) || b.centerY() <= s.box.top)
            continue;
        if (b.top < s.box.bottom - 0.1 * s.box.height()
            || (glyph && b.height() < 0.8 * lineHeight && b.top < s.box.bottom + 0.2 * lineHeight))
            inside.push_back(m);
        else
            lower.push_back(m);
    }
    // A sign's foot may stop above the line its body stands on: what starts above that line
    // is under the roof too.
    std::vector<double> bottoms;
    for (int m : inside) {
        const Kind kind = kindAt(m);
        if (kind == Kind::Digit || kind == Kind::Small || kind == Kind::Tall)
            bottoms.push_back(symbols[m].box.bottom);
    }
    if (!bottoms.empty()) {
        const double baseline = median(bottoms);
        for (int m : lower)
            if (symbols[m].box.top < baseline + 0.1 * lineHeight
                && symbols[m].box.height() < lineHeight)
                inside.push_back(m);
    }
    auto rightmost = [&](const std::vector<int> &v) {
        return std::max_element(v.begin(), v.end(),
            [this](int a, int b) { return symbols[a].box.right < symbols[b].box.right; });
    };
    // The script of the body's last glyph may stand past the roof's end.
    const auto last = rightmost(inside);
    if (last != inside.end() && !isSign(*last) && kindAt(*last) != Kind::OpenParen) {
        const Box &t = symbols[*last].box;
        for (int m : members) {
            const Box &b = symbols[m].box;
            if (used[m] || m == root || isSign(m) || kindAt(m) == Kind::Root
                || std::find(inside.begin(), inside.end(), m) != inside.end())
                continue;
            if (b.left > t.left + 0.5 * t.width() && b.left < t.right + 0.5 * lineHeight
                && b.left < s.box.right + 0.3 * lineHeight && b.height() < 0.8 * lineHeight
                && (b.centerY() > t.bottom - 0.2 * t.height() || b.bottom < t.centerY())) {
                inside.push_back(m);
                break;
            }
        }
    }
    // A body never ends with a sign: one there follows the root.
    for (;;) {
        const auto end = rightmost(inside);
        if (end == inside.end())
            break;
        // (A cross may still be the letter x, unless a glyph level with it follows past the
        // roof.)
        if (symbols[*end].label == "\\times" || symbols[*end].bars) {
            const Box &x = symbols[*end].box;
            const bool followed = std::any_of(members.begin(), members.end(), [&](int m) {
                const Box &b = symbols[m].box;
                return !used[m] && m != root && !isSign(m) && b.left > s.box.right
                    && b.left < x.right + 0.6 * lineHeight && b.centerY() > x.top
                    && b.centerY() < x.bottom;
            });
            if (!followed)
                break;
        } else if (!isSign(*end)) {
            break;
        }
        inside.erase(end);
    }
    return inside;
}

std::string Layout::region(const std::vector<int> &members) const
{
    std::vector<int> order = members;
    std::sort(order.begin(), order.end(),
        [this](int a, int b) { return symbols[a].box.width() > symbols[b].box.width(); });
    std::vector<bool> used(symbols.size(), true);
    for (int m : members)
        used[m] = false;
    std::vector<Unit> units;
    for (int c : order) {
        if (used[c])
            continue;
        const Symbol &s = symbols[c];
        if (s.label == "\\sqrt") {
            const std::vector<int> inside = rootBody(c, members, used);
            used[c] = true;
            for (int m : inside)
                used[m] = true;
            Unit u = symbolUnit(s);
            u.tex = "\\sqrt{" + region(inside) + "}";
            units.push_back(u);
        } else if (s.label == "-") {
            std::vector<int> above, below;
            const double reach = 2.5 * lineHeight;
            for (int m : members) {
                const Box &b = symbols[m].box;
                if (used[m] || m == c)
                    continue;
                if (b.centerX() < s.box.left || b.centerX() > s.box.right)
                    continue;
                if (b.centerY() < s.box.centerY() && s.box.centerY() - b.bottom < reach)
                    above.push_back(m);
                else if (b.centerY() > s.box.centerY() && b.top - s.box.centerY() < reach)
                    below.push_back(m);
            }
            if (above.empty() || below.empty())
                continue;
            used[c] = true;
            Box box = s.box;
            for (int m : above) {
                used[m] = true;
                box = united(box, symbols[m].box);
            }
            for (int m : below) {
                used[m] = true;
                box = united(box, symbols[m].box);
            }
            Unit u;
            u.box = box;
            u.box.left = s.box.left;
            u.kind = Kind::Digit;
            u.tex = "\\frac{" + region(above) + "}{" + region(below) + "}";
            u.axis = s.box.centerY();
            u.height = lineHeight;
            u.axial = true;
            u.baseline = u.axis + lineHeight / 2;
            u.highBaseline = u.lowBaseline = u.baseline;
            units.push_back(u);
        }
    }
    for (int m : members) {
        if (!used[m] && symbols[m].label != ".")
            units.push_back(symbolUnit(symbols[m]));
    }
    return line(std::move(units));
}

} // namespace

namespace {

// Where a symbol's line stands and how tall its digits are, judged from the symbol alone.
bool lineOf(const Symbol &s, double &baseline, double &height)
{
    const double h = s.box.height();
    if (s.label == "\\times")
        return false;
    switch (kindOf(s)) {
    case Kind::Digit:
    case Kind::Tall:
        baseline = s.box.bottom;
        height = h;
        return true;
    case Kind::Small:
        baseline = s.box.bottom;
        height = h / 0.6;
        return true;
    case Kind::Descender:
        baseline = s.box.top + 0.55 * h;
        height = h;
        return true;
    case Kind::Long:
        baseline = s.box.top + 0.75 * h;
        height = 0.75 * h;
        return true;
    case Kind::OpenParen:
    case Kind::CloseParen:
        baseline = s.box.bottom - 0.1 * h;
        height = h / 1.2;
        return true;
    default:
        return false;
    }
}

bool isTallKind(Kind k)
{
    return k == Kind::Digit || k == Kind::Tall || k == Kind::OpenParen || k == Kind::CloseParen;
}

// The baseline and digit height of the symbols beside `s` on its line; false if none.
bool neighbourLine(
    const std::vector<Symbol> &symbols, std::size_t i, double &baseline, double &height)
{
    const Symbol &s = symbols[i];
    std::vector<std::pair<double, std::size_t>> near;
    for (std::size_t j = 0; j < symbols.size(); ++j) {
        const Symbol &t = symbols[j];
        double base = 0, h = 0;
        // A line much shorter than `s` is its index or exponent.
        if (j == i || !lineOf(t, base, h) || h < 0.7 * s.box.height())
            continue;
        const double overlap
            = std::min(s.box.bottom, t.box.bottom) - std::max(s.box.top, t.box.top);
        const double lower = std::min(s.box.height(), t.box.height());
        const double ratio = t.box.height() / std::max(1e-9, s.box.height());
        const double dx = std::fabs(t.box.centerX() - s.box.centerX());
        if (overlap < 0.7 * lower || ratio < 0.4 || ratio > 2.5
            || dx > 3 * std::max(s.box.height(), t.box.height()))
            continue;
        near.emplace_back(dx, j);
    }
    if (near.empty())
        return false;
    std::sort(near.begin(), near.end());
    baseline = height = 0;
    const std::size_t n = std::min<std::size_t>(4, near.size());
    for (std::size_t k = 0; k < n; ++k) {
        double bl = 0, h = 0;
        lineOf(symbols[near[k].second], bl, h);
        baseline += bl / static_cast<double>(n);
        height += h / static_cast<double>(n);
    }
    return true;
}

// Where the ink crosses the row `share` of a symbol's height down: the crossing furthest left
// or furthest right, as a share of its width (the far side when nothing crosses).
double rowCrossing(const std::vector<Stroke> &strokes, const Box &box, double share, bool right)
{
    const double y = box.top + share * box.height();
    double edge = right ? box.left : box.right;
    for (const Stroke &s : strokes) {
        for (std::size_t i = 1; i < s.size(); ++i) {
            const Point &a = s[i - 1], &b = s[i];
            if ((a.y - y) * (b.y - y) > 0 || a.y == b.y)
                continue;
            const double x = a.x + (y - a.y) / (b.y - a.y) * (b.x - a.x);
            edge = right ? std::max(edge, x) : std::min(edge, x);
        }
    }
    return (edge - box.left) / box.width();
}

// How far right the ink reaches in the upper middle of a symbol, as a share of its width:
// where a c is open and an a has its stem. Slant and wobble move it little.
double upperReach(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    double reach = 1;
    for (double share : {0.3, 0.35, 0.4})
        reach = std::min(reach, rowCrossing(strokes, box, share, true));
    return reach;
}

// How far right the ink reaches halfway down a symbol, as a share of its width: an a's stem
// stands there where a c is open.
double middleRight(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    return std::min(rowCrossing(strokes, box, 0.5, true), rowCrossing(strokes, box, 0.6, true));
}

// How far down from the top the ink starts in the middle of a symbol's crown, as a share of
// its height: a 9 is closed at the top, a y opens between its arms.
double crownDepth(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    const double band = box.top + 0.2 * box.height();
    double left = box.right, right = box.left;
    for (const Stroke &s : strokes) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            const Point &a = s[i], &b = s[i + 1 < s.size() ? i + 1 : i];
            for (double t : {0.0, 0.5}) {
                const Point p {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
                if (p.y <= band) {
                    left = std::min(left, p.x);
                    right = std::max(right, p.x);
                }
            }
        }
    }
    if (left > right)
        return 0;
    const double x = (left + right) / 2;
    double first = box.bottom;
    for (const Stroke &s : strokes) {
        for (std::size_t i = 1; i < s.size(); ++i) {
            const Point &a = s[i - 1], &b = s[i];
            if ((a.x - x) * (b.x - x) > 0 || a.x == b.x)
                continue;
            first = std::min(first, a.y + (x - a.x) / (b.x - a.x) * (b.y - a.y));
        }
    }
    return (first - box.top) / box.height();
}

// How much of a symbol's width the ink covers in its top or bottom band: a pi's bar spans
// the top, the arch of an n leaves its corners open.
double bandCover(const std::vector<Stroke> &strokes, const Box &box, bool top)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    constexpr int bins = 20;
    bool hit[bins] = {};
    const double band = top ? box.top + 0.15 * box.height() : box.bottom - 0.15 * box.height();
    for (const Stroke &s : strokes) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            const Point &a = s[i], &b = s[i + 1 < s.size() ? i + 1 : i];
            for (int k = 0; k <= 8; ++k) {
                const double x = a.x + k / 8.0 * (b.x - a.x), y = a.y + k / 8.0 * (b.y - a.y);
                if (top ? y <= band : y >= band)
                    hit[std::clamp(
                        static_cast<int>((x - box.left) / box.width() * bins), 0, bins - 1)]
                        = true;
            }
        }
    }
    return static_cast<double>(std::count(hit, hit + bins, true)) / bins;
}

// Where the ink furthest right crosses a line a little below the top of a symbol, as a share
// of its width: a 5 leaves its top bar down its stem on the left, a 3 down its bow or
// diagonal on the right.
double topRightCrossing(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    return rowCrossing(strokes, box, 0.22, true);
}

// How far in the ink starts on the left halfway down: an a's bowl is closed there, the arcs
// of an italic x cross in the middle.
double middleLeft(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    return std::min(rowCrossing(strokes, box, 0.5, false), rowCrossing(strokes, box, 0.6, false));
}

// The mean run of the ink across the middle band of a symbol, left per unit down: about -1
// on the diagonal of a z, near 0 on the upright arcs of an italic x.
double middleRun(const std::vector<Stroke> &strokes, const Box &box)
{
    const double low = box.top + 0.35 * box.height(), high = box.top + 0.65 * box.height();
    double across = 0, down = 0;
    for (const Stroke &s : strokes) {
        for (std::size_t i = 1; i < s.size(); ++i) {
            const Point &a = s[i - 1], &b = s[i];
            const double y = (a.y + b.y) / 2;
            if (y < low || y > high)
                continue;
            across += b.y >= a.y ? b.x - a.x : a.x - b.x;
            down += std::fabs(b.y - a.y);
        }
    }
    return down > 0 ? across / down : 0;
}

// How far down the ink reaches furthest right in the upper half of a symbol, as a share of
// its height: a z's diagonal leaves its top bar at the corner, a 2's bow bulges out lower.
double cornerDepth(const std::vector<Stroke> &strokes, const Box &box)
{
    if (box.width() <= 0 || box.height() <= 0)
        return 0;
    double right = box.left, depth = 0;
    for (const Stroke &s : strokes) {
        for (std::size_t i = 0; i < s.size(); ++i) {
            const Point &a = s[i], &b = s[i + 1 < s.size() ? i + 1 : i];
            for (int k = 0; k <= 8; ++k) {
                const double x = a.x + k / 8.0 * (b.x - a.x), y = a.y + k / 8.0 * (b.y - a.y);
                if (y <= box.top + 0.55 * box.height() && x > right) {
                    right = x;
                    depth = (y - box.top) / box.height();
                }
            }
        }
    }
    return depth;
}

// The share of a symbol's height that its longest straight stroke spans: a b drawn with its
// stem apart, where a 6 or a 0 has only arcs; a z's diagonal drawn apart. Straight within
// `bend` of the symbol's height.
double stemShare(const std::vector<Stroke> &strokes, const Box &box, double bend = 0.05)
{
    double share = 0;
    for (const Stroke &s : strokes)
        if (s.size() >= 2 && box.height() > 0 && straight(s, bend * box.height()))
            share = std::max(share, boxOf(s).height() / box.height());
    return share;
}

// Straight flat strokes of their own across the top and across the foot of a symbol: a z
// written bar by bar. An x has none, whether of bars or of arcs.
bool barsAtTopAndFoot(const std::vector<Stroke> &strokes, const Box &box)
{
    if (strokes.size() < 3 || box.width() <= 0 || box.height() <= 0)
        return false;
    bool top = false, foot = false;
    for (const Stroke &s : strokes) {
        const Box b = boxOf(s);
        if (b.width() < 0.5 * box.width() || b.height() > 0.25 * box.height()
            || !straight(s, 0.08 * box.height()))
            continue;
        top = top || b.centerY() < box.top + 0.3 * box.height();
        foot = foot || b.centerY() > box.bottom - 0.3 * box.height();
    }
    return top && foot;
}

// Pairs whose outlines lie close but whose build differs: the proportions, an open side or
// the run of a diagonal tell them apart.
void relabelByShape(Symbol &s, const std::vector<Stroke> &parts)
{
    const double aspect = s.box.height() / std::max(1e-9, s.box.width());
    auto relabel = [&s](const std::string &other) {
        s.alternatives.erase(
            std::remove(s.alternatives.begin(), s.alternatives.end(), other), s.alternatives.end());
        s.alternatives.insert(s.alternatives.begin(), s.label);
        s.label = other;
    };
    // The classifier also saw a cross in it.
    const bool crossNearby = std::any_of(s.alternatives.begin(), s.alternatives.end(),
        [](const std::string &a) { return a == "x" || a == "\\times"; });
    if (s.label == "3" || s.label == "5") {
        const bool five = topRightCrossing(parts, s.box) < 0.45;
        if (five != (s.label == "5"))
            relabel(five ? "5" : "3");
    } else if (s.label == "2") {
        // An italic z's top bar rises from its left like the hook of a 2.
        const double corner = cornerDepth(parts, s.box);
        // A diagonal drawn as a stroke of its own is a z's; a 2's bow runs into it. An italic
        // diagonal may bend a little at its ends.
        if ((corner < 0.02 && aspect < 1.15) || (corner < 0.055 && aspect < 0.88)
            || stemShare(parts, s.box, 0.1) >= 0.7)
            relabel("z");
    } else if ((s.label == "6" || s.label == "0") && stemShare(parts, s.box) >= 0.55) {
        relabel("b");
    } else if (s.label == "b" && aspect < 0.95) {
        // A b's stem rises well above its bowl.
        relabel("n");
    } else if (s.label == "a" && middleLeft(parts, s.box) > 0.3 && crossNearby) {
        relabel("x");
    } else if (s.label == "9" && aspect < 0.98) {
        relabel("a");
    } else if (s.label == "z" && aspect < 1.05 && middleRun(parts, s.box) > -0.3 && crossNearby
        && !barsAtTopAndFoot(parts, s.box)) {
        relabel("x");
    } else if (s.label == "x" && barsAtTopAndFoot(parts, s.box)) {
        relabel("z");
    }
}

// A stroke of its own across the top of a symbol of several strokes, like the bar of a pi.
bool barred(const std::vector<Stroke> &strokes, const Box &box)
{
    if (strokes.size() < 2 || box.width() <= 0 || box.height() <= 0)
        return false;
    for (const Stroke &s : strokes) {
        const Box b = boxOf(s);
        if (b.width() >= 0.75 * box.width() && b.height() <= 0.3 * box.height()
            && b.centerY() < box.top + 0.3 * box.height())
            return true;
    }
    return false;
}

// How much farther than its first choice the best letter may lie for a digit standing as a
// letter on its line.
constexpr float letterReach = 1.2f;

// Shapes alike in outline (z and 2, y and 9, c and the parenthesis)
// are told apart by their size and place against their neighbours on the line.
void resolveBySize(std::vector<Symbol> &symbols, const std::vector<Stroke> &strokes)
{
    std::vector<std::string> decided(symbols.size());
    for (std::size_t i = 0; i < symbols.size(); ++i) {
        const Symbol &s = symbols[i];
        const Kind kind = kindOf(s.label);
        if (kind == Kind::Operator || kind == Kind::Root)
            continue;
        double baseline = 0, height = 0;
        if (!neighbourLine(symbols, i, baseline, height))
            continue;
        const bool descends = s.box.bottom > baseline + 0.2 * height;
        const bool small = !descends && s.box.height() < 0.8 * height;
        auto fits = [&](const std::string &label) {
            const Kind k = kindOf(label);
            if (descends)
                return k == Kind::Descender || k == Kind::Long || label == "z";
            if (small)
                return k == Kind::Small;
            return isTallKind(k);
        };
        if (fits(s.label))
            continue;
        std::vector<Stroke> parts;
        for (int k : s.strokes)
            parts.push_back(strokes[k]);
        // An italic z may stand nearly as tall as the digits; its diagonal drawn as a stroke of
        // its own tells it from a 2 wherever it stands.
        if (s.label == "z" && !descends && stemShare(parts, s.box, 0.1) >= 0.7)
            continue;
        // A script z's tail hangs below the line, the top of its body stands at the letters'
        // height: as tall as a digit, but no bracket.
        const bool tailed = s.label == "z" && bandCover(parts, s.box, false) < 0.55;
        const double aspect = s.box.height() / std::max(1e-9, s.box.width());
        for (const std::string &alt : s.alternatives) {
            // A b and a 9 rise well above their bowls.
            if ((alt == "b" || alt == "9") && aspect < 0.95)
                continue;
            if (tailed && (alt == ")" || alt == "("))
                continue;
            if (fits(alt)) {
                decided[i] = alt;
                break;
            }
        }
        // A digit no taller than the line's letters and standing on its baseline is a letter
        // whose outline came out nearer a digit (an italic z, like a 2); scripts stand off it.
        if (decided[i].empty() && small && kind == Kind::Digit
            && std::fabs(s.box.bottom - baseline) < 0.12 * height) {
            const auto letters = SymbolClassifier::instance().classify(
                parts, 1,
                [](const std::string &label) {
                    return kindOf(label) == Kind::Small && label != "\\times";
                },
                true);
            if (!letters.empty() && letters[0].distance < letterReach * s.distance)
                decided[i] = letters[0].label;
        }
    }
    for (std::size_t i = 0; i < symbols.size(); ++i)
        if (!decided[i].empty())
            symbols[i].label = decided[i];
}

// How far the nearest template lies from the strokes of these members.
float templateDistance(const std::vector<Stroke> &strokes, const std::vector<int> &members)
{
    std::vector<Stroke> parts;
    for (int k : members)
        parts.push_back(strokes[k]);
    const auto best = SymbolClassifier::instance().classify(parts, 1);
    return best.empty() ? std::numeric_limits<float>::max() : best[0].distance;
}

// Two symbols written one after the other may touch and so fall into one group, whose outline
// then matches no template well. Such a group is taken apart where the strokes written before
// and after the cut each match a symbol much better.
void splitPoorGroups(
    std::vector<Symbol> &found, const std::vector<Stroke> &strokes, const std::vector<Box> &boxes)
{
    auto match = [&](std::vector<int>::const_iterator from, std::vector<int>::const_iterator to) {
        return templateDistance(strokes, std::vector<int>(from, to));
    };
    // Most well written symbols lie nearer than this to a template.
    constexpr float poor = 1.2f;
    constexpr float gain = 0.75f;
    for (std::size_t g = 0; g < found.size(); ++g) {
        const std::vector<int> members = found[g].strokes;
        if (members.size() < 2)
            continue;
        const float whole = match(members.begin(), members.end());
        if (whole < poor)
            continue;
        float best = gain * whole;
        std::size_t cut = 0;
        float fallbackWorst = whole;
        std::size_t fallback = 0;
        for (std::size_t k = 1; k < members.size(); ++k) {
            Box before = boxes[members[0]], after = boxes[members[k]];
            for (std::size_t m = 0; m < members.size(); ++m)
                (m < k ? before : after) = united(m < k ? before : after, boxes[members[m]]);
            // Neighbours stand side by side, a script's foot may reach a little into its
            // base; the strokes of one glyph lie over each other.
            const double overlap
                = std::min(before.right, after.right) - std::max(before.left, after.left);
            const bool script
                = std::fabs(before.centerY() - after.centerY()) > 0.3 * found[g].box.height();
            // Side by side, the next glyph may still reach a little over the last one: then
            // only a much better match takes them apart.
            const double narrow = std::min(before.width(), after.width());
            const bool overlapping = overlap > (script ? 0.25 * narrow : 0);
            if (overlapping && (script || overlap > 0.3 * narrow))
                continue;
            const float first = match(members.begin(), members.begin() + static_cast<long>(k));
            const float second = match(members.begin() + static_cast<long>(k), members.end());
            const float d = std::max(first, second);
            if (overlapping && d >= 0.5f * whole)
                continue;
            if (d < best) {
                best = d;
                cut = k;
            } else if (std::min(first, second) < 0.6f * whole && d < whole && d < fallbackWorst) {
                fallbackWorst = d;
                fallback = k;
            }
        }
        // Failing that, where one part matches well and the other no worse than the whole: a
        // script touching a base that is itself poorly written.
        if (cut == 0)
            cut = fallback;
        if (cut == 0)
            continue;
        Symbol rest;
        rest.strokes.assign(members.begin() + static_cast<long>(cut), members.end());
        found[g].strokes.resize(cut);
        for (Symbol *s : {&found[g], &rest}) {
            s->box = boxes[s->strokes.front()];
            for (int k : s->strokes)
                s->box = united(s->box, boxes[k]);
        }
        found.push_back(std::move(rest));
    }
}

// The strokes of one glyph need not touch (the arcs of an italic x, a beta's stem and bowls).
// Two groups written one right after the other over the same place are one symbol when
// together they match a template much better than either alone.
void joinOverlappingGroups(std::vector<Symbol> &found, const std::vector<Stroke> &strokes)
{
    std::map<std::vector<int>, float> known;
    auto match = [&](const std::vector<int> &members) {
        const auto it = known.find(members);
        return it != known.end() ? it->second : known[members] = templateDistance(strokes, members);
    };
    constexpr float good = 1.0f;
    constexpr float gain = 0.7f;
    constexpr double cover = 0.5;
    std::sort(found.begin(), found.end(),
        [](const Symbol &a, const Symbol &b) { return a.strokes.front() < b.strokes.front(); });
    for (std::size_t g = 0; g + 1 < found.size();) {
        Symbol &a = found[g], &b = found[g + 1];
        const Box &p = a.box, &q = b.box;
        const double across = std::min(p.right, q.right) - std::max(p.left, q.left);
        const double down = std::min(p.bottom, q.bottom) - std::max(p.top, q.top);
        const double sizeP = std::max(p.width(), p.height()),
                     sizeQ = std::max(q.width(), q.height());
        // Written one right after the other, or in turns.
        const bool inTurn = b.strokes.front() <= a.strokes.back() + 1;
        const bool alike = std::max(sizeP, sizeQ) < 2 * std::min(sizeP, sizeQ);
        const bool over = across > cover * std::min(p.width(), q.width())
            && down > cover * std::min(p.height(), q.height());
        // The halves of a glyph drawn as two arcs back to back; `apart`, a little way apart.
        const double gap = -across / std::max(sizeP, sizeQ);
        const bool beside = !over && down > cover * std::min(p.height(), q.height()) && gap < 0.2;
        const bool apart = gap >= 0.1;
        // A short stroke inside a glyph, as book faces thicken their lines.
        const Box &big = sizeP >= sizeQ ? p : q, &small = sizeP >= sizeQ ? q : p;
        // (Not a root sign and the first glyph of its body.)
        const std::vector<int> &larger = sizeP >= sizeQ ? a.strokes : b.strokes;
        const bool piece = !(larger.size() == 1 && roofed(strokes[larger[0]], big))
            && std::max(small.width(), small.height()) < 0.35 * std::min(big.width(), big.height())
            && small.centerX() > big.left && small.centerX() < big.right
            && small.centerY() > big.top && small.centerY() < big.bottom;
        bool join = inTurn && ((alike && (over || beside)) || piece);
        if (join) {
            std::vector<int> both = a.strokes;
            both.insert(both.end(), b.strokes.begin(), b.strokes.end());
            const float together = match(both);
            const float first = match(a.strokes), second = match(b.strokes);
            // Halves that match no template well on their own, like the arcs of an x gone
            // over twice, gain less by joining and may stand farther apart.
            const bool poorHalves = std::min(first, second) > 0.75f;
            if (piece)
                join = together < good && together < 1.15f * (sizeP >= sizeQ ? first : second);
            else if (beside && poorHalves)
                join = together < good && together < 0.8f * std::max(first, second);
            else
                join = !(beside && apart) && together < (beside ? 0.9f : good)
                    && together < (beside ? 0.6f : gain) * std::max(first, second);
            if (join) {
                a.strokes = both;
                a.box = united(p, q);
                found.erase(found.begin() + static_cast<long>(g) + 1);
                continue;
            }
        }
        ++g;
    }
}

} // namespace

const FormulaRecognizer &FormulaRecognizer::instance()
{
    static const FormulaRecognizer recognizer;
    return recognizer;
}

std::vector<Symbol> FormulaRecognizer::symbols(const std::vector<Stroke> &input) const
{
    std::vector<Stroke> strokes;
    for (const Stroke &s : input)
        if (!s.empty())
            strokes.push_back(s);
    const std::size_t n = strokes.size();
    if (n == 0)
        return {};

    std::vector<Box> boxes(n);
    std::vector<double> sizes;
    for (std::size_t i = 0; i < n; ++i) {
        boxes[i] = boxOf(strokes[i]);
        const double size = std::max(boxes[i].width(), boxes[i].height());
        if (size > 0)
            sizes.push_back(size);
    }
    double scale = median(sizes);
    if (scale <= 0)
        scale = 1;

    // Strokes that touch or cross belong to one symbol.
    const double touch = 0.1 * scale;
    std::vector<Stroke> thin(n);
    for (std::size_t i = 0; i < n; ++i)
        thin[i] = thinned(strokes[i], 0.04 * scale);
    UnionFind groups(n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = i + 1; j < n; ++j) {
            const Box &a = boxes[i], &b = boxes[j];
            if (a.left - touch > b.right || b.left - touch > a.right || a.top - touch > b.bottom
                || b.top - touch > a.bottom)
                continue;
            if (groups.find(static_cast<int>(i)) == groups.find(static_cast<int>(j)))
                continue;
            // A long bar or root sign near a small glyph is rarely part of it: the glyph
            // has to touch it really.
            const double sizeA = std::max(a.width(), a.height());
            const double sizeB = std::max(b.width(), b.height());
            // A glyph under a root sign is written after it, even where the two touch.
            const std::size_t bigger = sizeA > sizeB ? i : j;
            const Box &big = boxes[bigger], &small = sizeA > sizeB ? b : a;
            if (std::max(sizeA, sizeB) > 2.5 * std::min(sizeA, sizeB)
                && small.centerX() > std::min(big.left + 0.3 * big.width(), footOf(strokes[bigger]))
                && small.centerY() > big.top && small.centerY() < big.bottom
                && roofed(strokes[bigger], big))
                continue;
            const bool unequal = std::max(sizeA, sizeB) > 2.5 * std::min(sizeA, sizeB);
            // Nor does a long bar take a glyph that touches it from above or below only.
            if (unequal && big.height() < 0.2 * big.width()
                && !(small.top < big.top && small.bottom > big.bottom))
                continue;
            const double reach = unequal ? 0.35 * touch : touch;
            if (strokeDistance(thin[i], thin[j], reach) <= reach)
                groups.join(static_cast<int>(i), static_cast<int>(j));
        }
    }
    std::vector<Symbol> found;
    {
        std::vector<int> index(n, -1);
        for (std::size_t i = 0; i < n; ++i) {
            const int root = groups.find(static_cast<int>(i));
            if (index[root] < 0) {
                index[root] = static_cast<int>(found.size());
                found.push_back({{}, boxes[i], {}, {}});
            }
            Symbol &s = found[index[root]];
            s.strokes.push_back(static_cast<int>(i));
            s.box = united(s.box, boxes[i]);
        }
    }
    splitPoorGroups(found, strokes, boxes);
    joinOverlappingGroups(found, strokes);

    // The writing size, from symbols that are neither lines nor dots.
    std::vector<double> heights;
    for (const Symbol &s : found)
        if (s.box.height() > 0.3 * s.box.width()
            && std::max(s.box.width(), s.box.height()) > 0.3 * scale)
            heights.push_back(s.box.height());
    const double size = heights.empty() ? scale : median(heights);

    auto isDot
        = [&](const Symbol &s) { return std::max(s.box.width(), s.box.height()) < 0.2 * size; };
    auto isFlat = [&](const Symbol &s) {
        if (s.box.height() >= 0.3 * s.box.width() || s.box.width() <= 0.25 * size)
            return false;
        for (int k : s.strokes)
            if (!straight(strokes[k], 0.2 * size))
                return false;
        return true;
    };
    for (Symbol &s : found) {
        if (isDot(s))
            s.label = ".";
        else if (isFlat(s))
            s.label = "-";
    }

    // A line with a dot above and below is a division sign.
    std::vector<bool> gone(found.size(), false);
    for (std::size_t i = 0; i < found.size(); ++i) {
        Symbol &line = found[i];
        if (line.label != "-")
            continue;
        int up = -1, down = -1;
        for (std::size_t j = 0; j < found.size(); ++j) {
            const Symbol &d = found[j];
            if (gone[j] || d.label != ".")
                continue;
            const double w = line.box.width();
            if (d.box.centerX() < line.box.left + 0.15 * w
                || d.box.centerX() > line.box.right - 0.15 * w)
                continue;
            const double dy = d.box.centerY() - line.box.centerY();
            if (std::fabs(dy) > 0.9 * w)
                continue;
            if (dy < 0 && up < 0)
                up = static_cast<int>(j);
            else if (dy > 0 && down < 0)
                down = static_cast<int>(j);
        }
        if (up >= 0 && down >= 0) {
            for (int j : {up, down}) {
                line.strokes.insert(
                    line.strokes.end(), found[j].strokes.begin(), found[j].strokes.end());
                line.box = united(line.box, found[j].box);
                gone[j] = true;
            }
            line.label = "\\div";
        }
    }
    // Two stacked lines of like length with nothing between them are an equals sign.
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (gone[i] || found[i].label != "-")
            continue;
        int partner = -1;
        double partnerGap = 0;
        for (std::size_t j = 0; j < found.size(); ++j) {
            if (j == i || gone[j] || found[j].label != "-")
                continue;
            const Box &a = found[i].box, &b = found[j].box;
            const double overlap = std::min(a.right, b.right) - std::max(a.left, b.left);
            const double wa = a.width(), wb = b.width();
            if (overlap < 0.5 * std::min(wa, wb) || std::max(wa, wb) > 2.2 * std::min(wa, wb))
                continue;
            const double gap = std::fabs(a.centerY() - b.centerY());
            if (gap > 0.8 * std::max(wa, wb) || gap > 0.8 * size)
                continue;
            bool between = false;
            for (std::size_t k = 0; k < found.size() && !between; ++k) {
                if (k == i || k == j || gone[k])
                    continue;
                const Box &c = found[k].box;
                between = c.centerX() > std::max(a.left, b.left)
                    && c.centerX() < std::min(a.right, b.right)
                    && c.centerY() > std::min(a.centerY(), b.centerY())
                    && c.centerY() < std::max(a.centerY(), b.centerY());
            }
            if (between)
                continue;
            if (partner < 0 || gap < partnerGap) {
                partner = static_cast<int>(j);
                partnerGap = gap;
            }
        }
        if (partner >= 0) {
            Symbol &s = found[i];
            s.strokes.insert(
                s.strokes.end(), found[partner].strokes.begin(), found[partner].strokes.end());
            s.box = united(s.box, found[partner].box);
            s.label = "=";
            gone[partner] = true;
        }
    }

    std::vector<Symbol> out;
    const SymbolClassifier &classifier = SymbolClassifier::instance();
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (gone[i])
            continue;
        Symbol s = found[i];
        if (s.label.empty()) {
            std::vector<Stroke> parts;
            for (int k : s.strokes)
                parts.push_back(strokes[k]);
            const auto candidates = classifier.classify(parts, 4, {}, true);
            if (!candidates.empty()) {
                s.label = candidates[0].label;
                s.distance = candidates[0].distance;
            }
            // Matched by heading as well, a label much farther than the first is seldom right,
            // even where the first does not suit the symbol's size on its line.
            for (std::size_t c = 1; c < candidates.size(); ++c)
                if (candidates[c].distance < 1.1f * candidates[0].distance)
                    s.alternatives.push_back(candidates[c].label);
            // Closed and open crowns, likewise.
            if (s.label == "9" || s.label == "0" || s.label == "8" || s.label == "6"
                || s.label == "y") {
                const double depth = crownDepth(parts, s.box);
                const std::string was = s.label;
                // A mouse's samples fall on whole pixels, which leave the top of a glyph this
                // small ragged: only a deep opening tells a y there.
                const double open = s.box.height() < 25 ? 0.35 : 0.15;
                if (s.label != "y" && depth > open)
                    s.label = "y";
                else if (s.label == "y" && depth < 0.05)
                    s.label = "9";
                if (s.label != was) {
                    s.alternatives.erase(
                        std::remove(s.alternatives.begin(), s.alternatives.end(), s.label),
                        s.alternatives.end());
                    s.alternatives.insert(s.alternatives.begin(), was);
                }
                // A crown open this deep is no 9, wherever the symbol stands.
                if (was == "9" && depth > 0.5)
                    s.alternatives.erase(
                        std::remove_if(s.alternatives.begin(), s.alternatives.end(),
                            [](const std::string &a) {
                                return a == "9" || a == "0" || a == "8" || a == "6";
                            }),
                        s.alternatives.end());
            }
            if (s.label == "n" || s.label == "\\pi") {
                const std::string other = s.label == "n" ? "\\pi" : "n";
                // A pi's bar is a stroke of its own; a single stroke has only its outline.
                const bool pi = parts.size() > 1 ? barred(parts, s.box)
                                                 : bandCover(parts, s.box, true) >= 0.9;
                if (pi == (other == "\\pi")) {
                    std::replace(s.alternatives.begin(), s.alternatives.end(), other, s.label);
                    s.label = other;
                }
            }
            // An a is a c with a stem, which the cloud match weighs lightly.
            if (s.label == "c" || s.label == "a") {
                const double reach = upperReach(parts, s.box);
                const double stem = middleRight(parts, s.box);
                const std::string other = s.label == "c" ? "a" : "c";
                // Lightly, not at all: an a's outline still lies near. A tiny c's curled top
                // alone can reach as far as a stem.
                auto nearA = [&] {
                    const auto a = classifier.classify(
                        parts, 1, [](const std::string &label) { return label == "a"; }, true);
                    return !a.empty() && a[0].distance < 1.3f * s.distance;
                };
                if ((s.label == "c" && reach > 0.45 && stem >= 0.4 && nearA())
                    || (s.label == "a" && reach < 0.25 && stem < 0.6)) {
                    std::replace(s.alternatives.begin(), s.alternatives.end(), other, s.label);
                    s.label = other;
                }
            }
            relabelByShape(s, parts);
        }
        if (!s.label.empty())
            out.push_back(std::move(s));
    }
    resolveBySize(out, strokes);
    for (Symbol &s : out) {
        if (s.label == "x" || s.label == "\\times") {
            // Letters are written with arcs or hooks; a times sign is two bars.
            const double size = std::max(s.box.width(), s.box.height());
            s.bars = s.strokes.size() == 2;
            for (int k : s.strokes)
                s.bars = s.bars && straight(strokes[k], 0.08 * size);
        }
        if (s.label != "z")
            continue;
        std::vector<Stroke> parts;
        for (int k : s.strokes)
            parts.push_back(strokes[k]);
        // A flat foot spans the z; a tail's loop only part of it.
        s.tail = bandCover(parts, s.box, false) < 0.55;
    }
    return out;
}

std::string FormulaRecognizer::recognize(const std::vector<Stroke> &strokes) const
{
    const std::vector<Symbol> found = symbols(strokes);
    if (found.empty())
        return {};
    std::vector<double> heights;
    for (const Symbol &s : found) {
        const Kind k = kindOf(s.label);
        if (k == Kind::Digit || k == Kind::Tall || k == Kind::Descender)
            heights.push_back(s.box.height());
        else if (k == Kind::Small)
            heights.push_back(s.box.height() / 0.65);
    }
    double lineHeight = median(heights);
    if (lineHeight <= 0) {
        for (const Symbol &s : found)
            heights.push_back(std::max(s.box.width(), s.box.height()));
        lineHeight = median(heights);
    }
    if (lineHeight <= 0)
        lineHeight = 1;
    Layout layout(found, lineHeight);
    std::vector<int> all(found.size());
    std::iota(all.begin(), all.end(), 0);
    return layout.region(all);
}

} // namespace quenmo
