#include "composer/paperreader.h"
#include "composer/papertypeguesser.h"
#include "editor/textedit.h"
#include "papermaker.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Word's markup, written the way Word writes it.
QString run(const QString &text, const QString &properties = QString())
{
    return QStringLiteral("<w:r>")
        + (properties.isEmpty() ? QString() : "<w:rPr>" + properties + "</w:rPr>")
        + QStringLiteral("<w:t xml:space=\"preserve\">") + text + QStringLiteral("</w:t></w:r>");
}
QString para(const QString &content)
{
    return QStringLiteral("<w:p>") + content + QStringLiteral("</w:p>");
}
QString tab()
{
    return QStringLiteral("<w:r><w:tab/></w:r>");
}
QString mr(const QString &text)
{
    return QStringLiteral("<m:r><m:t>") + text + QStringLiteral("</m:t></m:r>");
}
QString math(const QString &content)
{
    return QStringLiteral("<m:oMath>") + content + QStringLiteral("</m:oMath>");
}
QString displayMath(const QString &content)
{
    return para(QStringLiteral("<m:oMathPara>") + math(content) + QStringLiteral("</m:oMathPara>"));
}
QString frac(const QString &num, const QString &den)
{
    return QStringLiteral("<m:f><m:num>") + num + QStringLiteral("</m:num><m:den>") + den
        + QStringLiteral("</m:den></m:f>");
}
QString root(const QString &content)
{
    return QStringLiteral("<m:rad><m:radPr><m:degHide m:val=\"1\"/></m:radPr><m:deg/><m:e>")
        + content + QStringLiteral("</m:e></m:rad>");
}
QString sup(const QString &base, const QString &power)
{
    return QStringLiteral("<m:sSup><m:e>") + base + QStringLiteral("</m:e><m:sup>") + power
        + QStringLiteral("</m:sup></m:sSup>");
}
QString subSup(const QString &base, const QString &index, const QString &power)
{
    return QStringLiteral("<m:sSubSup><m:e>") + base + QStringLiteral("</m:e><m:sub>") + index
        + QStringLiteral("</m:sub><m:sup>") + power + QStringLiteral("</m:sup></m:sSubSup>");
}

struct Read {
    PaperDraftList drafts;
    QString failure;
    QString warning;
};

ExerciseTypeInfoList localCatalogue()
{
    // the exercise types the local server gives a mathematics teacher
    ExerciseTypeInfoList types;
    const char *names[] = {"单选题", "多选题", "判断题", "填空题", "解答题", "综合题"};
    for (int i = 0; i < 6; ++i)
        types.append({11 + i, 1, QString::fromUtf8(names[i])});
    return types;
}

Read readPaper(PaperReader &reader, const QString &path)
{
    Read out;
    QSignalSpy finished(&reader, &PaperReader::finished);
    QSignalSpy failed(&reader, &PaperReader::failed);
    QSignalSpy warned(&reader, &PaperReader::warned);
    reader.read(path);
    if (!QTest::qWaitFor([&] { return finished.count() + failed.count() > 0; }, 60000))
        out.failure = QStringLiteral("timed out");
    if (!finished.isEmpty())
        out.drafts = finished.first().first().value<PaperDraftList>();
    if (!failed.isEmpty())
        out.failure = failed.first().first().toString();
    if (!warned.isEmpty())
        out.warning = warned.first().first().toString();
    return out;
}

Read readPaper(const QString &path)
{
    PaperReader reader;
    reader.setExerciseTypes(localCatalogue());
    return readPaper(reader, path);
}

QStringList contents(const QList<OptionInfo> &options)
{
    QStringList out;
    for (const OptionInfo &option : options)
        out << option.content;
    return out;
}

QString marked(const QList<OptionInfo> &options)
{
    QString out;
    for (const OptionInfo &option : options) {
        if (option.isAnswer)
            out += QChar('A' + option.index);
    }
    return out;
}

// Every field the composer would put into an editor comes back from it unchanged.
void checkEditorKeepsFields(const PaperDraftList &drafts)
{
    QStringList fields;
    for (const PaperDraft &draft : drafts) {
        fields << draft.exercise.content;
        for (const QuestionInfo &question : draft.exercise.questions) {
            fields << question.questionContent << question.questionExplain;
            for (const OptionInfo &option : question.options)
                fields << option.content;
            for (const AnswerInfo &answer : question.answers)
                fields << answer.content;
        }
    }
    for (const QString &field : fields) {
        if (!field.startsWith(QLatin1String("<doc>")))
            continue;
        TextEdit edit;
        edit.setCodeText(field);
        QCOMPARE(edit.toCodeText(), field);
    }
}

} // namespace

class tst_PaperReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void wordEquationsTypedNumbers();
    void numberedListsAnswerSection();
    void englishPaper();
    void statementsRangesAndRestarts();
    void slowOrFailingPandoc();
    void blankSizes();
    void docThroughLibreOffice();
    void withoutNumbers();
    void badInput_data();
    void badInput();
    void toolsMissing();
    void cancelReportsNothing();
    void typeGuessOtherCatalogue();
    void commandLine();
    void answerLettersKeepTheirReasons();

private:
    QTemporaryDir m_dir;
};

void tst_PaperReader::initTestCase()
{
    qRegisterMetaType<PaperDraftList>();
    QVERIFY(m_dir.isValid());
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty(),
        "pandoc is needed (scripts/setup installs it)");
}

