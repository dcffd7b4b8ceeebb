#include "bankservice_p.h"

#include "codetextconverter.h"

#include <algorithm>
#include <ctime>
#include <set>

using nlohmann::json;
using namespace bankservice;

namespace {

std::string localTime(std::int64_t seconds, const char *format)
{
    const std::time_t t = std::time_t(seconds);
    std::tm parts {};
    localtime_r(&t, &parts);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, format, &parts);
    return buffer;
}

std::string placeholders(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += i ? ",?" : "?";
    return s;
}

// Knowledge ids travel as decimal ids joined by ", ".
std::vector<std::int64_t> parseKnowledgeIds(const std::string &text, const std::string &where)
{
    std::vector<std::int64_t> ids;
    size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && (text[at] == ' ' || text[at] == ','))
            ++at;
        if (at >= text.size())
            break;
        size_t end = at;
        while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end])))
            ++end;
        if (end == at || end - at > 15
            || (end < text.size() && text[end] != ',' && text[end] != ' '))
            badRequest(where + "knowledgeIds 必须是以逗号分隔的知识点编号");
        ids.push_back(std::stoll(text.substr(at, end - at)));
        at = end;
    }
    return ids;
}

struct OptionItem {
    std::string content;
};

// optionContent as sent: a JSON array text of {option_index, option_content[, isAnswer]}.
std::vector<OptionItem> parseOptions(const std::string &text, const std::string &where, bool strict)
{
    std::vector<OptionItem> options;
    const json parsed = json::parse(text, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_array()) {
        if (strict)
            badRequest(where + "optionContent 不是有效的选项数组");
        return options;
    }
    for (size_t i = 0; i < parsed.size(); ++i) {
        const json &item = parsed[i];
        const std::string at = where + "optionContent[" + std::to_string(i) + "].";
        if (!item.is_object()) {
            if (strict)
                badRequest(at + " 必须是对象");
            continue;
        }
        std::int64_t index = 0;
        const auto idx = item.find("option_index");
        const auto content = item.find("option_content");
        if (strict) {
            if (idx == item.end() || !wholeNumber(*idx, index))
                badRequest(at + "option_index 必须是整数");
            if (content == item.end() || !content->is_string())
                badRequest(at + "option_content 必须是字符串");
            const auto answer = item.find("isAnswer");
            if (answer != item.end() && !answer->is_boolean())
                badRequest(at + "isAnswer 必须是布尔值");
        }
        OptionItem option;
        if (content != item.end() && content->is_string())
            option.content = content->get<std::string>();
        options.push_back(std::move(option));
    }
    return options;
}

struct Answer {
    std::int64_t idx = 0;
    std::string content;
    bool operator==(const Answer &o) const { return idx == o.idx && content == o.content; }
};

struct Question {
    std::int64_t index = 0, typeId = 0;
    std::string knowledgeIds;
    double score = 0;
    std::string content, explain;
    bool hasOptions = false;
    std::string optionContent;
    std::vector<Answer> answers;
    bool sameRow(const Question &o) const
    {
        return index == o.index && typeId == o.typeId && knowledgeIds == o.knowledgeIds
            && score == o.score && content == o.content && explain == o.explain
            && hasOptions == o.hasOptions && optionContent == o.optionContent;
    }
};

void bindQuestion(SqlStatement &s, int first, const Question &q)
{
    s.bind(first, q.index).bind(first + 1, q.typeId).bind(first + 2, q.knowledgeIds);
    s.bind(first + 3, q.score).bind(first + 4, q.content).bind(first + 5, q.explain);
    if (q.hasOptions)
        s.bind(first + 6, q.optionContent);
    else
        s.bindNull(first + 6);
}

void insertAnswers(Database::Connection &c, std::int64_t questionId,
    const std::vector<Answer> &answers, size_t from, std::int64_t position)
{
    SqlStatement &insert = c.cached(
        "INSERT INTO answers(question_id, position, answer_idx, content) VALUES (?, ?, ?, ?)");
    for (size_t j = from; j < answers.size(); ++j, ++position) {
        insert.bind(1, questionId).bind(2, position).bind(3, answers[j].idx);
        insert.bind(4, answers[j].content);
        insert.run();
    }
}

