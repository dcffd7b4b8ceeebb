#include "app/serverconfig.h"
#include "app/startup.h"
#include "app/usersession.h"
#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

#include "bankseeder.h"
#include "localserver.h"
#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QBuffer>
#include <QClipboard>
#include <QJsonObject>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QTextBlock>
#include <QtTest>

// What a teacher types, pastes or drops is what the field saves, and what a second editor
// reads back from it.
class tst_SavedText : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void greaterThanIsKeptInTextAndFormulas();
    void spacesAtTheEdgesOfFormulasBlanksAndScripts();
    void whitespaceBetweenStyledRunsIsKept_data();
    void whitespaceBetweenStyledRunsIsKept();
    void codeTextThatCannotBeReadIsStillShown_data();
    void codeTextThatCannotBeReadIsStillShown();
    void clipboardKeysOfEveryPlatformCarryCodeText();
    void keysBeyondAsciiAreSaved();
    void surrogatePairIsOneObject();
    void pastedLinesBecomeParagraphs_data();
    void pastedLinesBecomeParagraphs();
    void dropInsertsWhatPasteInserts_data();
    void dropInsertsWhatPasteInserts();
    void dragOfASelectionCarriesItsCodeText();
    void pastedPictureIsUploadedInPlace();
    void picturesOfPastedHtmlAreUploaded();
    void pictureSavedBeforeItComesBackKeepsKeyAndSize_data();
    void pictureSavedBeforeItComesBackKeepsKeyAndSize();
    void pictureThatCannotBeUploadedLeavesNoTrace_data();
    void pictureThatCannotBeUploadedLeavesNoTrace();

private:
    void show(TextEdit &edit);
    // Saves the field, reads it into a second editor and checks that it saves the same.
    static QString savedAndReadBack(TextEdit &edit);
    static QString texts(TextEdit &edit);
    static QTextCharFormat formatAt(TextEdit &edit, int position);
    static void select(TextEdit &edit, int anchor, int position);
    static QPoint pointOf(TextEdit &edit, int position);
    static QImage picture(int width, int height);
    static void drop(TextEdit &edit, const QPoint &at, QMimeData *mime);
    static bool waitForPictures(TextEdit &edit, int count);

    LocalServer server;
    ScriptedHttpResponder *elsewhere = nullptr;
    QString savedImageServer;
    QList<TextEdit *> shown;
};

void tst_SavedText::initTestCase()
{
    Startup::installFontSubstitutions();
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    BankSeeder seeder(server.baseUrl());
    QVERIFY(seeder.login());
    UserSession::instance().loginToken = seeder.token();
    savedImageServer = IMG_SERVER;
    IMG_SERVER = server.baseUrl();
}

void tst_SavedText::cleanupTestCase()
{
    IMG_SERVER = savedImageServer;
    UserSession::instance().loginToken.clear();
}

void tst_SavedText::init()
{
    QGuiApplication::clipboard()->clear();
    elsewhere = new ScriptedHttpResponder(this);
    QVERIFY(elsewhere->listen());
}

void tst_SavedText::cleanup()
{
    shown.clear();
    IMG_SERVER = server.baseUrl();
    delete elsewhere;
    elsewhere = nullptr;
}

void tst_SavedText::show(TextEdit &edit)
{
    edit.resize(480, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.activateWindow();
    edit.setFocus();
}

QString tst_SavedText::savedAndReadBack(TextEdit &edit)
{
    const QString code = edit.toCodeText();
    TextEdit second;
    second.setCodeText(code);
    const QString again = second.toCodeText();
    if (again != code)
        return QStringLiteral("read back differently: ") + again;
    return code;
}

// TextProperty of every object, "|" for a block break, "#" for an image
QString tst_SavedText::texts(TextEdit &edit)
{
    QString result;
    QTextDocument *doc = edit.document();
    for (int p = 0; p < doc->characterCount() - 1; ++p) {
        if (doc->characterAt(p) == QChar::ParagraphSeparator)
            result += QLatin1Char('|');
        else if (formatAt(edit, p).isImageFormat())
            result += QLatin1Char('#');
        else
            result += formatAt(edit, p).property(TextProperty).toString();
    }
    return result;
}

QTextCharFormat tst_SavedText::formatAt(TextEdit &edit, int position)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return cursor.charFormat();
}

void tst_SavedText::select(TextEdit &edit, int anchor, int position)
{
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
}

