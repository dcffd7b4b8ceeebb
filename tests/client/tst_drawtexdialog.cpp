#include "app/serverconfig.h"
#include "tools/drawtexdialog.h"
#include "tools/painterwidget.h"
#include "tools/picturebox.h"

#include "localserver.h"
#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QBuffer>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTextEdit>
#include <QtTest>

static const QString formulaPath = QStringLiteral("/api/generate/formula");

static QByteArray pngBytes(const QSize &size, const QColor &color)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class tst_DrawTexDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void sizedFromTheScreenWithStyledButtons();
    void everyChangeRequestsRendering_data();
    void everyChangeRequestsRendering();
    void renderedImageShownAtTopLeft();
    void answeredRequestsAreReleased();
    void replyThatIsNoImageKeepsPicture();
    void failedRenderingWarns();
    void recognisedTexFillsTextBox();
    void emptyRecognitionClearsTextAndPicture();
    void canvasButtonsDriveTheCanvas();
    void acceptedEmptyDialogHasEmptyFormula();
    void handwritingRenderedByLocalServer();

    void pictureBoxClampsScale_data();
    void pictureBoxClampsScale();
    void pictureBoxIgnoresNullImage();
    void pictureBoxClearRestoresBlank();

private:
    ScriptedHttpResponder m_responder;
    DrawTexDialog *m_dialog = nullptr;
};

void tst_DrawTexDialog::initTestCase()
{
    QVERIFY(m_responder.listen());
    IMG_SERVER = m_responder.baseUrl();
}

void tst_DrawTexDialog::init()
{
    m_responder.clear();
    m_responder.respondRaw(formulaPath, pngBytes(QSize(40, 20), Qt::red), 200, "image/png");
    m_dialog = new DrawTexDialog;
    m_dialog->painterWidget()->setRecognitionUrl(
        QUrl(m_responder.baseUrl() + QStringLiteral("/recognize")));
}

void tst_DrawTexDialog::cleanup()
{
    delete m_dialog;
    m_dialog = nullptr;
    QTest::qWait(20); // let requests still on their way land before the next clear()
}

void tst_DrawTexDialog::sizedFromTheScreenWithStyledButtons()
{
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(m_dialog->size(), QSize(int(available.width() * 0.8), int(available.height() * 0.8)));
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("公式"));
    QVERIFY(m_dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(m_dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

    auto box = m_dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(box);
    QPushButton *ok = box->button(QDialogButtonBox::Ok);
    QPushButton *cancel = box->button(QDialogButtonBox::Cancel);
    QCOMPARE(ok->text(), QStringLiteral("确定"));
    QCOMPARE(cancel->text(), QStringLiteral("取消"));
    QVERIFY(ok->styleSheet().startsWith(
        QStringLiteral("color: rgb(255, 255, 255);background-color: rgb(27, 197, 245);")));
    QVERIFY(cancel->styleSheet().startsWith(
        QStringLiteral("color: rgb(27, 197, 245);background-color: rgb(255, 255, 255);")));
    QCOMPARE(m_dialog->textEdit()->objectName(), QStringLiteral("MiddleTextEdit"));
    QCOMPARE(m_dialog->textEdit()->maximumHeight(), 100);
}

void tst_DrawTexDialog::everyChangeRequestsRendering_data()
{
    QTest::addColumn<QString>("tex");
    QTest::addColumn<QByteArray>("target");
    const QByteArray prefix = "/api/generate/formula?formulaStr=";
    QTest::newRow("plus and blank") << QStringLiteral("a+b c") << prefix + "a%2Bb%20c";
    QTest::newRow("power") << QStringLiteral("x^2") << prefix + "x%5E2";
    QTest::newRow("command and braces")
        << QStringLiteral("\\frac{1}{2}") << prefix + "%5Cfrac%7B1%7D%7B2%7D";
    QTest::newRow("unreserved stay") << QStringLiteral("a-b.c_d~e") << prefix + "a-b.c_d~e";
    QTest::newRow("Chinese as UTF-8") << QStringLiteral("面积") << prefix + "%E9%9D%A2%E7%A7%AF";
    QTest::newRow("ampersand and equals") << QStringLiteral("a&b=c") << prefix + "a%26b%3Dc";
    QTest::newRow("line break") << QStringLiteral("a\nb") << prefix + "a%0Ab";
}

void tst_DrawTexDialog::everyChangeRequestsRendering()
{
    QFETCH(QString, tex);
    QFETCH(QByteArray, target);
    m_dialog->textEdit()->setPlainText(tex);
    QCOMPARE(m_dialog->formula(), tex);
    // a local request arrives at once; a missing one should not hold up every row
    QVERIFY(m_responder.waitForRequests(formulaPath, 1, 3000));
    const ScriptedHttpResponder::Request request = m_responder.requestsTo(formulaPath).last();
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, target);
    QVERIFY(!request.headers.contains("logintoken"));

    // Clearing the box is a change too, sent with the empty text.
    m_dialog->textEdit()->clear();
    QVERIFY(m_responder.waitForRequests(formulaPath, 2, 3000));
    QCOMPARE(m_responder.requestsTo(formulaPath).last().target,
        QByteArray("/api/generate/formula?formulaStr="));
    QCOMPARE(m_dialog->formula(), QString());
}

