#include "handwriting.h"
#include "recognitionservice.h"

#include <QtTest>

using handwriting::Page;
using quenmo::RecognitionService;

class TestFormulaRecognizer : public QObject {
    Q_OBJECT

private slots:
    void cleanFormulasAreRecognisedExactly_data();
    void cleanFormulasAreRecognisedExactly();
};

void TestFormulaRecognizer::cleanFormulasAreRecognisedExactly_data() {
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
}

void TestFormulaRecognizer::cleanFormulasAreRecognisedExactly() {
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
    }
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(page.strokes)), latex);
}

QTEST_APPLESS_MAIN(TestFormulaRecognizer)
#include "tst_formularecognizer.moc"