void insertQuestions(Database::Connection &c, std::int64_t exerciseId,
    const std::vector<Question> &questions, size_t from, std::int64_t position)
{
    SqlStatement &insert
        = c.cached("INSERT INTO questions(exercise_id, position, question_index, questiontype_id, "
                   "knowledge_ids, score, question_content, question_explain, option_content) "
                   "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (size_t i = from; i < questions.size(); ++i, ++position) {
        insert.bind(1, exerciseId).bind(2, position);
        bindQuestion(insert, 3, questions[i]);
        insert.run();
        insertAnswers(c, c.lastInsertId(), questions[i].answers, 0, 0);
    }
}

// Brings a stored exercise's questions and answers to the ones sent, writing only the rows that
// differ: each written page is logged and synced with the commit and copied back later, and a
// delete and reinsert would touch the rows' old pages, their indexes and new pages at the end.
void rewriteQuestions(
    Database::Connection &c, std::int64_t exerciseId, const std::vector<Question> &questions)
{
    struct Stored {
        std::int64_t id = 0, position = 0;
        Question question;
        std::vector<std::int64_t> answerIds;
        std::int64_t lastAnswerPosition = -1;
    };
    std::vector<Stored> stored;
    SqlStatement &select = c.cached(
        "SELECT id, position, question_index, questiontype_id, knowledge_ids, score, "
        "question_content, question_explain, option_content FROM questions WHERE exercise_id = ? "
        "ORDER BY position, id");
    select.bind(1, exerciseId);
    while (select.step()) {
        Stored row;
        row.id = select.integer(0);
        row.position = select.integer(1);
        Question &q = row.question;
        q.index = select.integer(2);
        q.typeId = select.integer(3);
        q.knowledgeIds = select.text(4);
        q.score = select.real(5);
        q.content = select.text(6);
        q.explain = select.text(7);
        q.hasOptions = !select.isNull(8);
        q.optionContent = select.text(8);
        stored.push_back(std::move(row));
    }
    select.reset();

    SqlStatement &answers
        = c.cached("SELECT id, position, answer_idx, content FROM answers WHERE question_id = ? "
                   "ORDER BY position, id");
    SqlStatement &updateQuestion = c.cached(
        "UPDATE questions SET question_index = ?, questiontype_id = ?, knowledge_ids = ?, "
        "score = ?, question_content = ?, question_explain = ?, option_content = ? WHERE id = ?");
    SqlStatement &updateAnswer
        = c.cached("UPDATE answers SET answer_idx = ?, content = ? WHERE id = ?");
    SqlStatement &removeAnswer = c.cached("DELETE FROM answers WHERE id = ?");
    SqlStatement &removeQuestion = c.cached("DELETE FROM questions WHERE id = ?");
    const size_t kept = std::min(stored.size(), questions.size());
    for (size_t i = 0; i < kept; ++i) {
        Stored &row = stored[i];
        const Question &q = questions[i];
        answers.bind(1, row.id);
        while (answers.step()) {
            row.answerIds.push_back(answers.integer(0));
            row.lastAnswerPosition = answers.integer(1);
            row.question.answers.push_back({answers.integer(2), answers.text(3)});
        }
        answers.reset();
        if (!row.question.sameRow(q)) {
            bindQuestion(updateQuestion, 1, q);
            updateQuestion.bind(8, row.id);
            updateQuestion.run();
        }
        const std::vector<Answer> &was = row.question.answers;
        const size_t keptAnswers = std::min(was.size(), q.answers.size());
        for (size_t j = 0; j < keptAnswers; ++j) {
            if (was[j] == q.answers[j])
                continue;
            updateAnswer.bind(1, q.answers[j].idx).bind(2, q.answers[j].content);
            updateAnswer.bind(3, row.answerIds[j]);
            updateAnswer.run();
        }
        for (size_t j = keptAnswers; j < was.size(); ++j) {
            removeAnswer.bind(1, row.answerIds[j]);
            removeAnswer.run();
        }
        insertAnswers(c, row.id, q.answers, keptAnswers, row.lastAnswerPosition + 1);
    }
    // Their answers go with them.
    for (size_t i = kept; i < stored.size(); ++i) {
        removeQuestion.bind(1, stored[i].id);
        removeQuestion.run();
    }
    if (questions.size() > stored.size())
        insertQuestions(
            c, exerciseId, questions, kept, stored.empty() ? 0 : stored.back().position + 1);
}

