#include "localserver.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

// The handwriting route over HTTP, with bodies the size a drawn formula really has.
class TestServerRecognition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void formBodiesUpToTheRecognisersLimitReachIt_data();
    void formBodiesUpToTheRecognisersLimitReachIt();

private:
    LocalServer m_server;
};

namespace {

QJsonObject stroke(const QVector<QPoint> &corners)
{
    // a mouse reports a point every few pixels
    QJsonArray xs;
    QJsonArray ys;
    for (int i = 1; i < corners.size(); ++i) {
        const QPoint from = corners.at(i - 1);
        const QPoint to = corners.at(i);
        for (int step = i == 1 ? 0 : 1; step <= 12; ++step) {
            const QPoint p = from + (to - from) * step / 12;
            xs.append(p.x());
            ys.append(p.y());
        }
    }
    return {{QStringLiteral("type"), QStringLiteral("stroke")}, {QStringLiteral("x"), xs},
        {QStringLiteral("y"), ys}};
}

// "1+1+1+1+1+1+1+1+1=7-1-1" written with the mouse: 32 strokes, 40 px high.
QJsonArray longFormula()
{
    QJsonArray strokes;
    int x = 20;
    const int y = 40;
    const int h = 40;
    const auto one = [&] {
        strokes.append(stroke({{x + h / 4, y}, {x + h / 4, y + h}}));
        x += h / 2 + 8;
    };
    const auto bar = [&](int at) { strokes.append(stroke({{x, at}, {x + 2 * h / 3, at}})); };
    for (int i = 0; i < 9; ++i) {
        one();
        if (i == 8)
            break;
        bar(y + h / 2);
        strokes.append(stroke({{x + h / 3, y + h / 6}, {x + h / 3, y + 5 * h / 6}}));
        x += 9 * h / 10 + 8;
    }
    bar(y + 2 * h / 5);
    bar(y + 3 * h / 5);
    x += 9 * h / 10 + 8;
    strokes.append(stroke({{x, y}, {x + h / 2, y}, {x + h / 6, y + h}}));
    x += 7 * h / 10 + 8;
    for (int i = 0; i < 2; ++i) {
        bar(y + h / 2);
        x += 9 * h / 10 + 8;
        one();
    }
    return strokes;
}

} // namespace

void TestServerRecognition::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
}

void TestServerRecognition::formBodiesUpToTheRecognisersLimitReachIt_data()
{
    // The canvas sends the strokes as indented JSON, unencoded, in a form body.
    QByteArray json = QJsonDocument(QJsonObject {{QStringLiteral("components"), longFormula()}})
                          .toJson(QJsonDocument::Indented);
    QVERIFY(json.size() > 16 * 1024);
    QTest::addColumn<QByteArray>("equationInput");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray recognised
        = R"({"result":{"results":[{"type":"LATEX","value":"1+1+1+1+1+1+1+1+1=7-1-1"}]}})";
    QTest::newRow("32 strokes") << json << recognised;
    // blanks are valid JSON: the same drawing just under the recogniser's 4 MiB
    QTest::newRow("near the limit")
        << json + QByteArray(4 * 1024 * 1024 - json.size() - 200, ' ') << recognised;
    QTest::newRow("over the limit")
        << json + QByteArray(4 * 1024 * 1024, ' ')
        << QByteArray(
               R"({"error":{"code":"request_too_large","message":"the request body is too large"}})");
}

void TestServerRecognition::formBodiesUpToTheRecognisersLimitReachIt()
{
    QFETCH(QByteArray, equationInput);
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(m_server.baseUrl()
        + QStringLiteral("/api/myscript/v2.0/equation/doSimpleRecognition.json")));
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkReply *reply = manager.post(request,
        "apiKey=5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13&equationInput=" + equationInput
            + "&userId=13800000001");
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 20000);
    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QTEST(reply->readAll(), "reply");
    delete reply;
}

QTEST_GUILESS_MAIN(TestServerRecognition)
#include "tst_serverrecognition.moc"
