#include "bankservice_p.h"

#include <ctime>
#include <set>

using nlohmann::json;
using namespace bankservice;

namespace {

size_t codePoints(const std::string &text)
{
    size_t n = 0;
    for (unsigned char ch : text)
        if ((ch & 0xC0) != 0x80)
            ++n;
    return n;
}

std::string trimmed(const std::string &text)
{
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return std::string();
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

} // namespace

std::int64_t BankService::ownedGroup(
    Database::Connection &c, const User &user, std::int64_t groupId)
{
    SqlStatement &select = c.cached("SELECT user_id FROM folders WHERE id = ?");
    select.bind(1, groupId);
    const bool found = select.step() && select.integer(0) == user.id;
    select.reset();
    if (!found)
        throw Refusal(status::NotFound, "分组不存在或不属于当前用户");
    return groupId;
}

json BankService::fetchGroups(const Call &call)
{
    checkUserId(call);
    Database::Lease c = m_db.lease();
    SqlStatement &select = c->cached(
        "SELECT f.id, f.name, COALESCE((SELECT SUM(n) FROM folder_counts k WHERE k.folder_id = "
        "f.id), 0) FROM folders f WHERE f.user_id = ? ORDER BY f.id");
    select.bind(1, call.user.id);
    json groups = json::array();
    while (select.step())
        groups.push_back({{"groupId", select.integer(0)}, {"groupName", select.text(1)},
            {"count", select.integer(2)}});
    if (groups.empty())
        return envelope(status::NoData, "暂无分组", groups);
    return ok(groups);
}

namespace {
std::string checkedGroupName(const json &body)
{
    const std::string name = trimmed(stringMember(body, "groupName", "", 1024));
    if (name.empty())
        badRequest("分组名称不能为空");
    if (codePoints(name) > 30)
        badRequest("名称不能大于30个字");
    return name;
}
} // namespace

json BankService::addGroup(const Call &call)
{
    checkUserId(call);
    const std::string name = checkedGroupName(call.body);
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    SqlStatement &exists = c->cached("SELECT 1 FROM folders WHERE user_id = ? AND name = ?");
    exists.bind(1, call.user.id).bind(2, name);
    if (exists.step())
        throw Refusal(status::Conflict, name + "的组已存在。");
    exists.reset();
    SqlStatement &insert
        = c->cached("INSERT INTO folders(user_id, name, created_at) VALUES (?, ?, ?)");
    insert.bind(1, call.user.id).bind(2, name).bind(3, std::int64_t(std::time(nullptr)));
    insert.run();
    const std::int64_t id = c->lastInsertId();
    transaction.commit();
    return ok({{"groupId", id}, {"groupName", name}, {"count", 0}});
}

json BankService::modifyGroup(const Call &call)
{
    checkUserId(call);
    const std::int64_t groupId = intMember(call.body, "groupId");
    const std::string name = checkedGroupName(call.body);
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    ownedGroup(*c, call.user, groupId);
    SqlStatement &exists
        = c->cached("SELECT 1 FROM folders WHERE user_id = ? AND name = ? AND id <> ?");
    exists.bind(1, call.user.id).bind(2, name).bind(3, groupId);
    if (exists.step())
        throw Refusal(status::Conflict, name + "的组已存在。");
    exists.reset();
    SqlStatement &update = c->cached("UPDATE folders SET name = ? WHERE id = ?");
    update.bind(1, name).bind(2, groupId);
    update.run();
    transaction.commit();
    return ok({{"groupId", groupId}, {"groupName", name}});
}

json BankService::removeGroup(const Call &call)
{
    checkUserId(call);
    const std::int64_t groupId = intMember(call.body, "groupId");
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    ownedGroup(*c, call.user, groupId);
    SqlStatement &exercises = c->cached("DELETE FROM exercises WHERE folder_id = ?");
    exercises.bind(1, groupId);
    exercises.run();
    const int removed = c->changes();
    SqlStatement &counts = c->cached("DELETE FROM folder_counts WHERE folder_id = ?");
    counts.bind(1, groupId);
    counts.run();
    SqlStatement &folder = c->cached("DELETE FROM folders WHERE id = ?");
    folder.bind(1, groupId);
    folder.run();
    transaction.commit();
    return ok({{"groupId", groupId}, {"removedExercises", removed}});
}

json BankService::fetchGroupTypes(const Call &call)
{
    checkUserId(call);
    const std::int64_t groupId = intMember(call.body, "groupId");
    Database::Lease c = m_db.lease();
    ownedGroup(*c, call.user, groupId);
    SqlStatement &select = c->cached(
        "SELECT DISTINCT exercise_type_id FROM folder_counts WHERE folder_id = ? AND n > 0");
    select.bind(1, groupId);
    std::set<std::int64_t> present;
    while (select.step())
        present.insert(select.integer(0));
    json types = json::array();
    for (std::int64_t id : m_typeOrder) {
        if (!present.count(id))
            continue;
        const ExerciseType &t = m_types.at(id);
        types.push_back({{"id", t.id}, {"provinceId", t.provinceId}, {"name", t.name}});
    }
    if (types.empty())
        return envelope(status::NoData, "该分组暂无题目", types);
    return ok(types);
}
