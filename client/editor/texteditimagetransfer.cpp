#include "editor/textedit.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "editor/textobjectproperty.h"

#include <QBuffer>
#include <QHttpMultiPart>
#include <QJsonObject>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextBlock>

namespace {

const QString pendingImagePrefix = QStringLiteral("quenmo-pending:");

} // namespace

QUrl TextEdit::imageUrl(const QString &fileKey)
{
    return Api::url(IMG_SERVER, QStringLiteral("/api/show/image?fileKey=") + fileKey);
}

QUrl TextEdit::formulaUrl(const QString &tex)
{
    return Api::url(IMG_SERVER,
        QStringLiteral("/api/generate/formula?formulaStr=")
            + QString::fromLatin1(QUrl::toPercentEncoding(tex)));
}

QUrl TextEdit::uploadUrl()
{
    return Api::url(IMG_SERVER, QStringLiteral("/api/upload/file"));
}

void TextEdit::insertPlaceholder(const QUrl &url, ImageInfo info)
{
    static int serial = 0;
    info.placeholderName = pendingImagePrefix + QString::number(++serial);
    // the placeholder looks like Qt's own missing-image icon, without a file lookup per paint
    document()->addResource(QTextDocument::ImageResource, QUrl(info.placeholderName),
        QImage(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-16.png")));
    QTextCursor cursor = textCursor();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    info.position = cursor.position();
    QTextImageFormat format;
    format.setName(info.placeholderName);
    format.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    // the placeholder already knows what it stands for, so a field saved before the picture
    // arrives keeps its image or formula
    format.setProperty(FileKeyProperty, info.fileKey);
    format.setProperty(FormulaStrProperty, info.formulaStr);
    if (info.width > 0)
        format.setWidth(info.width);
    if (info.height > 0)
        format.setHeight(info.height);
    cursor.insertImage(format);
    cursor.endEditBlock();
    setTextCursor(cursor);
    downloadImage(url.toString(QUrl::FullyEncoded), info);
}

void TextEdit::insertImage(const QString &imageKey, int width, int height)
{
    ImageInfo info;
    info.fileKey = imageKey;
    info.width = width;
    info.height = height;
    insertPlaceholder(imageUrl(imageKey), info);
}

void TextEdit::insertTex(const QString &tex)
{
    if (tex.isEmpty())
        return;
    ImageInfo info;
    info.formulaStr = tex;
    insertPlaceholder(formulaUrl(tex), info);
}

void TextEdit::insertImage(const QImage &image, int width, int height)
{
    uploadImage(image, width, height);
}

void TextEdit::uploadImage(const QImage &image, int width, int height)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");

    auto multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart usage;
    usage.setHeader(QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data; name=\"fileUsageType\""));
    usage.setBody("2");
    QHttpPart file;
    file.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("image/png"));
    file.setHeader(QNetworkRequest::ContentDispositionHeader,
        QStringLiteral("form-data; name=\"file\"; filename=\"icon.png\""));
    file.setBody(png);
    multiPart->append(usage);
    multiPart->append(file);

    QNetworkReply *reply = uploadManager->post(QNetworkRequest(uploadUrl()), multiPart);
    multiPart->setParent(reply);
    ImageInfo info;
    info.width = width;
    info.height = height;
    uploadImageInfos.insert(reply, info);
}

void TextEdit::downloadImage(const QString &url, const ImageInfo &imageInfo)
{
    QNetworkReply *reply = downloadManager->get(QNetworkRequest(QUrl(url, QUrl::TolerantMode)));
    downloadImageInfos.insert(reply, imageInfo);
}

void TextEdit::showWarning(const QString &text)
{
    QMessageBox box(
        QMessageBox::Warning, QStringLiteral("警告"), text, QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
    box.exec();
}

void TextEdit::replyDownloadFinished(QNetworkReply *reply)
{
    const ImageInfo info = downloadImageInfos.take(reply);
    if (reply->error() != QNetworkReply::NoError) {
        showWarning(reply->errorString());
        reply->deleteLater();
        return;
    }
    const QImage image = QImage::fromData(reply->readAll());
    reply->deleteLater();
    if (image.isNull())
        return;

    // the placeholder is found by its own name wherever edits have moved it; when it has been
    // deleted meanwhile the picture has no place any more
    QList<int> positions;
    if (!info.placeholderName.isEmpty()) {
        for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
            for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
                const QTextFragment fragment = it.fragment();
                const QTextCharFormat format = fragment.charFormat();
                if (format.isImageFormat()
                    && format.toImageFormat().name() == info.placeholderName) {
                    for (int i = 0; i < fragment.length(); ++i)
                        positions << fragment.position() + i;
                }
            }
        }
    }
    if (positions.isEmpty())
        return;

    const QString name = info.fileKey + info.formulaStr;
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(info.width ? info.width : image.width());
    format.setHeight(info.height ? info.height : image.height());
    format.setProperty(FileKeyProperty, info.fileKey);
    format.setProperty(FormulaStrProperty, info.formulaStr);
    for (int position : qAsConst(positions)) {
        cursor.setPosition(position);
        cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
}

void TextEdit::replyUploadFinished(QNetworkReply *reply)
{
    const ImageInfo info = uploadImageInfos.take(reply);
    reply->deleteLater();
    if (reply->error() != QNetworkReply::NoError) {
        showWarning(reply->errorString());
        return;
    }
    QJsonObject envelope;
    if (!Api::parseEnvelope(reply->readAll(), &envelope))
        return;
    if (Api::status(envelope) != 0) {
        showWarning(envelope.value(QStringLiteral("msg")).toString());
        return;
    }
    const QString fileKey = envelope.value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("fileKey"))
                                .toString();
    insertImage(fileKey, info.width, info.height);
}
