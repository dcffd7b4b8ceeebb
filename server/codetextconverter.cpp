#include "codetextconverter.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// The editor turns a blank next to a tag into "_" before parsing; do the same so spaces
// between elements survive.
std::string prepare(const std::string &text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    std::string s;
    s.reserve(end - begin);
    for (size_t i = begin; i < end; ++i) {
        const char ch = text[i];
        if (ch == ' ' && i > begin && text[i - 1] == '>')
            s += '_';
        else if (ch == ' ' && i + 1 < end && text[i + 1] == '<')
            s += '_';
        else
            s += ch;
    }
    return s;
}

bool parse(const std::string &text, pugi::xml_document &document)
{
    if (text.empty())
        return false;
    const std::string s = prepare(text);
    const pugi::xml_parse_result result
        = document.load_buffer(s.data(), s.size(), pugi::parse_default, pugi::encoding_utf8);
    if (!result)
        return false;
    int elements = 0;
    for (pugi::xml_node node = document.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element)
            ++elements;
        else if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata)
            return false;
    }
    return elements == 1 && std::strcmp(document.document_element().name(), "doc") == 0;
}

void appendEscaped(std::string &out, const char *text, size_t size)
{
    for (size_t i = 0; i < size; ++i) {
        switch (text[i]) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += text[i];
        }
    }
}

bool isBlank(char ch)
{
    return ch == ' ' || ch == '_' || ch == '\t' || ch == '\n' || ch == '\r';
}

// Character data: "_" is a space. A space between two visible characters stays breakable;
// others become &nbsp; so they neither collapse nor vanish as white-space-only nodes.
void appendCharacterData(std::string &out, const char *text)
{
    const size_t size = std::strlen(text);
    for (size_t i = 0; i < size; ++i) {
        if (isBlank(text[i])) {
            const bool inner
                = i > 0 && i + 1 < size && !isBlank(text[i - 1]) && !isBlank(text[i + 1]);
            out += inner ? " " : "&nbsp;";
        } else {
            appendEscaped(out, text + i, 1);
        }
    }
}

