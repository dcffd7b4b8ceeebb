#include "composer/papercodetext.h"

namespace {

// A picture this wide seldom fits beside text on a line of the composer; where it does not,
// Qt lays the line before it out as tall as the picture, a blank band above the text. It
// stands in a paragraph of its own instead.
constexpr int ownLineWidth = 600;

QString escaped(const QString &text, bool attribute = false)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('&'))
            out += QLatin1String("&amp;");
        else if (c == QLatin1Char('<'))
            out += QLatin1String("&lt;");
        else if (c == QLatin1Char('>'))
            out += QLatin1String("&gt;");
        else if (attribute && c == QLatin1Char('"'))
            out += QLatin1String("&quot;");
        else if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
            out += c;
    }
    return out;
}

// in the editor writer's order of nesting
const struct {
    int style;
    const char *tag;
} styleTags[] = {
    {PaperInline::Bold, "b"},
    {PaperInline::Italic, "i"},
    {PaperInline::StrikeOut, "d"},
    {PaperInline::Underline, "u"},
    {PaperInline::Subscript, "f"},
    {PaperInline::Superscript, "h"},
};

QString opening(int styles)
{
    QString out;
    for (const auto &tag : styleTags) {
        if (styles & tag.style)
            out += QLatin1Char('<') + QLatin1String(tag.tag) + QLatin1Char('>');
    }
    return out;
}

QString closing(int styles)
{
    QString out;
    for (int i = int(sizeof(styleTags) / sizeof(styleTags[0])) - 1; i >= 0; --i) {
        if (styles & styleTags[i].style)
            out += QLatin1String("</") + QLatin1String(styleTags[i].tag) + QLatin1Char('>');
    }
    return out;
}

QString object(const PaperInline &piece)
{
    switch (piece.kind) {
    case PaperInline::Formula:
        return QLatin1String("<tex>") + escaped(piece.text) + QLatin1String("</tex>");
    case PaperInline::Picture:
        return QLatin1String("<v key=\"") + escaped(piece.text, true) + QLatin1String("\" width=\"")
            + QString::number(piece.width) + QLatin1String("\" height=\"")
            + QString::number(piece.height) + QLatin1String("\"/>");
    case PaperInline::Blank: {
        const QString tag = QLatin1Char('s') + QString::number(qBound(1, piece.blankSize, 4));
        return QLatin1Char('<') + tag + QLatin1String("><c></c></") + tag + QLatin1Char('>');
    }
    case PaperInline::Break:
        return QStringLiteral("<n/>");
    case PaperInline::Text:
        break;
    }
    return QString();
}

QString tableCode(const PaperBlock &table)
{
    QString out = QStringLiteral("<t>");
    for (const QList<PaperLine> &row : table.rows) {
        out += QLatin1String("<tr>");
        for (const PaperLine &cell : row) {
            const QString code = PaperCodeText::inner(cell);
            out += code.isEmpty() ? QStringLiteral("<td/>")
                                  : QLatin1String("<td>") + code + QLatin1String("</td>");
        }
        out += QLatin1String("</tr>");
    }
    return out + QLatin1String("</t>");
}

} // namespace

QString PaperCodeText::inner(const PaperLine &line)
{
    QString out;
    const QList<PaperInline> &pieces = line.pieces();
    for (int i = 0; i < pieces.size(); ++i) {
        const PaperInline &piece = pieces.at(i);
        // a displayed formula and a wide picture keep a paragraph of their own
        const bool ownParagraph = (piece.kind == PaperInline::Formula && piece.display)
            || (piece.kind == PaperInline::Picture && piece.width > ownLineWidth);
        if (ownParagraph && !out.isEmpty() && !out.endsWith(QLatin1String("<n/>")))
            out += QLatin1String("<n/>");
        if (piece.kind == PaperInline::Text) {
            out += opening(piece.styles) + escaped(piece.text) + closing(piece.styles);
        } else {
            const int styles = piece.kind == PaperInline::Blank ? piece.styles : 0;
            out += opening(styles) + object(piece) + closing(styles);
        }
        if (ownParagraph && i + 1 < pieces.size() && pieces.at(i + 1).kind != PaperInline::Break)
            out += QLatin1String("<n/>");
    }
    return out;
}

QString PaperCodeText::fromLine(const PaperLine &line)
{
    const QString code = inner(line.trimmed());
    return code.isEmpty() ? QString() : QLatin1String("<doc>") + code + QLatin1String("</doc>");
}

QString PaperCodeText::fromBlocks(const PaperBlockList &blocks)
{
    QString out;
    for (const PaperBlock &block : blocks) {
        if (block.kind == PaperBlock::Table) {
            if (out.endsWith(QLatin1String("<n/>")))
                out.chop(4);
            out += tableCode(block);
            continue;
        }
        const QString code = inner(block.line.trimmed());
        if (!code.isEmpty())
            out += code + QLatin1String("<n/>");
    }
    if (out.endsWith(QLatin1String("<n/>")))
        out.chop(4);
    return out.isEmpty() ? QString() : QLatin1String("<doc>") + out + QLatin1String("</doc>");
}
