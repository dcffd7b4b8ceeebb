#include "composer/exerciseheaderwidget.h"
#include "composer/exercisepreviewdialog.h"
#include "composer/knowledgebuttonwidget.h"
#include "composer/knowledgedialog.h"
#include "composer/ratingview.h"
#include "model/knowledgenode.h"

#include "modaldialoganswerer.h"

#include <QComboBox>
#include <QFormLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {

// 代数(1) > {方程(12) > {一元(121)}, 函数(40)}, 几何(2), 概率(4)
std::unique_ptr<KnowledgeNode> sampleTree()
{
    auto root = std::make_unique<KnowledgeNode>();
    root->setChildren(QJsonDocument::fromJson(R"([
        {"knowledgeId": 1, "name": "代数", "children": [
            {"knowledgeId": 12, "name": "方程", "children": [{"knowledgeId": 121, "name": "一元"}]},
            {"knowledgeId": 40, "name": "函数"}]},
        {"knowledgeId": 2, "name": "几何"},
        {"knowledgeId": 4, "name": "概率"}])")
                          .array());
    return root;
}

QList<QPushButton *> stripButtons(KnowledgeButtonWidget &strip)
{
    QList<QPushButton *> buttons;
    auto form = qobject_cast<QFormLayout *>(strip.layout());
    for (int row = 0; row < form->rowCount(); ++row) {
        QLayout *line = form->itemAt(row, QFormLayout::SpanningRole)->layout();
        for (int i = 0; i < line->count(); ++i)
            buttons << qobject_cast<QPushButton *>(line->itemAt(i)->widget());
    }
    return buttons;
}

} // namespace

class tst_ComposerWidgets : public QObject
{
    Q_OBJECT

private slots:
    void starClickBoundaries_data();
    void starClickBoundaries();
    void starsPaintRating();
    void headerTypeListEmitsOnlyWhenFilledOrChosen();
    void headerAddGroupChecks();
    void stripStartsWithAddButtonOnly();
    void stripLinesOfFive();
    void setIdsMatchesWholeIds();
    void dialogTreeOrderAndLeavesOnly();
    void pressingRowsTogglesOrExpands();
    void removingPointByItsButton();
    void previewHtml();
};

void tst_ComposerWidgets::starClickBoundaries_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("rating");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("21") << 21 << 1;
    QTest::newRow("22") << 22 << 2;
    QTest::newRow("45") << 45 << 3;
    QTest::newRow("91") << 91 << 5;
    QTest::newRow("111") << 111 << 5;
}

void tst_ComposerWidgets::starClickBoundaries()
{
    QFETCH(int, x);
    RatingView view;
    QCOMPARE(view.size(), QSize(112, 20));
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(x, 10));
    QTEST(view.rating(), "rating");
}

void tst_ComposerWidgets::starsPaintRating()
{
    RatingView view;
    // a full star is filled with the accent blue at its centre, an empty one is not
    auto fullStars = [&view] {
        const QImage image = view.grab().toImage();
        int count = 0;
        for (int i = 0; i < 5; ++i) {
            const QColor centre = image.pixelColor(i * 23 + 10, 11);
            count += centre.alpha() > 128 && centre.blue() > 200 && centre.red() < 120;
        }
        return count;
    };
    if (QImage(QStringLiteral(":/images/rating-star-full.png")).isNull())
        QSKIP("star images not compiled in yet");
    QCOMPARE(fullStars(), 0);
    view.setRating(3);
    QCOMPARE(view.property("rating").toInt(), 3);
    QCOMPARE(fullStars(), 3);
}

void tst_ComposerWidgets::headerTypeListEmitsOnlyWhenFilledOrChosen()
{
    ExerciseHeaderWidget header;
    QSignalSpy selected(&header, &ExerciseHeaderWidget::selectExerciseType);
    QCOMPARE(header.rate(), 0);
    QCOMPARE(header.groupIndex(), -1);
    header.setExerciseTypes({});
    QCOMPARE(selected.count(), 0);
    header.setExerciseTypes({{1, 0, QStringLiteral("单选")}, {2, 0, QStringLiteral("多选")}});
    QCOMPARE(selected.count(), 1);
    QCOMPARE(selected.last().first().toInt(), 0);
    header.setExerciseTypeIndex(1);
    QCOMPARE(selected.count(), 1);

    auto combo = header.findChild<QComboBox *>(QStringLiteral("exerciseTypeComboBox"));
    header.show();
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up); // a choice by hand
    QCOMPARE(selected.count(), 2);
    QCOMPARE(selected.last().first().toInt(), 0);
    header.setRate(3);
    QCOMPARE(header.rate(), 3);
}

