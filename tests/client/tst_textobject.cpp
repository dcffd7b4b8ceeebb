#include "app/startup.h"
#include "editor/style.h"
#include "editor/textedit.h"
#include "editor/textobject.h"
#include "editor/textobjectproperty.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QtTest>

Q_DECLARE_METATYPE(QTextCharFormat)

// Sizes and painting of the editor's objects.
class tst_TextObject : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void isTextObjectInterface();
    void intrinsicSizeOfEachKind_data();
    void intrinsicSizeOfEachKind();
    void boxEdgesJoinNeighbours_data();
    void boxEdgesJoinNeighbours();
    void boxEdgesFollowEditsOfAnInstalledDocument();
    void installedDocumentRelaysOutChangedObjects();
    void glyphColourItalicWinsOverBold();
    void decorationLines_data();
    void decorationLines();
    void blankCentresItsText();
    void combinedScriptBands();
    void shownEditorPaintsEachObjectInItsBand();
    void wavePathAlternates();
    void cachedGlyphsDrawLikeText_data();
    void cachedGlyphsDrawLikeText();
    void questionNumberMarkIsItsTwoCharactersAndALine();
    void paintingLeavesThePainterAsItWas_data();
    void paintingLeavesThePainterAsItWas();

private:
    static QTextCharFormat object(const QString &text);
    static QImage paint(QTextDocument *doc, int position, const QTextCharFormat &format,
        const QRectF &rect, TextObject *handler = nullptr);
    static bool darkIn(const QImage &image, const QRect &area);
    static QFont kai(bool bold, bool italic, int pointSize);
};

void tst_TextObject::initTestCase()
{
    Startup::installFontSubstitutions();
}

QTextCharFormat tst_TextObject::object(const QString &text)
{
    QTextCharFormat f;
    f.setObjectType(TextObjectType);
    f.setProperty(TextProperty, text);
    return f;
}

QImage tst_TextObject::paint(QTextDocument *doc, int position, const QTextCharFormat &format,
    const QRectF &rect, TextObject *handler)
{
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    TextObject fresh;
    (handler ? handler : &fresh)->drawObject(&painter, rect, doc, position, format);
    return image;
}

// The editor's font as a teacher sees it: 楷体, 13 points (6 for scripts).
QFont tst_TextObject::kai(bool bold, bool italic, int pointSize)
{
    QFont font(QStringLiteral("楷体"));
    font.setPointSize(pointSize);
    font.setWeight(bold ? 75 : 50);
    font.setItalic(italic);
    return font;
}

bool tst_TextObject::darkIn(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

void tst_TextObject::isTextObjectInterface()
{
    TextObject object;
    QVERIFY(qobject_cast<QTextObjectInterface *>(&object));
    QVERIFY(object.qt_metacast("org.qt-project.Qt.QTextObjectInterface"));
    TextEdit edit;
    QVERIFY(dynamic_cast<TextObject *>(
        edit.document()->documentLayout()->handlerForObject(TextObjectType)));
}

void tst_TextObject::intrinsicSizeOfEachKind_data()
{
    QTest::addColumn<QTextCharFormat>("format");
    QTest::addColumn<qreal>("width");
    const QFontMetricsF plain(kai(false, false, 13));
    const QFontMetricsF boldItalic(kai(true, true, 13));
    const qreal space = plain.horizontalAdvance(QLatin1Char(' '));

    QTest::newRow("character") << object(QStringLiteral("W")) << plain.horizontalAdvance('W');
    QTextCharFormat f = object(QStringLiteral("W"));
    f.setProperty(BoldProperty, true);
    f.setProperty(ItalicProperty, true);
    QTest::newRow("bold italic 1.2x") << f << 1.2 * boldItalic.horizontalAdvance('W');
    f = object(QStringLiteral("甲"));
    f.setProperty(SpaceLengthProperty, 4);
    QTest::newRow("blank of 4") << f << 4 * space;
    f = object(QString());
    f.setProperty(IndentProperty, true);
    QTest::newRow("indent") << f << 4 * space;
    f = object(QString());
    f.setProperty(QuestionNumProperty, true);
    QTest::newRow("question number") << f << 4 * space;
    f = object(QStringLiteral("x"));
    f.setProperty(ScriptProperty, int(Subscript));
    QTest::newRow("subscript") << f << 0.5 * plain.horizontalAdvance('x');
    f.setProperty(ScriptProperty, int(Superscript));
    QTest::newRow("superscript") << f << 0.5 * plain.horizontalAdvance('x');
    f = object(QStringLiteral("2 mn"));
    f.setProperty(ScriptProperty, int(SuperSubscript));
    QTest::newRow("combined: wider lower part")
        << f << 0.5 * plain.horizontalAdvance(QStringLiteral("mn"));
    f = object(QStringLiteral("WW i"));
    f.setProperty(ScriptProperty, int(SuperSubscript));
    QTest::newRow("combined: wider upper part")
        << f << 0.5 * plain.horizontalAdvance(QStringLiteral("WW"));
}

void tst_TextObject::intrinsicSizeOfEachKind()
{
    QFETCH(QTextCharFormat, format);
    QFETCH(qreal, width);
    const qreal height = QFontMetricsF(kai(format.boolProperty(BoldProperty),
                                           format.boolProperty(ItalicProperty), 13))
                             .height()
        * 1.2;
    TextObject object;
    const QSizeF size = object.intrinsicSize(nullptr, 0, format);
    QVERIFY(width > 0);
    QCOMPARE(size.width(), width);
    QCOMPARE(size.height(), height);
}

void tst_TextObject::boxEdgesJoinNeighbours_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::newRow("first of three") << 0 << true << false;
    QTest::newRow("middle of three") << 1 << false << false;
    QTest::newRow("last of three") << 2 << false << true;
    QTest::newRow("before an unboxed one") << 4 << true << true;
    QTest::newRow("alone in its block") << 7 << true << true;
}

