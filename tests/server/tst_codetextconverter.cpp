#include "codetextconverter.h"

#include <QtTest>

#include <string>

namespace {
const std::string bold = "<span style=\"font-weight:bold\">";
const std::string underline = "<span style=\"text-decoration:underline\">";
const std::string wave = "<u style=\"text-underline:wave;text-decoration:underline;"
                         "-webkit-text-decoration-style:wavy;text-decoration-style:wavy\">";
const std::string dots = "<span style=\"font-emphasize:dot;-webkit-text-emphasis:dot;"
                         "-webkit-text-emphasis-position:under;text-emphasis:dot;"
                         "text-emphasis-position:under\">";
const std::string box = "<span style=\"border:1px solid #4a4a4a;padding:0 1px\">";
const std::string cell = "<td style=\"border:1px solid #4a4a4a;padding:2px 6px\">";
const std::string table = "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\" "
                          "style=\"border-collapse:collapse;border:1px solid #4a4a4a\">";
} // namespace

class TestCodeTextConverter : public QObject {
    Q_OBJECT

private slots:
    void convertsEveryElement_data();
    void convertsEveryElement();
    void recognisesCodeText_data();
    void recognisesCodeText();
    void percentEncodesLikeTheClient();
    void survivesHostileInput_data();
    void survivesHostileInput();
    void overlongHtmlFallsBackToPlainText();
};

