#include "editor/textedit.h"

#include "editor/codetextformat.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "editor/textobject.h"
#include "editor/textobjectproperty.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QClipboard>
#include <QDebug>
#include <QDomDocument>
#include <QGuiApplication>
#include <QHttpMultiPart>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextTable>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <gumbo.h>

#include <cctype>

namespace {

const QString mimeTypeDoc = QStringLiteral("MimeTypeDoc");
const QString pendingImagePrefix = QStringLiteral("quenmo-pending:");
// characters that open and close a frame (a table) in a document's text
const QChar beginningOfFrame(0xfdd0);
const QChar endOfFrame(0xfdd1);

QTextCharFormat objectFormat() {
    QTextCharFormat format;
    format.setObjectType(TextObjectType);
    return format;
}

QTextBlockFormat newBlockFormat() {
    QTextBlockFormat format;
    format.setTopMargin(8);
    return format;
}

bool blockIsEmpty(const QTextCursor &cursor) {
    return cursor.block().length() < 2;
}

// Nesting depth of an XML text, read without building a tree (a DOM of hostile depth would
// exhaust the stack when it is released).
int xmlDepth(const QString &text) {
    QXmlStreamReader reader(text);
    int depth = 0, deepest = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement)
            deepest = qMax(deepest, ++depth);
        else if (token == QXmlStreamReader::EndElement)
            --depth;
    }
    return deepest;
}

// Upper bound of the open elements an HTML text leaves nested, from its tags alone: void and
// implicitly closed elements do not count. The HTML parser slows down quadratically with depth.
bool htmlNestsDeeperThan(const QByteArray &html, int limit) {
    static const QList<QByteArray> flat = {"area", "base", "br", "col", "embed", "hr", "img",
                                           "input", "link", "meta", "param", "source", "track",
                                           "wbr", "p", "li", "td", "th", "tr", "option", "dt",
                                           "dd"};
    int depth = 0;
    const int size = html.size();
    for (int i = 0; i + 1 < size; ++i) {
        if (html.at(i) != '<')
            continue;
        if (html.at(i + 1) == '/') {
            depth = qMax(0, depth - 1);
            continue;
        }
        int end = i + 1;
        while (end < size && std::isalnum(static_cast<unsigned char>(html.at(end))))
            ++end;
        if (end == i + 1)
            continue;
        const int close = html.indexOf('>', end);
        if (close < 0)
            break;
        const bool selfClosing = html.at(close - 1) == '/';
        if (!selfClosing && !flat.contains(html.mid(i + 1, end - i - 1).toLower()) &&
            ++depth > limit)
            return true;
        i = close;
    }
    return false;
}

// The code text tags of the style states, in the writer's order.
struct StyleTag {
    const char *tag;
    int property;
    int value; // 0: boolean property
};
const StyleTag styleTags[] = {
    {"b", BoldProperty, 0},
    {"i", ItalicProperty, 0},
    {"d", StrikeOutProperty, 0},
    {"u", UnderlineProperty, 1},
    {"w", UnderlineProperty, 2},
    {"p", UnderlineProperty, 3},
    {"o", UnderlineProperty, 4},
    {"f", ScriptProperty, Subscript},
    {"h", ScriptProperty, Superscript},
};

int blankLengthOf(const QString &tag) {
    if (tag == QLatin1String("s1"))
        return 2;
    if (tag == QLatin1String("s2"))
        return 4;
    if (tag == QLatin1String("s3"))
        return 8;
    if (tag == QLatin1String("s4"))
        return 16;
    return 0;
}

QString blankTagOf(int length) {
    switch (length) {
    case 2:
        return QStringLiteral("s1");
    case 4:
        return QStringLiteral("s2");
    case 8:
        return QStringLiteral("s3");
    case 16:
        return QStringLiteral("s4");
    default:
        return QString();
    }
}

} // namespace

TextEdit::TextEdit(QWidget *parent)
    : QTextEdit(parent)
    , uploadManager(new QNetworkAccessManager(this))
    , downloadManager(new QNetworkAccessManager(this))
    , textObject(new TextObject(this)) {
    textObject->install(document());
    connect(uploadManager, &QNetworkAccessManager::finished, this, &TextEdit::replyUploadFinished);
    connect(downloadManager, &QNetworkAccessManager::finished, this,
            &TextEdit::replyDownloadFinished);
}

