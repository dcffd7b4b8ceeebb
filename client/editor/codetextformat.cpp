#include "editor/codetextformat.h"

#include <QDomDocument>
#include <QXmlStreamReader>

namespace {

// Deeper than the editor ever reads; the DOM parser recurses per level and would take minutes
// or exhaust the stack on hostile depth, so such texts are judged by the streaming reader.
const int domDepthLimit = 512;

bool exceedsDepth(const QString &text)
{
    QXmlStreamReader reader(text);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > domDepthLimit)
                return true;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return false;
}

bool streamIsCodeText(const QString &text)
{
    QXmlStreamReader reader(text);
    bool rootSeen = false;
    bool rootIsDoc = false;
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && !rootSeen) {
            rootSeen = true;
            rootIsDoc = reader.name() == QLatin1String("doc");
        }
    }
    return !reader.hasError() && rootIsDoc;
}

} // namespace

bool CodeTextFormat::isCodeText(const QString &text)
{
    if (text.isEmpty())
        return false;
    if (exceedsDepth(text))
        return streamIsCodeText(text);
    QDomDocument document;
    if (!document.setContent(text))
        return false;
    return document.documentElement().tagName() == QLatin1String("doc");
}
