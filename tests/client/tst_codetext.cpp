#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

#include <QClipboard>
#include <QMimeData>
#include <QTextBlock>
#include <QTextTable>
#include <QtTest>

// Code text written from and read into editor documents, and pasted HTML.
class tst_CodeText : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void readerNormalisesToWriterForm_data();
    void readerNormalisesToWriterForm();
    void isCodeText_data();
    void isCodeText();
    void malformedCodeTextInsertsNothing();
    void htmlImport_data();
    void htmlImport();
    void onlyWebPicturesAreFetched_data();
    void onlyWebPicturesAreFetched();
    void hostileInputIsBounded();
};

void tst_CodeText::roundTrip_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("two paragraphs") << "<doc>ab<n/>c</doc>";
    QTest::newRow("space before a tag") << "<doc>a <b>b</b></doc>";
    QTest::newRow("bold italic then italic") << "<doc><b><i>xy</i></b><i>z</i></doc>";
    QTest::newRow("blank with text") << QStringLiteral("<doc>x<s2><c>甲</c></s2></doc>");
    QTest::newRow("combined script") << "<doc><g><h>2</h><f>1</f></g></doc>";
    QTest::newRow("centred and right") << "<doc><c><b>A</b></c><n/><r>z</r></doc>";
    QTest::newRow("marks") << "<doc><indent/>a<a/></doc>";
    QTest::newRow("table") << "<doc>a<t><tr><td>1</td><td>2</td></tr><tr><td>3</td><td>4<n/>5</td>"
                              "</tr></t>b</doc>";
    QTest::newRow("every style")
        << "<doc><b>b</b><i>i</i><d>d</d><u>u</u><w>w</w><p>p</p><o>o</o><f>f</f><h>h</h></doc>";
    QTest::newRow("escaping") << "<doc>&lt;&amp;&gt;</doc>";
    QTest::newRow("blanks of every length")
        << QStringLiteral("<doc><s1><c>a</c></s1><s2><c>乙</c></s2><s3><c>b</c></s3>"
                          "<s4><c>c</c></s4></doc>");
    QTest::newRow("picture and formula between text")
        << "<doc>a<v key=\"k7\" width=\"20\" height=\"10\"/><tex>x^2</tex>b</doc>";
    QTest::newRow("marks, blank and scripts in a cell")
        << "<doc>a<t><tr><td>1</td><td><indent/><g><h>2</h><f>n</f></g><s1><c>x</c></s1><a/>"
           "<tex>y</tex></td></tr></t>b</doc>";
    QTest::newRow("combined script opening a cell")
        << "<doc><t><tr><td><a/></td><td><g><h>2</h><f>n</f></g></td></tr></t></doc>";
    // the mark leaves the edit's cursor in its cell; what follows belongs elsewhere
    QTest::newRow("objects in the cell after a marked cell")
        << "<doc><t><tr><td>1</td><td>2</td></tr><tr><td><a/></td><td><g><h>2</h><f>n</f></g>"
           "<tex>z</tex><s2><c>x</c></s2></td></tr></t></doc>";
    QTest::newRow("formula in the cell after a marked cell")
        << "<doc><t><tr><td>1</td><td>2</td></tr><tr><td><a/></td><td><tex>z</tex></td></tr></t>"
           "</doc>";
    QTest::newRow("combined script after a table ending in a mark")
        << "<doc><t><tr><td>1</td><td><a/></td></tr></t><g><h>a</h><f>b</f></g><a/></doc>";
    QTest::newRow("tab kept") << "<doc>a\tb</doc>";
    QTest::newRow("line feed of a stored text kept") << "<doc>a\nb</doc>";
}

void tst_CodeText::roundTrip()
{
    QFETCH(QString, code);
    TextEdit edit;
    edit.setCodeText(code);
    QCOMPARE(edit.toCodeText(), code);
}

