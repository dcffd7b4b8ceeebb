#pragma once

#include <QString>

// Tells code text (an XML document whose root element is "doc") from any other stored text.
class CodeTextFormat
{
public:
    static bool isCodeText(const QString &text);
};