void tst_PaperReader::wordEquationsTypedNumbers()
{
    PaperMaker maker(m_dir.path());
    const QString body
        // the instructions before the first section are not questions
        = para(run(QStringLiteral("注意事项：")))
        + para(run(QStringLiteral("1．答卷前，考生务必将自己的姓名填写在答题卡上。")))
        + para(run(QStringLiteral("一、选择题（本题共2小题，每小题5分）")))
        + para(run(QStringLiteral("1．已知 "))
            + math(frac(mr("a"), mr("b")) + mr("=") + root(mr("2")))
            + run(QStringLiteral("，则下列正确的是（　　）")))
        + para(run(QStringLiteral("A．1")) + tab() + run(QStringLiteral("B．2")) + tab()
            + run(QStringLiteral("C．3")) + tab() + run(QStringLiteral("D．4")))
        + para(run(QStringLiteral("【答案】B【解析】由 ")) + math(sup(mr("x"), mr("2")))
            + run(QStringLiteral(" 得")))
        + para(run(QStringLiteral("2、下列各数中是无理数的有（　　）")))
        + displayMath(subSup(mr("x"), mr("1"), mr("2")) + mr("+α"))
        + para(run(QStringLiteral("(A) ")) + math(mr("π"))) + para(run(QStringLiteral("(B) 0.5")))
        + para(run(QStringLiteral("(C) ")) + math(root(mr("3"))))
        + para(run(QStringLiteral("(D) 1"))) + para(run(QStringLiteral("答案：AC")))
        + para(run(QStringLiteral("解析：π 与 √3 是无理数。")))
        + para(run(QStringLiteral("二、填空题")))
        + para(run(QStringLiteral("3) 若 ")) + run(QStringLiteral("x"), QStringLiteral("<w:b/>"))
            + run(QStringLiteral("________3，则 "))
            + run(QStringLiteral("y"), QStringLiteral("<w:i/>")) + run(QStringLiteral(" 的值为 "))
            + run(QStringLiteral("1"), QStringLiteral("<w:u w:val=\"single\"/>"))
            + run(QStringLiteral("，")) + run(QStringLiteral("删"), QStringLiteral("<w:strike/>"))
            + run(QStringLiteral("，x"))
            + run(QStringLiteral("2"), QStringLiteral("<w:vertAlign w:val=\"superscript\"/>"))
            + run(QStringLiteral("，H"))
            + run(QStringLiteral("2"), QStringLiteral("<w:vertAlign w:val=\"subscript\"/>"))
            + run(QStringLiteral("O & <b>")))
        + para(run(QStringLiteral("【答案】&gt;"))) + para(run(QStringLiteral("三、解答题")))
        + para(run(QStringLiteral("4. 已知函数 "))
            + math(mr("f(x)=") + sup(mr("x"), mr("2")) + mr("+1")) + run(QStringLiteral(".")))
        + para(run(QStringLiteral("（1）求 f(1)；")))
        + para(run(QStringLiteral("（2）证明 f(x) ≥ 1.")))
        + para(run(QStringLiteral("【答案】（1）2；（2）略")))
        + para(run(QStringLiteral("【解析】（1）代入得 2。")))
        + para(run(QStringLiteral("（2）因为 x²≥0。")));
    const QString path = maker.fromBody(QStringLiteral("equations"),
        QString(body).replace(QStringLiteral("O & <b>"), QStringLiteral("O &amp; &lt;b&gt;")));
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));

    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.warning, QString());
    QCOMPARE(read.drafts.size(), 4);

    const PaperDraft &first = read.drafts.at(0);
    QCOMPARE(first.sectionTitle, QStringLiteral("选择题"));
    QCOMPARE(first.exerciseTypeName, QStringLiteral("单选题"));
    QCOMPARE(first.exerciseTypeId, 11);
    QCOMPARE(first.exercise.exerciseTypeId, 11);
    QCOMPARE(first.exercise.content, QString());
    QCOMPARE(first.exercise.questions.size(), 1);
    const QuestionInfo &q1 = first.exercise.questions.at(0);
    QCOMPARE(q1.questionContent,
        QStringLiteral("<doc>已知 <tex>\\frac{a}{b} = "
                       "\\sqrt{2}</tex>，则下列正确的是（<s2><c></c></s2>）</doc>"));
    QCOMPARE(contents(q1.options),
        QStringList({"<doc>1</doc>", "<doc>2</doc>", "<doc>3</doc>", "<doc>4</doc>"}));
    QCOMPARE(marked(q1.options), QStringLiteral("B"));
    QCOMPARE(q1.answers.size(), 1);
    QCOMPARE(q1.answers.at(0).content, QStringLiteral("B"));
    QCOMPARE(q1.questionExplain, QStringLiteral("<doc>由 <tex>x^{2}</tex> 得</doc>"));

    const PaperDraft &second = read.drafts.at(1);
    QCOMPARE(second.sectionTitle, QStringLiteral("选择题"));
    QCOMPARE(second.exerciseTypeName, QStringLiteral("多选题")); // the answer has two letters
    const QuestionInfo &q2 = second.exercise.questions.at(0);
    QCOMPARE(q2.questionContent,
        QStringLiteral("<doc>下列各数中是无理数的有（<s2><c></c></s2>）<n/><tex>x_{1}^{2} + "
                       "\\alpha</tex></doc>"));
    QCOMPARE(contents(q2.options),
        QStringList({"<doc><tex>\\pi</tex></doc>", "<doc>0.5</doc>",
            "<doc><tex>\\sqrt{3}</tex></doc>", "<doc>1</doc>"}));
    QCOMPARE(marked(q2.options), QStringLiteral("AC"));
    QCOMPARE(q2.answers.at(0).content, QStringLiteral("AC"));
    QCOMPARE(q2.questionExplain, QStringLiteral("<doc>π 与 √3 是无理数。</doc>"));

    const PaperDraft &third = read.drafts.at(2);
    QCOMPARE(third.exerciseTypeName, QStringLiteral("填空题"));
    const QuestionInfo &q3 = third.exercise.questions.at(0);
    QCOMPARE(q3.questionContent,
        QStringLiteral("<doc>若 <b>x</b><s3><c></c></s3>3，则 <i>y</i> 的值为 <u>1</u>，<d>删</d>，"
                       "x<h>2</h>，H<f>2</f>O &amp; &lt;b&gt;</doc>"));
    QVERIFY(q3.options.isEmpty());
    QCOMPARE(q3.answers.size(), 1);
    QCOMPARE(q3.answers.at(0).content, QStringLiteral("<doc>&gt;</doc>"));

    const PaperDraft &fourth = read.drafts.at(3);
    QCOMPARE(fourth.sectionTitle, QStringLiteral("解答题"));
    QCOMPARE(fourth.exerciseTypeName, QStringLiteral("解答题"));
    QCOMPARE(fourth.exercise.content,
        QStringLiteral("<doc>已知函数 <tex>f(x) = x^{2} + 1</tex>.</doc>"));
    QCOMPARE(fourth.exercise.questions.size(), 2);
    const QuestionInfo &sub1 = fourth.exercise.questions.at(0);
    const QuestionInfo &sub2 = fourth.exercise.questions.at(1);
    QCOMPARE(sub1.questionIndex, 1);
    QCOMPARE(sub2.questionIndex, 2);
    QCOMPARE(sub1.questionContent, QStringLiteral("<doc>求 f(1)；</doc>"));
    QCOMPARE(sub2.questionContent, QStringLiteral("<doc>证明 f(x) ≥ 1.</doc>"));
    QCOMPARE(sub1.answers.at(0).content, QStringLiteral("<doc>2；</doc>"));
    QCOMPARE(sub2.answers.at(0).content, QStringLiteral("<doc>略</doc>"));
    QCOMPARE(sub1.questionExplain, QStringLiteral("<doc>代入得 2。</doc>"));
    QCOMPARE(sub2.questionExplain, QStringLiteral("<doc>因为 x²≥0。</doc>"));
    checkEditorKeepsFields(read.drafts);
}

