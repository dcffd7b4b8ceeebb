#include "editor/textedit.h"

#include "editor/textedit_p.h"
#include "editor/textobject.h"
#include "editor/textobjectproperty.h"

#include <QClipboard>
#include <QDomDocument>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextTable>

using namespace TextEditFormats;

namespace {

const QString mimeTypeDoc = QStringLiteral("MimeTypeDoc");
// characters that open and close a frame (a table) in a document's text
const QChar beginningOfFrame(0xfdd0);
const QChar endOfFrame(0xfdd1);

} // namespace

TextEdit::TextEdit(QWidget *parent)
    : QTextEdit(parent)
    , uploadManager(new QNetworkAccessManager(this))
    , downloadManager(new QNetworkAccessManager(this))
    , textObject(new TextObject(this))
{
    textObject->install(document());
    connect(uploadManager, &QNetworkAccessManager::finished, this, &TextEdit::replyUploadFinished);
    connect(
        downloadManager, &QNetworkAccessManager::finished, this, &TextEdit::replyDownloadFinished);
}

TextEdit::~TextEdit() = default;

// ---- format commands ----

void TextEdit::toggleProperty(int property, const QVariant &onValue)
{
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return;
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    // the format at the cursor is that of the last selected character
    const QVariant current = cursor.charFormat().property(property);
    QTextCharFormat change;
    if (onValue.type() == QVariant::Bool)
        change.setProperty(property, !current.toBool());
    else
        change.setProperty(property, current.toInt() == onValue.toInt() ? 0 : onValue.toInt());
    cursor.beginEditBlock();
    cursor.mergeCharFormat(change);
    cursor.endEditBlock();
}

void TextEdit::toggleBold()
{
    toggleProperty(BoldProperty, true);
}
void TextEdit::toggleItalic()
{
    toggleProperty(ItalicProperty, true);
}
void TextEdit::toggleStrikeOut()
{
    toggleProperty(StrikeOutProperty, true);
}
void TextEdit::toggleUnderline()
{
    toggleProperty(UnderlineProperty, int(SingleUnderline));
}
void TextEdit::toggleWaveUnderline()
{
    toggleProperty(UnderlineProperty, int(WaveUnderline));
}
void TextEdit::toggleUnderPoint()
{
    toggleProperty(UnderlineProperty, int(UnderPoint));
}
void TextEdit::toggleRectangle()
{
    toggleProperty(UnderlineProperty, int(Rectangle));
}
void TextEdit::toggleSubscript()
{
    toggleProperty(ScriptProperty, int(Subscript));
}
void TextEdit::toggleSuperscript()
{
    toggleProperty(ScriptProperty, int(Superscript));
}

void TextEdit::alignSelection(Qt::Alignment alignment, Qt::Alignment toggledFrom)
{
    QTextCursor cursor = textCursor();
    if (!cursor.hasSelection())
        return;
    QTextBlockFormat format = cursor.blockFormat();
    if (toggledFrom && format.alignment() == toggledFrom)
        alignment = Qt::AlignLeft;
    format.setAlignment(alignment);
    cursor.beginEditBlock();
    cursor.mergeBlockFormat(format);
    cursor.endEditBlock();
}

void TextEdit::alignLeft()
{
    alignSelection(Qt::AlignLeft, Qt::Alignment());
}
void TextEdit::alignCenter()
{
    alignSelection(Qt::AlignHCenter, Qt::AlignHCenter);
}
void TextEdit::alignRight()
{
    alignSelection(Qt::AlignRight, Qt::AlignRight);
}

void TextEdit::undo()
{
    document()->undo();
}
void TextEdit::redo()
{
    document()->redo();
}

// ---- insertion ----

void TextEdit::setPlaceholderText(const QString &text)
{
    savedPlaceholderText = text;
    QTextEdit::setPlaceholderText(text);
}

void TextEdit::setPlainText(const QString &text)
{
    clear();
    insertPlainText(text);
}

