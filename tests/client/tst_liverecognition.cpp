// The handwriting canvas against the recogniser of the real quenmo-server.
#include "app/usersession.h"
#include "tools/painterwidget.h"

#include "localserver.h"

#include <QMouseEvent>
#include <QtTest>

class tst_LiveRecognition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drawnFormulaRecognised_data();
    void drawnFormulaRecognised();

private:
    LocalServer m_server;
};

void tst_LiveRecognition::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    UserSession::instance().phoneNumber = QStringLiteral("13800000001");
}

namespace {

QPolygon line(QPoint from, QPoint to, int steps = 12)
{
    QPolygon stroke;
    for (int i = 0; i <= steps; ++i)
        stroke << from + (to - from) * i / steps;
    return stroke;
}

} // namespace

void tst_LiveRecognition::drawnFormulaRecognised_data()
{
    QTest::addColumn<QVector<QPolygon>>("strokes");
    QTest::addColumn<QString>("latex");
    QTest::newRow("one") << QVector<QPolygon> {line({100, 40}, {100, 140})} << "1";
    QTest::newRow("plus") << QVector<QPolygon> {line({60, 90}, {140, 90}),
        line({100, 50}, {100, 130})}
                          << "+";
    QTest::newRow("equals") << QVector<QPolygon> {line({60, 80}, {140, 80}),
        line({60, 110}, {140, 110})}
                            << "=";
}

void tst_LiveRecognition::drawnFormulaRecognised()
{
    QFETCH(QVector<QPolygon>, strokes);
    PainterWidget canvas;
    canvas.setRecognitionUrl(QUrl(m_server.baseUrl()
        + QStringLiteral("/api/myscript/v2.0/equation/doSimpleRecognition.json")));
    QSignalSpy recognised(&canvas, &PainterWidget::recognitionFinished);
    canvas.resize(300, 200);
    for (const QPolygon &points : strokes) {
        QMouseEvent press(QEvent::MouseButtonPress, points.first(), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(&canvas, &press);
        for (int i = 1; i < points.size(); ++i) {
            QMouseEvent move(
                QEvent::MouseMove, points.at(i), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&canvas, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, points.last(), Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
        QApplication::sendEvent(&canvas, &release);
    }
    // every stroke asks again; the last answer is for the whole drawing
    QTRY_VERIFY_WITH_TIMEOUT(!recognised.isEmpty() && !canvas.isRecognizing(), 10000);
    QTEST(recognised.last().first().toString(), "latex");
}

QTEST_MAIN(tst_LiveRecognition)
#include "tst_liverecognition.moc"
