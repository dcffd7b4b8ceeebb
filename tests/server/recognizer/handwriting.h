#pragma once

// Clean drawings for the recogniser tests, written with glyphs of the Hershey simplex fonts
// (public domain; "R" is the origin, y grows downwards, digits span -12 .. 9). Pages put
// the baseline at y = 0, so digits span -21 .. 0.
#include "hersheyfont.h"

#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace handwriting {

inline const std::map<std::string, std::string> &glyphs()
{
    static const std::map<std::string, std::string> table = {
        {"1", "H\\NJPISFS["},
        {"0", "H\\QFNGLJKOKRLWNZQ[S[VZXWYRYOXJVGSFQF"},
        {"6", "H\\XIWGTFRFOGMJLOLTMXOZR[S[VZXXYUYTXQVOSNRNOOMQLT"},
        {"8", "H\\PFMGLILKMMONSOVPXRYTYWXYWZT[P[MZLYKWKTLRNPQOUNWMXKXIWGTFPF"},
        {"5", "H\\WFMFLOMNPMSMVNXPYSYUXXVZS[P[MZLYKW"},
        {"n", "I\\MMM[ RMQPNRMUMWNXQX["},
        {"<", "F^ZIJRZ["},
        {"2", "H\\LKLJMHNGPFTFVGWHXJXLWNUQK[Y["},
        {"3", "H\\MFXFRNUNWOXPYSYUXXVZS[P[MZLYKW"},
        {"4", "H\\UFKTZT RUFU["},
        {"7", "H\\YFO[ RKFYF"},
        {"9", "H\\XMWPURRSQSNRLPKMKLLINGQFRFUGWIXMXRWWUZR[P[MZLX"},
        {"a", "I\\XMX[ RXPVNTMQMONMPLSLUMXOZQ[T[VZXX"},
        {"c", "I[XPVNTMQMONMPLSLUMXOZQ[T[VZXX"},
        {"y", "JZLMR[ RXMR[P_NaLbKb"},
        {"(", "KYVBTDRGPKOPOTPYR]T`Vb"},
        {")", "KYNBPDRGTKUPUTTYR]P`Nb"},
        {"x", "J[MMX[ RXMM["},
        {"+", "E_RIR[ RIR[R"},
        // Greek letters of the simplex Greek font.
        {"\\theta", "G\\HQIOKMMMNNNPMUMXNZO[Q[SZUWVUWRXMXJWGUFSFRHRJSMUPWRZT"},
        {"\\beta", "I\\UFSGQIOMNPMTLZKb RUFWFYHYKXMWNUORO RROTPVRWTWWVYUZS[Q[OZNYMV"},
        {"=", "E_IO[O RIU[U"},
        // A script hand's z, whose loop hangs below the line.
        {"z script", "LZLVNSPRRRTTTVSXQZN[P\\Q^QaPdOfMgLfLdMaP^S\\WYZV"},
        // Italic letters of a book face, each drawn with several strokes.
        {"a italic",
            "H]XMVTUXUZV[Y[[Y\\W RYMWTVXVZW[ RVTVQUNSMQMNNLQKTKWLYMZO[Q[SZUWVT RQMONMQLTLXMZ"},
        {"x italic",
            "H\\KQMNOMRMSOSR RQMRORRQVPXNZL[K[JZJYKXLYKZ RQVQYR[U[WZYW "
            "RYNXOYPZOZNYMXMVNTPSRRVRYS["},
        {"z italic", "H\\YMXOVQNWLYK[ RLQMOOMRMVO RMOONRNVOXO RLYNYRZUZWY RNYR[U[WYXW"},
        // The complex Greek font's pi: legs and bar drawn twice over.
        {"\\pi", "G]PNL[ RPNM[ RVNV[ RVNW[ RIPKNNM[M RIPKONN[N"},
    };
    return table;
}

// A drawing in canvas pixels; `pen` is where the next glyph's left edge goes, in font units.
// A mouse moved quickly leaves few samples: with a `spacing` in pixels, glyphs and polylines
// are recorded at points that far apart along their path (and at their ends), cutting corners.
class Page
{
public:
    explicit Page(double scale = 3.0, double spacing = 0)
        : scale(scale)
        , spacing(spacing)
    { }

    // Writes a glyph at the pen, `size` times the normal size, raised by `raise` font units and
    // `wide` times as wide as the font has it.
    void write(const std::string &symbol, double size = 1.0, double raise = 0.0, double wide = 1.0)
    {
        const quenmo::HersheyFont::Glyph g = quenmo::HersheyFont::parseGlyph(glyphs().at(symbol));
        for (const quenmo::Stroke &s : g.strokes) {
            std::vector<quenmo::Point> out;
            for (const quenmo::Point &p : s)
                out.push_back({pen + (p.x - g.left) * size * wide, (p.y - 9) * size - raise});
            polyline(out);
        }
        pen += (g.right - g.left) * size * wide;
    }
    void line(double x0, double y0, double x1, double y1)
    {
        strokes.push_back({at(x0, y0), at(x1, y1)});
    }
    void polyline(const std::vector<quenmo::Point> &points)
    {
        quenmo::Stroke out {at(points.front().x, points.front().y)};
        double carried = 0;
        for (std::size_t i = 1; i < points.size(); ++i) {
            const quenmo::Point a = points[i - 1], b = points[i];
            const double length = std::hypot(b.x - a.x, b.y - a.y) * scale;
            if (spacing <= 0) {
                out.push_back(at(b.x, b.y));
                continue;
            }
            for (double d = spacing - carried; d < length; d += spacing) {
                const double t = d / length;
                out.push_back(at(a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)));
            }
            carried = std::fmod(carried + length, spacing);
        }
        if (spacing > 0 && points.size() > 1)
            out.push_back(at(points.back().x, points.back().y));
        strokes.push_back(out);
    }

    double pen = 0;
    std::vector<quenmo::Stroke> strokes;

private:
    quenmo::Point at(double x, double y) const
    {
        // Whole pixels, as the canvas records them.
        return {static_cast<double>(static_cast<int>(40 + x * scale + 0.5)),
            static_cast<double>(static_cast<int>(100 + y * scale + 0.5))};
    }
    double scale;
    double spacing;
};

} // namespace handwriting
