#pragma once

#include "composer/paperblock.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>

class QJsonDocument;

// Turns pandoc's JSON document tree into the paragraphs and tables of a paper. Word's own
// numbered lists get their numbers written out ("1." for a question, "（1）" in a nested list,
// "A." for letters), so that numbers typed and numbers of lists are found alike later.
class PandocConverter
{
public:
    // baseDir resolves relative picture paths. False when the document is not pandoc's tree.
    bool convert(const QJsonDocument &document, const QString &baseDir);
    const PaperBlockList &blocks() const { return m_blocks; }
    int formulaCount() const { return m_formulas; }

    // Widest picture the editor shows; wider ones are scaled down keeping their ratio.
    static constexpr int maxPictureWidth = 850;

private:
    void convertBlocks(const QJsonArray &blocks, int listDepth, const QString &marker);
    void convertBlock(const QJsonValue &block, int listDepth, QString &marker);
    void convertOrderedList(const QJsonArray &content, int listDepth);
    void convertTable(const QJsonArray &content);
    PaperLine cellLine(const QJsonArray &blocks);
    void convertInlines(const QJsonArray &inlines, int styles, PaperLine &line);
    void convertInline(const QJsonValue &node, int styles, PaperLine &line);
    PaperInline picture(const QJsonArray &content) const;
    void appendParagraph(const PaperLine &line, bool heading, QString &marker);

    PaperBlockList m_blocks;
    QString m_baseDir;
    int m_formulas = 0;
};
