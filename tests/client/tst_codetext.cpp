#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

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
}

void tst_CodeText::htmlImport()
{
    QFETCH(QString, html);
    QFETCH(QString, code);
    TextEdit edit;
    edit.insertHtml(html);
    QCOMPARE(edit.toCodeText(), code);
    // one paste is one undo step
    edit.undo();
    QCOMPARE(edit.toCodeText(), QString());
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