struct ExerciseRow {
    std::int64_t folder = 0, type = 0, subject = 0, difficulty = 0;
    std::string content;
    std::int64_t modifier = 0;
};

// Sets the group, type, subject, difficulty and text only where they change (the group, type
// and difficulty are indexed and counted by a trigger), and the modification always: that
// update is what tells the list cache the exercise changed, even when only a question did.
void updateExercise(
    Database::Connection &c, std::int64_t id, const ExerciseRow &row, std::int64_t now)
{
    SqlStatement &select = c.cached("SELECT folder_id, exercise_type_id, subject_id, difficulty, "
                                    "content FROM exercises WHERE id = ?");
    select.bind(1, id);
    select.step();
    std::string sql = "UPDATE exercises SET modified_at = ?1, modifier_id = ?2";
    if (select.integer(0) != row.folder)
        sql += ", folder_id = ?3";
    if (select.integer(1) != row.type)
        sql += ", exercise_type_id = ?4";
    if (select.integer(2) != row.subject)
        sql += ", subject_id = ?5";
    if (select.integer(3) != row.difficulty)
        sql += ", difficulty = ?6";
    if (select.text(4) != row.content)
        sql += ", content = ?7";
    select.reset();
    SqlStatement &update = c.cached(sql + " WHERE id = ?8");
    update.bind(1, now).bind(2, row.modifier).bind(3, row.folder).bind(4, row.type);
    update.bind(5, row.subject).bind(6, row.difficulty).bind(7, row.content).bind(8, id);
    update.run();
}
} // namespace

std::int64_t BankService::ownedExercise(
    Database::Connection &c, const User &user, std::int64_t exerciseId, std::int64_t *folderId)
{
    SqlStatement &select = c.cached("SELECT user_id, folder_id FROM exercises WHERE id = ?");
    select.bind(1, exerciseId);
    const bool found = select.step() && select.integer(0) == user.id;
    if (found && folderId)
        *folderId = select.integer(1);
    select.reset();
    if (!found)
        throw Refusal(status::NotFound, "题目不存在或不属于当前用户");
    return exerciseId;
}

json BankService::statistics(const Call &call)
{
    checkUserId(call);
    std::string date = localTime(std::time(nullptr), "%Y-%m-%d");
    if (call.body.contains("createDate")) {
        date = stringMember(call.body, "createDate", "", 32);
        const bool shaped = date.size() == 10 && date[4] == '-' && date[7] == '-'
            && std::all_of(date.begin(), date.end(),
                [](char ch) { return ch == '-' || std::isdigit(static_cast<unsigned char>(ch)); });
        if (!shaped)
            badRequest("createDate 必须是 yyyy-MM-dd 格式的日期");
    }
    Database::Lease c = m_db.lease();
    SqlStatement &today
        = c->cached("SELECT COUNT(*) FROM exercises WHERE user_id = ? AND created_date = ?");
    today.bind(1, call.user.id).bind(2, date);
    today.step();
    const std::int64_t count = today.integer(0);
    today.reset();
    SqlStatement &total = c->cached("SELECT COALESCE(SUM(n), 0) FROM folder_counts k JOIN folders "
                                    "f ON f.id = k.folder_id WHERE f.user_id = ?");
    total.bind(1, call.user.id);
    total.step();
    const std::int64_t totalCount = total.integer(0);
    total.reset();
    return ok({{"count", count}, {"totalCount", totalCount}});
}

namespace {
// The page actually served: pageNum 0 (or less) is the first page, one past the last the last.
std::int64_t clampedPage(std::int64_t pageNum, std::int64_t total)
{
    const std::int64_t pages = (total + BankService::PageSize - 1) / BankService::PageSize;
    if (pageNum < 1)
        pageNum = 1;
    if (pages > 0 && pageNum > pages)
        pageNum = pages;
    return pageNum;
}
} // namespace