void tst_PaperReader::numberedListsAnswerSection()
{
    PaperMaker maker(m_dir.path());
    QVERIFY(!maker.picture(QStringLiteral("triangle.png"), 1200, 600).isEmpty());
    // Word's own numbered lists; options in a table and one per line; the answers at the end
    const QString markdown = QStringLiteral("# 2024 年期末考试\n\n"
                                            "一、选择题\n\n"
                                            "1. 如图，三角形的面积是（　　）\n\n"
                                            "    ![](triangle.png){width=4in}\n\n"
                                            "    | A. $1$ | B. $2$ |\n"
                                            "    |---|---|\n"
                                            "    | C. $\\frac{3}{2}$ | D. $4$ |\n\n"
                                            "2. 计算 $\\sqrt{4}$ 的结果是（　　）\n\n"
                                            "    A. 2\n\n"
                                            "    B. -2\n\n"
                                            "    C. 4\n\n"
                                            "    D. 16\n\n"
                                            "二、解答题\n\n"
                                            "3. 下表是某班的成绩：\n\n"
                                            "    | 姓名 | 分数 |\n"
                                            "    |---|---|\n"
                                            "    | 甲 | $90$ |\n\n"
                                            "    求平均分 $$\\bar{x}$$\n\n"
                                            "参考答案\n\n"
                                            "1\\. C　2\\. A\n\n"
                                            "3\\. 【答案】90 分\n\n"
                                            "【解析】平均分等于总分除以人数。\n\n"
                                            "第二行解析。\n");
    const QString path = maker.fromMarkdown(QStringLiteral("lists"), markdown);
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));

    PaperReader reader;
    reader.setExerciseTypes(localCatalogue());
    const Read read = readPaper(reader, path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 3);

    const QuestionInfo &q1 = read.drafts.at(0).exercise.questions.at(0);
    QCOMPARE(read.drafts.at(0).exerciseTypeName, QStringLiteral("单选题"));
    // the picture is the file pandoc extracted, at its size in the document (4 inches)
    const QRegularExpression picture(
        QStringLiteral("^<doc>如图，三角形的面积是（<s2><c></c></s2>）<n/><v key=\"([^\"]+)\" "
                       "width=\"384\" height=\"192\"/></doc>$"));
    const QRegularExpressionMatch match = picture.match(q1.questionContent);
    QVERIFY2(match.hasMatch(), qPrintable(q1.questionContent));
    const QString key = match.captured(1);
    QVERIFY(QFileInfo(key).isAbsolute());
    QVERIFY(key.startsWith(reader.mediaDir() + QLatin1Char('/')));
    QVERIFY(QFile::exists(key));
    QCOMPARE(QImage(key).size(), QSize(1200, 600));
    QCOMPARE(contents(q1.options),
        QStringList({"<doc><tex>1</tex></doc>", "<doc><tex>2</tex></doc>",
            "<doc><tex>\\frac{3}{2}</tex></doc>", "<doc><tex>4</tex></doc>"}));
    QCOMPARE(marked(q1.options), QStringLiteral("C"));
    QCOMPARE(q1.answers.at(0).content, QStringLiteral("C"));
    QCOMPARE(q1.answers.size(), 1);
    QCOMPARE(q1.questionExplain, QString());

    const QuestionInfo &q2 = read.drafts.at(1).exercise.questions.at(0);
    QCOMPARE(q2.questionContent,
        QStringLiteral("<doc>计算 <tex>\\sqrt{4}</tex> 的结果是（<s2><c></c></s2>）</doc>"));
    QCOMPARE(contents(q2.options),
        QStringList({"<doc>2</doc>", "<doc>-2</doc>", "<doc>4</doc>", "<doc>16</doc>"}));
    QCOMPARE(marked(q2.options), QStringLiteral("A"));

    const PaperDraft &third = read.drafts.at(2);
    QCOMPARE(third.exerciseTypeName, QStringLiteral("解答题"));
    const QuestionInfo &q3 = third.exercise.questions.at(0);
    QCOMPARE(q3.questionContent,
        QStringLiteral("<doc>下表是某班的成绩：<t><tr><td>姓名</td><td>分数</td></tr>"
                       "<tr><td>甲</td><td><tex>90</tex></td></tr></t>求平均分<n/>"
                       "<tex>\\bar{x}</tex></doc>"));
    QCOMPARE(q3.answers.size(), 1);
    QCOMPARE(q3.answers.at(0).content, QStringLiteral("<doc>90 分</doc>"));
    QCOMPARE(
        q3.questionExplain, QStringLiteral("<doc>平均分等于总分除以人数。<n/>第二行解析。</doc>"));
}