void TestCodeTextConverter::convertsEveryElement_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("html");
    auto row = [](const char *name, const std::string &code, const std::string &html) {
        QTest::newRow(name) << QString::fromStdString(code) << QString::fromStdString(html);
    };
    row("empty", "", "");
    row("plain text is escaped", "1 < 2 & \"x\"", "1 &lt; 2 &amp; &quot;x&quot;");
    row("other root is escaped", "<html>x</html>", "&lt;html&gt;x&lt;/html&gt;");
    row("broken xml is escaped", "<doc><b>x</doc>", "&lt;doc&gt;&lt;b&gt;x&lt;/doc&gt;");
    row("text escaped", "<doc>&lt;i&gt;&amp;'</doc>", "&lt;i&gt;&amp;&#39;");
    row("bold", "<doc><b>x</b></doc>", bold + "x</span>");
    row("italic", "<doc><i>x</i></doc>", "<i>x</i>");
    row("strike-out", "<doc><d>x</d></doc>", "<s>x</s>");
    row("underline", "<doc><u>x</u></doc>", underline + "x</span>");
    row("wave underline", "<doc><w>x</w></doc>", wave + "x</u>");
    row("emphasis dots", "<doc><p>x</p></doc>", dots + "x</span>");
    row("box", "<doc><o>x</o></doc>", box + "x</span>");
    row("subscript", "<doc>H<f>2</f>O</doc>", "H<sub>2</sub>O");
    row("superscript", "<doc>x<h>2</h></doc>", "x<sup>2</sup>");
    row("nested styles", "<doc><b><i>xy</i></b><i>z</i></doc>", bold + "<i>xy</i></span><i>z</i>");
    row("combined script", "<doc><g><h>2</h><f>1</f></g></doc>",
        "<span "
        "style=\"display:inline-block;vertical-align:middle;line-height:1;text-align:center\">"
        "<sup style=\"display:block\">2</sup><sub style=\"display:block\">1</sub></span>");
    row("paragraphs", "<doc>ab<n/>c</doc>", "ab<br>c");
    row("underscore is a space", "<doc>a_b</doc>", "a b");
    row("space next to a tag survives", "<doc>a <b>b</b></doc>", "a&nbsp;" + bold + "b</span>");
    row("blank with text", "<doc><s2><c>甲</c></s2></doc>",
        underline + "&nbsp;甲&nbsp;&nbsp;</span>");
    row("empty blank", "<doc><s1><c></c></s1></doc>", underline + "&nbsp;&nbsp;</span>");
    row("image", "<doc><v key=\"k1\" width=\"120\" height=\"40\"/></doc>",
        "<img src=\"http://h:1/api/show/image?fileKey=k1\" width=\"120\" height=\"40\" "
        "style=\"vertical-align:middle\">");
    row("image of absurd size keeps no size",
        "<doc><v key=\"k\" width=\"100001\" height=\"-3\"/></doc>",
        "<img src=\"http://h:1/api/show/image?fileKey=k\" style=\"vertical-align:middle\">");
    row("image at the largest size", "<doc><v key=\"k\" width=\"100000\" height=\"1e5\"/></doc>",
        "<img src=\"http://h:1/api/show/image?fileKey=k\" width=\"100000\" height=\"100000\" "
        "style=\"vertical-align:middle\">");
    row("image without size", "<doc><v key=\"a b\"/></doc>",
        "<img src=\"http://h:1/api/show/image?fileKey=a%20b\" style=\"vertical-align:middle\">");
    row("formula", "<doc><tex>x^2+1</tex></doc>",
        "<img src=\"http://h:1/api/generate/formula?formulaStr=x%5E2%2B1\" "
        "style=\"vertical-align:middle\">");
    row("question number", "<doc><a/></doc>", underline + "题号</span>");
    row("unknown element is transparent", "<doc><zz>q</zz></doc>", "q");
    row("bold across a paragraph break", "<doc><b>a<n/>b</b></doc>", bold + "a<br>b</span>");
    row("centred block", "<doc><c><b>A</b></c><n/>x</doc>",
        "<p style=\"margin:0;text-align:center\">" + bold +
            "A</span></p><p style=\"margin:0\">x</p>");
    row("right block", "<doc>a<n/><r>b</r></doc>",
        "<p style=\"margin:0\">a</p><p style=\"margin:0;text-align:right\">b</p>");
    row("style reopened in the next block", "<doc><c><b>a<n/>b</b></c></doc>",
        "<p style=\"margin:0;text-align:center\">" + bold + "a</span></p>" +
            "<p style=\"margin:0;text-align:center\">" + bold + "b</span></p>");
    row("empty paragraph kept", "<doc><c>a</c><n/><n/>b</doc>",
        "<p style=\"margin:0;text-align:center\">a</p><p style=\"margin:0\"><br></p>"
        "<p style=\"margin:0\">b</p>");
    row("indent", "<doc><indent/>ab</doc>", "<p style=\"margin:0;text-indent:2em\">ab</p>");
    row("paragraph element", "<doc>a<paragraph>b</paragraph>c</doc>",
        "<p style=\"margin:0\">a</p><p style=\"margin:0\">b</p><p style=\"margin:0\">c</p>");
    row("table", "<doc>x<n/><t><tr><td>1</td><td>2<n/>3</td></tr></t></doc>",
        "<p style=\"margin:0\">x</p>" + table + "<tr>" + cell + "<p style=\"margin:0\">1</p></td>" +
            cell + "<p style=\"margin:0\">2</p><p style=\"margin:0\">3</p></td></tr></table>");
    row("row and cell outside a table are transparent", "<doc>a<tr><td>b</td></tr>c</doc>", "abc");
    row("empty cell", "<doc><t><tr><td/></tr></t></doc>",
        table + "<tr>" + cell + "&nbsp;</td></tr></table>");
    row("style inside the same style", "<doc><b>a<b>b</b>c</b></doc>", bold + "abc</span>");
    row("same style inside another", "<doc><b><i><b>x</b>y</i></b>z</doc>",
        bold + "<i>xy</i></span>z");
    row("nested dots reopen once per paragraph", "<doc><c><p><p>a<n/>b</p>c</p></c></doc>",
        "<p style=\"margin:0;text-align:center\">" + dots + "a</span></p>" +
            "<p style=\"margin:0;text-align:center\">" + dots + "bc</span></p>");
    row("style reopened after it closed", "<doc><u>a</u>b<u>c</u></doc>",
        underline + "a</span>b" + underline + "c</span>");
}

void TestCodeTextConverter::convertsEveryElement() {
    QFETCH(QString, code);
    QFETCH(QString, html);
    const CodeTextConverter converter("http://h:1");
    QCOMPARE(QString::fromStdString(converter.toHtml(code.toStdString())), html);
}

