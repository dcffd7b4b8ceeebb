// A teacher imports a paper at the real window against quenmo-server: the button, the file
// dialog, the progress, the pictures uploaded, the drafts shown one by one and walked through,
// one of them entered into the bank, the queue kept across a new start, and every failure
// leaving the composer as it was. The paper is read by a stand-in that hands over drafts as
// the reader makes them.
#include "app/serverconfig.h"
#include "browser/exerciseviewwidget.h"
#include "browser/mainwindow.h"
#include "composer/exercisequestionanalysiswidget.h"
#include "composer/exercisequestionanswerwidget.h"
#include "composer/exercisequestioncontentwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/paperimport.h"
#include "composer/paperimportqueue.h"
#include "editor/textedit.h"
#include "model/exercisejson.h"

#include "bankseeder.h"
#include "composerdriver.h"
#include "localserver.h"
#include "modaldialoganswerer.h"
#include "papermaker.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QNetworkReply>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Reads nothing: after a while it reports a step and hands over the drafts it was given, or
// fails with the message it was given.
class StandInReader : public QObject
{
    Q_OBJECT

public:
    PaperDraftList drafts;
    QString warning;
    QString failure;
    int delayMs = 300;
    QStringList paths;
    ExerciseTypeInfoList types;
    int cancels = 0;

    PaperImport::Reader attach(PaperImport *import)
    {
        connect(this, &StandInReader::progress, import, &PaperImport::readerProgress);
        connect(this, &StandInReader::finished, import, &PaperImport::startPaperImport);
        connect(this, &StandInReader::failed, import, &PaperImport::readerFailed);
        connect(this, &StandInReader::warned, import, &PaperImport::readerWarned);
        return {[this](const QString &path, const ExerciseTypeInfoList &catalogue) {
                    paths << path;
                    types = catalogue;
                    m_running = true;
                    QTimer::singleShot(delayMs / 2, this, [this] {
                        if (m_running)
                            emit progress(QStringLiteral("正在读取文档"));
                    });
                    QTimer::singleShot(delayMs, this, [this] {
                        if (!qExchange(m_running, false))
                            return;
                        if (!warning.isEmpty())
                            emit warned(warning);
                        if (failure.isEmpty())
                            emit finished(drafts);
                        else
                            emit failed(failure);
                    });
                },
            [this] {
                ++cancels;
                m_running = false;
            }};
    }

signals:
    void progress(const QString &step);
    void finished(const PaperDraftList &drafts);
    void failed(const QString &message);
    void warned(const QString &message);

private:
    bool m_running = false;
};

QString doc(const QString &inner)
{
    return QStringLiteral("<doc>") + inner + QStringLiteral("</doc>");
}

QJsonObject stateOf(MainWindow &window)
{
    ExerciseInfo state;
    if (!window.getExerciseInfo(state, false))
        return QJsonObject();
    return ExerciseJson::toJson(state);
}

ExerciseQuestionWidget *page(MainWindow &window, int index = 0)
{
    return qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(index));
}

QString questionText(MainWindow &window, int index = 0)
{
    ExerciseQuestionWidget *question = page(window, index);
    return question && question->contentPanel() ? question->contentPanel()->text() : QString();
}

// What the composer shows, one line per field, options marked "*" when checked.
QStringList shown(MainWindow &window)
{
    QStringList lines {ComposerDriver::typeCombo(window)->currentText()};
    if (window.stem())
        lines << QStringLiteral("stem ") + window.stem()->text();
    QTabWidget *tabs = window.questionTabs();
    for (int i = 0; tabs && i < tabs->count(); ++i) {
        ExerciseQuestionWidget *question = page(window, i);
        if (question->contentPanel())
            lines << QStringLiteral("content ") + question->contentPanel()->text();
        for (const ExerciseQuestionOptionWidget *option : question->optionPanels()) {
            lines << QStringLiteral("option ") + option->text()
                    + (option->isChecked() ? QStringLiteral(" *") : QString());
        }
        if (QTabWidget *answers = question->answerTabs()) {
            for (int a = 0; a < answers->count(); ++a) {
                lines << QStringLiteral("answer ")
                        + static_cast<ExerciseQuestionAnswerWidget *>(answers->widget(a))->text();
            }
            if (answers->currentIndex() != 0)
                lines << QStringLiteral("answer tab %1 current").arg(answers->currentIndex());
        }
        lines << QStringLiteral("analysis ") + question->analysisPanel()->text();
    }
    if (tabs && tabs->currentIndex() != 0)
        lines << QStringLiteral("question tab %1 current").arg(tabs->currentIndex());
    return lines;
}

QuestionInfo choiceQuestion(
    const QString &content, const QStringList &options, int correct, const QString &analysis)
{
    QuestionInfo question;
    question.questionContent = doc(content);
    for (const QString &text : options) {
        OptionInfo option;
        option.index = question.options.size();
        option.content = doc(text);
        option.isAnswer = option.index == correct;
        question.options << option;
    }
    question.questionExplain = doc(analysis);
    return question;
}

QuestionInfo answeredQuestion(
    const QString &content, const QStringList &answers, const QString &analysis)
{
    QuestionInfo question;
    question.questionContent = doc(content);
    for (const QString &text : answers) {
        AnswerInfo answer;
        answer.answerIdx = question.answers.size();
        answer.content = doc(text);
        question.answers << answer;
    }
    question.questionExplain = doc(analysis);
    return question;
}