void tst_PaperReader::englishPaper()
{
    PaperMaker maker(m_dir.path());
    const QString markdown
        = QStringLiteral("I. Single choice\n\n"
                         "1\\. She \\_\\_\\_\\_\\_\\_ to school every day.\n\n"
                         "A. go B. goes C. going D. gone\n\n"
                         "2\\. **Which** word is a *noun*?\n\n"
                         "(A) run (B) happy (C) apple (D) quickly\n\n"
                         "II. Fill in the blanks\n\n"
                         "3\\. The plural of \"child\" is \\_\\_\\_\\_\\_\\_\\_\\_.\n\n"
                         "Answers\n\n"
                         "1\\. B 2\\. C\n\n"
                         "3\\. children\n");
    const QString path = maker.fromMarkdown(QStringLiteral("english"), markdown);
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 3);
    QCOMPARE(read.drafts.at(0).sectionTitle, QStringLiteral("Single choice"));
    QCOMPARE(read.drafts.at(0).exerciseTypeName, QStringLiteral("单选题"));
    const QuestionInfo &q1 = read.drafts.at(0).exercise.questions.at(0);
    QCOMPARE(
        q1.questionContent, QStringLiteral("<doc>She <s2><c></c></s2> to school every day.</doc>"));
    QCOMPARE(contents(q1.options),
        QStringList({"<doc>go</doc>", "<doc>goes</doc>", "<doc>going</doc>", "<doc>gone</doc>"}));
    QCOMPARE(marked(q1.options), QStringLiteral("B"));
    const QuestionInfo &q2 = read.drafts.at(1).exercise.questions.at(0);
    QCOMPARE(q2.questionContent, QStringLiteral("<doc><b>Which</b> word is a <i>noun</i>?</doc>"));
    QCOMPARE(contents(q2.options),
        QStringList(
            {"<doc>run</doc>", "<doc>happy</doc>", "<doc>apple</doc>", "<doc>quickly</doc>"}));
    QCOMPARE(marked(q2.options), QStringLiteral("C"));
    QCOMPARE(read.drafts.at(2).exerciseTypeName, QStringLiteral("填空题"));
    const QuestionInfo &q3 = read.drafts.at(2).exercise.questions.at(0);
    QCOMPARE(q3.questionContent,
        QStringLiteral("<doc>The plural of “child” is <s3><c></c></s3>.</doc>"));
    QCOMPARE(q3.answers.at(0).content, QStringLiteral("<doc>children</doc>"));
}

void tst_PaperReader::answerLettersKeepTheirReasons()
{
    // "【答案】B. 因为……": the letters mark the options, the words after them (and the
    // paragraphs of the answer that follow) explain them
    PaperMaker maker(m_dir.path());
    const QString path = maker.fromMarkdown(QStringLiteral("reasons"),
        QStringLiteral("一、选择题\n\n"
                       "1. 下列数中最大的是（　　）\n\n"
                       "A. 1　B. 3　C. 2　D. 0\n\n"
                       "【答案】B. 因为 3 比其余的都大\n\n"
                       "所以选 B\n\n"
                       "2. 下列数中是偶数的有（　　）\n\n"
                       "A. 2　B. 3　C. 4　D. 5\n\n"
                       "【答案】A、C\n\n"
                       "【解析】2 与 4 都能被 2 整除\n"));
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 2);
    const QuestionInfo &q1 = read.drafts.at(0).exercise.questions.at(0);
    QCOMPARE(marked(q1.options), QStringLiteral("B"));
    QCOMPARE(q1.questionExplain, QStringLiteral("<doc>因为 3 比其余的都大<n/>所以选 B</doc>"));
    QCOMPARE(read.drafts.at(0).exerciseTypeName, QStringLiteral("单选题"));
    const QuestionInfo &q2 = read.drafts.at(1).exercise.questions.at(0);
    QCOMPARE(marked(q2.options), QStringLiteral("AC"));
    QCOMPARE(q2.questionExplain, QStringLiteral("<doc>2 与 4 都能被 2 整除</doc>"));
    QCOMPARE(read.drafts.at(1).exerciseTypeName, QStringLiteral("多选题"));
}

void tst_PaperReader::withoutNumbers()
{
    PaperMaker maker(m_dir.path());
    const QString path = maker.fromMarkdown(QStringLiteral("plain"),
        QStringLiteral("一段没有题号的文字，含公式 $a+b$。\n\n第二段。\n"));
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.warning, QStringLiteral("没有找到题号，整份文档作为一道题导入，请自行拆分"));
    QCOMPARE(read.drafts.size(), 1);
    QCOMPARE(read.drafts.at(0).exercise.questions.size(), 1);
    QCOMPARE(read.drafts.at(0).exercise.questions.at(0).questionContent,
        QStringLiteral("<doc>一段没有题号的文字，含公式 <tex>a + b</tex>。<n/>第二段。</doc>"));
    QCOMPARE(read.drafts.at(0).exerciseTypeName, QStringLiteral("解答题"));
}

