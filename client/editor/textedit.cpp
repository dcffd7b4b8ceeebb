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
    for (QChar c : t) {
        QTextCharFormat format = plain;
        // code text reads "_" as a space; an underlined space is what "_" looks like and
        // survives saving
        if (c == QLatin1Char('_')) {
            format.setProperty(UnderlineProperty, int(SingleUnderline));
            c = QLatin1Char(' ');
        }
        format.setProperty(TextProperty, c);
        format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        insertObject(cursor, format);
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
    const QTextCursor selection = textCursor();
    if (!clipboard || !selection.hasSelection())
        return;
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
        current = convertObject(format, doc, current);
    }
    auto mime = new QMimeData;
    mime->setData(mimeTypeDoc, doc.toString(-1).toUtf8());
    mime->setText(plain);
    clipboard->setMimeData(mime);
}

void TextEdit::paste()
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    const QMimeData *mime = clipboard ? clipboard->mimeData() : nullptr;
    if (!mime)
        return;
    if (mime->hasFormat(mimeTypeDoc)) {
        insertCodeText(QString::fromUtf8(mime->data(mimeTypeDoc)));
    } else if (mime->hasHtml()) {
        insertHtml(mime->html());
    } else if (mime->hasImage()) {
        const QImage image = qvariant_cast<QImage>(mime->imageData());
        insertImage(image, image.width(), image.height());
    } else if (mime->hasText()) {
        insertPlainText(mime->text());
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
    const int key = event->key();
    if (key >= 0x20 && key <= 0x7e) {
        // with Ctrl the text of a letter key is a control character: not something to show
        QString text = event->text();
        text.remove(QRegularExpression(QStringLiteral("[\\x00-\\x1f\\x7f]")));
        if (!text.isEmpty())
            insertPlainText(text);
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
