#include "editor/textedit.h"

#ifdef QUENMO_HAVE_SERVER_CONVERTER
#include "codetextconverter.h"
#endif

#include <QElapsedTimer>
#include <QtTest>

// Documents carried through code text and through the server's HTML, markup written by other
// producers, and hostile input that must neither crash nor hang the readers.
class tst_MarkupRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void everyElementSurvivesTwoRoundTrips();
    void otherProducersNestingIsRead_data();
    void otherProducersNestingIsRead();
    void malformedCodeTextLeavesDocumentAlone_data();
    void malformedCodeTextLeavesDocumentAlone();
    void hostileInputIsBounded_data();
    void hostileInputIsBounded();
    void serverHtmlReadsBackAsTheDocument_data();
    void serverHtmlReadsBackAsTheDocument();
};

namespace {

// Every element the writer produces, tables with styled, aligned and multi-block cells
// included, in the writer's own form.
const QString everyElement = QStringLiteral(
    "<doc><c><b>标题</b></c><n/>"
    "<indent/>a<b>b<i>c</i></b><i>d<d>e</d></i><d>f</d><u>g</u><w>h</w><p>i</p><o>j</o>"
    "x<f>1</f><h>2</h>y<g><h>3</h><f>n</f></g><a/><n/>"
    "<s1><c>甲</c></s1><s2><c></c></s2><b><s3><c>乙</c></s3></b><s4><c>1 2</c></s4><n/>"
    "<r>右 &lt;&amp;&gt;</r>"
    "<t><tr><td><b>1</b><n/><c>2</c></td><td><w>w</w><s1><c>3</c></s1></td></tr>"
    "<tr><td/><td><r>4</r></td></tr></t>"
    "after</doc>");

QString read(const QString &code)
{
    TextEdit edit;
    edit.setCodeText(code);
    return edit.toCodeText();
}

} // namespace

void tst_MarkupRoundTrip::everyElementSurvivesTwoRoundTrips()
{
    const QString once = read(everyElement);
    QCOMPARE(once, everyElement);
    QCOMPARE(read(once), everyElement);
}

void tst_MarkupRoundTrip::otherProducersNestingIsRead_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("written");
    QTest::newRow("italic outside bold") << "<doc><i><b>xy</b></i></doc>"
                                         << "<doc><b><i>xy</i></b></doc>";
    QTest::newRow("script outside styles") << "<doc><h><u><b>x</b></u></h></doc>"
                                           << "<doc><b><u><h>x</h></u></b></doc>";
    QTest::newRow("alignment inside a style") << "<doc><b><c>A</c></b></doc>"
                                              << "<doc><c><b>A</b></c></doc>";
    QTest::newRow("break inside a style") << "<doc><b>a<n/>b</b></doc>"
                                          << "<doc><b>a</b><n/><b>b</b></doc>";
    QTest::newRow("styles split and rejoined") << "<doc><b>a</b><b>b</b><i>c</i></doc>"
                                               << "<doc><b>ab</b><i>c</i></doc>";
    QTest::newRow("combined inside a script") << "<doc><h>2<g><h>3</h><f>n</f></g></h></doc>"
                                              << "<doc><h>2<g><h>3</h><f>n</f></g></h></doc>";
    QTest::newRow("combined, subscript first") << "<doc><g><f>1</f><h>2</h></g></doc>"
                                               << "<doc><g><h>2</h><f>1</f></g></doc>";
    QTest::newRow("styles inside a table cell") << "<doc><t><tr><i><td>x</td></i></tr></t></doc>"
                                                << "<doc><t><tr><td><i>x</i></td></tr></t></doc>";
    QTest::newRow("declaration, comment, entity, CDATA")
        << "<?xml version=\"1.0\"?><!-- by hand --><doc>a&#x4e59;<![CDATA[<b>]]></doc>"
        << QStringLiteral("<doc>a乙&lt;b&gt;</doc>");
}

void tst_MarkupRoundTrip::otherProducersNestingIsRead()
{
    QFETCH(QString, code);
    QFETCH(QString, written);
    QCOMPARE(read(code), written);
}

void tst_MarkupRoundTrip::malformedCodeTextLeavesDocumentAlone_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("unclosed") << "<doc><b>a</doc>";
    QTest::newRow("crossed") << "<doc><b><i>a</b></i></doc>";
    QTest::newRow("two roots") << "<doc>a</doc><doc>b</doc>";
    QTest::newRow("undefined entity") << "<doc>&nope;</doc>";
    QTest::newRow("bad attribute") << "<doc><v key=k/></doc>";
    QTest::newRow("truncated") << "<doc><t><tr><td>1</td";
}

