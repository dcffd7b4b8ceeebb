#pragma once

#include "model/exerciseinfo.h"

#include <QStringList>
#include <QVariantMap>

class QJsonObject;

// The JSON forms of an exercise: the add and modify bodies, the fetch reply, the conversion
// of its code text fields.
class ExerciseCodec
{
public:
    static QVariantMap addBody(const ExerciseInfo &exercise, int modifierId);
    static QVariantMap modifyBody(const ExerciseInfo &exercise, int modifierId);
    // The data object of the fetch-by-id reply; missing members read as 0 or empty.
    static ExerciseInfo fromFetchReply(const QJsonObject &data);

    // The code text fields in transfer order: stem; per sub-question its content, its options,
    // its answers, its analysis. Fields that are not code text are skipped.
    static QStringList transferTexts(const ExerciseInfo &exercise);
    // Puts converted texts back into the fields they came from, in the same order.
    static void applyTransferredTexts(ExerciseInfo &exercise, QStringList texts);

private:
    static QVariantMap body(const ExerciseInfo &exercise, int modifierId, bool modify);
};