BankService::Reply BankService::fetchExercises(const Call &call)
{
    checkUserId(call);
    const json &body = call.body;
    const std::int64_t groupId = intMember(body, "groupId");
    const std::int64_t typeId
        = body.contains("exerciseTypeId") ? intMember(body, "exerciseTypeId") : -1;
    const std::int64_t difficulty = body.contains("difficuty") ? intMember(body, "difficuty") : -1;
    std::int64_t pageNum = body.contains("pageNum") ? intMember(body, "pageNum") : 0;
    if (typeId < -1)
        badRequest("exerciseTypeId 无效");
    if (difficulty < -1 || difficulty > 5)
        badRequest("difficuty 必须是 -1 或 0 到 5");

    std::string where = " WHERE folder_id = ?1";
    if (typeId != -1)
        where += " AND exercise_type_id = ?2";
    if (difficulty != -1)
        where += " AND difficulty = ?3";
    auto bindFilters = [&](SqlStatement &s) {
        s.bind(1, groupId);
        if (typeId != -1)
            s.bind(2, typeId);
        if (difficulty != -1)
            s.bind(3, difficulty);
    };

    Database::Lease c = m_db.lease();
    // One read snapshot for the count, the page and its items.
    c->exec("BEGIN");
    std::int64_t total = 0;
    std::vector<std::int64_t> ids;
    std::vector<std::string> items;
    try {
        // The first read fixes the snapshot; the cache serves it only at the same version.
        const std::int64_t version = ListCache::version(*c);
        const bool cached = m_listCache.usable(version);
        ownedGroup(*c, call.user, groupId);
        const ListCache::Filter filter {groupId, typeId, difficulty};
        auto offsetOf = [&](std::int64_t page) { return (page - 1) * PageSize; };

        bool paged = false;
        if (cached) {
            // The total first, to clamp the page; then the page itself.
            paged = m_listCache.page(version, filter, 0, 0, ids, total);
            if (paged) {
                pageNum = clampedPage(pageNum, total);
                paged = m_listCache.page(version, filter, offsetOf(pageNum), PageSize, ids, total);
            }
            if (!paged) {
                // Every id of the filter once, ascending, from the index that covers it.
                std::vector<std::int64_t> all;
                SqlStatement &select
                    = c->cached("SELECT id FROM exercises" + where + " ORDER BY id");
                bindFilters(select);
                while (select.step())
                    all.push_back(select.integer(0));
                select.reset();
                total = std::int64_t(all.size());
                pageNum = clampedPage(pageNum, total);
                const std::int64_t offset = offsetOf(pageNum);
                ids.clear();
                for (std::int64_t p = offset; p < offset + PageSize && p < total; ++p)
                    ids.push_back(all[size_t(total - 1 - p)]);
                m_listCache.storeIds(version, filter, std::move(all));
                paged = true;
            }
        }
        if (!paged) {
            SqlStatement &count
                = c->cached("SELECT COALESCE(SUM(n), 0) FROM folder_counts" + where);
            bindFilters(count);
            count.step();
            total = count.integer(0);
            count.reset();
            pageNum = clampedPage(pageNum, total);
            const std::int64_t offset = offsetOf(pageNum);
            if (offset < total) {
                // Pages past the middle are read from the other end, so the last page costs as
                // little as the first.
                const std::int64_t limit = std::min<std::int64_t>(PageSize, total - offset);
                const bool fromEnd = offset * 2 > total;
                SqlStatement &page = c->cached("SELECT id FROM exercises" + where + " ORDER BY id "
                    + (fromEnd ? "ASC" : "DESC") + " LIMIT ?4 OFFSET ?5");
                bindFilters(page);
                page.bind(4, limit).bind(5, fromEnd ? total - offset - limit : offset);
                while (page.step())
                    ids.push_back(page.integer(0));
                page.reset();
                if (fromEnd)
                    std::reverse(ids.begin(), ids.end());
            }
        }

        items.resize(ids.size());
        std::vector<std::int64_t> missing;
        for (size_t i = 0; i < ids.size(); ++i)
            if (!cached || !m_listCache.item(version, ids[i], call.baseUrl, items[i]))
                missing.push_back(ids[i]);
        if (!missing.empty()) {
            std::map<std::int64_t, std::string> built = listItems(*c, call, missing);
            for (size_t i = 0; i < ids.size(); ++i) {
                auto it = built.find(ids[i]);
                if (it == built.end())
                    continue;
                if (cached)
                    m_listCache.storeItem(version, ids[i], call.baseUrl, it->second);
                items[i] = std::move(it->second);
            }
        }
        c->exec("COMMIT");
    } catch (...) {
        c->exec("ROLLBACK");
        throw;
    }

    const std::int64_t pages = (total + PageSize - 1) / PageSize;
    std::string reply = "{\"data\":{\"pageNum\":" + std::to_string(pageNum) + ",\"pageSize\":"
        + std::to_string(PageSize) + ",\"pages\":" + std::to_string(pages) + ",\"result\":[";
    bool first = true;
    for (const std::string &item : items) {
        if (item.empty())
            continue;
        if (!first)
            reply += ',';
        reply += item;
        first = false;
    }
    reply += "],\"total\":" + std::to_string(total) + "},\"msg\":\"成功\",\"status\":0}";
    return {status::Ok, std::move(reply)};
}