TextEdit::~TextEdit() = default;

// ---- format commands ----

void TextEdit::toggleProperty(int property, const QVariant &onValue) {
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

void TextEdit::toggleBold() {
    toggleProperty(BoldProperty, true);
}
void TextEdit::toggleItalic() {
    toggleProperty(ItalicProperty, true);
}
void TextEdit::toggleStrikeOut() {
    toggleProperty(StrikeOutProperty, true);
}
void TextEdit::toggleUnderline() {
    toggleProperty(UnderlineProperty, int(SingleUnderline));
}
void TextEdit::toggleWaveUnderline() {
    toggleProperty(UnderlineProperty, int(WaveUnderline));
}
void TextEdit::toggleUnderPoint() {
    toggleProperty(UnderlineProperty, int(UnderPoint));
}
void TextEdit::toggleRectangle() {
    toggleProperty(UnderlineProperty, int(Rectangle));
}
void TextEdit::toggleSubscript() {
    toggleProperty(ScriptProperty, int(Subscript));
}
void TextEdit::toggleSuperscript() {
    toggleProperty(ScriptProperty, int(Superscript));
}

void TextEdit::alignSelection(Qt::Alignment alignment, Qt::Alignment toggledFrom) {
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

void TextEdit::alignLeft() {
    alignSelection(Qt::AlignLeft, Qt::Alignment());
}
void TextEdit::alignCenter() {
    alignSelection(Qt::AlignHCenter, Qt::AlignHCenter);
}
void TextEdit::alignRight() {
    alignSelection(Qt::AlignRight, Qt::AlignRight);
}

void TextEdit::undo() {
    document()->undo();
}
void TextEdit::redo() {
    document()->redo();
}

// ---- insertion ----

void TextEdit::setPlaceholderText(const QString &text) {
    savedPlaceholderText = text;
    QTextEdit::setPlaceholderText(text);
}

void TextEdit::setPlainText(const QString &text) {
    clear();
    insertPlainText(text);
}

void TextEdit::insertObject(QTextCursor &cursor, const QTextCharFormat &format) {
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), format);
}

