#include "app/usersession.h"
#include "tools/painterwidget.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QtTest>

static const QString recognitionPath
    = QStringLiteral("/api/myscript/v2.0/equation/doSimpleRecognition.json");

static QByteArray recognitionReply(const QString &latex)
{
    QJsonArray results;
    results.append(QJsonObject {{QStringLiteral("type"), QStringLiteral("MATHML")},
        {QStringLiteral("value"), QStringLiteral("<math/>")}});
    results.append(QJsonObject {
        {QStringLiteral("type"), QStringLiteral("LATEX")}, {QStringLiteral("value"), latex}});
    const QJsonObject result {{QStringLiteral("results"), results}};
    return QJsonDocument(QJsonObject {{QStringLiteral("result"), result}}).toJson();
}

class tst_PainterWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void serviceAddressIsTheLocalServer();
    void undoAtStartChangesNothingButReportsEmpty();
    void strokeAfterUndoDiscardsRedo();
    void cleanCanBeUndoneAndRedone();
    void onePointStrokeRequest();
    void movesWithoutButtonDrawNothing();
    void replyEmitsLatex_data();
    void replyEmitsLatex();
    void newDrawingAbortsRequestInFlight();
    void networkErrorShowsMessage();
    void paintsStrokesInBlackOnWhite();

private:
    void stroke(const QVector<QPoint> &points);

    ScriptedHttpResponder m_responder;
    PainterWidget *m_canvas = nullptr;
};

void tst_PainterWidget::initTestCase()
{
    QVERIFY(m_responder.listen());
}

void tst_PainterWidget::init()
{
    m_responder.clear();
    UserSession::instance().phoneNumber = QStringLiteral("13800000000");
    m_canvas = new PainterWidget;
    m_canvas->setRecognitionUrl(QUrl(m_responder.baseUrl() + recognitionPath));
    m_canvas->resize(480, 240);
}

void tst_PainterWidget::cleanup()
{
    delete m_canvas;
    m_canvas = nullptr;
}

// A press at the first point, moves through the others, a release at the last.
void tst_PainterWidget::stroke(const QVector<QPoint> &points)
{
    QMouseEvent press(
        QEvent::MouseButtonPress, points.first(), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &press);
    for (int i = 1; i < points.size(); ++i) {
        QMouseEvent move(
            QEvent::MouseMove, points.at(i), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(m_canvas, &move);
    }
    QMouseEvent release(
        QEvent::MouseButtonRelease, points.last(), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &release);
}

void tst_PainterWidget::serviceAddressIsTheLocalServer()
{
    QCOMPARE(PainterWidget::defaultRecognitionUrl().toString(),
        QStringLiteral(
            "http://127.0.0.1:8080/api/myscript/v2.0/equation/doSimpleRecognition.json"));
    PainterWidget fresh;
    QCOMPARE(fresh.recognitionUrl(), PainterWidget::defaultRecognitionUrl());
    QCOMPARE(fresh.minimumSize(), QSize(240, 120));
    QCOMPARE(fresh.sizeHint(), QSize(480, 240));
    QVERIFY(fresh.hasMouseTracking());
}

void tst_PainterWidget::undoAtStartChangesNothingButReportsEmpty()
{
    QSignalSpy spy(m_canvas, &PainterWidget::recognitionFinished);
    m_canvas->undo();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QString());
    QCOMPARE(m_canvas->historyIndex(), 0);
    QCOMPARE(m_canvas->historySize(), 1);
    m_canvas->redo();
    QCOMPARE(spy.count(), 2);
    QCOMPARE(m_canvas->historyIndex(), 0);
    QVERIFY(!m_canvas->isRecognizing());
    QCOMPARE(m_responder.requests().size(), 0);
}

void tst_PainterWidget::strokeAfterUndoDiscardsRedo()
{
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("x")));
    const QPolygon first(QVector<QPoint> {{10, 10}, {20, 20}});
    const QPolygon second(QVector<QPoint> {{30, 30}, {40, 40}});
    const QPolygon third(QVector<QPoint> {{50, 50}, {60, 60}});
    stroke(first);
    stroke(second);
    QCOMPARE(m_canvas->historyIndex(), 2);
    m_canvas->undo();
    QCOMPARE(m_canvas->strokes(), QVector<QPolygon> {first});
    stroke(third);
    QCOMPARE(m_canvas->historyIndex(), 2);
    QCOMPARE(m_canvas->historySize(), 3);

    m_canvas->redo();
    QCOMPARE(m_canvas->historyIndex(), 2);
    QCOMPARE(m_canvas->strokes(), (QVector<QPolygon> {first, third}));
    m_canvas->undo();
    QCOMPARE(m_canvas->strokes(), QVector<QPolygon> {first});
}

