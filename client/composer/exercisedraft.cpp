#include "composer/exercisedraft.h"

#include "model/exercisejson.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kind = QStringLiteral("quenmo-exercise-draft");
constexpr int version = 1;

} // namespace

QString ExerciseDraft::pathFor(int userId)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/drafts/draft-") + QString::number(userId) + QStringLiteral(".json");
}

ExerciseDraft::ExerciseDraft(const QString &path)
    : m_path(path)
{ }

bool ExerciseDraft::exists() const
{
    return QFileInfo::exists(m_path);
}

QByteArray ExerciseDraft::encode(const ExerciseInfo &exercise)
{
    const QJsonObject object {{QStringLiteral("kind"), kind}, {QStringLiteral("version"), version},
        {QStringLiteral("exercise"), ExerciseJson::toJson(exercise)}};
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

ExerciseDraft::ReadResult ExerciseDraft::read(ExerciseInfo *exercise) const
{
    QFile file(m_path);
    if (!file.exists())
        return ReadResult::Missing;
    if (!file.open(QIODevice::ReadOnly))
        return ReadResult::Unreadable;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
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
    const QByteArray bytes = encode(exercise);
    // a discarded or set-aside draft is written again even when nothing changed
    if (bytes == m_written && exists())
        return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    m_written = bytes;
    return true;
}

void ExerciseDraft::discard()
{
    QFile::remove(m_path);
}

QString ExerciseDraft::setAside()
{
    const QString aside = m_path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    QString target = aside;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = aside + QLatin1Char('-') + QString::number(n);
    if (!QFile::rename(m_path, target))
        return QString();
    return target;
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