// One object at the cursor, middle-aligned, as one undo step.
void TextEdit::insertOneObject(QTextCharFormat format) {
    format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    insertObject(cursor, format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

void TextEdit::insertPlainText(const QString &text) {
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

void TextEdit::insertSpace(int length, const QString &text) {
    insertSpace(length, text, objectFormat());
}

void TextEdit::insertSpace(int length, const QString &text, QTextCharFormat textCharFormat) {
    textCharFormat.setProperty(SpaceLengthProperty, length);
    textCharFormat.setProperty(TextProperty, text);
    insertOneObject(textCharFormat);
}

void TextEdit::insertIndent() {
    QTextCursor cursor = textCursor();
    if (!cursor.atBlockStart())
        return;
    QTextCharFormat format = objectFormat();
    format.setProperty(IndentProperty, true);
    insertOneObject(format);
}

void TextEdit::insertSuperSubscript(const QString &super, const QString &sub) {
    QTextCharFormat format = objectFormat();
    format.setProperty(ScriptProperty, int(SuperSubscript));
    format.setProperty(TextProperty, QString(super + QLatin1Char(' ') + sub));
    insertOneObject(format);
}

void TextEdit::insertQuestionNum() {
    QTextCharFormat format = objectFormat();
    format.setProperty(QuestionNumProperty, true);
    insertOneObject(format);
}

void TextEdit::insertTable(int row, int col) {
    QTextTableFormat format;
    format.setCellSpacing(0);
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.insertTable(row, col, format);
    cursor.endEditBlock();
    setTextCursor(cursor);
}

QString TextEdit::clearText(const QString &text) {
    QString t = text;
    t.replace(QChar(QChar::Nbsp), QLatin1Char(' '));
    return t;
}

bool TextEdit::canInput(const QString &) {
    return true;
}

// ---- clipboard ----

void TextEdit::cut() {
    copy();
    QTextCursor cursor = textCursor();
    cursor.removeSelectedText();
    setTextCursor(cursor);
}

void TextEdit::copy() {
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

void TextEdit::paste() {
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

void TextEdit::keyPressEvent(QKeyEvent *event) {
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

void TextEdit::inputMethodEvent(QInputMethodEvent *event) {
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

QMenu *TextEdit::createContextMenu(const QPoint &position) {
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

void TextEdit::contextMenuEvent(QContextMenuEvent *event) {
    QMenu *menu = createContextMenu(event->pos());
    menu->exec(event->globalPos());
    delete menu;
}

// ---- image transfer ----

QUrl TextEdit::imageUrl(const QString &fileKey) {
    return Api::url(IMG_SERVER, QStringLiteral("/api/show/image?fileKey=") + fileKey);
}

QUrl TextEdit::formulaUrl(const QString &tex) {
    return Api::url(IMG_SERVER, QStringLiteral("/api/generate/formula?formulaStr=") +
                                    QString::fromLatin1(QUrl::toPercentEncoding(tex)));
}

QUrl TextEdit::uploadUrl() {
    return Api::url(IMG_SERVER, QStringLiteral("/api/upload/file"));
}

void TextEdit::insertPlaceholder(const QUrl &url, ImageInfo info) {
    static int serial = 0;
    info.placeholderName = pendingImagePrefix + QString::number(++serial);
    // the placeholder looks like Qt's own missing-image icon, without a file lookup per paint
    document()->addResource(
        QTextDocument::ImageResource, QUrl(info.placeholderName),
        QImage(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png")));
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    info.position = cursor.position();
    QTextImageFormat format;
    format.setName(info.placeholderName);
    format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    // the placeholder already knows what it stands for, so a field saved before the picture
    // arrives keeps its image or formula
    format.setProperty(FileKeyProperty, info.fileKey);
    format.setProperty(FormulaStrProperty, info.formulaStr);
    if (info.width > 0)
        format.setWidth(info.width);
    if (info.height > 0)
        format.setHeight(info.height);
    cursor.insertImage(format);
    cursor.endEditBlock();
    setTextCursor(cursor);
    downloadImage(url.toString(QUrl::FullyEncoded), info);
}

void TextEdit::insertImage(const QString &imageKey, int width, int height) {
    ImageInfo info;
    info.fileKey = imageKey;
    info.width = width;
    info.height = height;
    insertPlaceholder(imageUrl(imageKey), info);
}

void TextEdit::insertTex(const QString &tex) {
    if (tex.isEmpty())
        return;
    ImageInfo info;
    info.formulaStr = tex;
    insertPlaceholder(formulaUrl(tex), info);
}

void TextEdit::insertImage(const QImage &image, int width, int height) {
    uploadImage(image, width, height);
}

void TextEdit::uploadImage(const QImage &image, int width, int height) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    auto multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart usage;
    usage.setHeader(QNetworkRequest::ContentDispositionHeader,
                    QStringLiteral("form-data; name=\"fileUsageType\""));
    usage.setBody("2");
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("image/png"));
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
                   QStringLiteral("form-data; name=\"file\"; filename=\"icon.png\""));
    file.setBody(png);
    multiPart->append(usage);
    multiPart->append(file);

    // The bank's own image server keeps uploads per teacher; other image servers ignore it.
    QNetworkRequest request(uploadUrl());
    request.setRawHeader("loginToken", UserSession::instance().loginToken.toUtf8());
    QNetworkReply *reply = uploadManager->post(request, multiPart);
    multiPart->setParent(reply);
    ImageInfo info;
    info.width = width;
    info.height = height;
    uploadImageInfos.insert(reply, info);
}

void TextEdit::downloadImage(const QString &url, const ImageInfo &imageInfo) {
    QNetworkReply *reply = downloadManager->get(QNetworkRequest(QUrl(url, QUrl::TolerantMode)));
    downloadImageInfos.insert(reply, imageInfo);
}

void TextEdit::showWarning(const QString &text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), text, QMessageBox::NoButton,
                    this);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

void TextEdit::replyDownloadFinished(QNetworkReply *reply) {
    const ImageInfo info = downloadImageInfos.take(reply);
    if (reply->error() != QNetworkReply::NoError) {
        showWarning(reply->errorString());
        reply->deleteLater();
        return;
    }
    const QImage image = QImage::fromData(reply->readAll());
    reply->deleteLater();
    if (image.isNull())
        return;

    // the placeholder is found by its own name wherever edits have moved it; when it has been
    // deleted meanwhile the picture has no place any more
    QList<int> positions;
    if (!info.placeholderName.isEmpty()) {
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                if (format.isImageFormat() &&
                    format.toImageFormat().name() == info.placeholderName) {
                    for (int i = 0; i < fragment.length(); ++i)
                        positions << fragment.position() + i;
                }
            }
        }
    }
    if (positions.isEmpty())
        return;

    const QString name = info.fileKey + info.formulaStr;
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(info.width ? info.width : image.width());
    format.setHeight(info.height ? info.height : image.height());
    format.setProperty(FileKeyProperty, info.fileKey);
    format.setProperty(FormulaStrProperty, info.formulaStr);
    for (int position : qAsConst(positions)) {
        cursor.setPosition(position);
        cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
}

void TextEdit::replyUploadFinished(QNetworkReply *reply) {
    const ImageInfo info = uploadImageInfos.take(reply);
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        showWarning(reply->errorString());
        return;
    }
    QJsonObject envelope;
    if (!Api::parseEnvelope(reply->readAll(), &envelope))
        return;
    if (Api::status(envelope) != 0) {
        showWarning(envelope.value(QStringLiteral("msg")).toString());
        return;
    }
    const QString fileKey = envelope.value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("fileKey"))
                                .toString();
    insertImage(fileKey, info.width, info.height);
}

// ---- code text ----

QString TextEdit::toCodeText() {
    QDomDocument doc;
    QDomElement root = doc.createElement(QStringLiteral("doc"));
    doc.appendChild(root);
    QTextFrame *frame = document()->rootFrame();
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it)
        convertFrameItem(it, doc, root);
    const QDomNode last = root.lastChild();
    if (last.isElement() && last.toElement().tagName() == QLatin1String("n"))
        root.removeChild(last);
    return root.hasChildNodes() ? orderImageAttributes(doc.toString(-1)) : QString();
}

// The DOM writes attributes in hash order, which changes from run to run; stored code text
// always carries them as key, width, height.
QString TextEdit::orderImageAttributes(const QString &codeText) {
    static const QRegularExpression image(QStringLiteral("<v( [^<>]*)/>"));
    static const QRegularExpression attribute(QStringLiteral(" (key|width|height)=\"([^\"]*)\""));
    QString result;
    int from = 0;
    QRegularExpressionMatchIterator images = image.globalMatch(codeText);
    while (images.hasNext()) {
        const QRegularExpressionMatch match = images.next();
        QMap<QString, QString> values;
        QRegularExpressionMatchIterator attributes = attribute.globalMatch(match.captured(1));
        while (attributes.hasNext()) {
            const QRegularExpressionMatch a = attributes.next();
            values.insert(a.captured(1), a.captured(2));
        }
        result += codeText.midRef(from, match.capturedStart() - from);
        result += QStringLiteral("<v");
        for (const QString &name : {QStringLiteral("key"), QStringLiteral("width"), QStringLiteral("height")}) {
            if (values.contains(name))
                result += QLatin1Char(' ') + name + QStringLiteral("=\"") + values.value(name) + QLatin1Char('"');
        }
        result += QStringLiteral("/>");
        from = match.capturedEnd();
    }
    result += codeText.midRef(from);
    return result;
}

void TextEdit::convertFrameItem(QTextFrame::iterator item, QDomDocument &doc, QDomElement parent) {
    if (QTextFrame *frame = item.currentFrame()) {
        auto table = qobject_cast<QTextTable *>(frame);
        if (!table)
            return;
        const QDomNode last = parent.lastChild();
        if (last.isElement() && last.toElement().tagName() == QLatin1String("n"))
            parent.removeChild(last);
        QDomElement t = doc.createElement(QStringLiteral("t"));
        parent.appendChild(t);
        for (int i = 0; i < table->rows(); ++i) {
            QDomElement tr = doc.createElement(QStringLiteral("tr"));
            t.appendChild(tr);
            for (int j = 0; j < table->columns(); ++j) {
                QDomElement td = doc.createElement(QStringLiteral("td"));
                tr.appendChild(td);
                const QTextTableCell cell = table->cellAt(i, j);
                for (QTextFrame::iterator it = cell.begin(); !it.atEnd(); ++it)
                    convertFrameItem(it, doc, td);
                const QDomNode cellLast = td.lastChild();
                if (cellLast.isElement() && cellLast.toElement().tagName() == QLatin1String("n"))
                    td.removeChild(cellLast);
            }
        }
        return;
    }
    const QTextBlock block = item.currentBlock();
    if (!block.isValid())
        return;
    QDomElement container = parent;
    const Qt::Alignment alignment = block.blockFormat().alignment();
    if (alignment == Qt::AlignHCenter) {
        container = doc.createElement(QStringLiteral("c"));
        parent.appendChild(container);
    } else if (alignment == Qt::AlignRight) {
        container = doc.createElement(QStringLiteral("r"));
        parent.appendChild(container);
    }
    QDomElement current = container;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        if (!fragment.isValid())
            continue;
        const QTextCharFormat format = fragment.charFormat();
        for (int k = 0; k < fragment.length(); ++k)
            current = convertObject(format, doc, current);
    }
    parent.appendChild(doc.createElement(QStringLiteral("n")));
}

QDomElement TextEdit::convertObject(const QTextCharFormat &format, QDomDocument &doc,
                                    QDomElement current) {
    const QString text = format.property(TextProperty).toString();
    if (format.intProperty(ScriptProperty) == SuperSubscript) {
        const QStringList parts = text.split(QLatin1Char(' '));
        QDomElement g = doc.createElement(QStringLiteral("g"));
        QDomElement h = doc.createElement(QStringLiteral("h"));
        QDomElement f = doc.createElement(QStringLiteral("f"));
        h.appendChild(doc.createTextNode(parts.value(0)));
        f.appendChild(doc.createTextNode(parts.value(1)));
        g.appendChild(h);
        g.appendChild(f);
        current.appendChild(g);
        return current;
    }

    QStringList ancestors;
    for (QDomNode node = current; node.isElement(); node = node.parentNode())
        ancestors << node.toElement().tagName();

    for (const StyleTag &style : styleTags) {
        const QString tag = QLatin1String(style.tag);
        const bool wanted = style.value ? format.intProperty(style.property) == style.value
                                        : format.boolProperty(style.property);
        const bool present = ancestors.contains(tag);
        if (wanted && !present) {
            QDomElement opened = doc.createElement(tag);
            current.appendChild(opened);
            current = opened;
        } else if (!wanted && present) {
            QStringList passed;
            while (current.tagName() != tag) {
                passed << current.tagName();
                QDomNode parentNode = current.parentNode();
                if (!current.hasChildNodes())
                    parentNode.removeChild(current);
                current = parentNode.toElement();
            }
            QDomNode parentNode = current.parentNode();
            if (!current.hasChildNodes())
                parentNode.removeChild(current);
            current = parentNode.toElement();
            for (const QString &again : qAsConst(passed)) {
                QDomElement reopened = doc.createElement(again);
                current.appendChild(reopened);
                current = reopened;
            }
        }
    }

    const int spaceLength = format.intProperty(SpaceLengthProperty);
    if (!text.isEmpty() && spaceLength == 0) {
        // one text node per run: the serialiser escapes "]]>" only within a node
        QDomNode last = current.lastChild();
        if (last.isText())
            last.toText().appendData(text);
        else
            current.appendChild(doc.createTextNode(text));
    }
    if (format.isImageFormat()) {
        const QString formula = format.stringProperty(FormulaStrProperty);
        const QString fileKey = format.stringProperty(FileKeyProperty);
        if (!formula.isEmpty()) {
            QDomElement tex = doc.createElement(QStringLiteral("tex"));
            tex.appendChild(doc.createTextNode(formula));
            current.appendChild(tex);
        } else if (!fileKey.isEmpty()) {
            const QTextImageFormat image = format.toImageFormat();
            QDomElement v = doc.createElement(QStringLiteral("v"));
            v.setAttribute(QStringLiteral("key"), fileKey);
            v.setAttribute(QStringLiteral("width"), qRound(image.width()));
            v.setAttribute(QStringLiteral("height"), qRound(image.height()));
            current.appendChild(v);
        }
        return current;
    }
    if (format.boolProperty(IndentProperty)) {
        current.appendChild(doc.createElement(QStringLiteral("indent")));
        return current;
    }
    if (spaceLength != 0) {
        const QString tag = blankTagOf(spaceLength);
        if (!tag.isEmpty()) {
            QDomElement blank = doc.createElement(tag);
            QDomElement c = doc.createElement(QStringLiteral("c"));
            c.appendChild(doc.createTextNode(text));
            blank.appendChild(c);
            current.appendChild(blank);
        }
        return current;
    }
    if (format.boolProperty(QuestionNumProperty))
        current.appendChild(doc.createElement(QStringLiteral("a")));
    return current;
}

bool TextEdit::isCodeText(const QString &text) {
    return CodeTextFormat::isCodeText(text);
}

void TextEdit::setCodeText(const QString &text) {
    clear();
    if (text.isEmpty() || isCodeText(text)) {
        insertCodeText(text);
        return;
    }
    // A field stored by another producer would otherwise look empty, and the next save would
    // erase it: show it as what it is.
    static const QRegularExpression markup(QStringLiteral("<[A-Za-z!/][^>]*>"));
    if (text.contains(markup)) {
        insertHtml(text);
        return;
    }
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (i > 0) {
            QTextCursor cursor = textCursor();
            cursor.insertBlock(newBlockFormat());
            setTextCursor(cursor);
        }
        insertPlainText(QString(lines.at(i)).remove(QLatin1Char('\r')));
    }
}