void tst_TextObject::boxEdgesJoinNeighbours()
{
    QFETCH(int, position);
    QFETCH(bool, left);
    QFETCH(bool, right);
    // three boxed; one boxed before a plain one; one boxed alone
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<doc><o>___</o><n/><o>_</o>_<n/><o>_</o></doc>"));
    QCOMPARE(edit.toCodeText(), QStringLiteral("<doc><o>   </o><n/><o> </o> <n/><o> </o></doc>"));
    QTextCursor cursor(edit.document());
    cursor.setPosition(position + 1);
    const QTextCharFormat format = cursor.charFormat();
    QCOMPARE(format.intProperty(UnderlineProperty), int(Rectangle));

    // h = 24: D = 2, top edge at y + 1, bottom edge at y + 23; in the box's own colour
    Style &style = Style::instance();
    const Style saved = style;
    style.singleUnderlineColor = Qt::blue;
    const QImage image = paint(edit.document(), position, format, QRectF(20, 10, 20, 24));
    style = saved;
    QCOMPARE(image.pixel(30, 11), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(30, 33), qRgb(0, 0, 255));
    QVERIFY(darkIn(image, QRect(25, 10, 10, 2))); // top
    QVERIFY(darkIn(image, QRect(25, 32, 10, 2))); // bottom
    QCOMPARE(darkIn(image, QRect(19, 16, 2, 12)), left);
    QCOMPARE(darkIn(image, QRect(39, 16, 2, 12)), right);
    QVERIFY(!darkIn(image, QRect(24, 14, 12, 16))); // a space has no glyph
}

void tst_TextObject::boxEdgesFollowEditsOfAnInstalledDocument()
{
    TextEdit edit;
    TextObject handler;
    handler.install(edit.document());
    edit.setCodeText(QStringLiteral("<doc><o>___</o></doc>"));
    const auto formatAt = [&edit](int position) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(position + 1);
        return cursor.charFormat();
    };
    const QRect left(19, 16, 2, 12), right(39, 16, 2, 12);
    const QRectF rect(20, 10, 20, 24);
    QImage image = paint(edit.document(), 1, formatAt(1), rect, &handler);
    QVERIFY(!darkIn(image, left));
    QVERIFY(!darkIn(image, right));

    // the first loses its box: the middle one now starts a box
    QTextCursor cursor(edit.document());
    cursor.setPosition(0);
    cursor.setPosition(1, QTextCursor::KeepAnchor);
    QTextCharFormat unboxed;
    unboxed.setProperty(UnderlineProperty, 0);
    cursor.mergeCharFormat(unboxed);
    image = paint(edit.document(), 1, formatAt(1), rect, &handler);
    QVERIFY(darkIn(image, left));
    QVERIFY(!darkIn(image, right));

    // a boxed one typed after the last joins it
    cursor.setPosition(3);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), formatAt(2));
    image = paint(edit.document(), 2, formatAt(2), rect, &handler);
    QVERIFY(!darkIn(image, right));
    image = paint(edit.document(), 3, formatAt(3), rect, &handler);
    QVERIFY(darkIn(image, right));
    QVERIFY(!darkIn(image, left));
}

