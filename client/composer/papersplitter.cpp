#include "composer/papersplitter.h"

#include "composer/papercodetext.h"
#include "composer/papertypeguesser.h"

#include <QRegularExpression>

namespace {

enum Target { Content, Option, Answer, Analysis };

// One question or sub-question while the paper is read.
struct Part {
    PaperBlockList content;
    QList<PaperLine> options;
    PaperBlockList answer;
    PaperBlockList analysis;
    PaperBlockList original; // a sub-question as it stood, marker included
};

struct Question {
    int number = 0;
    QString section;
    Part main;
    QList<Part> subs;
    bool answeredBySection = false;
};

const QRegularExpression &questionNumber()
{
    // "1." "1．" "1、" "1)" but not "1.5"
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,3})\\s*(?:[.．、]|[)）])(?![0-9])\\s*"));
    return pattern;
}

const QRegularExpression &subNumber()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(?:[（(]\\s*(\\d{1,2})\\s*[)）]|([\\x{2460}-\\x{2473}]))\\s*"));
    return pattern;
}

int subNumberOf(const QRegularExpressionMatch &match)
{
    if (!match.captured(1).isEmpty())
        return match.captured(1).toInt();
    return match.captured(2).at(0).unicode() - 0x2460 + 1;
}

const QRegularExpression &answerMark()
{
    static const QRegularExpression pattern(QStringLiteral(
        "[【\\[]\\s*(答案|解析|分析|详解|点评|点睛|解答|考点)\\s*[】\\]]\\s*[:：]?\\s*"
        "|(?:^|(?<=\\s))(答案|解析|分析|详解|点评|点睛)\\s*[:：]\\s*"));
    return pattern;
}

const QRegularExpression &answerSectionHeading()
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*[【\\[]?\\s*(?:参考答案|答案与解析|答案及解析|答案和解析|试题解析)"
                       "[^:：A-Za-z0-9]{0,16}$"
                       "|^\\s*(?:答案|Answers?|Answer [Kk]eys?|Keys?)\\s*[:：]?\\s*$"));
    return pattern;
}

// "A." "A．" "A、" "(A)" for one letter, not inside a word
QRegularExpression optionMarker(QChar letter)
{
    const QString l(letter);
    return QRegularExpression(QStringLiteral("(?<![A-Za-z0-9])[（(]\\s*") + l
        + QStringLiteral("\\s*[)）]\\s*|(?<![A-Za-z])") + l + QStringLiteral("\\s*[.．、:：]\\s*"));
}

// Splits a line of options starting at the expected letter; empty when it is not one.
QList<PaperLine> splitOptions(const PaperLine &line, int firstIndex)
{
    QList<PaperLine> out;
    const QString plain = line.plainText();
    int offset = 0;
    while (offset < plain.size() && plain.at(offset).isSpace())
        ++offset;
    QRegularExpressionMatch match = optionMarker(QLatin1Char('A' + firstIndex))
                                        .match(plain, offset, QRegularExpression::NormalMatch,
                                            QRegularExpression::AnchoredMatchOption);
    if (firstIndex >= 8 || !match.hasMatch())
        return out;
    int letter = firstIndex;
    while (match.hasMatch()) {
        const int contentStart = match.capturedEnd();
        QRegularExpressionMatch next;
        if (letter + 1 < 8)
            next = optionMarker(QLatin1Char('A' + letter + 1)).match(plain, contentStart);
        const int contentEnd = next.hasMatch() ? next.capturedStart() : plain.size();
        out.append(line.mid(contentStart, contentEnd).trimmed());
        match = next;
        ++letter;
    }
    return out;
}

struct Segment {
    Target target;
    QString label;
    PaperLine line;
};

