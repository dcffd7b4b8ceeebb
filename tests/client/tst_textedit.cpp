#include "app/startup.h"
#include "editor/textedit.h"
#include "editor/textobjectproperty.h"

#include <QAbstractTextDocumentLayout>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QTextBlock>
#include <QtTest>

// The document convention and the editing operations of TextEdit.
class tst_TextEdit : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void typedTextBecomesPlainObjects();
    void noBreakSpaceBecomesSpace_data();
    void noBreakSpaceBecomesSpace();
    void underscoreBecomesUnderlinedSpaceThatSurvivesSaving();
    void toggleTwiceRestores_data();
    void toggleTwiceRestores();
    void lastSelectedCharacterDecidesToggle();
    void underlineKindsExcludeEachOther();
    void commandsWithoutSelectionDoNothing();
    void alignmentToggles_data();
    void alignmentToggles();
    void insertedObjects();
    void tabInsertsIndentOnlyAtBlockStart();
    void enterStartsLeftBlockWithTopMargin();
    void ctrlShortcuts();
    void readOnlyIgnoresKeys();
    void controlCharactersAreNotInserted();
    void operationIsOneUndoStep();
    void inputMethodCommitAndPreedit();
    void copyPutsCodeTextAndPlainText();
    void copyKeepsParagraphBreaks();
    void pasteStyledObjectsBetweenEditors();
    void pasteOrderOfFormats();
    void contextMenuTextsAndWiring();
    void setPlainTextKeepsObjectHandler();

private:
    static QTextCharFormat formatAt(TextEdit &edit, int position);
    static QString texts(TextEdit &edit);
    static void select(TextEdit &edit, int anchor, int position);
};

void tst_TextEdit::initTestCase() {
    Startup::installFontSubstitutions();
}

void tst_TextEdit::init() {
    QGuiApplication::clipboard()->clear();
}

QTextCharFormat tst_TextEdit::formatAt(TextEdit &edit, int position) {
    QTextCursor cursor(edit.document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return cursor.charFormat();
}

// TextProperty of every character, "|" for a block break
QString tst_TextEdit::texts(TextEdit &edit) {
    QString result;
    QTextDocument *doc = edit.document();
    for (int p = 0; p < doc->characterCount() - 1; ++p) {
        if (doc->characterAt(p) == QChar::ParagraphSeparator)
            result += QLatin1Char('|');
        else
            result += formatAt(edit, p).property(TextProperty).toString();
    }
    return result;
}

void tst_TextEdit::select(TextEdit &edit, int anchor, int position) {
    QTextCursor cursor = edit.textCursor();
    cursor.setPosition(anchor);
    cursor.setPosition(position, QTextCursor::KeepAnchor);
    edit.setTextCursor(cursor);
}

void tst_TextEdit::typedTextBecomesPlainObjects() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    select(edit, 0, 2);
    edit.toggleBold();
    edit.moveCursor(QTextCursor::End);
    QTest::keyClicks(&edit, QStringLiteral("c 1"));
    QCOMPARE(edit.document()->toPlainText(), QString(5, QChar::ObjectReplacementCharacter));
    QCOMPARE(texts(edit), QStringLiteral("abc 1"));
    for (int p = 0; p < 5; ++p) {
        const QTextCharFormat f = formatAt(edit, p);
        QCOMPARE(f.objectType(), TextObjectType);
        QCOMPARE(f.verticalAlignment(), QTextCharFormat::AlignMiddle);
        QCOMPARE(f.property(TextProperty).type(), QVariant::Char);
        // typed text does not take the bold of its neighbour
        QCOMPARE(f.boolProperty(BoldProperty), p < 2);
    }
}

void tst_TextEdit::noBreakSpaceBecomesSpace_data() {
    QTest::addColumn<bool>("typed");
    QTest::newRow("inserted text") << false;
    QTest::newRow("pasted text") << true;
}

void tst_TextEdit::noBreakSpaceBecomesSpace() {
    QFETCH(bool, typed);
    TextEdit edit;
    const QString text = QStringLiteral("a") + QChar(QChar::Nbsp) + QStringLiteral("b");
    if (typed) {
        QGuiApplication::clipboard()->setText(text);
        edit.paste();
    } else {
        edit.insertPlainText(text);
    }
    QCOMPARE(texts(edit), QStringLiteral("a b"));
    QCOMPARE(edit.clearText(QString(2, QChar(QChar::Nbsp))), QStringLiteral("  "));
}

