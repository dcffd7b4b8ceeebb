#include "localserver.h"
#include "serverclient.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QSet>
#include <QHttpMultiPart>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <vector>

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
    void uploadNeedsALogin_data();
    void uploadNeedsALogin();
    void identicalUploadsAtOnceAllSucceed();
    void quotaKeepsEachTeacherToTwoHundredMegabytes();
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
    QCOMPARE(m_client->login(QStringLiteral("13800000002")).status(), 0);
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

void TestServerImages::uploadNeedsALogin_data() {
    QTest::addColumn<QByteArray>("token");
    QTest::newRow("no token") << QByteArray();
    QTest::newRow("unknown token") << QByteArray(64, 'a');
    QTest::newRow("malformed token") << QByteArray("x' OR '1'='1");
}

void TestServerImages::uploadNeedsALogin() {
    QFETCH(QByteArray, token);
    ServerClient stranger(m_server.baseUrl());
    stranger.setToken(token);
    const ServerClient::Reply reply = stranger.upload(encoded("PNG"));
    QCOMPARE(reply.httpStatus, 200);
    QCOMPARE(reply.status(), 401);
    QVERIFY2(reply.msg().contains(QStringLiteral("登录")), qPrintable(reply.msg()));
    QVERIFY(!reply.dataObject().contains(QStringLiteral("fileKey")));
}

void TestServerImages::identicalUploadsAtOnceAllSucceed() {
    // A picture of its own, so its folder holds nothing else.
    QImage image(64, 48, QImage::Format_RGB32);
    image.fill(QColor(12, 34, 56));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    const int count = 40;
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    QList<QNetworkReply *> replies;
    for (int i = 0; i < count; ++i) {
        auto *multi = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        QHttpPart usage;
        usage.setHeader(QNetworkRequest::ContentDispositionHeader,
                        QByteArrayLiteral("form-data; name=\"fileUsageType\""));
        usage.setBody("2");
        QHttpPart file;
        file.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("image/png"));
        file.setHeader(QNetworkRequest::ContentDispositionHeader,
                       QByteArrayLiteral("form-data; name=\"file\"; filename=\"icon.png\""));
        file.setBody(bytes);
        multi->append(usage);
        multi->append(file);
        QNetworkRequest request(QUrl(m_server.baseUrl() + QStringLiteral("/api/upload/file")));
        request.setRawHeader("loginToken", m_client->token());
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkReply *reply = managers.back()->post(request, multi);
        multi->setParent(reply);
        replies << reply;
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        std::all_of(replies.begin(), replies.end(), [](QNetworkReply *r) { return r->isFinished(); }),
        60000);
    QSet<QString> keys;
    for (QNetworkReply *reply : replies) {
        const QJsonObject envelope = QJsonDocument::fromJson(reply->readAll()).object();
        QCOMPARE(envelope[QStringLiteral("status")].toInt(-7), 0);
        keys << envelope[QStringLiteral("data")].toObject()[QStringLiteral("fileKey")].toString();
        reply->deleteLater();
    }
    QCOMPARE(keys.size(), count);
    for (const QString &key : qAsConst(keys)) {
        const ServerClient::Reply image = m_client->get(QStringLiteral("/api/show/image?fileKey=") + key);
        QCOMPARE(image.body, bytes);
    }
    // All of them are one stored picture, and no half-written file is left beside it.
    const QByteArray sha = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    QDir folder(m_server.dataDir() + QStringLiteral("/images/") + QString::fromLatin1(sha.left(2)));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{QString::fromLatin1(sha)});
}

void TestServerImages::quotaKeepsEachTeacherToTwoHundredMegabytes() {
    ServerClient teacher(m_server.baseUrl());
    QCOMPARE(teacher.login(QStringLiteral("13800000003")).status(), 0);
    // Twenty different pictures of ten million bytes fill 200 MB but for 9.7 MB.
    auto picture = [](int n) {
        QByteArray bytes = encoded("PNG");
        bytes.append(QByteArray::number(n).rightJustified(8, '0'));
        bytes.append(QByteArray(10000000 - bytes.size(), char(n)));
        return bytes;
    };
    for (int i = 0; i < 20; ++i)
        QCOMPARE(teacher.upload(picture(i)).status(), 0);
    const ServerClient::Reply full = teacher.upload(picture(20));
    QVERIFY(full.status() != 0);
    QVERIFY2(full.msg().contains(QStringLiteral("200MB")), qPrintable(full.msg()));
    // A picture the teacher already keeps takes no more room; small ones still fit.
    QCOMPARE(teacher.upload(picture(3)).status(), 0);
    QCOMPARE(teacher.upload(encoded("BMP")).status(), 0);
    // Another teacher's room is their own.
    QCOMPARE(m_client->upload(picture(20)).status(), 0);
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
