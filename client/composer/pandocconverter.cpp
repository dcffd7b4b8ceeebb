#include "composer/pandocconverter.h"

#include <QDir>
#include <QImageReader>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace {

QString typeOf(const QJsonValue &node)
{
    return node.toObject().value(QLatin1String("t")).toString();
}

QJsonValue contentOf(const QJsonValue &node)
{
    return node.toObject().value(QLatin1String("c"));
}

// A length of Word's picture size ("2.5in", "4cm", "120px") in screen pixels at 96 dpi.
double pixels(const QString &length)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9.]+)\\s*(in|cm|mm|pt|px)?$"));
    const QRegularExpressionMatch match = pattern.match(length.trimmed());
    if (!match.hasMatch())
        return 0;
    const double value = match.captured(1).toDouble();
    const QString unit = match.captured(2);
    if (unit == QLatin1String("in"))
        return value * 96;
    if (unit == QLatin1String("cm"))
        return value * 96 / 2.54;
    if (unit == QLatin1String("mm"))
        return value * 96 / 25.4;
    if (unit == QLatin1String("pt"))
        return value * 96 / 72;
    return value;
}

int blankSize(int spaces)
{
    if (spaces <= 3)
        return 1;
    if (spaces <= 6)
        return 2;
    return spaces <= 12 ? 3 : 4;
}

// Runs of underscores and empty answer brackets "（　　）" become blanks. (pandoc drops the
// underline of spaces, so underlined spaces arrive as a space.)
PaperLine withBlanks(const PaperLine &line)
{
    static const QRegularExpression blanks(
        QStringLiteral("_{2,}|(?<=[（(])[ \\x{3000}]+(?=[)）])"));
    PaperLine out;
    for (const PaperInline &piece : line.pieces()) {
        if (piece.kind != PaperInline::Text) {
            out.append(piece);
            continue;
        }
        int from = 0;
        QRegularExpressionMatchIterator it = blanks.globalMatch(piece.text);
        while (it.hasNext()) {
            const QRegularExpressionMatch match = it.next();
            out.appendText(piece.text.mid(from, match.capturedStart() - from), piece.styles);
            PaperInline blank;
            blank.kind = PaperInline::Blank;
            blank.styles = piece.styles & ~PaperInline::Underline;
            blank.blankSize = match.captured().startsWith(QLatin1Char('_'))
                ? blankSize(match.capturedLength())
                : 2;
            out.append(blank);
            from = match.capturedEnd();
        }
        out.appendText(piece.text.mid(from), piece.styles);
    }
    return out;
}

QString romanNumber(int number)
{
    static const char *const numerals[]
        = {"i", "ii", "iii", "iv", "v", "vi", "vii", "viii", "ix", "x", "xi", "xii"};
    return number >= 1 && number <= 12 ? QLatin1String(numerals[number - 1])
                                       : QString::number(number);
}

QString listMarker(const QJsonArray &attributes, int number, int listDepth)
{
    const QString style = typeOf(attributes.at(1));
    const QString delimiter = typeOf(attributes.at(2));
    if (style == QLatin1String("UpperAlpha") || style == QLatin1String("LowerAlpha")) {
        const QChar letter(QLatin1Char('A').unicode() + (number - 1) % 26);
        if (delimiter == QLatin1String("TwoParens"))
            return QLatin1Char('(') + QString(letter) + QLatin1Char(')');
        return QString(letter) + QLatin1Char('.');
    }
    if (style == QLatin1String("LowerRoman"))
        return romanNumber(number) + QLatin1Char('.');
    if (style == QLatin1String("UpperRoman"))
        return romanNumber(number).toUpper() + QLatin1Char('.');
    // a numbered list inside another one numbers the sub-questions of a question
    if (listDepth > 0 || delimiter == QLatin1String("TwoParens"))
        return QStringLiteral("（") + QString::number(number) + QStringLiteral("）");
    return QString::number(number) + QLatin1Char('.');
}

} // namespace

bool PandocConverter::convert(const QJsonDocument &document, const QString &baseDir)
{
    m_blocks.clear();
    m_formulas = 0;
    m_baseDir = baseDir;
    const QJsonObject root = document.object();
    if (!root.value(QLatin1String("blocks")).isArray())
        return false;
    convertBlocks(root.value(QLatin1String("blocks")).toArray(), 0, QString());
    return true;
}

void PandocConverter::convertBlocks(const QJsonArray &blocks, int listDepth, const QString &marker)
{
    QString pending = marker;
    for (const QJsonValue &block : blocks)
        convertBlock(block, listDepth, pending);
    if (!pending.isEmpty())
        appendParagraph(PaperLine(), false, pending);
}

