#include "bankservice_p.h"

#include "seeder.h"

#include <ctime>
#include <sodium.h>

using nlohmann::json;
using namespace bankservice;

namespace {

// Longer passwords are refused before they are checked, so none may be set either.
constexpr size_t MaxPasswordBytes = 256;

// The first eight columns of a users row, in the order both queries below select them.
void readUser(SqlStatement &select, BankService::User &user)
{
    user.id = select.integer(0);
    user.phone = select.text(1);
    user.roleId = int(select.integer(2));
    user.roleName = select.text(3);
    user.username = select.text(4);
    user.realName = select.text(5);
    user.subjectCode = int(select.integer(6));
    user.provinceId = int(select.integer(7));
}

} // namespace

bool BankService::authenticate(const std::string &token, User &user)
{
    if (token.size() != 64 || token.find_first_not_of("0123456789abcdef") != std::string::npos)
        return false;
    Database::Lease c = m_db.lease();
    SqlStatement &select = c->cached(
        "SELECT u.id, u.phone, u.role_id, u.role_name, u.username, u.real_name, u.subject_code, "
        "u.province_id FROM tokens t JOIN users u ON u.id = t.user_id "
        "WHERE t.token = ? AND t.expires_at > ?");
    select.bind(1, token).bind(2, std::int64_t(std::time(nullptr)));
    if (!select.step())
        return false;
    readUser(select, user);
    select.reset();
    return true;
}

void BankService::refuseWhileLockedOut(const std::string &phone)
{
    const int seconds = m_loginGuard.waitSeconds(phone);
    if (seconds > 0)
        throw Refusal(
            status::Failed, "登录失败次数过多，请" + std::to_string(seconds) + "秒后再试");
}

json BankService::login(const Call &call)
{
    const json &body = call.body;
    const auto phone = body.find("phoneNumber");
    const auto password = body.find("password");
    if (phone == body.end() || password == body.end() || !phone->is_string()
        || !password->is_string())
        badRequest("phoneNumber 和 password 必须是字符串");
    const std::string phoneText = phone->get<std::string>();
    const std::string passwordText = password->get<std::string>();
    if (phoneText.empty() || passwordText.empty())
        throw Refusal(status::Failed, "请输入手机号和密码");
    if (phoneText.size() > 64 || passwordText.size() > MaxPasswordBytes)
        throw Refusal(status::Failed, "用户名或密码错误");

    // A locked-out number is refused before its password costs anything.
    refuseWhileLockedOut(phoneText);
    User user;
    std::string hash = m_dummyHash;
    {
        Database::Lease c = m_db.lease();
        SqlStatement &select
            = c->cached("SELECT id, phone, role_id, role_name, username, real_name, subject_code, "
                        "province_id, password_hash FROM users WHERE phone = ?");
        select.bind(1, phoneText);
        if (select.step()) {
            readUser(select, user);
            hash = select.text(8);
        }
        select.reset();
    }
    bool verified = false;
    {
        LoginGuard::Turn turn(m_loginGuard);
        // Failures of the same number may have locked it while this one waited in line.
        refuseWhileLockedOut(phoneText);
        // The hash is checked even for an unknown phone so both failures take the same time.
        verified
            = crypto_pwhash_str_verify(hash.c_str(), passwordText.data(), passwordText.size()) == 0;
    }
    if (!verified || user.id == 0) {
        m_loginGuard.failed(phoneText);
        throw Refusal(status::Failed, "用户名或密码错误");
    }
    m_loginGuard.succeeded(phoneText);

    Database::Lease c = m_db.lease();
    const std::string token = randomToken();
    const std::int64_t now = std::time(nullptr);
    SqlStatement &purge = c->cached("DELETE FROM tokens WHERE user_id = ? AND expires_at <= ?");
    purge.bind(1, user.id).bind(2, now);
    purge.run();
    SqlStatement &insert
        = c->cached("INSERT INTO tokens(token, user_id, expires_at) VALUES (?, ?, ?)");
    insert.bind(1, token).bind(2, user.id).bind(3, now + TokenLifetimeSeconds);
    insert.run();
    return ok({{"loginToken", token},
        {"user",
            {{"userId", user.id}, {"phoneNumber", user.phone}, {"roleid", user.roleId},
                {"rolename", user.roleName}, {"username", user.username},
                {"subjectCode", user.subjectCode}, {"realName", user.realName},
                {"provinceId", user.provinceId}}}});
}

json BankService::versionCheck(const Call &)
{
    return ok({{"version", m_options.clientVersion}, {"updatetrategy", m_options.updateStrategy},
        {"appURL", m_options.appUrl}});
}

bool BankService::setPassword(
    const std::string &phone, const std::string &password, std::string &error)
{
    if (password.size() < 6) {
        error = "the password needs at least 6 characters";
        return false;
    }
    if (password.size() > MaxPasswordBytes) {
        error = "the password may have at most " + std::to_string(MaxPasswordBytes) + " bytes";
        return false;
    }
    const std::string hash = Seeder::hashPassword(password);
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    SqlStatement &update = c->cached("UPDATE users SET password_hash = ? WHERE phone = ?");
    update.bind(1, hash).bind(2, phone);
    update.run();
    if (c->changes() == 0) {
        error = "no teacher has the phone number " + phone;
        return false;
    }
    SqlStatement &tokens
        = c->cached("DELETE FROM tokens WHERE user_id = (SELECT id FROM users WHERE phone = ?)");
    tokens.bind(1, phone);
    tokens.run();
    transaction.commit();
    return true;
}
