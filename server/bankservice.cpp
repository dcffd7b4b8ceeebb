#include "bankservice.h"
#include "bankservice_p.h"

#include "seeder.h"

#include <sodium.h>

#include <cmath>
#include <set>

using nlohmann::json;

namespace bankservice {

[[noreturn]] void badRequest(const std::string &message)
{
    throw Refusal(status::BadRequest, message);
}

json envelope(int code, const std::string &msg, json data)
{
    return json {{"status", code}, {"msg", msg}, {"data", std::move(data)}};
}

json ok(json data)
{
    return envelope(status::Ok, "成功", std::move(data));
}

const json &member(const json &object, const char *name, const std::string &where)
{
    const auto it = object.find(name);
    if (it == object.end())
        badRequest("缺少成员 " + where + name);
    return *it;
}

bool wholeNumber(const json &value, std::int64_t &out)
{
    if (value.is_number_integer()) {
        out = value.get<std::int64_t>();
        return true;
    }
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (std::isfinite(d) && std::floor(d) == d && std::fabs(d) < 9e15) {
            out = std::int64_t(d);
            return true;
        }
    }
    return false;
}

std::int64_t intMember(const json &object, const char *name, const std::string &where)
{
    std::int64_t value = 0;
    if (!wholeNumber(member(object, name, where), value))
        badRequest(where + name + " 必须是整数");
    return value;
}

double numberMember(const json &object, const char *name, const std::string &where)
{
    const json &value = member(object, name, where);
    if (!value.is_number())
        badRequest(where + name + " 必须是数字");
    const double d = value.get<double>();
    if (!std::isfinite(d))
        badRequest(where + name + " 必须是数字");
    return d;
}

std::string stringMember(
    const json &object, const char *name, const std::string &where, size_t limit)
{
    const json &value = member(object, name, where);
    if (!value.is_string())
        badRequest(where + name + " 必须是字符串");
    const std::string &s = value.get_ref<const std::string &>();
    if (s.size() > limit)
        badRequest(where + name + " 过长");
    return s;
}

const json &objectMember(const json &object, const char *name, const std::string &where)
{
    const json &value = member(object, name, where);
    if (!value.is_object())
        badRequest(where + name + " 必须是对象");
    return value;
}

const json &arrayMember(const json &object, const char *name, const std::string &where)
{
    const json &value = member(object, name, where);
    if (!value.is_array())
        badRequest(where + name + " 必须是数组");
    return value;
}

std::vector<std::int64_t> idList(const json &object, const char *name)
{
    const json &array = arrayMember(object, name);
    if (array.empty())
        badRequest("没有选中题目");
    if (array.size() > 1000)
        badRequest(std::string(name) + " 一次最多1000个");
    std::vector<std::int64_t> ids;
    std::set<std::int64_t> seen;
    for (size_t i = 0; i < array.size(); ++i) {
        std::int64_t id = 0;
        if (!wholeNumber(array[i], id))
            badRequest(std::string(name) + "[" + std::to_string(i) + "] 必须是整数");
        if (seen.insert(id).second)
            ids.push_back(id);
    }
    return ids;
}

json scoreValue(double score)
{
    if (std::floor(score) == score && std::fabs(score) < 1e9)
        return std::int64_t(score);
    return score;
}

std::string randomToken()
{
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    char hex[sizeof bytes * 2 + 1];
    sodium_bin2hex(hex, sizeof hex, bytes, sizeof bytes);
    return hex;
}

std::string text(const json &reply)
{
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

} // namespace bankservice

using namespace bankservice;

BankService::BankService(Database &db, Options options)
    : m_db(db)
    , m_options(std::move(options))
{
    m_routes = {
        {"/user/login", {&BankService::login, false}},
        {"/library/version/check", {&BankService::versionCheck, false}},
        {"/library/statistics/count", {&BankService::statistics, true}},
        {"/library/fetch/groups", {&BankService::fetchGroups, true}},
        {"/library/add/group", {&BankService::addGroup, true}},
        {"/library/modify/group", {&BankService::modifyGroup, true}},
        {"/library/remove/group", {&BankService::removeGroup, true}},
        {"/library/fetch/type", {&BankService::fetchGroupTypes, true}},
        {"/library/fetch/exercise", {nullptr, true, &BankService::fetchExercises}},
        {"/library/move/exercise", {&BankService::moveExercise, true}},
        {"/library/batch/move/exercise", {&BankService::moveExercises, true}},
        {"/library/remove/exercise", {&BankService::removeExercise, true}},
        {"/library/batch/remove/exercise", {&BankService::removeExercises, true}},
        {"/library/fetch/exerciseTypes", {&BankService::fetchExerciseTypes, true}},
        {"/api/exercise_and_question/type/detail", {&BankService::typeDetail, true}},
        {"/library/fetch/exerciseKnowledge", {&BankService::fetchKnowledge, true}},
        {"/library/fetch/exercise/id", {&BankService::fetchExercise, true}},
        {"/library/add/exercise", {&BankService::addExercise, true}},
        {"/library/modify/exercise", {&BankService::modifyExercise, true}},
        {"/library/transfer/xml", {&BankService::transferXml, true}},
    };
    loadCatalogue();
    m_dummyHash = Seeder::hashPassword(randomToken());
    m_db.setWriteListener(&m_listCache, "exercises");
}

BankService::~BankService()
{
    m_db.setWriteListener(nullptr, std::string());
}

bool BankService::handles(const std::string &path) const
{
    return m_routes.count(path) > 0;
}

std::vector<std::string> BankService::paths() const
{
    std::vector<std::string> list;
    for (const auto &route : m_routes)
        list.push_back(route.first);
    return list;
}

namespace {
BankService::Reply textReply(const json &reply)
{
    return {reply.value("status", 0), text(reply)};
}
} // namespace

BankService::Reply BankService::handle(const std::string &path, const std::string &body,
    const std::string &loginToken, const std::string &baseUrl)
{
    const auto route = m_routes.find(path);
    if (route == m_routes.end())
        return textReply(envelope(status::NotFound, "接口不存在"));
    if (body.size() > MaxBodyBytes)
        return textReply(envelope(status::BadRequest, "请求体过大"));
    json parsed = body.empty() ? json::object() : json::parse(body, nullptr, false);
    if (parsed.is_discarded())
        return textReply(envelope(status::BadRequest, "请求体不是有效的JSON"));
    if (!parsed.is_object())
        return textReply(envelope(status::BadRequest, "请求体必须是JSON对象"));
    User user;
    if (route->second.needsLogin && !authenticate(loginToken, user))
        return textReply(envelope(status::NotLoggedIn, "登录已失效，请重新登录"));
    try {
        const Call call {parsed, user, baseUrl};
        if (route->second.textHandler)
            return (this->*route->second.textHandler)(call);
        return textReply((this->*route->second.handler)(call));
    } catch (const Refusal &refusal) {
        return textReply(envelope(refusal.status, refusal.what()));
    }
}

void BankService::checkUserId(const Call &call)
{
    if (!call.body.contains("userId"))
        return;
    std::int64_t id = 0;
    if (!wholeNumber(call.body["userId"], id))
        badRequest("userId 必须是整数");
    if (id != call.user.id)
        throw Refusal(status::Forbidden, "无权操作其他用户的数据");
}
