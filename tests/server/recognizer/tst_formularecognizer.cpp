#include "handwriting.h"
#include "recognitionservice.h"
#include "symbolclassifier.h"
#include "templatedata.h"

#include <QtTest>

using handwriting::Page;
using quenmo::RecognitionService;

class TestFormulaRecognizer : public QObject
{
    Q_OBJECT

private slots:
    void cleanFormulasAreRecognisedExactly_data();
    void cleanFormulasAreRecognisedExactly();
    void mouseWritingIsRecognisedExactly_data();
    void mouseWritingIsRecognisedExactly();
    void slowWritingIsRecognisedExactly_data();
    void slowWritingIsRecognisedExactly();
    void everyTemplateIsFoundAgain();
};

void TestFormulaRecognizer::cleanFormulasAreRecognisedExactly_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<QString>("latex");
    QTest::newRow("digit") << 0 << "7";
    QTest::newRow("power") << 1 << "x^2";
    QTest::newRow("fraction") << 2 << "\\frac{1}{2}";
    QTest::newRow("root") << 3 << "\\sqrt{x}";
    QTest::newRow("sum") << 4 << "3+4=7";
    QTest::newRow("index") << 5 << "x_1";
    QTest::newRow("index of a descender") << 6 << "y_1";
    QTest::newRow("times after a bracket") << 7 << "(3)\\times(7)";
    QTest::newRow("a beside c") << 8 << "a+c";
    QTest::newRow("9 beside y") << 9 << "9y";
    QTest::newRow("root over a descender") << 10 << "\\sqrt{y}";
    QTest::newRow("index of a short letter") << 11 << "a_1";
    QTest::newRow("times after a power") << 12 << "x^2\\times3";
    QTest::newRow("open crowned y") << 13 << "y";
    QTest::newRow("index of a long tailed letter") << 14 << "y_2";
    QTest::newRow("power of theta") << 15 << "\\theta^2";
    QTest::newRow("times before beta") << 16 << "2\\times\\beta";
    QTest::newRow("index of three symbols") << 17 << "a_{n+1}";
    QTest::newRow("pi with doubled strokes") << 18 << "4\\pi+1";
    QTest::newRow("index of a pi") << 19 << "\\pi_n";
    QTest::newRow("index of a wide script z") << 20 << "z_1+3";
    QTest::newRow("script z with an index after a digit") << 21 << "3z_1";
    QTest::newRow("italic a beside a digit") << 22 << "4a+1";
    QTest::newRow("italic x of two arcs") << 23 << "4x+1";
    QTest::newRow("italic z standing on the line") << 24 << "4z+1";
    QTest::newRow("letter after a Greek letter") << 25 << "\\pi n";
    QTest::newRow("five beside three") << 26 << "5+3";
    // Its outline is nearly a 3's; the stem on its left tells it.
    QTest::newRow("five with a square stem") << 27 << "5";
    QTest::newRow("closed crowns of 6, 0 and 8") << 28 << "60+8";
    // A root sign begun with its tick as a stroke of its own.
    QTest::newRow("root with its tick apart") << 29 << "\\sqrt{x}+1";
}

