#include "composer/exercisedraft.h"

#include "model/exercisejson.h"

#include <QJsonDocument>

namespace {

const QString kind = QStringLiteral("quenmo-exercise-draft");
constexpr int version = 1;

} // namespace

QString ExerciseDraft::pathFor(int userId)
{
    return DraftFile::pathFor(
        QStringLiteral("draft-") + QString::number(userId) + QStringLiteral(".json"));
}

ExerciseDraft::ExerciseDraft(const QString &path)
    : m_file(path)
{ }

ExerciseDraft::ReadResult ExerciseDraft::read(ExerciseInfo *exercise) const
{
    QByteArray bytes;
    const ReadResult result = m_file.read(&bytes);
    if (result != ReadResult::Found)
        return result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError || !document.isObject()
        || object.value(QStringLiteral("kind")).toString() != kind
        || object.value(QStringLiteral("version")).toInt() != version
        || !object.value(QStringLiteral("exercise")).isObject())
        return ReadResult::Unreadable;
    return ExerciseJson::fromJson(object.value(QStringLiteral("exercise")).toObject(), exercise)
        ? ReadResult::Found
        : ReadResult::Unreadable;
}

bool ExerciseDraft::write(const ExerciseInfo &exercise)
{
    const QJsonObject object {{QStringLiteral("kind"), kind}, {QStringLiteral("version"), version},
        {QStringLiteral("exercise"), ExerciseJson::toJson(exercise)}};
    return m_file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
}

bool ExerciseDraft::holdsWork(const ExerciseInfo &exercise)
{
    if (exercise.id != -1 || !exercise.content.isEmpty())
        return true;
    for (const QuestionInfo &question : exercise.questions) {
        if (!question.knowledgeIds.isEmpty() || !question.questionContent.isEmpty()
            || !question.questionExplain.isEmpty())
            return true;
        for (const OptionInfo &option : question.options) {
            if (!option.content.isEmpty() || option.isAnswer)
                return true;
        }
        for (const AnswerInfo &answer : question.answers) {
            if (!answer.content.isEmpty())
                return true;
        }
    }
    return false;
}
