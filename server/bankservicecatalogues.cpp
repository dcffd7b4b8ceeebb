#include "bankservice_p.h"

using nlohmann::json;
using namespace bankservice;

void BankService::loadCatalogue()
{
    Database::Lease c = m_db.lease();
    SqlStatement types(c->handle(),
        "SELECT id, subject_code, province_id, name, has_stem, "
        "has_more_questions FROM exercise_types ORDER BY sort, id");
    while (types.step()) {
        ExerciseType t;
        t.id = types.integer(0);
        t.subjectCode = int(types.integer(1));
        t.provinceId = int(types.integer(2));
        t.name = types.text(3);
        t.hasStem = types.integer(4) != 0;
        t.hasMore = types.integer(5) != 0;
        m_typeOrder.push_back(t.id);
        m_types[t.id] = t;
    }
    SqlStatement questions(c->handle(),
        "SELECT id, exercise_type_id, type_code, type_desc, score, has_content, "
        "option_num, sort FROM question_types ORDER BY exercise_type_id, position");
    while (questions.step()) {
        QuestionType q;
        q.id = questions.integer(0);
        q.typeCode = int(questions.integer(2));
        q.desc = questions.text(3);
        q.score = questions.real(4);
        q.hasContent = questions.integer(5) != 0;
        q.optionNum = int(questions.integer(6));
        q.sort = int(questions.integer(7));
        const auto it = m_types.find(questions.integer(1));
        if (it != m_types.end())
            it->second.questionTypes.push_back(q);
    }
    SqlStatement knowledge(c->handle(),
        "SELECT id, subject_code, COALESCE(parent_id, 0), name "
        "FROM knowledge ORDER BY position, id");
    while (knowledge.step()) {
        Knowledge k;
        k.id = knowledge.integer(0);
        k.subjectCode = int(knowledge.integer(1));
        k.parentId = knowledge.integer(2);
        k.name = knowledge.text(3);
        m_knowledge[k.id] = k;
    }
    // Children in position order: the rows above are already sorted that way.
    SqlStatement order(c->handle(), "SELECT id FROM knowledge ORDER BY position, id");
    while (order.step()) {
        const Knowledge &k = m_knowledge[order.integer(0)];
        if (k.parentId && m_knowledge.count(k.parentId))
            m_knowledge[k.parentId].children.push_back(k.id);
        else
            m_knowledgeRoots[k.subjectCode].push_back(k.id);
    }
}

json BankService::fetchExerciseTypes(const Call &call)
{
    checkUserId(call);
    json types = json::array();
    for (std::int64_t id : m_typeOrder) {
        const ExerciseType &t = m_types.at(id);
        if (t.subjectCode != call.user.subjectCode)
            continue;
        types.push_back({{"id", t.id}, {"provinceId", t.provinceId}, {"name", t.name},
            {"subjectCode", t.subjectCode}, {"hasExerciseContentCode", t.hasStem},
            {"hasMoreQuestionCode", t.hasMore}});
    }
    return ok(types);
}

json BankService::typeDetail(const Call &call)
{
    const std::int64_t typeId = intMember(call.body, "exerciseTypeId");
    if (call.body.contains("provinceId"))
        intMember(call.body, "provinceId");
    const auto it = m_types.find(typeId);
    if (it == m_types.end())
        throw Refusal(status::NotFound, "题型不存在");
    const ExerciseType &t = it->second;
    json list = json::array();
    for (const QuestionType &q : t.questionTypes)
        list.push_back({{"questionTypeId", q.id}, {"exercisetypeId", t.id},
            {"typeCode", q.typeCode}, {"typeDesc", q.desc}, {"score", scoreValue(q.score)},
            {"hasQuestionContentCode", q.hasContent}, {"optionNum", q.optionNum},
            {"questionTypeSort", q.sort}});
    return ok({{"exerciseId", t.id}, {"name", t.name}, {"provinceId", t.provinceId},
        {"subjectCode", t.subjectCode}, {"hasExerciseContentCode", t.hasStem},
        {"hasMoreQuestionCode", t.hasMore}, {"exerciseQuestiontypeList", list}});
}

json BankService::knowledgeNode(std::int64_t id) const
{
    const Knowledge &k = m_knowledge.at(id);
    json children = json::array();
    for (std::int64_t child : k.children)
        children.push_back(knowledgeNode(child));
    return {
        {"knowledgeId", k.id}, {"name", k.name}, {"parentId", k.parentId}, {"children", children}};
}

json BankService::fetchKnowledge(const Call &call)
{
    checkUserId(call);
    json roots = json::array();
    const auto it = m_knowledgeRoots.find(call.user.subjectCode);
    if (it != m_knowledgeRoots.end())
        for (std::int64_t id : it->second)
            roots.push_back(knowledgeNode(id));
    return ok(roots);
}