// The parts of a line around answer and analysis marks ("【答案】C【解析】…").
QList<Segment> splitMarks(const PaperLine &line, Target before)
{
    QList<Segment> out;
    const QString plain = line.plainText();
    int from = 0;
    Target target = before;
    QString label;
    QRegularExpressionMatchIterator it = answerMark().globalMatch(plain);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        out.append({target, label, line.mid(from, match.capturedStart()).trimmed()});
        const QString word = match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
        target = word == QStringLiteral("答案") ? Answer : Analysis;
        label = QStringLiteral("【") + word + QStringLiteral("】");
        from = match.capturedEnd();
    }
    out.append({target, label, line.mid(from).trimmed()});
    return out;
}

PaperBlock paragraph(const PaperLine &line)
{
    PaperBlock block;
    block.line = line;
    return block;
}

bool startsWithSubNumber(const PaperBlockList &blocks)
{
    return !blocks.isEmpty() && blocks.first().kind == PaperBlock::Paragraph
        && subNumber().match(blocks.first().line.plainText()).hasMatch();
}

// "（1）2；（2）略": the pieces of a line at its sub-question numbers, counted up from 1; the
// piece before the first number has number 0.
QList<QPair<int, PaperLine>> splitAtSubNumbers(const PaperLine &line, int count)
{
    QList<QPair<int, PaperLine>> out;
    const QString plain = line.plainText();
    int from = 0;
    int number = 0;
    const QRegularExpressionMatch opening = subNumber().match(plain);
    if (opening.hasMatch() && subNumberOf(opening) <= count) {
        number = subNumberOf(opening);
        from = opening.capturedEnd();
    }
    const auto find = [&](int k, int offset) {
        static const QString circled = QStringLiteral("①②③④⑤⑥⑦⑧⑨⑩⑪⑫⑬⑭⑮⑯⑰⑱⑲⑳");
        QString pattern
            = QStringLiteral("[（(]\\s*") + QString::number(k) + QStringLiteral("\\s*[)）]");
        if (k <= circled.size())
            pattern += QLatin1Char('|') + circled.at(k - 1);
        return QRegularExpression(pattern).match(plain, offset);
    };
    QRegularExpressionMatch next;
    while (number < count && (next = find(number + 1, from)).hasMatch()) {
        const PaperLine piece = line.mid(from, next.capturedStart()).trimmed();
        if (!piece.isEmpty() || number > 0)
            out.append({number, piece});
        ++number;
        from = next.capturedEnd();
    }
    out.append({number, line.mid(from).trimmed()});
    return out;
}

// Answers and analyses given for the whole question ("（1）… （2）…") go to their sub-questions.
void distribute(Question &question, PaperBlockList Part::*field)
{
    QList<PaperBlockList> gathered;
    gathered.append(question.main.*field);
    question.main.*field = PaperBlockList();
    for (Part &sub : question.subs) {
        gathered.append(sub.*field);
        sub.*field = PaperBlockList();
    }
    const int count = question.subs.size();
    for (int owner = 0; owner < gathered.size(); ++owner) {
        int current = qMax(0, owner - 1);
        for (const PaperBlock &block : gathered.at(owner)) {
            if (block.kind != PaperBlock::Paragraph) {
                (question.subs[current].*field).append(block);
                continue;
            }
            for (const auto &piece : splitAtSubNumbers(block.line, count)) {
                if (piece.first > 0)
                    current = piece.first - 1;
                if (!piece.second.isEmpty())
                    (question.subs[current].*field).append(paragraph(piece.second));
            }
        }
    }
}

void finishQuestion(Question &question)
{
    if (question.subs.isEmpty())
        return;
    // "①…②…③… 其中正确的是" with options after: statements of one choice, not sub-questions
    bool earlierOptions = false;
    for (int i = 0; i + 1 < question.subs.size(); ++i)
        earlierOptions = earlierOptions || !question.subs.at(i).options.isEmpty();
    if (!question.subs.last().options.isEmpty() && !earlierOptions) {
        for (const Part &sub : question.subs) {
            question.main.content.append(sub.original);
            question.main.options.append(sub.options);
            question.main.answer.append(sub.answer);
            question.main.analysis.append(sub.analysis);
        }
        question.subs.clear();
        return;
    }
    distribute(question, &Part::answer);
    distribute(question, &Part::analysis);
}

