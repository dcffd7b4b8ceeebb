#include "app/serverconfig.h"
#include "app/usersession.h"
#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QBuffer>
#include <QDomDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTextBlock>
#include <QtTest>

// Pictures and formulas: placeholder, download, formula rendering and upload.
class tst_ImageTransfer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void formulaRequestIsPercentEncoded_data();
    void formulaRequestIsPercentEncoded();
    void downloadSizes_data();
    void downloadSizes();
    void emptyFormulaDoesNothing();
    void uploadLeadsToSecondTransfer();
    void uploadFailures_data();
    void uploadFailures();
    void downloadFailureLeavesPlaceholderEmpty_data();
    void downloadFailureLeavesPlaceholderEmpty();
    void pictureFollowsPlaceholderAfterEdits();
    void pictureIsDroppedWhenPlaceholderWasDeleted();
    void transfersCompleteInAnyOrder();
    void arrivalJoinsInsertionUndoStep();

private:
    static QByteArray png(int width, int height, QColor colour = Qt::red);
    static QList<int> imagePositions(TextEdit &edit);
    static QTextImageFormat imageAt(TextEdit &edit, int position);
    // waits until n replies of the edit's download manager have been handled
    bool waitForDownloads(TextEdit &edit, int n);

    ScriptedHttpResponder *responder = nullptr;
    QString savedServer;
};

void tst_ImageTransfer::init()
{
    responder = new ScriptedHttpResponder(this);
    QVERIFY(responder->listen());
    savedServer = IMG_SERVER;
    IMG_SERVER = responder->baseUrl();
}

void tst_ImageTransfer::cleanup()
{
    IMG_SERVER = savedServer;
    delete responder;
    responder = nullptr;
}

QByteArray tst_ImageTransfer::png(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QList<int> tst_ImageTransfer::imagePositions(TextEdit &edit)
{
    QList<int> positions;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next())
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                for (int i = 0; i < it.fragment().length(); ++i)
                    positions << it.fragment().position() + i;
    return positions;
}

QTextImageFormat tst_ImageTransfer::imageAt(TextEdit &edit, int position)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().toImageFormat();
}

bool tst_ImageTransfer::waitForDownloads(TextEdit &edit, int n)
{
    const auto managers = edit.findChildren<QNetworkAccessManager *>();
    if (managers.size() != 2)
        return false;
    QSignalSpy spy(managers.at(1), &QNetworkAccessManager::finished);
    return QTest::qWaitFor([&] { return spy.count() >= n; }, 10000);
}

void tst_ImageTransfer::formulaRequestIsPercentEncoded_data()
{
    QTest::addColumn<QString>("tex");
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("power") << "x^2" << QByteArray("/api/generate/formula?formulaStr=x%5E2");
    QTest::newRow("fraction") << "\\frac{a+b}{2} = c"
                              << QByteArray("/api/generate/formula?formulaStr="
                                            "%5Cfrac%7Ba%2Bb%7D%7B2%7D%20%3D%20c");
    QTest::newRow("unreserved kept")
        << "a-b.c_d~e" << QByteArray("/api/generate/formula?formulaStr=a-b.c_d~e");
    QTest::newRow("chinese as UTF-8") << QStringLiteral("面积S")
                                      << QByteArray("/api/generate/formula?formulaStr="
                                                    "%E9%9D%A2%E7%A7%AFS");
}

void tst_ImageTransfer::formulaRequestIsPercentEncoded()
{
    QFETCH(QString, tex);
    QFETCH(QByteArray, target);
    responder->respondRaw(QStringLiteral("/api/generate/formula"), png(30, 12), 200, "image/png");
    TextEdit edit;
    edit.insertTex(tex);
    QVERIFY(responder->waitForRequests(QStringLiteral("/api/generate/formula"), 1));
    const ScriptedHttpResponder::Request request = responder->requests().first();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, target);
    QVERIFY(request.header("loginToken").isEmpty());
    QVERIFY(waitForDownloads(edit, 1));
    const QTextImageFormat image = imageAt(edit, 0);
    QCOMPARE(image.name(), tex);
    QCOMPARE(image.stringProperty(FormulaStrProperty), tex);
    QCOMPARE(image.stringProperty(FileKeyProperty), QString());
    QCOMPARE(image.width(), 30.0);
    QCOMPARE(image.height(), 12.0);
    QCOMPARE(image.verticalAlignment(), QTextCharFormat::AlignMiddle);
    QVERIFY(edit.toCodeText().contains(QStringLiteral("<tex>")));
}