void tst_ComposerWidgets::headerAddGroupChecks()
{
    ExerciseHeaderWidget header;
    header.setGroups({{5, QStringLiteral("物理"), 1}});
    QCOMPARE(header.groupIndex(), 0);
    QSignalSpy added(&header, &ExerciseHeaderWidget::addGroup);
    auto add = header.findChild<QPushButton *>(QStringLiteral("addPushButton"));
    ModalDialogAnswerer answerer;

    answerer.enterText(QStringLiteral("<b>化学</b>"));
    add->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(added.last().first().toString(), QStringLiteral("化学"));

    answerer.enterText(QStringLiteral("<br/>"));
    add->click();
    QCOMPARE(added.count(), 1);

    answerer.enterText(QStringLiteral("物理"));
    answerer.clickButton(QStringLiteral("确定"));
    add->click();
    QCOMPARE(added.count(), 1);
    QCOMPARE(answerer.last().text, QStringLiteral("物理的组已存在。"));
}

void tst_ComposerWidgets::stripStartsWithAddButtonOnly()
{
    KnowledgeButtonWidget strip;
    const auto buttons = stripButtons(strip);
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons.first()->text(), QStringLiteral("添加知识点"));
    QVERIFY(strip.ids().isEmpty());
    QVERIFY(strip.names().isEmpty());
}

void tst_ComposerWidgets::stripLinesOfFive()
{
    auto root = std::make_unique<KnowledgeNode>();
    QJsonArray nodes;
    for (int i = 1; i <= 7; ++i)
        nodes << QJsonObject {
            {QStringLiteral("knowledgeId"), i}, {QStringLiteral("name"), QString::number(i)}};
    root->setChildren(nodes);
    KnowledgeButtonWidget strip;
    strip.setKnowledgeRoot(root.get());
    strip.setIds(QStringLiteral("1, 2, 3, 4, 5, 6, 7"));
    auto form = qobject_cast<QFormLayout *>(strip.layout());
    QCOMPARE(form->rowCount(), 2);
    QCOMPARE(form->itemAt(0, QFormLayout::SpanningRole)->layout()->count(), 5);
    QCOMPARE(form->itemAt(1, QFormLayout::SpanningRole)->layout()->count(), 3);
    QCOMPARE(strip.names(), QStringLiteral("1, 2, 3, 4, 5, 6, 7"));
}

void tst_ComposerWidgets::setIdsMatchesWholeIds()
{
    auto root = sampleTree();
    KnowledgeButtonWidget strip;
    strip.setKnowledgeRoot(root.get());
    strip.setIds(QStringLiteral("12, 40"));
    QCOMPARE(strip.ids(), QStringLiteral("12, 40"));
    QCOMPARE(strip.names(), QStringLiteral("方程, 函数"));
    strip.setIds(QStringLiteral("40,12 , 999"));
    QCOMPARE(strip.ids(), QStringLiteral("12, 40")); // tree order; unknown ids ignored
    strip.setIds(QString());
    QVERIFY(strip.ids().isEmpty());
}

void tst_ComposerWidgets::dialogTreeOrderAndLeavesOnly()
{
    auto root = sampleTree();
    KnowledgeDialog dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("知识群组"));
    QCOMPARE(dialog.size(), QSize(577, 458));
    dialog.setKnowledgeRoot(root.get());
    dialog.setSelection({{40, QStringLiteral("函数")}});
    dialog.buildTree();
    auto tree = dialog.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    QCOMPARE(tree->topLevelItemCount(), 3);
    QTreeWidgetItem *algebra = tree->topLevelItem(0);
    QVERIFY(!algebra->data(0, Qt::CheckStateRole).isValid()); // inner nodes have no box
    QVERIFY(!algebra->isExpanded());
    QCOMPARE(algebra->child(1)->checkState(0), Qt::Checked);
    // tick 概率 then 一元: the result follows the tree
    tree->topLevelItem(2)->setCheckState(0, Qt::Checked);
    algebra->child(0)->child(0)->setCheckState(0, Qt::Checked);
    const QList<KnowledgeInfo> chosen = dialog.collectSelection();
    QStringList names;
    for (const KnowledgeInfo &k : chosen)
        names << k.name;
    QCOMPARE(names, QStringList({"一元", "函数", "概率"}));
}

