#include "browser/exerciseviewwidget.h"
#include "widgets/serverhtmlaccessmanager.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebView>
#include <QtTest>

namespace {

const QString header = QStringLiteral(
    "<html><head><style type=\"text/css\">body {    font-size : 14px;   color:#4a4a4a;   "
    "line-height:25px}img {\tdisplay: inline-block;    vertical-align: middle;}</style></head>"
    "<body>");
const QString footer = QStringLiteral("</body></html>");

ExerciseSummaryQuestion question(const QString &content, const QStringList &options = {})
{
    ExerciseSummaryQuestion q;
    q.questionContent = content;
    for (int i = 0; i < options.size(); ++i)
        q.options << ExerciseSummaryOption {options.at(i), QString(QLatin1Char('A' + i))};
    return q;
}

ExerciseSummary summary(const QList<ExerciseSummaryQuestion> &questions,
    const QStringList &answers = {}, const QStringList &analysis = {})
{
    ExerciseSummary s;
    s.exerciseId = 77;
    s.groupId = 5;
    s.recordTime = QStringLiteral("2016-01-23 10:11:12");
    s.exerciseContent = QStringLiteral("题干<b>x</b>");
    s.questions = questions;
    s.answers = answers;
    s.analysis = analysis;
    return s;
}

QByteArray tallPng()
{
    QImage image(10, 300, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

int contentHeight(QWebView *view)
{
    return view->page()->mainFrame()->contentsSize().height();
}

// Waits for a height to come true. Unlike QTRY_*, a height that never comes costs the timeout
// once, not three times, so a card that never sizes itself fails the suite quickly.
template<typename Condition>
bool settles(Condition condition, int timeoutMs = 5000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

} // namespace

Q_DECLARE_METATYPE(ExerciseSummary)

class tst_ExerciseViewWidget : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cardHtml_data();
    void cardHtml();
    void readsListItem();
    void setExerciseFillsLabels();
    void contentTakesTheWidthBesideTheCheckBox();
    void linkTogglesDetails();
    void collapsedHeightIsMeasuredOnceAndReused();
    void heightWaitsForShow();
    void collapsedHeightWaitsForLatePictures();
    void buttonsEmitAndPauseFor200ms_data();
    void buttonsEmitAndPauseFor200ms();
    void removalAsksFirst();
    void serverHtmlRunsNoScript();
    void serverHtmlLoadsRemotePicturesOnly();

private:
    ExerciseViewWidget *m_card = nullptr;
};

void tst_ExerciseViewWidget::init()
{
    m_card = new ExerciseViewWidget;
    m_card->resize(600, 300);
}

void tst_ExerciseViewWidget::cleanup()
{
    delete m_card;
    m_card = nullptr;
}

void tst_ExerciseViewWidget::contentTakesTheWidthBesideTheCheckBox()
{
    // a card as wide as on a maximised window's bank page
    m_card->setExercise(summary({question("q1", {"one", "two"})}));
    m_card->resize(1000, 300);
    m_card->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_card));
    auto box = m_card->findChild<QCheckBox *>(QStringLiteral("checkBox"));
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QTRY_VERIFY(view->width() > 0);
    QVERIFY2(box->width() <= qMax(box->minimumWidth(), box->sizeHint().width()),
        qPrintable(QString::number(box->width())));
    QVERIFY(view->geometry().left() <= box->geometry().right() + 1);
    // the view reaches to the card's frame: only margins and the box are left over
    QVERIFY2(view->width() >= 1000 - box->width() - 60, qPrintable(QString::number(view->width())));
}

void tst_ExerciseViewWidget::cardHtml_data()
{
    QTest::addColumn<ExerciseSummary>("exercise");
    QTest::addColumn<bool>("expanded");
    QTest::addColumn<QString>("body");

    QTest::newRow("one question, not numbered")
        << summary({question("q1", {"one", "two"})}) << false
        << "<p>题干<b>x</b></p><p>q1</p><p>A.&nbsp;one</p><p>B.&nbsp;two</p>";
    QTest::newRow("two questions numbered")
        << summary({question("q1", {"one"}), question("q2")}) << false
        << "<p>题干<b>x</b></p><p>1.&nbsp;q1</p><p>A.&nbsp;one</p><p>2.&nbsp;q2</p>";
    QTest::newRow("no questions, empty stem still a paragraph") << [] {
        ExerciseSummary s = summary({});
        s.exerciseContent.clear();
        return s;
    }() << false << "<p></p>";
    QTest::newRow("answers hidden when collapsed")
        << summary({question("q1")}, {"a1"}, {"x1"}) << false << "<p>题干<b>x</b></p><p>q1</p>";
    QTest::newRow("expanded with empty lists keeps both headings") << summary(
        {question("q1")}) << true << "<p>题干<b>x</b></p><p>q1</p><p>答案:</p><p>解析:</p>";
    QTest::newRow("expanded, one answer plain, two analyses numbered")
        << summary({question("q1")}, {"a1"}, {"x1", "x2"}) << true
        << "<p>题干<b>x</b></p><p>q1</p><p>答案:</p><p>a1</p><p>解析:</p><p>1.&nbsp;x1</p>"
           "<p>2.&nbsp;x2</p>";
}