PaperDraft draftOf(
    const QString &typeName, const QList<QuestionInfo> &questions, const QString &stem = QString())
{
    PaperDraft draft;
    draft.exerciseTypeName = typeName;
    if (!stem.isEmpty())
        draft.exercise.content = doc(stem);
    draft.exercise.questions = questions;
    return draft;
}

} // namespace

class tst_PaperImport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void importedPaperIsWalkedThroughAndEntered();
    void cancelledReadLeavesTheComposerAsItWas();
    void failedImportKeepsNothing_data();
    void failedImportKeepsNothing();
    void queueComesBackAfterANewStart();
    void paperThatCannotBeCutUpIsOneDraftWithAWord();
    void wordPaperReachesTheComposerThroughPandoc();
    void walkingThePaperShowsEachExerciseAsItIs();
    void openModificationIsNotReplacedUnasked();
    void cancellingTakesOnlyThePapersOwnExerciseOff();
    void unreadableQueueIsSetAside();

private:
    // Clicks "导入试卷" and chooses the paper in the file dialog; the progress display is
    // seen and left alone.
    void importPaper();
    bool waitForDraft(int position, int count);
    // A new window for the same teacher, as after a crash; the first question it asks gets
    // the answer given here.
    bool restartAnswering(const QString &button);
    QLabel *positionLabel();
    QPushButton *headerButton(const QString &name);
    int bankCount();
    QByteArray download(const QString &fileKey);
    // Goes to the bank page, refreshes it and clicks the card's edit button; true once the
    // exercise's body is in the composer.
    bool openFromBank(int exerciseId);

    QTemporaryDir m_home;
    QTemporaryDir m_files;
    LocalServer m_server;
    std::unique_ptr<BankSeeder> m_seeder;
    int m_groupId = 0;
    QString m_paper;
    QString m_wide;
    QString m_small;
    PaperDraftList m_drafts;
    std::unique_ptr<StandInReader> m_reader;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ModalDialogAnswerer> m_answerer;
};

void tst_PaperImport::initTestCase()
{
    qputenv("XDG_DATA_HOME", m_home.path().toUtf8());
    QVERIFY2(m_server.start(), qPrintable(m_server.errorString()));
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = m_server.baseUrl();
    m_seeder = std::make_unique<BankSeeder>(m_server.baseUrl());
    QVERIFY(m_seeder->login());
    m_groupId = m_seeder->addGroup(QStringLiteral("试卷"));
    QVERIFY(ComposerDriver::login());

    // the paper itself is never opened by the stand-in; the dialog only needs it to exist
    m_paper = m_files.filePath(QStringLiteral("期中试卷.docx"));
    QFile paper(m_paper);
    QVERIFY(paper.open(QIODevice::WriteOnly));
    paper.write("PK");
    paper.close();
    // a picture wider than the editor takes, and a small one
    QImage wide(1000, 500, QImage::Format_RGB32);
    wide.fill(Qt::white);
    QPainter painter(&wide);
    painter.setPen(QPen(Qt::black, 6));
    painter.drawEllipse(QRect(300, 50, 400, 400));
    painter.drawLine(100, 250, 900, 250);
    painter.end();
    m_wide = m_files.filePath(QStringLiteral("image1.png"));
    QVERIFY(wide.save(m_wide));
    QImage small(120, 80, QImage::Format_RGB32);
    small.fill(QColor(27, 197, 245));
    m_small = m_files.filePath(QStringLiteral("image2.png"));
    QVERIFY(small.save(m_small));

    // three exercises as the reader cuts them from a paper: a choice found by the name of
    // its section, a fill-in found by its id, a composite one with a stem
    PaperDraft choice;
    choice.sectionTitle = QStringLiteral("选择题");
    choice.exerciseTypeName = QStringLiteral("单选题");
    QuestionInfo q1;
    q1.questionContent = doc(QStringLiteral("已知 <tex>x^2+1=5</tex>，如图<n/><v key=\"") + m_wide
        + QStringLiteral("\" width=\"0\" height=\"0\"/><n/>则 x 的值可以是"));
    for (const QString &text :
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}) {
        OptionInfo option;
        option.index = q1.options.size();
        option.content = doc(text);
        option.isAnswer = text == QLatin1String("2");
        q1.options << option;
    }
    q1.questionExplain = doc(QStringLiteral("由 <tex>x^2=4</tex> 得 <tex>x=\\pm 2</tex>"));
    choice.exercise.questions << q1;

    PaperDraft blank;
    blank.exerciseTypeId = m_seeder->typeId(QStringLiteral("填空题"));
    blank.exerciseTypeName = QStringLiteral("填空");
    QuestionInfo q2;
    q2.questionContent = doc(QStringLiteral("<tex>\\sqrt{9}</tex> = <s2><c></c></s2>"));
    AnswerInfo answer;
    answer.content = doc(QStringLiteral("3"));
    q2.answers << answer;
    q2.questionExplain = doc(QStringLiteral("算术平方根"));
    blank.exercise.questions << q2;

    PaperDraft composite;
    composite.sectionTitle = QStringLiteral("解答题");
    composite.exerciseTypeName = QStringLiteral("综合题");
    composite.exercise.content = doc(QStringLiteral("如图 <v key=\"") + m_small
        + QStringLiteral("\" width=\"60\" height=\"40\"/>，正方形的边长为 <tex>a</tex>。"));
    for (int i = 1; i <= 2; ++i) {
        QuestionInfo q;
        q.questionContent = doc(QStringLiteral("第 %1 问").arg(i));
        q.questionExplain = doc(QStringLiteral("略"));
        composite.exercise.questions << q;
    }
    m_drafts = {choice, blank, composite};
}