void tst_DrawTexDialog::renderedImageShownAtTopLeft()
{
    m_dialog->resize(600, 500);
    m_dialog->textEdit()->setPlainText(QStringLiteral("x^2"));
    QTRY_COMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
    QCOMPARE(m_dialog->pictureBox()->scale(), 1.0);

    const QImage shown = m_dialog->pictureBox()->grab().toImage();
    QCOMPARE(shown.pixelColor(0, 0), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(39, 19), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(45, 10), QColor(Qt::white));
    QCOMPARE(shown.pixelColor(10, 25), QColor(Qt::white));
}

void tst_DrawTexDialog::answeredRequestsAreReleased()
{
    // one request per keystroke: their replies must not pile up while the teacher types
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    m_dialog->textEdit()->setFocus();
    QTest::keyClicks(m_dialog->textEdit(), QStringLiteral("x^2+1"));
    QVERIFY(m_responder.waitForRequests(formulaPath, 5));
    QTRY_COMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
    QTRY_COMPARE(m_dialog->findChildren<QNetworkReply *>().size(), 0);
}

void tst_DrawTexDialog::replyThatIsNoImageKeepsPicture()
{
    ModalDialogAnswerer answerer;
    m_dialog->textEdit()->setPlainText(QStringLiteral("x"));
    QTRY_COMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
    m_responder.reset(formulaPath);
    m_responder.respondRaw(formulaPath, "<html>bad formula</html>", 200, "text/html");
    m_dialog->textEdit()->setPlainText(QStringLiteral("\\bad{"));
    QVERIFY(m_responder.waitForRequests(formulaPath, 2));
    QTest::qWait(100);
    QCOMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
    QCOMPARE(answerer.count(), 0);
}

void tst_DrawTexDialog::failedRenderingWarns()
{
    ModalDialogAnswerer answerer;
    m_dialog->textEdit()->setPlainText(QStringLiteral("x"));
    QTRY_COMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
    m_responder.reset(formulaPath);
    // A failed reply whose body still decodes as a picture must not replace the shown one.
    m_responder.respondRaw(formulaPath, pngBytes(QSize(70, 30), Qt::blue), 500, "image/png");
    m_dialog->textEdit()->setPlainText(QStringLiteral("y"));
    QVERIFY(answerer.waitForCount(1));
    QCOMPARE(answerer.last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QVERIFY(!answerer.last().text.isEmpty());
    QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
    QTest::qWait(50);
    QCOMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
}

void tst_DrawTexDialog::recognisedTexFillsTextBox()
{
    m_dialog->recognitionFinished(QStringLiteral("\\dfrac{1}{2}"));
    QCOMPARE(m_dialog->textEdit()->toPlainText(), QStringLiteral("\\dfrac{1}{2}"));
    QCOMPARE(m_dialog->formula(), QStringLiteral("\\dfrac{1}{2}"));
    QVERIFY(m_responder.waitForRequests(formulaPath, 1, 3000));
    QCOMPARE(m_responder.requestsTo(formulaPath).last().target,
        QByteArray("/api/generate/formula?formulaStr=%5Cdfrac%7B1%7D%7B2%7D"));
    QTRY_COMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(40, 20));
}