void tst_TextObject::installedDocumentRelaysOutChangedObjects()
{
    // the kept shapes of a line must not outlive a change of its objects
    QTextDocument doc;
    TextObject handler;
    handler.install(&doc);
    QTextCursor cursor(&doc);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), object(QStringLiteral("W")));
    cursor.insertBlock();
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), object(QStringLiteral("W")));
    const auto lineWidth = [&doc](int blockNumber) {
        const QTextBlock block = doc.findBlockByNumber(blockNumber);
        doc.documentLayout()->blockBoundingRect(doc.lastBlock());
        return block.layout()->lineAt(0).naturalTextWidth();
    };
    const qreal plain = lineWidth(1);

    QImage image(200, 100, QImage::Format_RGB32);
    QPainter painter(&image);
    doc.drawContents(&painter);
    cursor.setPosition(doc.findBlockByNumber(1).position());
    cursor.setPosition(cursor.position() + 1, QTextCursor::KeepAnchor);
    QTextCharFormat italic;
    italic.setProperty(ItalicProperty, true);
    cursor.mergeCharFormat(italic);
    cursor.setPosition(cursor.position());
    const qreal italicWidth
        = handler.intrinsicSize(&doc, cursor.position() - 1, cursor.charFormat()).width();
    QVERIFY(qAbs(italicWidth - plain) > 1);
    QVERIFY(qAbs(lineWidth(1) - italicWidth) < 0.05); // the layout rounds to 1/64
    QCOMPARE(lineWidth(0), plain);
}

void tst_TextObject::glyphColourItalicWinsOverBold()
{
    Style &style = Style::instance();
    const Style saved = style;
    style.boldColor = Qt::blue;
    style.italicColor = Qt::red;
    QTextCharFormat f = object(QStringLiteral("W"));
    f.setProperty(BoldProperty, true);
    const QImage bold = paint(nullptr, 0, f, QRectF(10, 10, 30, 30));
    f.setProperty(ItalicProperty, true);
    const QImage boldItalic = paint(nullptr, 0, f, QRectF(10, 10, 30, 30));
    style = saved;
    const auto has = [](const QImage &image, QRgb colour) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) == colour)
                    return true;
        return false;
    };
    QVERIFY(has(bold, qRgb(0, 0, 255)));
    QVERIFY(!has(bold, qRgb(255, 0, 0)));
    QVERIFY(has(boldItalic, qRgb(255, 0, 0)));
    QVERIFY(!has(boldItalic, qRgb(0, 0, 255)));
}

void tst_TextObject::decorationLines_data()
{
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QRect>("inked"); // where the decoration shows
    QTest::addColumn<QRect>("notInked"); // where it would be if drawn wrongly
    QTest::addColumn<QColor>("colour"); // of its own in the style below
    // object (20, 10, 20, 24): yU = 33, middle 22
    QTest::newRow("underline") << int(UnderlineProperty) << QVariant(1) << QRect(21, 33, 18, 1)
                               << QRect(21, 20, 18, 5) << QColor(Qt::blue);
    QTest::newRow("wave") << int(UnderlineProperty) << QVariant(2) << QRect(20, 31, 20, 5)
                          << QRect(21, 20, 18, 5) << QColor(0, 128, 0);
    QTest::newRow("dot") << int(UnderlineProperty) << QVariant(3) << QRect(29, 32, 3, 3)
                         << QRect(20, 32, 5, 3) << QColor(Qt::magenta);
    QTest::newRow("strike-out") << int(StrikeOutProperty) << QVariant(true) << QRect(21, 21, 18, 3)
                                << QRect(21, 30, 18, 5) << QColor(Qt::red);
}

