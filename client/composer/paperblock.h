#pragma once

#include "composer/paperline.h"

#include <QList>

// One paragraph or one table of a paper, in reading order.
struct PaperBlock {
    enum Kind { Paragraph, Table };
    Kind kind = Paragraph;
    PaperLine line; // a paragraph's content
    bool heading = false; // a Word heading style
    QList<QList<PaperLine>> rows; // a table's cells, paragraphs inside a cell joined by breaks
};
using PaperBlockList = QList<PaperBlock>;
