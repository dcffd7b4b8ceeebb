#include "composer/paperimportqueue.h"

#include "model/exercisejson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kind = QStringLiteral("quenmo-paper-import");
constexpr int version = 1;

} // namespace

QString PaperImportQueue::pathFor(int userId)
{
    return DraftFile::pathFor(
        QStringLiteral("paper-") + QString::number(userId) + QStringLiteral(".json"));
}

PaperImportQueue::PaperImportQueue(const QString &path)
    : m_file(path)
{ }

PaperImportQueue::ReadResult PaperImportQueue::read(
    QList<ExerciseInfo> *exercises, int *position) const
{
    QByteArray bytes;
    const ReadResult result = m_file.read(&bytes);
    if (result != ReadResult::Found)
        return result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError
        || object.value(QStringLiteral("kind")).toString() != kind
        || object.value(QStringLiteral("version")).toInt() != version)
        return ReadResult::Unreadable;
    QList<ExerciseInfo> read;
    const QJsonArray items = object.value(QStringLiteral("exercises")).toArray();
    for (const QJsonValue &item : items) {
        ExerciseInfo exercise;
        if (!item.isObject() || !ExerciseJson::fromJson(item.toObject(), &exercise))
            return ReadResult::Unreadable;
        read << exercise;
    }
    const int at = object.value(QStringLiteral("position")).toInt(-1);
    if (read.isEmpty() || at < 0 || at >= read.size())
        return ReadResult::Unreadable;
    *exercises = read;
    *position = at;
    return ReadResult::Found;
}

bool PaperImportQueue::write(const QList<ExerciseInfo> &exercises, int position)
{
    QJsonArray items;
    for (const ExerciseInfo &exercise : exercises)
        items.append(ExerciseJson::toJson(exercise));
    const QJsonObject object {{QStringLiteral("kind"), kind}, {QStringLiteral("version"), version},
        {QStringLiteral("position"), position}, {QStringLiteral("exercises"), items}};
    return m_file.write(QJsonDocument(object).toJson(QJsonDocument::Indented));
}
