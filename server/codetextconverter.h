#pragma once

#include <string>

// Turns code text (the editor's XML markup, root `doc`) into HTML for the web views. The HTML
// is chosen so that pasting it back into the editor rebuilds the same document where the
// editor's HTML import can express it. Text that is not code text comes back escaped.
class CodeTextConverter
{
public:
    // baseUrl: scheme, host and port the images and formulas are served from, without "/".
    explicit CodeTextConverter(std::string baseUrl);

    std::string toHtml(const std::string &text) const;

    static bool isCodeText(const std::string &text);
    static std::string escapeHtml(const std::string &text);
    // Every byte outside letters, digits and "-._~" as %XX.
    static std::string percentEncode(const std::string &text);

    // Deeper style elements are kept as plain content so hostile input stays cheap to render.
    static constexpr size_t MaxStyleDepth = 64;
    static constexpr size_t MaxTableDepth = 8;
    // A field whose HTML would pass this is shown as its plain text instead.
    static constexpr size_t MaxHtmlBytes = 2 * 1024 * 1024;

private:
    std::string m_baseUrl;
};