void TestFormulaRecognizer::cleanFormulasAreRecognisedExactly()
{
    QFETCH(int, formula);
    QFETCH(QString, latex);
    Page page;
    switch (formula) {
    case 0:
        page.write("7");
        break;
    case 1:
        page.write("x");
        page.write("2", 0.6, 10);
        break;
    case 2:
        page.pen = 4;
        page.write("1", 0.8, 14);
        page.line(0, -3, 22, -3);
        page.pen = 4;
        page.write("2", 0.8, -19);
        break;
    case 3:
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {34, -21}});
        page.pen = 16;
        page.write("x");
        break;
    case 4:
        for (const char *s : {"3", "+", "4", "=", "7"})
            page.write(s);
        break;
    case 5:
        page.write("x");
        page.write("1", 0.6, -6);
        break;
    case 6:
        page.write("y");
        page.write("1", 0.6, -6);
        break;
    case 7:
        for (const char *s : {"(", "3", ")"})
            page.write(s);
        page.write("x", 0.8, 4);
        for (const char *s : {"(", "7", ")"})
            page.write(s);
        break;
    case 8:
        for (const char *s : {"a", "+", "c"})
            page.write(s);
        break;
    case 9:
        page.write("9");
        page.write("y");
        break;
    case 10:
        page.polyline({{0, -8}, {3, -10}, {8, 6}, {14, -21}, {34, -21}});
        page.pen = 16;
        page.write("y");
        break;
    case 11:
        // Script hands write small letters less than half as tall as digits.
        page.write("a", 0.65);
        page.write("1", 0.6, -6);
        break;
    case 12:
        page.write("x");
        page.write("2", 0.6, 10);
        page.pen += 3;
        page.line(page.pen, -14, page.pen + 10, -4);
        page.line(page.pen + 10, -14, page.pen, -4);
        page.pen += 13;
        page.write("3");
        break;
    case 13:
        page.polyline({{0, -14}, {1, -6}, {4, -1}, {8, -1}, {13, -6}});
        page.polyline({{14, -14}, {12, 0}, {10, 5}, {6, 7}, {2, 6}});
        break;
    case 14:
        page.polyline({{0, -14}, {1, -6}, {4, -1}, {8, -1}, {13, -6}});
        page.polyline({{14, -14}, {12, 0}, {10, 5}, {6, 7}, {2, 6}});
        page.pen = 16;
        page.write("2", 0.6, -6);
        break;
    case 15:
        page.write("\\theta");
        page.write("2", 0.6, 10);
        break;
    case 16:
        page.write("2");
        page.line(page.pen + 3, -14, page.pen + 13, -4);
        page.line(page.pen + 13, -14, page.pen + 3, -4);
        page.pen += 16;
        page.write("\\beta");
        break;
    case 17:
        page.write("a");
        for (const char *s : {"n", "+", "1"})
            page.write(s, 0.6, -6);
        break;
    case 18:
        for (const char *s : {"4", "\\pi", "+", "1"})
            page.write(s);
        break;
    case 19:
        page.write("\\pi");
        page.write("n", 0.6, -6);
        break;
    case 20:
        // Written wider than it is tall above the line, its loop still hangs below it.
        page.write("z script", 1.0, 0.0, 1.3);
        page.write("1", 0.6, -6);
        page.write("+");
        page.write("3");
        break;
    case 21:
        page.write("3");
        page.write("z script", 1.0, 0.0, 1.3);
        page.write("1", 0.6, -6);
        break;
    case 25:
        page.write("\\pi");
        page.write("n");
        break;
    case 26:
        for (const char *s : {"5", "+", "3"})
            page.write(s);
        break;
    case 29:
        page.polyline({{0, -8}, {3, -10}});
        page.polyline({{3, -10}, {8, 2}, {14, -21}, {34, -21}});
        page.pen = 16;
        page.write("x");
        page.pen = 38;
        page.write("+");
        page.write("1");
        break;
    case 28:
        for (const char *s : {"6", "0", "+", "8"})
            page.write(s);
        break;
    case 27:
        page.polyline(
            {{3, -21}, {3, -12}, {8, -12}, {12, -10}, {14, -6}, {12, -1}, {7, 0}, {2, -2}});
        page.line(3, -21, 13, -21);
        break;
    case 22:
    case 23:
    case 24:
        page.write("4");
        if (formula == 22)
            page.write("a italic", 0.55);
        else if (formula == 23)
            page.write("x italic", 0.8);
        else
            page.write("z italic", 0.85, 0.0, 0.8);
        page.write("+");
        page.write("1");
        break;
    }
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(page.strokes)), latex);
}