std::map<std::int64_t, std::string> BankService::listItems(
    Database::Connection &c, const Call &call, const std::vector<std::int64_t> &ids)
{
    struct Row {
        std::int64_t id, folder, type, difficulty, created;
        std::string content;
        json questions = json::array();
        json answers = json::array();
        json analysis = json::array();
        std::vector<std::int64_t> knowledge;
    };
    std::map<std::int64_t, Row> rows;
    const std::string in = "(" + placeholders(ids.size()) + ")";
    SqlStatement &exercises
        = c.cached("SELECT id, folder_id, exercise_type_id, difficulty, created_at, content FROM "
                   "exercises WHERE id IN "
            + in);
    for (size_t i = 0; i < ids.size(); ++i)
        exercises.bind(int(i + 1), ids[i]);
    while (exercises.step()) {
        Row row;
        row.id = exercises.integer(0);
        row.folder = exercises.integer(1);
        row.type = exercises.integer(2);
        row.difficulty = exercises.integer(3);
        row.created = exercises.integer(4);
        row.content = exercises.text(5);
        rows.emplace(row.id, std::move(row));
    }
    exercises.reset();

    const CodeTextConverter converter(call.baseUrl);
    SqlStatement &questions = c.cached(
        "SELECT q.exercise_id, q.question_content, q.question_explain, q.option_content, "
        "q.knowledge_ids, (SELECT group_concat(a.content, char(31)) FROM (SELECT content "
        "FROM answers WHERE question_id = q.id ORDER BY position) a) FROM questions q "
        "WHERE q.exercise_id IN "
        + in + " ORDER BY q.exercise_id, q.position");
    for (size_t i = 0; i < ids.size(); ++i)
        questions.bind(int(i + 1), ids[i]);
    while (questions.step()) {
        const auto at = rows.find(questions.integer(0));
        if (at == rows.end())
            continue;
        Row &row = at->second;
        json options = json::array();
        if (!questions.isNull(3)) {
            const std::vector<OptionItem> parsed
                = parseOptions(questions.text(3), std::string(), false);
            for (size_t i = 0; i < parsed.size() && i < 26; ++i)
                options.push_back({{"option", std::string(1, char('A' + i))},
                    {"content", converter.toHtml(parsed[i].content)}});
        }
        row.questions.push_back({{"questionContent", converter.toHtml(questions.text(1))},
            {"option", std::move(options)}});
        row.analysis.push_back(converter.toHtml(questions.text(2)));
        std::string answers;
        const std::string joined = questions.text(5);
        size_t start = 0;
        bool first = true;
        while (!joined.empty() && start <= joined.size()) {
            const size_t end = joined.find('\x1f', start);
            const std::string piece
                = joined.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!first)
                answers += "；";
            answers += converter.toHtml(piece);
            first = false;
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        row.answers.push_back(std::move(answers));
        try {
            for (std::int64_t k : parseKnowledgeIds(questions.text(4), std::string()))
                row.knowledge.push_back(k);
        } catch (const Refusal &) { }
    }
    questions.reset();

    std::map<std::int64_t, std::string> items;
    for (auto &entry : rows) {
        Row &row = entry.second;
        std::string knowledge;
        std::set<std::int64_t> seen;
        for (std::int64_t k : row.knowledge) {
            const auto it = m_knowledge.find(k);
            if (it == m_knowledge.end() || !seen.insert(k).second)
                continue;
            if (!knowledge.empty())
                knowledge += ", ";
            knowledge += it->second.name;
        }
        const auto type = m_types.find(row.type);
        const json item = {{"groupId", row.folder}, {"exerciseId", row.id},
            {"recordTime", localTime(row.created, "%Y-%m-%d %H:%M:%S")},
            {"recorder", call.user.realName}, {"exerciseContent", converter.toHtml(row.content)},
            {"exerciseTypeId", row.type},
            {"exerciseTypeName", type == m_types.end() ? std::string() : type->second.name},
            {"difficultyDegree", row.difficulty}, {"knowledge", knowledge},
            {"answers", std::move(row.answers)}, {"analysis", std::move(row.analysis)},
            {"exerciseQuestionList", std::move(row.questions)}};
        items.emplace(row.id, text(item));
    }
    return items;
}

