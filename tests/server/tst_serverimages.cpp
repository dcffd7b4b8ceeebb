#include "localserver.h"
#include "serverclient.h"

#include <QBuffer>
#include <QImage>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

// Picture upload and download, and TeX formula rendering.
class TestServerImages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void uploadAndDownloadRoundTrip_data();
    void uploadAndDownloadRoundTrip();
    void uploadRefusesWhatIsNotAPicture_data();
    void uploadRefusesWhatIsNotAPicture();
    void uploadRefusesOversizedPictures();
    void uploadNeedsTheMultipartFields();
    void unknownKeyIsNotFound();
    void formulaIsRenderedAsPng();
    void formulaFailuresAnswerATextNotAnImage_data();
    void formulaFailuresAnswerATextNotAnImage();

private:
    LocalServer m_server;
    std::unique_ptr<ServerClient> m_client;
};

namespace {
QByteArray encoded(const char *format) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A 1 x 1 GIF (Qt writes none).
QByteArray gif() {
    return QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c00000000"
                               "010001000002024401003b");
}
} // namespace

void TestServerImages::initTestCase() {
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    m_client = std::make_unique<ServerClient>(m_server.baseUrl());
}

void TestServerImages::uploadAndDownloadRoundTrip_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("contentType");
    QTest::newRow("png") << encoded("PNG") << QByteArray("image/png");
    QTest::newRow("jpeg") << encoded("JPG") << QByteArray("image/jpeg");
    QTest::newRow("bmp") << encoded("BMP") << QByteArray("image/bmp");
    QTest::newRow("gif") << gif() << QByteArray("image/gif");
}

void TestServerImages::uploadAndDownloadRoundTrip() {
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, contentType);
    const ServerClient::Reply first = m_client->upload(bytes);
    QCOMPARE(first.status(), 0);
    const QString key = first.dataObject()[QStringLiteral("fileKey")].toString();
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(key).hasMatch());
    // The same bytes again get a key of their own.
    const QString second =
        m_client->upload(bytes).dataObject()[QStringLiteral("fileKey")].toString();
    QVERIFY(!second.isEmpty() && second != key);

    const ServerClient::Reply image =
        m_client->get(QStringLiteral("/api/show/image?fileKey=") + key);
    QCOMPARE(image.httpStatus, 200);
    QCOMPARE(image.contentType, contentType);
    QCOMPARE(image.body, bytes);
}

void TestServerImages::uploadRefusesWhatIsNotAPicture_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("text") << QByteArray("hello, this is not a picture");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("png signature only") << QByteArray("\x89PNG\r\n\x1a\n", 8);
    QTest::newRow("truncated jpeg") << encoded("JPG").left(4);
    QTest::newRow("html") << QByteArray("<html><script>alert(1)</script></html>");
}

void TestServerImages::uploadRefusesWhatIsNotAPicture() {
    QFETCH(QByteArray, bytes);
    const ServerClient::Reply reply = m_client->upload(bytes);
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(reply.status() != 0);
    QVERIFY(!reply.msg().isEmpty());
}

void TestServerImages::uploadRefusesOversizedPictures() {
    QByteArray bytes = encoded("PNG");
    bytes.append(QByteArray(10 * 1024 * 1024, '\0'));
    const ServerClient::Reply reply = m_client->upload(bytes);
    QVERIFY(reply.status() != 0);
    QVERIFY(reply.msg().contains(QStringLiteral("10MB")));
}

void TestServerImages::uploadNeedsTheMultipartFields() {
    const ServerClient::Reply reply =
        m_client->postRaw(QStringLiteral("/api/upload/file"), encoded("PNG"), false);
    QVERIFY(reply.status() != 0);
    QVERIFY(!reply.msg().isEmpty());
    QVERIFY(m_client->upload(encoded("PNG"), QByteArray()).status() != 0);
}

void TestServerImages::unknownKeyIsNotFound() {
    QCOMPARE(
        m_client->get(QStringLiteral("/api/show/image?fileKey=0123456789abcdef0123456789abcdef"))
            .httpStatus,
        404);
    QCOMPARE(m_client->get(QStringLiteral("/api/show/image?fileKey=../../etc/passwd")).httpStatus,
             404);
    QCOMPARE(m_client->get(QStringLiteral("/api/show/image")).httpStatus, 404);
}

void TestServerImages::formulaIsRenderedAsPng() {
    const QString path = QStringLiteral("/api/generate/formula?formulaStr=") +
                         QString::fromLatin1(QByteArray("\\frac{a}{b}+x^2").toPercentEncoding());
    const ServerClient::Reply reply = m_client->get(path);
    QCOMPARE(reply.httpStatus, 200);
    QCOMPARE(reply.contentType, QByteArray("image/png"));
    QImage image;
    QVERIFY(image.loadFromData(reply.body, "PNG"));
    QVERIFY(image.width() > 20 && image.height() > 20);
    // Served again from the cache, byte for byte.
    QCOMPARE(m_client->get(path).body, reply.body);
}

void TestServerImages::formulaFailuresAnswerATextNotAnImage_data() {
    QTest::addColumn<QByteArray>("formula");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blanks") << QByteArray("   ");
    QTest::newRow("undefined macro") << QByteArray("\\nosuchmacro{x}");
    QTest::newRow("unbalanced") << QByteArray("\\frac{1}{");
    QTest::newRow("reads a file outside") << QByteArray("\\input{/etc/passwd}");
    QTest::newRow("writes a file outside") << QByteArray(
        "\\immediate\\openout5=/tmp/quenmo-formula-escape.tex \\immediate\\write5{x}x");
    QTest::newRow("shell escape") << QByteArray(
        "\\immediate\\write18{touch /tmp/quenmo-formula-shell}x");
    QTest::newRow("endless loop") << QByteArray("\\def\\a{\\a}\\a");
    QTest::newRow("too long") << QByteArray(3000, 'x');
}

void TestServerImages::formulaFailuresAnswerATextNotAnImage() {
    QFETCH(QByteArray, formula);
    const ServerClient::Reply reply =
        m_client->get(QStringLiteral("/api/generate/formula?formulaStr=") +
                      QString::fromLatin1(formula.toPercentEncoding()));
    if (QTest::currentDataTag() == QByteArrayLiteral("writes a file outside") ||
        QTest::currentDataTag() == QByteArrayLiteral("shell escape")) {
        // TeX may still draw the x; what matters is that nothing left the scratch folder.
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/quenmo-formula-escape.tex")));
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/quenmo-formula-shell")));
        return;
    }
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(!reply.body.isEmpty());
    QVERIFY(QImage::fromData(reply.body).isNull());
    QVERIFY(reply.body.size() < 300);
}

QTEST_GUILESS_MAIN(TestServerImages)
#include "tst_serverimages.moc"
