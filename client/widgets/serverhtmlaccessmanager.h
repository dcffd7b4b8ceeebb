#pragma once

#include <QNetworkAccessManager>

class QWebView;

// Serves the loads of web views that show HTML from the servers: pictures over http(s) and
// inline data only. Local files, resources and other schemes are refused, so a stored
// exercise cannot read the teacher's disk.
class ServerHtmlAccessManager : public QNetworkAccessManager
{
    Q_OBJECT

public:
    explicit ServerHtmlAccessManager(QObject *parent = nullptr);

    static bool isAllowed(Operation operation, const QUrl &url);

    // One manager shared by every such view, so they share connections too.
    static ServerHtmlAccessManager *shared();

    // Safe settings for view, and its loads go through here.
    static void secure(QWebView *view);

    int refusedCount() const { return m_refused; }

protected:
    QNetworkReply *createRequest(
        Operation operation, const QNetworkRequest &request, QIODevice *outgoingData) override;

private:
    int m_refused = 0;
};
