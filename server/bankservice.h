#pragma once

#include "database.h"
#include "listcache.h"
#include "loginguard.h"

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

// The library, bench and account JSON paths: every request body in, one reply envelope
// ({"status","msg","data"}) out. Knows nothing of HTTP.
class BankService
{
public:
    struct Options {
        std::string clientVersion = "1.1.2";
        int updateStrategy = 0;
        std::string appUrl;
    };

    static constexpr size_t MaxBodyBytes = 2 * 1024 * 1024;
    static constexpr int PageSize = 10;
    static constexpr int TokenLifetimeSeconds = 30 * 24 * 3600;

    BankService(Database &db, Options options);
    ~BankService();

    bool handles(const std::string &path) const;
    std::vector<std::string> paths() const;

    // The reply envelope as JSON text, and its status member.
    struct Reply {
        int status = 0;
        std::string body;
    };
    // baseUrl is where this request arrived ("http://host:port"), used for image addresses.
    Reply handle(const std::string &path, const std::string &body, const std::string &loginToken,
        const std::string &baseUrl);

    // Administration: sets a teacher's password and ends their sessions.
    bool setPassword(const std::string &phone, const std::string &password, std::string &error);

    struct User {
        std::int64_t id = 0;
        std::string phone;
        int roleId = 0;
        std::string roleName;
        std::string username;
        std::string realName;
        int subjectCode = 0;
        int provinceId = 0;
    };
    // The teacher whose session the token is; false for a missing or expired one.
    bool authenticate(const std::string &token, User &user);

    struct QuestionType {
        std::int64_t id = 0;
        int typeCode = 0;
        std::string desc;
        double score = 0;
        bool hasContent = false;
        int optionNum = 0;
        int sort = 0;
    };

    struct ExerciseType {
        std::int64_t id = 0;
        int subjectCode = 0;
        int provinceId = 0;
        std::string name;
        bool hasStem = false;
        bool hasMore = false;
        std::vector<QuestionType> questionTypes;
    };

    struct Knowledge {
        std::int64_t id = 0;
        int subjectCode = 0;
        std::int64_t parentId = 0;
        std::string name;
        std::vector<std::int64_t> children;
    };

    struct Call {
        const nlohmann::json &body;
        const User &user;
        const std::string &baseUrl;
    };

private:
    using Handler = nlohmann::json (BankService::*)(const Call &);
    // Writes the whole reply text itself (the list splices cached items into it).
    using TextHandler = Reply (BankService::*)(const Call &);
    struct Route {
        Handler handler;
        bool needsLogin;
        TextHandler textHandler = nullptr;
    };

    void loadCatalogue();
    std::int64_t ownedGroup(Database::Connection &c, const User &user, std::int64_t groupId);
    std::int64_t ownedExercise(Database::Connection &c, const User &user, std::int64_t exerciseId,
        std::int64_t *folderId = nullptr);
    void checkUserId(const Call &call);

    void refuseWhileLockedOut(const std::string &phone);
    nlohmann::json login(const Call &call);
    nlohmann::json versionCheck(const Call &call);
    nlohmann::json statistics(const Call &call);
    nlohmann::json fetchGroups(const Call &call);
    nlohmann::json addGroup(const Call &call);
    nlohmann::json modifyGroup(const Call &call);
    nlohmann::json removeGroup(const Call &call);
    nlohmann::json fetchGroupTypes(const Call &call);
    Reply fetchExercises(const Call &call);
    // The list items of these exercises as JSON text, by exercise id.
    std::map<std::int64_t, std::string> listItems(
        Database::Connection &c, const Call &call, const std::vector<std::int64_t> &ids);
    nlohmann::json moveExercise(const Call &call);
    nlohmann::json moveExercises(const Call &call);
    nlohmann::json removeExercise(const Call &call);
    nlohmann::json removeExercises(const Call &call);
    nlohmann::json fetchExerciseTypes(const Call &call);
    nlohmann::json typeDetail(const Call &call);
    nlohmann::json fetchKnowledge(const Call &call);
    nlohmann::json fetchExercise(const Call &call);
    nlohmann::json addExercise(const Call &call);
    nlohmann::json modifyExercise(const Call &call);
    nlohmann::json transferXml(const Call &call);

    nlohmann::json storeExercise(const Call &call, bool modify);
    nlohmann::json knowledgeNode(std::int64_t id) const;

    Database &m_db;
    Options m_options;
    ListCache m_listCache;
    std::map<std::string, Route> m_routes;
    std::map<std::int64_t, ExerciseType> m_types;
    std::vector<std::int64_t> m_typeOrder;
    std::map<std::int64_t, Knowledge> m_knowledge;
    std::map<int, std::vector<std::int64_t>> m_knowledgeRoots;
    std::string m_dummyHash;
    LoginGuard m_loginGuard {LoginGuard::defaultChecks()};
};