void TextEdit::insertCodeText(const QString &text) {
    if (text.isEmpty())
        return;
    QString s = text.trimmed();
    // a space beside a tag would be lost by the XML parser; "_" reads back as a space
    s.replace(QLatin1String("> "), QLatin1String(">_"));
    s.replace(QLatin1String(" <"), QLatin1String("_<"));
    if (xmlDepth(s) > maxNestingDepth) {
        qDebug() << "code text nested deeper than" << maxNestingDepth << "not converted";
        return;
    }
    QDomDocument doc;
    QString error;
    int line = 0, column = 0;
    if (!doc.setContent(s, &error, &line, &column)) {
        qDebug().noquote().nospace()
            << "parse file failed at line row and column" << line << ", " << column;
        return;
    }
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    // a cell outside any table of this text must not reach a table of an earlier one
    resetTableState();
    converCodeAt(cursor, newBlockFormat(), objectFormat(), doc.documentElement(), 0);
    resetTableState();
    cursor.endEditBlock();
}

void TextEdit::converCode(QTextCursor cursor, QTextBlockFormat textBlockFormat,
                          QTextCharFormat textCharFormat, const QDomNode &node) {
    converCodeAt(cursor, textBlockFormat, textCharFormat, node, 0);
}

void TextEdit::resetTableState() {
    currentTable = nullptr;
    currentRow = -1;
    currentColumn = -1;
}