void tst_ImageTransfer::downloadSizes_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<QSizeF>("shown");
    QTest::newRow("own size") << 0 << 0 << QSizeF(40, 30);
    QTest::newRow("width 120, height 0") << 120 << 0 << QSizeF(120, 30);
    QTest::newRow("both given") << 80 << 10 << QSizeF(80, 10);
    QTest::newRow("one pixel") << 1 << 1 << QSizeF(1, 1);
}

void tst_ImageTransfer::downloadSizes()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(QSizeF, shown);
    responder->respondRaw(QStringLiteral("/api/show/image"), png(40, 30), 200, "image/png");
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    edit.insertImage(QStringLiteral("k1"), width, height);
    QCOMPARE(imagePositions(edit), QList<int> {2});
    // the placeholder already carries its key, so saving early loses nothing
    QCOMPARE(imageAt(edit, 2).stringProperty(FileKeyProperty), QStringLiteral("k1"));
    QCOMPARE(edit.toCodeText(),
        QStringLiteral("<doc>ab<v key=\"k1\" width=\"%1\" height=\"%2\"/></doc>")
            .arg(width)
            .arg(height));
    QVERIFY(waitForDownloads(edit, 1));
    QCOMPARE(responder->requests().first().target, QByteArray("/api/show/image?fileKey=k1"));
    const QTextImageFormat image = imageAt(edit, 2);
    QCOMPARE(QSizeF(image.width(), image.height()), shown);
    QCOMPARE(image.name(), QStringLiteral("k1"));
    QCOMPARE(image.stringProperty(FileKeyProperty), QStringLiteral("k1"));
    QCOMPARE(edit.document()
                 ->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("k1")))
                 .value<QImage>()
                 .size(),
        QSize(40, 30));
    // attribute order is not significant
    QDomDocument code;
    QVERIFY(code.setContent(edit.toCodeText()));
    QCOMPARE(code.documentElement().text(), QStringLiteral("ab"));
    const QDomElement v = code.documentElement().firstChildElement(QStringLiteral("v"));
    QCOMPARE(v.attribute(QStringLiteral("key")), QStringLiteral("k1"));
    QCOMPARE(v.attribute(QStringLiteral("width")), QString::number(shown.width()));
    QCOMPARE(v.attribute(QStringLiteral("height")), QString::number(shown.height()));
}

void tst_ImageTransfer::emptyFormulaDoesNothing()
{
    TextEdit edit;
    edit.insertTex(QString());
    QCOMPARE(edit.document()->characterCount(), 1);
    QTest::qWait(50);
    QCOMPARE(responder->requests().size(), 0);
}