void tst_PaperReader::badInput_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");

    const QByteArray ole("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8);
    const QString encrypted = QStringLiteral("EncryptedPackage");
    QByteArray encryptedFile = ole + QByteArray(504, '\0');
    encryptedFile
        += QByteArray(reinterpret_cast<const char *>(encrypted.utf16()), encrypted.size() * 2);
    encryptedFile += QByteArray(1024, '\0');

    QTest::newRow("text named .docx") << "notes.docx" << QByteArray("1. 这只是文本")
                                      << "“notes.docx”不是 Word 文档，只能导入 .docx 或 .doc 文件";
    QTest::newRow("picture") << "photo.docx" << QByteArray("\x89PNG\r\n\x1a\n0000", 12)
                             << "“photo.docx”不是 Word 文档，只能导入 .docx 或 .doc 文件";
    QTest::newRow("zip that is not Word")
        << "archive.docx" << QByteArray("PK\x03\x04\x14\0\0\0\x08\0readme.txt", 20)
        << "“archive.docx”不是 Word 文档，只能导入 .docx 或 .doc 文件";
    QTest::newRow("password") << "secret.docx" << encryptedFile
                              << "文档设有密码保护，请在 Word 中取消密码后再导入";
    QTest::newRow("empty file") << "empty.docx" << QByteArray()
                                << "“empty.docx”不是 Word 文档，只能导入 .docx 或 .doc 文件";
}

void tst_PaperReader::badInput()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString path = m_dir.filePath(name);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();

    PaperReader reader;
    QSignalSpy finished(&reader, &PaperReader::finished);
    const Read read = readPaper(reader, path);
    QCOMPARE(read.failure, message);
    QVERIFY(finished.isEmpty());
    QVERIFY(!reader.isReading());
}

void tst_PaperReader::toolsMissing()
{
    PaperMaker maker(m_dir.path());
    const QString good = maker.fromMarkdown(QStringLiteral("good"), QStringLiteral("1\\. 题目\n"));
    QVERIFY2(!good.isEmpty(), qPrintable(maker.error()));

    // damaged: the first half of a real paper
    QFile whole(good);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QByteArray bytes = whole.readAll();
    const QString damaged = m_dir.filePath(QStringLiteral("damaged.docx"));
    QFile half(damaged);
    QVERIFY(half.open(QIODevice::WriteOnly));
    half.write(bytes.left(bytes.size() / 2));
    half.close();
    QCOMPARE(readPaper(damaged).failure, QStringLiteral("文档已损坏，无法读取"));

    // over 50 MB (sparse, so the test writes nothing much)
    const QString big = m_dir.filePath(QStringLiteral("big.docx"));
    QFile bigFile(big);
    QVERIFY(bigFile.open(QIODevice::WriteOnly));
    bigFile.write(bytes);
    QVERIFY(bigFile.resize(PaperReader::maxFileSize + 1));
    bigFile.close();
    QCOMPARE(readPaper(big).failure, QStringLiteral("文件超过 50 MB，无法导入"));

    QCOMPARE(readPaper(m_dir.filePath(QStringLiteral("missing.docx"))).failure,
        QStringLiteral("无法打开文件“missing.docx”"));

    // a .doc: an OLE file; on a PATH holding pandoc but no LibreOffice
    const QString doc = m_dir.filePath(QStringLiteral("old.doc"));
    QFile docFile(doc);
    QVERIFY(docFile.open(QIODevice::WriteOnly));
    docFile.write(QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8) + QByteArray(2048, '\0'));
    docFile.close();
    const QByteArray path = qgetenv("PATH");
    QTemporaryDir bin;
    QVERIFY(QFile::link(QStandardPaths::findExecutable(QStringLiteral("pandoc")),
        bin.filePath(QStringLiteral("pandoc"))));
    qputenv("PATH", bin.path().toLocal8Bit());
    const QString withoutOffice = readPaper(doc).failure;
    // and without pandoc at all
    qputenv("PATH", QTemporaryDir().path().toLocal8Bit());
    const QString withoutPandoc = readPaper(good).failure;
    qputenv("PATH", path);
    QCOMPARE(withoutOffice,
        QStringLiteral(
            "无法读取 .doc 文档：未找到 LibreOffice。请在 Word 中将它另存为 .docx 后再导入"));
    QCOMPARE(withoutPandoc, QStringLiteral("未找到 pandoc，无法读取 Word 文档，请先安装 pandoc"));
}

void tst_PaperReader::cancelReportsNothing()
{
    PaperMaker maker(m_dir.path());
    const QString path
        = maker.fromMarkdown(QStringLiteral("cancelled"), QStringLiteral("1\\. 题目\n"));
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    PaperReader reader;
    QSignalSpy finished(&reader, &PaperReader::finished);
    QSignalSpy failed(&reader, &PaperReader::failed);
    reader.read(path);
    QVERIFY(reader.isReading());
    const QString media = reader.mediaDir();
    reader.cancel();
    QVERIFY(!reader.isReading());
    QTest::qWait(1500);
    QCOMPARE(finished.count() + failed.count(), 0);
    QVERIFY(!QFileInfo::exists(media));

    // the same reader reads the next paper
    const Read read = readPaper(reader, path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 1);
    QCOMPARE(read.drafts.at(0).exercise.questions.at(0).questionContent,
        QStringLiteral("<doc>题目</doc>"));

    // a failure cancelled before the event loop reports it stays silent too
    reader.read(m_dir.filePath(QStringLiteral("missing.docx")));
    reader.cancel();
    QTest::qWait(50);
    QCOMPARE(failed.count(), 0);
}