void TextEdit::enterTableCell(QTextCursor &cursor) {
    ++currentColumn;
    const int row = qMax(currentRow, 0);
    if (!currentTable) {
        QTextTableFormat format;
        format.setCellSpacing(0);
        currentTable = cursor.insertTable(1, 1, format);
    }
    // a cell may come after empty rows or before any table was opened
    if (row >= currentTable->rows() || currentColumn >= currentTable->columns())
        currentTable->resize(qMax(currentTable->rows(), row + 1),
                             qMax(currentTable->columns(), currentColumn + 1));
    cursor = currentTable->cellAt(row, currentColumn).firstCursorPosition();
}

void TextEdit::converCodeAt(QTextCursor cursor, QTextBlockFormat bf, QTextCharFormat f,
                            const QDomNode &node, int depth) {
    if (depth > maxNestingDepth)
        return;
    if (node.isText()) {
        const QString data = node.nodeValue();
        for (QChar c : data) {
            if (c == QLatin1Char('_'))
                c = QLatin1Char(' ');
            f.setProperty(TextProperty, c);
            f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            insertObject(cursor, f);
        }
        return;
    }
    if (!node.isElement())
        return;
    const QDomElement element = node.toElement();
    const QString tag = element.tagName();
    bool children = true;
    bool paragraph = false;
    if (tag == QLatin1String("b")) {
        f.setProperty(BoldProperty, true);
    } else if (tag == QLatin1String("i")) {
        f.setProperty(ItalicProperty, true);
    } else if (tag == QLatin1String("d")) {
        f.setProperty(StrikeOutProperty, true);
    } else if (tag == QLatin1String("u")) {
        f.setProperty(UnderlineProperty, int(SingleUnderline));
    } else if (tag == QLatin1String("w")) {
        f.setProperty(UnderlineProperty, int(WaveUnderline));
    } else if (tag == QLatin1String("p")) {
        f.setProperty(UnderlineProperty, int(UnderPoint));
    } else if (tag == QLatin1String("o")) {
        f.setProperty(UnderlineProperty, int(Rectangle));
    } else if (tag == QLatin1String("h")) {
        f.setProperty(ScriptProperty, int(Superscript));
    } else if (tag == QLatin1String("f")) {
        f.setProperty(ScriptProperty, int(Subscript));
    } else if (tag == QLatin1String("g")) {
        setTextCursor(cursor);
        insertSuperSubscript(element.firstChildElement(QStringLiteral("h")).text(),
                             element.firstChildElement(QStringLiteral("f")).text());
        children = false;
    } else if (tag == QLatin1String("n")) {
        QTextBlockFormat format = bf;
        format.setTopMargin(8);
        cursor.insertBlock(format);
        children = false;
    } else if (tag == QLatin1String("paragraph")) {
        if (!blockIsEmpty(cursor))
            cursor.insertBlock(bf);
        paragraph = true;
    } else if (const int length = blankLengthOf(tag)) {
        setTextCursor(cursor);
        insertSpace(length, element.text(), f);
        children = false;
    } else if (tag == QLatin1String("v")) {
        setTextCursor(cursor);
        insertImage(element.attribute(QStringLiteral("key")),
                    element.attribute(QStringLiteral("width")).toInt(),
                    element.attribute(QStringLiteral("height")).toInt());
        children = false;
    } else if (tag == QLatin1String("tex")) {
        setTextCursor(cursor);
        insertTex(element.text());
        children = false;
    } else if (tag == QLatin1String("c") || tag == QLatin1String("r")) {
        bf.setAlignment(tag == QLatin1String("c") ? Qt::AlignHCenter : Qt::AlignRight);
        if (blockIsEmpty(cursor))
            cursor.mergeBlockFormat(bf);
        else
            cursor.insertBlock(bf);
    } else if (tag == QLatin1String("indent")) {
        setTextCursor(cursor);
        insertIndent();
        children = false;
    } else if (tag == QLatin1String("a")) {
        setTextCursor(cursor);
        insertQuestionNum();
        children = false;
    } else if (tag == QLatin1String("t")) {
        resetTableState();
    } else if (tag == QLatin1String("tr")) {
        ++currentRow;
        currentColumn = -1;
    } else if (tag == QLatin1String("td")) {
        enterTableCell(cursor);
    }
    if (!children)
        return;
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling())
        converCodeAt(cursor, bf, f, child, depth + 1);
    if (paragraph && !blockIsEmpty(cursor))
        cursor.insertBlock(bf);
}