void tst_ImageTransfer::uploadLeadsToSecondTransfer()
{
    responder->respondEnvelope(QStringLiteral("/api/upload/file"), 0,
        QJsonObject {{QStringLiteral("fileKey"), QStringLiteral("k9")}});
    responder->respondRaw(
        QStringLiteral("/api/show/image"), png(20, 20, Qt::blue), 200, "image/png");
    const QString savedToken = UserSession::instance().loginToken;
    UserSession::instance().loginToken = QStringLiteral("0123456789abcdef-upload");
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    edit.moveCursor(QTextCursor::Start);
    QImage picture(64, 32, QImage::Format_RGB32);
    picture.fill(Qt::green);
    edit.insertImage(picture, 50, 25);
    QCOMPARE(imagePositions(edit), QList<int>()); // nothing shown before the upload answers
    edit.moveCursor(QTextCursor::End); // inserted where the cursor is when the reply comes
    QVERIFY(waitForDownloads(edit, 1));

    QCOMPARE(responder->count(QStringLiteral("/api/upload/file")), 1);
    const ScriptedHttpResponder::Request upload
        = responder->requestsTo(QStringLiteral("/api/upload/file")).first();
    QCOMPARE(upload.method, QByteArray("POST"));
    // The bank keeps uploads per teacher, so the session goes along.
    QCOMPARE(upload.header("loginToken"), QByteArray("0123456789abcdef-upload"));
    UserSession::instance().loginToken = savedToken;
    const QByteArray contentType = upload.header("content-type");
    QVERIFY(contentType.startsWith("multipart/form-data; boundary="));
    QByteArray boundary = contentType.mid(contentType.indexOf('=') + 1);
    if (boundary.startsWith('"'))
        boundary = boundary.mid(1, boundary.size() - 2);
    boundary.prepend("--");
    const int first = upload.body.indexOf(boundary);
    const int second = upload.body.indexOf(boundary, first + 1);
    const int end = upload.body.indexOf(boundary + "--");
    QVERIFY(first >= 0 && second > first && end > second);
    const QByteArray part1 = upload.body.mid(first, second - first);
    const QByteArray part2 = upload.body.mid(second, end - second);
    QVERIFY(part1.contains("Content-Disposition: form-data; name=\"fileUsageType\"\r\n\r\n2\r\n"));
    // whole header lines: an image server reads the name and file name as they are
    QVERIFY(part2.contains("Content-Type: image/png\r\n"));
    QVERIFY(
        part2.contains("Content-Disposition: form-data; name=\"file\"; filename=\"icon.png\"\r\n"));
    const QByteArray body2 = part2.mid(part2.indexOf("\r\n\r\n") + 4);
    const QImage sent = QImage::fromData(body2.left(body2.size() - 2), "PNG");
    QCOMPARE(sent.size(), QSize(64, 32));
    QCOMPARE(sent.pixel(3, 3), QColor(Qt::green).rgb());

    QCOMPARE(responder->requestsTo(QStringLiteral("/api/show/image")).first().target,
        QByteArray("/api/show/image?fileKey=k9"));
    QCOMPARE(imagePositions(edit), QList<int> {2});
    const QTextImageFormat image = imageAt(edit, 2);
    QCOMPARE(image.stringProperty(FileKeyProperty), QStringLiteral("k9"));
    QCOMPARE(QSizeF(image.width(), image.height()), QSizeF(50, 25));
}

void tst_ImageTransfer::uploadFailures_data()
{
    QTest::addColumn<int>("kind"); // 0 network error, 1 status, 2 not JSON
    QTest::addColumn<QString>("warning");
    QTest::newRow("network error") << 0 << QString();
    QTest::newRow("status not 0") << 1 << QStringLiteral("文件过大");
    QTest::newRow("not JSON") << 2 << QString();
}

void tst_ImageTransfer::uploadFailures()
{
    QFETCH(int, kind);
    QFETCH(QString, warning);
    const QString path = QStringLiteral("/api/upload/file");
    if (kind == 0)
        responder->closeConnection(path);
    else if (kind == 1)
        responder->respondEnvelope(path, 3, QJsonValue(), warning);
    else
        responder->respondRaw(path, "<html>oops</html>", 200, "text/html");
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    TextEdit edit;
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::black);
    edit.uploadImage(picture, 8, 8);
    const auto managers = edit.findChildren<QNetworkAccessManager *>();
    QSignalSpy spy(managers.at(0), &QNetworkAccessManager::finished);
    QVERIFY(spy.wait(10000) || spy.count() == 1);
    if (kind != 2) {
        QVERIFY(answerer.waitForCount(1));
        QCOMPARE(answerer.last().title, QStringLiteral("警告"));
        QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
        if (!warning.isEmpty())
            QCOMPARE(answerer.last().text, warning);
        else
            QVERIFY(!answerer.last().text.isEmpty());
    } else {
        QTest::qWait(100);
        QCOMPARE(answerer.count(), 0);
    }
    QCOMPARE(edit.document()->characterCount(), 1);
    QCOMPARE(responder->count(QStringLiteral("/api/show/image")), 0);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(edit.findChildren<QNetworkReply *>().size(), 0);
}

void tst_ImageTransfer::downloadFailureLeavesPlaceholderEmpty_data()
{
    QTest::addColumn<bool>("networkError");
    QTest::newRow("network error warns") << true;
    QTest::newRow("body not an image") << false;
}