void tst_MarkupRoundTrip::malformedCodeTextLeavesDocumentAlone()
{
    QFETCH(QString, code);
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<doc>kept</doc>"));
    edit.moveCursor(QTextCursor::End);
    edit.insertCodeText(code);
    QCOMPARE(edit.toCodeText(), QStringLiteral("<doc>kept</doc>"));
}

void tst_MarkupRoundTrip::hostileInputIsBounded_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("html");

    QString laughs = QStringLiteral("<?xml version=\"1.0\"?><!DOCTYPE doc [<!ENTITY l0 \"ha\">");
    for (int i = 1; i < 10; ++i)
        laughs += QStringLiteral("<!ENTITY l%1 \"&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;&l%2;"
                                 "&l%2;\">")
                      .arg(i)
                      .arg(i - 1);
    laughs += QStringLiteral("]><doc>&l9;</doc>");
    QTest::newRow("billion laughs") << laughs << false;
    QTest::newRow("external entity")
        << "<!DOCTYPE doc [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><doc>&x;</doc>" << false;

    QString deep;
    for (int i = 0; i < 100000; ++i)
        deep += QLatin1String("<b>");
    QTest::newRow("deep unclosed code text") << QStringLiteral("<doc>") + deep << false;
    QString cells = QStringLiteral("<doc>");
    for (int i = 0; i < 600; ++i)
        cells += QLatin1String("<t><tr><td>");
    QTest::newRow("nested tables") << cells + QStringLiteral("x</doc>") << false;
    QTest::newRow("wide table") << "<doc><t><tr>" + QString(QStringLiteral("<td/>")).repeated(300)
            + "</tr></t></doc>" << false;
    QTest::newRow("huge text") << "<doc>" + QString(200000, QLatin1Char('x')) + "</doc>" << false;
    QTest::newRow("deep html") << QString(QStringLiteral("<div><table><tr><td>")).repeated(3000)
                               << true;
    QTest::newRow("html entities")
        << QString(QStringLiteral("&amp;&lt;&#0;&#xD800;&nbsp;")).repeated(2000) << true;
}

void tst_MarkupRoundTrip::hostileInputIsBounded()
{
    QFETCH(QString, input);
    QFETCH(bool, html);
    QElapsedTimer timer;
    timer.start();
    TextEdit edit;
    if (html)
        edit.insertHtml(input);
    else
        edit.setCodeText(input);
    const QString written = edit.toCodeText();
    QVERIFY(written.isEmpty() || edit.isCodeText(written));
    // generous: a hang, not a slow run, is the fault looked for
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
}

void tst_MarkupRoundTrip::serverHtmlReadsBackAsTheDocument_data()
{
    QTest::addColumn<QString>("code");
    QTest::newRow("paragraphs") << "<doc>ab<n/>c</doc>";
    QTest::newRow("bold italic strike") << "<doc><b>b<i>c</i></b><i>d</i><d>e</d></doc>";
    QTest::newRow("underlines") << "<doc><u>u</u><w>w</w><p>p</p></doc>";
    QTest::newRow("scripts") << "<doc>x<f>1</f><h>2</h></doc>";
    QTest::newRow("alignment") << "<doc><c>A</c><n/><r>z</r></doc>";
    QTest::newRow("escaping") << "<doc>&lt;&amp;&gt;</doc>";
    QTest::newRow("table") << "<doc>a<t><tr><td>1</td><td><b>2</b></td></tr>"
                              "<tr><td>3</td><td>4</td></tr></t>b</doc>";
}

void tst_MarkupRoundTrip::serverHtmlReadsBackAsTheDocument()
{
#ifdef QUENMO_HAVE_SERVER_CONVERTER
    QFETCH(QString, code);
    const std::string html = CodeTextConverter("http://127.0.0.1:8080").toHtml(code.toStdString());
    TextEdit edit;
    edit.insertHtml(QString::fromStdString(html));
    QVERIFY2(edit.toCodeText() == code, html.c_str());
#else
    QSKIP("built without the server");
#endif
}

QTEST_MAIN(tst_MarkupRoundTrip)
#include "tst_markuproundtrip.moc"