void PandocConverter::appendParagraph(const PaperLine &line, bool heading, QString &marker)
{
    PaperBlock block;
    block.heading = heading;
    if (!marker.isEmpty()) {
        block.line.appendText(marker + QLatin1Char(' '));
        marker.clear();
    }
    block.line.append(withBlanks(line));
    m_blocks.append(block);
}

void PandocConverter::convertBlock(const QJsonValue &block, int listDepth, QString &marker)
{
    const QString type = typeOf(block);
    const QJsonValue content = contentOf(block);
    if (type == QLatin1String("Para") || type == QLatin1String("Plain")) {
        PaperLine line;
        convertInlines(content.toArray(), 0, line);
        appendParagraph(line, false, marker);
    } else if (type == QLatin1String("Header")) {
        PaperLine line;
        convertInlines(content.toArray().at(2).toArray(), 0, line);
        appendParagraph(line, true, marker);
    } else if (type == QLatin1String("LineBlock")) {
        for (const QJsonValue &inlines : content.toArray()) {
            PaperLine line;
            convertInlines(inlines.toArray(), 0, line);
            appendParagraph(line, false, marker);
        }
    } else if (type == QLatin1String("CodeBlock")) {
        PaperLine line;
        const QStringList lines = content.toArray().at(1).toString().split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (i > 0) {
                PaperInline lineBreak;
                lineBreak.kind = PaperInline::Break;
                line.append(lineBreak);
            }
            line.appendText(lines.at(i));
        }
        appendParagraph(line, false, marker);
    } else if (type == QLatin1String("OrderedList")) {
        if (!marker.isEmpty())
            appendParagraph(PaperLine(), false, marker);
        convertOrderedList(content.toArray(), listDepth);
    } else if (type == QLatin1String("BulletList")) {
        for (const QJsonValue &item : content.toArray()) {
            convertBlocks(item.toArray(), listDepth, marker);
            marker.clear();
        }
    } else if (type == QLatin1String("BlockQuote")) {
        convertBlocks(content.toArray(), listDepth, marker);
        marker.clear();
    } else if (type == QLatin1String("Div") || type == QLatin1String("Figure")) {
        convertBlocks(content.toArray().last().toArray(), listDepth, marker);
        marker.clear();
    } else if (type == QLatin1String("DefinitionList")) {
        for (const QJsonValue &item : content.toArray()) {
            PaperLine term;
            convertInlines(item.toArray().at(0).toArray(), 0, term);
            appendParagraph(term, false, marker);
            for (const QJsonValue &definition : item.toArray().at(1).toArray())
                convertBlocks(definition.toArray(), listDepth, QString());
        }
    } else if (type == QLatin1String("Table")) {
        if (!marker.isEmpty())
            appendParagraph(PaperLine(), false, marker);
        convertTable(content.toArray());
    }
    // RawBlock, HorizontalRule, Null: nothing a teacher would miss
}

void PandocConverter::convertOrderedList(const QJsonArray &content, int listDepth)
{
    const QJsonArray attributes = content.at(0).toArray();
    int number = attributes.at(0).toInt(1);
    for (const QJsonValue &item : content.at(1).toArray())
        convertBlocks(item.toArray(), listDepth + 1, listMarker(attributes, number++, listDepth));
}

void PandocConverter::convertTable(const QJsonArray &content)
{
    // Table attr caption colspecs head [body] foot; a row is [attr, [cell]], a cell
    // [attr, alignment, rowspan, colspan, [block]]
    QJsonArray rows;
    const auto addRows = [&rows](const QJsonValue &list) {
        for (const QJsonValue &row : list.toArray())
            rows.append(row);
    };
    addRows(content.at(3).toArray().at(1));
    for (const QJsonValue &body : content.at(4).toArray()) {
        addRows(body.toArray().at(2));
        addRows(body.toArray().at(3));
    }
    addRows(content.at(5).toArray().at(1));

    PaperBlock table;
    table.kind = PaperBlock::Table;
    for (const QJsonValue &row : rows) {
        QList<PaperLine> cells;
        for (const QJsonValue &cell : row.toArray().at(1).toArray()) {
            const QJsonArray parts = cell.toArray();
            cells.append(cellLine(parts.at(4).toArray()));
            // a merged cell keeps the grid's columns
            for (int span = 1; span < parts.at(3).toInt(1); ++span)
                cells.append(PaperLine());
        }
        table.rows.append(cells);
    }
    if (!table.rows.isEmpty())
        m_blocks.append(table);
}