void tst_CodeText::readerNormalisesToWriterForm_data()
{
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("written");
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("empty doc") << "<doc/>"
                               << "";
    QTest::newRow("underscore is a space") << "<doc>a_b</doc>"
                                           << "<doc>a b</doc>";
    QTest::newRow("nested alike") << "<doc><b>a<b>b</b></b></doc>"
                                  << "<doc><b>ab</b></doc>";
    QTest::newRow("paragraph element") << "<doc>a<paragraph>b</paragraph>c</doc>"
                                       << "<doc>a<n/>b<n/>c</doc>";
    QTest::newRow("unknown element is transparent") << "<doc><x><b>a</b></x></doc>"
                                                    << "<doc><b>a</b></doc>";
    QTest::newRow("styles around a blank") << "<doc><b><s1><c>x</c></s1></b></doc>"
                                           << "<doc><b><s1><c>x</c></s1></b></doc>";
    QTest::newRow("combined ignores styles around") << "<doc><b><g><h>a</h><f>b</f></g></b></doc>"
                                                    << "<doc><g><h>a</h><f>b</f></g></doc>";
    QTest::newRow("cells without a row") << "<doc><t><td>a</td><td>b</td></t></doc>"
                                         << "<doc><t><tr><td>a</td><td>b</td></tr></t></doc>";
    QTest::newRow("stored with a bare >") << "<doc>a > b<b>></b></doc>"
                                          << "<doc>a &gt; b<b>&gt;</b></doc>";
    QTest::newRow("full-width and beyond the BMP") << QStringLiteral("<doc>，｛｝\U0001D400</doc>")
                                                   << QStringLiteral("<doc>，｛｝\U0001D400</doc>");
}

void tst_CodeText::readerNormalisesToWriterForm()
{
    QFETCH(QString, read);
    QFETCH(QString, written);
    TextEdit edit;
    edit.setCodeText(read);
    QCOMPARE(edit.toCodeText(), written);
}

void tst_CodeText::isCodeText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("result");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("plain") << "x^2 and more" << false;
    QTest::newRow("html") << "<p>a</p>" << false;
    QTest::newRow("other root") << "<root>a</root>" << false;
    QTest::newRow("code text") << "<doc>a</doc>" << true;
    QTest::newRow("empty doc") << "<doc/>" << true;
}

void tst_CodeText::isCodeText()
{
    QFETCH(QString, text);
    QFETCH(bool, result);
    TextEdit edit;
    QCOMPARE(edit.isCodeText(text), result);
}

void tst_CodeText::malformedCodeTextInsertsNothing()
{
    TextEdit edit;
    edit.insertCodeText(QStringLiteral("<doc><b>a</doc>"));
    QCOMPARE(edit.document()->characterCount(), 1);
}