// The viewport point just right of the object before position.
QPoint tst_SavedText::pointOf(TextEdit &edit, int position)
{
    QTextCursor cursor(edit.document());
    cursor.setPosition(position);
    return edit.cursorRect(cursor).center();
}

QImage tst_SavedText::picture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    return image;
}

void tst_SavedText::drop(TextEdit &edit, const QPoint &at, QMimeData *mime)
{
    QWidget *viewport = edit.viewport();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &enter);
    QVERIFY(enter.isAccepted());
    QDragMoveEvent move(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &move);
    QVERIFY(move.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(viewport, &dropped);
    QVERIFY(dropped.isAccepted());
}

// Waits until count images of the document show a picture from the image server.
bool tst_SavedText::waitForPictures(TextEdit &edit, int count)
{
    return QTest::qWaitFor(
        [&] {
            int arrived = 0;
            for (QTextBlock b = edit.document()->begin(); b.isValid(); b = b.next())
                for (auto it = b.begin(); !it.atEnd(); ++it) {
                    const QTextCharFormat f = it.fragment().charFormat();
                    if (f.isImageFormat()
                        && f.toImageFormat().name() == f.stringProperty(FileKeyProperty)
                        && !f.stringProperty(FileKeyProperty).isEmpty())
                        ++arrived;
                }
            return arrived >= count;
        },
        20000);
}

void tst_SavedText::greaterThanIsKeptInTextAndFormulas()
{
    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("x > 0"));
    edit.insertTex(QStringLiteral("x > 0"));
    const QString code = savedAndReadBack(edit);
    QCOMPARE(code, QStringLiteral("<doc>x &gt; 0<tex>x &gt; 0</tex></doc>"));

    TextEdit second;
    second.setCodeText(code);
    QCOMPARE(texts(second), QStringLiteral("x > 0#"));
    QCOMPARE(formatAt(second, 5).stringProperty(FormulaStrProperty), QStringLiteral("x > 0"));

    // stored before ">" was escaped: read as it was meant
    TextEdit stored;
    stored.setCodeText(QStringLiteral("<doc>a > b<tex>x > 0</tex></doc>"));
    QCOMPARE(texts(stored), QStringLiteral("a > b#"));
    QCOMPARE(formatAt(stored, 5).stringProperty(FormulaStrProperty), QStringLiteral("x > 0"));
}

void tst_SavedText::spacesAtTheEdgesOfFormulasBlanksAndScripts()
{
    TextEdit edit;
    show(edit);
    edit.insertTex(QStringLiteral(" x^2 "));
    edit.insertSpace(4, QStringLiteral(" 甲 "));
    QCOMPARE(
        savedAndReadBack(edit), QStringLiteral("<doc><tex>x^2</tex><s2><c> 甲 </c></s2></doc>"));
    TextEdit second;
    second.setCodeText(edit.toCodeText());
    QCOMPARE(formatAt(second, 0).stringProperty(FormulaStrProperty), QStringLiteral("x^2"));
    QCOMPARE(formatAt(second, 1).stringProperty(TextProperty), QStringLiteral(" 甲 "));
    // a "_" of a formula is TeX's subscript, not a space
    edit.clear();
    edit.insertTex(QStringLiteral("x_1"));
    QCOMPARE(savedAndReadBack(edit), QStringLiteral("<doc><tex>x_1</tex></doc>"));

    // what the old reader turned the spaces into reads as spaces again
    TextEdit stored;
    stored.setCodeText(
        QStringLiteral("<doc><s2><c>_甲_</c></s2><g><h>2_</h><f>_n</f></g><tex> y </tex></doc>"));
    QCOMPARE(formatAt(stored, 0).stringProperty(TextProperty), QStringLiteral(" 甲 "));
    QCOMPARE(formatAt(stored, 1).stringProperty(TextProperty), QStringLiteral("2   n"));
    QCOMPARE(formatAt(stored, 2).stringProperty(FormulaStrProperty), QStringLiteral("y"));
}

void tst_SavedText::whitespaceBetweenStyledRunsIsKept_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("one space") << "<doc><b>a</b> <i>b</i></doc>";
    QTest::newRow("two spaces") << "<doc><b>a</b>  <i>b</i></doc>";
    QTest::newRow("inside and between") << "<doc><b>a </b> <i> b</i></doc>";
    QTest::newRow("before a blank") << "<doc><u>a</u> <s1><c>x</c></s1></doc>";
}

