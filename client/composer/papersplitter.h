#pragma once

#include "composer/paperblock.h"
#include "model/exercisetypeinfo.h"
#include "model/paperdraft.h"

// Cuts the paragraphs of a paper into exercises: at question numbers, under section headings
// that give the type, with sub-questions, options, and the answers and analyses that follow a
// question or stand in an answer section at the end.
class PaperSplitter
{
public:
    void setExerciseTypes(const ExerciseTypeInfoList &types) { m_types = types; }
    // Without a question number the whole paper is one draft and foundNumbers() is false.
    PaperDraftList split(const PaperBlockList &blocks);
    bool foundNumbers() const { return m_foundNumbers; }

    // The type word of a section heading ("二、填空题（每小题5分）" gives "填空题"), or "".
    static QString sectionTitle(const QString &paragraph);

private:
    ExerciseTypeInfoList m_types;
    bool m_foundNumbers = false;
};