json BankService::moveExercise(const Call &call)
{
    checkUserId(call);
    const std::int64_t exerciseId = intMember(call.body, "exerciseId");
    const std::int64_t oldGroupId = intMember(call.body, "oldGroupId");
    const std::int64_t newGroupId = intMember(call.body, "newGroupId");
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    std::int64_t folder = 0;
    ownedExercise(*c, call.user, exerciseId, &folder);
    ownedGroup(*c, call.user, newGroupId);
    if (folder != oldGroupId)
        throw Refusal(status::Conflict, "题目已不在原分组中，请刷新后重试");
    SqlStatement &update = c->cached("UPDATE exercises SET folder_id = ? WHERE id = ?");
    update.bind(1, newGroupId).bind(2, exerciseId);
    update.run();
    transaction.commit();
    return ok({{"exerciseId", exerciseId}, {"groupId", newGroupId}});
}

json BankService::moveExercises(const Call &call)
{
    checkUserId(call);
    const std::vector<std::int64_t> ids = idList(call.body, "exerciseIds");
    const std::int64_t groupId = intMember(call.body, "groupId");
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    ownedGroup(*c, call.user, groupId);
    for (std::int64_t id : ids)
        ownedExercise(*c, call.user, id);
    SqlStatement &update
        = c->cached("UPDATE exercises SET folder_id = ? WHERE id = ? AND folder_id <> ?");
    for (std::int64_t id : ids) {
        update.bind(1, groupId).bind(2, id).bind(3, groupId);
        update.run();
    }
    transaction.commit();
    return ok({{"exerciseIds", ids}, {"groupId", groupId}});
}

json BankService::removeExercise(const Call &call)
{
    checkUserId(call);
    const std::int64_t exerciseId = intMember(call.body, "exerciseId");
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    ownedExercise(*c, call.user, exerciseId);
    SqlStatement &remove = c->cached("DELETE FROM exercises WHERE id = ?");
    remove.bind(1, exerciseId);
    remove.run();
    transaction.commit();
    return ok({{"exerciseId", exerciseId}});
}

json BankService::removeExercises(const Call &call)
{
    checkUserId(call);
    const std::vector<std::int64_t> ids = idList(call.body, "exerciseIds");
    Database::Lease c = m_db.lease();
    Database::Transaction transaction(*c);
    for (std::int64_t id : ids)
        ownedExercise(*c, call.user, id);
    SqlStatement &remove = c->cached("DELETE FROM exercises WHERE id = ?");
    for (std::int64_t id : ids) {
        remove.bind(1, id);
        remove.run();
    }
    transaction.commit();
    return ok({{"exerciseIds", ids}});
}