void tst_SavedText::whitespaceBetweenStyledRunsIsKept()
{
    QFETCH(QString, code);
    TextEdit edit;
    edit.setCodeText(code);
    QCOMPARE(savedAndReadBack(edit), code);

    // typed and styled by the teacher
    TextEdit typed;
    show(typed);
    QTest::keyClicks(&typed, QStringLiteral("bold italic"));
    select(typed, 0, 4);
    typed.toggleBold();
    select(typed, 5, 11);
    typed.toggleItalic();
    QCOMPARE(savedAndReadBack(typed), QStringLiteral("<doc><b>bold</b> <i>italic</i></doc>"));

    // pasted from a web page
    TextEdit pasted;
    show(pasted);
    auto mime = new QMimeData;
    mime->setHtml(QStringLiteral("<p><b>bold</b> <i>italic</i></p>\n<p>next</p>"));
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(&pasted, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(
        savedAndReadBack(pasted), QStringLiteral("<doc><b>bold</b> <i>italic</i><n/>next</doc>"));
}

void tst_SavedText::codeTextThatCannotBeReadIsStillShown_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::newRow("declaration and a space")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <doc>a<b>b</b></doc>"
        << "ab";
    QTest::newRow("line breaks between tags") << "<doc>\n<b>a</b>\n<i>b</i>\n</doc>"
                                              << "ab";
    QString deep;
    for (int i = 0; i < 600; ++i)
        deep += QStringLiteral("<b>");
    deep += QStringLiteral("deep");
    for (int i = 0; i < 600; ++i)
        deep += QStringLiteral("</b>");
    QTest::newRow("nested deeper than the reader goes")
        << QStringLiteral("<doc>") + deep + QStringLiteral("</doc>") << "deep";
}

void tst_SavedText::codeTextThatCannotBeReadIsStillShown()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TextEdit edit;
    QVERIFY(edit.isCodeText(stored));
    edit.setCodeText(stored);
    QVERIFY2(texts(edit).contains(shown), qPrintable(texts(edit)));
    // the next save keeps the field's text instead of erasing it
    QVERIFY(!edit.toCodeText().isEmpty());
}

void tst_SavedText::clipboardKeysOfEveryPlatformCarryCodeText()
{
    TextEdit source;
    show(source);
    QTest::keyClicks(&source, QStringLiteral("abcd"));
    select(source, 1, 2);
    source.toggleBold();
    select(source, 0, 4);
    QTest::keyClick(&source, Qt::Key_Insert, Qt::ControlModifier);
    QCOMPARE(QString::fromUtf8(
                 QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("MimeTypeDoc"))),
        QStringLiteral("<doc>a<b>b</b>cd</doc>"));

    TextEdit target;
    show(target);
    QTest::keyClick(&target, Qt::Key_X);
    QTest::keyClick(&target, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(savedAndReadBack(target), QStringLiteral("<doc>xa<b>b</b>cd</doc>"));

    // Shift+Delete cuts: the selection is on the clipboard, not lost
    select(source, 1, 3);
    QTest::keyClick(&source, Qt::Key_Delete, Qt::ShiftModifier);
    QCOMPARE(savedAndReadBack(source), QStringLiteral("<doc>ad</doc>"));
    QTest::keyClick(&target, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(savedAndReadBack(target), QStringLiteral("<doc>xa<b>b</b>cd<b>b</b>c</doc>"));

    // plain text from another program through Shift+Insert
    QGuiApplication::clipboard()->setText(QStringLiteral("pq"));
    QTest::keyClick(&source, Qt::Key_Insert, Qt::ShiftModifier);
    QCOMPARE(savedAndReadBack(source), QStringLiteral("<doc>apqd</doc>"));
}

void tst_SavedText::keysBeyondAsciiAreSaved()
{
    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("a"));
    // a European layout: keys with their own key codes, and a dead key's composed text
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_sterling, QStringLiteral("£"), Qt::NoModifier);
    QTest::sendKeyEvent(
        QTest::Click, &edit, Qt::Key_Eacute, QStringLiteral("é"), Qt::ShiftModifier);
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QStringLiteral("ü"), Qt::NoModifier);
    // AltGr on Windows arrives as Ctrl+Alt and still types
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, QStringLiteral("€"),
        Qt::ControlModifier | Qt::AltModifier);
    QTest::sendKeyEvent(
        QTest::Click, &edit, Qt::Key_Eacute, QStringLiteral("é"), Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("a£éü€"));
    for (int p = 0; p < 5; ++p)
        QCOMPARE(formatAt(edit, p).objectType(), TextObjectType);
    QCOMPARE(savedAndReadBack(edit), QStringLiteral("<doc>a£éü€</doc>"));
    // navigation keys still move
    QTest::keyClick(&edit, Qt::Key_Home);
    QCOMPARE(edit.textCursor().position(), 0);
}

