#include "editor/textedit.h"

#include <QDir>
#include <QFile>
#include <QtTest>

// Inputs that once crashed the markup readers or made the writer produce unreadable code
// text. Each file under data/markup is read as code text (falling back to HTML, as a stored
// field is) or pasted as HTML, and the document must be written back as readable code text.
class tst_MarkupRegressions : public QObject
{
    Q_OBJECT

private slots:
    void savedInputIsReadAndWrittenBack_data();
    void savedInputIsReadAndWrittenBack();
    void cellAfterEmptyRowsGetsItsRow_data();
    void cellAfterEmptyRowsGetsItsRow();
    void cellOfALaterTextStartsItsOwnTable();
    void cdataEndInTextIsWrittenEscaped();
};

void tst_MarkupRegressions::savedInputIsReadAndWrittenBack_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("html");
    const QString dir = QFINDTESTDATA("data/markup");
    QVERIFY(!dir.isEmpty());
    const QFileInfoList files = QDir(dir).entryInfoList(QDir::Files, QDir::Name);
    QVERIFY(!files.isEmpty());
    for (const QFileInfo &file : files) {
        const QByteArray name = file.fileName().toUtf8();
        const bool html = file.fileName().startsWith(QLatin1String("html-"));
        QTest::newRow(name.constData()) << file.absoluteFilePath() << html;
    }
}

void tst_MarkupRegressions::savedInputIsReadAndWrittenBack()
{
    QFETCH(QString, path);
    QFETCH(bool, html);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString input = QString::fromUtf8(file.readAll());
    TextEdit edit;
    if (html)
        edit.insertHtml(input);
    else
        edit.setCodeText(input);
    const QString written = edit.toCodeText();
    if (written.isEmpty())
        return;
    QVERIFY2(edit.isCodeText(written), qPrintable(written));
    TextEdit again;
    again.setCodeText(written);
    QCOMPARE(again.toCodeText(), written);
}

void tst_MarkupRegressions::cellAfterEmptyRowsGetsItsRow_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("html");
    QTest::addColumn<QString>("written");
    QTest::newRow("code text") << "<doc><t><tr/><tr><td>x</td></tr></t></doc>" << false
                               << "<doc><t><tr><td/></tr><tr><td>x</td></tr></t></doc>";
    QTest::newRow("html") << "<table><tr><tr><th>x" << true
                          << "<doc><t><tr><td/></tr><tr><td>x</td></tr></t></doc>";
}

void tst_MarkupRegressions::cellAfterEmptyRowsGetsItsRow()
{
    QFETCH(QString, input);
    QFETCH(bool, html);
    QFETCH(QString, written);
    TextEdit edit;
    if (html)
        edit.insertHtml(input);
    else
        edit.setCodeText(input);
    QCOMPARE(edit.toCodeText(), written);
}

void tst_MarkupRegressions::cellOfALaterTextStartsItsOwnTable()
{
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<doc><t><tr><td>a</td></tr></t></doc>"));
    // the table of the first text is gone; a stray cell must not reach it
    edit.setCodeText(QStringLiteral("<doc><td>b</td></doc>"));
    QCOMPARE(edit.toCodeText(), QStringLiteral("<doc><t><tr><td>b</td></tr></t></doc>"));
}

void tst_MarkupRegressions::cdataEndInTextIsWrittenEscaped()
{
    TextEdit edit;
    edit.insertHtml(QStringLiteral("a]]>b"));
    const QString written = edit.toCodeText();
    QVERIFY2(edit.isCodeText(written), qPrintable(written));
    QCOMPARE(written, QStringLiteral("<doc>a]]&gt;b</doc>"));
}

QTEST_MAIN(tst_MarkupRegressions)
#include "tst_markupregressions.moc"