void TextEdit::insertObject(QTextCursor &cursor, const QTextCharFormat &format)
{
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

// One object at the cursor, middle-aligned, as one undo step.
void TextEdit::insertOneObject(QTextCharFormat format)
{
    format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    insertObject(cursor, format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TextEdit::insertPlainText(const QString &text)
{
    const QString t = clearText(text);
    const QTextCharFormat plain = objectFormat();
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    for (int i = 0; i < t.size();) {
        const QChar c = t.at(i);
        // every line break of pasted text (\n, \r\n, \r, or Unicode's own) starts a paragraph
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
            || c == QChar::ParagraphSeparator) {
            cursor.insertBlock(newBlockFormat());
            i += (c == QLatin1Char('\r') && t.midRef(i, 2) == QLatin1String("\r\n")) ? 2 : 1;
            continue;
        }
        const int length = characterLength(t, i);
        // half a surrogate pair and control characters other than tab cannot be saved
        if (length == 0 || (c.category() == QChar::Other_Control && c != QLatin1Char('\t'))) {
            ++i;
            continue;
        }
        QTextCharFormat format = plain;
        // code text reads "_" as a space; an underlined space is what "_" looks like and
        // survives saving
        if (c == QLatin1Char('_')) {
            format.setProperty(UnderlineProperty, int(SingleUnderline));
            format.setProperty(TextProperty, QChar(QLatin1Char(' ')));
        } else {
            format.setProperty(TextProperty, characterValue(t, i, length));
        }
        format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        insertObject(cursor, format);
        i += length;
    }
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TextEdit::insertSpace(int length, const QString &text)
{
    insertSpace(length, text, objectFormat());
}

void TextEdit::insertSpace(int length, const QString &text, QTextCharFormat textCharFormat)
{
    textCharFormat.setProperty(SpaceLengthProperty, length);
    textCharFormat.setProperty(TextProperty, text);
    insertOneObject(textCharFormat);
}

void TextEdit::insertIndent()
{
    QTextCursor cursor = textCursor();
    if (!cursor.atBlockStart())
        return;
    QTextCharFormat format = objectFormat();
    format.setProperty(IndentProperty, true);
    insertOneObject(format);
}

void TextEdit::insertSuperSubscript(const QString &super, const QString &sub)
{
    QTextCharFormat format = objectFormat();
    format.setProperty(ScriptProperty, int(SuperSubscript));
    format.setProperty(TextProperty, QString(super + QLatin1Char(' ') + sub));
    insertOneObject(format);
}

void TextEdit::insertQuestionNum()
{
    QTextCharFormat format = objectFormat();
    format.setProperty(QuestionNumProperty, true);
    insertOneObject(format);
}

void TextEdit::insertTable(int row, int col)
{
    QTextTableFormat format;
    format.setCellSpacing(0);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertTable(row, col, format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

QString TextEdit::clearText(const QString &text)
{
    QString t = text;
    t.replace(QChar(QChar::Nbsp), QLatin1Char(' '));
    return t;
}

bool TextEdit::canInput(const QString &)
{
    return true;
}

// ---- clipboard ----

void TextEdit::cut()
{
    copy();
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

void TextEdit::copy()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard || !textCursor().hasSelection())
        return;
    clipboard->setMimeData(createMimeDataFromSelection());
}

void TextEdit::paste()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *mime = clipboard ? clipboard->mimeData() : nullptr;
    if (mime)
        insertFromMimeData(mime);
}

// What copy puts on the clipboard and what a drag carries: the selection as code text and as
// plain text.
QMimeData *TextEdit::createMimeDataFromSelection() const
{
    const QTextCursor selection = textCursor();
    QDomDocument doc;
    QDomElement root = doc.createElement(QStringLiteral("doc"));
    doc.appendChild(root);
    QDomElement current = root;
    QString plain;
    QTextCursor cursor(document());
    for (int p = selection.selectionStart(); p < selection.selectionEnd(); ++p) {
        const QChar c = document()->characterAt(p);
        // keep the paragraphs of a selection apart: styles close at the break
        if (c == QChar::ParagraphSeparator) {
            root.appendChild(doc.createElement(QStringLiteral("n")));
            plain += QLatin1Char('\n');
            current = root;
            continue;
        }
        if (c == beginningOfFrame || c == endOfFrame)
            continue;
        cursor.setPosition(p);
        cursor.setPosition(p + 1, QTextCursor::KeepAnchor);
        const QTextCharFormat format = cursor.charFormat();
        plain += format.property(TextProperty).toString();
        current = const_cast<TextEdit *>(this)->convertObject(format, doc, current);
    }
    auto mime = new QMimeData;
    mime->setData(mimeTypeDoc, serializeCodeText(root).toUtf8());
    mime->setText(plain);
    return mime;
}

bool TextEdit::canInsertFromMimeData(const QMimeData *source) const
{
    return source->hasFormat(mimeTypeDoc) || source->hasHtml() || source->hasImage()
        || source->hasText();
}

// Paste and drop alike: a drop inserts exactly what a paste of the same data would, at the
// cursor the base editor has put at the drop position.
void TextEdit::insertFromMimeData(const QMimeData *source)
{
    if (source->hasFormat(mimeTypeDoc)) {
        insertCodeText(QString::fromUtf8(source->data(mimeTypeDoc)));
    } else if (source->hasHtml()) {
        insertHtml(source->html());
    } else if (source->hasImage()) {
        insertPastedImage(qvariant_cast<QImage>(source->imageData()));
    } else if (source->hasText()) {
        insertPlainText(source->text());
    }
}

// ---- events ----

void TextEdit::keyPressEvent(QKeyEvent *event)
{
    if (isReadOnly()) {
        event->ignore();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_V:
            paste();
            return;
        case Qt::Key_C:
            copy();
            return;
        case Qt::Key_X:
            cut();
            return;
        case Qt::Key_A: {
            QTextCursor cursor = textCursor();
            cursor.movePosition(QTextCursor::Start);
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
            setTextCursor(cursor);
            return;
        }
        case Qt::Key_Z:
            document()->undo();
            return;
        case Qt::Key_Y:
            document()->redo();
            return;
        default:
            break;
        }
    }
    // the clipboard keys of other platforms take the same code-text route as Ctrl+V/C/X
    if (event->modifiers() == Qt::ShiftModifier && event->key() == Qt::Key_Insert) {
        paste();
        return;
    }
    if (event->modifiers() == Qt::ShiftModifier && event->key() == Qt::Key_Delete) {
        cut();
        return;
    }
    if (event->modifiers() == Qt::ControlModifier && event->key() == Qt::Key_Insert) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::Cut)) {
        cut();
        return;
    }
    const int key = event->key();
    if (key >= 0x20 && key <= 0x7e) {
        // with Ctrl the text of a letter key is a control character: not something to show
        QString text = event->text();
        text.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
        if (!text.isEmpty())
            insertPlainText(text);
        return;
    }
    // any other key that produces text ("£", "é", a character beyond the BMP) inserts objects
    // of that text, never ordinary characters of the base editor
    if (producesText(event)) {
        insertPlainText(event->text());
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        QTextCursor cursor = textCursor();
        cursor.insertBlock(newBlockFormat());
        setTextCursor(cursor);
        return;
    }
    if (key == Qt::Key_Tab) {
        insertIndent();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

// As the base editor decides what is typed text: Ctrl and Ctrl+Shift are shortcuts, AltGr
// (Ctrl+Alt on some systems) is not.
bool TextEdit::producesText(const QKeyEvent *event)
{
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    const QChar c = text.at(0);
    if (c.category() == QChar::Other_Format)
        return true;
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    if (modifiers == Qt::ControlModifier || modifiers == (Qt::ShiftModifier | Qt::ControlModifier))
        return false;
    return c.isPrint() || c.category() == QChar::Other_PrivateUse || characterLength(text, 0) == 2;
}

void TextEdit::inputMethodEvent(QInputMethodEvent *event)
{
    if (!event->preeditString().isEmpty())
        QTextEdit::setPlaceholderText(QString());
    else
        QTextEdit::setPlaceholderText(savedPlaceholderText);
    if (!event->commitString().isEmpty()) {
        insertPlainText(event->commitString());
        event->setCommitString(QString());
    }
    QTextEdit::inputMethodEvent(event);
}

QMenu *TextEdit::createContextMenu(const QPoint &position)
{
    QMenu *menu = createStandardContextMenu(position);
    const auto rewire = [this](QAction *action, void (TextEdit::*slot)()) {
        disconnect(action, &QAction::triggered, nullptr, nullptr);
        connect(action, &QAction::triggered, this, slot);
    };
    const QList<QAction *> actions = menu->actions();
    for (QAction *action : actions) {
        const QString text = action->text();
        qDebug().noquote() << text;
        if (text == QLatin1String("&Undo\tCtrl+Z")) {
            action->setText(QStringLiteral("撤销\tCtrl+Z"));
        } else if (text == QLatin1String("&Redo\tCtrl+Y")) {
            action->setText(QStringLiteral("恢复\tCtrl+Y"));
        } else if (text == QLatin1String("Cu&t\tCtrl+X")) {
            action->setText(QStringLiteral("剪切\tCtrl+X"));
            rewire(action, &TextEdit::cut);
        } else if (text == QLatin1String("&Copy\tCtrl+C")) {
            action->setText(QStringLiteral("复制\tCtrl+C"));
            rewire(action, &TextEdit::copy);
        } else if (text == QLatin1String("&Paste\tCtrl+V")) {
            action->setText(QStringLiteral("粘贴\tCtrl+V"));
            rewire(action, &TextEdit::paste);
        } else if (text == QLatin1String("Delete")) {
            action->setText(QStringLiteral("删除"));
        } else if (text == QLatin1String("Select All\tCtrl+A")) {
            action->setText(QStringLiteral("全选\tCtrl+A"));
        }
    }
    return menu;
}

void TextEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createContextMenu(event->pos());
    menu->exec(event->globalPos());
    delete menu;
}