void tst_ExerciseViewWidget::cardHtml()
{
    QFETCH(ExerciseSummary, exercise);
    QFETCH(bool, expanded);
    QFETCH(QString, body);
    QCOMPARE(ExerciseViewWidget::cardHtml(exercise, expanded), header + body + footer);
}

void tst_ExerciseViewWidget::readsListItem()
{
    const QJsonObject item = QJsonDocument::fromJson(R"({
        "groupId": 3, "exerciseId": "41", "recordTime": "2024-05-06", "recorder": "r",
        "exerciseContent": "<p>s</p>", "exerciseTypeId": 2, "difficultyDegree": 4,
        "knowledge": "k", "answers": ["a", 7], "analysis": [],
        "exerciseQuestionList": [
            {"questionContent": "q", "option": [{"content": "c", "option": "A"}, {}]},
            {}
        ]})")
                                 .object();
    const ExerciseSummary s = ExerciseSummary::fromJson(item);
    QCOMPARE(s.groupId, 3);
    QCOMPARE(s.exerciseId, 41);
    QCOMPARE(s.recordTime, QStringLiteral("2024-05-06"));
    QCOMPARE(s.recorder, QStringLiteral("r"));
    QCOMPARE(s.exerciseContent, QStringLiteral("<p>s</p>"));
    QCOMPARE(s.exerciseTypeId, 2);
    QCOMPARE(s.difficultyDegree, 4);
    QCOMPARE(s.knowledge, QStringLiteral("k"));
    QCOMPARE(s.answers, QStringList({"a", "7"}));
    QVERIFY(s.analysis.isEmpty());
    QCOMPARE(s.questions.size(), 2);
    QCOMPARE(s.questions.at(0).questionContent, QStringLiteral("q"));
    QCOMPARE(s.questions.at(0).options.size(), 2);
    QCOMPARE(s.questions.at(0).options.at(0).option, QStringLiteral("A"));
    QCOMPARE(s.questions.at(0).options.at(0).content, QStringLiteral("c"));
    QVERIFY(s.questions.at(0).options.at(1).content.isEmpty());
    QVERIFY(s.questions.at(1).questionContent.isEmpty());

    const ExerciseSummary empty = ExerciseSummary::fromJson(QJsonObject());
    QCOMPARE(empty.exerciseId, 0);
    QVERIFY(empty.recordTime.isEmpty());
    QVERIFY(empty.questions.isEmpty());
}

void tst_ExerciseViewWidget::setExerciseFillsLabels()
{
    m_card->setExercise(summary({question("q1")}));
    QCOMPARE(m_card->exerciseId(), 77);
    QCOMPARE(m_card->groupId(), 5);
    QVERIFY(!m_card->isChecked());
    m_card->setChecked(true);
    QVERIFY(m_card->findChild<QCheckBox *>(QStringLiteral("checkBox"))->isChecked());
    QCOMPARE(m_card->findChild<QLabel *>(QStringLiteral("dateLabel"))->text(),
        QStringLiteral("录题时间:2016-01-23 10:11:12"));
    QCOMPARE(m_card->findChild<QLabel *>(QStringLiteral("showLabel"))->text(),
        QStringLiteral("<a style='color: green;' href = 'hide'>查看详情</a>"));
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QVERIFY(!view->isEnabled());
    QCOMPARE(view->page()->mainFrame()->scrollBarPolicy(Qt::Vertical), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view->page()->mainFrame()->scrollBarPolicy(Qt::Horizontal), Qt::ScrollBarAlwaysOff);
    QTRY_VERIFY(view->page()->mainFrame()->toPlainText().contains(QStringLiteral("q1")));
}

void tst_ExerciseViewWidget::linkTogglesDetails()
{
    m_card->setExercise(summary({question("q1")}, {"答一"}));
    auto label = m_card->findChild<QLabel *>(QStringLiteral("showLabel"));
    // the link's own text is not looked at
    emit label->linkActivated(QStringLiteral("anything"));
    QVERIFY(m_card->isExpanded());
    QCOMPARE(label->text(), QStringLiteral("<a style='color: green;' href = 'show'>收起</a>"));
    QVERIFY(m_card->html().contains(QStringLiteral("<p>答案:</p><p>答一</p>")));
    emit label->linkActivated(QStringLiteral("show"));
    QVERIFY(!m_card->isExpanded());
    QCOMPARE(m_card->html(), ExerciseViewWidget::cardHtml(m_card->summary(), false));
    QCOMPARE(label->text(), QStringLiteral("<a style='color: green;' href = 'hide'>查看详情</a>"));
}