void tst_PaperReader::typeGuessOtherCatalogue()
{
    ExerciseTypeInfoList types;
    for (const char *name : {"阅读理解", "单项选择题", "多项选择题", "填空题", "计算题"})
        types.append({int(types.size()) + 1, 1, QString::fromUtf8(name)});
    const PaperTypeGuesser guesser(types);
    PaperTypeGuesser::Shape choice;
    choice.hasOptions = true;
    PaperTypeGuesser::Shape several = choice;
    several.severalAnswers = true;
    PaperTypeGuesser::Shape blanks;
    blanks.hasBlanks = true;
    const PaperTypeGuesser::Shape plain;

    QCOMPARE(guesser.guess(QStringLiteral("单项选择题"), choice), 1); // by name
    QCOMPARE(guesser.guess(QStringLiteral("选择题"), choice), 1);
    QCOMPARE(guesser.guess(QStringLiteral("选择题"), several), 2);
    QCOMPARE(guesser.guess(QStringLiteral("阅读理解（共两节）"), plain), 0);
    QCOMPARE(guesser.guess(QString(), several), 2); // by shape
    QCOMPARE(guesser.guess(QString(), choice), 1);
    QCOMPARE(guesser.guess(QString(), blanks), 3);
    QCOMPARE(guesser.guess(QStringLiteral("作图题"), plain), 0); // the first type without options
    QCOMPARE(PaperTypeGuesser(ExerciseTypeInfoList()).guess(QStringLiteral("选择题"), choice), -1);

    // the kind a heading's word names, when no name matches it
    const PaperTypeGuesser local(localCatalogue());
    QCOMPARE(local.guess(QStringLiteral("选择题"), plain), 0);
    QCOMPARE(local.guess(QStringLiteral("判断"), plain), 2);
    // "完形填空" is a type with options, not a fill-in
    const auto catalogue = [](std::initializer_list<const char *> names) {
        ExerciseTypeInfoList out;
        for (const char *name : names)
            out.append({int(out.size()) + 1, 1, QString::fromUtf8(name)});
        return out;
    };
    QCOMPARE(PaperTypeGuesser(catalogue({"完形填空", "填空题"})).guess(QString(), blanks), 1);
    QCOMPARE(PaperTypeGuesser(catalogue({"判断题", "作图题"})).guess(QString(), plain), 1);
    QCOMPARE(PaperTypeGuesser(catalogue({"作图题", "综合题"})).guess(QString(), plain), 1);
    QCOMPARE(PaperTypeGuesser(catalogue({"判断题", "作图题"})).guess(QString(), choice), 0);
}

void tst_PaperReader::commandLine()
{
    PaperMaker maker(m_dir.path());
    QVERIFY(!maker.picture(QStringLiteral("figure.png"), 200, 100).isEmpty());
    const QString body = para(run(QStringLiteral("一、选择题")))
        + para(run(QStringLiteral("1. 如图 ")) + PaperMaker::drawing(1, 1700, 850)
            + run(QStringLiteral(" 中 ")) + math(frac(mr("1"), mr("2"))))
        + para(run(QStringLiteral("A. 甲 B. 乙"))) + para(run(QStringLiteral("【答案】A")));
    const QString path = maker.fromBody(
        QStringLiteral("cli"), body, {m_dir.filePath(QStringLiteral("figure.png"))});
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));

    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral(QUENMO_PAPER_PATH), {path});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 0);
    const QJsonArray drafts = QJsonDocument::fromJson(process.readAllStandardOutput()).array();
    QCOMPARE(drafts.size(), 1);
    const QJsonObject draft = drafts.at(0).toObject();
    QCOMPARE(draft.value("type").toString(), QStringLiteral("单选题"));
    QCOMPARE(draft.value("section").toString(), QStringLiteral("选择题"));
    const QJsonObject question = draft.value("questions").toArray().at(0).toObject();
    const QString media = QDir(m_dir.filePath(QStringLiteral("cli-media"))).absolutePath();
    // wider than the editor shows: scaled to 850 keeping its ratio, on a line of its own (the
    // line it does not fit beside would be as tall as the picture)
    QCOMPARE(question.value("content").toString(),
        QStringLiteral("<doc>如图 <n/><v key=\"%1/media/picture1.png\" width=\"850\" "
                       "height=\"425\"/><n/> 中 <tex>\\frac{1}{2}</tex></doc>")
            .arg(media));
    QVERIFY(QFile::exists(media + QStringLiteral("/media/picture1.png")));
    const QJsonArray options = question.value("options").toArray();
    QCOMPARE(options.size(), 2);
    QCOMPARE(options.at(1).toObject().value("content").toString(), QStringLiteral("<doc>乙</doc>"));
    QCOMPARE(options.at(0).toObject().value("isAnswer").toBool(), true);
    QCOMPARE(question.value("answers").toArray(), QJsonArray({QStringLiteral("A")}));

    // bad input: a message on stderr and a failing status
    process.start(
        QStringLiteral(QUENMO_PAPER_PATH), {m_dir.filePath(QStringLiteral("absent.docx"))});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
        QStringLiteral("quenmo-paper: 无法打开文件“absent.docx”\n"));
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