void TestCodeTextConverter::recognisesCodeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("codeText");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("plain") << QStringLiteral("abc") << false;
    QTest::newRow("html") << QStringLiteral("<p>abc</p>") << false;
    QTest::newRow("other root") << QStringLiteral("<root>abc</root>") << false;
    QTest::newRow("two roots") << QStringLiteral("<doc>a</doc><doc>b</doc>") << false;
    QTest::newRow("doc") << QStringLiteral("<doc>a</doc>") << true;
    QTest::newRow("surrounding blanks") << QStringLiteral("  <doc>a</doc>\n") << true;
}

void TestCodeTextConverter::recognisesCodeText() {
    QFETCH(QString, text);
    QFETCH(bool, codeText);
    QCOMPARE(CodeTextConverter::isCodeText(text.toStdString()), codeText);
}

void TestCodeTextConverter::percentEncodesLikeTheClient() {
    QCOMPARE(QString::fromStdString(CodeTextConverter::percentEncode("a+b c~_.-\\")),
             QStringLiteral("a%2Bb%20c~_.-%5C"));
    QCOMPARE(QString::fromStdString(CodeTextConverter::percentEncode("中")),
             QStringLiteral("%E4%B8%AD"));
}

void TestCodeTextConverter::survivesHostileInput_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("deep style nesting") << QStringLiteral("styles");
    QTest::newRow("deep table nesting") << QStringLiteral("tables");
    QTest::newRow("deep unknown nesting") << QStringLiteral("unknown");
    QTest::newRow("huge text") << QStringLiteral("text");
}

void TestCodeTextConverter::survivesHostileInput() {
    QFETCH(QString, kind);
    const int depth = 200000;
    std::string code = "<doc>";
    if (kind == QLatin1String("styles")) {
        for (int i = 0; i < depth; ++i)
            code += "<b>";
        code += "deep";
        for (int i = 0; i < depth; ++i)
            code += "</b>";
    } else if (kind == QLatin1String("tables")) {
        for (int i = 0; i < 2000; ++i)
            code += "<t><tr><td>";
        code += "deep";
        for (int i = 0; i < 2000; ++i)
            code += "</td></tr></t>";
    } else if (kind == QLatin1String("unknown")) {
        for (int i = 0; i < depth; ++i)
            code += "<x>";
        code += "deep";
        for (int i = 0; i < depth; ++i)
            code += "</x>";
    } else {
        code += std::string(4 << 20, 'a');
        code += "deep";
    }
    code += "</doc>";
    const std::string html = CodeTextConverter("http://h:1").toHtml(code);
    QVERIFY(html.find("deep") != std::string::npos);
    // Style and table elements past the bound are left out of the HTML.
    QVERIFY(html.size() < code.size() + 4096);
}

void TestCodeTextConverter::overlongHtmlFallsBackToPlainText() {
    // Every style at once over 8,000 paragraphs: 40 KB of code text whose HTML would pass 2 MB.
    std::string code = "<doc><indent/><b><i><d><u><w><p><o><f><h>";
    std::string plain;
    for (int i = 0; i < 8000; ++i) {
        code += i ? "<n/>x&amp;_" : "x&amp;_";
        plain += i ? "<br>x&amp; " : "x&amp; ";
    }
    code += "</h></f></o></p></w></u></d></i></b><n/>end</doc>";
    plain += "<br>end";
    const CodeTextConverter converter("http://h:1");
    QVERIFY(converter.toHtml(code) == plain);
    // Fewer paragraphs stay within the bound and keep their styles.
    std::string half = "<doc><indent/><b><i><d><u><w><p><o><f><h>";
    for (int i = 0; i < 3000; ++i)
        half += i ? "<n/>x" : "x";
    half += "</h></f></o></p></w></u></d></i></b></doc>";
    const std::string html = converter.toHtml(half);
    QVERIFY(html.size() <= CodeTextConverter::MaxHtmlBytes);
    QVERIFY(html.rfind("<p style=\"margin:0;text-indent:2em\">" + bold + "<i><s>" + underline +
                           wave + dots + box + "<sub><sup>x",
                       0) != std::string::npos);
}

QTEST_GUILESS_MAIN(TestCodeTextConverter)
#include "tst_codetextconverter.moc"
