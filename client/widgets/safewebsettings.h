#pragma once

class QWebView;

// Views that show server HTML run no scripts, no plugins and read no local files; images from
// the image server still load.
class SafeWebSettings
{
public:
    static void apply(QWebView *view);
};