json BankService::fetchExercise(const Call &call)
{
    const std::int64_t exerciseId = intMember(call.body, "exerciseId");
    Database::Lease c = m_db.lease();
    c->exec("BEGIN");
    json data;
    try {
        ownedExercise(*c, call.user, exerciseId);
        SqlStatement &select = c->cached(
            "SELECT id, exercise_type_id, subject_id, folder_id, content, difficulty, modifier_id, "
            "created_at, modified_at FROM exercises WHERE id = ?");
        select.bind(1, exerciseId);
        select.step();
        const std::int64_t difficulty = select.integer(5);
        json exercise = {{"id", select.integer(0)}, {"exerciseTypeId", select.integer(1)},
            {"subjectId", select.integer(2)}, {"folderId", select.integer(3)},
            {"content", select.text(4)}, {"difficultyDegree", difficulty},
            {"modifierId", select.integer(6)},
            {"createTime", localTime(select.integer(7), "%Y-%m-%d %H:%M:%S")},
            {"modifyTime", localTime(select.integer(8), "%Y-%m-%d %H:%M:%S")}};
        select.reset();
        json wraps = json::array();
        SqlStatement &questions = c->cached(
            "SELECT id, question_index, questiontype_id, knowledge_ids, score, question_content, "
            "question_explain, option_content FROM questions WHERE exercise_id = ? ORDER BY "
            "position");
        SqlStatement &answers = c->cached(
            "SELECT answer_idx, content FROM answers WHERE question_id = ? ORDER BY position");
        questions.bind(1, exerciseId);
        while (questions.step()) {
            json question = {{"questionIndex", questions.integer(1)},
                {"questiontypeId", questions.integer(2)}, {"knowledgeIds", questions.text(3)},
                {"score", scoreValue(questions.real(4))}, {"questionContent", questions.text(5)},
                {"questionExplain", questions.text(6)}};
            if (!questions.isNull(7))
                question["optionContent"] = questions.text(7);
            json answerList = json::array();
            answers.bind(1, questions.integer(0));
            while (answers.step())
                answerList.push_back({{"answer",
                    {{"answerIdx", answers.integer(0)}, {"content", answers.text(1)}}}});
            answers.reset();
            wraps.push_back({{"question", question}, {"answers", answerList}});
        }
        questions.reset();
        data = {{"difficutyLevel", difficulty}, {"exercise", exercise}, {"questionWraps", wraps}};
        c->exec("COMMIT");
    } catch (...) {
        c->exec("ROLLBACK");
        throw;
    }
    return ok(data);
}

json BankService::addExercise(const Call &call)
{
    return storeExercise(call, false);
}

json BankService::modifyExercise(const Call &call)
{
    return storeExercise(call, true);
}