void tst_TextObject::decorationLines()
{
    QFETCH(int, property);
    QFETCH(QVariant, value);
    QFETCH(QRect, inked);
    QFETCH(QRect, notInked);
    QFETCH(QColor, colour);
    Style &style = Style::instance();
    const Style saved = style;
    style.singleUnderlineColor = Qt::blue;
    style.waveUnderlineColor = QColor(0, 128, 0);
    style.underPointColor = Qt::magenta;
    style.strikeOutColor = Qt::red;
    QTextCharFormat f = object(QStringLiteral(" "));
    f.setProperty(property, value);
    const QImage image = paint(nullptr, 0, f, QRectF(20, 10, 20, 24));
    style = saved;
    QVERIFY(darkIn(image, inked));
    QVERIFY(!darkIn(image, notInked));
    bool ownColour = false;
    for (int y = inked.top(); y <= inked.bottom(); ++y)
        for (int x = inked.left(); x <= inked.right(); ++x)
            ownColour = ownColour || image.pixel(x, y) == colour.rgb();
    QVERIFY(ownColour);
}

void tst_TextObject::blankCentresItsText()
{
    const QFontMetricsF fm(kai(false, false, 13));
    const qreal space = fm.horizontalAdvance(QLatin1Char(' '));
    QTextCharFormat f = object(QStringLiteral("甲"));
    f.setProperty(SpaceLengthProperty, 4);
    const qreal w = 4 * space, h = fm.height() * 1.2;
    const QImage image = paint(nullptr, 0, f, QRectF(0, 0, w, h));
    // the character drawn into the middle of the blank, as wide as itself
    const qreal tw = fm.horizontalAdvance(QStringLiteral("甲"));
    QVERIFY(tw < w);
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    painter.setFont(kai(false, false, 13));
    painter.drawText(
        QRectF((w - tw) / 2, h / 12, tw, h / 1.2), QStringLiteral("甲"), QTextOption());
    painter.end();
    QCOMPARE(image, expected);

    // wider text than the blank starts at the blank's left edge
    f = object(QStringLiteral("甲乙丙丁戊"));
    f.setProperty(SpaceLengthProperty, 2);
    const QImage wide = paint(nullptr, 0, f, QRectF(10, 0, 2 * space, h));
    QVERIFY(darkIn(wide, QRect(10, 0, 6, int(h)))); // the glyph's own bearing
    QVERIFY(!darkIn(wide, QRect(0, 0, 9, int(h))));
}

void tst_TextObject::combinedScriptBands()
{
    const qreal h = QFontMetricsF(kai(false, false, 13)).height() * 1.2;
    QTextCharFormat f = object(QStringLiteral("8 "));
    f.setProperty(ScriptProperty, int(SuperSubscript));
    const QImage upper = paint(nullptr, 0, f, QRectF(0, 0, 20, h));
    f.setProperty(TextProperty, QStringLiteral(" 8"));
    const QImage lower = paint(nullptr, 0, f, QRectF(0, 0, 20, h));
    const int middle = int(h / 2);
    QVERIFY(darkIn(upper, QRect(0, 0, 20, middle)));
    QVERIFY(!darkIn(upper, QRect(0, middle + 1, 20, int(h) - middle - 1)));
    QVERIFY(darkIn(lower, QRect(0, middle, 20, int(h) - middle)));
    QVERIFY(!darkIn(lower, QRect(0, 0, 20, middle - 1)));
    // both parts at once
    f.setProperty(TextProperty, QStringLiteral("8 8"));
    const QImage both = paint(nullptr, 0, f, QRectF(0, 0, 20, h));
    QVERIFY(darkIn(both, QRect(0, 0, 20, middle)));
    QVERIFY(darkIn(both, QRect(0, middle, 20, int(h) - middle)));
}