// Fills one sub-question of a draft; an answer of letters marks its options.
QuestionInfo questionOf(const Part &part, int index, bool &severalAnswers)
{
    QuestionInfo out;
    out.questionIndex = index;
    out.questionContent = PaperCodeText::fromBlocks(part.content);
    for (int i = 0; i < part.options.size(); ++i) {
        OptionInfo option;
        option.index = i;
        option.content = PaperCodeText::fromLine(part.options.at(i));
        out.options.append(option);
    }
    PaperBlockList answer = part.answer;
    PaperBlockList analysis = part.analysis;
    if (!out.options.isEmpty() && !answer.isEmpty()
        && answer.first().kind == PaperBlock::Paragraph) {
        static const QRegularExpression letters(QStringLiteral(
            "^\\s*([A-H](?:\\s*[,，、]?\\s*[A-H])*)(?![A-Za-z])\\s*[.。．；;]?\\s*"));
        const PaperLine first = answer.first().line;
        const QRegularExpressionMatch match = letters.match(first.plainText());
        if (match.hasMatch()) {
            QString chosen;
            for (const QChar c : match.captured(1)) {
                if (c >= QLatin1Char('A') && c <= QLatin1Char('H') && !chosen.contains(c)
                    && c.unicode() - 'A' < out.options.size())
                    chosen += c;
            }
            std::sort(chosen.begin(), chosen.end());
            if (!chosen.isEmpty()) {
                for (const QChar c : chosen)
                    out.options[c.unicode() - 'A'].isAnswer = true;
                // what follows the letters explains them
                PaperBlockList rest;
                const PaperLine after = first.mid(match.capturedEnd()).trimmed();
                if (!after.isEmpty())
                    rest.append(paragraph(after));
                rest.append(answer.mid(1));
                analysis = rest + analysis;
                out.answers.append({0, chosen});
                severalAnswers = severalAnswers || chosen.size() > 1;
                answer.clear();
            }
        }
    }
    const QString answerCode = PaperCodeText::fromBlocks(answer);
    if (!answerCode.isEmpty())
        out.answers.append({0, answerCode});
    out.questionExplain = PaperCodeText::fromBlocks(analysis);
    return out;
}

bool hasBlank(const PaperBlockList &blocks)
{
    for (const PaperBlock &block : blocks) {
        if (block.line.hasBlank())
            return true;
        for (const QList<PaperLine> &row : block.rows) {
            for (const PaperLine &cell : row) {
                if (cell.hasBlank())
                    return true;
            }
        }
    }
    return false;
}

PaperDraft draftOf(
    const Question &question, const PaperTypeGuesser &guesser, const ExerciseTypeInfoList &types)
{
    PaperDraft draft;
    draft.sectionTitle = question.section;
    PaperTypeGuesser::Shape shape;
    if (question.subs.isEmpty()) {
        draft.exercise.questions.append(questionOf(question.main, 1, shape.severalAnswers));
        shape.hasBlanks = hasBlank(question.main.content);
    } else {
        draft.exercise.content = PaperCodeText::fromBlocks(question.main.content);
        shape.hasBlanks = hasBlank(question.main.content);
        for (int i = 0; i < question.subs.size(); ++i) {
            draft.exercise.questions.append(
                questionOf(question.subs.at(i), i + 1, shape.severalAnswers));
            shape.hasBlanks = shape.hasBlanks || hasBlank(question.subs.at(i).content);
        }
    }
    for (const QuestionInfo &info : draft.exercise.questions)
        shape.hasOptions = shape.hasOptions || !info.options.isEmpty();
    const int type = guesser.guess(question.section, shape);
    if (type >= 0) {
        draft.exerciseTypeId = types.at(type).id;
        draft.exerciseTypeName = types.at(type).name;
        draft.exercise.exerciseTypeId = draft.exerciseTypeId;
        draft.exercise.exerciseTypeName = draft.exerciseTypeName;
    }
    return draft;
}