void tst_ComposerWidgets::pressingRowsTogglesOrExpands()
{
    auto root = sampleTree();
    KnowledgeDialog dialog;
    dialog.setKnowledgeRoot(root.get());
    dialog.buildTree();
    auto tree = dialog.findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidgetItem *geometry = tree->topLevelItem(1);
    const QRect leafRect = tree->visualItemRect(geometry);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::NoModifier, leafRect.center());
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::NoModifier, leafRect.center());
    QCOMPARE(geometry->checkState(0), Qt::Checked);

    QTreeWidgetItem *algebra = tree->topLevelItem(0);
    const QRect innerRect = tree->visualItemRect(algebra);
    QTest::mousePress(tree->viewport(), Qt::LeftButton, Qt::NoModifier, innerRect.center());
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, Qt::NoModifier, innerRect.center());
    QVERIFY(algebra->isExpanded());
    QVERIFY(!algebra->data(0, Qt::CheckStateRole).isValid());
}

void tst_ComposerWidgets::removingPointByItsButton()
{
    auto root = sampleTree();
    KnowledgeButtonWidget strip;
    strip.setKnowledgeRoot(root.get());
    strip.setIds(QStringLiteral("2, 4"));
    QList<QPushButton *> buttons = stripButtons(strip);
    QCOMPARE(buttons.size(), 3);
    buttons.at(1)->click(); // 几何
    QCOMPARE(strip.ids(), QStringLiteral("4"));
    QCOMPARE(stripButtons(strip).size(), 2);

    // the dialog's choice replaces the selection only when accepted
    ModalDialogAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        auto tree = dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
        tree->topLevelItem(1)->setCheckState(0, Qt::Checked);
        ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("取消"));
    });
    stripButtons(strip).first()->click();
    QCOMPARE(strip.ids(), QStringLiteral("4"));
    answerer.answerWith([](QWidget *dialog) {
        auto tree = dialog->findChild<QTreeWidget *>(QStringLiteral("treeWidget"));
        tree->topLevelItem(1)->setCheckState(0, Qt::Checked);
        ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("确定"));
    });
    stripButtons(strip).first()->click();
    QCOMPARE(strip.ids(), QStringLiteral("2, 4"));
}

void tst_ComposerWidgets::previewHtml()
{
    ExerciseInfo exercise;
    exercise.exerciseTypeName = QStringLiteral("单选题");
    exercise.difficultyDegree = 3;
    exercise.knowledgeNames = QStringLiteral("方程");
    QuestionInfo question;
    question.questionIndex = 5;
    question.questionContent = QStringLiteral("<b>q</b>");
    for (int index : {2, 0, 1})
        question.options << OptionInfo {index, QStringLiteral("o") + QString::number(index), false};
    question.answers << AnswerInfo {0, QStringLiteral("x")} << AnswerInfo {1, QStringLiteral("y")};
    question.questionExplain = QStringLiteral("e");
    exercise.questions << question;

    const QString expected = QStringLiteral(
        "<html><head><style type=\"text/css\">body {   font-size : 14px;   margin: 1cm 1cm 1cm "
        "1cm;}img {\tdisplay: inline-block;   vertical-align: middle;}</style></head><body>"
        "<h5>题型：单选题&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;难度：3</h5>"
        "<h5>知识点：方程</h5>"
        "<h5>小问1：</h5><p><b>q</b></p>"
        "<p>A.&nbsp;o2</p><p>B.&nbsp;o0</p><p>C.&nbsp;o1</p>"
        "<h5>小问1答案：</h5><p>x<br><p>y<br>"
        "<h5>小问1解析：</h5><p>e</p>"
        "</body></html>");
    QCOMPARE(ExercisePreviewDialog::previewHtml(exercise), expected);

    exercise.content = QStringLiteral("stem");
    QVERIFY(ExercisePreviewDialog::previewHtml(exercise).contains(
        QStringLiteral("<h5>知识点：方程</h5><h5>题干</h5><p>stem</p><h5>小问1：</h5>")));
}

QTEST_MAIN(tst_ComposerWidgets)
#include "tst_composerwidgets.moc"