size_t codePoints(const std::string &text)
{
    size_t n = 0;
    for (unsigned char ch : text)
        if ((ch & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string repeat(const char *piece, size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += piece;
    return s;
}

int attributeInt(const pugi::xml_node &node, const char *name)
{
    const char *value = node.attribute(name).value();
    if (!*value)
        return 0;
    char *end = nullptr;
    const double parsed = std::strtod(value, &end);
    if (end == value || parsed < 0 || parsed > 100000)
        return 0;
    return int(parsed + 0.5);
}

// The node after current in document order within root's descendants, or a null node after the
// last. Iterative, so that hostile nesting cannot exhaust the stack.
pugi::xml_node nextInDocumentOrder(pugi::xml_node current, const pugi::xml_node &root)
{
    if (current.first_child())
        return current.first_child();
    while (current && current != root && !current.next_sibling())
        current = current.parent();
    if (!current || current == root)
        return pugi::xml_node();
    return current.next_sibling();
}

std::string elementText(const pugi::xml_node &node)
{
    std::string text;
    // Iterative: collect every descendant's character data in document order.
    pugi::xml_node current = node.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata)
            text += current.value();
        current = nextInDocumentOrder(current, node);
    }
    for (char &ch : text)
        if (ch == '_')
            ch = ' ';
    return text;
}

// The field's text without its styles: character data, with a line break for each paragraph
// break. Iterative, like elementText().
std::string plainText(const pugi::xml_node &root)
{
    std::string out;
    pugi::xml_node current = root.first_child();
    while (current) {
        if (current.type() == pugi::node_pcdata || current.type() == pugi::node_cdata) {
            for (const char *ch = current.value(); *ch; ++ch) {
                if (*ch == '_')
                    out += ' ';
                else if (*ch == '&')
                    out += "&amp;";
                else if (*ch == '<')
                    out += "&lt;";
                else if (*ch == '>')
                    out += "&gt;";
                else
                    out += *ch;
            }
        } else if (current.type() == pugi::node_element && !std::strcmp(current.name(), "n")) {
            out += "<br>";
        }
        current = nextInDocumentOrder(current, root);
    }
    return out;
}

struct StyleTag {
    const char *name;
    const char *open;
    const char *close;
};

const StyleTag styleTags[] = {
    {"b", "<span style=\"font-weight:bold\">", "</span>"},
    {"i", "<i>", "</i>"},
    {"d", "<s>", "</s>"},
    {"u", "<span style=\"text-decoration:underline\">", "</span>"},
    {"w",
        "<u "
        "style=\"text-underline:wave;text-decoration:underline;-webkit-text-decoration-style:wavy;"
        "text-decoration-style:wavy\">",
        "</u>"},
    {"p",
        "<span style=\"font-emphasize:dot;-webkit-text-emphasis:dot;-webkit-text-emphasis-position:"
        "under;text-emphasis:dot;text-emphasis-position:under\">",
        "</span>"},
    {"o", "<span style=\"border:1px solid #4a4a4a;padding:0 1px\">", "</span>"},
    {"f", "<sub>", "</sub>"},
    {"h", "<sup>", "</sup>"},
};

const StyleTag *styleTag(const char *name)
{
    for (const StyleTag &tag : styleTags)
        if (std::strcmp(tag.name, name) == 0)
            return &tag;
    return nullptr;
}

// One flow of paragraphs: the document itself or one table cell.
struct Flow {
    bool blockMode = true;
    std::string out;
    // The paragraph being built.
    std::string html;
    std::string align;
    bool indent = false;
    bool hasContent = false;
    std::vector<const StyleTag *> open; // style elements open at this point
    std::vector<std::string> alignScope {std::string()};
    int tables = 0; // tables open in this flow
};

void startParagraph(Flow &flow)
{
    flow.html.clear();
    flow.align = flow.alignScope.back();
    flow.indent = false;
    flow.hasContent = false;
    for (const StyleTag *tag : flow.open)
        flow.html += tag->open;
}

// Ends the paragraph; empty ones are kept (as a line) only when keepEmpty is set.
void endParagraph(Flow &flow, bool keepEmpty)
{
    for (auto it = flow.open.rbegin(); it != flow.open.rend(); ++it)
        flow.html += (*it)->close;
    if (!flow.blockMode) {
        flow.out += flow.html;
        return;
    }
    if (!flow.hasContent && !keepEmpty)
        return;
    flow.out += "<p style=\"margin:0";
    if (!flow.align.empty())
        flow.out += ";text-align:" + flow.align;
    if (flow.indent)
        flow.out += ";text-indent:2em";
    flow.out += "\">";
    flow.out += flow.hasContent ? flow.html : std::string("<br>");
    flow.out += "</p>";
}

void content(Flow &flow, const std::string &html)
{
    flow.html += html;
    flow.hasContent = true;
}

bool needsBlocks(const pugi::xml_node &root)
{
    pugi::xml_node current = root;
    while (current) {
        if (current.type() == pugi::node_element) {
            const char *name = current.name();
            if (!std::strcmp(name, "c") || !std::strcmp(name, "r") || !std::strcmp(name, "t")
                || !std::strcmp(name, "indent") || !std::strcmp(name, "paragraph")) {
                // A c inside a blank is the blank's text, not an alignment.
                const char *parent = current.parent().name();
                if (std::strcmp(name, "c")
                    || (std::strncmp(parent, "s", 1) || std::strlen(parent) != 2))
                    return true;
            }
        }
        current = nextInDocumentOrder(current, root);
    }
    return false;
}

enum class Exit { None, Style, Align, Paragraph, Table, Row, Cell };

struct Frame {
    pugi::xml_node node;
    Exit exit = Exit::None;
    const StyleTag *style = nullptr;
};

} // namespace

CodeTextConverter::CodeTextConverter(std::string baseUrl)
    : m_baseUrl(std::move(baseUrl))
{ }

bool CodeTextConverter::isCodeText(const std::string &text)
{
    pugi::xml_document document;
    return parse(text, document);
}

