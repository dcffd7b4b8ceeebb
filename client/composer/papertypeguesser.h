#pragma once

#include "model/exercisetypeinfo.h"

#include <QString>

// Guesses the exercise type of an exercise cut out of a paper: from the word of its section
// heading matched against the catalogue's names, else from its shape.
class PaperTypeGuesser
{
public:
    struct Shape {
        bool hasOptions = false;
        bool severalAnswers = false; // an answer of more than one letter
        bool hasBlanks = false;
    };

    explicit PaperTypeGuesser(const ExerciseTypeInfoList &types);
    // The index in the catalogue, -1 when the catalogue is empty.
    int guess(const QString &sectionTitle, const Shape &shape) const;

private:
    enum Kind { Unknown, SingleChoice, MultipleChoice, Judgement, FillIn, Cloze, FreeAnswer };
    static Kind kindOf(const QString &name);
    int firstOfKind(Kind kind) const;

    ExerciseTypeInfoList m_types;
};