void tst_PaperImport::init()
{
    IMG_SERVER = m_server.baseUrl();
    m_reader = std::make_unique<StandInReader>();
    m_reader->drafts = m_drafts;
    StandInReader *reader = m_reader.get();
    PaperImport::setReaderFactory([reader](PaperImport *import) { return reader->attach(import); });
    m_answerer = std::make_unique<ModalDialogAnswerer>();
    m_window = std::make_unique<MainWindow>();
    QVERIFY(ComposerDriver::start(*m_window));
    QVERIFY(ComposerDriver::chooseType(*m_window, QStringLiteral("单选题")));
}

void tst_PaperImport::cleanup()
{
    m_window.reset();
    m_answerer.reset();
    m_reader.reset();
    QFileInfo(PaperImportQueue::pathFor(m_seeder->userId())).dir().removeRecursively();
}

bool tst_PaperImport::restartAnswering(const QString &button)
{
    m_window.reset();
    m_answerer = std::make_unique<ModalDialogAnswerer>();
    m_answerer->clickButton(button);
    m_window = std::make_unique<MainWindow>();
    m_window->keepDrafts();
    return ComposerDriver::start(*m_window) && m_answerer->waitForCount(1);
}

QLabel *tst_PaperImport::positionLabel()
{
    return m_window->findChild<QLabel *>(QStringLiteral("paperPositionLabel"));
}

QPushButton *tst_PaperImport::headerButton(const QString &name)
{
    return m_window->findChild<QPushButton *>(name);
}

void tst_PaperImport::importPaper()
{
    m_answerer->chooseFile(m_paper);
    m_answerer->answerWith([](QWidget *) {}); // the progress display stays up
    QTest::mouseClick(headerButton(QStringLiteral("importPaperPushButton")), Qt::LeftButton);
}

bool tst_PaperImport::waitForDraft(int position, int count)
{
    const QString text = QStringLiteral("第 %1 / %2 题").arg(position).arg(count);
    return QTest::qWaitFor(
        [&] {
            return positionLabel()->isVisible() && positionLabel()->text() == text
                && !m_window->isBodyPending() && m_window->questionTabs();
        },
        10000);
}

int tst_PaperImport::bankCount()
{
    return m_seeder
        ->post(QStringLiteral("/library/fetch/exercise"),
            {{QStringLiteral("groupId"), m_groupId}, {QStringLiteral("exerciseTypeId"), -1},
                {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 1}})
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("result"))
        .toArray()
        .size();
}

QByteArray tst_PaperImport::download(const QString &fileKey)
{
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(QNetworkRequest(
        QUrl(m_server.baseUrl() + QStringLiteral("/api/show/image?fileKey=") + fileKey)));
    const QByteArray bytes = QTest::qWaitFor([reply] { return reply->isFinished(); }, 10000)
        ? reply->readAll()
        : QByteArray();
    delete reply;
    return bytes;
}

bool tst_PaperImport::openFromBank(int exerciseId)
{
    MainWindow &window = *m_window;
    QTest::mouseClick(headerButton(QStringLiteral("repertoryPushButton")), Qt::LeftButton);
    QTest::mouseClick(headerButton(QStringLiteral("refreshPushButton")), Qt::LeftButton);
    ExerciseViewWidget *card = nullptr;
    const bool shown = QTest::qWaitFor(
        [&] {
            for (ExerciseViewWidget *c : window.exerciseCardList()) {
                if (c->exerciseId() == exerciseId)
                    card = c;
            }
            return card && card->isVisible();
        },
        10000);
    if (!shown)
        return false;
    QTest::mouseClick(
        card->findChild<QPushButton *>(QStringLiteral("modifyPushButton")), Qt::LeftButton);
    return QTest::qWaitFor(
        [&] { return window.modifyingId() == exerciseId && !window.isBodyPending(); }, 10000);
}