std::string CodeTextConverter::escapeHtml(const std::string &text)
{
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text.data(), text.size());
    return out;
}

std::string CodeTextConverter::percentEncode(const std::string &text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char ch : text) {
        if (std::isalnum(ch) || ch == '-' || ch == '.' || ch == '_' || ch == '~') {
            out += char(ch);
        } else {
            out += '%';
            out += hex[ch >> 4];
            out += hex[ch & 15];
        }
    }
    return out;
}

std::string CodeTextConverter::toHtml(const std::string &text) const
{
    pugi::xml_document document;
    if (!parse(text, document))
        return escapeHtml(text);
    const pugi::xml_node root = document.document_element();

    std::vector<Flow> flows(1);
    flows.back().blockMode = needsBlocks(root);
    startParagraph(flows.back());
    size_t styleDepth = 0;

    std::vector<Frame> stack;
    auto leave = [&](const Frame &frame) {
        Flow &flow = flows.back();
        switch (frame.exit) {
        case Exit::None:
            break;
        case Exit::Style:
            flow.html += frame.style->close;
            flow.open.pop_back();
            --styleDepth;
            break;
        case Exit::Align:
            flow.alignScope.pop_back();
            break;
        case Exit::Paragraph:
            if (flow.hasContent) {
                endParagraph(flow, false);
                startParagraph(flow);
            }
            break;
        case Exit::Table:
            flow.out += "</table>";
            --flow.tables;
            startParagraph(flow);
            break;
        case Exit::Row:
            flow.out += "</tr>";
            break;
        case Exit::Cell: {
            Flow cell = std::move(flows.back());
            endParagraph(cell, false);
            flows.pop_back();
            flows.back().out += "<td style=\"border:1px solid #4a4a4a;padding:2px 6px\">";
            flows.back().out += cell.out.empty() ? std::string("&nbsp;") : cell.out;
            flows.back().out += "</td>";
            break;
        }
        }
    };

    // Returns true when the children are to be visited.
    auto enter = [&](const pugi::xml_node &node, Frame &frame) -> bool {
        Flow &flow = flows.back();
        if (node.type() == pugi::node_pcdata || node.type() == pugi::node_cdata) {
            std::string html;
            appendCharacterData(html, node.value());
            content(flow, html);
            return false;
        }
        if (node.type() != pugi::node_element)
            return false;
        const char *name = node.name();
        if (const StyleTag *tag = styleTag(name)) {
            // A style inside the same style changes nothing; opening it again would only make
            // every later paragraph reopen it once more.
            if (styleDepth >= MaxStyleDepth
                || std::find(flow.open.begin(), flow.open.end(), tag) != flow.open.end())
                return true;
            ++styleDepth;
            flow.html += tag->open;
            flow.open.push_back(tag);
            frame.exit = Exit::Style;
            frame.style = tag;
            return true;
        }
        if (!std::strcmp(name, "n")) {
            if (flow.blockMode) {
                endParagraph(flow, true);
                startParagraph(flow);
            } else {
                content(flow, "<br>");
            }
            return false;
        }
        if (!std::strcmp(name, "c") || !std::strcmp(name, "r")) {
            const std::string align = name[0] == 'c' ? "center" : "right";
            if (flow.hasContent) {
                endParagraph(flow, false);
                startParagraph(flow);
            }
            flow.align = align;
            flow.alignScope.push_back(align);
            frame.exit = Exit::Align;
            return true;
        }
        if (!std::strcmp(name, "paragraph")) {
            if (flow.hasContent) {
                endParagraph(flow, false);
                startParagraph(flow);
            }
            frame.exit = Exit::Paragraph;
            return true;
        }
        if (!std::strcmp(name, "g")) {
            const std::string sup = elementText(node.child("h"));
            const std::string sub = elementText(node.child("f"));
            content(flow,
                "<span style=\"display:inline-block;vertical-align:middle;line-height:1;"
                "text-align:center\"><sup style=\"display:block\">"
                    + escapeHtml(sup) + "</sup><sub style=\"display:block\">" + escapeHtml(sub)
                    + "</sub></span>");
            return false;
        }
        if (name[0] == 's' && name[1] >= '1' && name[1] <= '4' && name[2] == 0) {
            const size_t width = size_t(1) << (name[1] - '0');
            const std::string blankText = elementText(node);
            const size_t n = codePoints(blankText);
            size_t left = width;
            size_t right = 0;
            if (n > 0) {
                const size_t room = width > n ? width - n : 0;
                left = room / 2 > 0 ? room / 2 : 1;
                right = room > left ? room - left : 1;
            }
            content(flow,
                "<span style=\"text-decoration:underline\">" + repeat("&nbsp;", left)
                    + escapeHtml(blankText) + repeat("&nbsp;", right) + "</span>");
            return false;
        }
        if (!std::strcmp(name, "v")) {
            const std::string key = node.attribute("key").value();
            if (key.empty())
                return false;
            std::string html = "<img src=\"" + escapeHtml(m_baseUrl)
                + "/api/show/image?fileKey=" + percentEncode(key) + "\"";
            if (const int w = attributeInt(node, "width"))
                html += " width=\"" + std::to_string(w) + "\"";
            if (const int h = attributeInt(node, "height"))
                html += " height=\"" + std::to_string(h) + "\"";
            content(flow, html + " style=\"vertical-align:middle\">");
            return false;
        }
        if (!std::strcmp(name, "tex")) {
            const std::string formula = node.text().get();
            if (formula.empty())
                return false;
            content(flow,
                "<img src=\"" + escapeHtml(m_baseUrl) + "/api/generate/formula?formulaStr="
                    + percentEncode(formula) + "\" style=\"vertical-align:middle\">");
            return false;
        }
        if (!std::strcmp(name, "indent")) {
            if (flow.blockMode && !flow.hasContent && !flow.indent)
                flow.indent = true;
            else
                content(flow, "&nbsp;&nbsp;&nbsp;&nbsp;");
            return false;
        }
        if (!std::strcmp(name, "a")) {
            content(flow, "<span style=\"text-decoration:underline\">题号</span>");
            return false;
        }
        if (!std::strcmp(name, "t")) {
            if (flows.size() > MaxTableDepth)
                return true;
            endParagraph(flow, false);
            flow.out += "<table border=\"1\" cellspacing=\"0\" cellpadding=\"0\" "
                        "style=\"border-collapse:collapse;border:1px solid #4a4a4a\">";
            ++flow.tables;
            frame.exit = Exit::Table;
            return true;
        }
        if (!std::strcmp(name, "tr")) {
            if (flow.tables == 0)
                return true;
            flow.out += "<tr>";
            frame.exit = Exit::Row;
            return true;
        }
        if (!std::strcmp(name, "td")) {
            if (flow.tables == 0)
                return true;
            flows.emplace_back();
            startParagraph(flows.back());
            frame.exit = Exit::Cell;
            return true;
        }
        return true; // doc and unknown elements are transparent
    };

    Frame rootFrame;
    rootFrame.node = root;
    stack.push_back(rootFrame);
    pugi::xml_node next = root.first_child();
    auto tooLong = [&flows] {
        size_t size = 0;
        for (const Flow &flow : flows)
            size += flow.out.size() + flow.html.size();
        return size > MaxHtmlBytes;
    };
    while (!stack.empty()) {
        if (tooLong())
            return plainText(root);
        if (next) {
            Frame frame;
            frame.node = next;
            if (enter(next, frame) && next.first_child()) {
                stack.push_back(frame);
                next = next.first_child();
                continue;
            }
            leave(frame);
            next = next.next_sibling();
            continue;
        }
        const Frame frame = stack.back();
        stack.pop_back();
        leave(frame);
        next = stack.empty() ? pugi::xml_node() : frame.node.next_sibling();
    }

    Flow &flow = flows.front();
    endParagraph(flow, false);
    if (tooLong())
        return plainText(root);
    return flow.out;
}
