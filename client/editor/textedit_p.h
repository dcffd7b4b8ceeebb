#pragma once

#include "editor/textobjectproperty.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextFormat>

// Formats shared by the editing operations and the converters of TextEdit.
namespace TextEditFormats {

inline QTextCharFormat objectFormat()
{
    QTextCharFormat format;
    format.setObjectType(TextObjectType);
    return format;
}

// Every block the editor creates has this top margin.
inline QTextBlockFormat newBlockFormat()
{
    QTextBlockFormat format;
    format.setTopMargin(8);
    return format;
}

inline bool blockIsEmpty(const QTextCursor &cursor)
{
    return cursor.block().length() < 2;
}

// UTF-16 units of the character at i: a surrogate pair is one character, one object; 0 for
// half a pair, which no object may carry.
inline int characterLength(const QString &text, int i)
{
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
        return 2;
    return c.isSurrogate() ? 0 : 1;
}

// TextProperty of an ordinary character: a QChar, or the pair as text beyond the BMP.
inline QVariant characterValue(const QString &text, int i, int length)
{
    return length == 1 ? QVariant(text.at(i)) : QVariant(text.mid(i, length));
}

// In code text "_" stands for a space.
inline QString spacesForUnderscores(QString text)
{
    return text.replace(QLatin1Char('_'), QLatin1Char(' '));
}

} // namespace TextEditFormats