void tst_CodeText::htmlImport_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("code");
    QTest::newRow("styles") << "<b>a</b><em>b</em><s>c</s><sub>d</sub><sup>e</sup><u>f</u>"
                            << "<doc><b>a</b><i>b</i><d>c</d><f>d</f><h>e</h><u>f</u></doc>";
    QTest::newRow("underscores are underlined spaces") << "a____b"
                                                       << "<doc>a<u>    </u>b</doc>";
    QTest::newRow("centred paragraph, space after colon") << "<p style=\"text-align: center\">x</p>"
                                                          << "<doc><c>x</c></doc>";
    QTest::newRow("hidden span") << "a<span style=\"display:none\">b</span>c"
                                 << "<doc>ac</doc>";
    QTest::newRow("span styles") << "<span style=\"font-weight:bold;vertical-align:super\">a</span>"
                                    "<span style=\"font-emphasize: dot\">b</span>"
                                 << "<doc><b><h>a</h></b><p>b</p></doc>";
    QTest::newRow("wave u") << "<u style=\"text-underline:wave\">w</u>"
                            << "<doc><w>w</w></doc>";
    QTest::newRow("paragraphs and br") << "<p>a</p><p style=\"text-indent:2em\">b<br>c</p>"
                                       << "<doc>a<n/><indent/>b<n/>c</doc>";
    QTest::newRow("script and style skipped") << "<script>x</script><style>p{}</style>y"
                                              << "<doc>y</doc>";
    QTest::newRow("table") << "<table><tr><td>1</td><th>2</th></tr></table>"
                           << "<doc><t><tr><td>1</td><td>2</td></tr></t></doc>";
    QTest::newRow("no-break space") << "a&nbsp;b"
                                    << "<doc>a b</doc>";
    QTest::newRow("span subscript, underline")
        << "<span style=\"vertical-align: sub\">a</span>"
           "<span style=\"text-decoration:underline\">b</span>"
        << "<doc><f>a</f><u>b</u></doc>";
    QTest::newRow("stored picture and formula")
        << "<img src=\"http://127.0.0.1:9/api/show/image?fileKey=k7\" width=\"20\" height=\"10\">"
           "<img src=\"http://127.0.0.1:9/api/generate/formula?formulaStr=x%5E2\">"
        << "<doc><v key=\"k7\" width=\"20\" height=\"10\"/><tex>x^2</tex></doc>";
    QTest::newRow("space only between inline words")
        << "<div><p><b>a</b> <i>b</i></p> <p>c</p></div>"
        << "<doc><b>a</b> <i>b</i><n/>c</doc>";
    QTest::newRow("strong and b are bold, i and em italic")
        << "<strong>a</strong><b>b</b>c<i>d</i><em>e</em>"
        << "<doc><b>ab</b>c<i>de</i></doc>";
    QTest::newRow("line feeds in text are spaces") << "<p>one\ntwo\nthree</p>"
                                                   << "<doc>one two three</doc>";
    QTest::newRow("span superscript alone, subscript without a space")
        << "<span style=\"vertical-align: super\">a</span>"
           "<span style=\"vertical-align:sub\">b</span>c"
        << "<doc><h>a</h><f>b</f>c</doc>";
    QTest::newRow("right paragraph") << "<p style=\"text-align:right\">r</p><p>l</p>"
                                     << "<doc><r>r</r><n/>l</doc>";
    QTest::newRow("indent of 0 is no indent") << "<p style=\"text-indent: 0\">a</p>"
                                              << "<doc>a</doc>";
    QTest::newRow("u with another style is plain") << "<u style=\"color:red\">a</u>b"
                                                   << "<doc>ab</doc>";
    QTest::newRow("underline wins over the dot")
        << "<span style=\"text-decoration:underline;font-emphasize:dot\">a</span>"
           "<span style=\"font-emphasize:below dot\">b</span>"
        << "<doc><u>a</u><p>b</p></doc>";
    QTest::newRow("underscore keeps the styles around it") << "<b>x_</b>"
                                                           << "<doc><b>x<u> </u></b></doc>";
    QTest::newRow("line break at a block start adds none") << "<br>a<br><br>b"
                                                           << "<doc>a<n/>b</doc>";
    QTest::newRow("formula with a trailing quote")
        << "x<img src=\"http://127.0.0.1:9/api/generate/formula?formulaStr=a%2Bb%22\">"
        << "<doc>x<tex>a+b</tex></doc>";
    QTest::newRow("stored picture in a cell")
        << "<table><tr><td>1</td><td><img src=\"http://127.0.0.1:9/api/show/image?fileKey=k7\" "
           "width=\"20\" height=\"10\"></td></tr></table>"
        << "<doc><t><tr><td>1</td><td><v key=\"k7\" width=\"20\" "
           "height=\"10\"/></td></tr></t></doc>";
    QTest::newRow("picture without a source") << "a<img width=\"3\" height=\"4\">b"
                                              << "<doc>ab</doc>";
    // a long pasted document: paragraphs and cells close themselves and nest nothing
    const int many = TextEdit::maxHtmlNesting + 10;
    QTest::newRow("nested as deep as allowed keeps its shallow text") << QStringLiteral("a")
            + QString(QStringLiteral("<span>")).repeated(TextEdit::maxHtmlNesting)
            + QStringLiteral("x") << "<doc>a</doc>";
    // XML cannot carry it: written, it would make the whole field unreadable
    QTest::newRow("control character is left out") << "a&#1;b"
                                                   << "<doc>ab</doc>";
    QTest::newRow("space closing a paragraph is layout") << "<p><b>a</b> </p><p><i>c</i> </p>"
                                                         << "<doc><b>a</b><n/><i>c</i></doc>";
    QTest::newRow("space opening an inline element is layout") << "<p>x<span> <b>a</b></span></p>"
                                                               << "<doc>x<b>a</b></doc>";
    // a comment is invisible: the word space beside it stays, and it is no word itself
    QTest::newRow("space beside a comment between words")
        << "<b>a</b><!--x--> <i>b</i><u>c</u> <!--y--><s>d</s>"
        << "<doc><b>a</b> <i>b</i><u>c</u> <d>d</d></doc>";
    QTest::newRow("spaces on both sides of a comment are one") << "<b>a</b> <!--x--> <i>b</i>"
                                                               << "<doc><b>a</b> <i>b</i></doc>";
    QTest::newRow("space between a comment and a block is layout")
        << "<p><b>a</b> <!--x--></p><!--y--> <p>c</p>"
        << "<doc><b>a</b><n/>c</doc>";
    // too deep a paste is refused whole, not cut off where the reader stops descending
    QTest::newRow("nested deeper than allowed inserts nothing") << QStringLiteral("a")
            + QString(QStringLiteral("<span>")).repeated(TextEdit::maxHtmlNesting + 1)
            + QStringLiteral("x") << QString();
    QTest::newRow("many paragraphs are not too deep")
        << QString(QStringLiteral("<p>x")).repeated(many)
        << QStringLiteral("<doc>x") + QString(QStringLiteral("<n/>x")).repeated(many - 1)
            + QStringLiteral("</doc>");
}

