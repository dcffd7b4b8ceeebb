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
    void recordedMouseStrokesAreRecognisedExactly_data();
    void recordedMouseStrokesAreRecognisedExactly();
    void everyTemplateIsFoundAgain();
    void headingsFollowEachStrokeWhicheverWayDrawn();
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
    // Between two descenders there is no line to measure a times sign against: the letter
    // x stays a letter.
    QTest::newRow("letter x between two y") << 30 << "yxy";
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
    case 30:
        for (const char *s : {"y", "x", "y"})
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

// Strokes as the canvas records a mouse: canvas pixels, a few uneven samples per stroke,
// strokes separated by ';'.
void TestFormulaRecognizer::recordedMouseStrokesAreRecognisedExactly_data()
{
    QTest::addColumn<QString>("strokes");
    QTest::addColumn<QString>("latex");
    // Its loop peaks at the left, so its crown looks open like a y's arms; standing on the
    // line beside the 7 it is still a 9.
    QTest::newRow("nine whose loop peaks at the left, gone over again")
        << "20,31 41,29 33,44 29,60; 76,38 72,43 64,43 62,35 64,27 77,38 73,55 61,57 57,52;"
           " 61,42 58,35 60,29 66,25; 72,29 75,31 76,39 75,47 69,57 67,58"
        << "79";
    // Gone over twice, its strokes cross like an x's, but its stem hangs below the brackets'
    // line.
    QTest::newRow("y with a straight stem, gone over twice, in brackets")
        << "45,22 30,45 26,72 33,98 55,120; 62,57 72,70 85,84 99,98; 60,58 74,69 87,83 98,96;"
           " 100,55 100,80 101,105 100,127; 102,56 101,82 102,104 101,126;"
           " 120,22 135,45 139,72 132,98 112,120"
        << "(y)";
    // A script hand's y, its loop hanging below the brackets' line: its outline is near a z's,
    // whose tail hangs as low.
    QTest::newRow("script y gone over twice, in brackets")
        << "92,85 79,94 68,106 59,119 52,134 50,150 51,166 52,168;"
           " 81,91 73,101 65,111 58,122 55,134 52,147 52,160 52,171; 97,125 90,142 92,150;"
           " 93,126 90,135 87,144 91,149 99,145 107,140 112,134;"
           " 119,125 112,140 105,155 96,168 86,180 85,167 98,157 112,150 124,140 127,136;"
           " 114,127 108,143 101,159 95,173;"
           " 137,160 143,154 149,146 155,138 159,130 163,121 164,111 165,101 165,91 163,84;"
           " 163,85 167,105 164,125 154,144 140,159 126,168"
        << "(y)";
    // Two strokes that run side by side make one bracket, though its top flicks out like a
    // root's roof.
    QTest::newRow("bracket gone over twice")
        << "86,73 78,80 68,89 59,99 52,111 49,124 48,141 50,151 53,162 60,174;"
           " 73,83 67,93 61,105 56,115 53,126 51,140 51,151 53,160 58,172; 110,95 124,82 123,148;"
           " 234,75 250,95 262,125 258,150 247,168"
        << "(1)";
    // The b rises above the y's arms and stands on the y's line: a letter of the product, not
    // the y's index.
    QTest::newRow("b standing beside a y")
        << "2,64 12,58 22,62 22,72 12,78 22,86 22,96 12,101 2,96; 40,70 46,85 52,100;"
           " 64,70 57,88 52,100 46,112 40,122;"
           " 80,60 79,80 78,100 84,88 92,84 99,90 97,98 88,101 79,99"
        << "3yb";
    // Written right after the sign and well inside its box, the digit is still the root's
    // body, not a piece of the sign.
    QTest::newRow("small digit under a tall root begun with its tick apart")
        << "40,100 48,96; 48,96 60,130 76,40 160,40; 96,80 104,74 112,80 98,100 114,100;"
           " 176,92 200,92; 188,80 188,104; 212,82 220,76 220,104"
        << "\\sqrt{2}+1";
    // A root sign drawn much taller than the coefficient before it is no index of it.
    QTest::newRow("tall root after a digit")
        << "10,70 20,62 30,70 14,100 32,100; 40,84 46,80 54,110 64,40 110,40; 70,70 90,100;"
           " 90,70 70,100"
        << "2\\sqrt{x}";
    // Every stroke gone over again; the index 0 is written right before the equals sign's
    // lower bar, which runs level with the 0's top: two symbols, not one.
    QTest::newRow("index just before an equals sign, strokes gone over twice")
        << "91,109 88,113 74,146 40,216 31,236 31,237; 87,112 84,122 63,172 44,222 39,235; "
           "141,110 140,127 133,173 128,218 127,226; 146,106 139,166 133,226; 21,139 26,134 "
           "43,116 128,99 185,95 190,94; 20,139 29,134 54,122 122,109 185,102 192,101; 268,182 "
           "216,238 266,303 271,181 269,181; 256,189 245,200 216,271 221,300 221,302; 216,299 "
           "251,303 268,298; 258,303 269,290 292,250 295,200 292,189; 294,193 256,189 246,193; "
           "360,178 358,188 404,187 477,185 523,183 528,182; 357,182 408,180 530,179 527,185; "
           "379,99 381,108 437,106 505,104 544,103 546,103; 376,101 453,95 546,95 545,100; "
           "657,34 665,33 702,28 764,30 706,95 684,120 683,120; 656,31 670,40 731,35 752,32 "
           "761,31; 761,20 741,46 675,121; 687,111 711,109 753,176 708,231 652,244 609,207 "
           "619,205; 677,123 733,123 747,150; 713,119 733,132 746,164 717,215 699,227 700,226; "
           "745,184 715,220 623,207 622,204; 647,232 620,215 619,214; 937,88 927,99 892,138 "
           "843,193 814,226 810,230; 960,72 894,149 834,218 834,219; 835,84 876,80 960,72; "
           "830,86 839,94 901,87 928,83 937,82; 832,219 889,213 937,220; 809,231 854,228 936,220 "
           "937,220"
        << "\\pi_0=3z";
    // A cross written high after a closing bracket, level with its upper half: the sign
    // between two brackets, not the bracket's exponent.
    QTest::newRow("times sign written high between brackets")
        << "30,40 20,60 20,80 30,100; 32,58 42,52 50,60 50,70 32,96 52,94; 64,40 74,60 74,80 "
           "64,100;"
           " 84,46 100,62; 100,46 84,62; 120,40 110,60 110,80 120,100;"
           " 122,58 132,52 140,60 140,70 122,96 142,94; 154,40 164,60 164,80 154,100"
        << "(2)\\times(2)";
    QTest::newRow("times sign written high after a root")
        << "20,84 26,80 34,106 44,46 84,46; 54,66 62,60 72,66 56,94 74,94; 92,58 106,72;"
           " 106,58 92,72; 114,66 122,60 132,66 116,94 134,94"
        << "\\sqrt{2}\\times2";
    // The cross stands no higher than the beta's line, but the y after it is wider than the
    // cross: the next operand, not an index of the letter x.
    QTest::newRow("times sign after a power, a y after it")
        << "68,49 68,50 67,49 66,50 62,51 56,55 50,60 45,69 40,77 38,83 34,90 32,96 30,102 "
           "29,106 27,109 24,114 23,117 21,121 21,122 20,123 19,123 20,124; 69,49 68,49 65,51 "
           "62,53 58,56 55,59 50,65 46,73 41,81 37,87 34,93 32,100 30,106 26,112 25,116 24,120 "
           "22,122 22,123 22,124 21,124; 68,50 67,51 68,51 68,50 69,51 68,51 70,50 71,51 72,50 "
           "74,51 77,51 78,56 79,59 76,63 74,67 69,70 65,72 62,73 59,73 58,74 56,74 55,74 54,74 "
           "53,75 53,74 53,75 52,75 52,74; 74,50 73,49 74,50 74,51 75,51 76,52 76,54 78,55 "
           "77,57 76,58 76,60 75,61 75,63 74,64 74,65 73,67 71,68 69,69 68,70 66,71 65,72 64,73 "
           "63,73 62,74 62,73; 51,73 52,74 53,74 52,73 54,74 56,74 58,74 58,75 60,75 63,76 "
           "64,78 65,81 66,84 67,86 66,89 64,94 62,97 59,100 55,103 52,103 48,106 45,104 42,104 "
           "40,102 38,101 37,98 37,97 37,95 37,94 37,93 36,93 37,92 36,92; 51,74 51,73 51,74 "
           "52,74 54,74 55,75 55,76 57,76 59,76 61,78 62,79 63,81 63,82 64,84 64,87 64,89 63,90 "
           "62,94 60,96 59,98 57,99 56,102 54,102 52,103 51,104 49,103 50,104 49,104 50,104 "
           "49,104; 109,20 110,20 109,21 108,20 107,21 106,21 105,22 103,22 103,23 101,25 "
           "100,27 100,31 102,34 105,35 110,37 115,42 116,48 112,55 104,57 96,57 90,54 91,44 "
           "97,38 104,36 109,35 114,34 118,30 119,27 120,24 119,22 117,20 116,20 114,21 114,20 "
           "112,20 110,20 110,19 108,20 110,20 108,20 109,21 109,20; 136,71 138,73 138,74 "
           "140,78 143,81 144,84 147,88 150,91 152,96 153,98 156,100 156,103 158,103 158,104; "
           "165,69 164,70 165,70 163,71 161,73 159,76 155,79 152,82 147,87 143,91 138,95 135,99 "
           "133,102 130,104 128,105 128,106; 174,94 174,95 175,94 175,93 174,92 176,91 177,90 "
           "178,90 180,87 183,85 180,88 178,91 175,95 173,99 169,104 171,109 176,109 179,109 "
           "183,108 185,107 187,105 188,104 188,103 190,102 192,101 191,101 193,99 194,99 "
           "194,98 196,97 197,96 198,95 198,94 199,94 201,93 200,93 199,93; 204,86 204,85 "
           "204,86 204,88 202,90 199,93 196,97 194,100 191,106 188,109 184,114 183,118 179,122 "
           "176,128 170,135 159,141 163,128 176,118 188,113 196,109 202,105 208,102 211,99 "
           "213,98 214,97 214,98 215,98; 238,92 238,93 236,94 234,97 232,99 228,103 226,105 "
           "222,108 221,110 218,112 213,116 219,117 226,117 232,117 236,118 238,118 239,118; "
           "239,93 238,93 237,94 238,95 237,95 237,96 237,99 236,100 235,101 234,103 235,105 "
           "233,107 234,108 233,108 232,110 232,112 232,113 230,115 229,118 229,120 227,122 "
           "227,124 227,125 226,128 226,127 226,128 226,129 225,129 226,129"
        << "\\beta^8\\times y_4";
    // Raised well over the digit, the cross is its exponent.
    QTest::newRow("cross raised over a digit")
        << "32,58 42,52 50,60 50,70 32,96 52,94; 56,48 70,68; 70,48 56,68"
        << "2^x";
    // A small, shaky script beta hanging below the 9's line: the outline of a theta, but a
    // theta stands on the line.
    QTest::newRow("script beta hanging below the line after a digit")
        << "149,32 148,32 149,33 148,35 144,40 131,36 132,21 152,32 149,50 134,54 131,48 133,48 "
           "133,50 132,50; 134,38 134,37 133,37 132,35 129,30 129,24 132,21 135,20; 145,22 "
           "146,23 148,27 149,30 150,33 149,43 147,50 143,54 143,55 143,54; 177,21 177,22 177,21 "
           "176,22 176,21 175,23 173,23 171,26 171,32 171,40 171,48 173,55 174,59 174,61 175,63 "
           "175,64; 178,22 176,21 177,22 175,22 174,24 172,26 172,29 172,34 172,39 173,43 174,49 "
           "174,54 176,59 176,61 176,63 177,64 176,64 177,64 176,65; 177,21 178,22 177,21 179,21 "
           "180,21 183,22 184,23 186,26 187,28 188,30 186,34 183,36 180,36 178,36 177,35 176,36; "
           "180,21 180,20 180,21 181,22 182,23 183,23 184,25 185,27 186,30 186,34 184,35 183,36 "
           "183,35; 176,36 176,35 178,35 181,36 186,38 190,46 184,53 177,50 174,48 173,47 "
           "174,46; 177,35 178,36 182,37 186,42 190,47 190,51 187,54 185,54"
        << "9\\beta";
    // In outline alone its hook and loop lie nearer a closing bracket.
    QTest::newRow("cursive z over its index")
        << "843,166 843,165 844,163 850,154 859,146 875,149 887,175 874,196 890,230 872,244 "
           "883,205 901,187 913,174 917,169 918,168 917,167; 944,197 945,188 965,185 984,203 "
           "975,223 962,238 962,250 982,252 996,254 1000,253 1000,254"
        << "z_2";
    // A long diagonal 1 whose outline alone is nearer a closing bracket.
    QTest::newRow("cursive 1 as an index")
        << "624,45 623,45 624,45 624,46 623,46 622,45 621,43 620,44 617,45 616,46 616,49 614,51 "
           "614,53 613,55 613,56 613,58 612,58 611,60 609,59 606,60 606,58 605,58 606,57 605,58 "
           "606,57; 601,50 602,50 602,49 602,48 603,48 604,47 605,44 606,42 609,43 612,43 "
           "613,47 614,49 615,53 616,57 617,58 620,60 622,60 624,61 625,60 627,58 628,57 629,55 "
           "631,54 631,53 630,53 631,51 630,52 631,51 631,52; 640,56 641,56 640,56 641,56 "
           "641,55 642,54 643,53 644,50 646,52 646,55 648,57 649,59 649,61 650,63 651,65 651,66 "
           "651,65 651,68 652,70 653,71 653,72 654,74 655,73 655,74 655,75 655,74"
        << "x_1";
    // A c of 20 px, its second stroke a thickening, whose outline alone is nearer a 0.
    QTest::newRow("small italic c under a root")
        << "91,35 91,34 91,35 92,35 92,36 92,39 92,40 92,43 95,41 99,32 107,20 121,21 140,22 "
           "159,21 177,22 186,22 194,22 199,23 202,23 204,22 205,23 206,23 206,22 207,23 "
           "206,23; 123,35 124,35 123,35 124,35 125,35 125,34 125,33 123,32 122,32 120,32 "
           "119,33 116,33 115,35 113,38 112,42 113,44 116,44 118,44 119,43 121,43 121,41 121,42 "
           "122,41 121,41; 120,32 121,32 120,32 120,33 119,31 119,32 118,32 117,33 115,35 "
           "114,37 114,39 112,40 112,43 112,42 112,43 113,43"
        << "\\sqrt{c}";
    // Nearest a y, with a 7 close behind; where the line makes the y look out of place, a
    // label matched this much farther must not take its place.
    QTest::newRow("script y with its index")
        << "20,90 21,91 20,97 22,113 26,129 46,134 55,121 58,110 61,105 60,104; 23,89 24,90 "
           "23,90 24,91 24,94 24,98 25,102 27,111 27,119 31,128 34,133 37,134 39,135 40,135 "
           "40,136; 58,88 59,90 60,100 61,115 63,133 66,151 67,166 68,176 69,181 68,181; 64,89 "
           "63,89 65,93 66,107 67,131 68,170 50,186 55,152 70,140 82,131 89,120 91,111 92,108; "
           "134,125 135,126 137,126 139,128 139,131 135,130 130,124 132,113 144,108 160,109 "
           "172,118 174,129 170,137 165,142 162,144 159,144 158,144 158,145; 153,109 154,108 "
           "161,113 169,121 171,133 168,139 167,140; 151,145 151,146 153,146 163,147 177,154 "
           "186,167 179,183 151,183 137,170 142,170 142,173 142,172; 160,144 160,145 162,145 "
           "164,146 165,147 167,148 171,150 176,154 182,163 184,173 183,181 179,183 176,185 "
           "177,186 176,185"
        << "y_3";
    // Nearest a 9 whose open crown makes it a y; a theta matched much farther must not take
    // its place for its size.
    QTest::newRow("italic y in brackets")
        << "135,20 134,19 132,21 128,24 118,30 102,41 81,59 58,86 36,122 27,151 21,181 20,198 "
           "21,213 23,226 25,243 28,257 33,274 38,286 41,294 42,296; 99,45 98,44 97,44 98,44 "
           "95,46 94,48 91,52 87,57 82,64 76,70 70,78 62,91 55,104 47,122 41,133 37,151 34,166 "
           "30,181 30,192 29,203 29,211 29,219 29,227 30,236 32,246 32,253 34,261 35,268 36,275 "
           "38,281 40,285 41,289 42,293 42,295 43,295 42,295; 145,141 145,142 145,140 146,140 "
           "147,137 148,135 149,130 152,123 156,117 165,109 174,101 189,100 204,103 212,116 "
           "213,131 211,145 208,157 205,167 201,175 201,181 199,186 197,191 196,196 195,201 "
           "196,206 196,213 198,217 203,221 207,224 209,227 212,229 214,231 215,232 214,232; "
           "191,103 191,104 190,103 191,104 192,105 194,107 195,108 197,110 200,112 200,116 "
           "200,121 201,128 202,137 200,149 196,164 192,183 188,205 196,221 212,230 234,231 "
           "253,222 263,211 271,203 276,193 280,184 282,178 284,173 285,170 286,168 287,166 "
           "287,164 288,163 288,162 289,162; 311,99 312,99 311,100 310,104 308,114 305,125 "
           "302,139 296,163 291,187 284,214 276,248 262,276 243,291 210,297 187,289 174,273 "
           "185,263 190,273 185,279 183,280 184,281; 303,99 302,101 301,108 298,119 294,139 "
           "288,164 282,186 276,215 269,240 261,264 251,279 241,288 233,294 229,296; 393,163 "
           "392,164 393,164 394,164 397,163 398,163 402,164 404,164 407,163 410,163 413,164 "
           "416,164 423,165 431,164 439,164 455,165 472,166 489,166 505,166 519,166 527,167 "
           "533,166 539,166 542,167 545,167 545,166 547,166 547,167 546,167; 626,159 627,159 "
           "630,154 637,143 650,130 665,123 676,125 683,125 691,126 697,141 698,156 696,167 "
           "696,173 696,174 695,174; 682,125 682,126 683,130 685,135 690,144 687,164 682,188 "
           "672,216 649,243 624,251 614,237 622,223 629,229 627,234 625,237 623,239 622,239 "
           "623,239; 678,208 678,209 678,210 677,216 678,223 677,237 684,252 701,255 719,252 "
           "734,242 740,233 745,227 747,223 748,222 749,222; 752,141 753,142 752,142 750,144 "
           "748,145 746,148 744,152 748,156 755,157 762,150 759,138 751,132 740,134 731,137 "
           "724,141 715,149 709,154 702,163 699,170 696,179 692,189 690,198 686,208 686,217 "
           "684,227 685,233 687,240 689,247 690,250 691,253 692,255 693,256; 871,43 870,42 "
           "871,44 874,50 879,60 884,76 889,97 894,119 895,148 890,178 884,202 870,228 855,249 "
           "838,269 819,286 806,295 797,303 793,306 792,307 791,307 791,306; 873,43 872,43 "
           "873,47 876,58 878,70 881,88 883,107 883,130 883,152 877,181 872,205 863,226 854,246 "
           "843,262 835,271 831,278 827,283 828,283"
        << "(y-x)";
    // A z written in three strokes: its top bar bows like a 2's, but its diagonal is a quick
    // straight stroke of its own, two samples long.
    QTest::newRow("z of three strokes, its top bar bowed")
        << "60,46 66,40 76,38 86,40 92,44; 92,44 58,100; 58,100 72,98 84,99 94,100"
        << "z";
    QTest::newRow("z of three strokes, its top bar a hook")
        << "56,54 60,44 70,38 82,38 90,44 90,52; 90,52 56,100; 56,100 72,100 94,100"
        << "z";
    // A small z whose bars and diagonal are each gone over twice, leant back: its outline is
    // nearer an x's, but an x has no flat bars across its top and foot.
    QTest::newRow("small z gone over stroke by stroke, with its index")
        << "31,25 31,24 31,25 31,24 31,25 30,25 30,26 29,27 28,29 27,31 26,32 26,34 25,36 24,36 "
           "25,36 26,37 25,37; 33,22 33,23 32,24 32,25 31,27 30,30 28,32 27,34 27,36 27,37; "
           "20,22 21,22 22,23 23,23 24,22 25,22 27,22 28,22 30,23 31,22 32,23 32,22 33,23 32,22; "
           "19,22 21,23 20,22 22,23 25,23 27,23 29,24 30,23 32,24 31,24; 27,36 26,37 28,36 29,37 "
           "30,37 31,36 32,36 33,36 34,36 37,37 38,37 38,38 37,39 38,38; 25,36 25,37 26,37 28,38 "
           "31,36 32,38 33,37 36,38 38,37 38,38; 42,34 41,34 42,32 41,32 41,31 43,30 44,30 46,31 "
           "48,32 50,34 49,37 48,39 48,40 47,41 45,42 45,43 45,44; 41,33 42,34 42,33 41,33 42,34 "
           "42,33 41,32 42,32 43,32 46,31 48,34 49,35 48,38 46,39 45,41 45,42 44,42 44,43 44,44 "
           "44,43 44,44; 44,44 45,43 45,44 46,44 46,43 47,43 46,44 48,44 49,44 51,43 51,44 52,44 "
           "53,44 53,45; 45,44 43,44 44,44 45,44 46,44 47,44 49,44 51,44 51,45 52,44 52,45 53,45 "
           "52,44 53,44"
        << "z_2";
    // An italic z nearly as tall as the 2 before it, its outline nearer a 2's: its diagonal,
    // bent a little at its ends, is a stroke of its own, which a 2's bow never is.
    QTest::newRow("tall italic z with its diagonal apart, after a 2")
        << "51,31 51,32 52,32 51,31 51,32 52,33 53,34 53,35 51,37 50,38 48,37 47,35 48,32 50,29 "
           "52,25 57,24 62,22 67,21 74,21 80,21 86,23 88,29 87,34 85,37 80,43 75,46 72,49 67,52 "
           "64,54 58,56 54,58 50,61 47,62 44,63 40,65 37,68 35,69 33,71 30,73 28,74 27,77 25,78 "
           "24,79 23,82 22,83 22,84 21,84 20,84 20,85; 76,20 77,20 79,21 80,23 82,25 84,29 "
           "83,33 83,35 82,36 79,40 76,45 68,51 61,55 56,58 51,59 50,61 49,61 49,62; 25,79 "
           "24,79 25,79 27,77 29,77 34,76 38,78 42,80 48,84 54,84 59,84 64,82 67,81 69,77 70,76 "
           "70,75 71,75 70,75; 35,76 34,76 35,77 37,78 39,81 44,83 52,87 60,86 65,83 68,79 "
           "69,76 70,76 70,75; 120,67 121,67 122,68 122,67 123,67 124,67 126,67 127,67 129,66 "
           "131,67 135,67 137,66 139,67 142,66 145,67 148,66 152,66 155,67 159,66 162,66 165,66 "
           "167,66 169,66 171,66 173,66 174,66 176,67 176,66 177,66; 124,49 124,50 123,49 "
           "124,49 124,48 124,49 125,49 126,49 127,49 129,49 132,48 134,49 137,48 140,50 142,49 "
           "145,48 148,48 151,48 155,49 157,48 160,48 162,48 165,48 167,48 169,48 172,48 173,47 "
           "176,47 177,47 178,47 179,47 180,47 180,46 180,48 181,47; 270,43 269,43 270,42 "
           "269,43 270,43 269,44 268,44 267,45 266,46 265,48 263,50 261,51 261,53 257,55 255,56 "
           "254,57 250,58 248,60 246,63 242,63 240,65 236,67 234,69 230,71 226,73 223,75 218,77 "
           "215,80 213,82 209,85 208,86 206,88 205,91 204,92 203,93 203,94 202,95 203,96 202,96 "
           "203,95; 213,57 215,56 213,57 214,56 215,55 216,55 216,53 217,53 218,51 219,49 "
           "221,48 223,46 225,44 227,43 228,42 233,40 234,42 238,41 241,41 243,43 245,44 246,45 "
           "249,46 250,47 252,48 253,48 254,49 255,49 254,49 255,50 255,49; 220,48 225,47 "
           "228,45 234,45 240,44 245,46 247,46 250,48 253,49 257,49 261,49 263,49 263,50; "
           "208,88 210,89 213,88 217,89 222,90 227,91 232,92 236,92 240,92 243,90 246,89 248,89 "
           "249,88; 216,88 216,87 216,88 215,88 216,88 217,89 218,88 219,89 220,91 222,92 "
           "224,92 225,94 226,94 227,95 229,95 230,95 232,95 234,96 236,95 239,96 241,95 243,92 "
           "247,89 249,88 250,86 252,85 253,83 254,82 254,80 255,80; 297,83 298,84 299,86 "
           "296,88 295,83 300,78 311,75 323,79 319,91 308,98 299,101 293,104 289,106 286,108 "
           "284,110 281,112 279,116 277,118 275,120 274,120 274,121 273,121; 316,75 317,74 "
           "318,75 317,76 317,75 318,75 320,76 320,77 321,79 322,80 321,81 321,84 321,86 319,87 "
           "320,88 318,90 317,91 315,92 314,94 312,96 309,96 306,98 303,100 302,101 299,102 "
           "297,103 296,103 295,103 295,104 294,104 294,106 293,105; 277,117 277,116 278,117 "
           "278,115 282,116 285,115 288,117 293,119 298,120 302,120 306,118 308,116 308,114 "
           "309,113 309,114 310,113; 285,114 285,115 286,115 288,117 288,118 290,119 294,121 "
           "299,123 305,121 307,118 309,115 310,115 311,115 310,115"
        << "2=z_2";
    // The index stands about as low as the z's foot, as if on the line; but it is a 2, no
    // letter lies nearly as near.
    QTest::newRow("cursive z with its index 2, in brackets")
        << "340,19 341,20 340,20 340,22 339,22 337,25 336,29 335,35 335,38 334,44 336,45 336,48 "
           "337,51 338,54 341,59 343,65 348,70 351,74 354,77 356,79 359,79 359,80 360,79; "
           "380,31 381,30 381,31 380,32 377,31 374,32 369,31 364,31 365,39 370,42 381,44 388,52 "
           "390,58 388,63 384,65 381,65 378,65 375,64 372,64 371,61 370,60 369,59 368,58 367,58 "
           "368,59; 422,34 421,34 421,33 417,30 406,32 406,44 414,60 431,59 427,47 416,43 "
           "410,46 409,51 410,53 409,54; 455,36 456,36 457,38 459,42 459,46 462,53 464,60 "
           "466,63 466,66 467,66; 445,52 446,52 447,51 451,52 461,51 469,50 475,50 476,51 "
           "476,50; 483,58 484,58 483,57 483,56 484,55 484,53 486,51 489,51 491,52 494,53 "
           "496,58 494,64 491,67 496,74 497,86 490,82 491,75 498,69 502,65 505,62 506,60 508,59 "
           "507,59 508,59 508,58; 516,57 517,56 516,56 515,55 517,52 519,51 522,51 526,53 "
           "529,57 528,63 524,66 521,73 524,74 529,74 531,74 534,74 535,75 536,74 535,75; "
           "533,25 532,25 533,26 534,26 535,27 537,28 540,30 542,34 545,36 549,42 551,46 553,50 "
           "554,55 555,61 556,66 555,69 553,72 552,75 552,77 551,78 550,79"
        << "(56+z_2)";
    // A small script z, its tail hanging below the line, is as tall as a digit; its outline is
    // near a bracket's, but the open foot of its tail is no bracket's.
    QTest::newRow("small script z with its index under a fraction bar")
        << "282,28 280,29 277,33 275,37 272,38 270,41 272,43 279,45 284,45 285,45 286,46; "
           "282,29 281,29 281,30 282,33 281,34 281,36 281,37 280,39 280,42 280,46 280,48 279,50 "
           "280,51 279,51 280,52 278,53; 309,32 310,32 308,33 305,32 301,33 298,35 296,41 "
           "309,41 307,53 299,54 296,52 295,51 295,50; 322,46 323,46 323,45 324,46 323,46 "
           "326,47 330,45 332,46 337,44 339,45 341,46 343,46 344,47 344,46 343,46 345,46; "
           "333,36 334,35 334,36 333,37 334,39 333,40 333,43 333,46 334,47 334,50 333,52 333,53 "
           "333,55 334,56 333,56 333,57; 372,31 372,30 371,31 370,31 369,30 366,31 364,31 "
           "360,31 359,35 357,41 362,39 366,39 371,41 372,45 370,51 367,54 364,56 360,55 358,55 "
           "355,53 355,52 356,51 355,51 355,50; 395,37 394,38 395,40 394,46 394,52 394,57 "
           "394,58 393,59 394,59; 384,48 384,47 384,48 385,47 386,48 388,47 391,48 392,48 "
           "395,48 397,48 398,48 400,48 402,48 404,48 405,48 406,48 405,48; 422,37 422,38 "
           "424,37 426,36 427,39 426,48 425,53 425,56 425,57 424,57; 258,57 259,57 261,57 "
           "266,58 272,57 282,58 295,59 312,58 337,60 359,61 378,62 397,62 415,63 427,64 433,64 "
           "438,64 441,64; 335,68 335,67 336,67 340,64 343,70 339,81 333,84 338,78 344,74 "
           "347,72 349,70 351,69 350,69; 352,72 352,73 352,72 354,70 358,70 357,78 352,82 "
           "353,84 357,86 358,86 360,86 360,85"
        << "\\frac{45+5+1}{z_2}";
    // One stroke with a tail out to the right, its stem no higher than the bowl's middle: open
    // at the top like a c, but closed by the stem on the right further down.
    QTest::newRow("cursive a whose stem stops low")
        << "162,65 161,64 161,63 160,60 150,58 140,66 146,79 160,66 161,68 163,79 171,75 "
           "175,70 179,67 178,66"
        << "a";
    QTest::newRow("large cursive a whose stem stops low")
        << "608,147 607,147 607,146 607,143 600,137 575,148 586,169 606,149 609,169 621,159 "
           "626,155 628,153 629,153"
        << "a";
    // Its top curls down on the right, so it reaches as far as an a's stem up there, but
    // halfway down it stays open.
    QTest::newRow("c whose top curls down")
        << "149,46 148,46 149,45 149,46 150,47 151,48 151,47 150,45 149,43 148,42 144,40 140,40 "
           "137,40 135,43 134,47 133,50 135,54 137,56 140,59 143,61 145,61 149,60 151,60 151,58 "
           "152,56 153,56 152,56 153,56; 140,39 139,39 139,40 136,41 135,46 135,51 136,55 137,57 "
           "138,58 139,59 138,59"
        << "c";
    QTest::newRow("small c whose top curls down")
        << "74,82 74,80 73,78 70,79 68,82 68,86 71,88 76,88 77,87 78,85 80,84 79,84"
        << "c";
    // A c of 10 px, its top curled over as far as an a's stem reaches, whose outline lies far
    // from every a.
    QTest::newRow("tiny cursive c with an exponent")
        << "325,61 326,62 324,64 322,66 321,68 318,69 317,71 316,73 313,75 312,78 311,78; "
           "314,61 315,61 315,62 315,61 317,62 319,62 320,62 321,62 322,61 324,62 323,62 324,60 "
           "324,62 325,61 325,62 326,61; 329,75 329,74 331,72 334,70 335,72 333,75 335,77 "
           "338,76 339,75 340,74; 326,73 325,73 326,73 327,73 328,71 328,70 329,71 330,70 "
           "330,71 329,73 328,75 327,76 327,77 327,76 327,77 326,77 327,77; 354,63 355,64 "
           "355,65 354,67 354,69 353,71 353,72 352,74 352,75 351,76 351,77 351,76 351,77 "
           "350,78; 345,70 347,70 347,71 348,70 349,70 350,71 352,71 353,72 354,71 355,71 "
           "356,71 357,71 358,71 359,70 360,71 359,72 360,71; 370,73 370,74 370,73 370,72 "
           "369,72 366,72 366,73 364,74 363,74 363,76 363,78 364,78 366,79 368,79 370,77 370,76 "
           "371,75 373,74 372,74 373,74; 377,63 378,61 382,61 381,65 377,67 374,71 377,71 "
           "379,71 380,70 380,71"
        << "7n+c^2";
    // Its bowl alone is a c; the stem drawn apart beside it closes it on the right.
    QTest::newRow("a with its stem apart, gone over twice")
        << "174,138 173,134 171,130 167,128 163,129 159,131 156,135 156,139 156,143 158,147 "
           "161,150 165,152 169,150 172,147 174,143 175,139; 179,128 178,130 178,132 177,134 "
           "177,136 176,138 176,140 176,142 175,144 175,146 175,147 176,149 177,151 177,152; "
           "176,128 176,133 176,138 175,143 174,147 176,151 181,151 184,147 186,144; 164,128 "
           "161,130 159,133 158,137 158,140 159,144 160,147 161,150"
        << "a";
    // A script hand's x: two arcs back to back, each gone over twice, with short ticks where
    // they meet. Neither arc alone matches any glyph well, and they need not touch.
    QTest::newRow("script x of two arcs apart, after a digit")
        << "697,28 696,31 696,39 695,55 694,80 693,105 692,126 691,143 690,156 689,180 687,200 "
           "687,211 687,215 686,217; 700,20 701,21 701,25 700,35 701,53 700,90 698,125 697,163 "
           "697,185 696,197 696,204 696,210 696,214 697,214 696,215; 704,20 703,21 698,28 691,38 "
           "680,53 668,70 653,88 644,102 632,119 615,141 614,162 656,161 686,160 717,159 734,159 "
           "742,158 745,157 745,159; 848,186 847,188 844,193 839,200 836,204 834,204 835,206; "
           "837,185 839,186 841,192 846,198 849,202 850,203 850,202; 853,141 850,145 844,153 "
           "841,157 840,158 840,159; 836,142 835,141 836,141 836,142 838,144 840,146 841,148 "
           "841,150 845,153 846,155 847,157 848,158 849,158 848,159; 885,143 884,143 881,148 "
           "882,151 886,144 879,135 858,137 849,169 859,207 888,209 906,191 913,176 915,170 "
           "915,168 916,168; 781,169 781,170 782,169 783,165 786,159 791,148 802,136 836,138 "
           "838,177 824,208 802,209 796,195 804,195 800,200 799,201 799,203"
        << "4x";
    QTest::newRow("small script x of two arcs apart, after a plus")
        << "80,115 80,114 81,114 83,114 88,114 94,114 104,114 109,113 112,114 114,114 115,113; "
           "100,95 99,96 100,97 99,100 97,105 97,113 96,121 95,126 94,129 94,130 95,130; "
           "130,121 131,121 130,121 131,120 132,119 133,117 134,115 137,113 140,112 145,111 "
           "147,114 146,118 144,121 143,125 141,129 135,132 132,132 131,128 133,127 132,128 "
           "132,129 130,129; 162,115 162,114 161,115 160,116 161,114 154,113 148,123 148,132 "
           "155,132 161,127 164,124 166,121 166,119 167,119; 146,114 147,115 148,117 147,118 "
           "148,118; 151,114 151,113 150,115 149,115 147,119 146,119; 144,125 145,125 146,128 "
           "146,130 145,129 146,130; 146,126 144,127 142,128 141,129 140,131 140,130"
        << "+x";
    // An exponent whose foot touches its base, each written poorly enough that together they
    // come nearest a root sign; the exponent alone is a clear digit.
    QTest::newRow("x touched by its exponent")
        << "25,40 26,41 26,40 27,38 27,39 28,37 29,36 30,36 32,35 33,34 35,34 38,33 39,35 39,37 "
           "39,39 39,40 40,41 39,42 40,42 39,43; 37,34 37,33 37,34 38,35 38,37 37,38 38,39 38,42 "
           "36,44 35,47 33,49 32,52 28,54 25,56 23,58 20,56 21,54 23,53 24,55 23,56 22,56 21,57 "
           "22,55; 34,48 35,49 33,49 33,50 33,53 34,57 39,57 43,55 45,52 46,51 47,51 46,51; 51,36 "
           "51,35 50,36 49,37 50,38 52,36 46,35 41,40 37,46 35,49 34,52 34,53 35,54 35,56 35,57; "
           "61,23 61,24 61,23 62,25 61,25 60,25 60,24 60,23 62,21 66,20 69,20 73,22 72,25 69,27 "
           "66,29 63,31 62,32 60,33 58,32 57,33 56,34 55,35 54,36 52,37 51,39 51,40 50,40 50,41 "
           "50,40; 70,19 71,21 70,21 70,20 71,21 72,22 71,25 66,29 63,30 60,32 59,32 60,32; 52,38 "
           "53,38 52,38 53,37 55,38 58,39 63,40 65,39 66,38 66,36 66,37; 55,37 56,37 57,38 59,40 "
           "61,40 64,40 65,38 66,38 66,37 67,37"
        << "x^2";
    QTest::newRow("y touched by its exponent")
        << "23,63 24,62 25,60 28,57 38,53 42,61 36,72 31,81 33,85 35,88 36,88 36,89; 39,53 38,53 "
           "39,54 40,55 41,57 40,59 39,64 36,67 35,72 31,77 29,85 36,90 44,88 51,84 55,80 56,77 "
           "58,73 59,72 60,71 60,70 60,71; 73,52 73,53 72,53 71,55 70,58 68,61 65,67 62,72 59,79 "
           "55,85 51,92 47,99 42,105 36,107 30,107 23,107 20,101 22,99 25,98 26,100 24,100 23,102 "
           "23,101; 70,54 70,52 69,53 69,55 67,58 66,61 63,66 60,71 57,79 53,86 50,91 49,93 48,95 "
           "47,96 45,99 43,101 41,103 38,105 36,106 35,107 34,107; 96,34 97,34 96,37 88,42 79,36 "
           "84,27 92,25 97,29 94,42 85,53 74,51 78,50 75,50 76,50; 81,40 82,40 81,37 80,32 83,29 "
           "86,27 88,26 89,26; 95,25 96,26 95,26 96,28 97,30 96,33 94,39 92,45 90,49 87,51 85,53 "
           "83,54 84,54 82,55 82,54"
        << "y^9";
    // A book hand's a: a closed round bowl, and beside it a stem whose foot turns out to the
    // right, both gone over twice. The bowl alone is near an o or a c, the stem a bracket.
    QTest::newRow("a of a round bowl and a tailed stem")
        << "507,66 508,66 507,67 505,67 503,68 499,69 498,71 497,74 494,76 493,79 492,83 491,86 "
           "490,91 490,96 491,102 492,107 493,112 495,115 496,117 498,117 497,118; 531,98 530,97 "
           "530,91 527,81 514,68 493,72 487,91 491,108 500,119 508,123 516,125 523,120 528,112 "
           "530,104 532,100 531,99; 538,68 539,68 540,68 540,71 539,78 538,90 537,107 536,118 "
           "539,124 540,127 541,127; 536,69 537,69 536,69 536,71 535,76 534,85 532,100 534,124 "
           "551,126 556,119 558,116 559,114 558,114 559,114"
        << "a";
    QTest::newRow("a of a round bowl and a tailed stem, after a digit")
        << "25,52 26,53 25,54 25,58 24,64 22,72 22,78 21,82 20,84 20,83; 94,57 95,57 94,58 95,59 "
           "94,60 93,65 93,70 90,77 87,83 83,90 77,98 72,105 66,114 61,120 59,125 56,130 53,135 "
           "52,139 50,142 50,147 50,152 48,155 48,158 48,161 48,163 49,165 48,165 48,166 48,164; "
           "85,89 84,89 85,89 84,90 82,91 81,92 78,96 74,99 70,103 67,107 63,110 60,114 57,117 "
           "54,122 51,128 48,133 45,140 45,147 43,152 43,156 43,160 42,162 43,163 42,163; 22,68 "
           "21,69 22,69 21,68 22,68 24,67 25,64 27,63 29,61 32,58 37,54 46,55 52,57 60,63 65,65 "
           "70,69 73,70 75,71 76,72 76,71; 27,64 28,64 30,62 31,62 35,61 39,60 43,60 48,61 53,63 "
           "60,65 66,68 73,71 80,72 86,72 89,69 92,64 93,61 94,59 95,57 94,57 95,56 95,57; 206,99 "
           "206,98 205,99 206,101 205,105 206,112 206,125 206,149 212,178 231,179 239,167 241,160 "
           "242,157 242,156; 211,97 212,97 211,98 211,100 211,102 211,106 210,110 210,115 211,122 "
           "211,130 209,136 210,146 208,150 210,156 210,164 211,169 211,173 215,176 216,178 "
           "218,179 "
           "219,179 220,179 220,180 219,180; 205,138 204,135 203,129 198,117 186,103 164,100 "
           "150,107 "
           "146,115 143,123 142,133 144,151 156,170 184,179 198,168 204,152 204,142 204,139 "
           "205,138; "
           "165,101 164,101 163,101 163,102 161,103 160,105 156,106 154,109 153,114 151,119 "
           "150,126 "
           "150,133 150,139 151,146 153,153 154,159 156,164 160,167 161,170 162,171 163,172 "
           "163,173 "
           "164,172"
        << "7a";
    // A cursive index as tall as its x, whose top reaches back a little over the x's arm.
    QTest::newRow("x with a tall index reaching over it")
        << "423,59 422,59 423,58 424,58 425,59 427,58 430,57 438,57 449,56 459,55 469,55 476,53 "
           "479,53 481,53 483,53 483,52 483,53 484,52 483,53; 458,25 458,27 458,28 457,30 457,33 "
           "456,38 455,43 454,51 453,57 451,63 450,69 448,75 448,79 447,82 448,85 447,85 447,86 "
           "446,86; 499,70 499,71 501,69 501,70 502,68 502,67 503,66 505,64 507,63 508,61 512,60 "
           "513,58 515,56 519,57 523,57 524,60 525,63 523,65 523,69 522,74 520,78 519,82 521,85 "
           "525,86 530,86 533,85 536,82 540,81 543,79 545,77 547,75 548,74 549,73 550,72 551,71 "
           "552,70 552,69 551,70; 543,59 543,58 540,56 537,56 532,58 530,61 525,66 521,72 517,76 "
           "514,80 509,87 504,87 501,86 500,85 500,84 499,84; 557,68 558,69 557,69 558,68 558,67 "
           "557,68 558,67 558,66 559,65 559,64 560,64 561,62 563,61 565,59 567,59 570,58 574,57 "
           "579,58 583,61 584,68 581,74 575,82 568,87 561,91 555,96 550,99 546,104 552,103 557,104 "
           "561,103 563,104 566,103 569,103 569,104 571,103 571,104 574,103 574,104 574,103 "
           "575,103 "
           "575,104 575,103 576,103 575,103"
        << "+x_2";
    // Exponents a few pixels tall: the whole-pixel samples leave a gap at the top of the 9's
    // loop, which is still no y's opening.
    QTest::newRow("tiny 9 as the exponent of an x")
        << "279,46 278,46 279,43 285,43 286,51 282,52 281,50 279,51 280,51; 293,42 293,43 293,44 "
           "292,41 289,41 287,45 287,49 289,52 293,52 295,50 296,49 297,48 297,47 297,46 298,46; "
           "285,42 286,43 286,42 286,43 287,43 287,44; 288,42 287,43 288,42 287,44 286,45; 286,48 "
           "287,49 288,51 288,50 288,51; 287,48 288,48 287,48 287,49 286,49 285,50 286,49 285,51; "
           "311,28 311,29 306,31 302,25 312,28 310,35 305,38 305,36 304,37 304,36; 305,31 305,32 "
           "305,31 304,30 303,28 303,29 302,25 304,24 305,23; 309,24 309,25 309,24 310,28 311,29 "
           "311,32 311,33 311,35 310,37 308,38 309,38"
        << "x^9";
    QTest::newRow("tiny 9 as the exponent of a theta")
        << "158,43 159,42 158,42 159,41 160,39 162,39 166,41 167,47 168,51 170,52 171,54 171,55 "
           "171,54; 162,39 163,38 163,39 164,41 165,47 170,53 176,50 178,44 177,39 175,35 174,31 "
           "168,31 169,36 172,42 177,44 179,44 180,45; 175,52 175,51 176,50 177,47 176,45 176,40 "
           "174,35 173,32 172,31 171,30; 195,25 193,27 186,25 194,24 191,34 187,32 187,31 186,31; "
           "188,27 187,26 186,25 187,23 186,22 188,20 189,20; 192,21 193,22 194,25 193,30 193,33 "
           "191,33 190,34"
        << "\\theta^9";
    // A script z whose loop hangs below the line of the 2 before it: hanging low suits a z,
    // so it keeps its label and is not taken for a bracket.
    QTest::newRow("script z hanging below the line, after a 2 in brackets")
        << "40,53 40,52 39,52 39,53 38,55 37,56 36,59 34,62 33,66 31,70 28,76 28,81 26,87 25,95 "
           "25,103 23,113 23,123 22,137 26,149 30,162 33,174 37,185 43,198 49,209 54,220 62,230 "
           "69,240 75,250 83,260 91,268 96,274 105,282 113,290 120,298 128,304 134,308 140,312 "
           "145,317 149,320 154,323 158,325 162,328 165,330 167,331 168,332 170,333 171,333 "
           "173,334 172,335 173,334; 189,122 190,122 189,121 188,120 188,117 187,114 187,110 "
           "188,105 189,100 192,96 196,91 201,88 209,84 217,85 226,85 234,84 243,86 254,91 263,97 "
           "272,105 280,114 284,124 286,136 283,147 280,158 275,172 268,180 261,189 254,200 "
           "247,210 239,221 232,231 224,243 231,243 241,243 253,242 263,243 272,243 280,243 "
           "286,243 293,244 300,243 305,243 311,242 316,243 320,242 323,242 326,243 328,243 "
           "331,243 332,243 333,243 333,242 333,243 333,242; 329,218 328,218 329,217 329,216 "
           "329,213 329,210 330,204 330,197 331,189 341,181 353,180 366,184 385,196 396,223 "
           "386,253 385,265 409,301 418,352 395,362 385,326 391,297 402,275 415,259 426,244 "
           "433,235 437,227 441,221 442,217 446,214 446,212 446,210 447,211 447,210 448,209; "
           "569,101 568,100 569,100 568,100 569,101 570,102 571,103 571,106 572,110 574,113 "
           "576,119 579,124 581,131 585,140 588,148 591,156 595,164 597,170 600,178 602,184 "
           "607,192 608,198 610,203 613,209 615,212 617,217 618,220 619,224 621,227 622,231 "
           "624,234 625,237 625,240 626,241 626,242 627,243 626,242 627,242; 525,176 525,175 "
           "525,176 528,175 533,175 540,175 548,175 559,174 565,174 572,174 576,174 585,173 "
           "599,172 614,171 634,171 648,170 660,170 665,169 668,169 669,169; 825,62 824,61 822,61 "
           "819,61 814,61 806,61 796,60 783,59 770,60 748,60 734,66 738,91 744,114 750,146 767,133 "
           "795,129 825,133 856,147 878,165 894,192 898,217 887,242 866,252 846,256 828,257 "
           "814,253 798,250 785,242 778,236 772,230 769,226 766,223 765,222 766,222 765,222"
        << "(2z+5";
    // Tiny writing, digits 22 px tall: the a's bowl and stem, each gone over twice, are a few
    // whole pixels across, and the round-bowled a is the outline that tells it from a c.
    QTest::newRow("tiny a after a times sign")
        << "14,18 14,19 15,20 15,21 16,22 16,24 17,27 19,30 20,33 21,35 21,36 22,36; 15,16 15,17 "
           "15,19 17,23 19,29 20,34 22,35 21,36; 15,17 14,18 13,23 10,30 18,32 22,32 23,31; 15,19 "
           "14,21 13,23 12,29 11,31 11,30; 10,30 11,31 11,30 11,31 14,31 16,30 18,30 20,30 22,31 "
           "23,31 23,32; 25,11 25,10 25,11 26,12 27,12 28,14 30,14 32,17 34,20 37,25 39,30 40,35 "
           "39,38 39,41 38,43 38,42 37,44 37,43; 28,13 29,15 31,16 34,21 36,26 39,32 39,36 39,38 "
           "39,39 39,41; 42,21 45,22 53,28 56,31 56,32 56,31; 53,21 53,22 53,21 52,22 51,25 49,26 "
           "49,27 48,28 47,29 47,31 46,31 46,32; 71,22 72,26 74,29 75,32 76,34 77,33; 71,22 70,22 "
           "72,23 73,27 76,32 77,34; 71,26 71,24 70,23 66,22 64,30 70,36 74,33 74,32; 71,24 70,24 "
           "69,23 66,23 64,23 63,25 65,31 66,34 70,34 72,35 74,32 75,31 75,32 74,31; 83,15 83,16 "
           "84,17 89,19 99,23 98,28 94,32 90,34 88,34; 123,21 123,22 124,22 123,23 121,24 117,25 "
           "114,24 109,21 109,14 114,11 119,13 123,19 126,24 125,31 122,34 117,34 116,32 117,33 "
           "118,33 119,34 118,34; 122,18 122,19 122,20 122,22 121,24 120,25 120,24; 123,19 122,19 "
           "123,20 123,21 122,21 121,23 119,23 117,24 113,23 111,21 111,20 110,21; 116,25 116,23 "
           "116,24 115,23 113,22 111,20 109,18 110,16 110,14 111,13 112,13; 110,17 109,15 115,13 "
           "118,14 120,16 121,16; 115,13 116,14 116,13 117,13 119,15 120,17 122,19 123,23 125,26 "
           "125,29 125,31 125,32; 126,31 125,31 123,32 121,33 117,34 117,33"
        << "4)\\times a>9";
    // A book face's italic n, its arch and stems thickened by extra strokes: open at the foot
    // between its stems, where an a's bowl closes.
    QTest::newRow("italic n of thickened strokes after a 1")
        << "23,19 22,22 21,24 20,26 19,28 18,31 17,33 16,35 16,38 15,40 14,42 13,44 12,47 11,48; "
           "14,49 16,44 17,38 19,33 21,27 23,22 25,17 27,11; 25,10 24,12 23,14 21,16 20,18 18,19 "
           "15,20 13,21 11,23 10,23; 23,18 20,20 16,21 12,22; 84,44 84,45 82,47 80,50 78,52 74,52 "
           "72,51 71,47 71,44 72,41 74,38 75,35 76,32 76,29 73,27; 48,34 49,31 51,28 53,26 56,26 "
           "60,27 61,29 60,33 59,36 58,39 56,42 55,45 53,48 52,51; 58,26 59,29 59,31 58,33 57,36 "
           "56,38 55,40 54,43 53,45 52,47 51,50 50,52; 57,39 60,34 63,30 67,27 72,26 77,29 78,33 "
           "76,38 74,43 73,49 74,52"
        << "1n";
    // A script 8 drawn in one stroke, its lower loop hanging low: its outline comes out
    // nearest a z with a tail, but the digits' height makes it the 8 it also resembles.
    QTest::newRow("script 8 of one stroke ending a sum")
        << "11,15 10,15 11,14 13,12 19,10 24,18 13,27 11,32 15,32 19,33 21,34 22,33 23,34; 34,26 "
           "34,25 32,25 31,25 30,25 28,27 27,30 30,33 33,32 35,31 36,30 37,28 38,28 37,28 38,28; "
           "43,23 43,24 44,23 47,24 51,22 55,23 58,23 59,23 60,23; 67,28 68,27 69,25 69,24 68,25 "
           "68,26 67,28 67,30 67,32 70,32 72,31 74,29 76,28 75,28 76,28 76,27; 78,24 77,24 77,26 "
           "77,27 75,29 74,31 72,36 70,39 68,43 64,45 65,41 67,39 67,38 69,37 71,35 73,34 76,33 "
           "79,32 80,30 81,29 82,30 82,29 81,28; 87,29 87,28 88,28 92,28 90,33 94,36 91,40 88,41 "
           "85,41 85,39; 112,16 111,15 111,16 111,17 110,18 112,19 111,21 111,23 111,26 112,28 "
           "111,30 111,32 111,33 111,34 112,34 111,34; 102,25 102,26 102,25 103,26 104,25 106,25 "
           "106,27 108,25 111,25 114,25 115,24 117,25 118,25 120,24 119,24 121,25 120,25; 134,16 "
           "135,16 133,15 131,18 135,23 137,35 129,28 140,22 140,17 138,16 135,16 134,16 133,17; "
           "161,21 162,22 161,23 159,25 153,26 149,20 158,15 161,25 157,31 153,33 148,31 148,30"
        << "2c-y_3+89";
    // A script x gone over with six strokes after a minus sign: tried as a times sign on each
    // open line and level with none of them, it stays a letter and takes its index.
    QTest::newRow("script x of six strokes after a minus sign")
        << "69,35 70,35 72,38 71,43 64,44 66,29 79,17 111,10 134,17 141,36 133,52 122,60 114,65 "
           "106,68 99,71 91,73 86,74 84,74 82,75 81,74; 121,13 122,13 121,13 123,13 124,14 125,16 "
           "127,17 130,19 133,24 133,30 133,35 131,42 128,46 125,51 122,54 120,58 118,59 114,60 "
           "112,63 110,64 107,66 106,67 105,67 105,68 104,68; 70,73 69,73 70,72 71,74 73,73 74,73 "
           "76,73 80,74 84,75 88,76 92,79 99,82 104,88 105,96 106,104 103,112 100,120 95,128 "
           "88,135 81,140 69,143 59,146 48,144 35,143 24,139 16,135 13,127 10,118 11,113 15,108 "
           "19,105 23,108 22,112 20,114 19,116 16,116 16,117 15,117 16,118; 82,75 82,74 83,74 "
           "85,75 87,79 93,82 97,88 98,97 96,112 89,129 79,137 70,143 63,145 60,146 59,146 59,147; "
           "188,87 188,88 189,86 188,87 190,87 191,87 194,87 198,87 201,87 208,88 212,88 218,88 "
           "225,88 231,88 236,88 241,89 247,88 252,89 259,89 265,90 271,89 275,90 279,89 282,89 "
           "285,90 286,89 287,90; 331,126 331,125 332,123 335,120 342,112 354,105 374,105 366,131 "
           "347,151 333,152 334,143 337,143 335,146 334,147 332,148 332,150 331,149; 410,107 "
           "410,108 410,106 409,107 408,108 406,110 403,112 405,113 409,112 408,106 404,102 "
           "397,104 391,105 385,109 382,115 377,119 374,124 373,129 369,135 367,143 366,150 "
           "373,154 384,154 393,150 402,145 409,140 414,137 416,133 419,130 420,127 422,125 "
           "423,125 424,123 424,124 424,123; 376,108 376,109 377,111 376,112 377,112 378,114 "
           "378,115 378,117 379,118 380,119 379,119 379,120 379,119; 387,107 387,108 387,109 "
           "384,111 380,113 376,116 375,119 373,120 372,120; 364,136 363,137 364,137 364,139 "
           "365,141 365,143 366,145 366,147 367,147 366,147 367,147 366,147; 368,137 369,137 "
           "367,138 363,140 359,143 355,146 354,148; 519,103 518,103 517,104 517,106 516,108 "
           "513,110 511,114 508,119 505,124 501,131 495,139 491,146 487,153 483,159 480,164 "
           "477,167 475,170 473,174 471,177 469,179 468,182 467,184 466,185 466,186 466,185 "
           "465,187 465,186; 524,100 524,101 522,102 522,103 520,106 518,110 516,114 513,119 "
           "510,123 508,127 504,133 502,138 497,145 493,150 491,155 488,160 484,165 483,170 "
           "479,173 477,177 475,181 474,183 472,186 472,187 472,188 471,187; 525,97 525,98 524,98 "
           "525,98 523,100 520,101 518,102 515,105 511,107 506,112 501,115 495,120 489,124 484,127 "
           "478,132 472,135 468,139 460,145 454,149 446,155 442,158 446,159 455,160 463,160 "
           "470,160 478,161 484,161 490,161 494,161 498,161 501,161 504,162 505,163 507,162 "
           "508,162 507,162 508,162"
        << "3-x_4";
    // A times sign between two roots, each bar one stroke: a cross as square as the sign's
    // own, not the letter x.
    QTest::newRow("times sign between two roots")
        << "10,48 11,49 10,49 11,51 13,54 14,59 14,64 18,69 20,74 21,62 24,48 25,34 28,19 40,11 "
           "56,11 80,11 102,11 127,11 155,12 176,12 197,12 216,11 240,11 258,12 280,11 306,12 "
           "326,12 347,12 364,12 379,12 392,12 407,12 417,12 426,13 432,13 438,12 442,12 444,12 "
           "447,12 447,13 448,12; 75,13 76,12 75,13 76,13 75,12 74,13 72,13 70,13 69,13 67,12 "
           "65,13 62,13 58,13 54,13 51,13 48,14 49,19 48,24 48,28 48,32 49,37 52,33 58,31 64,31 "
           "69,31 76,34 81,39 81,44 83,50 83,54 81,59 79,65 75,67 71,70 66,70 61,70 58,69 54,68 "
           "51,67 50,66 49,63 49,62 48,62 48,61 48,60 47,60 47,59 46,58 47,59; 96,55 95,56 96,55 "
           "95,55 97,55 97,54 97,52 98,51 99,50 101,49 101,48 103,47 105,46 106,46 107,45 109,45 "
           "110,46 112,48 112,51 111,54 110,57 109,61 108,63 107,65 106,66 105,69 105,70 105,71 "
           "104,71 104,73 104,72; 107,63 106,62 106,63 107,63 108,61 107,61 108,61 109,59 110,59 "
           "110,58 112,56 113,54 114,52 117,50 119,48 122,47 126,47 128,47 132,48 135,52 135,55 "
           "133,60 131,64 130,68 131,71 134,75 137,74 141,72 143,71 145,68 147,66 148,66 149,64 "
           "150,63 151,61 151,60 151,61 151,60; 173,49 172,49 173,48 174,48 174,49 176,49 177,49 "
           "178,49 179,50 181,50 183,49 185,50 189,50 193,49 197,52 202,51 206,52 210,51 212,51 "
           "215,52 216,52 217,52 218,52 219,52 220,52 220,53 219,52; 287,21 287,22 287,21 286,23 "
           "284,22 281,21 275,21 268,22 260,22 258,31 256,39 257,43 269,40 281,42 290,49 292,60 "
           "288,72 279,78 272,79 264,77 258,75 255,70 254,69 253,67 253,66 252,65 253,65; 327,52 "
           "329,52 330,52 333,52 335,51 338,51 343,52 346,51 349,51 353,50 357,50 360,50 363,50 "
           "365,50 366,50 367,50 368,50 370,50 371,50 372,50 373,50 374,50 375,49 375,50 375,49; "
           "394,65 394,64 395,64 394,63 395,63 395,62 396,61 397,59 398,58 399,56 402,54 406,51 "
           "408,56 408,59 407,64 405,66 405,70 405,72 404,73 403,75 403,76 402,77 402,78 402,79 "
           "401,78 402,78; 405,71 405,70 405,71 406,71 406,70 406,69 407,69 407,68 407,66 408,65 "
           "411,63 411,60 413,59 414,56 417,55 420,54 423,53 426,53 428,55 429,57 430,60 430,63 "
           "430,65 428,68 427,71 427,75 428,78 431,79 435,78 437,77 440,75 441,72 443,70 444,68 "
           "446,67 446,65 447,65 446,65 447,64 447,63 448,64; 460,67 461,67 460,67 461,68 461,67 "
           "462,65 463,66 464,65 464,64 465,63 466,62 467,61 468,59 468,62 469,64 470,68 470,72 "
           "470,76 470,81 469,85 470,87 471,90 471,92 471,95 471,96 472,96 472,97 471,97 471,98 "
           "472,98 471,98; 508,46 507,47 509,46 508,47 509,48 510,49 512,50 513,52 514,54 516,55 "
           "517,56 517,58 518,58 518,59 519,59 520,61 522,62 523,64 525,66 528,69 529,70 531,72 "
           "532,73 532,74 534,74 534,75 534,76 535,75 534,76; 535,48 535,49 533,50 532,51 529,53 "
           "526,55 524,58 518,62 514,64 512,67 509,69 506,71 505,71 505,72 506,71; 541,60 542,60 "
           "542,61 542,62 543,64 544,65 544,67 545,70 545,71 546,73 546,76 548,79 549,84 550,87 "
           "552,91 553,95 554,96 555,91 555,84 557,78 556,72 557,63 559,55 560,45 562,35 563,22 "
           "567,10 579,10 595,10 610,10 625,11 644,11 660,11 677,12 694,11 713,13 732,12 752,13 "
           "773,13 788,14 808,13 826,13 843,13 860,13 873,15 890,15 906,14 921,15 936,15 950,15 "
           "962,16 972,16 982,17 990,15 999,15 1006,16 1014,16 1022,16 1027,16 1032,16 1037,17 "
           "1042,17 1047,17 1053,17 1055,17 1060,17 1065,17 1068,16 1072,17 1075,17 1079,17 "
           "1082,17 1085,18 1087,17 1090,17 1091,18 1094,17 1096,18 1097,17 1098,18 1099,18 "
           "1101,17 1101,18 1102,17 1102,18 1102,17 1103,18; 631,25 631,26 630,27 628,28 626,32 "
           "623,36 620,42 615,48 610,55 604,63 601,70 608,70 616,69 623,69 630,69 636,69 639,69 "
           "644,69 645,68 645,69 646,68 646,69; 631,24 630,23 631,24 630,25 631,29 630,33 631,35 "
           "631,39 631,43 631,48 632,53 631,57 631,61 632,65 631,69 631,72 631,75 632,77 632,79 "
           "631,81 632,83 633,84 633,87 631,87 632,88 632,89 632,90 632,91 632,90 631,91; 661,74 "
           "662,75 662,73 663,74 662,74 663,73 664,72 665,70 665,69 668,67 669,66 672,65 675,64 "
           "678,65 681,67 684,69 684,72 682,76 679,81 674,85 669,86 666,88 671,92 674,98 673,106 "
           "671,111 667,119 662,119 660,113 662,107 663,102 668,98 671,95 675,93 678,92 681,90 "
           "685,87 688,84 691,84 693,82 694,81 696,80 697,79 697,78 699,78 698,77 699,78 700,77 "
           "699,77 699,78"
        << "\\sqrt{5n-5-n_1}\\times\\sqrt{4z}";
    // A times sign after a y and its index, a y as tall as the first after it.
    QTest::newRow("times sign after an index")
        << "14,14 14,13 14,15 15,15 14,15 15,16 15,18 15,19 17,20 17,23 18,25 19,27 20,30 20,33 "
           "20,38 22,41 24,46 25,51 26,54 27,60 29,62 29,67 30,68 31,70 31,72 31,73 31,74 32,74 "
           "31,75 32,75 31,76; 14,15 15,15 14,14 15,15 16,15 17,14 18,15 19,16 20,18 20,20 20,22 "
           "22,25 23,28 23,32 24,34 25,36 25,41 26,44 28,48 28,51 29,55 30,57 31,60 31,62 32,63 "
           "32,64 33,67 32,66 33,66 33,67 32,67 33,67; 65,18 64,18 64,17 65,17 65,18 64,18 62,18 "
           "61,18 59,20 58,21 57,24 55,27 53,30 51,34 49,38 46,43 44,47 42,51 41,55 37,61 34,66 "
           "31,70 29,75 26,79 25,82 22,85 20,88 19,91 17,93 15,96 14,97 13,99 13,100 11,101 10,102 "
           "10,103 10,102 10,103 10,104; 64,19 63,20 61,23 60,25 58,30 54,37 50,44 46,51 42,58 "
           "38,66 33,73 28,82 24,89 20,96 18,100 16,104 13,104 12,103 12,102 13,103; 95,77 94,77 "
           "95,77 94,79 94,81 94,83 95,86 94,89 93,94 93,101 93,107 91,111 92,116 93,116 95,116; "
           "94,76 95,76 94,76 95,76 96,76 97,76 96,78 97,79 98,81 97,84 96,86 97,89 96,95 95,99 "
           "95,102 95,107 94,110 94,111 95,112 95,114 95,115 94,115 94,116 94,115; 96,87 96,88 "
           "96,87 98,87 99,84 102,82 108,79 116,78 123,78 128,83 128,90 127,97 127,102 126,107 "
           "126,111 126,114 126,115 125,115 125,116; 96,89 96,88 97,89 97,87 98,89 98,88 99,86 "
           "101,86 104,84 107,83 110,82 113,80 117,80 120,82 125,85 125,89 125,94 125,98 125,101 "
           "124,105 125,107 123,110 123,111 123,113 123,116 122,116 124,116 124,115 125,115 "
           "125,116; 157,10 157,11 158,11 157,10 157,11 158,12 159,12 159,14 160,16 161,17 163,19 "
           "164,21 166,24 168,27 170,29 172,34 175,37 177,39 180,44 182,47 184,49 186,53 188,55 "
           "189,56 190,58 191,60 191,61 192,61 193,61 193,62 192,62 193,62; 199,15 200,15 199,15 "
           "198,16 197,16 197,17 195,18 194,19 193,20 192,22 189,25 187,27 183,29 179,33 176,35 "
           "172,39 168,44 164,46 162,49 160,51 158,52 156,55 154,56 153,57 152,58 151,58 151,59; "
           "280,18 281,20 281,19 280,19 280,20 280,21 279,21 278,22 278,24 276,25 276,27 274,30 "
           "272,33 272,36 268,40 267,44 264,47 262,53 259,56 257,61 255,66 252,70 251,74 248,76 "
           "246,80 245,84 242,88 241,90 240,93 239,96 237,98 236,100 235,102 233,104 233,105 "
           "232,105 231,104 230,104 229,103 229,105; 280,18 279,17 280,17 279,17 278,17 276,17 "
           "274,19 274,20 273,22 272,24 271,26 271,27 270,30 268,32 268,34 266,37 265,42 263,46 "
           "259,51 257,56 254,63 251,68 248,74 245,78 243,83 240,87 238,92 236,95 235,97 234,99 "
           "232,101 233,102 232,103 231,103 232,103 231,104; 231,17 230,17 231,17 230,17 232,17 "
           "233,17 235,18 235,20 236,22 237,24 238,28 239,31 239,34 240,37 241,40 242,42 243,44 "
           "244,47 245,49 245,51 245,54 247,58 248,60 249,62 250,64 250,65 249,66 251,68 251,67 "
           "250,67 251,67 251,68; 231,18 232,20 232,22 234,25 235,30 237,38 240,45 242,52 243,59 "
           "246,66 247,70 248,72 249,75 249,76 250,76 249,76"
        << "y_n\\times y";
    // A book face's italic x, its arcs thickened by extra strokes, as the index of an n: an x,
    // not the 4 its crossing arcs resemble.
    QTest::newRow("italic x of thickened strokes as an index")
        << "27,10 29,15 29,20 26,25 23,29 21,34 18,38 15,43 13,47 10,51; 25,31 26,29 27,27 28,25 "
           "29,23 31,21 32,19 33,17 35,16 37,15 39,14 42,13 44,13 46,12 48,11 51,11 53,11 55,13 "
           "56,14 58,16 58,18 58,20 57,23 56,25 55,27 54,29 53,31 52,33 51,35 50,37 48,39 47,41 "
           "47,43 46,45 45,47 46,49 47,51; 15,50 15,49 17,46 18,43 20,40 21,37 23,34 24,31 26,28 "
           "27,25 28,22 30,19 31,16 31,14 28,12 25,12 22,11 19,11 16,14 14,16 12,18 10,21; 52,10 "
           "54,12 55,14 57,17 56,20 55,22 54,25 52,27 50,30 49,32 47,35 45,37 44,40 43,42 43,45 "
           "42,48 43,51 45,51 48,51 51,51 54,50 56,48 58,46 60,44 62,41 64,39; 93,46 94,48 95,45 "
           "90,46 87,49 83,53 81,58 79,62 81,65; 77,59 78,63 78,67 81,67 85,66 88,63 90,60; 83,45 "
           "83,48 83,50 83,52 83,54 82,56 81,58 80,60 79,62 77,63 75,64 73,66 71,67 69,67 67,67 "
           "67,65 66,63 68,62 70,64 68,64 67,64; 72,52 76,48 81,46 83,49 82,52"
        << "n_x";
    // A book face's n in a sum as the index of a beta, its arch drawn round: open at the foot,
    // no a.
    QTest::newRow("book-face n as the index of a beta")
        << "43,12 44,13 43,13 41,13 39,14 36,15 32,17 27,20 22,26 19,34 16,43 15,57 13,69 12,83 "
           "11,97 10,111 11,119 10,127 10,132 10,135 10,137 10,139 10,138 10,139; 42,10 42,11 "
           "41,12 41,13 37,13 33,16 29,23 24,32 22,41 20,51 19,60 18,69 17,76 17,85 15,95 15,102 "
           "15,112 14,118 14,126 13,132 14,135 13,138 13,139; 43,11 44,10 44,11 45,12 46,11 48,11 "
           "49,11 50,11 53,11 55,13 57,14 61,15 65,17 67,21 67,24 68,29 68,33 67,38 66,41 63,46 "
           "61,49 57,50 53,51 50,52 46,52 43,53 40,53 37,53 35,52 34,53 33,53 32,53 31,52 32,52 "
           "31,53; 53,10 52,11 53,11 55,12 58,16 61,18 62,24 64,30 63,37 61,43 56,48 53,50 51,52 "
           "49,52; 31,52 31,53 31,52 32,53 33,52 33,53 35,53 36,54 38,54 39,55 42,54 44,55 47,57 "
           "50,57 54,60 57,63 60,66 63,71 65,76 66,81 66,87 63,95 60,100 52,103 46,105 40,107 "
           "34,106 29,103 25,100 23,97 22,94 20,91 20,90 19,89 18,88 18,86 18,85; 30,52 30,53 "
           "32,54 33,54 36,53 41,55 48,59 55,65 62,77 64,87 61,97 57,101 53,104 50,105 49,106 "
           "49,107 47,107 48,108; 97,108 97,109 97,108 97,107 98,106 99,105 99,103 101,102 101,98 "
           "104,97 108,97 112,99 114,104 112,109 112,115 112,118 110,123 111,125 110,128 110,129 "
           "109,132 109,133 108,134 109,135 108,136 109,137 108,136 108,137 108,136; 111,99 111,98 "
           "111,100 112,101 113,104 113,109 112,112 111,115 110,118 110,124 109,129 108,133 "
           "106,136 105,136 106,136; 114,119 115,120 114,119 113,118 114,117 114,116 115,115 "
           "116,113 117,111 118,109 120,107 122,104 124,102 128,101 132,101 135,102 139,104 "
           "142,108 141,111 141,114 139,118 139,121 138,124 137,127 138,130 138,132 137,134 "
           "139,135 139,137 140,138 140,139 141,139 140,139 140,138 141,139; 134,102 135,102 "
           "136,102 135,101 136,102 136,103 137,103 137,105 139,107 141,108 140,111 139,116 "
           "137,119 136,122 134,128 134,131 134,137 139,140 144,139 146,139 148,137 150,136 "
           "150,135 151,134 153,132 154,131 154,129 154,128 154,129 155,129 155,130 154,128; "
           "197,92 197,93 198,93 197,95 197,97 198,101 198,105 199,112 200,122 200,130 201,136 "
           "201,140 201,142; 173,116 174,117 175,116 177,116 181,117 190,117 198,117 210,117 "
           "215,117 219,117 221,116 222,117 223,118 225,118 224,117 225,117; 264,95 263,95 263,96 "
           "262,96 262,99 263,100 261,102 261,104 261,106 261,107 260,109 261,111 259,113 260,115 "
           "259,118 258,121 257,124 257,127 256,129 256,131 256,133 256,135 255,136; 267,87 266,89 "
           "266,92 265,98 264,105 262,114 261,119 261,123 259,128 258,131 259,133 258,135 258,136; "
           "266,87 267,87 266,88 266,89 263,92 260,94 257,96 255,98 253,99 252,100 251,101 "
           "251,100; 265,93 264,93 265,92 264,93 264,94 264,93 263,94 261,95 259,96 256,98 254,98 "
           "251,99 250,99 250,98 249,100 248,100 248,101 249,99 248,101"
        << "\\beta_{n+1}";
    // A cross that ends a root's body with nothing after it: the letter x, under the roof,
    // not a times sign after the root.
    QTest::newRow("cross ending a root's body")
        << "60,61 62,64 65,68 69,71 73,72 77,73 82,72 86,70 88,66 90,62 91,61; 57,48 59,46 60,45 "
           "61,43 63,42 65,41 67,40 69,40 71,39 73,40 74,41 76,41 79,41 81,41 83,42 84,44 85,45 "
           "87,47 88,48 89,50 90,52 91,54 92,56 93,58 93,60 93,62 92,64 92,66 91,68 90,70 89,71 "
           "87,73 85,73 83,74 81,75 79,75 77,75 75,75 73,75 71,74 69,73 67,73 65,72 63,71 62,70 "
           "60,68 59,67 58,65 58,63 57,61 56,59 56,57 55,55 55,52 55,50 55,48 55,46 55,44 55,42 "
           "55,40 55,38 55,36 55,34 55,31 55,29 56,27 56,25 57,23 58,21 59,20 61,19 63,19 65,18 "
           "67,18 69,18 71,18 73,19 75,19 78,20 80,20 82,21 83,22 84,24 85,25 85,27 83,27 82,25 "
           "81,24 79,22; 75,43 78,44 82,46 86,49 89,53 90,57 90,62 89,67 86,71 82,74; 82,22 80,21 "
           "77,20 74,20 71,19 68,19 66,20 63,21 61,22 60,23; 68,43 66,45 64,47 62,48 60,50 60,53 "
           "59,55 59,56; 63,20 62,23 61,25 59,27 58,29 58,32 57,34 57,37 56,40 56,42 56,45 57,47 "
           "57,50 58,52 58,55 59,57 60,59 61,62 62,64 63,67 65,68 67,69 70,71 72,72 73,73; 91,53 "
           "88,50 84,48 81,46 77,44 74,42 70,42 66,43 62,45 60,49 58,52; 10,53 12,51 15,48 16,47 "
           "18,51 19,54 20,57 22,60 23,63 24,67 25,70 27,73 28,76 28,73 28,70 28,66 28,63 28,59 "
           "29,56 29,52 29,49 29,46 29,42 29,39 29,35 29,32 29,28 29,25 30,21 30,18 30,15 30,11 "
           "33,10 36,10 40,10 43,10 46,10 50,10 53,10 57,10 60,10 64,10 67,10 71,10 74,10 77,10 "
           "81,10 84,10 88,10 91,10 95,10 98,10 102,10 105,10 108,10 112,10 115,10 119,10 122,10 "
           "126,10 129,10 133,10 136,10 139,10 143,10 146,10 147,10; 111,33 114,33 117,36 119,39 "
           "121,41 124,44 126,46 128,49 130,51 133,54 135,57 137,59 140,62 142,64 144,67 146,69 "
           "149,72 151,74; 114,74 118,72 121,67 125,62 128,57 131,53 134,48 137,43 140,38 143,34; "
           "110,35 114,39 118,44 122,48 126,52 130,57 134,61 138,66 142,70 146,74 149,74; 144,34 "
           "142,35 140,37 139,39 137,41 135,44 134,46 132,48 131,50 129,52 127,55 126,57 124,59 "
           "123,61 121,64 119,66 118,68 116,70 115,72"
        << "\\sqrt{6x}";
    // A times sign between two fractions: the second stands on the line by its bar, level
    // with the sign, not as the sign's index.
    QTest::newRow("times sign between two fractions")
        << "155,20 154,19 149,15 140,18 143,30 156,26 156,25 166,30 170,25 171,22 171,21; 179,26 "
           "178,26 182,24 183,24 185,31 187,41 188,43 188,44; 10,46 10,45 12,46 14,47 17,47 21,46 "
           "26,46 34,46 43,47 55,49 67,49 82,50 99,51 117,52 133,52 155,52 176,54 191,54 212,55 "
           "224,56 240,57 253,58 264,58 274,59 286,59 295,60 303,59 309,60 315,61 319,60 322,61 "
           "324,61 326,62 326,61 327,60 327,61; 47,60 46,59 47,60 46,59 45,60 44,59 43,60 40,60 "
           "35,60 28,61 30,75 40,74 51,77 58,89 55,97 46,101 39,100 36,98 34,96 33,95 33,94 32,94 "
           "32,93 33,93; 80,84 78,85 84,86 90,85 95,85 98,85 106,84 111,86 112,85; 140,80 139,79 "
           "139,82 138,92 137,97 136,102 135,102 136,102; 139,79 140,80 140,83 140,89 139,98 "
           "138,101 139,102 139,101; 151,80 151,79 152,81 151,83 153,89 154,94 154,97 154,100 "
           "155,101 154,101 155,102 155,103 155,104 155,103; 152,79 151,80 152,82 153,87 154,94 "
           "156,101 156,104; 128,82 129,82 130,79 133,78 138,77 142,77 144,77 146,77 149,77 152,77 "
           "156,77 158,78 160,78 159,78 161,79; 127,82 127,81 130,79 132,80 136,78 138,78 141,78 "
           "144,79 148,78 152,79 155,79 158,80 160,80 161,80 161,81 162,80; 190,66 191,66 191,67 "
           "191,69 192,73 193,78 196,87 197,95 198,99 199,102 199,103 199,105 199,104; 176,84 "
           "177,85 184,85 197,85 205,85 208,86 212,85 214,85 213,86; 237,63 236,64 235,64 231,64 "
           "231,68 232,73 237,79 247,81 255,86 260,93 258,103 246,106 236,101 232,95 232,87 240,80 "
           "250,79 255,72 251,65 247,64 244,63 241,63 239,63 238,62 237,62; 281,75 282,74 285,72 "
           "287,69 290,71 291,79 293,86 293,91 294,95 294,97 296,100 296,103 297,105 297,107 "
           "297,108 296,107; 324,44 324,43 323,44 325,44 326,46 329,48 333,52 338,55 344,60 348,64 "
           "351,66 352,67 354,69 356,70 357,72 359,73 360,73; 353,42 352,44 350,46 346,52 337,64 "
           "333,71 332,73 331,73; 379,27 379,28 379,27 379,26 380,25 382,22 384,21 387,20 390,22 "
           "392,26 392,33 392,40 395,44 395,45 396,47 397,48; 387,20 387,21 388,21 388,22 390,24 "
           "390,28 390,33 390,38 392,45 398,49 405,44 409,38 412,29 410,17 407,11 399,10 398,18 "
           "402,24 406,30 410,32 413,35 414,35 415,35 416,36 415,36; 405,46 404,45 405,46 404,44 "
           "406,43 407,38 409,31 409,24 408,18 407,14 406,12 405,10 404,11 404,10; 436,38 436,39 "
           "436,38 439,38 440,37 445,37 449,38 453,36 458,37 461,37 464,37 467,36 468,36; 449,20 "
           "449,21 448,20 449,22 450,25 450,27 451,30 451,31 451,34 452,38 454,43 455,48 455,50 "
           "456,52 457,53 457,54 456,54; 485,44 485,43 485,42 487,37 492,42 492,49 491,51; 493,47 "
           "493,46 493,44 497,38 505,41 507,51 515,50 516,46 518,44 517,44; 378,61 379,61 378,60 "
           "379,60 379,61 380,61 384,61 385,62 390,61 397,61 405,62 419,63 437,62 453,64 469,65 "
           "481,65 492,66 500,65 507,65 512,66 514,66 516,66 517,66 518,66 517,66 517,67 518,67; "
           "413,111 414,111 414,110 415,108 415,105 420,102 426,103 430,109 429,114 425,120 "
           "424,123 428,129 429,137 426,146 421,144 421,134 427,127 433,123 437,118 441,115 "
           "441,113 443,111; 452,71 452,72 453,72 459,71 464,73 464,80 469,91 460,95 455,93 453,91"
        << "\\frac{a_1}{5-\\pi+81}\\times\\frac{\\theta+n}{z^3}";
    // A y and the minus sign after it, level but a little way apart: two glyphs, not the
    // dip and roof of a root sign.
    QTest::newRow("y and a minus sign a little way apart")
        << "69,20 69,19 68,21 66,22 58,28 49,37 35,53 25,70 15,94 10,113 11,135 15,149 19,159 "
           "22,164 25,167 24,168 25,169; 57,29 58,28 56,29 54,32 50,38 42,48 34,60 25,77 18,98 "
           "16,112 14,128 15,140 16,147 17,154 17,158 19,159 18,159; 92,68 93,68 92,68 92,70 92,73 "
           "93,76 93,79 94,82 94,87 95,91 95,95 95,100 96,104 95,109 95,114 97,120 97,126 98,129 "
           "97,132 98,134 98,135 99,135 98,136; 92,67 93,66 95,68 95,69 96,72 97,76 98,78 98,83 "
           "98,87 99,89 99,92 99,95 99,100 99,107 101,113 101,116 101,120 102,123 102,124 102,126 "
           "102,125; 150,70 149,70 149,71 148,70 147,70 145,70 143,72 140,75 135,81 130,89 123,97 "
           "119,105 111,114 106,122 97,130 91,140 86,145 83,151 81,152 79,156 77,157 74,160 73,163 "
           "72,165 70,167 69,169 68,169 68,168 68,169; 150,71 151,70 149,72 146,76 140,84 131,96 "
           "119,112 111,122 100,135 94,143 85,153 79,159 73,167 69,168 67,168; 167,86 167,87 "
           "169,87 175,87 182,88 190,89 199,89 213,90 225,92 238,92 243,94 247,93 247,94; 318,35 "
           "316,35 314,35 308,37 299,43 293,59 310,77 337,90 337,115 319,129 294,130 282,127 "
           "278,111 282,99 296,86 321,78 340,71 352,56 350,40 333,36 323,36 319,36 317,36 318,36; "
           "307,41 308,41 307,42 304,45 299,50 297,62 310,72 326,75 340,90 340,116 314,132 288,133 "
           "276,112 291,87 313,74 333,69 344,60 348,51 348,44 347,42 346,40 347,41; 348,44 349,44 "
           "348,45 347,44 346,44 345,43 342,42 338,41 335,40 331,41 326,40 321,41 317,42 313,42 "
           "309,43 307,45 305,45 303,45 302,45 302,46; 278,121 277,121 279,124 282,125 284,126 "
           "287,129 289,130; 316,128 316,129 317,129 318,128 319,127 322,127 323,125 326,125 "
           "328,124 330,123 332,121 334,121 335,121 335,120; 426,68 425,68 425,69 425,70 423,71 "
           "423,74 421,76 419,78 418,81 417,82 415,86 413,89 412,93 408,98 405,104 402,109 399,114 "
           "397,117 395,118 395,121 394,121 395,121 394,121; 426,69 426,70 424,72 422,76 420,81 "
           "415,89 408,103 403,113 400,119 399,121 398,122; 450,71 450,72 448,75 447,79 446,84 "
           "443,91 440,101 438,110 435,118 434,122 434,123; 449,69 449,70 449,69 449,70 449,69 "
           "449,71 448,73 448,74 447,79 446,85 445,92 444,101 441,110 440,116 440,119 439,121 "
           "438,122 438,123 439,124 438,124 439,123; 394,76 395,76 396,76 396,75 397,74 400,73 "
           "403,70 405,68 409,67 412,67 416,66 417,65 421,64 423,65 428,64 433,65 439,66 446,66 "
           "452,66 459,67 463,67 467,67 471,68 471,67 472,66 471,66; 394,78 396,77 399,76 403,75 "
           "407,72 413,71 423,70 432,70 443,71 450,70 455,70 459,70 461,69 462,70 464,70 466,69 "
           "468,70 470,71 471,69 471,70 472,69; 528,10 529,10 528,10 530,10 530,12 531,15 533,17 "
           "535,21 537,26 539,32 540,41 541,48 542,56 540,67 539,77 535,86 533,95 528,101 525,110 "
           "521,115 516,121 511,128 506,134 501,138 496,143 493,146 489,149 487,151 484,153 "
           "482,154 481,154 482,154 481,155; 535,21 535,20 534,22 535,25 537,33 537,43 535,60 "
           "532,78 525,98 516,117 508,130 503,136 498,143 496,145 494,147"
        << "(y-8\\pi)";
    // A times sign after a root whose body ends in an exponent, the a after it as wide as the
    // cross: the next operand, not the index of a letter x.
    QTest::newRow("times sign after a root, before a letter as wide")
        << "10,35 10,36 11,36 13,40 16,49 17,34 16,21 21,10 34,10 50,11 60,11 67,12 74,12 86,12 "
           "104,12 123,13 142,13 166,14 179,14 192,14 198,14 204,14 207,14 206,14; 43,20 43,21 "
           "43,22 43,23 44,24 44,27 44,32 44,36 42,40 40,43 39,45 39,46 38,46 37,48 36,49 35,48 "
           "35,49 33,49 34,49; 30,34 30,33 30,34 30,33 29,33 29,30 28,27 28,24 31,22 33,20 34,20 "
           "35,19 36,18; 44,30 45,29 44,29 45,30 44,30 44,31 43,32 42,34 39,35 37,36 34,36 29,33 "
           "27,29 27,23 34,18 43,22 46,30 44,38 41,45 37,48 33,49 27,48 26,45 25,42 26,41 27,41 "
           "28,43 27,43 27,44 26,44 25,45 27,44; 69,25 69,26 69,25 69,26 68,27 70,28 70,32 71,36 "
           "72,38 71,43 72,44 73,46 73,47 73,48 72,48 73,48 74,48; 60,37 61,37 62,37 63,37 66,37 "
           "68,37 72,36 76,36 78,36 79,35 80,36 81,36; 87,42 87,43 86,43 87,42 88,41 89,39 91,38 "
           "94,39 94,40 94,43 94,45 93,47 93,48 93,49 93,51 92,51 93,50 92,50; 92,38 92,37 92,38 "
           "93,38 93,40 93,42 93,43 93,44 92,47 92,49 91,49 90,49 92,50 91,49; 94,42 95,43 96,42 "
           "97,40 101,38 104,43 102,48 104,50 104,49 106,50 104,51; 102,38 102,39 102,38 103,42 "
           "103,44 103,46 103,50 109,49 111,45 112,45; 123,47 123,48 124,49 123,52 123,54 123,57 "
           "123,60 122,62; 125,45 124,44 126,45 125,46 124,51 124,55 124,57 122,60 123,61 122,61; "
           "125,45 124,45 122,47 121,48 119,49 119,50; 124,47 125,48 124,47 124,48 123,48 122,49 "
           "121,49 120,50 119,50; 138,38 140,37 140,38 143,38 147,39 155,38 160,39 162,39 163,39 "
           "163,40 163,39; 171,41 171,43 172,42 171,42 172,42 173,40 174,40 175,38 178,38 179,40 "
           "180,42 180,44 178,47 177,50 175,51 172,48 173,48 174,48 172,49 172,48 173,48; 188,41 "
           "187,42 185,39 182,42 180,46 181,50 187,51 190,48 191,46 192,44 191,45; 180,40 180,41 "
           "180,42 181,43 182,43 180,43; 183,40 183,41 182,40 183,41 181,41 181,42 180,42 180,43; "
           "179,46 179,47 179,46 179,48 181,49 180,49; 181,47 180,46 181,47 180,46 180,47 180,48 "
           "179,48 179,49 178,49 178,50 177,49 178,50; 200,20 201,20 200,19 201,20 201,21 200,21 "
           "199,20 200,18 202,17 206,16 208,18 210,19 212,20 208,24 206,26 203,27 201,28 199,29 "
           "197,30 198,32 197,32 197,33 196,33 197,33; 206,17 207,18 207,16 207,17 208,18 209,19 "
           "210,20 209,21 210,22 209,23 208,23 208,24 205,26 203,26 203,27 202,27 201,27 202,27; "
           "197,33 198,32 198,31 200,31 203,33 207,33 208,32 209,31; 200,32 199,31 201,32 203,33 "
           "206,34 209,32 209,31; 217,35 218,34 220,36 224,40 225,41 228,43 230,45 230,46 231,47 "
           "233,47 232,47; 230,34 230,35 229,36 226,39 225,42 222,43 221,45 221,47 220,47 219,47; "
           "249,44 248,44 249,44 249,43 248,43 248,41 246,41 245,40 241,40 239,42 237,44 237,47 "
           "238,50 238,52 240,52 242,53 244,53 246,52 247,51 248,50 248,49 249,49 248,48; 242,40 "
           "241,40 240,40 239,41 239,42 239,44 239,43 238,45 238,47 238,50 240,51 241,52 242,53 "
           "241,52; 250,40 249,40 250,41 249,43 248,48 251,53 255,52 257,48 258,46 259,46 258,46; "
           "251,41 251,42 250,46 250,50 250,53 251,53 251,52"
        << "\\sqrt{9+n_1-x^2}\\times a";
    // A script c of two strokes over a fraction's bar: open on its right, no 0.
    QTest::newRow("script c over a sum")
        << "276,96 275,100 275,104 275,107 274,111 274,115 273,119 273,123 272,127 272,131 271,135 "
           "271,137; 293,117 292,117 287,117 282,117 278,117 273,117 268,117 263,117 258,117 "
           "253,117; 41,43 44,43 48,44 51,47 55,49 55,53 55,57 55,61 55,65 53,69 52,73 50,76 48,80 "
           "47,84 45,88 43,91 40,94 37,97 34,99 30,101 26,102 22,102 18,102 15,99 12,97 11,93 "
           "10,89 10,85 10,81 11,77 12,73 14,69 15,66 17,62 19,59 22,55 24,52 27,49 30,47 34,44 "
           "37,43 41,41; 18,101 17,99 15,95 12,91 11,87 13,82 14,78 16,74 18,69 20,65 21,60 24,57 "
           "27,53 30,50 34,47 37,44 41,41; 47,41 48,43 51,45 53,47 53,50 54,53 55,56 54,59 53,62 "
           "53,65 52,68 51,71 49,74 48,77 47,79 46,82 44,85 43,88 40,90 38,92 36,94 34,96 31,98 "
           "29,100 26,102 24,104; 119,79 123,79 128,78 132,78 137,78 142,78 146,77 151,77 155,77 "
           "160,77 164,76 169,76 173,76; 150,49 150,52 149,55 149,59 148,62 148,65 148,68 147,72 "
           "147,75 146,78 146,81 146,84 145,88 145,91 144,94 144,97 144,101 143,104 143,105; "
           "269,48 267,49 264,51 263,53 262,56 261,59 260,62 262,65 263,67; 276,51 273,52 276,50 "
           "274,48 271,47 268,46 266,48 263,50 261,53 258,55 259,58 259,61 259,65 261,67 264,68 "
           "267,67 270,67 273,65 276,64 279,62 281,59 282,56 283,56; 329,127 326,130 322,134 "
           "317,136 311,137 307,133 306,128 309,123 312,118 317,117 322,116 320,121 321,117; "
           "314,116 312,119 309,122 308,125 308,129 307,133 309,136; 220,115 223,118 227,121 "
           "227,125 226,129 225,133 222,136 218,138 217,139; 213,104 213,107 210,105 212,101 "
           "216,99 220,98 225,96 229,95 233,98 235,102 234,107 232,111 228,113 223,114 219,115; "
           "231,93 232,95 234,98 235,101 234,104 233,106 232,109 230,111 228,113 227,114; 217,115 "
           "219,115 221,116 223,117 225,118 227,119 228,121 228,123 229,125 228,127 228,129 "
           "228,131 227,133 226,135 224,137 222,137 220,138 218,138 216,138 214,138 212,138 "
           "210,138 208,138 205,137 203,137 202,136 201,134 200,132 199,130 200,128 201,127 "
           "203,128 202,129 201,129; 101,30 101,31 101,34 101,36 100,39 99,41 98,44 97,46 95,47 "
           "92,47; 91,27 86,28 82,31 79,35 78,40 80,44 84,46 89,47 94,47 99,47 101,42 101,37 "
           "100,32 97,29 96,29; 97,13 94,13 91,14 89,16 89,19 87,22 89,26 91,28 94,28 98,28 101,28 "
           "104,27 107,25 108,22 109,19 109,15 109,12 106,12 102,11 99,10 97,10; 98,11 95,12 94,14 "
           "91,17 90,19 90,22 90,25 92,28; 97,30 100,28 103,27 105,25 106,22 107,19 108,16 107,13 "
           "104,12 102,10; 83,46 82,45 80,44 80,43 79,41 79,39 80,37 81,35 83,33 84,32 86,31 87,29 "
           "89,29 91,28; 189,79 192,79 194,79 196,79 199,79 201,79 203,79 205,79 208,79 210,79 "
           "212,79 215,79 217,79 219,79 222,79 224,79 226,79 228,79 231,79 233,79 235,79 238,79 "
           "240,79 242,79 244,79 247,78 249,78 251,78 254,78 256,78 258,78 261,78 263,78 265,78 "
           "267,78 270,78 272,78 274,78 277,78 279,78 281,78 283,78 286,78 288,78 290,78 293,78 "
           "295,78 297,78 300,78 302,78 304,78 306,78 309,78 311,78 313,78 316,78 318,78 320,78 "
           "322,78 325,78 327,78 329,78 332,78 334,78 336,78 339,78 341,77 343,77 345,77 346,77"
        << "0^8+\\frac{c}{3+c}";
    // An x of two arcs, each gone over several times, after a plus: not an a's bowl and a c.
    QTest::newRow("x of arcs gone over in a sum")
        << "10,45 11,45 11,44 12,43 13,41 15,37 19,36 23,34 28,36 31,39 31,44 29,49 25,52 20,54 "
           "19,56 17,57 16,57; 27,35 28,35 30,41 29,47 27,50 23,52 21,55 21,54; 17,58 21,60 24,71 "
           "11,86 12,69 28,60 35,55 42,50 45,47 45,46; 17,57 17,58 18,58 19,60 22,71 17,82 17,84 "
           "15,85; 69,48 68,48 69,48 69,49 68,51 66,56 65,61 65,67 64,71 64,72 63,72 64,72; 73,42 "
           "73,43 73,44 71,47 71,51 69,54 67,58 66,62 66,66 64,69 64,71 63,73 64,73 63,73; 73,41 "
           "72,42 71,42 71,43 69,45 66,48 63,49 61,50 60,50 60,51 61,51; 72,46 71,45 70,46 71,45 "
           "69,47 67,47 65,49 63,50 61,50 60,49; 116,10 116,11 117,17 117,26 119,33 119,40 120,49 "
           "121,56 121,59 121,60; 94,37 95,37 96,35 98,36 102,36 105,36 108,35 112,35 116,35 "
           "122,34 128,33 135,32 139,32 142,31; 162,42 163,40 168,33 177,31 182,32 181,44 170,58 "
           "165,52 165,54 164,55; 202,34 201,35 199,37 199,32 184,49 201,55 208,48 210,44; 183,33 "
           "184,33 184,34 185,35 185,36 184,37 185,39 186,40 185,39; 189,34 188,36 185,39 183,39 "
           "183,40; 179,47 178,48 181,51 181,53 181,54 182,54; 183,50 183,49 183,50 180,51 178,54 "
           "177,56 177,55; 222,48 223,50 220,50 224,42 233,39 239,40 242,53 233,56 232,58 232,57; "
           "236,38 236,39 237,39 238,40 240,41 241,41 241,45 241,50 238,53 237,54 237,55 235,55; "
           "228,58 227,58 228,58 229,58 231,58 233,58 237,60 241,67 237,75 224,78 217,73 216,69 "
           "220,69 218,71 218,70 217,71 217,72; 231,58 232,58 233,59 235,60 236,61 237,62 239,65 "
           "240,71 239,74 235,77 233,78 234,78 233,79"
        << "z_1+x_3";
    // An x of two arcs back to back, wobbly as a mouse draws them, touching in the middle: one
    // letter, not two brackets.
    QTest::newRow("x of two wobbly arcs touching in the middle")
        << "20,32 24,30 28,28 32,30 35,32 38,34 37,37 37,41 39,44 41,47 43,50 38,52 38,55 37,58 "
           "36,61 36,64 32,64 29,65 26,65 24,62; 58,28 53,27 49,29 46,30 43,31 44,34 46,37 47,40 "
           "48,42 47,48 49,52 51,56 52,60 52,64 54,65 57,63 60,61"
        << "x";
    // An x of two arcs nearly touching, their feet turned out flat: not a 7 and a bracket.
    QTest::newRow("x of two arcs with flat feet")
        << "28,37 29,33 31,30 35,29 38,31 42,32 39,35 37,39 37,44 37,48 35,52 34,54 33,57 31,60 "
           "30,63 27,62 23,61 23,60; 60,32 57,30 54,28 50,29 47,30 46,33 44,35 42,38 43,41 43,45 "
           "43,48 44,52 44,56 44,61 48,61 51,61 56,62"
        << "x";
    // A small n, its stems and arch gone over with four strokes, as the index of a b: one
    // letter, not two 1s.
    QTest::newRow("book-face n gone over as the index of a b")
        << "31,14 29,17 29,25 27,42 23,63 18,96 24,118 35,136 42,142 44,144 45,145; 36,11 36,12 "
           "35,18 35,30 31,64 29,88 27,95 27,98; 26,97 27,97 26,98 27,96 27,94 29,89 30,85 31,75 "
           "40,66 57,57 73,62 92,79 100,107 95,129 84,147 68,150 54,148 43,140 38,131 33,124 "
           "32,117 30,111 28,107 27,102 26,101 26,100 27,100 26,100; 80,65 80,66 81,67 83,71 87,76 "
           "90,85 92,93 94,105 93,117 92,125 88,135 85,141 80,147 75,150 73,152 71,152; 10,11 "
           "16,11 24,10 32,11 36,11; 144,168 144,167 143,166 145,165 146,159 151,154 158,151 "
           "169,153 173,161 172,174 171,182 170,192 170,199 169,204 169,209 168,211 168,212 "
           "168,211; 161,153 163,154 166,163 165,190 164,206 163,210 162,210; 175,179 174,178 "
           "176,174 178,167 183,158 205,154 214,183 212,205 216,214 217,215 217,216; 202,152 "
           "201,152 203,152 204,155 209,159 212,164 212,177 210,191 211,206 216,213 224,213 "
           "230,212 234,207 237,203 239,200 240,198 240,197 240,198"
        << "b_n";
    // A script c drawn in two strokes, the second reaching a little back over the first: one
    // letter, not a c and a bracket.
    QTest::newRow("script c of two overlapping strokes before its index")
        << "69,19 70,19 68,20 66,21 64,24 60,27 67,26 67,18 56,10 42,11 28,17 14,33 10,56 20,73 "
           "42,81 57,78 69,73 78,68 81,63 86,56 90,53 92,50 94,47 95,46 96,46 95,46 96,46; 49,10 "
           "48,10 47,10 45,12 43,15 38,18 30,24 22,34 16,47 15,57 17,65 20,69 23,73 24,75 25,76 "
           "26,78 26,77 25,77; 106,136 108,133 114,125 128,114 140,114 145,120 140,136 131,152 "
           "126,160 127,161; 130,108 135,112 136,121 131,137 127,149 123,160 121,164; 140,126 "
           "142,125 146,121 154,113 177,108 178,136 176,152 182,159 182,160 183,160; 173,107 "
           "174,106 174,107 174,108 177,109 179,112 179,116 179,124 175,134 172,145 177,159 "
           "192,157 201,152 206,144 211,138 214,133 215,131 217,131 217,129 217,130 216,130; "
           "303,51 304,50 303,51 304,54 304,58 304,61 303,70 303,79 302,92 302,106 302,119 302,132 "
           "301,143 301,151 300,156 301,160 300,162 301,162; 249,107 249,106 252,106 264,107 "
           "283,106 309,106 324,106 334,106 344,107 353,106 356,106 355,106; 448,69 449,70 447,75 "
           "444,82 438,95 430,120 420,144 416,154 414,161 413,163 414,163; 461,48 461,47 461,48 "
           "461,49 459,50 459,53 457,56 456,61 454,66 450,77 445,92 440,105 436,119 428,136 "
           "424,146 421,155 420,158 419,161 419,162; 464,49 462,50 458,52 451,60 440,66 424,74 "
           "416,77 414,78 414,79; 456,65 455,65 453,65 449,67 443,70 436,72 430,74 427,75 423,76 "
           "421,77 418,78 415,78 413,78"
        << "c_{n+1}";
}

