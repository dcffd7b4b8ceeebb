#pragma once

#include <QList>
#include <QString>

// One piece of a paragraph read from a paper: a run of styled text or a single object.
struct PaperInline {
    enum Kind { Text, Formula, Picture, Blank, Break };
    enum Style {
        Bold = 1,
        Italic = 2,
        StrikeOut = 4,
        Underline = 8,
        Subscript = 16,
        Superscript = 32
    };

    Kind kind = Text;
    int styles = 0;
    // the characters of a run, the TeX of a formula, the local path of a picture
    QString text;
    bool display = false; // a formula standing in a paragraph of its own
    int width = 0;
    int height = 0;
    int blankSize = 1; // 1..4: the blank element s1..s4

    // Characters standing for an object in the line's plain text, so that offsets match.
    static constexpr QChar objectChar = QChar(0xfffc);
};

// A paragraph (or a table cell) as a sequence of inlines, with a plain-text view for finding
// question numbers, option letters and answer marks, and slicing by plain-text offsets.
class PaperLine
{
public:
    PaperLine() = default;

    void append(const PaperInline &piece);
    void appendText(const QString &text, int styles = 0);
    void append(const PaperLine &other);

    const QList<PaperInline> &pieces() const { return m_pieces; }
    bool isEmpty() const { return m_pieces.isEmpty(); }
    // Text runs as they are, every object as objectChar, breaks as "\n".
    QString plainText() const;
    // The part between two plain-text offsets.
    PaperLine mid(int from, int to = -1) const;
    // Without the white space at both ends of the plain text.
    PaperLine trimmed() const;
    bool hasBlank() const;

private:
    QList<PaperInline> m_pieces;
};
