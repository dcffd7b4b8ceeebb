#include "editor/textedit.h"

#include "editor/codetextformat.h"
#include "editor/textedit_p.h"
#include "editor/textobjectproperty.h"

#include <QDebug>
#include <QDomDocument>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextTable>
#include <QXmlStreamReader>

using namespace TextEditFormats;

namespace {

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

int blankLengthOf(const QString &tag)
{
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

QString blankTagOf(int length)
{
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

// Characters XML 1.0 cannot carry; written, they would make the whole field unreadable.
bool representableInXml(uint c)
{
    if (c < 0x20)
        return c == 0x9 || c == 0xa || c == 0xd;
    if (c >= 0xd800 && c <= 0xdfff)
        return false;
    return c != 0xfffe && c != 0xffff;
}

void writeEscaped(QString &out, const QString &text, bool attribute)
{
    const QVector<uint> codePoints = text.toUcs4();
    for (uint c : codePoints) {
        if (c == '&')
            out += QLatin1String("&amp;");
        else if (c == '<')
            out += QLatin1String("&lt;");
        // a bare ">" would be read back as a tag's end followed by a space turned into "_"
        else if (c == '>')
            out += QLatin1String("&gt;");
        else if (attribute && c == '"')
            out += QLatin1String("&quot;");
        else if (representableInXml(c))
            out += QString::fromUcs4(&c, 1);
    }
}

void writeNode(QString &out, const QDomNode &node)
{
    if (node.isText()) {
        writeEscaped(out, node.nodeValue(), false);
        return;
    }
    if (!node.isElement())
        return;
    const QDomElement element = node.toElement();
    out += QLatin1Char('<') + element.tagName();
    // stored code text always carries the attributes of a picture as key, width, height
    for (const char *name : {"key", "width", "height"}) {
        const QString attribute = QLatin1String(name);
        if (element.hasAttribute(attribute)) {
            out += QLatin1Char(' ') + attribute + QLatin1String("=\"");
            writeEscaped(out, element.attribute(attribute), true);
            out += QLatin1Char('"');
        }
    }
    if (!element.hasChildNodes()) {
        out += QLatin1String("/>");
        return;
    }
    out += QLatin1Char('>');
    for (QDomNode child = element.firstChild(); !child.isNull(); child = child.nextSibling())
        writeNode(out, child);
    out += QLatin1String("</") + element.tagName() + QLatin1Char('>');
}

// Builds the tree of a code text. Unlike the DOM parser, the stream keeps the spaces that stand
// between two tags, so they need no stand-in character that would also change formula text.
// Whitespace without a space at either end (line breaks between tags) is layout, as it always
// was.
bool readCodeTextTree(const QString &text, QDomDocument &doc, int maxDepth)
{
    QXmlStreamReader reader(text);
    reader.setNamespaceProcessing(false);
    QDomNode current; // null at the document level, before the root
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            if (++depth > maxDepth) {
                qDebug() << "code text nested deeper than" << maxDepth << "not converted";
                return false;
            }
            QDomElement element = doc.createElement(reader.name().toString());
            const QXmlStreamAttributes attributes = reader.attributes();
            for (const QXmlStreamAttribute &attribute : attributes)
                element.setAttribute(attribute.name().toString(), attribute.value().toString());
            if (current.isNull())
                doc.appendChild(element);
            else
                current.appendChild(element);
            current = element;
            break;
        }
        case QXmlStreamReader::EndElement:
            --depth;
            current = current.parentNode();
            break;
        case QXmlStreamReader::Characters: {
            const QString data = reader.text().toString();
            if (reader.isWhitespace() && !data.startsWith(QLatin1Char(' '))
                && !data.endsWith(QLatin1Char(' ')))
                break;
            if (current.isElement())
                current.appendChild(doc.createTextNode(data));
            break;
        }
        default:
            break;
        }
    }
    if (reader.hasError()) {
        qDebug().noquote().nospace() << "parse file failed at line row and column"
                                     << reader.lineNumber() << ", " << reader.columnNumber();
        return false;
    }
    return true;
}

} // namespace

