#include "editor/textedit.h"

#include "editor/textedit_p.h"
#include "editor/textobjectproperty.h"

#include <QDebug>
#include <QRegularExpression>
#include <QTextTable>
#include <QUrlQuery>

#include <gumbo.h>

#include <cctype>

using namespace TextEditFormats;

namespace {

// Upper bound of the open elements an HTML text leaves nested, from its tags alone: void and
// implicitly closed elements do not count. The HTML parser slows down quadratically with depth.
bool htmlNestsDeeperThan(const QByteArray &html, int limit)
{
    static const QList<QByteArray> flat
        = {"area", "base", "br", "col", "embed", "hr", "img", "input", "link", "meta", "param",
            "source", "track", "wbr", "p", "li", "td", "th", "tr", "option", "dt", "dd"};
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
        if (!selfClosing && !flat.contains(html.mid(i + 1, end - i - 1).toLower())
            && ++depth > limit)
            return true;
        i = close;
    }
    return false;
}

bool isInlineElement(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_TEXT)
        return true;
    if (node->type != GUMBO_NODE_ELEMENT)
        return false;
    switch (node->v.element.tag) {
    case GUMBO_TAG_A:
    case GUMBO_TAG_B:
    case GUMBO_TAG_STRONG:
    case GUMBO_TAG_I:
    case GUMBO_TAG_EM:
    case GUMBO_TAG_S:
    case GUMBO_TAG_U:
    case GUMBO_TAG_SUB:
    case GUMBO_TAG_SUP:
    case GUMBO_TAG_SPAN:
    case GUMBO_TAG_FONT:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_CODE:
    case GUMBO_TAG_SMALL:
    case GUMBO_TAG_BIG:
    case GUMBO_TAG_MARK:
    case GUMBO_TAG_STRIKE:
    case GUMBO_TAG_DEL:
    case GUMBO_TAG_INS:
        return true;
    default:
        return false;
    }
}

// The nearest sibling from index in direction step (-1 or 1) that is not a comment, nor
// whitespace when skipWhitespace; null when there is none.
const GumboNode *nearestSibling(
    const GumboVector &siblings, int index, int step, bool skipWhitespace)
{
    for (int i = index + step; i >= 0 && i < int(siblings.length); i += step) {
        const auto sibling = static_cast<const GumboNode *>(siblings.data[i]);
        if (sibling->type != GUMBO_NODE_COMMENT
            && !(skipWhitespace && sibling->type == GUMBO_NODE_WHITESPACE))
            return sibling;
    }
    return nullptr;
}

// Whitespace with inline content on both sides. A comment is not there at all, so the
// whitespace around one is a single run: only its first part counts.
bool separatesInlineContent(const GumboNode *node)
{
    const GumboNode *parent = node->parent;
    if (!parent || parent->type != GUMBO_NODE_ELEMENT)
        return false;
    const GumboVector &siblings = parent->v.element.children;
    const int index = int(node->index_within_parent);
    const GumboNode *before = nearestSibling(siblings, index, -1, false);
    const GumboNode *after = nearestSibling(siblings, index, 1, true);
    return before && after && before->type != GUMBO_NODE_WHITESPACE && isInlineElement(before)
        && isInlineElement(after);
}

QImage imageOfDataUrl(const QString &url)
{
    const int comma = url.indexOf(QLatin1Char(','));
    if (comma < 0)
        return QImage();
    const QString header = url.left(comma);
    const QByteArray data = url.mid(comma + 1).toLatin1();
    return QImage::fromData(header.endsWith(QLatin1String(";base64"), Qt::CaseInsensitive)
            ? QByteArray::fromBase64(data)
            : QByteArray::fromPercentEncoding(data));
}

} // namespace

void TextEdit::insertHtml(const QString &text)
{
    const QByteArray html = text.toUtf8();
    if (html.size() > maxHtmlBytes) {
        qDebug() << "pasted HTML of" << html.size() << "bytes not converted";
        return;
    }
    if (htmlNestsDeeperThan(html, maxHtmlNesting)) {
        qDebug() << "pasted HTML nested deeper than" << maxHtmlNesting << "not converted";
        return;
    }
    GumboOutput *output
        = gumbo_parse_with_options(&kGumboDefaultOptions, html.constData(), size_t(html.size()));
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    resetTableState();
    converHtmlAt(cursor, objectFormat(), output->root, 0);
    resetTableState();
    cursor.endEditBlock();
    gumbo_destroy_output(&kGumboDefaultOptions, output);
}

void TextEdit::converHtml(
    QTextCursor cursor, QTextCharFormat textCharFormat, GumboInternalNode *node)
{
    converHtmlAt(cursor, textCharFormat, node, 0);
}

void TextEdit::converHtmlAt(
    QTextCursor cursor, QTextCharFormat f, GumboInternalNode *node, int depth)
{
    if (!node || depth > maxNestingDepth)
        return;
    if (node->type == GUMBO_NODE_WHITESPACE) {
        // the space between two words of different styles is a word space; between blocks
        // (or at the edges of one) it is only layout
        if (!blockIsEmpty(cursor) && separatesInlineContent(node)) {
            QTextCharFormat format = f;
            format.setProperty(TextProperty, QChar(QLatin1Char(' ')));
            format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            insertObject(cursor, format);
        }
        return;
    }
    if (node->type == GUMBO_NODE_TEXT) {
        const QString t = clearText(QString::fromUtf8(node->v.text.text));
        for (int i = 0; i < t.size();) {
            const int length = characterLength(t, i);
            if (!length) {
                ++i;
                continue;
            }
            QTextCharFormat format = f;
            QVariant c = characterValue(t, i, length);
            if (t.at(i) == QLatin1Char('_')) {
                format.setProperty(UnderlineProperty, int(SingleUnderline));
                c = QChar(QLatin1Char(' '));
            } else if (t.at(i) == QLatin1Char('\n')) {
                c = QChar(QLatin1Char(' '));
            }
            format.setProperty(TextProperty, c);
            format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            insertObject(cursor, format);
            i += length;
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
        const QString source = QString::fromUtf8(src->value).trimmed();
        const QUrl url(source);
        const QUrlQuery query(url);
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
        } else if (url.scheme() == QLatin1String("data")) {
            // a picture inside the HTML (web pages, documents): uploaded like one from a file
            setTextCursor(cursor);
            insertPastedImage(imageOfDataUrl(source));
        } else if (url.scheme() == QLatin1String("http")
            || url.scheme() == QLatin1String("https")) {
            setTextCursor(cursor);
            insertForeignImage(url);
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