void tst_PaperReader::statementsRangesAndRestarts()
{
    PaperMaker maker(m_dir.path());
    // statements ①② of a choice, a sub-question list inside a question, numbers restarting in
    // each section, and "1-2 CA" answers
    const QString markdown = QStringLiteral("一、选择题\n\n"
                                            "1\\. 给出下列命题：\n\n"
                                            "①对顶角相等；\n\n"
                                            "②同位角相等。\n\n"
                                            "其中正确的是（　　）\n\n"
                                            "A. ① B. ② C. ①② D. 都不对\n\n"
                                            "【答案】C\n\n"
                                            "2\\. 下列说法正确的是（　　）\n\n"
                                            "A. 甲 B. 乙 C. 丙\n\n"
                                            "【分析】看定义。\n\n"
                                            "4\\. 由定义可知。\n\n"
                                            "【详解】甲正确。\n\n"
                                            "3\\. 两个选项的题（　　）\n\n"
                                            "A. 对 B. 错\n\n"
                                            "二、解答题\n\n"
                                            "1\\. 已知数列 $a_n$ 满足 $a_1 = 1$。\n\n"
                                            "(1) 求 $a_2$；\n\n"
                                            "(2) 求通项。\n\n"
                                            "2\\. 已知 x = 1。\n\n"
                                            "（1）求 x+1；\n\n"
                                            "【答案】2\n\n"
                                            "（2）求 x-1。\n\n"
                                            "【答案】0\n\n"
                                            "参考答案\n\n"
                                            "一、选择题\n\n"
                                            "2-3 AC\n\n"
                                            "二、解答题\n\n"
                                            "1\\. (1) $a_2 = 2$ (2) $a_n = n$\n\n"
                                            "9\\. 没有这道题\n");
    const QString path = maker.fromMarkdown(QStringLiteral("statements"), markdown);
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 5);

    const PaperDraft &first = read.drafts.at(0);
    QCOMPARE(first.exercise.questions.size(), 1);
    QCOMPARE(first.exercise.content, QString());
    const QuestionInfo &q1 = first.exercise.questions.at(0);
    QCOMPARE(q1.questionContent,
        QStringLiteral("<doc>给出下列命题：<n/>①对顶角相等；<n/>②同位角相等。<n/>其中正确的是（"
                       "<s2><c></c></s2>）</doc>"));
    QCOMPARE(contents(q1.options),
        QStringList({"<doc>①</doc>", "<doc>②</doc>", "<doc>①②</doc>", "<doc>都不对</doc>"}));
    QCOMPARE(marked(q1.options), QStringLiteral("C"));
    QCOMPARE(first.exerciseTypeName, QStringLiteral("单选题"));
    QCOMPARE(q1.answers.at(0).content, QStringLiteral("C"));

    // a number inside an analysis that is not the next question's stays in the analysis
    const QuestionInfo &q2 = read.drafts.at(1).exercise.questions.at(0);
    QCOMPARE(marked(q2.options), QStringLiteral("A"));
    QCOMPARE(q2.questionExplain,
        QStringLiteral("<doc>看定义。<n/>4. 由定义可知。<n/>【详解】甲正确。</doc>"));
    // an answer naming an option the question lacks marks none and stays as text
    const QuestionInfo &q3 = read.drafts.at(2).exercise.questions.at(0);
    QCOMPARE(q3.options.size(), 2);
    QCOMPARE(marked(q3.options), QString());
    QCOMPARE(q3.answers.size(), 1);
    QCOMPARE(q3.answers.at(0).content, QStringLiteral("<doc>C</doc>"));

    const PaperDraft &third = read.drafts.at(3);
    QCOMPARE(third.sectionTitle, QStringLiteral("解答题"));
    QCOMPARE(third.exercise.content,
        QStringLiteral("<doc>已知数列 <tex>a_{n}</tex> 满足 <tex>a_{1} = 1</tex>。</doc>"));
    QCOMPARE(third.exercise.questions.size(), 2);
    QCOMPARE(third.exercise.questions.at(0).questionContent,
        QStringLiteral("<doc>求 <tex>a_{2}</tex>；</doc>"));
    QCOMPARE(third.exercise.questions.at(1).questionContent, QStringLiteral("<doc>求通项。</doc>"));
    QCOMPARE(third.exercise.questions.at(0).answers.at(0).content,
        QStringLiteral("<doc><tex>a_{2} = 2</tex></doc>"));
    QCOMPARE(third.exercise.questions.at(1).answers.at(0).content,
        QStringLiteral("<doc><tex>a_{n} = n</tex></doc>"));

    // answers right after each sub-question
    const PaperDraft &fourth = read.drafts.at(4);
    QCOMPARE(fourth.exercise.content, QStringLiteral("<doc>已知 x = 1。</doc>"));
    QCOMPARE(fourth.exercise.questions.size(), 2);
    QCOMPARE(
        fourth.exercise.questions.at(0).questionContent, QStringLiteral("<doc>求 x+1；</doc>"));
    QCOMPARE(fourth.exercise.questions.at(0).answers.at(0).content, QStringLiteral("<doc>2</doc>"));
    QCOMPARE(
        fourth.exercise.questions.at(1).questionContent, QStringLiteral("<doc>求 x-1。</doc>"));
    QCOMPARE(fourth.exercise.questions.at(1).answers.at(0).content, QStringLiteral("<doc>0</doc>"));
}