json BankService::storeExercise(const Call &call, bool modify)
{
    const json &body = call.body;
    const json &exercise = objectMember(body, "exercise");
    const std::string ex = "exercise.";
    const std::int64_t id = modify ? intMember(exercise, "id", ex) : 0;
    const std::int64_t typeId = intMember(exercise, "exerciseTypeId", ex);
    const std::int64_t subjectId = intMember(exercise, "subjectId", ex);
    const std::int64_t difficulty = intMember(exercise, "difficultyDegree", ex);
    const std::int64_t folderId = intMember(exercise, "folderId", ex);
    const std::int64_t modifierId = intMember(exercise, "modifierId", ex);
    const std::string content = stringMember(exercise, "content", ex);
    const std::int64_t outerSubject = intMember(body, "subjectId");
    const json &wraps = arrayMember(body, "questionWraps");

    const auto typeIt = m_types.find(typeId);
    if (typeIt == m_types.end())
        badRequest("exercise.exerciseTypeId 不是已知的题型");
    const ExerciseType &type = typeIt->second;
    if (type.subjectCode != call.user.subjectCode)
        badRequest("exercise.exerciseTypeId 不属于当前用户的学科");
    if (subjectId != type.subjectCode)
        badRequest("exercise.subjectId 与题型的学科不一致");
    if (outerSubject != subjectId)
        badRequest("subjectId 与 exercise.subjectId 不一致");
    if (difficulty < 0 || difficulty > 5)
        badRequest("exercise.difficultyDegree 必须在 0 到 5 之间");
    if (modifierId != call.user.id)
        throw Refusal(status::Forbidden, "exercise.modifierId 与当前登录用户不一致");
    if (wraps.empty())
        badRequest("questionWraps 不能为空：至少需要一个小问");
    if (wraps.size() > MaxQuestions)
        badRequest("questionWraps 最多20个小问");
    if (!type.hasMore && wraps.size() > 1)
        badRequest("该题型只能有一个小问");

    std::vector<Question> questions;
    for (size_t i = 0; i < wraps.size(); ++i) {
        const std::string at = "questionWraps[" + std::to_string(i) + "].";
        if (!wraps[i].is_object())
            badRequest(at.substr(0, at.size() - 1) + " 必须是对象");
        const json &q = objectMember(wraps[i], "question", at);
        const std::string qa = at + "question.";
        Question question;
        question.index = intMember(q, "questionIndex", qa);
        question.typeId = intMember(q, "questiontypeId", qa);
        question.knowledgeIds = stringMember(q, "knowledgeIds", qa, 4096);
        question.score = numberMember(q, "score", qa);
        question.content = stringMember(q, "questionContent", qa);
        question.explain = stringMember(q, "questionExplain", qa);
        const QuestionType *qt = nullptr;
        for (const QuestionType &candidate : type.questionTypes)
            if (candidate.id == question.typeId)
                qt = &candidate;
        if (!qt)
            badRequest(qa + "questiontypeId 不是该题型的小问题型");
        if (question.score < 0 || question.score > 1000)
            badRequest(qa + "score 必须在 0 到 1000 之间");
        for (std::int64_t k : parseKnowledgeIds(question.knowledgeIds, qa)) {
            const auto kn = m_knowledge.find(k);
            if (kn == m_knowledge.end() || kn->second.subjectCode != type.subjectCode)
                badRequest(qa + "knowledgeIds 含有未知的知识点 " + std::to_string(k));
        }
        if (q.contains("optionContent")) {
            question.optionContent = stringMember(q, "optionContent", qa);
            question.hasOptions = true;
            const std::vector<OptionItem> options = parseOptions(question.optionContent, qa, true);
            if (qt->optionNum <= 0)
                badRequest(qa + "optionContent：该小问题型没有选项");
            if (options.empty() || options.size() > MaxOptions)
                badRequest(qa + "optionContent 必须有 1 到 26 个选项");
        } else if (qt->optionNum > 0) {
            badRequest(qa + "缺少成员 optionContent（该小问题型有选项）");
        }
        const json &answers = arrayMember(wraps[i], "answers", at);
        if (answers.size() > MaxAnswers)
            badRequest(at + "answers 最多100个");
        for (size_t j = 0; j < answers.size(); ++j) {
            const std::string aa = at + "answers[" + std::to_string(j) + "].";
            if (!answers[j].is_object())
                badRequest(aa.substr(0, aa.size() - 1) + " 必须是对象");
            const json &answer = objectMember(answers[j], "answer", aa);
            question.answers.push_back({intMember(answer, "answerIdx", aa + "answer."),
                stringMember(answer, "content", aa + "answer.")});
        }
        questions.push_back(std::move(question));
    }

    // Queued with the other writes arriving meanwhile: one commit for all of them.
    std::int64_t exerciseId = id;
    m_db.write([&](Database::Connection &connection) {
        Database::Connection *c = &connection;
        ownedGroup(*c, call.user, folderId);
        const std::int64_t now = std::time(nullptr);
        if (modify) {
            ownedExercise(*c, call.user, id);
            updateExercise(
                *c, id, {folderId, typeId, subjectId, difficulty, content, modifierId}, now);
            rewriteQuestions(*c, id, questions);
            return;
        }
        SqlStatement &insert = c->cached(
            "INSERT INTO exercises(user_id, folder_id, exercise_type_id, subject_id, difficulty, "
            "content, created_at, created_date, modified_at, modifier_id) "
            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, call.user.id).bind(2, folderId).bind(3, typeId).bind(4, subjectId);
        insert.bind(5, difficulty).bind(6, content).bind(7, now);
        insert.bind(8, localTime(now, "%Y-%m-%d")).bind(9, now).bind(10, modifierId);
        insert.run();
        exerciseId = c->lastInsertId();
        insertQuestions(*c, exerciseId, questions, 0, 0);
    });
    return ok({{"exerciseId", exerciseId}, {"id", exerciseId}});
}