void tst_DrawTexDialog::emptyRecognitionClearsTextAndPicture()
{
    m_responder.hang(formulaPath);
    m_dialog->textEdit()->setPlainText(QStringLiteral("x"));
    QImage shown(30, 30, QImage::Format_RGB32);
    shown.fill(Qt::blue);
    m_dialog->pictureBox()->setImage(shown, 2.0);

    // What an undo at the start of the canvas reports.
    m_dialog->painterWidget()->undo();
    QCOMPARE(m_dialog->textEdit()->toPlainText(), QString());
    QCOMPARE(m_dialog->formula(), QString());
    QCOMPARE(m_dialog->pictureBox()->pixmap().size(), QSize(160, 120));
    QCOMPARE(m_dialog->pictureBox()->scale(), 1.0);
}

void tst_DrawTexDialog::canvasButtonsDriveTheCanvas()
{
    PainterWidget *canvas = m_dialog->painterWidget();
    QCOMPARE(canvas->objectName(), QStringLiteral("widget"));
    canvas->addHistory({QPolygon(QVector<QPoint> {{1, 1}})});
    QCOMPARE(canvas->historyIndex(), 1);
    m_dialog->findChild<QPushButton *>(QStringLiteral("undoPushButton"))->click();
    QCOMPARE(canvas->historyIndex(), 0);
    m_dialog->findChild<QPushButton *>(QStringLiteral("redoPushButton"))->click();
    QCOMPARE(canvas->historyIndex(), 1);
    QCOMPARE(canvas->strokes().size(), 1);
    m_dialog->findChild<QPushButton *>(QStringLiteral("cleanPushButton"))->click();
    QVERIFY(canvas->strokes().isEmpty());
    QCOMPARE(canvas->historyIndex(), 2);
}

void tst_DrawTexDialog::acceptedEmptyDialogHasEmptyFormula()
{
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    const int before = m_responder.count(formulaPath);
    QCOMPARE(m_dialog->exec(), int(QDialog::Accepted));
    QCOMPARE(m_dialog->formula(), QString());
    QCOMPARE(m_responder.count(formulaPath), before);
}