// A boxed space, a character, a subscript, a superscript and a question number typed into one
// line of a shown editor. The box marks the object's frame: its top edge at y + D/2 and its
// bottom at yU = y + h - D/2, so the middle of the object lies halfway between them. The lower
// script band starts exactly at that middle, the upper one ends there.
void tst_TextObject::shownEditorPaintsEachObjectInItsBand()
{
    TextEdit edit;
    edit.setFocusPolicy(Qt::NoFocus); // no caret in the picture
    edit.resize(400, 120);
    edit.setCodeText(QStringLiteral("<doc><o>_</o>_8_<f>8</f>_<h>8</h>_<a/></doc>"));
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    const QImage shot = edit.viewport()->grab().toImage();
    const QString saved = qEnvironmentVariable("QUENMO_SCREENSHOT_DIR");
    if (!saved.isEmpty())
        shot.save(saved + QStringLiteral("/editor-objects.png"));
    const auto left = [&edit](int position) {
        QTextCursor cursor(edit.document());
        cursor.setPosition(position);
        return edit.cursorRect(cursor).left();
    };
    const auto dark = [&shot](int x, int y) { return qGray(shot.pixel(x, y)) < 128; };
    // the rows holding ink between two object edges
    const auto inkRows = [&](int position) {
        QList<int> rows;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = left(position) + 1; x < left(position + 1) - 1; ++x)
                if (dark(x, y)) {
                    rows << y;
                    break;
                }
        return rows;
    };
    const QList<int> box = inkRows(0);
    QVERIFY(box.size() >= 2);
    const int top = box.first(), bottom = box.last();
    QVERIFY2(bottom - top > 15, qPrintable(QStringLiteral("%1..%2").arg(top).arg(bottom)));
    const qreal middle = (top + bottom) / 2.0;

    const QList<int> plain = inkRows(2);
    QVERIFY(!plain.isEmpty());
    QVERIFY(plain.first() < middle && plain.last() > middle);
    const QList<int> subscript = inkRows(4);
    QVERIFY(!subscript.isEmpty());
    QVERIFY2(subscript.first() >= middle - 0.5 && subscript.last() < bottom,
        qPrintable(QStringLiteral("%1..%2, middle %3")
                       .arg(subscript.first())
                       .arg(subscript.last())
                       .arg(middle)));
    const QList<int> superscript = inkRows(6);
    QVERIFY(!superscript.isEmpty());
    QVERIFY2(superscript.first() > top && superscript.last() <= middle + 0.5,
        qPrintable(QStringLiteral("%1..%2, middle %3")
                       .arg(superscript.first())
                       .arg(superscript.last())
                       .arg(middle)));

    // the question number: "题号" in the object and a line under it at yU, across its width
    const QList<int> number = inkRows(8);
    QVERIFY(!number.isEmpty());
    QVERIFY(number.first() < middle);
    QCOMPARE(number.last(), bottom);
    int underlined = 0;
    for (int x = left(8); x < left(9); ++x)
        underlined += dark(x, bottom) ? 1 : 0;
    QVERIFY(underlined >= left(9) - left(8) - 1);
    // two full-width characters fill the mark's four spaces: "号" shows in its right half
    bool secondCharacter = false;
    for (int y = top; y < bottom - 1; ++y)
        for (int x = (left(8) + left(9)) / 2 + 2; x < left(9) - 1; ++x)
            secondCharacter = secondCharacter || dark(x, y);
    QVERIFY(secondCharacter);
    // and nothing beyond the mark
    for (int y = top; y < bottom; ++y)
        for (int x = left(9) + 1; x < left(9) + 12; ++x)
            QVERIFY(!dark(x, y));
    // a plain character has no line under it
    for (int x = left(2) + 1; x < left(3) - 1; ++x)
        QVERIFY(!dark(x, bottom));
}

void tst_TextObject::wavePathAlternates()
{
    const qreal step = 3.23606798;
    QCOMPARE(TextObject::wavePath(0).elementCount(), 1);
    for (qreal w : {1.0, step, 10.0, 100.0}) {
        const QPainterPath path = TextObject::wavePath(w);
        QCOMPARE(QPointF(path.elementAt(0)), QPointF(0, 0)); // on the underline's left end
        const int segments = (path.elementCount() - 1) / 3; // quadratic as cubic: 3 elements
        QCOMPARE(segments, int(std::ceil(w / step - 1e-9)));
        const QPointF end = path.currentPosition();
        QVERIFY(end.x() >= w - 1e-9);
        QVERIFY(end.x() - step < w);
        QCOMPARE(end.y(), 0.0);
    }
    // first segment bulges upwards, the second downwards
    const QPainterPath path = TextObject::wavePath(2 * step);
    QVERIFY(path.pointAtPercent(0.25).y() < -0.5);
    QVERIFY(path.pointAtPercent(0.75).y() > 0.5);
}

void tst_TextObject::cachedGlyphsDrawLikeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::newRow("latin") << "g" << false << false;
    QTest::newRow("chinese") << QStringLiteral("题") << false << false;
    QTest::newRow("bold") << QStringLiteral("甲") << true << false;
    QTest::newRow("italic") << "W" << false << true;
    QTest::newRow("symbol") << QStringLiteral("∑") << false << false;
}

