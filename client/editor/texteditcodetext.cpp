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

// Nesting depth of an XML text, read without building a tree (a DOM of hostile depth would
// exhaust the stack when it is released).
int xmlDepth(const QString &text)
{
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
    return root.hasChildNodes() ? orderImageAttributes(doc.toString(-1)) : QString();
}

// The DOM writes attributes in hash order, which changes from run to run; stored code text
// always carries them as key, width, height.
QString TextEdit::orderImageAttributes(const QString &codeText)
{
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
        for (const QString &name :
            {QStringLiteral("key"), QStringLiteral("width"), QStringLiteral("height")}) {
            if (values.contains(name))
                result += QLatin1Char(' ') + name + QStringLiteral("=\"") + values.value(name)
                    + QLatin1Char('"');
        }
        result += QStringLiteral("/>");
        from = match.capturedEnd();
    }
    result += codeText.midRef(from);
    return result;
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

void TextEdit::insertCodeText(const QString &text)
{
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
