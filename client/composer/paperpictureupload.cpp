#include "composer/paperpictureupload.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "editor/textedit.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <functional>

namespace {

QSize capped(const QSize &size)
{
    const int cap = TextEdit::maxImageWidth;
    if (size.width() <= cap)
        return size;
    return QSize(cap, qMax(1, size.height() * cap / size.width()));
}

bool isLocalPicture(const QXmlStreamReader &reader)
{
    if (reader.name() != QLatin1String("v"))
        return false;
    const QString key = reader.attributes().value(QLatin1String("key")).toString();
    return !key.isEmpty() && QDir::isAbsolutePath(key);
}

// Every code text field of an exercise, for reading and for rewriting.
void forEachText(ExerciseInfo &exercise, const std::function<void(QString &)> &visit)
{
    visit(exercise.content);
    for (QuestionInfo &question : exercise.questions) {
        visit(question.questionContent);
        visit(question.questionExplain);
        for (OptionInfo &option : question.options)
            visit(option.content);
        for (AnswerInfo &answer : question.answers)
            visit(answer.content);
    }
}

} // namespace

PaperPictureUpload::PaperPictureUpload(QObject *parent)
    : QObject(parent)
    , m_manager(new QNetworkAccessManager(this))
{
    connect(m_manager, &QNetworkAccessManager::finished, this,
        &PaperPictureUpload::replyUploadFinished);
}

QStringList PaperPictureUpload::localPictures(const QString &codeText)
{
    QStringList paths;
    QXmlStreamReader reader(codeText);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && isLocalPicture(reader)) {
            const QString path = reader.attributes().value(QLatin1String("key")).toString();
            if (!paths.contains(path))
                paths << path;
        }
    }
    return paths;
}

QString PaperPictureUpload::withUploads(
    const QString &codeText, const QHash<QString, Uploaded> &uploads)
{
    if (localPictures(codeText).isEmpty())
        return codeText;
    QString out;
    QXmlStreamReader reader(codeText);
    QXmlStreamWriter writer(&out);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.tokenType() == QXmlStreamReader::StartElement && isLocalPicture(reader)) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const Uploaded uploaded
                = uploads.value(attributes.value(QLatin1String("key")).toString());
            QSize size(attributes.value(QLatin1String("width")).toInt(),
                attributes.value(QLatin1String("height")).toInt());
            size = size.width() > 0 && size.height() > 0 ? capped(size) : uploaded.size;
            writer.writeStartElement(QStringLiteral("v"));
            writer.writeAttribute(QStringLiteral("key"), uploaded.fileKey);
            writer.writeAttribute(QStringLiteral("width"), QString::number(size.width()));
            writer.writeAttribute(QStringLiteral("height"), QString::number(size.height()));
            continue;
        }
        if (reader.tokenType() == QXmlStreamReader::StartDocument
            && reader.documentVersion().isEmpty())
            continue;
        writer.writeCurrentToken(reader);
    }
    return reader.hasError() ? codeText : out;
}

void PaperPictureUpload::start(const PaperDraftList &drafts)
{
    cancel();
    m_drafts = drafts;
    m_pending.clear();
    m_uploads.clear();
    for (PaperDraft &draft : m_drafts) {
        forEachText(draft.exercise, [this](QString &text) {
            for (const QString &path : localPictures(text)) {
                if (!m_pending.contains(path))
                    m_pending << path;
            }
        });
    }
    m_total = m_pending.size();
    uploadNext();
}

void PaperPictureUpload::cancel()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = qExchange(m_reply, nullptr);
    reply->abort();
    reply->deleteLater();
    m_pending.clear();
    m_drafts.clear();
}

void PaperPictureUpload::fail(const QString &message)
{
    m_pending.clear();
    m_drafts.clear();
    m_uploads.clear();
    emit failed(message);
}

void PaperPictureUpload::uploadNext()
{
    emit progress(m_total - m_pending.size(), m_total);
    if (m_pending.isEmpty()) {
        for (PaperDraft &draft : m_drafts)
            forEachText(
                draft.exercise, [this](QString &text) { text = withUploads(text, m_uploads); });
        const PaperDraftList drafts = m_drafts;
        m_drafts.clear();
        emit finished(drafts);
        return;
    }
    m_current = m_pending.takeFirst();
    QImageReader file(m_current);
    file.setAutoTransform(true);
    QImage image = file.read();
    if (image.isNull()) {
        fail(QStringLiteral("无法读取试卷中的图片：") + QFileInfo(m_current).fileName());
        return;
    }
    m_currentSize = capped(image.size());
    if (m_currentSize != image.size())
        image = image.scaled(m_currentSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    m_reply = TextEdit::postPicture(m_manager, image);
}

void PaperPictureUpload::replyUploadFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_reply)
        return; // cancelled
    m_reply = nullptr;
    const QString name = QFileInfo(m_current).fileName();
    const QString failure = QStringLiteral("图片上传失败：") + name + QLatin1Char('\n');
    if (reply->error() != QNetworkReply::NoError) {
        fail(failure + reply->errorString());
        return;
    }
    QJsonObject envelope;
    if (!Api::parseEnvelope(reply->readAll(), &envelope)) {
        fail(failure + QStringLiteral("服务器的回答无法识别"));
        return;
    }
    const QString fileKey = envelope.value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("fileKey"))
                                .toString();
    if (Api::status(envelope) != 0 || fileKey.isEmpty()) {
        fail(failure + envelope.value(QStringLiteral("msg")).toString());
        return;
    }
    m_uploads.insert(m_current, {fileKey, m_currentSize});
    uploadNext();
}
