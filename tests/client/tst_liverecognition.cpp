// The handwriting canvas against the recogniser of the real quenmo-server, drawn with the mouse
// as a teacher draws.
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "tools/drawtexdialog.h"
#include "tools/painterwidget.h"
#include "tools/picturebox.h"

#include "localserver.h"
#include "modaldialoganswerer.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QWindow>
#include <QtTest>

class tst_LiveRecognition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void drawnFormulaRecognised_data();
    void drawnFormulaRecognised();
    void addressFromSettings_data();
    void addressFromSettings();
    void twentyStrokeFormulaInFormulaDialog();

private:
    QString writeSettings(const QByteArray &text);

    LocalServer m_server;
    QTemporaryDir m_dir;
};

namespace {

const QString recognitionPath
    = QStringLiteral("/api/myscript/v2.0/equation/doSimpleRecognition.json");

// A mouse reports a point every few pixels; a dozen per straight segment is what a slow hand
// gives, and makes a 20-stroke body several times the size a small form allows.
QPolygon line(QPoint from, QPoint to, int steps = 12)
{
    QPolygon stroke;
    for (int i = 0; i <= steps; ++i)
        stroke << from + (to - from) * i / steps;
    return stroke;
}

QPolygon polyline(const QVector<QPoint> &corners)
{
    QPolygon stroke;
    for (int i = 1; i < corners.size(); ++i) {
        const QPolygon piece = line(corners.at(i - 1), corners.at(i), 8);
        stroke << (i == 1 ? QVector<QPoint>(piece) : piece.mid(1));
    }
    return stroke;
}

// Hand-drawn glyphs in a cell whose top left is at, h high; each appends its strokes and moves
// the pen to the right.
struct Writer {
    QVector<QPolygon> strokes;
    int x = 0;
    int y = 0;
    int h = 60;

    Writer &text(const QString &glyphs)
    {
        for (const QChar c : glyphs) {
            const int third = h / 3;
            switch (c.unicode()) {
            case '1':
                strokes << line({x + h / 4, y}, {x + h / 4, y + h});
                x += h / 2;
                break;
            case '+':
                strokes << line({x, y + h / 2}, {x + 2 * third, y + h / 2})
                        << line({x + third, y + h / 6}, {x + third, y + 5 * h / 6});
                x += 9 * h / 10;
                break;
            case '-':
                strokes << line({x, y + h / 2}, {x + 2 * third, y + h / 2});
                x += 9 * h / 10;
                break;
            case '=':
                strokes << line({x, y + 2 * h / 5}, {x + 2 * third, y + 2 * h / 5})
                        << line({x, y + 3 * h / 5}, {x + 2 * third, y + 3 * h / 5});
                x += 9 * h / 10;
                break;
            case '7':
                strokes << polyline({{x, y}, {x + h / 2, y}, {x + h / 6, y + h}});
                x += 7 * h / 10;
                break;
            case '4':
                strokes << polyline(
                    {{x + 2 * h / 5, y}, {x, y + 2 * third}, {x + h / 2, y + 2 * third}})
                        << line({x + 2 * h / 5, y + h / 4}, {x + 2 * h / 5, y + h});
                x += 7 * h / 10;
                break;
            default:
                qFatal("no hand-drawn glyph for %c", c.toLatin1());
            }
            x += 8;
        }
        return *this;
    }
    Writer &at(int nx, int ny, int nh)
    {
        x = nx;
        y = ny;
        h = nh;
        return *this;
    }
};

// (1+1)/4 + 1 + 1 = 7 - 1 - 1 in 20 strokes, about 620 x 160 px.
QVector<QPolygon> fractionFormula()
{
    Writer w;
    w.at(30, 20, 45).text(QStringLiteral("1+1"));
    w.strokes << line({20, 80}, {150, 80});
    w.at(70, 95, 45).text(QStringLiteral("4"));
    w.at(170, 50, 60).text(QStringLiteral("+1+1=7-1-1"));
    return w.strokes;
}

// Press, moves and release through the window system, as a mouse delivers them.
void drawStroke(QWidget *canvas, const QPolygon &points)
{
    QWindow *window = canvas->window()->windowHandle();
    const auto inWindow = [canvas](QPoint p) { return canvas->mapTo(canvas->window(), p); };
    QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, inWindow(points.first()));
    for (int i = 1; i < points.size(); ++i)
        QTest::mouseMove(window, inWindow(points.at(i)));
    QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, inWindow(points.last()));
}

} // namespace

void tst_LiveRecognition::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    UserSession::instance().phoneNumber = QStringLiteral("13800000001");
}

void tst_LiveRecognition::init()
{
    loadServerConfig(writeSettings("[default]\nIMG_SERVER=" + m_server.baseUrl().toUtf8() + "\n"));
}

