#include "widgets/serverhtmlaccessmanager.h"

#include "widgets/safewebsettings.h"

#include <QCoreApplication>
#include <QNetworkRequest>
#include <QPointer>
#include <QWebPage>
#include <QWebView>

ServerHtmlAccessManager::ServerHtmlAccessManager(QObject *parent)
    : QNetworkAccessManager(parent)
{ }

bool ServerHtmlAccessManager::isAllowed(Operation operation, const QUrl &url)
{
    if (operation != GetOperation && operation != HeadOperation)
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https")
        || scheme == QLatin1String("data");
}

ServerHtmlAccessManager *ServerHtmlAccessManager::shared()
{
    static QPointer<ServerHtmlAccessManager> manager;
    if (!manager)
        manager = new ServerHtmlAccessManager(QCoreApplication::instance());
    return manager;
}

void ServerHtmlAccessManager::secure(QWebView *view)
{
    SafeWebSettings::apply(view);
    // the settings alone still let a page without base address fetch file: pictures
    view->page()->setNetworkAccessManager(shared());
}

QNetworkReply *ServerHtmlAccessManager::createRequest(
    Operation operation, const QNetworkRequest &request, QIODevice *outgoingData)
{
    if (isAllowed(operation, request.url()))
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    ++m_refused;
    // an address without a scheme fails at once with ProtocolUnknownError
    QNetworkRequest refused(request);
    refused.setUrl(QUrl());
    return QNetworkAccessManager::createRequest(GetOperation, refused, nullptr);
}