void tst_CodeText::htmlImport()
{
    QFETCH(QString, html);
    QFETCH(QString, code);
    // pasted from a web page with Ctrl+V
    TextEdit edit;
    edit.resize(480, 200);
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    auto mime = new QMimeData;
    mime->setHtml(html);
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(edit.toCodeText(), code);
    // one paste is one undo step
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(edit.toCodeText(), QString());
}

void tst_CodeText::onlyWebPicturesAreFetched_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("pictures"); // shown at once, while fetched or downloaded
    QTest::newRow("stored picture") << "http://127.0.0.1:9/api/show/image?fileKey=k7" << 1;
    QTest::newRow("picture of a web page") << "http://127.0.0.1:9/pic.png" << 1;
    QTest::newRow("secure web page") << "https://127.0.0.1:9/pic.png" << 1;
    QTest::newRow("relative name") << "pic.png" << 0;
    QTest::newRow("file on another machine") << "ftp://127.0.0.1:9/pic.png" << 0;
}

void tst_CodeText::onlyWebPicturesAreFetched()
{
    QFETCH(QString, source);
    QFETCH(int, pictures);
    TextEdit edit;
    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    edit.setFocus();
    auto mime = new QMimeData;
    mime->setHtml(QStringLiteral("a<img src=\"%1\">b").arg(source));
    QGuiApplication::clipboard()->setMimeData(mime);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    int images = 0;
    QTextCursor cursor(edit.document());
    for (int p = 1; p < edit.document()->characterCount(); ++p) {
        cursor.setPosition(p);
        images += cursor.charFormat().isImageFormat() ? 1 : 0;
    }
    QCOMPARE(images, pictures);
}

void tst_CodeText::hostileInputIsBounded()
{
    // deep nesting is cut at the depth limit instead of exhausting the stack
    TextEdit edit;
    QString html;
    for (int i = 0; i < 5000; ++i)
        html += QStringLiteral("<span>");
    html += QStringLiteral("deep");
    edit.insertHtml(html);
    QCOMPARE(edit.document()->characterCount(), 1);
    edit.insertHtml(QStringLiteral("<b>shallow</b>"));
    QCOMPARE(edit.document()->characterCount(), 8);

    QString code = QStringLiteral("<doc>");
    for (int i = 0; i < 2000; ++i)
        code += QStringLiteral("<b>");
    code += QStringLiteral("x");
    for (int i = 0; i < 2000; ++i)
        code += QStringLiteral("</b>");
    code += QStringLiteral("</doc>");
    TextEdit other;
    other.insertCodeText(code);
    QCOMPARE(other.document()->characterCount(), 1);

    // too large a paste is not converted at all
    TextEdit large;
    large.insertHtml(QString(TextEdit::maxHtmlBytes + 1, QLatin1Char('a')));
    QCOMPARE(large.document()->characterCount(), 1);
}

QTEST_MAIN(tst_CodeText)
#include "tst_codetext.moc"