void tst_SavedText::surrogatePairIsOneObject()
{
    const QString rare = QString::fromUcs4(U"\U00020000");
    const QString smile = QString::fromUcs4(U"\U0001F600");
    TextEdit edit;
    show(edit);
    QTest::keyClick(&edit, Qt::Key_A);
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, rare, Qt::NoModifier);
    QInputMethodEvent commit;
    commit.setCommitString(smile);
    QApplication::sendEvent(&edit, &commit);
    QGuiApplication::clipboard()->setText(rare + QStringLiteral("b"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.document()->characterCount(), 6); // five objects and the block end
    QCOMPARE(texts(edit), QStringLiteral("a") + rare + smile + rare + QStringLiteral("b"));
    const QString code = QStringLiteral("<doc>a") + rare + smile + rare + QStringLiteral("b</doc>");
    QCOMPARE(savedAndReadBack(edit), code);
    TextEdit second;
    second.setCodeText(code);
    QCOMPARE(second.document()->characterCount(), 6);

    // one Backspace takes the whole character
    edit.moveCursor(QTextCursor::End);
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(savedAndReadBack(edit),
        QStringLiteral("<doc>a") + rare + smile + QStringLiteral("b</doc>"));
}

void tst_SavedText::pastedLinesBecomeParagraphs_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("line feeds") << "first\nsecond\n\nfourth";
    QTest::newRow("Windows line ends") << "first\r\nsecond\r\n\r\nfourth";
    QTest::newRow("old Mac line ends") << "first\rsecond\r\rfourth";
    QTest::newRow("Unicode separators") << QStringLiteral("first") + QChar(QChar::LineSeparator)
            + QStringLiteral("second") + QChar(QChar::ParagraphSeparator)
            + QChar(QChar::ParagraphSeparator) + QStringLiteral("fourth");
}

void tst_SavedText::pastedLinesBecomeParagraphs()
{
    QFETCH(QString, text);
    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral(">"));
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral(">first|second||fourth"));
    QCOMPARE(edit.document()->blockCount(), 4);
    for (QTextBlock b = edit.document()->begin().next(); b.isValid(); b = b.next())
        QCOMPARE(b.blockFormat().topMargin(), 8.0);
    QCOMPARE(
        savedAndReadBack(edit), QStringLiteral("<doc>&gt;first<n/>second<n/><n/>fourth</doc>"));
    // undone as one paste
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral(">"));
}

void tst_SavedText::dropInsertsWhatPasteInserts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("saved");
    QTest::newRow("plain text") << "text"
                                << "<doc>qhelloz</doc>";
    QTest::newRow("lines") << "lines"
                           << "<doc>qhel<n/>loz</doc>";
    QTest::newRow("HTML") << "html"
                          << "<doc>q<b>he</b>lloz</doc>";
    QTest::newRow("code text of another field") << "code"
                                                << "<doc>q<w>he</w><s1><c>l</c></s1>loz</doc>";
}

