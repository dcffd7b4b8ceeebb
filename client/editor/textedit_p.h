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

} // namespace TextEditFormats