void tst_TextEdit::underscoreBecomesUnderlinedSpaceThatSurvivesSaving() {
    TextEdit edit;
    QTest::keyClicks(&edit, QStringLiteral("a_"));
    QGuiApplication::clipboard()->setText(QStringLiteral("__b"));
    edit.paste();
    QCOMPARE(texts(edit), QStringLiteral("a   b"));
    for (int p = 1; p < 4; ++p)
        QCOMPARE(formatAt(edit, p).intProperty(UnderlineProperty), int(SingleUnderline));
    QCOMPARE(formatAt(edit, 4).intProperty(UnderlineProperty), 0);

    // saved and loaded again, the blanks are still underlined spaces
    TextEdit loaded;
    loaded.setCodeText(edit.toCodeText());
    QCOMPARE(texts(loaded), QStringLiteral("a   b"));
    for (int p = 1; p < 4; ++p)
        QCOMPARE(formatAt(loaded, p).intProperty(UnderlineProperty), int(SingleUnderline));
    QCOMPARE(loaded.toCodeText(), edit.toCodeText());
}

using Command = void (TextEdit::*)();
Q_DECLARE_METATYPE(Command)

void tst_TextEdit::toggleTwiceRestores_data() {
    QTest::addColumn<Command>("command");
    QTest::addColumn<int>("property");
    QTest::addColumn<QVariant>("on");
    QTest::newRow("bold") << &TextEdit::toggleBold << int(BoldProperty) << QVariant(true);
    QTest::newRow("italic") << &TextEdit::toggleItalic << int(ItalicProperty) << QVariant(true);
    QTest::newRow("strike-out") << &TextEdit::toggleStrikeOut << int(StrikeOutProperty)
                                << QVariant(true);
    QTest::newRow("underline") << &TextEdit::toggleUnderline << int(UnderlineProperty)
                               << QVariant(1);
    QTest::newRow("wave") << &TextEdit::toggleWaveUnderline << int(UnderlineProperty)
                          << QVariant(2);
    QTest::newRow("dot") << &TextEdit::toggleUnderPoint << int(UnderlineProperty) << QVariant(3);
    QTest::newRow("box") << &TextEdit::toggleRectangle << int(UnderlineProperty) << QVariant(4);
    QTest::newRow("subscript") << &TextEdit::toggleSubscript << int(ScriptProperty) << QVariant(1);
    QTest::newRow("superscript") << &TextEdit::toggleSuperscript << int(ScriptProperty)
                                 << QVariant(2);
}

void tst_TextEdit::toggleTwiceRestores() {
    QFETCH(Command, command);
    QFETCH(int, property);
    QFETCH(QVariant, on);
    TextEdit edit;
    QTest::keyClicks(&edit, QStringLiteral("ab"));
    select(edit, 2, 0); // backwards: the command normalises the selection
    (edit.*command)();
    for (int p = 0; p < 2; ++p) {
        QCOMPARE(formatAt(edit, p).property(property).toInt(), on.toInt());
        QCOMPARE(formatAt(edit, p).property(TextProperty).toString(),
                 QString(QLatin1Char(p ? 'b' : 'a')));
    }
    (edit.*command)();
    for (int p = 0; p < 2; ++p)
        QCOMPARE(formatAt(edit, p).property(property).toInt(), 0);
}

void tst_TextEdit::lastSelectedCharacterDecidesToggle() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("abc"));
    select(edit, 2, 3);
    edit.toggleBold(); // only c bold
    select(edit, 0, 3);
    edit.toggleBold();
    for (int p = 0; p < 3; ++p)
        QVERIFY(!formatAt(edit, p).boolProperty(BoldProperty));
    select(edit, 0, 1);
    edit.toggleBold(); // only a bold
    select(edit, 0, 3);
    edit.toggleBold();
    for (int p = 0; p < 3; ++p)
        QVERIFY(formatAt(edit, p).boolProperty(BoldProperty));
}

