#include "seeder.h"

#include <sodium.h>

#include <vector>

namespace {

struct QuestionTypeSeed {
    int typeCode;
    const char *desc;
    double score;
    bool hasContent;
    int optionNum;
    int sort;
};

struct ExerciseTypeSeed {
    const char *name;
    bool hasStem;
    bool hasMore;
    std::vector<QuestionTypeSeed> questionTypes;
};

struct KnowledgeSeed {
    KnowledgeSeed(const char *n, std::vector<KnowledgeSeed> c = {})
        : name(n)
        , children(std::move(c))
    { }
    const char *name;
    std::vector<KnowledgeSeed> children;
};

// typeCode: 1 single-answer choice, 2 multiple-answer choice, 3 fill-in, 4 free answer.
std::vector<ExerciseTypeSeed> commonTypes(const char *compositeName)
{
    return {
        {"单选题", false, false, {{1, "单选题", 3, true, 4, 0}}},
        {"多选题", false, false, {{2, "多选题", 4, true, 4, 0}}},
        {"判断题", false, false, {{1, "判断题", 2, true, 2, 0}}},
        {"填空题", false, false, {{3, "填空题", 2, true, 0, 0}}},
        {"解答题", false, true, {{4, "解答题", 10, true, 0, 0}}},
        {compositeName, true, true,
            {{4, "简答题", 5, true, 0, 0}, {1, "单项选择", 3, true, 4, 1},
                {3, "填空", 2, true, 0, 2}, {2, "不定项选择", 4, true, 4, 2}}},
    };
}

void insertKnowledge(Database::Connection &c, int subject, const std::vector<KnowledgeSeed> &nodes,
    std::int64_t parent)
{
    int position = 0;
    for (const KnowledgeSeed &node : nodes) {
        SqlStatement &insert = c.cached("INSERT INTO knowledge(subject_code, parent_id, name, "
                                        "position) VALUES (?, ?, ?, ?)");
        insert.bind(1, subject);
        if (parent > 0)
            insert.bind(2, parent);
        else
            insert.bindNull(2);
        insert.bind(3, std::string(node.name)).bind(4, position++);
        insert.run();
        insertKnowledge(c, subject, node.children, c.lastInsertId());
    }
}

} // namespace

std::string Seeder::hashPassword(const std::string &password)
{
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
            crypto_pwhash_MEMLIMIT_INTERACTIVE)
        != 0)
        throw std::runtime_error("out of memory while hashing a password");
    return out;
}

void Seeder::seed(Database::Connection &c)
{
    struct Teacher {
        const char *phone;
        const char *username;
        const char *realName;
        int subject;
    };
    const Teacher teachers[] = {
        {"13800000001", "chinese", "王语文", 1},
        {"13800000002", "math", "李数学", 2},
        {"13800000003", "english", "张英语", 3},
        {"13800000004", "physics", "赵物理", 4},
    };
    const std::string hash = hashPassword("quenmo123");
    for (const Teacher &t : teachers) {
        SqlStatement &insert = c.cached(
            "INSERT INTO users(phone, password_hash, role_id, role_name, username, real_name, "
            "subject_code, province_id) VALUES (?, ?, 2, '教师', ?, ?, ?, 1)");
        insert.bind(1, std::string(t.phone)).bind(2, hash).bind(3, std::string(t.username));
        insert.bind(4, std::string(t.realName)).bind(5, t.subject);
        insert.run();
    }

    std::vector<std::pair<int, std::vector<ExerciseTypeSeed>>> subjects = {
        {1, commonTypes("阅读理解")},
        {2, commonTypes("综合题")},
        {3, commonTypes("阅读理解")},
        {4, {{"单选题", false, false, {{1, "单选题", 3, true, 4, 0}}}}},
    };
    // English also gets a type whose sub-questions have no content text of their own.
    subjects[2].second.push_back({"完形填空", true, true, {{1, "完形选项", 1.5, false, 4, 0}}});
    for (const auto &subject : subjects) {
        int sort = 0;
        for (const ExerciseTypeSeed &type : subject.second) {
            SqlStatement &insert
                = c.cached("INSERT INTO exercise_types(subject_code, province_id, name, has_stem, "
                           "has_more_questions, sort) VALUES (?, 1, ?, ?, ?, ?)");
            insert.bind(1, subject.first).bind(2, std::string(type.name));
            insert.bind(3, type.hasStem ? 1 : 0).bind(4, type.hasMore ? 1 : 0).bind(5, sort++);
            insert.run();
            const std::int64_t typeId = c.lastInsertId();
            int position = 0;
            for (const QuestionTypeSeed &q : type.questionTypes) {
                SqlStatement &qi = c.cached(
                    "INSERT INTO question_types(exercise_type_id, type_code, type_desc, score, "
                    "has_content, option_num, sort, position) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
                qi.bind(1, typeId).bind(2, q.typeCode).bind(3, std::string(q.desc));
                qi.bind(4, q.score).bind(5, q.hasContent ? 1 : 0).bind(6, q.optionNum);
                qi.bind(7, q.sort).bind(8, position++);
                qi.run();
            }
        }
    }

    const std::vector<KnowledgeSeed> chinese = {
        {"积累与运用",
            {{"字音字形", {{"多音字"}, {"形近字"}}}, {"词语运用", {{"成语"}, {"近义词辨析"}}}}},
        {"阅读",
            {{"现代文阅读", {{"记叙文"}, {"说明文"}}},
                {"古诗文阅读", {{"文言实词"}, {"诗歌鉴赏"}}}}},
        {"写作", {{"记叙文写作", {{"选材"}, {"细节描写"}}}}},
    };
    const std::vector<KnowledgeSeed> math = {
        {"数与代数",
            {{"方程与不等式", {{"一元一次方程"}, {"一元二次方程"}, {"不等式组"}}},
                {"函数", {{"一次函数"}, {"二次函数"}, {"反比例函数"}}}}},
        {"图形与几何",
            {{"三角形", {{"全等三角形"}, {"相似三角形"}}}, {"圆", {{"垂径定理"}, {"切线"}}}}},
        {"统计与概率", {{"统计", {{"平均数"}, {"方差"}}}, {"概率", {{"古典概型"}}}}},
    };
    const std::vector<KnowledgeSeed> english = {
        {"语法",
            {{"时态", {{"一般现在时"}, {"一般过去时"}, {"现在完成时"}}},
                {"从句", {{"定语从句"}, {"宾语从句"}}}}},
        {"词汇", {{"词义辨析", {{"动词短语"}, {"形容词"}}}}},
        {"阅读", {{"阅读理解", {{"主旨大意"}, {"细节理解"}}}}},
    };
    const std::vector<KnowledgeSeed> physics = {
        {"力学", {{"运动和力", {{"牛顿第一定律"}, {"摩擦力"}}}}},
    };
    insertKnowledge(c, 1, chinese, 0);
    insertKnowledge(c, 2, math, 0);
    insertKnowledge(c, 3, english, 0);
    insertKnowledge(c, 4, physics, 0);
}