void tst_PainterWidget::cleanCanBeUndoneAndRedone()
{
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("x")));
    QSignalSpy spy(m_canvas, &PainterWidget::recognitionFinished);
    stroke({{10, 10}, {20, 20}});
    m_canvas->clean();
    QVERIFY(m_canvas->strokes().isEmpty());
    QCOMPARE(m_canvas->historyIndex(), 2);
    QCOMPARE(spy.count(), 1); // the clean itself, at once
    QCOMPARE(spy.at(0).at(0).toString(), QString());
    m_canvas->undo();
    QCOMPARE(m_canvas->strokes().size(), 1);
    m_canvas->redo();
    QVERIFY(m_canvas->strokes().isEmpty());

    // Back to the blank start and forward again from there.
    m_canvas->undo();
    m_canvas->undo();
    QCOMPARE(m_canvas->historyIndex(), 0);
    QVERIFY(m_canvas->strokes().isEmpty());
    m_canvas->redo();
    QCOMPARE(m_canvas->historyIndex(), 1);
    QCOMPARE(
        m_canvas->strokes(), QVector<QPolygon> {QPolygon(QVector<QPoint> {{10, 10}, {20, 20}})});
}

void tst_PainterWidget::onePointStrokeRequest()
{
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("x")));
    UserSession::instance().loginToken = QStringLiteral("secret");
    stroke({{12, 34}});
    QCOMPARE(m_canvas->strokes().size(), 1);
    QVERIFY(m_responder.waitForRequests(recognitionPath, 1));

    const ScriptedHttpResponder::Request request = m_responder.requestsTo(recognitionPath).first();
    QCOMPARE(request.method, QByteArray("POST"));
    QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
    QVERIFY(!request.headers.contains("logintoken"));
    const QByteArray expected = "apiKey=5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13&equationInput="
                                "{\n"
                                "    \"components\": [\n"
                                "        {\n"
                                "            \"type\": \"stroke\",\n"
                                "            \"x\": [\n"
                                "                12\n"
                                "            ],\n"
                                "            \"y\": [\n"
                                "                34\n"
                                "            ]\n"
                                "        }\n"
                                "    ]\n"
                                "}\n"
                                "&userId=13800000000";
    QCOMPARE(request.body, expected);
}

void tst_PainterWidget::movesWithoutButtonDrawNothing()
{
    QMouseEvent move(QEvent::MouseMove, QPoint(5, 5), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &move);
    QMouseEvent release(
        QEvent::MouseButtonRelease, QPoint(5, 5), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &release);
    QVERIFY(m_canvas->strokes().isEmpty());
    QCOMPARE(m_canvas->historySize(), 1);
    QCOMPARE(m_responder.requests().size(), 0);

    // The pointing hand shows while the pen is down.
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("x")));
    QMouseEvent press(
        QEvent::MouseButtonPress, QPoint(1, 2), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &press);
    QCOMPARE(m_canvas->cursor().shape(), Qt::PointingHandCursor);
    QMouseEvent drag(QEvent::MouseMove, QPoint(3, 4), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &drag);
    QMouseEvent up(
        QEvent::MouseButtonRelease, QPoint(5, 6), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(m_canvas, &up);
    QCOMPARE(m_canvas->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_canvas->strokes().first(), QPolygon(QVector<QPoint> {{1, 2}, {3, 4}}));
}

void tst_PainterWidget::replyEmitsLatex_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QStringList>("emitted");

    QTest::newRow("frac becomes dfrac")
        << recognitionReply(QStringLiteral("\\frac{1}{2}+\\frac{a}{b}"))
        << QStringList {QStringLiteral("\\dfrac{1}{2}+\\dfrac{a}{b}")};
    QTest::newRow("dfrac stays") << recognitionReply(QStringLiteral("\\dfrac{1}{2}"))
                                 << QStringList {QStringLiteral("\\dfrac{1}{2}")};
    QTest::newRow("Frac is another command") << recognitionReply(QStringLiteral("\\Frac{1}"))
                                             << QStringList {QStringLiteral("\\Frac{1}")};
    QTest::newRow("type is case-sensitive")
        << QByteArray(R"({"result":{"results":[{"type":"latex","value":"x"}]}})") << QStringList();
    QTest::newRow("no results") << QByteArray(R"({"result":{}})") << QStringList();
    QTest::newRow("not JSON") << QByteArray("<html>busy</html>") << QStringList();
}