void tst_TextEdit::underlineKindsExcludeEachOther() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    select(edit, 0, 2);
    edit.toggleBold();
    edit.toggleWaveUnderline();
    edit.toggleRectangle();
    QCOMPARE(formatAt(edit, 0).intProperty(UnderlineProperty), int(Rectangle));
    QVERIFY(formatAt(edit, 0).boolProperty(BoldProperty));
    edit.toggleSubscript();
    edit.toggleSuperscript();
    QCOMPARE(formatAt(edit, 1).intProperty(ScriptProperty), int(Superscript));
}

void tst_TextEdit::commandsWithoutSelectionDoNothing() {
    const QList<Command> commands = {
        &TextEdit::toggleBold,      &TextEdit::toggleItalic,        &TextEdit::toggleStrikeOut,
        &TextEdit::toggleUnderline, &TextEdit::toggleWaveUnderline, &TextEdit::toggleUnderPoint,
        &TextEdit::toggleRectangle, &TextEdit::toggleSubscript,     &TextEdit::toggleSuperscript,
        &TextEdit::alignLeft,       &TextEdit::alignCenter,         &TextEdit::alignRight};
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    edit.moveCursor(QTextCursor::Left);
    const QString before = edit.toCodeText();
    const int undoSteps = edit.document()->availableUndoSteps();
    for (Command command : commands)
        (edit.*command)();
    QCOMPARE(edit.toCodeText(), before);
    QCOMPARE(edit.document()->availableUndoSteps(), undoSteps);
    QCOMPARE(edit.document()->begin().blockFormat().alignment(), Qt::AlignLeft);
}

void tst_TextEdit::alignmentToggles_data() {
    QTest::addColumn<QList<Command>>("commands");
    QTest::addColumn<int>("alignment");
    using L = QList<Command>;
    QTest::newRow("centre") << L{&TextEdit::alignCenter} << int(Qt::AlignHCenter);
    QTest::newRow("centre twice") << L{&TextEdit::alignCenter, &TextEdit::alignCenter}
                                  << int(Qt::AlignLeft);
    QTest::newRow("right") << L{&TextEdit::alignRight} << int(Qt::AlignRight);
    QTest::newRow("right twice") << L{&TextEdit::alignRight, &TextEdit::alignRight}
                                 << int(Qt::AlignLeft);
    QTest::newRow("centre then right")
        << L{&TextEdit::alignCenter, &TextEdit::alignRight} << int(Qt::AlignRight);
    QTest::newRow("right then left")
        << L{&TextEdit::alignRight, &TextEdit::alignLeft} << int(Qt::AlignLeft);
}

void tst_TextEdit::alignmentToggles() {
    QFETCH(QList<Command>, commands);
    QFETCH(int, alignment);
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Return);
    edit.insertPlainText(QStringLiteral("cd"));
    QTest::keyClick(&edit, Qt::Key_Return);
    edit.insertPlainText(QStringLiteral("ef"));
    select(edit, 1, 4); // "ab" and "cd", not "ef"
    for (Command command : commands)
        (edit.*command)();
    const QTextBlock first = edit.document()->begin();
    QCOMPARE(int(first.blockFormat().alignment()), alignment);
    QCOMPARE(int(first.next().blockFormat().alignment()), alignment);
    QCOMPARE(first.next().next().blockFormat().alignment(), Qt::AlignLeft);
    // each command over both paragraphs is one step back
    for (int i = 0; i < commands.size(); ++i)
        QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(first.blockFormat().alignment(), Qt::AlignLeft);
    QCOMPARE(first.next().blockFormat().alignment(), Qt::AlignLeft);
    QCOMPARE(texts(edit), QStringLiteral("ab|cd|ef"));
}

void tst_TextEdit::insertedObjects() {
    TextEdit edit;
    edit.insertSpace(4, QStringLiteral("甲"));
    edit.insertSuperSubscript(QStringLiteral("2"), QStringLiteral("n"));
    edit.insertQuestionNum();
    edit.insertTable(2, 3);
    QTextCharFormat f = formatAt(edit, 0);
    QCOMPARE(f.intProperty(SpaceLengthProperty), 4);
    QCOMPARE(f.property(TextProperty).toString(), QStringLiteral("甲"));
    QCOMPARE(f.objectType(), TextObjectType);
    f = formatAt(edit, 1);
    QCOMPARE(f.intProperty(ScriptProperty), int(SuperSubscript));
    QCOMPARE(f.property(TextProperty).toString(), QStringLiteral("2 n"));
    QVERIFY(formatAt(edit, 2).boolProperty(QuestionNumProperty));
    QTextTable *table = edit.textCursor().currentTable();
    QVERIFY(table);
    QCOMPARE(table->rows(), 2);
    QCOMPARE(table->columns(), 3);
    QCOMPARE(table->format().cellSpacing(), 0.0);
    // the table goes back in one step; the mark before it stays
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!edit.textCursor().currentTable());
    QCOMPARE(edit.document()->characterCount(), 4);
    QVERIFY(formatAt(edit, 2).boolProperty(QuestionNumProperty));
}

