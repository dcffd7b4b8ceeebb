#pragma once

#include "model/paperdraft.h"

#include <QHash>
#include <QObject>
#include <QSize>
#include <QStringList>

class QNetworkAccessManager;
class QNetworkReply;

// Uploads the pictures of read drafts to the image server, one after another, the way a
// picture chosen from a file is uploaded, and gives the drafts back with the server's keys in
// place of the local paths. Exactly one of finished and failed ends a run, unless cancelled.
class PaperPictureUpload : public QObject
{
    Q_OBJECT

public:
    explicit PaperPictureUpload(QObject *parent = nullptr);

    void start(const PaperDraftList &drafts);
    // Stops the upload in flight; neither finished nor failed follows.
    void cancel();
    bool isRunning() const { return m_reply != nullptr; }

    struct Uploaded {
        QString fileKey;
        QSize size; // the picture's size as uploaded
    };
    // The local picture files (absolute paths) that the code text's pictures name, in order.
    static QStringList localPictures(const QString &codeText);
    // The code text with every picture of a local file replaced by its upload; a picture shown
    // at a size of its own keeps its proportions within the width cap.
    static QString withUploads(const QString &codeText, const QHash<QString, Uploaded> &uploads);

signals:
    void progress(int done, int total);
    void finished(const PaperDraftList &drafts);
    void failed(const QString &message);

private:
    void uploadNext();
    void replyUploadFinished(QNetworkReply *reply);
    void fail(const QString &message);

    QNetworkAccessManager *m_manager;
    QNetworkReply *m_reply = nullptr;
    PaperDraftList m_drafts;
    QStringList m_pending;
    int m_total = 0;
    QString m_current;
    QSize m_currentSize;
    QHash<QString, Uploaded> m_uploads;
};