void tst_PaperImport::importedPaperIsWalkedThroughAndEntered()
{
    MainWindow &window = *m_window;
    QVERIFY(!positionLabel()->isVisible());
    m_reader->delayMs = 1600; // long enough to look at the progress
    importPaper();

    QVERIFY(QTest::qWaitFor([&] {
        QProgressDialog *progress = window.paperImport()->progressDialog();
        return progress && progress->isVisible()
            && progress->labelText() == QStringLiteral("正在读取文档");
    }));
    ComposerDriver::shot(&window, QStringLiteral("import-progress"));
    QVERIFY(waitForDraft(1, 3));
    QCOMPARE(m_answerer->seen().at(0).title, QStringLiteral("选择试卷"));
    QCOMPARE(m_answerer->seen().at(1).title, QStringLiteral("导入试卷"));
    QCOMPARE(m_reader->paths, QStringList {m_paper});
    QCOMPARE(m_reader->types.size(), window.exerciseTypeList().size());
    QVERIFY(!window.paperImport()->progressDialog());

    // the choice: its type by name, its formula kept, its picture on the server at 850 wide
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("单选题"));
    QCOMPARE(window.currentTypeDetail().name, QStringLiteral("单选题"));
    const QString content = questionText(window);
    QVERIFY2(content.contains(QStringLiteral("<tex>x^2+1=5</tex>")), qPrintable(content));
    QVERIFY2(!content.contains(m_files.path()), qPrintable(content));
    const QRegularExpression picture(
        QStringLiteral("<v key=\"([^\"]+)\" width=\"850\" height=\"425\"/>"));
    const QRegularExpressionMatch match = picture.match(content);
    QVERIFY2(match.hasMatch(), qPrintable(content));
    const QImage uploaded = QImage::fromData(download(match.captured(1)));
    QCOMPARE(uploaded.size(), QSize(850, 425));
    const auto options = page(window)->optionPanels();
    QCOMPARE(options.size(), 4);
    QCOMPARE(options.at(1)->text(), doc(QStringLiteral("2")));
    QVERIFY(options.at(1)->isChecked());
    QVERIFY(!options.at(0)->isChecked());
    QVERIFY(!headerButton(QStringLiteral("previousPaperPushButton"))->isEnabled());
    if (!qEnvironmentVariableIsEmpty("QUENMO_SHOTS"))
        QTest::qWait(1500); // the formula's picture comes from the server
    ComposerDriver::shot(&window, QStringLiteral("imported-exercise"));

    // the teacher corrects the first, looks at the second and comes back to the correction
    TextEdit *edit = page(window)->contentPanel()->findChild<TextEdit *>();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("XY"));
    const QString corrected = questionText(window);
    QVERIFY(corrected.contains(QStringLiteral("XY")));
    QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 3));
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("填空题"));
    QVERIFY(questionText(window).contains(QStringLiteral("<tex>\\sqrt{9}</tex>")));
    QTest::mouseClick(headerButton(QStringLiteral("previousPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(1, 3));
    QCOMPARE(questionText(window), corrected);

    // the second is skipped: the composite one takes its place, stem and picture included
    QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 3));
    QTest::mouseClick(headerButton(QStringLiteral("skipPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 2));
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("综合题"));
    QVERIFY(window.stem());
    QVERIFY2(window.stem()->text().contains(QStringLiteral("width=\"60\" height=\"40\"")),
        qPrintable(window.stem()->text()));
    QCOMPARE(window.questionTabs()->count(), 2);
    QCOMPARE(window.questionTabs()->tabText(0), QStringLiteral("小问1"));
    QCOMPARE(window.questionTabs()->tabText(1), QStringLiteral("小问2"));
    QVERIFY(window.questionTabs()->tabsClosable());
    QVERIFY(!headerButton(QStringLiteral("nextPaperPushButton"))->isEnabled());

    // the first goes into the bank with a knowledge point; then the last one comes
    QTest::mouseClick(headerButton(QStringLiteral("previousPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(1, 2));
    const int before = bankCount();
    ComposerDriver::chooseKnowledge(window);
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(window), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(3));
    QCOMPARE(m_answerer->last().text, QStringLiteral("录入成功"));
    QVERIFY(waitForDraft(1, 1));
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("综合题"));
    QTRY_COMPARE(bankCount(), before + 1);

    const QJsonObject listed
        = m_seeder
              ->post(QStringLiteral("/library/fetch/exercise"),
                  {{QStringLiteral("groupId"), m_groupId}, {QStringLiteral("exerciseTypeId"), -1},
                      {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 1}})
              .value(QStringLiteral("data"))
              .toObject()
              .value(QStringLiteral("result"))
              .toArray()
              .first()
              .toObject();
    const QJsonObject stored
        = m_seeder
              ->post(QStringLiteral("/library/fetch/exercise/id"),
                  {{QStringLiteral("exerciseId"), listed.value(QStringLiteral("exerciseId"))}})
              .value(QStringLiteral("data"))
              .toObject();
    const QString storedText = QJsonDocument(stored).toJson();
    QVERIFY2(storedText.contains(QStringLiteral("x^2+1=5")), qPrintable(storedText));
    QVERIFY2(storedText.contains(match.captured(1)), qPrintable(storedText));
    QVERIFY2(storedText.contains(QStringLiteral("XY")), qPrintable(storedText));

    // skipping the last one ends the import with an empty composer
    QTest::mouseClick(headerButton(QStringLiteral("skipPaperPushButton")), Qt::LeftButton);
    QTRY_VERIFY(!positionLabel()->isVisible());
    QTRY_VERIFY(!window.isBodyPending() && window.stem() && window.stem()->text().isEmpty());
    QCOMPARE(window.questionTabs()->count(), 1);
    QCOMPARE(questionText(window), QString());
    QVERIFY(!window.paperImport()->isActive());
    QCOMPARE(bankCount(), before + 1);
}

void tst_PaperImport::cancelledReadLeavesTheComposerAsItWas()
{
    MainWindow &window = *m_window;
    ComposerDriver::fill(window, QStringLiteral("mine"));
    const QJsonObject before = stateOf(window);
    m_reader->delayMs = 3000;
    // the teacher's own work is not replaced without asking
    m_answerer->clickButton(QStringLiteral("确定"));
    importPaper();
    QVERIFY(QTest::qWaitFor([&] {
        QProgressDialog *progress = window.paperImport()->progressDialog();
        return progress && progress->isVisible();
    }));
    QCOMPARE(m_answerer->seen().first().text,
        QStringLiteral("正在录入的题目将被试卷的题目替换，是否继续？"));
    QProgressDialog *progress = window.paperImport()->progressDialog();
    auto cancel = progress->findChild<QPushButton *>();
    QVERIFY(cancel);
    QCOMPARE(cancel->text(), QStringLiteral("取消"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QCOMPARE(m_reader->cancels, 1);
    QTRY_VERIFY(!window.paperImport()->progressDialog());
    QTest::qWait(3200); // past the moment the read would have ended
    QVERIFY(!positionLabel()->isVisible());
    QVERIFY(!window.paperImport()->isActive());
    QCOMPARE(stateOf(window), before);

    // declining the question leaves everything too, and nothing is read
    m_answerer->clear();
    m_answerer->clickButton(QStringLiteral("取消"));
    QTest::mouseClick(headerButton(QStringLiteral("importPaperPushButton")), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(1));
    QTest::qWait(100);
    QCOMPARE(m_reader->paths.size(), 1);
    QCOMPARE(stateOf(window), before);
}

void tst_PaperImport::failedImportKeepsNothing_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("brokenPicture");
    QTest::addColumn<bool>("serverDown");
    QTest::addColumn<bool>("noDrafts");
    QTest::addColumn<QString>("message");

    const QString notWord = QStringLiteral("无法读取该文件：它不是 Word 文档");
    QTest::newRow("reader fails") << notWord << QString() << false << false << notWord;
    QTest::newRow("nothing found")
        << QString() << QString() << false << true << QStringLiteral("试卷中没有找到题目");
    QTest::newRow("picture damaged") << QString() << QStringLiteral("image2.png") << false << false
                                     << QStringLiteral("无法读取试卷中的图片：image2.png");
    QTest::newRow("image server away")
        << QString() << QString() << true << false << QStringLiteral("图片上传失败：image1.png\n");
}

void tst_PaperImport::failedImportKeepsNothing()
{
    QFETCH(QString, failure);
    QFETCH(QString, brokenPicture);
    QFETCH(bool, serverDown);
    QFETCH(bool, noDrafts);
    QFETCH(QString, message);

    MainWindow &window = *m_window;
    m_reader->failure = failure;
    if (noDrafts)
        m_reader->drafts.clear();
    QTemporaryDir broken;
    if (!brokenPicture.isEmpty()) {
        // the second picture of the paper is not an image at all: the first must not be
        // half-imported either
        const QString path = broken.filePath(brokenPicture);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("not a picture");
        file.close();
        PaperDraft &composite = m_reader->drafts[2];
        composite.exercise.content.replace(m_small, path);
    }
    if (serverDown)
        IMG_SERVER = QStringLiteral("http://127.0.0.1:") + QString::number(LocalServer::freePort());
    const QJsonObject before = stateOf(window);
    const int stored = bankCount();

    importPaper();
    m_answerer->clickButton(QStringLiteral("确定"));
    QVERIFY(m_answerer->waitForCount(3));
    const ModalDialogAnswerer::Seen seen = m_answerer->last();
    QCOMPARE(seen.title, QStringLiteral("警告"));
    QVERIFY2(seen.text.startsWith(message), qPrintable(seen.text));
    QVERIFY(!window.paperImport()->progressDialog());
    QVERIFY(!window.paperImport()->isActive());
    QVERIFY(!positionLabel()->isVisible());
    QCOMPARE(stateOf(window), before);
    QCOMPARE(bankCount(), stored);
}

void tst_PaperImport::queueComesBackAfterANewStart()
{
    const QString queueFile = PaperImportQueue::pathFor(m_seeder->userId());
    m_window->keepDrafts();
    QTest::qWait(100); // nothing to offer yet
    importPaper();
    QVERIFY(waitForDraft(1, 3));
    QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 3));
    TextEdit *edit = page(*m_window)->contentPanel()->findChild<TextEdit *>();
    edit->setFocus();
    edit->moveCursor(QTextCursor::End);
    QTest::keyClicks(edit, QStringLiteral("kept"));
    const QString corrected = questionText(*m_window);
    // the composer's state is written once a second
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(queueFile), 5000);
    QList<ExerciseInfo> kept;
    int position = -1;
    QTRY_VERIFY_WITH_TIMEOUT(
        PaperImportQueue(queueFile).read(&kept, &position) == PaperImportQueue::ReadResult::Found
            && kept.size() == 3 && kept.at(1).questions.value(0).questionContent == corrected,
        5000);
    QCOMPARE(position, 1);

    // the window goes away without closing (as in a crash); the next start offers it all back
    QVERIFY(restartAnswering(QStringLiteral("确定")));
    QCOMPARE(m_answerer->last().text, MainWindow::draftQuestion);
    QVERIFY(waitForDraft(2, 3));
    QCOMPARE(questionText(*m_window), corrected);
    QCOMPARE(ComposerDriver::typeCombo(*m_window)->currentText(), QStringLiteral("填空题"));
    QTest::mouseClick(headerButton(QStringLiteral("previousPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(1, 3));
    QVERIFY(questionText(*m_window).contains(QStringLiteral("<tex>x^2+1=5</tex>")));

    // declined at the following start, the queue is gone for good
    QVERIFY(restartAnswering(QStringLiteral("取消")));
    QTRY_VERIFY(!QFile::exists(queueFile));
    QTest::qWait(200);
    QVERIFY(!positionLabel()->isVisible());
    QVERIFY(!m_window->paperImport()->isActive());
}

void tst_PaperImport::paperThatCannotBeCutUpIsOneDraftWithAWord()
{
    const QString word = QStringLiteral("没有找到题号，整份试卷作为一道题导入");
    m_reader->warning = word;
    // no type of the catalogue fits: it comes as the type the teacher has chosen
    QVERIFY(ComposerDriver::chooseType(*m_window, QStringLiteral("解答题")));
    PaperDraft whole;
    whole.exerciseTypeName = QStringLiteral("应用题");
    QuestionInfo question;
    question.questionContent = doc(QStringLiteral("一、计算 <tex>1+1</tex> 二、化简"));
    whole.exercise.questions << question;
    m_reader->drafts = {whole};
    importPaper();
    m_answerer->clickButton(QStringLiteral("确定"));
    QVERIFY(m_answerer->waitForCount(3));
    QCOMPARE(m_answerer->last().text, word);
    QCOMPARE(m_answerer->last().title, QStringLiteral("导入试卷"));
    QVERIFY(waitForDraft(1, 1));
    QCOMPARE(ComposerDriver::typeCombo(*m_window)->currentText(), QStringLiteral("解答题"));
    QCOMPARE(questionText(*m_window), question.questionContent);
}

void tst_PaperImport::wordPaperReachesTheComposerThroughPandoc()
{
    // the program's own reader: pandoc reads what Word would have written
    PaperImport::setReaderFactory({});
    PaperMaker maker(m_files.path());
    QVERIFY(!maker.picture(QStringLiteral("circle.png"), 1000, 500).isEmpty());
    const QString paper = maker.fromMarkdown(QStringLiteral("real.docx"),
        QStringLiteral("一、选择题\n\n"
                       "1. 已知 $x^2 > 4$，如图 ![](circle.png)，则 x 可以是（　　）\n\n"
                       "A. 1　　B. 3\n\n"
                       "【答案】B\n\n"
                       "二、填空题\n\n"
                       "2. $\\sqrt{9}$ 的值是\\_\\_\\_\\_。\n\n"
                       "【答案】3\n"));
    QVERIFY2(!paper.isEmpty(), qPrintable(maker.error()));
    m_answerer->chooseFile(paper);
    m_answerer->answerWith([](QWidget *) {});
    QTest::mouseClick(headerButton(QStringLiteral("importPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(1, 2));

    MainWindow &window = *m_window;
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("单选题"));
    const QString content = questionText(window);
    QVERIFY2(content.contains(QStringLiteral("<tex>x^{2} &gt; 4</tex>")), qPrintable(content));
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("<v key=\"([^\"/]+)\" width=\"560\" height=\"280\"/>"))
              .match(content);
    // shown as large as pandoc's Word file shows it; stored no wider than 850
    QVERIFY2(match.hasMatch(), qPrintable(content));
    QCOMPARE(QImage::fromData(download(match.captured(1))).size(), QSize(850, 425));
    const auto options = page(window)->optionPanels();
    // the paper's two options, no empty pages to fill
    QCOMPARE(options.size(), 2);
    QCOMPARE(options.at(0)->text(), doc(QStringLiteral("1")));
    QCOMPARE(options.at(1)->text(), doc(QStringLiteral("3")));
    QVERIFY(options.at(1)->isChecked());

    QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 2));
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("填空题"));
    QVERIFY(questionText(window).contains(QStringLiteral("<tex>\\sqrt{9}</tex>")));
}

void tst_PaperImport::walkingThePaperShowsEachExerciseAsItIs()
{
    // drafts of one type after another, with fewer options than the type has, then of other
    // types: each step must show exactly its draft, nothing left over from the one before
    m_reader->drafts = {
        draftOf(QStringLiteral("单选题"),
            {choiceQuestion(QStringLiteral("甲"),
                {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                    QStringLiteral("4")},
                1, QStringLiteral("解一"))}),
        draftOf(QStringLiteral("单选题"),
            {choiceQuestion(QStringLiteral("甲二"),
                {QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三"),
                    QStringLiteral("四")},
                3, QStringLiteral("解一二"))}),
        draftOf(QStringLiteral("单选题"),
            {choiceQuestion(QStringLiteral("乙"), {QStringLiteral("对"), QStringLiteral("错")}, 0,
                QStringLiteral("解二"))}),
        draftOf(QStringLiteral("单选题"),
            {choiceQuestion(QStringLiteral("丙"),
                {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"), QStringLiteral("8"),
                    QStringLiteral("9")},
                3, QStringLiteral("解三"))}),
        draftOf(QStringLiteral("填空题"),
            {answeredQuestion(QStringLiteral("丁"), {QStringLiteral("一"), QStringLiteral("二")},
                QStringLiteral("解四"))}),
        draftOf(QStringLiteral("填空题"),
            {answeredQuestion(
                QStringLiteral("戊"), {QStringLiteral("三")}, QStringLiteral("解五"))}),
        draftOf(QStringLiteral("综合题"),
            {answeredQuestion(QStringLiteral("第 1 问"), {}, QStringLiteral("略")),
                answeredQuestion(
                    QStringLiteral("第 2 问"), {QStringLiteral("四")}, QStringLiteral("略"))},
            QStringLiteral("己")),
    };
    const QList<QStringList> expected {
        {QStringLiteral("单选题"), QStringLiteral("content <doc>甲</doc>"),
            QStringLiteral("option <doc>1</doc>"), QStringLiteral("option <doc>2</doc> *"),
            QStringLiteral("option <doc>3</doc>"), QStringLiteral("option <doc>4</doc>"),
            QStringLiteral("analysis <doc>解一</doc>")},
        {QStringLiteral("单选题"), QStringLiteral("content <doc>甲二</doc>"),
            QStringLiteral("option <doc>一</doc>"), QStringLiteral("option <doc>二</doc>"),
            QStringLiteral("option <doc>三</doc>"), QStringLiteral("option <doc>四</doc> *"),
            QStringLiteral("analysis <doc>解一二</doc>")},
        {QStringLiteral("单选题"), QStringLiteral("content <doc>乙</doc>"),
            QStringLiteral("option <doc>对</doc> *"), QStringLiteral("option <doc>错</doc>"),
            QStringLiteral("analysis <doc>解二</doc>")},
        {QStringLiteral("单选题"), QStringLiteral("content <doc>丙</doc>"),
            QStringLiteral("option <doc>5</doc>"), QStringLiteral("option <doc>6</doc>"),
            QStringLiteral("option <doc>7</doc>"), QStringLiteral("option <doc>8</doc> *"),
            QStringLiteral("option <doc>9</doc>"), QStringLiteral("analysis <doc>解三</doc>")},
        {QStringLiteral("填空题"), QStringLiteral("content <doc>丁</doc>"),
            QStringLiteral("answer <doc>一</doc>"), QStringLiteral("answer <doc>二</doc>"),
            QStringLiteral("analysis <doc>解四</doc>")},
        {QStringLiteral("填空题"), QStringLiteral("content <doc>戊</doc>"),
            QStringLiteral("answer <doc>三</doc>"), QStringLiteral("analysis <doc>解五</doc>")},
        {QStringLiteral("综合题"), QStringLiteral("stem <doc>己</doc>"),
            QStringLiteral("content <doc>第 1 问</doc>"), QStringLiteral("answer "),
            QStringLiteral("analysis <doc>略</doc>"), QStringLiteral("content <doc>第 2 问</doc>"),
            QStringLiteral("answer <doc>四</doc>"), QStringLiteral("analysis <doc>略</doc>")},
    };
    const int count = expected.size();
    importPaper();
    QVERIFY(waitForDraft(1, count));
    QCOMPARE(shown(*m_window), expected.at(0));
    // the teacher looks at other tabs than the first; a new exercise starts at the first again
    for (int i = 1; i < count; ++i) {
        if (QTabWidget *answers = page(*m_window)->answerTabs())
            answers->tabBar()->setCurrentIndex(answers->count() - 1);
        m_window->questionTabs()->tabBar()->setCurrentIndex(m_window->questionTabs()->count() - 1);
        QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
        QVERIFY(waitForDraft(i + 1, count));
        QCOMPARE(shown(*m_window), expected.at(i));
    }
    for (int i = count - 2; i >= 0; --i) {
        QTest::mouseClick(headerButton(QStringLiteral("previousPaperPushButton")), Qt::LeftButton);
        QVERIFY(waitForDraft(i + 1, count));
        QCOMPARE(shown(*m_window), expected.at(i));
    }

    // the two-option question goes into the bank with its two options
    for (int i = 2; i <= 3; ++i) {
        QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
        QVERIFY(waitForDraft(i, count));
    }
    ComposerDriver::chooseKnowledge(*m_window);
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(ComposerDriver::doneButton(*m_window), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(3));
    QCOMPARE(m_answerer->last().text, QStringLiteral("录入成功"));
    QVERIFY(waitForDraft(3, count - 1));
    QCOMPARE(shown(*m_window), expected.at(3));
    QJsonObject stored;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            const QJsonArray listed
                = m_seeder
                      ->post(QStringLiteral("/library/fetch/exercise"),
                          {{QStringLiteral("groupId"), m_groupId},
                              {QStringLiteral("exerciseTypeId"), -1},
                              {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), 1}})
                      .value(QStringLiteral("data"))
                      .toObject()
                      .value(QStringLiteral("result"))
                      .toArray();
            for (const QJsonValue &item : listed) {
                const QJsonObject question = item.toObject()
                                                 .value(QStringLiteral("exerciseQuestionList"))
                                                 .toArray()
                                                 .first()
                                                 .toObject();
                if (question.value(QStringLiteral("questionContent"))
                        .toString()
                        .contains(QStringLiteral("乙")))
                    stored = question;
            }
            return !stored.isEmpty();
        }(),
        5000);
    const QJsonArray options = stored.value(QStringLiteral("option")).toArray();
    QCOMPARE(options.size(), 2);
    QVERIFY(options.at(0)
                .toObject()
                .value(QStringLiteral("content"))
                .toString()
                .contains(QStringLiteral("对")));
    QVERIFY(options.at(1)
                .toObject()
                .value(QStringLiteral("content"))
                .toString()
                .contains(QStringLiteral("错")));
}