void tst_TextEdit::tabInsertsIndentOnlyAtBlockStart() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    edit.moveCursor(QTextCursor::Left);
    QTest::keyClick(&edit, Qt::Key_Tab);
    QCOMPARE(edit.document()->characterCount(), 3);
    edit.moveCursor(QTextCursor::StartOfBlock);
    QTest::keyClick(&edit, Qt::Key_Tab);
    QCOMPARE(edit.document()->characterCount(), 4);
    QVERIFY(formatAt(edit, 0).boolProperty(IndentProperty));
    QVERIFY(edit.hasFocus() || !edit.isVisible());
}

void tst_TextEdit::enterStartsLeftBlockWithTopMargin() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    select(edit, 0, 2);
    edit.alignCenter();
    edit.moveCursor(QTextCursor::End);
    QTest::keyClick(&edit, Qt::Key_Return);
    QTest::keyClick(&edit, Qt::Key_Enter);
    QCOMPARE(edit.document()->blockCount(), 3);
    const QTextBlock second = edit.document()->begin().next();
    QCOMPARE(edit.document()->begin().blockFormat().alignment(), Qt::AlignHCenter);
    for (QTextBlock block = second; block.isValid(); block = block.next()) {
        QVERIFY(!(block.blockFormat().alignment() & (Qt::AlignHCenter | Qt::AlignRight)));
        QCOMPARE(block.blockFormat().topMargin(), 8.0);
    }
    QCOMPARE(edit.textCursor().block().blockNumber(), 2);
}

void tst_TextEdit::ctrlShortcuts() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier);
    QCOMPARE(edit.textCursor().selectionStart(), 0);
    QCOMPARE(edit.textCursor().selectionEnd(), 2);
    QTest::keyClick(&edit, Qt::Key_C, Qt::ControlModifier);
    QVERIFY(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("MimeTypeDoc")));
    QTest::keyClick(&edit, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(edit.document()->characterCount(), 1);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("abab"));
    QTest::keyClick(&edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("ab"));
    QTest::keyClick(&edit, Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(texts(edit), QStringLiteral("abab"));
}

void tst_TextEdit::readOnlyIgnoresKeys() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("ab"));
    edit.setReadOnly(true);
    QTest::keyClicks(&edit, QStringLiteral("cd"));
    QTest::keyClick(&edit, Qt::Key_Left);
    QTest::keyClick(&edit, Qt::Key_Return);
    QCOMPARE(texts(edit), QStringLiteral("ab"));
    QCOMPARE(edit.textCursor().position(), 2);
}

void tst_TextEdit::controlCharactersAreNotInserted() {
    TextEdit edit;
    // what the window system sends for Ctrl+B and Ctrl+Shift+Z
    QKeyEvent ctrlB(QEvent::KeyPress, Qt::Key_B, Qt::ControlModifier, QStringLiteral("\x02"));
    QApplication::sendEvent(&edit, &ctrlB);
    QKeyEvent redo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier,
                   QStringLiteral("\x1a"));
    QApplication::sendEvent(&edit, &redo);
    // a shortcut on a key beyond ASCII whose event still carries its letter
    QKeyEvent ctrlE(QEvent::KeyPress, Qt::Key_Eacute, Qt::ControlModifier, QStringLiteral("é"));
    QApplication::sendEvent(&edit, &ctrlE);
    QKeyEvent ctrlShiftE(QEvent::KeyPress, Qt::Key_Eacute, Qt::ControlModifier | Qt::ShiftModifier,
        QStringLiteral("É"));
    QApplication::sendEvent(&edit, &ctrlShiftE);
    QCOMPARE(edit.document()->characterCount(), 1);
    // without Ctrl the same key types its letter
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("é"));
    QApplication::sendEvent(&edit, &typed);
    QCOMPARE(texts(edit), QStringLiteral("é"));
}

