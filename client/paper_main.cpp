// quenmo-paper FILE: reads a Word paper and prints its exercises as JSON, for scripts.
#include "composer/paperreader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace {

QJsonObject questionJson(const QuestionInfo &question)
{
    QJsonArray options;
    for (const OptionInfo &option : question.options) {
        options.append(QJsonObject {{QStringLiteral("label"), QString(QChar('A' + option.index))},
            {QStringLiteral("content"), option.content},
            {QStringLiteral("isAnswer"), option.isAnswer}});
    }
    QJsonArray answers;
    for (const AnswerInfo &answer : question.answers)
        answers.append(answer.content);
    return QJsonObject {{QStringLiteral("content"), question.questionContent},
        {QStringLiteral("options"), options}, {QStringLiteral("answers"), answers},
        {QStringLiteral("analysis"), question.questionExplain}};
}

QJsonObject draftJson(const PaperDraft &draft)
{
    QJsonArray questions;
    for (const QuestionInfo &question : draft.exercise.questions)
        questions.append(questionJson(question));
    return QJsonObject {{QStringLiteral("type"), draft.exerciseTypeName},
        {QStringLiteral("section"), draft.sectionTitle},
        {QStringLiteral("stem"), draft.exercise.content}, {QStringLiteral("questions"), questions}};
}

void printError(const QString &message)
{
    std::fprintf(stderr, "quenmo-paper: %s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quenmo-paper"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the exercises of a Word paper as JSON."));
    parser.addHelpOption();
    const QCommandLineOption typesOption(QStringLiteral("types"),
        QStringLiteral("Comma-separated exercise type names to guess from."),
        QStringLiteral("names"), QStringLiteral("单选题,多选题,判断题,填空题,解答题,综合题"));
    const QCommandLineOption mediaOption(QStringLiteral("media"),
        QStringLiteral("Folder for the paper's pictures (default: FILE's name + \"-media\")."),
        QStringLiteral("dir"));
    parser.addOption(typesOption);
    parser.addOption(mediaOption);
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("a .docx or .doc paper"));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);

    const QString path = parser.positionalArguments().first();
    ExerciseTypeInfoList types;
    const QStringList names = parser.value(typesOption).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < names.size(); ++i)
        types.append({i + 1, 0, names.at(i).trimmed()});

    PaperReader reader;
    reader.setExerciseTypes(types);
    reader.setMediaDir(parser.isSet(mediaOption)
            ? parser.value(mediaOption)
            : QFileInfo(path).completeBaseName() + QStringLiteral("-media"));
    int status = 0;
    QObject::connect(&reader, &PaperReader::finished, &app, [&](const PaperDraftList &drafts) {
        QJsonArray out;
        for (const PaperDraft &draft : drafts)
            out.append(draftJson(draft));
        std::fputs(QJsonDocument(out).toJson(QJsonDocument::Indented).constData(), stdout);
        if (!reader.warning().isEmpty()) {
            printError(reader.warning());
            status = 3;
        }
        app.quit();
    });
    QObject::connect(&reader, &PaperReader::failed, &app, [&](const QString &message) {
        printError(message);
        status = 1;
        app.quit();
    });
    reader.read(path);
    app.exec();
    return status;
}
