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
    }
    QCOMPARE(QString::fromStdString(RecognitionService::recognize(page.strokes)), latex);
}

QTEST_APPLESS_MAIN(TestFormulaRecognizer)
#include "tst_formularecognizer.moc"