void tst_TextEdit::operationIsOneUndoStep() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("abc"));
    edit.insertCodeText(QStringLiteral("<doc><b>x</b><n/>y</doc>"));
    QCOMPARE(texts(edit), QStringLiteral("abcx|y"));
    edit.undo();
    QCOMPARE(texts(edit), QStringLiteral("abc"));
    edit.undo();
    QCOMPARE(edit.document()->characterCount(), 1);
    edit.redo();
    QCOMPARE(texts(edit), QStringLiteral("abc"));
}

void tst_TextEdit::inputMethodCommitAndPreedit() {
    TextEdit edit;
    edit.setPlaceholderText(QStringLiteral("请输入"));
    QInputMethodEvent preedit(QStringLiteral("zhong"), {});
    QApplication::sendEvent(&edit, &preedit);
    QCOMPARE(edit.placeholderText(), QString());
    // the preedit is shown, not inserted
    QCOMPARE(edit.document()->characterCount(), 1);
    QCOMPARE(edit.document()->begin().layout()->preeditAreaText(), QStringLiteral("zhong"));

    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("中文"));
    QApplication::sendEvent(&edit, &commit);
    QCOMPARE(edit.placeholderText(), QStringLiteral("请输入"));
    QCOMPARE(texts(edit), QStringLiteral("中文"));
    QCOMPARE(formatAt(edit, 1).objectType(), TextObjectType);
}

void tst_TextEdit::copyPutsCodeTextAndPlainText() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("xaby"));
    select(edit, 1, 2);
    edit.toggleBold();
    select(edit, 1, 3);
    edit.copy();
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(QString::fromUtf8(mime->data(QStringLiteral("MimeTypeDoc"))),
             QStringLiteral("<doc><b>a</b>b</doc>"));
    QCOMPARE(mime->text(), QStringLiteral("ab"));

    // nothing selected: the clipboard is left alone
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    edit.moveCursor(QTextCursor::End);
    edit.copy();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
}

void tst_TextEdit::copyKeepsParagraphBreaks() {
    TextEdit edit;
    edit.setCodeText(QStringLiteral("<doc><b>ab</b><n/><b>c</b>d<n/>e</doc>"));
    select(edit, 1, edit.document()->characterCount() - 1);
    edit.copy();
    const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(QString::fromUtf8(mime->data(QStringLiteral("MimeTypeDoc"))),
             QStringLiteral("<doc><b>b</b><n/><b>c</b>d<n/>e</doc>"));
    QCOMPARE(mime->text(), QStringLiteral("b\ncd\ne"));

    TextEdit other;
    other.paste();
    QCOMPARE(texts(other), QStringLiteral("b|cd|e"));
    QCOMPARE(other.document()->blockCount(), 3);
}

void tst_TextEdit::pasteStyledObjectsBetweenEditors() {
    const QString code = QStringLiteral(
        "<doc><b><i>x</i></b><w>y</w><o>z</o><s2><c>甲</c></s2><g><h>2</h><f>n</f></g><a/>"
        "<h>3</h><d>q</d></doc>");
    TextEdit source;
    source.setCodeText(code);
    QCOMPARE(source.toCodeText(), code);
    select(source, 0, source.document()->characterCount() - 1);
    source.copy();

    TextEdit target;
    target.insertPlainText(QStringLiteral("<>"));
    target.moveCursor(QTextCursor::Left);
    target.paste();
    QCOMPARE(target.toCodeText(),
             QStringLiteral("<doc>&lt;<b><i>x</i></b><w>y</w><o>z</o><s2><c>甲</c></s2><g><h>2</h>"
                            "<f>n</f></g><a/><h>3</h><d>q</d>&gt;</doc>"));

    // within one editor, over a selection
    select(source, 0, 2);
    source.copy();
    select(source, 2, 3);
    source.paste();
    QCOMPARE(texts(source).left(4), QStringLiteral("xyxy"));
    QVERIFY(formatAt(source, 2).boolProperty(ItalicProperty));
    QCOMPARE(formatAt(source, 3).intProperty(UnderlineProperty), int(WaveUnderline));
}