// ---- HTML ----

void TextEdit::insertHtml(const QString &text) {
    const QByteArray html = text.toUtf8();
    if (html.size() > maxHtmlBytes) {
        qDebug() << "pasted HTML of" << html.size() << "bytes not converted";
        return;
    }
    if (htmlNestsDeeperThan(html, maxHtmlNesting)) {
        qDebug() << "pasted HTML nested deeper than" << maxHtmlNesting << "not converted";
        return;
    }
    GumboOutput *output =
        gumbo_parse_with_options(&kGumboDefaultOptions, html.constData(), size_t(html.size()));
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    resetTableState();
    converHtmlAt(cursor, objectFormat(), output->root, 0);
    resetTableState();
    cursor.endEditBlock();
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

void TextEdit::converHtml(QTextCursor cursor, QTextCharFormat textCharFormat,
                          GumboInternalNode *node) {
    converHtmlAt(cursor, textCharFormat, node, 0);
}

void TextEdit::converHtmlAt(QTextCursor cursor, QTextCharFormat f, GumboInternalNode *node,
                            int depth) {
    if (!node || depth > maxNestingDepth)
        return;
    if (node->type == GUMBO_NODE_TEXT) {
        const QString t = clearText(QString::fromUtf8(node->v.text.text));
        for (QChar c : t) {
            QTextCharFormat format = f;
            if (c == QLatin1Char('_')) {
                format.setProperty(UnderlineProperty, int(SingleUnderline));
                c = QLatin1Char(' ');
            } else if (c == QLatin1Char('\n')) {
                c = QLatin1Char(' ');
            }
            format.setProperty(TextProperty, c);
            format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            insertObject(cursor, format);
        }
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement &element = node->v.element;
    if (element.tag == GUMBO_TAG_STYLE || element.tag == GUMBO_TAG_SCRIPT)
        return;
    const GumboAttribute *styleAttribute = gumbo_get_attribute(&element.attributes, "style");
    QString style;
    if (styleAttribute) {
        style = QString::fromUtf8(styleAttribute->value);
        style.replace(QRegularExpression(QStringLiteral(":\\s+")), QStringLiteral(":"));
    }
    const auto has = [&style](const char *text) { return style.contains(QLatin1String(text)); };

    switch (element.tag) {
    case GUMBO_TAG_B:
    case GUMBO_TAG_STRONG:
        f.setProperty(BoldProperty, true);
        break;
    case GUMBO_TAG_I:
    case GUMBO_TAG_EM:
        f.setProperty(ItalicProperty, true);
        break;
    case GUMBO_TAG_S:
        f.setProperty(StrikeOutProperty, true);
        break;
    case GUMBO_TAG_SUB:
        f.setProperty(ScriptProperty, int(Subscript));
        break;
    case GUMBO_TAG_SUP:
        f.setProperty(ScriptProperty, int(Superscript));
        break;
    case GUMBO_TAG_U:
        if (!styleAttribute)
            f.setProperty(UnderlineProperty, int(SingleUnderline));
        else if (has("text-underline:wave"))
            f.setProperty(UnderlineProperty, int(WaveUnderline));
        break;
    case GUMBO_TAG_SPAN:
        if (styleAttribute) {
            if (has("display:none"))
                return;
            if (has("font-weight:bold"))
                f.setProperty(BoldProperty, true);
            if (has("text-decoration:underline"))
                f.setProperty(UnderlineProperty, int(SingleUnderline));
            else if (has("font-emphasize:below dot") || has("font-emphasize:dot"))
                f.setProperty(UnderlineProperty, int(UnderPoint));
            if (has("vertical-align:super"))
                f.setProperty(ScriptProperty, int(Superscript));
            else if (has("vertical-align:sub"))
                f.setProperty(ScriptProperty, int(Subscript));
        }
        break;
    case GUMBO_TAG_P: {
        QTextBlockFormat format = newBlockFormat();
        if (has("text-align:center"))
            format.setAlignment(Qt::AlignHCenter);
        else if (has("text-align:right"))
            format.setAlignment(Qt::AlignRight);
        const bool indent = has("text-indent:") && !has("text-indent:0");
        if (blockIsEmpty(cursor))
            cursor.mergeBlockFormat(format);
        else
            cursor.insertBlock(format);
        if (indent) {
            setTextCursor(cursor);
            insertIndent();
        }
        break;
    }
    case GUMBO_TAG_BR:
        if (!blockIsEmpty(cursor))
            cursor.insertBlock(newBlockFormat());
        break;
    case GUMBO_TAG_IMG: {
        const GumboAttribute *src = gumbo_get_attribute(&element.attributes, "src");
        if (!src)
            break;
        const QUrlQuery query(QUrl(QString::fromUtf8(src->value)));
        const auto intAttribute = [&element](const char *name) {
            const GumboAttribute *attribute = gumbo_get_attribute(&element.attributes, name);
            return attribute ? QString::fromUtf8(attribute->value).toInt() : 0;
        };
        if (query.hasQueryItem(QStringLiteral("formulaStr"))) {
            QString value = query.queryItemValue(QStringLiteral("formulaStr"), QUrl::FullyDecoded);
            if (value.endsWith(QLatin1Char('"')))
                value.chop(1);
            setTextCursor(cursor);
            insertTex(value);
        } else if (query.hasQueryItem(QStringLiteral("fileKey"))) {
            setTextCursor(cursor);
            insertImage(query.queryItemValue(QStringLiteral("fileKey"), QUrl::FullyDecoded),
                        intAttribute("width"), intAttribute("height"));
        }
        break;
    }
    case GUMBO_TAG_TABLE:
        resetTableState();
        break;
    case GUMBO_TAG_TR:
        ++currentRow;
        currentColumn = -1;
        break;
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
        enterTableCell(cursor);
        break;
    default:
        break;
    }
    for (unsigned int i = 0; i < element.children.length; ++i)
        converHtmlAt(cursor, f, static_cast<GumboNode *>(element.children.data[i]), depth + 1);
}
