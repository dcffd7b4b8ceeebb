#pragma once

#include "model/exerciseinfo.h"

#include <QJsonObject>

// The whole exercise record as JSON, every field kept, for what this machine stores for
// itself (the wire forms leave fields out and rename others).
class ExerciseJson
{
public:
    static QJsonObject toJson(const ExerciseInfo &exercise);
    // False when a member is missing or of another type: the text was not written by toJson.
    static bool fromJson(const QJsonObject &object, ExerciseInfo *exercise);
};