void tst_PainterWidget::replyEmitsLatex()
{
    QFETCH(QByteArray, reply);
    QFETCH(QStringList, emitted);
    m_responder.respondRaw(recognitionPath, reply);
    ModalDialogAnswerer answerer;
    QSignalSpy spy(m_canvas, &PainterWidget::recognitionFinished);
    stroke({{10, 10}, {30, 10}});
    QTRY_VERIFY(!m_canvas->isRecognizing());
    QStringList got;
    for (const QList<QVariant> &arguments : qAsConst(spy))
        got << arguments.at(0).toString();
    QCOMPARE(got, emitted);
    QCOMPARE(answerer.count(), 0); // an answer the service gave, good or bad, is no network error
}

void tst_PainterWidget::newDrawingAbortsRequestInFlight()
{
    ModalDialogAnswerer answerer;
    ScriptedHttpResponder::Response hang;
    hang.action = ScriptedHttpResponder::Action::Hang;
    m_responder.respond(recognitionPath, hang);
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("y")));
    QSignalSpy spy(m_canvas, &PainterWidget::recognitionFinished);

    stroke({{10, 10}, {30, 10}});
    QVERIFY(m_responder.waitForRequests(recognitionPath, 1));
    QVERIFY(m_canvas->isRecognizing());
    stroke({{10, 40}, {30, 40}});
    QVERIFY(m_responder.waitForRequests(recognitionPath, 2));
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("y"));
    QVERIFY(!m_canvas->isRecognizing());
    QVERIFY(m_responder.requestsTo(recognitionPath).at(1).body.contains("40"));

    // An undo down to nothing drops the pending request and reports the empty drawing.
    m_responder.hang(recognitionPath);
    stroke({{50, 50}, {60, 60}});
    QVERIFY(m_responder.waitForRequests(recognitionPath, 3));
    m_canvas->clean();
    QVERIFY(!m_canvas->isRecognizing());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toString(), QString());
    QTest::qWait(50);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(answerer.count(), 0); // the cancellations show nothing
}

void tst_PainterWidget::networkErrorShowsMessage()
{
    ModalDialogAnswerer answerer;
    m_responder.respondRaw(recognitionPath, "{}", 500);
    QSignalSpy spy(m_canvas, &PainterWidget::recognitionFinished);
    stroke({{10, 10}, {30, 10}});
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QVERIFY(answerer.last().text.startsWith(QStringLiteral("网络连接失败（错误代码")));
    QTRY_VERIFY(!m_canvas->isRecognizing());
    QCOMPARE(spy.count(), 0);
}

void tst_PainterWidget::paintsStrokesInBlackOnWhite()
{
    m_responder.respondRaw(recognitionPath, recognitionReply(QStringLiteral("x")));
    stroke({{20, 100}, {200, 100}});
    stroke({{100, 20}, {100, 200}});
    const QImage image = m_canvas->grab().toImage();
    QCOMPARE(image.pixelColor(150, 100), QColor(Qt::black));
    QCOMPARE(image.pixelColor(100, 180), QColor(Qt::black));
    QCOMPARE(image.pixelColor(300, 200), QColor(Qt::white));
    QCOMPARE(image.pixelColor(150, 110), QColor(Qt::white));

    // ink is smoothed: a slanted stroke has grey at its edges, not only black and white
    stroke({{250, 40}, {450, 110}});
    const QImage slanted = m_canvas->grab().toImage();
    int grey = 0;
    for (int x = 260; x < 440; ++x) {
        for (int y = 30; y < 120; ++y) {
            const int level = qGray(slanted.pixel(x, y));
            if (level > 40 && level < 215)
                ++grey;
        }
    }
    QVERIFY2(grey > 50, qPrintable(QString::number(grey)));
    const QString shots = qEnvironmentVariable("QUENMO_SHOTS");
    if (!shots.isEmpty())
        slanted.save(shots + QStringLiteral("/canvas.png"));
}

QTEST_MAIN(tst_PainterWidget)
#include "tst_painterwidget.moc"
