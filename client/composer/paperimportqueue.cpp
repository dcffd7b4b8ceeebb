#include "composer/paperimportqueue.h"

#include "model/exercisejson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

const QString kind = QStringLiteral("quenmo-paper-import");
constexpr int version = 1;

} // namespace

QString PaperImportQueue::pathFor(int userId)
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)
        + QStringLiteral("/drafts/paper-") + QString::number(userId) + QStringLiteral(".json");
}

PaperImportQueue::PaperImportQueue(const QString &path)
    : m_path(path)
{ }

bool PaperImportQueue::read(QList<ExerciseInfo> *exercises, int *position) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    const QJsonObject object = document.object();
    if (error.error != QJsonParseError::NoError
        || object.value(QStringLiteral("kind")).toString() != kind
        || object.value(QStringLiteral("version")).toInt() != version)
        return false;
    QList<ExerciseInfo> read;
    const QJsonArray items = object.value(QStringLiteral("exercises")).toArray();
    for (const QJsonValue &item : items) {
        ExerciseInfo exercise;
        if (!item.isObject() || !ExerciseJson::fromJson(item.toObject(), &exercise))
            return false;
        read << exercise;
    }
    const int at = object.value(QStringLiteral("position")).toInt(-1);
    if (read.isEmpty() || at < 0 || at >= read.size())
        return false;
    *exercises = read;
    *position = at;
    return true;
}

bool PaperImportQueue::write(const QList<ExerciseInfo> &exercises, int position)
{
    QJsonArray items;
    for (const ExerciseInfo &exercise : exercises)
        items.append(ExerciseJson::toJson(exercise));
    const QJsonObject object {{QStringLiteral("kind"), kind}, {QStringLiteral("version"), version},
        {QStringLiteral("position"), position}, {QStringLiteral("exercises"), items}};
    const QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Indented);
    if (bytes == m_written && QFileInfo::exists(m_path))
        return true;
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return false;
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return false;
    m_written = bytes;
    return true;
}

void PaperImportQueue::discard()
{
    QFile::remove(m_path);
    m_written.clear();
}
