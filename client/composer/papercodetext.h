#pragma once

#include "composer/paperblock.h"

#include <QString>

// Writes what was read from a paper as code text, the way the editor writes its documents:
// paragraphs separated by `n`, no `n` beside a table, spaces as they are, & < > escaped.
class PaperCodeText
{
public:
    // "" for nothing, like an empty editor.
    static QString fromBlocks(const PaperBlockList &blocks);
    static QString fromLine(const PaperLine &line);
    // The inner code (without `doc`) of one paragraph.
    static QString inner(const PaperLine &line);
};