PaperLine PandocConverter::cellLine(const QJsonArray &blocks)
{
    // the blocks of a cell are read like the document's and joined by breaks
    PaperBlockList outer;
    outer.swap(m_blocks);
    convertBlocks(blocks, 0, QString());
    outer.swap(m_blocks);
    PaperLine line;
    for (const PaperBlock &block : outer) {
        PaperLine part = block.line;
        if (block.kind == PaperBlock::Table) {
            for (const QList<PaperLine> &row : block.rows) {
                for (const PaperLine &cell : row) {
                    part.append(cell);
                    part.appendText(QStringLiteral(" "));
                }
            }
        }
        part = part.trimmed();
        if (part.isEmpty())
            continue;
        if (!line.isEmpty()) {
            PaperInline lineBreak;
            lineBreak.kind = PaperInline::Break;
            line.append(lineBreak);
        }
        line.append(part);
    }
    return line;
}

void PandocConverter::convertInlines(const QJsonArray &inlines, int styles, PaperLine &line)
{
    for (const QJsonValue &node : inlines)
        convertInline(node, styles, line);
}

void PandocConverter::convertInline(const QJsonValue &node, int styles, PaperLine &line)
{
    const QString type = typeOf(node);
    const QJsonValue content = contentOf(node);
    if (type == QLatin1String("Str")) {
        line.appendText(content.toString(), styles);
    } else if (type == QLatin1String("Space") || type == QLatin1String("SoftBreak")) {
        line.appendText(QStringLiteral(" "), styles);
    } else if (type == QLatin1String("LineBreak")) {
        PaperInline lineBreak;
        lineBreak.kind = PaperInline::Break;
        line.append(lineBreak);
    } else if (type == QLatin1String("Emph")) {
        convertInlines(content.toArray(), styles | PaperInline::Italic, line);
    } else if (type == QLatin1String("Strong")) {
        convertInlines(content.toArray(), styles | PaperInline::Bold, line);
    } else if (type == QLatin1String("Underline")) {
        convertInlines(content.toArray(), styles | PaperInline::Underline, line);
    } else if (type == QLatin1String("Strikeout")) {
        convertInlines(content.toArray(), styles | PaperInline::StrikeOut, line);
    } else if (type == QLatin1String("Superscript")) {
        convertInlines(
            content.toArray(), (styles & ~PaperInline::Subscript) | PaperInline::Superscript, line);
    } else if (type == QLatin1String("Subscript")) {
        convertInlines(
            content.toArray(), (styles & ~PaperInline::Superscript) | PaperInline::Subscript, line);
    } else if (type == QLatin1String("SmallCaps")) {
        convertInlines(content.toArray(), styles, line);
    } else if (type == QLatin1String("Span") || type == QLatin1String("Link")) {
        convertInlines(content.toArray().at(1).toArray(), styles, line);
    } else if (type == QLatin1String("Cite")) {
        convertInlines(content.toArray().at(1).toArray(), styles, line);
    } else if (type == QLatin1String("Quoted")) {
        const bool single = typeOf(content.toArray().at(0)) == QLatin1String("SingleQuote");
        line.appendText(single ? QStringLiteral("‘") : QStringLiteral("“"), styles);
        convertInlines(content.toArray().at(1).toArray(), styles, line);
        line.appendText(single ? QStringLiteral("’") : QStringLiteral("”"), styles);
    } else if (type == QLatin1String("Code")) {
        line.appendText(content.toArray().at(1).toString(), styles);
    } else if (type == QLatin1String("Math")) {
        PaperInline formula;
        formula.kind = PaperInline::Formula;
        formula.display = typeOf(content.toArray().at(0)) == QLatin1String("DisplayMath");
        formula.text = content.toArray().at(1).toString().trimmed();
        if (!formula.text.isEmpty()) {
            line.append(formula);
            ++m_formulas;
        }
    } else if (type == QLatin1String("Image")) {
        line.append(picture(content.toArray()));
    }
    // RawInline, Note: left out
}

PaperInline PandocConverter::picture(const QJsonArray &content) const
{
    PaperInline out;
    out.kind = PaperInline::Picture;
    const QString source = content.at(2).toArray().at(0).toString();
    out.text = QDir::cleanPath(QDir(m_baseDir).absoluteFilePath(source));
    double width = 0;
    double height = 0;
    for (const QJsonValue &pair : content.at(0).toArray().at(2).toArray()) {
        const QString key = pair.toArray().at(0).toString();
        if (key == QLatin1String("width"))
            width = pixels(pair.toArray().at(1).toString());
        else if (key == QLatin1String("height"))
            height = pixels(pair.toArray().at(1).toString());
    }
    if (width <= 0 || height <= 0) {
        const QSize size = QImageReader(out.text).size();
        if (size.isValid() && size.width() > 0) {
            if (width > 0) {
                height = width * size.height() / size.width();
            } else if (height > 0) {
                width = height * size.width() / size.height();
            } else {
                width = size.width();
                height = size.height();
            }
        }
    }
    if (width > maxPictureWidth) {
        height = height * maxPictureWidth / width;
        width = maxPictureWidth;
    }
    out.width = qRound(width);
    out.height = qRound(height);
    return out;
}