void tst_PaperImport::openModificationIsNotReplacedUnasked()
{
    MainWindow &window = *m_window;
    const int stored = m_seeder->addChoiceExercise(m_groupId, QStringLiteral("单选题"), 2,
        BankSeeder::doc(QStringLiteral("库里的题")),
        {BankSeeder::doc(QStringLiteral("a")), BankSeeder::doc(QStringLiteral("b")),
            BankSeeder::doc(QStringLiteral("c")), BankSeeder::doc(QStringLiteral("d"))});
    QVERIFY(stored > 0);
    importPaper();
    QVERIFY(waitForDraft(1, 3));
    // a correction of the paper's exercise, made just before leaving it, stays with the paper
    page(window)->contentPanel()->setText(doc(QStringLiteral("导入后改过")));

    // the teacher opens the stored one from the bank (no question: the paper keeps its own)
    // and changes it
    QVERIFY(openFromBank(stored));
    QCOMPARE(questionText(window), BankSeeder::doc(QStringLiteral("库里的题")));
    page(window)->optionPanels().at(2)->setText(doc(QStringLiteral("改过")));
    const QJsonObject changed = stateOf(window);

    // declined: every way through the paper leaves the modification on screen
    for (const QString &button :
        {QStringLiteral("nextPaperPushButton"), QStringLiteral("skipPaperPushButton")}) {
        m_answerer->clear();
        m_answerer->clickButton(QStringLiteral("取消"));
        QTest::mouseClick(headerButton(button), Qt::LeftButton);
        QVERIFY(m_answerer->waitForCount(1));
        QCOMPARE(m_answerer->last().text, PaperImport::modificationQuestion);
        QTest::qWait(100);
        QCOMPARE(window.modifyingId(), stored);
        QCOMPARE(stateOf(window), changed);
    }
    QCOMPARE(window.paperImport()->exercises().size(), 3);

    // accepted: the paper's next exercise comes, the stored one stays as it was in the bank
    m_answerer->clear();
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(headerButton(QStringLiteral("nextPaperPushButton")), Qt::LeftButton);
    QVERIFY(waitForDraft(2, 3));
    QCOMPARE(window.modifyingId(), -1);
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("填空题"));
    const QString bank = QJsonDocument(m_seeder
                                           ->post(QStringLiteral("/library/fetch/exercise/id"),
                                               {{QStringLiteral("exerciseId"), stored}})
                                           .value(QStringLiteral("data"))
                                           .toObject())
                             .toJson();
    QVERIFY2(!bank.contains(QStringLiteral("改过")), qPrintable(bank));
    QCOMPARE(window.paperImport()->exercises().at(0).questions.value(0).questionContent,
        doc(QStringLiteral("导入后改过")));
}