void TestFormulaRecognizer::recordedMouseStrokesAreRecognisedExactly()
{
    QFETCH(QString, strokes);
    QFETCH(QString, latex);
    std::vector<quenmo::Stroke> drawing;
    for (const QString &stroke : strokes.split(';')) {
        drawing.emplace_back();
        for (const QString &point : stroke.split(' ', Qt::SkipEmptyParts)) {
            const QStringList xy = point.split(',');
            QCOMPARE(xy.size(), 2);
            drawing.back().push_back({xy[0].toDouble(), xy[1].toDouble()});
        }
    }
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(drawing)), latex);
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

// Along a stroke the heading is (cos 2a, sin 2a) of its direction, the same whichever way it
// was drawn; the move to the next stroke lends none.
void TestFormulaRecognizer::headingsFollowEachStrokeWhicheverWayDrawn()
{
    using quenmo::PointCloud;
    // An L: a bar rightwards, then a stem drawn upwards apart from it; and the same drawn back.
    for (bool reversed : {false, true}) {
        quenmo::Stroke bar, stem;
        for (int x = 0; x <= 30; ++x)
            bar.push_back({static_cast<double>(x), 30});
        for (int y = 30; y >= 0; --y)
            stem.push_back({-10, static_cast<double>(y)});
        if (reversed) {
            std::reverse(bar.begin(), bar.end());
            std::reverse(stem.begin(), stem.end());
        }
        const PointCloud::Points points = PointCloud::normalized({bar, stem});
        const PointCloud::Points headings = PointCloud::headings(points);
        for (int k = 0; k < PointCloud::size; ++k) {
            // Half the ink on each stroke: the first 16 points on the bar.
            const float u = k < PointCloud::size / 2 ? 1.0f : -1.0f;
            QVERIFY2(std::fabs(headings[2 * k] - u) < 1e-3f, qPrintable(QString::number(k)));
            QVERIFY2(std::fabs(headings[2 * k + 1]) < 1e-3f, qPrintable(QString::number(k)));
        }
    }
    // A diagonal down to the right: a = 45 degrees, so (0, 1); up to the right (0, -1).
    for (double slope : {1.0, -1.0}) {
        quenmo::Stroke line;
        for (int x = 0; x <= 20; ++x)
            line.push_back({static_cast<double>(x), slope * x});
        const PointCloud::Points headings = PointCloud::headings(PointCloud::normalized({line}));
        for (int k = 0; k < PointCloud::size; ++k) {
            QVERIFY(std::fabs(headings[2 * k]) < 1e-3f);
            QVERIFY(std::fabs(headings[2 * k + 1] - static_cast<float>(slope)) < 1e-3f);
        }
    }
}

QTEST_APPLESS_MAIN(TestFormulaRecognizer)
#include "tst_formularecognizer.moc"