void tst_ExerciseViewWidget::collapsedHeightIsMeasuredOnceAndReused()
{
    QStringList answers;
    for (int i = 0; i < 12; ++i)
        answers << QStringLiteral("answer line %1").arg(i);
    m_card->setExercise(summary({question("q1", {"one", "two"})}, answers));
    m_card->show();
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QVERIFY(settles([&] { return m_card->collapsedContentHeight() > 0; }, 10000));
    const int collapsed = m_card->collapsedContentHeight();
    QVERIFY2(settles([&] { return view->minimumHeight() == collapsed; }),
        qPrintable(QString::number(view->minimumHeight())));
    // a stem and a question with two options: four lines of 25px, far below the old 300
    QVERIFY2(collapsed > 50 && collapsed < 250, qPrintable(QString::number(collapsed)));

    auto label = m_card->findChild<QLabel *>(QStringLiteral("showLabel"));
    emit label->linkActivated(QStringLiteral("hide"));
    QTRY_VERIFY_WITH_TIMEOUT(view->minimumHeight() > collapsed + 12 * 20, 10000);
    QTRY_COMPARE(view->minimumHeight(), contentHeight(view));

    // the frame never gets smaller than the view, so only the remembered height fits
    emit label->linkActivated(QStringLiteral("show"));
    QTRY_COMPARE_WITH_TIMEOUT(view->minimumHeight(), collapsed, 10000);
    QTest::qWait(200);
    QCOMPARE(view->minimumHeight(), collapsed);
    QCOMPARE(m_card->collapsedContentHeight(), collapsed);
    QCOMPARE(view->height(), collapsed);
}

void tst_ExerciseViewWidget::heightWaitsForShow()
{
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QSignalSpy loaded(view, &QWebView::loadFinished);
    m_card->setExercise(summary({question("q1")}));
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10000);
    QTest::qWait(150);
    QCOMPARE(m_card->collapsedContentHeight(), 0);
    QCOMPARE(view->minimumHeight(), 0);
    m_card->show();
    QVERIFY(settles([&] { return view->minimumHeight() > 0; }, 10000));
}

void tst_ExerciseViewWidget::collapsedHeightWaitsForLatePictures()
{
    ScriptedHttpResponder images;
    QVERIFY(images.listen());
    ScriptedHttpResponder::Response slow;
    slow.body = tallPng();
    slow.contentType = "image/png";
    slow.delayMs = 400;
    images.respond(QStringLiteral("/img/tall.png"), slow);
    ExerciseSummary s = summary({question("q1")});
    s.exerciseContent = QStringLiteral("<img src=\"") + images.baseUrl() + "/img/tall.png\">";
    m_card->setExercise(s);
    m_card->show();
    QVERIFY(settles([&] { return m_card->collapsedContentHeight() > 0; }, 10000));
    QVERIFY(m_card->collapsedContentHeight() >= 300);
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QVERIFY(settles([&] { return view->minimumHeight() == m_card->collapsedContentHeight(); }));
}

void tst_ExerciseViewWidget::buttonsEmitAndPauseFor200ms_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("edit") << "modifyPushButton";
    QTest::newRow("move") << "movePushButton";
}

void tst_ExerciseViewWidget::buttonsEmitAndPauseFor200ms()
{
    QFETCH(QString, button);
    m_card->setExercise(summary({question("q1")}));
    QSignalSpy modify(m_card, &ExerciseViewWidget::modifyExercise);
    QSignalSpy move(m_card, &ExerciseViewWidget::moveExercise);
    auto clicked = m_card->findChild<QPushButton *>(button);
    clicked->click();
    if (button == QLatin1String("modifyPushButton")) {
        QCOMPARE(modify.count(), 1);
        QCOMPARE(modify.first().first().toInt(), 77);
        QCOMPARE(move.count(), 0);
    } else {
        QCOMPARE(move.count(), 1);
        QCOMPARE(move.first(), QVariantList({77, 5}));
        QCOMPARE(modify.count(), 0);
    }
    QVERIFY(!clicked->isEnabled());
    clicked->click(); // a disabled button does not click
    QCOMPARE(modify.count() + move.count(), 1);
    for (const char *other : {"modifyPushButton", "movePushButton", "removePushButton"}) {
        if (button != QLatin1String(other))
            QVERIFY(m_card->findChild<QPushButton *>(QLatin1String(other))->isEnabled());
    }
    QTest::qWait(100);
    QVERIFY(!clicked->isEnabled());
    QTRY_VERIFY(clicked->isEnabled());
}