QString tst_LiveRecognition::writeSettings(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write settings.ini");
    file.write(text);
    return path;
}

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
    QTest::newRow("twenty strokes") << fractionFormula() << "\\dfrac{1+1}{4}+1+1=7-1-1";
}

void tst_LiveRecognition::drawnFormulaRecognised()
{
    QFETCH(QVector<QPolygon>, strokes);
    ModalDialogAnswerer answerer; // a network error would stop here
    PainterWidget canvas;
    QSignalSpy recognised(&canvas, &PainterWidget::recognitionFinished);
    canvas.resize(700, 220);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    for (const QPolygon &points : strokes)
        drawStroke(&canvas, points);
    // every stroke asks again; the last answer is for the whole drawing
    QTRY_VERIFY_WITH_TIMEOUT(!recognised.isEmpty() && !canvas.isRecognizing(), 10000);
    QVERIFY2(answerer.count() == 0, qPrintable(answerer.last().text));
    QTEST(recognised.last().first().toString(), "latex");
}

void tst_LiveRecognition::addressFromSettings_data()
{
    const QByteArray live = m_server.baseUrl().toUtf8();
    // Nothing listens there: a request sent to it fails with a network error.
    const QByteArray dead = "http://127.0.0.1:" + QByteArray::number(LocalServer::freePort());
    QTest::addColumn<QByteArray>("settings");
    QTest::newRow("own key") << "[default]\nIMG_SERVER=" + dead + "\nRECOGNITION_SERVER=" + live
            + "\n";
    QTest::newRow("image server without the key")
        << "[default]\nIMG_SERVER=" + live + "\nLIBRARY_SERVER=" + dead + "\n";
}

void tst_LiveRecognition::addressFromSettings()
{
    QFETCH(QByteArray, settings);
    loadServerConfig(writeSettings(settings));
    ModalDialogAnswerer answerer;
    PainterWidget canvas;
    QCOMPARE(canvas.recognitionUrl().path(), recognitionPath);
    QSignalSpy recognised(&canvas, &PainterWidget::recognitionFinished);
    canvas.resize(300, 200);
    canvas.show();
    QVERIFY(QTest::qWaitForWindowExposed(&canvas));
    drawStroke(&canvas, line({100, 40}, {100, 140}));
    QTRY_VERIFY_WITH_TIMEOUT(!canvas.isRecognizing(), 10000);
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(recognised.count(), 1);
    QCOMPARE(recognised.last().first().toString(), QStringLiteral("1"));
}

void tst_LiveRecognition::twentyStrokeFormulaInFormulaDialog()
{
    ModalDialogAnswerer answerer;
    DrawTexDialog dialog;
    dialog.resize(900, 640);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    PainterWidget *canvas = dialog.painterWidget();
    QVERIFY2(canvas->width() >= 640 && canvas->height() >= 180,
        qPrintable(QStringLiteral("canvas %1 x %2").arg(canvas->width()).arg(canvas->height())));
    QSignalSpy recognised(canvas, &PainterWidget::recognitionFinished);
    const auto renderers = dialog.findChildren<QNetworkAccessManager *>(
        QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(renderers.size(), 1);
    QSignalSpy renders(renderers.first(), &QNetworkAccessManager::finished);

    const QVector<QPolygon> strokes = fractionFormula();
    QVERIFY(strokes.size() >= 20);
    for (int i = 0; i < strokes.size(); ++i) {
        drawStroke(canvas, strokes.at(i));
        // each stroke's request is answered before the next stroke starts
        QTRY_VERIFY_WITH_TIMEOUT(!canvas->isRecognizing(), 10000);
        QVERIFY2(answerer.count() == 0,
            qPrintable(QStringLiteral("stroke %1: %2").arg(i + 1).arg(answerer.last().text)));
        QCOMPARE(recognised.count(), i + 1);
        // a hand takes longer over a stroke than the server over its picture
        QTRY_COMPARE_WITH_TIMEOUT(renders.count(), i + 1, 15000);
    }
    const QString tex = QStringLiteral("\\dfrac{1+1}{4}+1+1=7-1-1");
    QCOMPARE(dialog.textEdit()->toPlainText(), tex);
    QCOMPARE(dialog.formula(), tex);
    // the picture shown is the server's rendering of what was recognised
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(DrawTexDialog::formulaUrl(tex)));
    QTRY_VERIFY_WITH_TIMEOUT(reply->isFinished(), 15000);
    const QImage rendered = QImage::fromData(reply->readAll());
    delete reply;
    QVERIFY(rendered.width() > 100);
    QTRY_COMPARE_WITH_TIMEOUT(dialog.pictureBox()->pixmap().size(), rendered.size(), 15000);

    const QString shots = qEnvironmentVariable("QUENMO_SHOTS");
    if (!shots.isEmpty())
        dialog.grab().save(shots + QStringLiteral("/handwritten-formula.png"));
}

QTEST_MAIN(tst_LiveRecognition)
#include "tst_liverecognition.moc"
