#include "recognitionservice.h"

#include "formularecognizer.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <exception>
#include <optional>

namespace quenmo {

namespace {

using nlohmann::json;

constexpr int maxJsonDepth = 16;

struct Failure {
    std::string code;
    std::string message;
};

RecognitionService::Reply errorReply(const Failure &failure)
{
    json reply = {{"error", {{"code", failure.code}, {"message", failure.message}}}};
    RecognitionService::Reply r;
    r.body = reply.dump();
    return r;
}

RecognitionService::Reply latexReply(const std::string &latex)
{
    json reply = {{"result", {{"results", json::array({{{"type", "LATEX"}, {"value", latex}}})}}}};
    RecognitionService::Reply r;
    r.body = reply.dump(-1, ' ', false, json::error_handler_t::replace);
    return r;
}

// Deep nesting is refused before parsing so that no parser or destructor recursion can be
// driven by the request.
bool nestingWithin(const std::string &text, int limit)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The canvas sends the JSON raw; a form-encoding client sends it percent-encoded.
std::string formDecoded(const std::string &value)
{
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < value.size() && hexValue(value[i + 1]) >= 0
            && hexValue(value[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(value[i + 1]) * 16 + hexValue(value[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

bool startsWith(const std::string &text, std::size_t at, const char *prefix)
{
    return text.compare(at, std::char_traits<char>::length(prefix), prefix) == 0;
}

struct Form {
    std::string apiKey;
    std::string equationInput;
    std::string userId;
};

// Fields come in the canvas's order; the strokes JSON is not encoded, so it is delimited by
// the last "&userId=" rather than by the first '&'.
std::optional<Form> parseForm(const std::string &body, Failure &failure)
{
    static const char keyField[] = "apiKey=";
    static const char inputField[] = "&equationInput=";
    static const char userField[] = "&userId=";
    if (!startsWith(body, 0, keyField)) {
        failure = {"invalid_request", "the body does not start with apiKey"};
        return std::nullopt;
    }
    const std::size_t keyStart = sizeof keyField - 1;
    const std::size_t keyEnd = body.find('&', keyStart);
    if (keyEnd == std::string::npos || !startsWith(body, keyEnd, inputField)) {
        failure = {"invalid_request", "equationInput must follow apiKey"};
        return std::nullopt;
    }
    const std::size_t inputStart = keyEnd + sizeof inputField - 1;
    const std::size_t userAt = body.rfind(userField);
    if (userAt == std::string::npos || userAt < inputStart) {
        failure = {"invalid_request", "userId must follow equationInput"};
        return std::nullopt;
    }
    Form form;
    form.apiKey = body.substr(keyStart, keyEnd - keyStart);
    form.equationInput = body.substr(inputStart, userAt - inputStart);
    form.userId = body.substr(userAt + sizeof userField - 1);
    const std::size_t first = form.equationInput.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && form.equationInput[first] == '%')
        form.equationInput = formDecoded(form.equationInput);
    return form;
}

std::optional<std::vector<double>> coordinates(const json &array)
{
    if (!array.is_array())
        return std::nullopt;
    std::vector<double> values;
    values.reserve(array.size());
    for (const json &v : array) {
        if (!v.is_number())
            return std::nullopt;
        const double d = v.get<double>();
        if (!std::isfinite(d) || std::fabs(d) > RecognitionService::maxCoordinate)
            return std::nullopt;
        values.push_back(d);
    }
    return values;
}

std::optional<std::vector<Stroke>> parseStrokes(const std::string &text, Failure &failure)
{
    if (!nestingWithin(text, maxJsonDepth)) {
        failure = {"invalid_json", "equationInput is nested too deeply"};
        return std::nullopt;
    }
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        failure = {"invalid_json", "equationInput is not JSON"};
        return std::nullopt;
    }
    if (!doc.is_object() || !doc.contains("components") || !doc["components"].is_array()) {
        failure = {"invalid_input", "equationInput has no components array"};
        return std::nullopt;
    }
    const json &components = doc["components"];
    std::vector<Stroke> strokes;
    std::size_t points = 0;
    for (const json &c : components) {
        if (!c.is_object() || !c.contains("type") || !c["type"].is_string()) {
            failure = {"invalid_input", "a component has no type"};
            return std::nullopt;
        }
        if (c["type"].get<std::string>() != "stroke")
            continue;
        if (strokes.size() >= RecognitionService::maxStrokes) {
            failure = {"too_many_strokes", "the drawing has too many strokes"};
            return std::nullopt;
        }
        const auto xs = c.contains("x") ? coordinates(c["x"]) : std::nullopt;
        const auto ys = c.contains("y") ? coordinates(c["y"]) : std::nullopt;
        if (!xs || !ys) {
            failure = {"invalid_input", "a stroke needs numeric x and y arrays"};
            return std::nullopt;
        }
        if (xs->size() != ys->size()) {
            failure = {"invalid_input", "a stroke has x and y arrays of different lengths"};
            return std::nullopt;
        }
        if (xs->empty()) {
            failure = {"invalid_input", "a stroke has no points"};
            return std::nullopt;
        }
        points += xs->size();
        if (points > RecognitionService::maxPoints) {
            failure = {"too_many_points", "the drawing has too many points"};
            return std::nullopt;
        }
        Stroke stroke(xs->size());
        for (std::size_t i = 0; i < xs->size(); ++i)
            stroke[i] = {(*xs)[i], (*ys)[i]};
        strokes.push_back(std::move(stroke));
    }
    return strokes;
}

} // namespace

RecognitionService::Reply RecognitionService::handle(const std::string &body)
{
    try {
        if (body.size() > maxBodyBytes)
            return errorReply({"request_too_large", "the request body is too large"});
        Failure failure;
        const auto form = parseForm(body, failure);
        if (!form)
            return errorReply(failure);
        if (form->apiKey != serviceKey)
            return errorReply({"invalid_api_key", "unknown apiKey"});
        const auto strokes = parseStrokes(form->equationInput, failure);
        if (!strokes)
            return errorReply(failure);
        return latexReply(recognize(*strokes));
    } catch (const std::exception &) {
        return errorReply({"recognition_failed", "the drawing could not be recognised"});
    }
}

std::string RecognitionService::recognize(const std::vector<Stroke> &strokes)
{
    if (strokes.empty())
        return {};
    return FormulaRecognizer::instance().recognize(strokes);
}

} // namespace quenmo
