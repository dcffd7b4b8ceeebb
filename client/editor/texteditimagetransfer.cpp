#include "editor/textedit.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"
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
    insertPlaceholderImage(info);
    downloadImage(url.toString(QUrl::FullyEncoded), info);
}

// An image character at the cursor that stands for a picture still on its way; it carries a
// name of its own so that the picture finds it wherever later edits move it.
void TextEdit::insertPlaceholderImage(ImageInfo &info)
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
}

QList<int> TextEdit::placeholderPositions(const QString &name) const
{
    QList<int> positions;
    if (name.isEmpty())
        return positions;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat() && format.toImageFormat().name() == name) {
                for (int i = 0; i < fragment.length(); ++i)
                    positions << fragment.position() + i;
            }
        }
    }
    return positions;
}

void TextEdit::removePlaceholder(const QString &name)
{
    const QList<int> positions = placeholderPositions(name);
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    // from the back, so the positions before stay valid
    for (auto it = positions.crbegin(); it != positions.crend(); ++it) {
        cursor.setPosition(*it);
        cursor.setPosition(*it + 1, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    cursor.endEditBlock();
}

QSize TextEdit::pastedImageSize(const QSize &size)
{
    if (size.width() <= maxImageWidth)
        return size;
    return QSize(maxImageWidth, size.height() * maxImageWidth / size.width());
}

// A picture pasted or dropped as image data: uploaded like a picture chosen from a file, at its
// own size with the width capped, and shown where it was pasted.
void TextEdit::insertPastedImage(const QImage &image)
{
    if (image.isNull())
        return;
    const QSize size = pastedImageSize(image.size());
    ImageInfo info;
    info.width = size.width();
    info.height = size.height();
    insertPlaceholderImage(info);
    uploadPlaceholder = info.placeholderName;
    uploadImage(size == image.size() ? image : image.scaled(size), size.width(), size.height());
}

// A picture of pasted HTML that lives elsewhere on the web: fetched, then uploaded.
void TextEdit::insertForeignImage(const QUrl &url)
{
    ImageInfo info;
    info.uploadAfterDownload = true;
    insertPlaceholderImage(info);
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
    // spaces at the edges mean nothing to TeX, and stored beside a tag they would not survive
    const QString formula = tex.trimmed();
    if (formula.isEmpty())
        return;
    ImageInfo info;
    info.formulaStr = formula;
    insertPlaceholder(formulaUrl(info.formulaStr), info);
}

void TextEdit::insertImage(const QImage &image, int width, int height)
{
    uploadImage(image, width, height);
}

QNetworkReply *TextEdit::postPicture(QNetworkAccessManager *manager, const QImage &image)
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

    // The bank's own image server keeps uploads per teacher; other image servers ignore it.
    QNetworkRequest request(uploadUrl());
    request.setRawHeader("loginToken", UserSession::instance().loginToken.toUtf8());
    QNetworkReply *reply = manager->post(request, multiPart);
    multiPart->setParent(reply);
    return reply;
}

void TextEdit::uploadImage(const QImage &image, int width, int height)
{
    QNetworkReply *reply = postPicture(uploadManager, image);
    ImageInfo info;
    info.width = width;
    info.height = height;
    // a pasted picture already has its place in the text
    info.placeholderName = qExchange(uploadPlaceholder, QString());
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
        if (info.uploadAfterDownload)
            removePlaceholder(info.placeholderName);
        showWarning(reply->errorString());
        reply->deleteLater();
        return;
    }
    const QImage image = QImage::fromData(reply->readAll());
    reply->deleteLater();
    if (info.uploadAfterDownload) {
        if (image.isNull() || placeholderPositions(info.placeholderName).isEmpty()) {
            removePlaceholder(info.placeholderName);
            return;
        }
        const QSize size = pastedImageSize(image.size());
        QTextImageFormat format;
        format.setWidth(size.width());
        format.setHeight(size.height());
        mergeIntoPlaceholder(info.placeholderName, format);
        uploadPlaceholder = info.placeholderName;
        uploadImage(size == image.size() ? image : image.scaled(size), size.width(), size.height());
        return;
    }
    if (image.isNull())
        return;

    // the placeholder is found by its own name wherever edits have moved it; when it has been
    // deleted meanwhile the picture has no place any more
    if (placeholderPositions(info.placeholderName).isEmpty())
        return;
    const QString name = info.fileKey + info.formulaStr;
    document()->addResource(QTextDocument::ImageResource, QUrl(name), image);
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(info.width ? info.width : image.width());
    format.setHeight(info.height ? info.height : image.height());
    format.setProperty(FileKeyProperty, info.fileKey);
    format.setProperty(FormulaStrProperty, info.formulaStr);
    mergeIntoPlaceholder(info.placeholderName, format);
}

void TextEdit::mergeIntoPlaceholder(const QString &name, const QTextCharFormat &format)
{
    const QList<int> positions = placeholderPositions(name);
    QTextCursor cursor(document());
    cursor.joinPreviousEditBlock();
    for (int position : positions) {
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
        removePlaceholder(info.placeholderName);
        showWarning(reply->errorString());
        return;
    }
    QJsonObject envelope;
    if (!Api::parseEnvelope(reply->readAll(), &envelope)) {
        removePlaceholder(info.placeholderName);
        return;
    }
    if (Api::status(envelope) != 0) {
        removePlaceholder(info.placeholderName);
        showWarning(envelope.value(QStringLiteral("msg")).toString());
        return;
    }
    const QString fileKey = envelope.value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("fileKey"))
                                .toString();
    if (info.placeholderName.isEmpty()) {
        insertImage(fileKey, info.width, info.height);
        return;
    }
    // the pasted picture's placeholder now knows its key, so a save before the picture is
    // back writes it; the download shows it
    if (placeholderPositions(info.placeholderName).isEmpty())
        return;
    QTextImageFormat format;
    format.setProperty(FileKeyProperty, fileKey);
    mergeIntoPlaceholder(info.placeholderName, format);
    ImageInfo download = info;
    download.fileKey = fileKey;
    downloadImage(imageUrl(fileKey).toString(QUrl::FullyEncoded), download);
}