// Drawn as a quick mouse does: small, with a sample every 12 pixels.
void TestFormulaRecognizer::mouseWritingIsRecognisedExactly_data()
{
    QTest::addColumn<int>("formula");
    QTest::addColumn<QString>("latex");
    QTest::newRow("pi with a bar over its legs") << 0 << "2\\pi";
    QTest::newRow("n with an arch") << 1 << "2n";
    QTest::newRow("beta") << 2 << "2\\beta";
    QTest::newRow("index lowered under a root") << 3 << "\\sqrt{x_1+2}";
    QTest::newRow("glyph touching a root's roof") << 4 << "\\sqrt{71}";
    QTest::newRow("times after a fraction") << 5 << "\\frac{1}{2}\\times3";
    QTest::newRow("index before a closing bracket") << 6 << "(x_1)";
    QTest::newRow("exponent past a root's roof") << 7 << "\\sqrt{x^2}";
    QTest::newRow("sign under the end of a root's roof") << 8 << "\\sqrt{x}<1";
    QTest::newRow("index a little below") << 9 << "x_2";
    QTest::newRow("sign after a short tipped root") << 11 << "\\sqrt{x^2}+1";
    QTest::newRow("numerator standing on its bar") << 12 << "\\frac{1}{2+3}";
    QTest::newRow("italic x of two arcs") << 13 << "4x+1";
    QTest::newRow("italic z with a power") << 14 << "z^2";
    QTest::newRow("digits that touch") << 15 << "34";
    QTest::newRow("letter touching a digit") << 16 << "a3";
    QTest::newRow("beta whose bowls stand off its stem") << 17 << "2\\beta";
    QTest::newRow("index hanging past a root's roof") << 18 << "\\sqrt{x_1}";
    QTest::newRow("sign half under a root's roof") << 19 << "\\sqrt{x}<1";
    QTest::newRow("times sign after an index") << 30 << "a_1\\times2";
    QTest::newRow("glyph starting at the end of a short roof") << 31 << "\\sqrt{2c}";
    QTest::newRow("index below a short tipped root's foot") << 32 << "\\sqrt{x_1}+2";
    QTest::newRow("exponent whose foot touches its base") << 33 << "x^2+1";
    QTest::newRow("small script x beside a digit") << 34 << "3x";
    QTest::newRow("script x leaning back beside a digit") << 35 << "3x";
    QTest::newRow("minus under the end of a long roof") << 36 << "\\sqrt{x+1}-2";
    QTest::newRow("sign after the index of a descender") << 37 << "2y_n<1";
    QTest::newRow("twenty strokes") << 10 << "\\frac{x_1+2}{3}-\\sqrt{y+1}<2\\pi";
    // Alone, nothing on its line tells a y from a 9 but its crown, open between the arms.
    QTest::newRow("y with a round bowl open at the top") << 20 << "y";
    QTest::newRow("y of a bowl and a tail") << 21 << "y";
    QTest::newRow("open crowned y under a root") << 22 << "\\sqrt{y}";
    QTest::newRow("script z beside a y") << 23 << "xyz";
    QTest::newRow("division sign with clicked dots") << 24 << "9\\div3";
    // A bar drawn back over itself ends where it began.
    QTest::newRow("minus drawn there and back") << 25 << "3-1";
    QTest::newRow("equals with one bar drawn there and back") << 26 << "3=1";
    QTest::newRow("fraction bar drawn there and back") << 27 << "\\frac{1}{2}";
    QTest::newRow("five of a bowl and a flag") << 28 << "53";
    // Between two roots nothing on the line measures the cross: its shape alone makes it a
    // times sign, also when drawn a little taller than wide or a little low.
    QTest::newRow("times sign between roots") << 38 << "\\sqrt{2}\\times\\sqrt{3}";
    QTest::newRow("tall times sign between roots") << 39 << "\\sqrt{2}\\times\\sqrt{3}";
    QTest::newRow("times sign low between roots") << 47 << "\\sqrt{2}\\times\\sqrt{3}";
    // A quick root sign: no tick, a tall stem and a roof just over its one symbol.
    QTest::newRow("tall root without a tick over a digit") << 40 << "\\sqrt{2}";
    QTest::newRow("tall root without a tick over a letter") << 41 << "\\sqrt{a}";
    // A cross of two straight bars standing on the line between operands is the letter x.
    QTest::newRow("straight x between a digit and a letter") << 42 << "3xy";
    QTest::newRow("straight x between letters") << 43 << "axc";
    QTest::newRow("wide exponent 2") << 44 << "x^2";
    // Stroke order does not matter: the sign drawn first, one of its dots clicked first.
    QTest::newRow("division sign drawn before its operands, lower dot first") << 45 << "9\\div3";
    QTest::newRow("division sign drawn before its operands, upper dot first") << 46 << "9\\div3";
    // Both with a flat top bar: the 3 leaves it at its right end down a diagonal, the 5 at its
    // left end down a leaning stem.
    QTest::newRow("three and five of one stroke with flat tops") << 48 << "3+5";
    // Two bars floating level with the top of the letters: a times sign, not a letter whose
    // index follows.
    QTest::newRow("times sign of two bars after a descender") << 49 << "y\\times n";
    QTest::newRow("times sign of two bars written low") << 50 << "a\\times n";
    // A book face's italic b: a straight stem drawn twice over, a serif, the bowl of strokes
    // of its own.
    QTest::newRow("italic b with its stem apart") << 51 << "2b";
    // A letter after a digit that sits a little low stays on the line; a script lowered by a
    // third of a line is an index even when written nearly as large as its base.
    QTest::newRow("letter sitting low after a digit") << 52 << "3+5n";
    QTest::newRow("large index well below a descender") << 53 << "y_n+1";
    // Root signs whose body reaches past their ends: the foot stops above the body's line,
    // an index starts after the roof, a times sign under the roof is followed by a glyph.
    QTest::newRow("minus lower than a short root's foot") << 54 << "\\sqrt{4-1}";
    QTest::newRow("index starting past a root's roof") << 55 << "\\sqrt{x_3}+1";
    QTest::newRow("times sign under the end of a root's roof") << 56 << "\\sqrt{2}\\times3";
    // A full-size sign after an exponent, written a little high, goes on after its base.
    QTest::newRow("sign a little high after an exponent") << 57 << "n^2+8";
    QTest::newRow("first glyph touching a long roof") << 58 << "\\sqrt{5+1}";
}