void tst_SavedText::dropInsertsWhatPasteInserts()
{
    QFETCH(QString, kind);
    QFETCH(QString, saved);
    const auto data = [&kind] {
        auto mime = new QMimeData;
        if (kind == QLatin1String("text"))
            mime->setText(QStringLiteral("hello"));
        else if (kind == QLatin1String("lines"))
            mime->setText(QStringLiteral("hel\nlo"));
        else if (kind == QLatin1String("html"))
            mime->setHtml(QStringLiteral("<b>he</b>llo"));
        else
            mime->setData(QStringLiteral("MimeTypeDoc"),
                QByteArray("<doc><w>he</w><s1><c>l</c></s1>lo</doc>"));
        return mime;
    };

    TextEdit dropped;
    show(dropped);
    QTest::keyClicks(&dropped, QStringLiteral("qz"));
    QScopedPointer<QMimeData> mime(data());
    drop(dropped, pointOf(dropped, 1), mime.data());
    QCOMPARE(savedAndReadBack(dropped), saved);

    TextEdit pasted;
    show(pasted);
    QTest::keyClicks(&pasted, QStringLiteral("qz"));
    QTest::keyClick(&pasted, Qt::Key_Left);
    QGuiApplication::clipboard()->setMimeData(data());
    QTest::keyClick(&pasted, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(pasted.toCodeText(), dropped.toCodeText());
}

namespace {
// Reaches what the editor hands to a drag of its selection.
class DraggedEdit : public TextEdit
{
public:
    using TextEdit::createMimeDataFromSelection;
};
} // namespace

void tst_SavedText::dragOfASelectionCarriesItsCodeText()
{
    DraggedEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("ab cd"));
    select(edit, 0, 1);
    edit.toggleBold();
    select(edit, 0, 2);

    // what the drag carries is the selection's code text, as on the clipboard
    QScopedPointer<QMimeData> carried(edit.createMimeDataFromSelection());
    QCOMPARE(QString::fromUtf8(carried->data(QStringLiteral("MimeTypeDoc"))),
        QStringLiteral("<doc><b>a</b>b</doc>"));
    QCOMPARE(carried->text(), QStringLiteral("ab"));

    // dropped further on (the base editor then removes the source of a move)
    drop(edit, pointOf(edit, 5), carried.data());
    QCOMPARE(savedAndReadBack(edit), QStringLiteral("<doc><b>a</b>b cd<b>a</b>b</doc>"));
}

void tst_SavedText::pastedPictureIsUploadedInPlace()
{
    ModalDialogAnswerer answerer; // a warning would mean the bank refused the picture
    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Left);
    QGuiApplication::clipboard()->setImage(picture(1000, 500));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    // the teacher keeps typing at the end while the picture travels
    edit.moveCursor(QTextCursor::End);
    QTest::keyClicks(&edit, QStringLiteral("c"));
    QCOMPARE(texts(edit), QStringLiteral("a#bc"));
    QVERIFY(waitForPictures(edit, 1));
    const QString code = savedAndReadBack(edit);
    const QRegularExpression saved(
        QStringLiteral("^<doc>a<v key=\"([^\"]+)\" width=\"850\" height=\"425\"/>bc</doc>$"));
    QVERIFY2(saved.match(code).hasMatch(), qPrintable(code));
    // the stored picture is the pasted one, narrowed
    const QImage shown
        = edit.document()
              ->resource(QTextDocument::ImageResource, QUrl(saved.match(code).captured(1)))
              .value<QImage>();
    QCOMPARE(shown.size(), QSize(850, 425));
    QCOMPARE(shown.pixelColor(400, 200), QColor(30, 120, 200));

    // dropped image data goes the same way
    QScopedPointer<QMimeData> mime(new QMimeData);
    mime->setImageData(picture(40, 30));
    drop(edit, pointOf(edit, 0), mime.data());
    QVERIFY(waitForPictures(edit, 2));
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^<doc><v key=\"[^\"]+\" width=\"40\" height=\"30\"/>a<v "))
                 .match(edit.toCodeText())
                 .hasMatch(),
        qPrintable(edit.toCodeText()));
    QCOMPARE(answerer.count(), 0);
}

void tst_SavedText::picturesOfPastedHtmlAreUploaded()
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture(60, 20).save(&buffer, "PNG");
    elsewhere->respondRaw(QStringLiteral("/pictures/p.png"), png, 200, "image/png");

    ModalDialogAnswerer answerer;
    TextEdit edit;
    show(edit);
    auto mime = new QMimeData;
    mime->setHtml(QStringLiteral("<p>a<img src=\"data:image/png;base64,%1\">b"
                                 "<img src=\"%2/pictures/p.png\" width=\"5\">c</p>")
                      .arg(QString::fromLatin1(png.toBase64()), elsewhere->baseUrl()));
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("a#b#c"));
    QVERIFY(waitForPictures(edit, 2));
    const QString code = savedAndReadBack(edit);
    const QRegularExpression saved(
        QStringLiteral("^<doc>a<v key=\"[^\"]+\" width=\"60\" height=\"20\"/>b"
                       "<v key=\"[^\"]+\" width=\"60\" height=\"20\"/>c</doc>$"));
    QVERIFY2(saved.match(code).hasMatch(), qPrintable(code));
    QCOMPARE(elsewhere->count(QStringLiteral("/pictures/p.png")), 1);
    QCOMPARE(answerer.count(), 0);
}