void tst_PaperReader::slowOrFailingPandoc()
{
    PaperMaker maker(m_dir.path());
    const QString good = maker.fromMarkdown(QStringLiteral("slow"), QStringLiteral("1\\. 题目\n"));
    QVERIFY2(!good.isEmpty(), qPrintable(maker.error()));
    // a pandoc that hangs, and one that fails, standing first on the PATH
    QTemporaryDir bin;
    const QString pidFile = bin.filePath(QStringLiteral("pid"));
    const auto fakePandoc = [&](const QByteArray &script) {
        QFile file(bin.filePath(QStringLiteral("pandoc")));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    };
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);

    fakePandoc("echo $$ > " + pidFile.toLocal8Bit() + "\nexec sleep 30\n");
    PaperReader reader;
    reader.setTimeLimit(500);
    const Read slow = readPaper(reader, good);
    QCOMPARE(slow.failure, QStringLiteral("读取文档超时，文档可能过大或已损坏"));
    QFile pid(pidFile);
    QVERIFY(pid.open(QIODevice::ReadOnly));
    const QString proc = QStringLiteral("/proc/") + QString::fromLatin1(pid.readAll().trimmed());
    QVERIFY(!QFileInfo::exists(proc));

    // a reader destroyed while pandoc runs takes pandoc with it
    QFile::remove(pidFile);
    auto *doomed = new PaperReader;
    doomed->read(good);
    QVERIFY(QTest::qWaitFor(
        [&] { return QFile::exists(pidFile) && QFileInfo(pidFile).size() > 0; }, 10000));
    QFile pid2(pidFile);
    QVERIFY(pid2.open(QIODevice::ReadOnly));
    const QString proc2 = QStringLiteral("/proc/") + QString::fromLatin1(pid2.readAll().trimmed());
    QVERIFY(QFileInfo::exists(proc2));
    delete doomed;
    QVERIFY(QTest::qWaitFor([&] { return !QFileInfo::exists(proc2); }, 5000));

    fakePandoc("echo 'JSON parse error' >&2\nexit 1\n");
    const Read failing = readPaper(good);
    fakePandoc("echo 'not json'\n");
    const Read garbage = readPaper(good);
    qputenv("PATH", path);
    QCOMPARE(failing.failure, QStringLiteral("文档已损坏，无法读取"));
    QCOMPARE(garbage.failure, QStringLiteral("文档已损坏，无法读取"));
}

void tst_PaperReader::blankSizes()
{
    // runs of underscores by length and empty answer brackets
    PaperMaker maker(m_dir.path());
    const QString body = para(run(QStringLiteral("二、填空题")))
        + para(run(QStringLiteral("1. a__b___c____d______e_______f____________g_____________h"))
            + run(QStringLiteral("i(  )j（　）k say \"hi\"")));
    const QString path = maker.fromBody(QStringLiteral("blanks"), body);
    QVERIFY2(!path.isEmpty(), qPrintable(maker.error()));
    const Read read = readPaper(path);
    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 1);
    const QString s1 = QStringLiteral("<s1><c></c></s1>");
    const QString s2 = QStringLiteral("<s2><c></c></s2>");
    const QString s3 = QStringLiteral("<s3><c></c></s3>");
    const QString s4 = QStringLiteral("<s4><c></c></s4>");
    QCOMPARE(read.drafts.at(0).exercise.questions.at(0).questionContent,
        QString("<doc>a" + s1 + "b" + s1 + "c" + s2 + "d" + s2 + "e" + s3 + "f" + s3 + "g" + s4
            + "hi(" + s2 + ")j（" + s2 + "）k say \"hi\"</doc>"));
    checkEditorKeepsFields(read.drafts);
}

void tst_PaperReader::docThroughLibreOffice()
{
    // a LibreOffice that "converts" by copying a paper written beforehand, and one that fails
    PaperMaker maker(m_dir.path());
    const QString converted = maker.fromMarkdown(QStringLiteral("converted"),
        QStringLiteral("一、选择题\n\n1\\. 旧文档里的题（　　）\n\nA. 甲 B. 乙\n"));
    QVERIFY2(!converted.isEmpty(), qPrintable(maker.error()));
    const QString doc = m_dir.filePath(QStringLiteral("old paper.doc"));
    QFile docFile(doc);
    QVERIFY(docFile.open(QIODevice::WriteOnly));
    docFile.write(QByteArray("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1", 8) + QByteArray(2048, '\0'));
    docFile.close();

    QTemporaryDir bin;
    const QString soffice = bin.filePath(QStringLiteral("soffice"));
    const auto fakeOffice = [&](const QByteArray &script) {
        QFile file(soffice);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write("#!/bin/sh\n" + script);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    };
    // soffice --headless --convert-to docx --outdir DIR FILE.doc writes DIR/FILE.docx
    fakeOffice("[ \"$2 $3 $4 $5\" = '--headless --convert-to docx --outdir' ] || exit 3\n"
               "case \"$1\" in -env:UserInstallation=file:///*) ;; *) exit 4 ;; esac\n"
               "name=$(basename \"$7\" .doc)\n"
               "cp '"
        + converted.toLocal8Bit() + "' \"$6/$name.docx\"\n");
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.path().toLocal8Bit() + ':' + path);
    PaperReader reader;
    QSignalSpy progress(&reader, &PaperReader::progress);
    const Read read = readPaper(reader, doc);
    fakeOffice("exit 1\n");
    const Read failed = readPaper(doc);
    qputenv("PATH", path);

    QCOMPARE(read.failure, QString());
    QCOMPARE(read.drafts.size(), 1);
    const QuestionInfo &question = read.drafts.at(0).exercise.questions.at(0);
    QCOMPARE(
        question.questionContent, QStringLiteral("<doc>旧文档里的题（<s2><c></c></s2>）</doc>"));
    QCOMPARE(contents(question.options), QStringList({"<doc>甲</doc>", "<doc>乙</doc>"}));
    QCOMPARE(progress.size(), 3);
    QCOMPARE(progress.at(0).first().toString(), QStringLiteral("正在转换文档"));
    QCOMPARE(progress.at(1).first().toString(), QStringLiteral("正在读取文档"));
    QCOMPARE(progress.at(2).first().toString(), QStringLiteral("正在拆分题目"));
    QCOMPARE(failed.failure, QStringLiteral("无法转换 .doc 文档，文件可能已损坏或设有密码"));
}

QTEST_MAIN(tst_PaperReader)
#include "tst_paperreader.moc"
