#include "widgets/safewebsettings.h"

#include <QWebSettings>
#include <QWebView>

void SafeWebSettings::apply(QWebView *view)
{
    QWebSettings *settings = view->settings();
    settings->setAttribute(QWebSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebSettings::JavaEnabled, false);
    settings->setAttribute(QWebSettings::PluginsEnabled, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, true);
    settings->setAttribute(QWebSettings::AutoLoadImages, true);
}
