#pragma once

#include "stroke.h"

#include <cstddef>
#include <string>
#include <vector>

namespace quenmo {

// The handwriting recognition endpoint: parses the canvas's form body, checks it and answers
// with the recognised TeX. Stateless and thread-safe.
class RecognitionService
{
public:
    struct Reply {
        int status = 200;
        std::string contentType = "application/json;charset=UTF-8";
        std::string body;
    };

    static constexpr const char *path = "/api/myscript/v2.0/equation/doSimpleRecognition.json";
    static constexpr const char *serviceKey = "5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13";

    // Beyond these a drawing is refused rather than recognised.
    static constexpr std::size_t maxBodyBytes = 4 * 1024 * 1024;
    static constexpr std::size_t maxStrokes = 400;
    static constexpr std::size_t maxPoints = 40000;
    static constexpr double maxCoordinate = 1e6;

    // Takes the raw request body ("apiKey=...&equationInput=...&userId=...") and returns the
    // reply to send. Never throws. Errors are answered with status 200 and an "error" object
    // and no LATEX result: the canvas then shows nothing, whereas an HTTP error status would
    // make it pop up a network error dialog after every stroke.
    static Reply handle(const std::string &body);

    // Recognises a drawing directly; an empty drawing gives an empty text.
    static std::string recognize(const std::vector<Stroke> &strokes);
};

} // namespace quenmo