void tst_PaperImport::cancellingTakesOnlyThePapersOwnExerciseOff()
{
    MainWindow &window = *m_window;
    const int stored = m_seeder->addChoiceExercise(m_groupId, QStringLiteral("单选题"), 1,
        BankSeeder::doc(QStringLiteral("库里的另一道题")),
        {BankSeeder::doc(QStringLiteral("a")), BankSeeder::doc(QStringLiteral("b")),
            BankSeeder::doc(QStringLiteral("c")), BankSeeder::doc(QStringLiteral("d"))});
    QVERIFY(stored > 0);
    const int before = bankCount();
    importPaper();
    QVERIFY(waitForDraft(1, 3));
    QPushButton *cancel = window.composerButtons()->button(QDialogButtonBox::Cancel);
    QCOMPARE(cancel->text(), QStringLiteral("取消"));

    // declined: the paper's exercise stays where it was
    m_answerer->clear();
    m_answerer->clickButton(QStringLiteral("取消"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(1));
    QCOMPARE(m_answerer->last().text, QStringLiteral("是否取消录题？"));
    QTest::qWait(100);
    QCOMPARE(window.paperImport()->exercises().size(), 3);
    QCOMPARE(positionLabel()->text(), QStringLiteral("第 1 / 3 题"));

    // accepted: the paper's exercise is dropped and the next one takes its place
    m_answerer->clear();
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(cancel, Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(1));
    QVERIFY(waitForDraft(1, 2));
    QCOMPARE(ComposerDriver::typeCombo(window)->currentText(), QStringLiteral("填空题"));
    QVERIFY(questionText(window).contains(QStringLiteral("<tex>\\sqrt{9}</tex>")));

    // a stored exercise opened meanwhile and cancelled: the paper loses nothing and comes back
    QVERIFY(openFromBank(stored));
    QCOMPARE(questionText(window), BankSeeder::doc(QStringLiteral("库里的另一道题")));
    m_answerer->clear();
    m_answerer->clickButton(QStringLiteral("确定"));
    QTest::mouseClick(
        window.composerButtons()->button(QDialogButtonBox::Cancel), Qt::LeftButton);
    QVERIFY(m_answerer->waitForCount(1));
    QVERIFY(waitForDraft(1, 2));
    QCOMPARE(window.modifyingId(), -1);
    QCOMPARE(window.paperImport()->exercises().size(), 2);
    QVERIFY(questionText(window).contains(QStringLiteral("<tex>\\sqrt{9}</tex>")));
    QCOMPARE(bankCount(), before);
}

void tst_PaperImport::unreadableQueueIsSetAside()
{
    // a queue cut short by a full disk: the next start keeps it aside and says where
    const QString queueFile = PaperImportQueue::pathFor(m_seeder->userId());
    QVERIFY(QDir().mkpath(QFileInfo(queueFile).absolutePath()));
    QFile file(queueFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"kind\": \"quenmo-paper-import\", \"version\": 1, \"position\": 0, \"exerc");
    file.close();

    QVERIFY(restartAnswering(QStringLiteral("确定")));
    const QString text = m_answerer->last().text;
    const QString prefix = QStringLiteral("未提交的题目无法读取，已另存为：");
    QVERIFY2(text.startsWith(prefix), qPrintable(text));
    const QString aside = QDir::fromNativeSeparators(text.mid(prefix.size()));
    QVERIFY2(aside.startsWith(queueFile + QStringLiteral(".unreadable-")), qPrintable(aside));
    QFile kept(aside);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QVERIFY(kept.readAll().endsWith("\"exerc"));
    QVERIFY(!QFile::exists(queueFile));
    QTest::qWait(200);
    QCOMPARE(m_answerer->seen().size(), 1); // nothing else is offered
    QVERIFY(!m_window->paperImport()->isActive());
    QVERIFY(!positionLabel()->isVisible());
}

QTEST_MAIN(tst_PaperImport)
#include "tst_paperimport.moc"