QString TextEdit::toCodeText()
{
    QDomDocument doc;
    QDomElement root = doc.createElement(QStringLiteral("doc"));
    doc.appendChild(root);
    QTextFrame *frame = document()->rootFrame();
    for (QTextFrame::iterator it = frame->begin(); !it.atEnd(); ++it)
        convertFrameItem(it, doc, root);
    const QDomNode last = root.lastChild();
    if (last.isElement() && last.toElement().tagName() == QLatin1String("n"))
        root.removeChild(last);
    return root.hasChildNodes() ? serializeCodeText(root) : QString();
}

QString TextEdit::serializeCodeText(const QDomElement &root)
{
    QString out;
    writeNode(out, root);
    return out;
}

void TextEdit::convertFrameItem(QTextFrame::iterator item, QDomDocument &doc, QDomElement parent)
{
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

QDomElement TextEdit::convertObject(
    const QTextCharFormat &format, QDomDocument &doc, QDomElement current)
{
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

bool TextEdit::isCodeText(const QString &text)
{
    return CodeTextFormat::isCodeText(text);
}

void TextEdit::setCodeText(const QString &text)
{
    clear();
    if (text.isEmpty() || (isCodeText(text) && readCodeText(text)))
        return;
    // A field stored by another producer, or code text this reader cannot convert, would
    // otherwise look empty, and the next save would erase it: show it as what it is.
    clear();
    static const QRegularExpression markup(QStringLiteral("<[A-Za-z!/][^>]*>"));
    if (text.contains(markup))
        insertHtml(text);
    if (document()->isEmpty())
        insertPlainText(text);
}

void TextEdit::insertCodeText(const QString &text)
{
    readCodeText(text);
}

bool TextEdit::readCodeText(const QString &text)
{
    if (text.isEmpty())
        return true;
    QDomDocument doc;
    if (!readCodeTextTree(text.trimmed(), doc, maxNestingDepth))
        return false;
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    // a cell outside any table of this text must not reach a table of an earlier one
    resetTableState();
    converCodeAt(cursor, newBlockFormat(), objectFormat(), doc.documentElement(), 0);
    resetTableState();
    cursor.endEditBlock();
    return true;
}

void TextEdit::converCode(QTextCursor cursor, QTextBlockFormat textBlockFormat,
    QTextCharFormat textCharFormat, const QDomNode &node)
{
    converCodeAt(cursor, textBlockFormat, textCharFormat, node, 0);
}

void TextEdit::resetTableState()
{
    currentTable = nullptr;
    currentRow = -1;
    currentColumn = -1;
}

void TextEdit::enterTableCell(QTextCursor &cursor)
{
    ++currentColumn;
    const int row = qMax(currentRow, 0);
    if (!currentTable) {
        QTextTableFormat format;
        format.setCellSpacing(0);
        currentTable = cursor.insertTable(1, 1, format);
    }
    // a cell may come after empty rows or before any table was opened
    if (row >= currentTable->rows() || currentColumn >= currentTable->columns())
        currentTable->resize(
            qMax(currentTable->rows(), row + 1), qMax(currentTable->columns(), currentColumn + 1));
    cursor = currentTable->cellAt(row, currentColumn).firstCursorPosition();
}

void TextEdit::converCodeAt(
    QTextCursor cursor, QTextBlockFormat bf, QTextCharFormat f, const QDomNode &node, int depth)
{
    if (depth > maxNestingDepth)
        return;
    if (node.isText()) {
        const QString data = spacesForUnderscores(node.nodeValue());
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        for (int i = 0; i < data.size();) {
            const int length = characterLength(data, i);
            if (length) {
                f.setProperty(TextProperty, characterValue(data, i, length));
                insertObject(cursor, f);
            }
            i += qMax(length, 1);
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
        insertSuperSubscript(
            spacesForUnderscores(element.firstChildElement(QStringLiteral("h")).text()),
            spacesForUnderscores(element.firstChildElement(QStringLiteral("f")).text()));
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
        insertSpace(length, spacesForUnderscores(element.text()), f);
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
