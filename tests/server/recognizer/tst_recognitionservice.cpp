#include "recognitionservice.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using quenmo::RecognitionService;

namespace {

const std::string key = "5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13";

// The canvas's body for one stroke, in the layout the canvas writes.
const std::string clientBody = "apiKey=5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13&equationInput={\n"
                               "    \"components\": [\n"
                               "        {\n"
                               "            \"type\": \"stroke\",\n"
                               "            \"x\": [\n"
                               "                120,\n"
                               "                121,\n"
                               "                121,\n"
                               "                122\n"
                               "            ],\n"
                               "            \"y\": [\n"
                               "                40,\n"
                               "                70,\n"
                               "                95,\n"
                               "                120\n"
                               "            ]\n"
                               "        }\n"
                               "    ]\n"
                               "}\n"
                               "&userId=13800138000";

std::string body(const std::string &strokesJson, const std::string &apiKey = key)
{
    return "apiKey=" + apiKey + "&equationInput=" + strokesJson + "&userId=13800138000";
}

std::string strokesJson(int strokes, int points)
{
    std::string xs, ys;
    for (int i = 0; i < points; ++i) {
        xs += (i ? "," : "") + std::to_string(10 + i);
        ys += (i ? "," : "") + std::to_string(20 + i % 7);
    }
    std::string json = "{\"components\":[";
    for (int s = 0; s < strokes; ++s)
        json += std::string(s ? "," : "") + "{\"type\":\"stroke\",\"x\":[" + xs + "],\"y\":[" + ys
            + "]}";
    return json + "]}";
}

// What the canvas does with a reply: the value of the first "LATEX" result, or null.
QString clientLatex(const std::string &reply)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(reply));
    if (doc.isNull())
        return QString();
    const QJsonArray results = doc.object()
                                   .value(QStringLiteral("result"))
                                   .toObject()
                                   .value(QStringLiteral("results"))
                                   .toArray();
    for (const QJsonValue &r : results) {
        if (r.toObject().value(QStringLiteral("type")).toString() == QStringLiteral("LATEX"))
            return r.toObject().value(QStringLiteral("value")).toString();
    }
    return QString();
}

} // namespace

class TestRecognitionService : public QObject
{
    Q_OBJECT

private slots:
    void clientBodyMatchesTheCanvasJsonLayout();
    void clientBodyIsAnsweredWithLatexResult();
    void replyHasTheServiceShape();
    void emptyDrawingGivesEmptyLatex();
    void componentsOfOtherTypesAreSkipped();
    void percentEncodedInputIsAccepted_data();
    void percentEncodedInputIsAccepted();
    void badRequestsGetErrorWithoutResult_data();
    void badRequestsGetErrorWithoutResult();
    void limitsAreAtTheDocumentedSizes();
};

void TestRecognitionService::clientBodyMatchesTheCanvasJsonLayout()
{
    QJsonObject stroke;
    stroke.insert(QStringLiteral("type"), QStringLiteral("stroke"));
    stroke.insert(QStringLiteral("x"), QJsonArray {120, 121, 121, 122});
    stroke.insert(QStringLiteral("y"), QJsonArray {40, 70, 95, 120});
    QJsonObject root;
    root.insert(QStringLiteral("components"), QJsonArray {stroke});
    const QByteArray json = QJsonDocument(root).toJson(QJsonDocument::Indented);
    QCOMPARE(
        QByteArray::fromStdString(body(json.toStdString())), QByteArray::fromStdString(clientBody));
}

void TestRecognitionService::clientBodyIsAnsweredWithLatexResult()
{
    const RecognitionService::Reply reply = RecognitionService::handle(clientBody);
    QCOMPARE(reply.status, 200);
    QCOMPARE(QString::fromStdString(reply.contentType),
        QStringLiteral("application/json;charset=UTF-8"));
    QCOMPARE(clientLatex(reply.body), QStringLiteral("1"));
}

void TestRecognitionService::replyHasTheServiceShape()
{
    const RecognitionService::Reply reply = RecognitionService::handle(clientBody);
    QCOMPARE(QByteArray::fromStdString(reply.body),
        QByteArray(R"({"result":{"results":[{"type":"LATEX","value":"1"}]}})"));
}

void TestRecognitionService::emptyDrawingGivesEmptyLatex()
{
    const RecognitionService::Reply reply
        = RecognitionService::handle(body("{\n    \"components\": [\n    ]\n}\n"));
    QCOMPARE(reply.status, 200);
    const QString latex = clientLatex(reply.body);
    QVERIFY(!latex.isNull());
    QVERIFY(latex.isEmpty());
}

void TestRecognitionService::componentsOfOtherTypesAreSkipped()
{
    const std::string json
        = R"({"components":[{"type":"text","label":"q"},{"type":"stroke","x":[120,121,121,122],"y":[40,70,95,120]}]})";
    QCOMPARE(clientLatex(RecognitionService::handle(body(json)).body), QStringLiteral("1"));
}