// the cached glyphs give the same pixels as drawing the text into the glyph rectangle
void tst_TextObject::cachedGlyphsDrawLikeText()
{
    QFETCH(QString, text);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QTextCharFormat f = object(text);
    f.setProperty(BoldProperty, bold);
    f.setProperty(ItalicProperty, italic);
    const qreal h = QFontMetricsF(kai(bold, italic, 13)).height() * 1.2;
    const QRectF rect(10.25, 5.5, 30, h);
    const QImage drawn = paint(nullptr, 0, f, rect);
    QImage expected(drawn.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    QPainter painter(&expected);
    painter.setFont(kai(bold, italic, 13));
    const qreal d = (h - h / 1.2) / 2;
    painter.drawText(QRectF(rect.x(), rect.y() + d, rect.width(), h - 2 * d), text, QTextOption());
    painter.end();
    QCOMPARE(drawn, expected);
}

// "题号" on one line from the mark's left edge, the line under the mark: nothing else, whatever
// styles the mark carries
void tst_TextObject::questionNumberMarkIsItsTwoCharactersAndALine()
{
    const QFontMetricsF fm(kai(false, false, 13));
    const qreal w = 4 * fm.horizontalAdvance(QLatin1Char(' ')), h = fm.height() * 1.2;
    const QRectF rect(10, 10, w, h);
    QTextCharFormat f = object(QString());
    f.setProperty(QuestionNumProperty, true);
    f.setProperty(BoldProperty, true);
    f.setProperty(UnderlineProperty, int(Rectangle));
    f.setProperty(StrikeOutProperty, true);
    QImage drawn(120, 60, QImage::Format_RGB32);
    drawn.fill(Qt::white);
    QPainter painter(&drawn);
    TextObject().drawObject(&painter, rect, nullptr, 0, f);
    painter.end();

    QImage expected(drawn.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    painter.begin(&expected);
    painter.setFont(kai(false, false, 13));
    QTextOption oneLine;
    oneLine.setWrapMode(QTextOption::NoWrap);
    painter.drawText(QRectF(10, 10 + h / 12, w, h / 1.2), QStringLiteral("题号"), oneLine);
    painter.drawLine(QPointF(10, 10 + h - h / 24), QPointF(10 + w, 10 + h - h / 24));
    painter.end();
    QCOMPARE(drawn, expected);
}

void tst_TextObject::paintingLeavesThePainterAsItWas_data()
{
    QTest::addColumn<QTextCharFormat>("format");
    QTextCharFormat f = object(QStringLiteral("W"));
    QTest::newRow("character") << f;
    f.setProperty(ItalicProperty, true);
    QTest::newRow("italic") << f;
    f = object(QStringLiteral("WW"));
    QTest::newRow("two characters") << f;
    for (int kind = SingleUnderline; kind <= Rectangle; ++kind) {
        f = object(QStringLiteral("W"));
        f.setProperty(UnderlineProperty, kind);
        QTest::newRow(qPrintable(QStringLiteral("underline kind %1").arg(kind))) << f;
    }
    f = object(QStringLiteral("W"));
    f.setProperty(StrikeOutProperty, true);
    QTest::newRow("strike-out") << f;
    f.setProperty(ScriptProperty, int(Subscript));
    QTest::newRow("subscript") << f;
    f = object(QStringLiteral("2 n"));
    f.setProperty(ScriptProperty, int(SuperSubscript));
    QTest::newRow("combined") << f;
    f = object(QStringLiteral("甲"));
    f.setProperty(SpaceLengthProperty, 4);
    QTest::newRow("blank") << f;
    f = object(QString());
    f.setProperty(QuestionNumProperty, true);
    QTest::newRow("question number") << f;
}

// the layout paints the next objects, the caret and the selection with the same painter
void tst_TextObject::paintingLeavesThePainterAsItWas()
{
    QFETCH(QTextCharFormat, format);
    QTextDocument doc;
    QTextCursor cursor(&doc);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
    QImage image(80, 60, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const QPen pen(QColor(10, 20, 30), 3, Qt::DashLine);
    painter.setPen(pen);
    painter.setFont(QFont(QStringLiteral("Sans"), 21));
    painter.setBrush(Qt::green);
    const QFont font = painter.font();
    TextObject().drawObject(&painter, QRectF(20, 10, 20, 24), &doc, 0, format);
    QCOMPARE(painter.pen(), pen);
    QCOMPARE(painter.font(), font);
    QCOMPARE(painter.brush(), QBrush(Qt::green));
    QCOMPARE(painter.transform(), QTransform());
}

QTEST_MAIN(tst_TextObject)
#include "tst_textobject.moc"
