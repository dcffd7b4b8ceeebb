#pragma once

#include "model/exerciseinfo.h"

#include <QList>
#include <QMetaType>
#include <QString>

// One exercise cut out of an imported paper, before the teacher has checked it.
struct PaperDraft {
    // the type word of the section it stands in ("选择题"), empty when the paper has none
    QString sectionTitle;
    // the exercise type guessed for it: its catalogue id and name (id 0 when no catalogue matched)
    int exerciseTypeId = 0;
    QString exerciseTypeName;
    // stem, sub-questions, options, answers and analysis as code text. A picture is a `v` whose
    // `key` is the absolute path of the picture extracted from the paper until it is uploaded.
    ExerciseInfo exercise;
};
using PaperDraftList = QList<PaperDraft>;
Q_DECLARE_METATYPE(PaperDraft)