void TestRecognitionService::percentEncodedInputIsAccepted_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("compact") << QByteArray(
        "%7B%22components%22%3A%5B%7B%22type%22%3A%22stroke%22%2C%22x%22%3A"
        "%5B120%2C121%2C121%2C122%5D%2C%22y%22%3A%5B40%2C70%2C95%2C120%5D%7D%5D%7D");
    // Hex digits may be written in either case.
    QTest::newRow("lower case hex")
        << QByteArray("%7b%22components%22%3a%5b%7b%22type%22%3a%22stroke%22%2c%22x%22%3a"
                      "%5b120%2c121%2c121%2c122%5d%2c%22y%22%3a%5b40%2c70%2c95%2c120%5d%7d%5d%7d");
    // The canvas's own layout as a form-encoding client sends it: blanks and line feeds
    // become %20 and %0A.
    const std::size_t from = clientBody.find('{');
    const std::size_t to = clientBody.rfind("&userId=");
    QTest::newRow("canvas layout")
        << QUrl::toPercentEncoding(QByteArray::fromStdString(clientBody.substr(from, to - from)));
}

void TestRecognitionService::percentEncodedInputIsAccepted()
{
    QFETCH(QByteArray, json);
    QCOMPARE(clientLatex(RecognitionService::handle(body(json.toStdString())).body),
        QStringLiteral("1"));
}

void TestRecognitionService::badRequestsGetErrorWithoutResult_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("code");
    const std::string oneStroke = R"({"components":[{"type":"stroke","x":[1,2],"y":[3,4]}]})";

    QTest::newRow("unknown key") << QByteArray::fromStdString(
        body(oneStroke, "00000000-0000-0000-0000-000000000000"))
                                 << "invalid_api_key";
    QTest::newRow("empty key") << QByteArray::fromStdString(body(oneStroke, ""))
                               << "invalid_api_key";
    QTest::newRow("empty body") << QByteArray() << "invalid_request";
    // Field names are matched exactly, as the canvas writes them.
    QTest::newRow("misspelt key field")
        << QByteArray::fromStdString("apikey=" + key + "&equationInput=" + oneStroke + "&userId=1")
        << "invalid_request";
    QTest::newRow("fields out of order")
        << QByteArray::fromStdString("equationInput=" + oneStroke + "&apiKey=" + key + "&userId=1")
        << "invalid_request";
    QTest::newRow("no userId") << QByteArray::fromStdString("apiKey=" + key + "&equationInput="
        + oneStroke) << "invalid_request";
    QTest::newRow("json does not parse")
        << QByteArray::fromStdString(body(R"({"components":[{"type":"stroke","x":[1,2)"))
        << "invalid_json";
    QTest::newRow("json nested too deep")
        << QByteArray::fromStdString(body(std::string(5000, '[') + std::string(5000, ']')))
        << "invalid_json";
    // Brackets are counted outside strings only, whatever the names before them.
    QTest::newRow("json nested too deep after named fields") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"text","label":)" + std::string(5000, '[')
            + std::string(5000, ']') + "}]}")) << "invalid_json";
    QTest::newRow("not an object") << QByteArray::fromStdString(body("[1,2]")) << "invalid_input";
    QTest::newRow("components not an array")
        << QByteArray::fromStdString(body(R"({"components":{}})")) << "invalid_input";
    QTest::newRow("component without type")
        << QByteArray::fromStdString(body(R"({"components":[{"x":[1],"y":[1]}]})"))
        << "invalid_input";
    QTest::newRow("mismatched lengths") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"stroke","x":[1,2,3],"y":[3,4]}]})"))
                                        << "invalid_input";
    QTest::newRow("no points") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"stroke","x":[],"y":[]}]})"))
                               << "invalid_input";
    QTest::newRow("text coordinate") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"stroke","x":["1"],"y":[3]}]})"))
                                     << "invalid_input";
    QTest::newRow("missing y") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"stroke","x":[1]}]})"))
                               << "invalid_input";
    QTest::newRow("huge coordinate") << QByteArray::fromStdString(
        body(R"({"components":[{"type":"stroke","x":[1e300],"y":[3]}]})"))
                                     << "invalid_input";
    QTest::newRow("too many strokes")
        << QByteArray::fromStdString(body(strokesJson(401, 1))) << "too_many_strokes";
    QTest::newRow("too many points")
        << QByteArray::fromStdString(body(strokesJson(2, 20001))) << "too_many_points";
    QTest::newRow("body too large")
        << QByteArray::fromStdString(body(oneStroke + std::string(4 * 1024 * 1024, ' ')))
        << "request_too_large";
}

void TestRecognitionService::badRequestsGetErrorWithoutResult()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, code);
    const RecognitionService::Reply reply = RecognitionService::handle(request.toStdString());
    QCOMPARE(reply.status, 200);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(reply.body));
    QVERIFY(doc.isObject());
    QCOMPARE(doc.object()
                 .value(QStringLiteral("error"))
                 .toObject()
                 .value(QStringLiteral("code"))
                 .toString(),
        code);
    QVERIFY(!doc.object().contains(QStringLiteral("result")));
    QVERIFY(clientLatex(reply.body).isNull());
}

void TestRecognitionService::limitsAreAtTheDocumentedSizes()
{
    // Exactly at the limits the drawing is still recognised.
    QVERIFY(!clientLatex(RecognitionService::handle(body(strokesJson(400, 1))).body).isNull());
    QVERIFY(!clientLatex(RecognitionService::handle(body(strokesJson(2, 20000))).body).isNull());
}

QTEST_APPLESS_MAIN(TestRecognitionService)
#include "tst_recognitionservice.moc"