void tst_SavedText::pictureSavedBeforeItComesBackKeepsKeyAndSize_data()
{
    QTest::addColumn<bool>("fromTheWeb");
    QTest::newRow("image data") << false;
    QTest::newRow("picture of pasted html") << true;
}

// The image server has taken the picture but showing it back is slow: a field saved now
// already writes the stored picture at its size.
void tst_SavedText::pictureSavedBeforeItComesBackKeepsKeyAndSize()
{
    QFETCH(bool, fromTheWeb);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture(60, 20).save(&buffer, "PNG");
    elsewhere->respondRaw(QStringLiteral("/pictures/p.png"), png, 200, "image/png");
    elsewhere->respondEnvelope(QStringLiteral("/api/upload/file"), 0,
        QJsonObject {{QStringLiteral("fileKey"), QStringLiteral("k7")}});
    elsewhere->hang(QStringLiteral("/api/show/image"));
    IMG_SERVER = elsewhere->baseUrl();

    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Left);
    if (fromTheWeb) {
        auto mime = new QMimeData;
        mime->setHtml(QStringLiteral("<img src=\"%1/pictures/p.png\">").arg(elsewhere->baseUrl()));
        QGuiApplication::clipboard()->setMimeData(mime);
    } else {
        QGuiApplication::clipboard()->setImage(picture(60, 20));
    }
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("a#b"));
    QVERIFY(elsewhere->waitForRequests(QStringLiteral("/api/show/image"), 1));
    QCOMPARE(elsewhere->requestsTo(QStringLiteral("/api/show/image")).first().target,
        QByteArray("/api/show/image?fileKey=k7"));
    QCOMPARE(edit.toCodeText(),
        QStringLiteral("<doc>a<v key=\"k7\" width=\"60\" height=\"20\"/>b</doc>"));
}

void tst_SavedText::pictureThatCannotBeUploadedLeavesNoTrace_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("warning");
    QTest::newRow("refused") << ScriptedHttpResponder::envelope(
        1, QJsonValue(), QStringLiteral("上传失败"))
                             << QStringLiteral("上传失败");
    // a proxy's error page: nothing to tell the teacher, but no empty picture either
    QTest::newRow("answer not JSON") << QByteArray("<html>502 Bad Gateway</html>") << QString();
}

void tst_SavedText::pictureThatCannotBeUploadedLeavesNoTrace()
{
    QFETCH(QByteArray, answer);
    QFETCH(QString, warning);
    // an image server that does not take the upload, and a "picture" that is a web page
    elsewhere->respondRaw(QStringLiteral("/api/upload/file"), answer, 200,
        warning.isEmpty() ? "text/html" : "application/json;charset=UTF-8");
    elsewhere->respondRaw(QStringLiteral("/page"), "<html>no picture</html>", 200, "text/html");
    IMG_SERVER = elsewhere->baseUrl();
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));

    TextEdit edit;
    show(edit);
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Left);
    QGuiApplication::clipboard()->setImage(picture(30, 20));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("a#b"));
    if (warning.isEmpty()) {
        QTRY_COMPARE(texts(edit), QStringLiteral("ab"));
        QCOMPARE(answerer.count(), 0);
    } else {
        QVERIFY(answerer.waitForCount(1));
        QCOMPARE(answerer.last().text, warning);
        QCOMPARE(texts(edit), QStringLiteral("ab"));
    }
    QCOMPARE(elsewhere->count(QStringLiteral("/api/upload/file")), 1);
    // the paste and its failure are one step: undo does not bring back an empty picture
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("ab"));

    auto mime = new QMimeData;
    mime->setHtml(QStringLiteral("x<img src=\"%1/page\">y").arg(elsewhere->baseUrl()));
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("ax#yb"));
    QTRY_COMPARE(texts(edit), QStringLiteral("axyb"));
    QCOMPARE(elsewhere->count(QStringLiteral("/api/upload/file")), 1);
    QCOMPARE(savedAndReadBack(edit), QStringLiteral("<doc>axyb</doc>"));
    IMG_SERVER = server.baseUrl();
}

QTEST_MAIN(tst_SavedText)
#include "tst_savedtext.moc"