void tst_ExerciseViewWidget::removalAsksFirst()
{
    m_card->setExercise(summary({question("q1")}));
    QSignalSpy removed(m_card, &ExerciseViewWidget::removeExercise);
    auto remove = m_card->findChild<QPushButton *>(QStringLiteral("removePushButton"));
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("取消"));
    remove->click();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().className, QStringLiteral("QMessageBox"));
    QCOMPARE(answerer.last().title, QStringLiteral("删除"));
    QCOMPARE(answerer.last().text, QStringLiteral("是否删除这道题？"));
    QCOMPARE(answerer.last().buttons.size(), 2);
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("确定")));
    QVERIFY(answerer.last().buttons.contains(QStringLiteral("取消")));
    QCOMPARE(removed.count(), 0);
    QVERIFY(remove->isEnabled());

    answerer.clickButton(QStringLiteral("确定"));
    remove->click();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().first().toInt(), 77);
    QVERIFY(!remove->isEnabled());
    QTRY_VERIFY(remove->isEnabled());
}

void tst_ExerciseViewWidget::serverHtmlRunsNoScript()
{
    const QString html = QStringLiteral(
        "<html><body><script>document.title = 'ran';</script><p>x</p></body></html>");
    // the same page in a view left as it comes does run it
    QWebView plain;
    QSignalSpy plainLoaded(&plain, &QWebView::loadFinished);
    plain.setHtml(html);
    QTRY_COMPARE_WITH_TIMEOUT(plainLoaded.count(), 1, 10000);
    QCOMPARE(plain.title(), QStringLiteral("ran"));

    ExerciseSummary s = summary({});
    s.exerciseContent = QStringLiteral("<script>document.title = 'ran';</script>");
    auto view = m_card->findChild<QWebView *>(QStringLiteral("webView"));
    QSignalSpy loaded(view, &QWebView::loadFinished);
    m_card->setExercise(s);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 10000);
    QVERIFY(view->title() != QStringLiteral("ran"));
    QVERIFY(!view->settings()->testAttribute(QWebSettings::PluginsEnabled));
    QVERIFY(!view->settings()->testAttribute(QWebSettings::LocalContentCanAccessFileUrls));
}

void tst_ExerciseViewWidget::serverHtmlLoadsRemotePicturesOnly()
{
    ScriptedHttpResponder images;
    QVERIFY(images.listen());
    images.respondRaw(QStringLiteral("/img/tall.png"), tallPng(), 200, "image/png");
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("tall.png"));
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(tallPng());
    }
    const QString fileImage
        = QStringLiteral("<img src=\"") + QUrl::fromLocalFile(file).toString() + "\">";
    const QString remoteImage
        = QStringLiteral("<img src=\"") + images.baseUrl() + "/img/tall.png\">";

    auto load = [](QWebView *view, const QString &body) {
        QSignalSpy loaded(view, &QWebView::loadFinished);
        view->setHtml(QStringLiteral("<html><body style='margin:0'>") + body
            + QStringLiteral("</body></html>"));
        return QTest::qWaitFor([&] { return loaded.count() == 1; }, 10000);
    };

    QWebView view;
    view.resize(200, 20);
    ServerHtmlAccessManager::secure(&view);
    const int refusedBefore = ServerHtmlAccessManager::shared()->refusedCount();
    QVERIFY(load(&view, fileImage));
    QVERIFY(contentHeight(&view) < 100);
    QVERIFY(ServerHtmlAccessManager::shared()->refusedCount() > refusedBefore);
    QVERIFY(load(&view, QStringLiteral("<img src=\"qrc:/images/icon-edit.png\">")));
    QVERIFY(ServerHtmlAccessManager::shared()->refusedCount() > refusedBefore + 1);

    QVERIFY(load(&view, remoteImage));
    QVERIFY(contentHeight(&view) >= 300);
    QCOMPARE(images.count(QStringLiteral("/img/tall.png")), 1);

    QVERIFY(!ServerHtmlAccessManager::isAllowed(
        QNetworkAccessManager::PostOperation, QUrl(QStringLiteral("http://x/"))));
    QVERIFY(ServerHtmlAccessManager::isAllowed(
        QNetworkAccessManager::GetOperation, QUrl(QStringLiteral("data:image/png;base64,AA=="))));
}

QTEST_MAIN(tst_ExerciseViewWidget)
#include "tst_exerciseviewwidget.moc"
