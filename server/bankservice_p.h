#pragma once

#include "bankservice.h"
#include "status.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// What the BankService route files share: refusals, the envelope, the JSON member readers.
namespace bankservice {

// The largest exercise the bank stores; one preview converts all of its texts at once.
constexpr size_t MaxQuestions = 20;
constexpr size_t MaxOptions = 26;
constexpr size_t MaxAnswers = 100;

// A refusal that becomes the reply {status, msg}; nothing has been stored when it is thrown.
class Refusal : public std::runtime_error
{
public:
    Refusal(int status, const std::string &message)
        : std::runtime_error(message)
        , status(status)
    { }
    int status;
};

[[noreturn]] void badRequest(const std::string &message);
nlohmann::json envelope(
    int code, const std::string &msg, nlohmann::json data = nlohmann::json::object());
nlohmann::json ok(nlohmann::json data);
const nlohmann::json &member(
    const nlohmann::json &object, const char *name, const std::string &where);
bool wholeNumber(const nlohmann::json &value, std::int64_t &out);
std::int64_t intMember(
    const nlohmann::json &object, const char *name, const std::string &where = "");
double numberMember(const nlohmann::json &object, const char *name, const std::string &where);
std::string stringMember(const nlohmann::json &object, const char *name,
    const std::string &where = "", size_t limit = 256 * 1024);
const nlohmann::json &objectMember(
    const nlohmann::json &object, const char *name, const std::string &where = "");
const nlohmann::json &arrayMember(
    const nlohmann::json &object, const char *name, const std::string &where = "");
std::vector<std::int64_t> idList(const nlohmann::json &object, const char *name);
nlohmann::json scoreValue(double score);
std::string randomToken();
// The reply as JSON text.
std::string text(const nlohmann::json &reply);

} // namespace bankservice