// Reads the blocks one by one, keeping where the text that follows belongs.
class Reader
{
public:
    explicit Reader(const PaperBlockList &blocks)
        : m_blocks(blocks)
    { }

    QList<Question> read();

private:
    void readBody(const PaperBlock &block, bool beforeFirstSection);
    void readAnswerSection(const PaperBlock &block);
    bool readCompactAnswers(const QString &plain);
    void readRest(const PaperLine &line);
    void append(Target target, const PaperBlock &block, const QString &label = QString());
    Question *current() { return m_current < 0 ? nullptr : &m_questions[m_current]; }
    Part &currentPart();
    int answerOwner(int number);

    const PaperBlockList &m_blocks;
    QList<Question> m_questions;
    int m_current = -1;
    Target m_target = Content;
    QString m_section;
    bool m_sectionChanged = false;
    bool m_inAnswerSection = false;
};

QList<Question> Reader::read()
{
    int firstSection = -1;
    for (int i = 0; i < m_blocks.size() && firstSection < 0; ++i) {
        if (m_blocks.at(i).kind == PaperBlock::Paragraph
            && !PaperSplitter::sectionTitle(m_blocks.at(i).line.plainText()).isEmpty())
            firstSection = i;
    }
    for (int i = 0; i < m_blocks.size(); ++i) {
        if (m_inAnswerSection)
            readAnswerSection(m_blocks.at(i));
        else
            readBody(m_blocks.at(i), i < firstSection);
    }
    for (Question &question : m_questions)
        finishQuestion(question);
    return m_questions;
}

Part &Reader::currentPart()
{
    Question &question = m_questions[m_current];
    // answers of a whole question are spread over its sub-questions when it is finished
    if (m_inAnswerSection || question.subs.isEmpty())
        return question.main;
    return question.subs.last();
}

void Reader::append(Target target, const PaperBlock &block, const QString &label)
{
    if (!current())
        return;
    Part &part = currentPart();
    switch (target) {
    case Content:
        part.content.append(block);
        part.original.append(block);
        break;
    case Option:
        // text after the options (often a figure anchored below them) belongs to the question
        part.content.append(block);
        break;
    case Answer:
        part.answer.append(block);
        break;
    case Analysis:
        // the first mark names the field itself; later ones ("【详解】") divide it
        if (!part.analysis.isEmpty() && !label.isEmpty() && label != QStringLiteral("【解析】")) {
            PaperLine labelled;
            labelled.appendText(label);
            labelled.append(block.line);
            part.analysis.append(paragraph(labelled));
        } else {
            part.analysis.append(block);
        }
        break;
    }
}

void Reader::readRest(const PaperLine &line)
{
    const QList<Segment> segments = splitMarks(line, m_target);
    for (int i = 0; i < segments.size(); ++i) {
        const Segment &segment = segments.at(i);
        m_target = segment.target;
        if (!segment.line.isEmpty())
            append(segment.target, paragraph(segment.line), segment.label);
    }
}