void TestFormulaRecognizer::mouseWritingIsRecognisedExactly()
{
    QFETCH(int, formula);
    QFETCH(QString, latex);
    Page page(2.0, 12);
    auto pi = [&page]() {
        const double x = page.pen;
        page.polyline({{x + 1, -14}, {x + 9, -14.5}, {x + 18, -15}});
        page.polyline({{x + 6, -14}, {x + 5, -7}, {x + 4, 0}});
        page.polyline({{x + 13, -14}, {x + 13, -6}, {x + 15, 0}});
        page.pen += 20;
    };
    switch (formula) {
    case 0:
        page.write("2");
        pi();
        break;
    case 1:
        page.write("2");
        page.write("n");
        break;
    case 2:
        page.write("2");
        page.polyline({{22, 7}, {23, -4}, {24, -14}, {26, -19}, {29, -21}, {32, -20}, {33, -17},
            {31, -13}, {27, -11}, {31, -10}, {34, -7}, {34, -3}, {31, 0}, {27, 0}, {24, -2}});
        break;
    case 3:
        page.pen = 16;
        page.write("x");
        page.write("1", 0.6, -8);
        page.write("+");
        page.write("2");
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {page.pen + 3, -24}});
        break;
    case 4:
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {54, -21}});
        page.pen = 11;
        page.write("7", 1.0, -1);
        page.write("1");
        break;
    case 5:
        page.pen = 4;
        page.write("1", 0.8, 13);
        page.line(0, -10, 22, -10);
        page.pen = 4;
        page.write("2", 0.8, -9.8);
        page.line(29, -15, 39, -5);
        page.line(39, -15, 29, -5);
        page.pen = 42;
        page.write("3");
        break;
    case 6:
        page.write("(");
        page.write("x");
        page.write("1", 0.6, -8);
        page.write(")");
        break;
    case 7:
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {38, -24}});
        page.pen = 16;
        page.write("x");
        page.write("2", 0.6, 12);
        break;
    case 8:
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {43, -21}});
        page.pen = 16;
        page.write("x");
        page.pen += 1;
        page.write("<");
        page.write("1");
        break;
    case 9:
        page.write("x");
        page.write("2", 0.6, -4);
        break;
    case 11:
        // A hasty sign: its tip stops short of the line, its roof rides high.
        page.polyline({{0, -12}, {3, -14}, {8, -6}, {14, -34}, {38, -34}});
        page.pen = 16;
        page.write("x");
        page.write("2", 0.6, 14);
        page.pen = 40;
        page.write("+");
        page.write("1");
        break;
    case 12:
        page.pen = 24;
        page.write("1", 0.8, 10);
        page.line(0, -10, 70, -10);
        page.pen = 4;
        page.write("2", 0.8, -9.8);
        page.write("+", 0.8, -9.8);
        page.write("3", 0.8, -9.8);
        break;
    case 13:
        page.write("4");
        page.write("x italic", 0.7);
        page.write("+");
        page.write("1");
        break;
    case 14:
        // Nothing on its line tells its size: only its build tells it from a 2.
        page.write("z italic");
        page.write("2", 0.6, 10);
        break;
    case 15:
    case 16:
        // Written close, the second glyph's strokes run into the first one's.
        page.write(formula == 15 ? "3" : "a");
        page.pen -= 7;
        page.write(formula == 15 ? "4" : "3");
        break;
    case 17: {
        page.write("2");
        // The bowls drawn a little right of the stem, without touching it.
        const auto beta = quenmo::HersheyFont::parseGlyph(handwriting::glyphs().at("\\beta"));
        for (std::size_t k = 0; k < beta.strokes.size(); ++k) {
            std::vector<quenmo::Point> points;
            for (const quenmo::Point &p : beta.strokes[k])
                points.push_back({page.pen + p.x - beta.left + (k > 0 ? 2 : 0), p.y - 9});
            page.polyline(points);
        }
        break;
    }
    case 18:
        // The roof stops over the middle of the index.
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {37, -21}});
        page.pen = 16;
        page.write("x");
        page.write("1", 0.6, -6);
        break;
    case 19:
        // The roof runs on over the first half of the sign after it.
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {48, -21}});
        page.pen = 16;
        page.write("x");
        page.pen += 1;
        page.write("<");
        page.write("1");
        break;
    case 20:
    case 22: {
        if (formula == 22)
            page.polyline({{0, -8}, {3, -10}, {8, 6}, {14, -21}, {34, -21}});
        const double x = formula == 22 ? 17 : 0;
        page.polyline(
            {{x + 4, -15}, {x + 1, -12}, {x + 1, -8}, {x + 4, -5}, {x + 9, -5}, {x + 12, -8},
                {x + 13, -14}, {x + 13, -2}, {x + 12, 4}, {x + 9, 7}, {x + 4, 7}, {x + 2, 5}});
        break;
    }
    case 21:
        page.polyline({{4, -15}, {1, -12}, {1, -8}, {4, -5}, {9, -5}, {12, -8}});
        page.polyline({{13, -15}, {13, -2}, {12, 4}, {9, 7}, {4, 7}, {2, 5}});
        break;
    case 23:
        page.write("x");
        page.write("y");
        page.write("z script", 1.0, 0.0, 1.3);
        break;
    case 24: {
        page.write("9");
        const double x = page.pen + 2;
        page.line(x, -10, x + 14, -10);
        // A click leaves a stroke of a single point.
        page.polyline({{x + 7, -15}});
        page.polyline({{x + 7, -5}});
        page.pen = x + 16;
        page.write("3");
        break;
    }
    case 25:
    case 26: {
        page.write("3");
        const double x = page.pen + 2;
        if (formula == 25) {
            page.polyline({{x, -10}, {x + 8, -10.3}, {x + 14, -10}, {x + 7, -10}, {x, -10}});
        } else {
            page.polyline({{x, -9}, {x + 14, -9}, {x, -9}});
            page.line(x, -12, x + 14, -12);
        }
        page.pen = x + 16;
        page.write("1");
        break;
    }
    case 27:
        page.pen = 4;
        page.write("1", 0.8, 14);
        page.polyline({{0, -3}, {22, -3}, {0, -3}});
        page.pen = 4;
        page.write("2", 0.8, -19);
        break;
    case 28:
        page.polyline({{3, -21}, {2, -12}, {6, -14}, {10, -13}, {13, -9}, {13, -4}, {10, -1},
            {6, 0}, {2, -2}});
        page.line(3, -21, 13, -21);
        page.pen = 16;
        page.write("3");
        break;
    case 30:
        page.write("a");
        page.write("1", 0.6, -6);
        // Level with the digits' middle, well above the index.
        page.line(page.pen + 2, -18, page.pen + 12, -8);
        page.line(page.pen + 12, -18, page.pen + 2, -8);
        page.pen += 14;
        page.write("2");
        break;
    case 31:
        // The roof ends just before the c begins.
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {38, -24}});
        page.pen = 16;
        page.write("2");
        page.write("c");
        break;
    case 32:
        // The sign's tip stops above the line; the index hangs lower than that.
        page.polyline({{0, -8}, {3, -10}, {8, -1}, {14, -24}, {36, -24}});
        page.pen = 16;
        page.write("x");
        page.write("1", 0.6, -10);
        page.pen = 40;
        page.write("+");
        page.write("2");
        break;
    case 33:
        page.write("x");
        // The 2's foot runs over the end of the x's upper arm.
        page.pen = 11;
        page.write("2", 0.6, 13);
        page.pen = 24;
        page.write("+");
        page.write("1");
        break;
    case 34:
    case 35: {
        // A script hand's x: an arch running into a cup, and a curve down across it. Its
        // arcs cross in its middle, where an a's bowl is closed on the left.
        page.write("3");
        const double size = formula == 24 ? 0.65 : 0.8, lean = formula == 24 ? 0 : -0.3;
        const double x = page.pen + 8 * size;
        auto at = [&](double px, double py) {
            return quenmo::Point {x + size * (px - lean * py), size * py};
        };
        page.polyline({at(-8, -5), at(-6, -8), at(-4, -9), at(-2, -9), at(-1, -8), at(-1, -1),
            at(0, 0), at(3, 0), at(6, -2), at(8, -5)});
        page.polyline({at(5, -8), at(4, -9), at(2, -9), at(1, -8), at(-3, -1), at(-4, 0), at(-6, 0),
            at(-7, -1)});
        break;
    }
    case 36: {
        page.pen = 16;
        for (const char *s : {"x", "+", "1"})
            page.write(s);
        // The roof runs on over the whole minus after the body.
        const double minus = page.pen + 2;
        page.line(minus, -10, minus + 12, -10);
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {minus + 13, -24}});
        page.pen = minus + 16;
        page.write("2");
        break;
    }
    case 37:
        // The index stands little below the y's arms; the sign is level with their middle.
        page.write("2");
        page.write("y");
        page.write("n", 0.7, -3);
        page.pen += 1;
        page.write("<");
        page.write("1");
        break;
    case 38:
    case 39:
    case 47: {
        const double w = formula == 38 ? 10 : 12, h = formula == 39 ? 14 : 12;
        const double middle = formula == 47 ? -8 : -10;
        auto root = [&page](double x, const char *body) {
            page.polyline({{x, -8}, {x + 3, -10}, {x + 8, 2}, {x + 14, -26}, {x + 40, -26}});
            page.pen = x + 16;
            page.write(body);
        };
        root(0, "2");
        const double x = page.pen + 4;
        page.line(x, middle - h / 2, x + w, middle + h / 2);
        page.line(x + w, middle - h / 2, x, middle + h / 2);
        root(x + w + 3, "3");
        break;
    }
    case 40:
    case 41: {
        const double roof = formula == 40 ? -38 : -34;
        page.pen = 16;
        page.write(formula == 40 ? "2" : "a");
        page.polyline({{3, -10}, {8, formula == 40 ? 0.0 : 2.0}, {14, roof}, {page.pen + 2, roof}});
        break;
    }
    case 42:
    case 43: {
        page.write(formula == 42 ? "3" : "a");
        const double x = page.pen + 2;
        page.line(x, -12, x + 12, 0);
        page.line(x + 12, -12, x, 0);
        page.pen = x + 14;
        page.write(formula == 42 ? "y" : "c");
        break;
    }
    case 44:
        page.write("x");
        page.write("2", 0.6, 10, 1.5);
        break;
    case 45:
    case 46: {
        const double x = 22, first = formula == 45 ? -5 : -15;
        page.polyline({{x + 7, first}});
        page.line(x, -10, x + 14, -10);
        page.polyline({{x + 7, -20 - first}});
        page.write("9");
        page.pen = x + 16;
        page.write("3");
        break;
    }
    case 48:
        // A script hand's 3: a flat top bar, a sharp corner at its right and a wide bowl.
        page.polyline({{0, -20}, {3, -20}, {6, -20}, {8, -21}, {10, -20}, {10, -17}, {8, -13},
            {11, -13}, {15, -11}, {17, -9}, {18, -6}, {19, -3}, {17, -1}, {14, 0}, {11, 0}, {8, -1},
            {6, -3}, {6, -4}});
        page.pen = 22;
        page.write("+");
        page.polyline({{page.pen + 13, -21}, {page.pen + 5, -21}, {page.pen + 2, -11},
            {page.pen + 7, -13}, {page.pen + 12, -10}, {page.pen + 13, -5}, {page.pen + 9, -1},
            {page.pen + 4, 0}, {page.pen + 1, -2}});
        break;
    case 49:
    case 50: {
        page.write(formula == 49 ? "y" : "a");
        // Its foot a little above the line.
        const double top = formula == 49 ? -14 : -11.5, bottom = formula == 49 ? -7 : -1.5;
        page.line(page.pen + 2, top, page.pen + 11, bottom);
        page.line(page.pen + 11, top, page.pen + 2, bottom);
        page.pen += 13;
        page.write("n");
        break;
    }
    case 51: {
        page.write("2");
        const std::vector<std::vector<quenmo::Point>> b
            = {{{11, -21}, {9, -19}, {7, -15}, {4, -12}, {1, -8}, {0, -4}, {0, -1}},
                {{12, -21}, {11, -19}, {8, -16}, {6, -13}, {4, -10}, {2, -8}},
                {{3, -8}, {2, -9}, {4, -10}, {6, -13}, {8, -13}, {11, -14}, {14, -11}, {13, -8},
                    {12, -5}, {9, -3}, {7, -1}, {4, 0}, {2, 0}, {0, -2}, {0, -4}, {1, -6}, {2, -8}},
                {{13, -13}, {13, -11}, {12, -7}, {10, -4}, {7, -2}, {5, 0}, {4, 0}},
                {{8, -21}, {12, -21}}};
        for (std::vector<quenmo::Point> stroke : b) {
            for (quenmo::Point &p : stroke)
                p.x += page.pen + 2;
            page.polyline(stroke);
        }
        break;
    }
    case 52:
        for (const char *s : {"3", "+", "5"})
            page.write(s);
        page.write("n", 0.75, -3.5);
        break;
    case 53:
        page.write("y");
        page.write("n", 0.85, -7);
        page.pen += 2;
        page.write("+");
        page.write("1");
        break;
    case 54:
        // The sign's foot stops well above the line; the minus is lower than that.
        page.polyline({{0, -14}, {3, -16}, {8, -9}, {14, -30}, {56, -30}});
        page.pen = 16;
        page.write("4");
        page.line(page.pen + 1, -10, page.pen + 12, -10);
        page.pen += 14;
        page.write("1");
        break;
    case 55:
        page.pen = 16;
        page.write("x");
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {page.pen + 1, -24}});
        page.pen += 5;
        page.write("3", 0.6, -7);
        page.pen += 2;
        page.write("+");
        page.write("1");
        break;
    case 56:
        // Two bars under the roof's end, the 3 after it.
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -24}, {48, -24}});
        page.pen = 16;
        page.write("2");
        page.line(page.pen + 2, -15, page.pen + 12, -5);
        page.line(page.pen + 12, -15, page.pen + 2, -5);
        page.pen += 18;
        page.write("3");
        break;
    case 57:
        page.write("n");
        page.write("2", 0.6, 10);
        page.write("+", 1.0, 7);
        page.write("8");
        break;
    case 58:
        // The 5's top bar runs along the roof; the sign is drawn first.
        page.polyline({{0, -8}, {3, -10}, {8, 2}, {14, -21}, {79, -21}});
        page.pen = 11;
        for (const char *s : {"5", "+", "1"})
            page.write(s);
        break;
    case 10:
        page.pen = 2;
        page.write("x", 1.0, 19);
        page.write("1", 0.6, 13);
        page.write("+", 1.0, 19);
        page.write("2", 1.0, 19);
        page.line(0, -10, 80, -10);
        page.pen = 30;
        page.write("3", 1.0, -14);
        page.line(88, -9, 104, -9);
        page.polyline({{108, -8}, {111, -10}, {116, 2}, {122, -24}, {189, -24}});
        page.pen = 124;
        page.write("y");
        page.write("+");
        page.write("1");
        page.pen = 192;
        page.write("<");
        page.write("2");
        pi();
        break;
    }
    QVERIFY(page.strokes.size() >= (formula == 10 ? 20u : 1u));
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(page.strokes)), latex);
}