void tst_ImageTransfer::downloadFailureLeavesPlaceholderEmpty()
{
    QFETCH(bool, networkError);
    if (networkError)
        responder->respondRaw(QStringLiteral("/api/show/image"), "gone", 404, "text/plain");
    else
        responder->respondRaw(QStringLiteral("/api/show/image"), "not a picture", 200, "image/png");
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    TextEdit edit;
    edit.insertImage(QStringLiteral("k1"), 0, 0);
    QVERIFY(waitForDownloads(edit, 1));
    if (networkError) {
        QVERIFY(answerer.waitForCount(1));
        QCOMPARE(answerer.last().title, QStringLiteral("警告"));
        QVERIFY(!answerer.last().text.isEmpty());
    } else {
        QTest::qWait(50);
        QCOMPARE(answerer.count(), 0);
    }
    QCOMPARE(imagePositions(edit), QList<int> {0});
    // the failed picture keeps its key: saving the field does not drop the image
    QCOMPARE(imageAt(edit, 0).stringProperty(FileKeyProperty), QStringLiteral("k1"));
    QCOMPARE(
        edit.toCodeText(), QStringLiteral("<doc><v key=\"k1\" width=\"0\" height=\"0\"/></doc>"));
    // every failed transfer lets go of its reply
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(edit.findChildren<QNetworkReply *>().size(), 0);
}

void tst_ImageTransfer::pictureFollowsPlaceholderAfterEdits()
{
    responder->respondRaw(QStringLiteral("/api/generate/formula"), png(30, 12), 200, "image/png");
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("abcd"));
    edit.moveCursor(QTextCursor::Left);
    edit.moveCursor(QTextCursor::Left);
    edit.insertTex(QStringLiteral("x^2")); // placeholder at 2: ab?cd
    // before the picture arrives the teacher types in front and deletes behind
    edit.moveCursor(QTextCursor::Start);
    edit.insertPlainText(QStringLiteral("12"));
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(5);
    cursor.deleteChar(); // c
    QVERIFY(waitForDownloads(edit, 1));
    QCOMPARE(imagePositions(edit), QList<int> {4});
    QCOMPARE(imageAt(edit, 4).stringProperty(FormulaStrProperty), QStringLiteral("x^2"));
    QCOMPARE(edit.toCodeText(), QStringLiteral("<doc>12ab<tex>x^2</tex>d</doc>"));
}

void tst_ImageTransfer::pictureIsDroppedWhenPlaceholderWasDeleted()
{
    responder->respondRaw(QStringLiteral("/api/show/image"), png(30, 12), 200, "image/png");
    TextEdit edit;
    edit.insertImage(QStringLiteral("k1"), 0, 0);
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(0);
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    edit.insertPlainText(QStringLiteral("xy"));
    QVERIFY(waitForDownloads(edit, 1));
    QCOMPARE(imagePositions(edit), QList<int>());
    QCOMPARE(edit.toCodeText(), QStringLiteral("<doc>xy</doc>"));
}

void tst_ImageTransfer::transfersCompleteInAnyOrder()
{
    ScriptedHttpResponder::Response slow;
    slow.contentType = "image/png";
    slow.body = png(10, 10);
    slow.delayMs = 300;
    responder->respond(QStringLiteral("/api/show/image"), slow);
    responder->respondRaw(QStringLiteral("/api/generate/formula"), png(20, 5), 200, "image/png");
    TextEdit edit;
    edit.insertImage(QStringLiteral("slow"), 0, 0);
    edit.insertTex(QStringLiteral("y"));
    QVERIFY(waitForDownloads(edit, 2));
    QCOMPARE(imageAt(edit, 0).stringProperty(FileKeyProperty), QStringLiteral("slow"));
    QCOMPARE(imageAt(edit, 0).width(), 10.0);
    QCOMPARE(imageAt(edit, 1).stringProperty(FormulaStrProperty), QStringLiteral("y"));
    QCOMPARE(imageAt(edit, 1).width(), 20.0);
}

void tst_ImageTransfer::arrivalJoinsInsertionUndoStep()
{
    responder->respondRaw(QStringLiteral("/api/show/image"), png(10, 10), 200, "image/png");
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("a"));
    edit.insertImage(QStringLiteral("k1"), 0, 0);
    QVERIFY(waitForDownloads(edit, 1));
    QCOMPARE(imageAt(edit, 1).stringProperty(FileKeyProperty), QStringLiteral("k1"));
    edit.undo();
    QCOMPARE(imagePositions(edit), QList<int>());
    QCOMPARE(edit.document()->characterCount(), 2);
}

QTEST_MAIN(tst_ImageTransfer)
#include "tst_imagetransfer.moc"