void Reader::readBody(const PaperBlock &block, bool beforeFirstSection)
{
    if (block.kind == PaperBlock::Table) {
        if (!current())
            return;
        Part &part = currentPart();
        if (m_target == Content || m_target == Option) {
            // options laid out in a table, one or more to a cell
            QList<PaperLine> options;
            bool allOptions = true;
            for (const QList<PaperLine> &row : block.rows) {
                for (const PaperLine &cell : row) {
                    if (cell.plainText().trimmed().isEmpty())
                        continue;
                    const QList<PaperLine> found
                        = splitOptions(cell, part.options.size() + options.size());
                    allOptions = allOptions && !found.isEmpty();
                    options.append(found);
                }
            }
            if (allOptions && !options.isEmpty()) {
                part.options.append(options);
                m_target = Option;
                return;
            }
        }
        append(m_target == Option ? Content : m_target, block);
        return;
    }

    const QString plain = block.line.plainText();
    const QString title = PaperSplitter::sectionTitle(plain);
    if (!title.isEmpty()) {
        m_section = title;
        m_sectionChanged = true;
        m_current = -1;
        return;
    }
    if (!m_questions.isEmpty() && answerSectionHeading().match(plain).hasMatch()) {
        m_inAnswerSection = true;
        m_current = -1;
        m_section.clear();
        return;
    }

    const QRegularExpressionMatch number = questionNumber().match(plain);
    if (number.hasMatch() && !beforeFirstSection) {
        const int value = number.captured(1).toInt();
        const int last = m_questions.isEmpty() ? 0 : m_questions.last().number;
        const bool inText = m_target == Content || m_target == Option;
        if (m_questions.isEmpty() || m_sectionChanged || value == last + 1
            || (inText && value > last)) {
            Question question;
            question.number = value;
            question.section = m_section;
            m_questions.append(question);
            m_current = m_questions.size() - 1;
            m_sectionChanged = false;
            m_target = Content;
            readRest(block.line.mid(number.capturedEnd()));
            return;
        }
    }
    if (!current())
        return;

    const QRegularExpressionMatch sub = subNumber().match(plain);
    if (sub.hasMatch()) {
        Question &question = *current();
        const int value = subNumberOf(sub);
        const Part &part = currentPart();
        const bool answering = m_target == Answer || m_target == Analysis;
        const PaperBlockList &field = m_target == Answer ? part.answer : part.analysis;
        // "（2）" inside an answer that itself counts "（1）（2）" belongs to that answer
        if (value == question.subs.size() + 1 && (!answering || !startsWithSubNumber(field))
            && (value == 1 || !question.subs.isEmpty())) {
            question.subs.append(Part());
            m_target = Content;
            readRest(block.line.mid(sub.capturedEnd()));
            // the marker stays in the original only
            question.subs.last().original = PaperBlockList {block};
            return;
        }
    }

    if (m_target == Content || m_target == Option) {
        const QList<PaperLine> options = splitOptions(block.line, currentPart().options.size());
        if (!options.isEmpty()) {
            currentPart().options.append(options);
            m_target = Option;
            return;
        }
    }
    readRest(block.line);
}

bool hasAnswer(const Question &question)
{
    if (!question.main.answer.isEmpty())
        return true;
    for (const Part &sub : question.subs) {
        if (!sub.answer.isEmpty())
            return true;
    }
    return false;
}

// The question an answer section's number belongs to: numbers may start again in each section,
// so one of the same section and not answered yet comes first.
int Reader::answerOwner(int number)
{
    int best = -1;
    int bestScore = -1;
    for (int i = 0; i < m_questions.size(); ++i) {
        const Question &question = m_questions.at(i);
        if (question.number != number)
            continue;
        const int score = (!m_section.isEmpty() && question.section == m_section ? 4 : 0)
            + (question.answeredBySection ? 0 : 2) + (hasAnswer(question) ? 0 : 1);
        if (score > bestScore) {
            best = i;
            bestScore = score;
        }
    }
    return best;
}