// Drawn slowly with a pen: a sample at every pixel, many of them only a pixel apart.
void TestFormulaRecognizer::slowWritingIsRecognisedExactly_data()
{
    QTest::addColumn<QStringList>("symbols");
    QTest::addColumn<QString>("latex");
    QTest::newRow("sum") << QStringList {"3", "+", "4", "=", "7"} << "3+4=7";
    QTest::newRow("index of three symbols") << QStringList {"a", "n_", "+_", "1_"} << "a_{n+1}";
}

void TestFormulaRecognizer::slowWritingIsRecognisedExactly()
{
    QFETCH(QStringList, symbols);
    QFETCH(QString, latex);
    Page page(2.0, 1);
    for (QString s : symbols) {
        // A trailing '_' writes the symbol small and lowered.
        const bool index = s.endsWith('_');
        s.remove('_');
        page.write(s.toStdString(), index ? 0.6 : 1.0, index ? -6 : 0);
    }
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(page.strokes)), latex);
}

// A symbol drawn exactly as one of the templates (its points as dots) lies at no distance
// from it, whichever template it is: none is left out of the search.
void TestFormulaRecognizer::everyTemplateIsFoundAgain()
{
    QVERIFY(quenmo::templateRecordCount > 100);
    for (std::size_t i = 0; i < quenmo::templateRecordCount; ++i) {
        const quenmo::TemplateRecord &record = quenmo::templateRecords[i];
        std::vector<quenmo::Stroke> dots;
        for (int k = 0; k < quenmo::PointCloud::size; ++k)
            dots.push_back({{record.points[2 * k], record.points[2 * k + 1]}});
        const auto found = quenmo::SymbolClassifier::instance().classify(dots, 2);
        QVERIFY2(!found.empty() && found[0].label == record.label, record.label);
        QVERIFY2(found[0].distance < 1e-3f, record.label);
        // A label is only named once, the nearer one first.
        QVERIFY2(found.size() == 2 && found[1].label != found[0].label
                && found[1].distance >= found[0].distance,
            record.label);
    }
}

QTEST_APPLESS_MAIN(TestFormulaRecognizer)
#include "tst_formularecognizer.moc"