// Strokes on the canvas, recognised by a scripted service, rendered by the real image server.
void tst_DrawTexDialog::handwritingRenderedByLocalServer()
{
    if (LocalServer::serverPath().isEmpty())
        QSKIP("quenmo-server is not built");
    LocalServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const QString scripted = IMG_SERVER;
    const auto restore = qScopeGuard([scripted] { IMG_SERVER = scripted; });
    IMG_SERVER = server.baseUrl();

    const QString tex = QStringLiteral("\\dfrac{1}{2}+x^{2}");
    const QJsonObject latex {{QStringLiteral("type"), QStringLiteral("LATEX")},
        {QStringLiteral("value"), QStringLiteral("\\frac{1}{2}+x^{2}")}};
    const QJsonObject results {{QStringLiteral("results"), QJsonArray {latex}}};
    m_responder.respondRaw(QStringLiteral("/recognize"),
        QJsonDocument(QJsonObject {{QStringLiteral("result"), results}}).toJson());

    m_dialog->resize(760, 560);
    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    PainterWidget *canvas = m_dialog->painterWidget();
    const QVector<QVector<QPoint>> strokes {
        {{60, 30}, {66, 24}, {66, 70}}, // 1
        {{40, 85}, {95, 85}}, // fraction bar
        {{48, 105}, {60, 96}, {74, 102}, {50, 140}, {80, 140}}, // 2
        {{115, 85}, {150, 85}}, {{132, 68}, {132, 102}}, // +
        {{170, 72}, {200, 108}}, {{200, 72}, {170, 108}}, // x
        {{208, 56}, {216, 50}, {224, 56}, {208, 70}, {226, 70}}, // small 2
    };
    for (const QVector<QPoint> &points : strokes) {
        QMouseEvent press(QEvent::MouseButtonPress, points.first(), Qt::LeftButton, Qt::LeftButton,
            Qt::NoModifier);
        QApplication::sendEvent(canvas, &press);
        for (const QPoint &point : points) {
            QMouseEvent move(
                QEvent::MouseMove, point, Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(canvas, &move);
        }
        QMouseEvent release(QEvent::MouseButtonRelease, points.last(), Qt::LeftButton, Qt::NoButton,
            Qt::NoModifier);
        QApplication::sendEvent(canvas, &release);
    }
    QTRY_COMPARE(m_dialog->textEdit()->toPlainText(), tex);
    QCOMPARE(m_dialog->formula(), tex);
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->pictureBox()->pixmap().size() != QSize(160, 120), 30000);
    const QImage rendered = m_dialog->pictureBox()->pixmap().toImage();
    QVERIFY(rendered.width() > rendered.height());

    const QString shots = qEnvironmentVariable("QUENMO_SHOTS");
    if (!shots.isEmpty())
        m_dialog->grab().save(shots + QStringLiteral("/formula.png"));
}

void tst_DrawTexDialog::pictureBoxClampsScale_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<double>("used");
    QTest::newRow("too large") << 500.0 << 100.0;
    QTest::newRow("upper limit") << 100.0 << 100.0;
    QTest::newRow("zero") << 0.0 << 0.01;
    QTest::newRow("negative") << -2.0 << 0.01;
    QTest::newRow("inside") << 1.5 << 1.5;
}

void tst_DrawTexDialog::pictureBoxClampsScale()
{
    QFETCH(double, scale);
    QFETCH(double, used);
    PictureBox box;
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(box.setImage(image, scale));
    QCOMPARE(box.scale(), used);
}

void tst_DrawTexDialog::pictureBoxIgnoresNullImage()
{
    PictureBox box;
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    QVERIFY(box.setImage(image, 3.0));
    QVERIFY(!box.setImage(QImage(), 1.0));
    QCOMPARE(box.pixmap().size(), QSize(10, 10));
    QCOMPARE(box.scale(), 3.0);

    // Scaled from the top left: a 10 px picture at scale 3 covers 30 px.
    box.resize(100, 60);
    box.setBackground(QBrush(Qt::green));
    const QImage shown = box.grab().toImage();
    QCOMPARE(shown.pixelColor(28, 28), QColor(Qt::red));
    QCOMPARE(shown.pixelColor(32, 10), QColor(Qt::green));
}

void tst_DrawTexDialog::pictureBoxClearRestoresBlank()
{
    PictureBox box;
    QCOMPARE(box.pixmap().size(), QSize(160, 120));
    QCOMPARE(box.pixmap().toImage().pixelColor(80, 60), QColor(Qt::white));
    box.setBackground(QBrush(Qt::green));
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);
    box.setImage(image, 0.5);
    box.clear();
    QCOMPARE(box.pixmap().size(), QSize(160, 120));
    QCOMPARE(box.scale(), 1.0);
    QCOMPARE(box.background().color(), QColor(Qt::white));
    QCOMPARE(box.background().style(), Qt::SolidPattern);
}

QTEST_MAIN(tst_DrawTexDialog)
#include "tst_drawtexdialog.moc"
