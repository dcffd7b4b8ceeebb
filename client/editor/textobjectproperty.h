#pragma once

#include <QTextFormat>

// Object type of every visible character of an editor document.
constexpr int TextObjectType = QTextFormat::UserObject + 1;

// Custom character-format properties of editor objects; an absent one reads as false / 0 / "".
enum TextObjectProperty {
    TextProperty = QTextFormat::UserProperty + 1,
    BoldProperty,
    ItalicProperty,
    StrikeOutProperty,
    UnderlineProperty,
    ScriptProperty,
    SpaceLengthProperty,
    IndentProperty,
    QuestionNumProperty,
    FormulaStrProperty,
    FileKeyProperty,
};

// Values of UnderlineProperty; the kinds exclude each other.
enum UnderlineKind {
    NoUnderline = 0,
    SingleUnderline = 1,
    WaveUnderline = 2,
    UnderPoint = 3,
    Rectangle = 4,
};

// Values of ScriptProperty.
enum ScriptKind {
    NoScript = 0,
    Subscript = 1,
    Superscript = 2,
    SuperSubscript = 3,
};

static_assert(FileKeyProperty == 0x10000b, "property ids are stored in code and documents");
