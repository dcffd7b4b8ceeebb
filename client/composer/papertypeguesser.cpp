#include "composer/papertypeguesser.h"

PaperTypeGuesser::PaperTypeGuesser(const ExerciseTypeInfoList &types)
    : m_types(types)
{ }

PaperTypeGuesser::Kind PaperTypeGuesser::kindOf(const QString &name)
{
    const auto has = [&name](const char *word) {
        return name.contains(QString::fromUtf8(word), Qt::CaseInsensitive);
    };
    if (has("完形"))
        return Cloze;
    if (has("多选") || has("多项") || has("不定项"))
        return MultipleChoice;
    if (has("单选") || has("单项") || has("选择") || has("choice"))
        return SingleChoice;
    if (has("判断") || has("true or false"))
        return Judgement;
    if (has("填空") || has("blank"))
        return FillIn;
    if (has("解答") || has("计算") || has("证明") || has("简答") || has("应用") || has("综合")
        || has("论述") || has("问答") || has("作文") || has("阅读") || has("实验") || has("探究"))
        return FreeAnswer;
    return Unknown;
}

int PaperTypeGuesser::firstOfKind(Kind kind) const
{
    for (int i = 0; i < m_types.size(); ++i) {
        if (kindOf(m_types.at(i).name) == kind)
            return i;
    }
    return -1;
}

int PaperTypeGuesser::guess(const QString &sectionTitle, const Shape &shape) const
{
    if (m_types.isEmpty())
        return -1;
    const QString title = sectionTitle.trimmed();
    if (!title.isEmpty()) {
        for (int i = 0; i < m_types.size(); ++i) {
            if (m_types.at(i).name == title)
                return i;
        }
        // a heading may say more than the name ("阅读理解（共两节）") or less ("选择题")
        QList<int> candidates;
        for (int i = 0; i < m_types.size(); ++i) {
            const QString &name = m_types.at(i).name;
            if (!name.isEmpty() && (title.contains(name) || name.contains(title)))
                candidates.append(i);
        }
        if (candidates.size() == 1)
            return candidates.first();
        const Kind wanted = !shape.hasOptions ? Unknown
            : shape.severalAnswers            ? MultipleChoice
                                              : SingleChoice;
        for (int i : candidates) {
            if (kindOf(m_types.at(i).name) == wanted)
                return i;
        }
        if (!candidates.isEmpty())
            return candidates.first();
        Kind kind = kindOf(title);
        // a section of choices holds single and multiple ones; the answer tells them apart
        if (kind == SingleChoice && shape.severalAnswers && firstOfKind(MultipleChoice) >= 0)
            kind = MultipleChoice;
        if (kind != Unknown && firstOfKind(kind) >= 0)
            return firstOfKind(kind);
    }
    Kind kind = FreeAnswer;
    if (shape.hasOptions)
        kind = shape.severalAnswers ? MultipleChoice : SingleChoice;
    else if (shape.hasBlanks)
        kind = FillIn;
    int index = firstOfKind(kind);
    if (index < 0 && kind == MultipleChoice)
        index = firstOfKind(SingleChoice);
    if (index >= 0)
        return index;
    if (shape.hasOptions)
        return 0;
    // the first type whose name promises no options
    for (int i = 0; i < m_types.size(); ++i) {
        const Kind other = kindOf(m_types.at(i).name);
        if (other == Unknown || other == FreeAnswer)
            return i;
    }
    return 0;
}
