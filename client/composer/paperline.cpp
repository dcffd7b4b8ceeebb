#include "composer/paperline.h"

namespace {

int plainLength(const PaperInline &piece)
{
    return piece.kind == PaperInline::Text ? piece.text.size() : 1;
}

} // namespace

void PaperLine::append(const PaperInline &piece)
{
    if (piece.kind == PaperInline::Text) {
        appendText(piece.text, piece.styles);
        return;
    }
    m_pieces.append(piece);
}

void PaperLine::appendText(const QString &text, int styles)
{
    if (text.isEmpty())
        return;
    if (!m_pieces.isEmpty() && m_pieces.last().kind == PaperInline::Text
        && m_pieces.last().styles == styles) {
        m_pieces.last().text += text;
        return;
    }
    PaperInline piece;
    piece.text = text;
    piece.styles = styles;
    m_pieces.append(piece);
}

void PaperLine::append(const PaperLine &other)
{
    for (const PaperInline &piece : other.m_pieces)
        append(piece);
}

QString PaperLine::plainText() const
{
    QString out;
    for (const PaperInline &piece : m_pieces) {
        if (piece.kind == PaperInline::Text) {
            // ideographic and no-break spaces separate like spaces ("1．C　2．A")
            for (const QChar c : piece.text)
                out += c.isSpace() ? QLatin1Char(' ') : c;
        } else if (piece.kind == PaperInline::Break) {
            out += QLatin1Char('\n');
        } else {
            out += PaperInline::objectChar;
        }
    }
    return out;
}

PaperLine PaperLine::mid(int from, int to) const
{
    PaperLine out;
    int position = 0;
    for (const PaperInline &piece : m_pieces) {
        const int length = plainLength(piece);
        const int start = qMax(from, position);
        const int end = to < 0 ? position + length : qMin(to, position + length);
        if (start < end) {
            if (piece.kind == PaperInline::Text)
                out.appendText(piece.text.mid(start - position, end - start), piece.styles);
            else
                out.append(piece);
        }
        position += length;
        if (to >= 0 && position >= to)
            break;
    }
    return out;
}

PaperLine PaperLine::trimmed() const
{
    const QString plain = plainText();
    int from = 0;
    int to = plain.size();
    while (from < to && plain.at(from).isSpace())
        ++from;
    while (to > from && plain.at(to - 1).isSpace())
        --to;
    if (from == 0 && to == plain.size())
        return *this;
    return mid(from, to);
}

bool PaperLine::hasBlank() const
{
    for (const PaperInline &piece : m_pieces) {
        if (piece.kind == PaperInline::Blank)
            return true;
    }
    return false;
}
