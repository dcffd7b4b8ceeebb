#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

#include <QTextBlock>
#include <QtTest>

// Fields stored by other producers are shown, not silently dropped.
class tst_StoredFields : public QObject
{
    Q_OBJECT

private slots:
    void codeTextStillReadAsCodeText();
    void plainTextShownWithItsLines();
    void htmlShownThroughTheImport();
    void savedAgainAsCodeText();
};

namespace {

QString visibleText(TextEdit &edit)
{
    QString text;
    for (QTextBlock block = edit.document()->begin(); block.isValid(); block = block.next()) {
        if (block != edit.document()->begin())
            text += QLatin1Char('\n');
        for (int i = 0; i < block.length() - 1; ++i) {
            QTextCursor cursor(edit.document());
            cursor.setPosition(block.position() + i + 1);
            text += cursor.charFormat().property(TextProperty).toString();
        }
    }
    return text;
}

} // namespace

void tst_StoredFields::codeTextStillReadAsCodeText()
{
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<doc>ab</doc>"));
    QCOMPARE(visibleText(edit), QStringLiteral("ab"));
    edit.setCodeText(QString());
    QVERIFY(edit.document()->isEmpty());
}

void tst_StoredFields::plainTextShownWithItsLines()
{
    TextEdit edit;
    edit.setCodeText(QStringLiteral("1 < 2 and 3 > 2\r\n第二行"));
    QCOMPARE(edit.document()->blockCount(), 2);
    QCOMPARE(visibleText(edit), QStringLiteral("1 < 2 and 3 > 2\n第二行"));
}

void tst_StoredFields::htmlShownThroughTheImport()
{
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<p>甲<b>乙</b></p>"));
    QCOMPARE(visibleText(edit), QStringLiteral("甲乙"));
    QTextCursor cursor(edit.document());
    cursor.setPosition(2);
    QVERIFY(cursor.charFormat().boolProperty(BoldProperty));
}

void tst_StoredFields::savedAgainAsCodeText()
{
    TextEdit edit;
    edit.setCodeText(QStringLiteral("plain"));
    const QString saved = edit.toCodeText();
    QVERIFY(edit.isCodeText(saved));
    TextEdit again;
    again.setCodeText(saved);
    QCOMPARE(visibleText(again), QStringLiteral("plain"));
}

QTEST_MAIN(tst_StoredFields)
#include "tst_storedfields.moc"