// "1. C 2. B 3. AD" or "1-5 CBADC": several answers of letters in one paragraph.
bool Reader::readCompactAnswers(const QString &plain)
{
    static const QRegularExpression range(QStringLiteral(
        "(\\d{1,3})\\s*[-~～—–]\\s*(\\d{1,3})\\s*[.．、:：]?\\s*([A-H]{2,})(?![A-Za-z])"));
    static const QRegularExpression single(
        QStringLiteral("(\\d{1,3})\\s*[.．、:：]?\\s*([A-H]{1,8})(?![A-Za-z])"));
    QList<QPair<int, QString>> answers;
    QString rest = plain;
    QRegularExpressionMatchIterator it = range.globalMatch(plain);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const int from = match.captured(1).toInt();
        const QString letters = match.captured(3);
        if (match.captured(2).toInt() - from + 1 != letters.size())
            return false;
        for (int i = 0; i < letters.size(); ++i)
            answers.append({from + i, QString(letters.at(i))});
        rest.replace(match.capturedStart(), match.capturedLength(),
            QString(match.capturedLength(), QLatin1Char(' ')));
    }
    const QString afterRanges = rest;
    it = single.globalMatch(afterRanges);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        answers.append({match.captured(1).toInt(), match.captured(2)});
        rest.replace(match.capturedStart(), match.capturedLength(),
            QString(match.capturedLength(), QLatin1Char(' ')));
    }
    static const QRegularExpression filler(QStringLiteral("[\\s,，;；。.、]"));
    if (answers.size() < 2 || !rest.remove(filler).isEmpty())
        return false;
    for (const auto &answer : answers) {
        const int owner = answerOwner(answer.first);
        if (owner < 0)
            continue;
        Question &question = m_questions[owner];
        question.answeredBySection = true;
        PaperLine line;
        line.appendText(answer.second);
        question.main.answer.append(paragraph(line));
    }
    m_current = -1;
    return true;
}

void Reader::readAnswerSection(const PaperBlock &block)
{
    if (block.kind == PaperBlock::Paragraph) {
        const QString plain = block.line.plainText();
        const QString title = PaperSplitter::sectionTitle(plain);
        if (!title.isEmpty()) {
            m_section = title;
            m_current = -1;
            return;
        }
        if (readCompactAnswers(plain))
            return;
        const QRegularExpressionMatch number = questionNumber().match(plain);
        if (number.hasMatch()) {
            const int owner = answerOwner(number.captured(1).toInt());
            if (owner >= 0) {
                m_current = owner;
                m_questions[owner].answeredBySection = true;
                m_target = Answer;
                readRest(block.line.mid(number.capturedEnd()));
                if (m_target == Content)
                    m_target = Answer;
                return;
            }
            // the answer of a question the paper does not have is not anyone's
            m_current = -1;
            return;
        }
    }
    if (!current())
        return;
    if (block.kind == PaperBlock::Table) {
        append(m_target, block);
        return;
    }
    readRest(block.line);
}

} // namespace

QString PaperSplitter::sectionTitle(const QString &paragraph)
{
    // "二、填空题（每小题5分）", "第一部分 选择题", "II. Fill in the blanks"
    static const QRegularExpression chinese(QStringLiteral(
        "^\\s*(?:[一二三四五六七八九十]{1,3}\\s*[、.．]|第[一二三四五六七八九十]{1,3}\\s*"
        "(?:部分|节|大题|卷))\\s*([^（(：:，,。.\\s]{1,12})"));
    static const QRegularExpression roman(QStringLiteral(
        "^\\s*(?:I|II|III|IV|V|VI|VII|VIII|IX|X)\\s*[.．、]\\s*([A-Za-z][A-Za-z ]{0,29})"));
    QRegularExpressionMatch match = chinese.match(paragraph);
    if (!match.hasMatch())
        match = roman.match(paragraph);
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

PaperDraftList PaperSplitter::split(const PaperBlockList &blocks)
{
    QList<Question> questions = Reader(blocks).read();
    m_foundNumbers = !questions.isEmpty();
    if (questions.isEmpty()) {
        Question whole;
        whole.main.content = blocks;
        questions.append(whole);
    }
    const PaperTypeGuesser guesser(m_types);
    PaperDraftList drafts;
    for (const Question &question : questions)
        drafts.append(draftOf(question, guesser, m_types));
    return drafts;
}