void tst_TextEdit::pasteOrderOfFormats() {
    TextEdit edit;
    auto mime = new QMimeData;
    mime->setData(QStringLiteral("MimeTypeDoc"), QByteArray("<doc><b>c</b></doc>"));
    mime->setHtml(QStringLiteral("<b>h</b>"));
    mime->setText(QStringLiteral("t"));
    QGuiApplication::clipboard()->setMimeData(mime);
    edit.paste();
    QCOMPARE(texts(edit), QStringLiteral("c"));

    mime = new QMimeData;
    mime->setHtml(QStringLiteral("<p><b>h</b>_</p>"));
    mime->setText(QStringLiteral("t"));
    QGuiApplication::clipboard()->setMimeData(mime);
    edit.paste();
    // the paragraph does not join the non-empty block before it
    QCOMPARE(texts(edit), QStringLiteral("c|h "));
    QVERIFY(formatAt(edit, 2).boolProperty(BoldProperty));
    QCOMPARE(formatAt(edit, 3).intProperty(UnderlineProperty), int(SingleUnderline));

    mime = new QMimeData;
    mime->setText(QStringLiteral("<b>t</b>"));
    QGuiApplication::clipboard()->setMimeData(mime);
    edit.paste();
    QCOMPARE(texts(edit), QStringLiteral("c|h <b>t</b>"));

    QGuiApplication::clipboard()->clear();
    edit.paste();
    QCOMPARE(texts(edit), QStringLiteral("c|h <b>t</b>"));
}

void tst_TextEdit::contextMenuTextsAndWiring() {
    TextEdit edit;
    edit.insertPlainText(QStringLiteral("abc"));
    select(edit, 0, 1);
    edit.document()->setModified(false);
    QScopedPointer<QMenu> menu(edit.createContextMenu(QPoint(1, 1)));
    QStringList seen;
    QHash<QString, QAction *> byText;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator()) {
            seen << action->text();
            byText.insert(action->text(), action);
        }
    }
    const QStringList expected = {QStringLiteral("撤销\tCtrl+Z"), QStringLiteral("恢复\tCtrl+Y"),
                                  QStringLiteral("剪切\tCtrl+X"), QStringLiteral("复制\tCtrl+C"),
                                  QStringLiteral("粘贴\tCtrl+V"), QStringLiteral("删除"),
                                  QStringLiteral("全选\tCtrl+A")};
    QCOMPARE(seen, expected);

    byText.value(QStringLiteral("复制\tCtrl+C"))->trigger();
    QCOMPARE(QString::fromUtf8(
                 QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("MimeTypeDoc"))),
             QStringLiteral("<doc>a</doc>"));

    select(edit, 1, 2);
    QScopedPointer<QMenu> second(edit.createContextMenu(QPoint(1, 1)));
    for (QAction *action : second->actions()) {
        if (action->text() == QStringLiteral("剪切\tCtrl+X"))
            action->trigger();
    }
    // our cut copies before removing: the base editor's would leave no code text
    QCOMPARE(QString::fromUtf8(
                 QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("MimeTypeDoc"))),
             QStringLiteral("<doc>b</doc>"));
    QCOMPARE(texts(edit), QStringLiteral("ac"));

    QScopedPointer<QMenu> third(edit.createContextMenu(QPoint(1, 1)));
    for (QAction *action : third->actions()) {
        if (action->text() == QStringLiteral("粘贴\tCtrl+V"))
            action->trigger();
    }
    QCOMPARE(texts(edit), QStringLiteral("abc"));
    QCOMPARE(formatAt(edit, 1).objectType(), TextObjectType);
}

void tst_TextEdit::setPlainTextKeepsObjectHandler() {
    TextEdit edit;
    edit.setPlainText(QStringLiteral("ab"));
    edit.setPlainText(QStringLiteral("cd"));
    QCOMPARE(texts(edit), QStringLiteral("cd"));
    edit.resize(300, 100);
    edit.document()->setTextWidth(280);
    // the objects are sized by TextObject, not as empty inline objects
    QVERIFY(edit.document()->documentLayout()->blockBoundingRect(edit.document()->begin()).width() >
            10);
    QVERIFY(edit.document()->documentLayout()->handlerForObject(TextObjectType));
}

QTEST_MAIN(tst_TextEdit)
#include "tst_textedit.moc"
