#include "composerdriver.h"

#include "browser/mainwindow.h"
#include "composer/exerciseheaderwidget.h"
#include "composer/exercisequestionanalysiswidget.h"
#include "composer/exercisequestioncontentwidget.h"
#include "composer/exercisequestionheaderwidget.h"
#include "composer/exercisequestionoptionwidget.h"
#include "composer/exercisequestionstemwidget.h"
#include "composer/exercisequestionwidget.h"
#include "composer/knowledgebuttonwidget.h"
#include "editor/textedit.h"
#include "login/teacherlogindialog.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QtTest>

bool ComposerDriver::login(const QString &phone, const QString &password)
{
    TeacherLoginDialog dialog;
    dialog.show();
    auto button = dialog.findChild<QPushButton *>(QStringLiteral("pushButton"));
    if (!QTest::qWaitFor([button] { return button->isEnabled(); }, 10000))
        return false;
    dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPhone"))->setText(phone);
    dialog.findChild<QLineEdit *>(QStringLiteral("lineEditPassword"))->setText(password);
    QTest::mouseClick(button, Qt::LeftButton);
    return QTest::qWaitFor([&dialog] { return dialog.result() == QDialog::Accepted; }, 10000);
}

bool ComposerDriver::start(MainWindow &window)
{
    window.resize(1200, 1000);
    window.fetchExercisesCount();
    window.fetchGroups();
    window.fetchExerciseTypes();
    window.fetchExerciseKnowledge();
    window.show();
    return waitUntilReady(window);
}

bool ComposerDriver::waitUntilReady(MainWindow &window)
{
    return QTest::qWaitFor(
        [&window] {
            return window.questionTabs() && window.knowledgeTree().childCount() > 0
                && !window.groupList().isEmpty() && groupCombo(window)->count() > 0;
        },
        10000);
}

ExerciseHeaderWidget *ComposerDriver::header(MainWindow &window)
{
    return window.findChild<ExerciseHeaderWidget *>(QStringLiteral("exerciseHeaderWidget"));
}

QComboBox *ComposerDriver::groupCombo(MainWindow &window)
{
    return window.findChild<QComboBox *>(QStringLiteral("groupComboBox"));
}

QComboBox *ComposerDriver::typeCombo(MainWindow &window)
{
    return window.findChild<QComboBox *>(QStringLiteral("exerciseTypeComboBox"));
}

QPushButton *ComposerDriver::doneButton(MainWindow &window)
{
    return window.composerButtons()->button(QDialogButtonBox::Ok);
}

bool ComposerDriver::choose(QComboBox *combo, const QString &text)
{
    const int target = combo->findText(text);
    if (target < 0)
        return false;
    if (target == combo->currentIndex())
        return true;
    // the list pops up and the item is clicked: one choice, one activation
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    if (!QTest::qWaitFor([view] { return view->isVisible(); }))
        return false;
    const QRect item = view->visualRect(combo->model()->index(target, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    return QTest::qWaitFor([view] { return !view->isVisible(); }) && combo->currentText() == text;
}

bool ComposerDriver::chooseType(MainWindow &window, const QString &name)
{
    if (typeCombo(window)->currentText() == name)
        return true;
    if (!choose(typeCombo(window), name))
        return false;
    return QTest::qWaitFor(
        [&] {
            return window.questionTabs() && !window.isBodyPending()
                && window.currentTypeDetail().name == name;
        },
        10000);
}

void ComposerDriver::shot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("QUENMO_SHOTS");
    if (dir.isEmpty())
        return;
    QTest::qWait(800); // pictures and freshly laid out widgets
    // on a display server the screen shows modal dialogs over the window too
    const QPixmap picture = QGuiApplication::platformName() == QLatin1String("xcb")
        ? QGuiApplication::primaryScreen()->grabWindow(0)
        : widget->grab();
    picture.save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

int ComposerDriver::firstLeafKnowledge(MainWindow &window)
{
    const KnowledgeNode *node = &window.knowledgeTree();
    while (node->childCount() > 0)
        node = node->child(0);
    return node->info.knowledgeId;
}

void ComposerDriver::chooseKnowledge(MainWindow &window)
{
    const QString leaf = QString::number(firstLeafKnowledge(window));
    for (int i = 0; i < window.questionTabs()->count(); ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(i));
        page->header()->knowledgeButtonWidget()->setIds(leaf);
    }
}

void ComposerDriver::fill(MainWindow &window, const QString &marker)
{
    if (window.stem()) {
        TextEdit *edit = window.stem()->findChild<TextEdit *>();
        edit->setFocus();
        QTest::keyClicks(edit, marker + QStringLiteral(" stem"));
    }
    const QString leaf = QString::number(firstLeafKnowledge(window));
    auto doc = [&marker](const QString &what) -> QString {
        return QStringLiteral("<doc>") + marker + QLatin1Char(' ') + what
            + QStringLiteral("</doc>");
    };
    for (int i = 0; i < window.questionTabs()->count(); ++i) {
        auto page = qobject_cast<ExerciseQuestionWidget *>(window.questionTabs()->widget(i));
        page->header()->knowledgeButtonWidget()->setIds(leaf);
        if (page->contentPanel())
            page->contentPanel()->setText(doc(QStringLiteral("question %1").arg(i + 1)));
        const auto options = page->optionPanels();
        for (int j = 0; j < options.size(); ++j)
            options.at(j)->setText(doc(QStringLiteral("option ") + QChar(u'A' + j)));
        if (!options.isEmpty()) {
            options.at(0)->setChecked(true);
            if (!options.at(0)->isSingle())
                options.at(1)->setChecked(true);
        }
        if (QTabWidget *answers = page->answerTabs()) {
            for (int j = 0; j < answers->count(); ++j)
                static_cast<ExerciseQuestionPanel *>(answers->widget(j))
                    ->setText(doc(QStringLiteral("answer")));
        }
        page->analysisPanel()->setText(doc(QStringLiteral("analysis")));
    }
}
