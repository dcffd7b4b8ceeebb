#include "editor/codetextformat.h"

#include <QDomDocument>

bool CodeTextFormat::isCodeText(const QString &text)
{
    if (text.isEmpty())
        return false;
    QDomDocument document;
    if (!document.setContent(text))
        return false;
    return document.documentElement().tagName() == QLatin1String("doc");
}
