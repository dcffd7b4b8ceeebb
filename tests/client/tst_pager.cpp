#include "browser/pageselectwidget.h"
#include "browser/radiobuttonwidget.h"

#include "modaldialoganswerer.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class tst_Pager : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pageWindow_data();
    void pageWindow();
    void pageButtonsSitBetweenLastAndJump();
    void navigation_data();
    void navigation();
    void pageButtonEmitsItsNumberWithoutRebuilding();
    void jumpBox_data();
    void jumpBox();

    void radioRowBuildsCheckableButtons();
    void radioClickReportsWithoutMovingTheMark();
    void radioClickOnSelectedSendsNothing();
    void radioRebuildReplacesButtons();

private:
    QStringList pageTexts() const;
    void clickOn(const QString &name);
    PageSelectWidget *m_pager = nullptr;
};

void tst_Pager::init()
{
    m_pager = new PageSelectWidget;
    m_pager->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pager));
}

void tst_Pager::cleanup()
{
    delete m_pager;
    m_pager = nullptr;
}

void tst_Pager::clickOn(const QString &name)
{
    auto button = m_pager->findChild<QPushButton *>(name);
    QVERIFY(button && button->isVisible());
    QTest::mouseClick(button, Qt::LeftButton);
}

QStringList tst_Pager::pageTexts() const
{
    QStringList texts;
    for (QPushButton *button : m_pager->pageButtons())
        texts << (button->isChecked() ? QStringLiteral("[%1]").arg(button->text())
                                      : button->text());
    return texts;
}

void tst_Pager::pageWindow_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("page");
    QTest::addColumn<QStringList>("buttons"); // [n] is the checked one
    QTest::newRow("no pages") << 0 << 0 << QStringList();
    QTest::newRow("no pages, page 1") << 0 << 1 << QStringList();
    QTest::newRow("one page") << 1 << 1 << QStringList({"[1]"});
    QTest::newRow("10 at 1") << 10 << 1 << QStringList({"[1]", "2", "3"});
    QTest::newRow("10 at 3") << 10 << 3 << QStringList({"1", "2", "[3]", "4", "5"});
    QTest::newRow("10 at 5") << 10 << 5 << QStringList({"3", "4", "[5]", "6", "7"});
    QTest::newRow("10 at 10") << 10 << 10 << QStringList({"8", "9", "[10]"});
    QTest::newRow("10 at 0 after a filter change") << 10 << 0 << QStringList({"1", "2"});
}

void tst_Pager::pageWindow()
{
    QFETCH(int, count);
    QFETCH(int, page);
    m_pager->setPageCount(count);
    m_pager->setCurrentPage(page);
    QCOMPARE(m_pager->currentPage(), page);
    QTEST(pageTexts(), "buttons");
    for (QPushButton *button : m_pager->pageButtons())
        QVERIFY(button->isCheckable());
}

void tst_Pager::pageButtonsSitBetweenLastAndJump()
{
    m_pager->setPageCount(10);
    m_pager->setCurrentPage(5);
    const QList<QPushButton *> old = m_pager->pageButtons();
    QTRY_VERIFY(old.last()->isVisible()); // shown once the event loop turns, as after a reply
    m_pager->setCurrentPage(6); // rebuilt, not added to
    QCOMPARE(m_pager->pageButtons().size(), 5);
    // the old buttons are gone from sight at once, not when their deletion comes round
    for (QPushButton *button : old)
        QVERIFY(!button->isVisible());
    auto layout = m_pager->findChild<QHBoxLayout *>(QStringLiteral("horizontalLayout"));
    QStringList order;
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *widget = layout->itemAt(i)->widget();
        order << (widget
                ? (widget->objectName().isEmpty() ? qobject_cast<QPushButton *>(widget)->text()
                                                  : widget->objectName())
                : QStringLiteral("spacer"));
    }
    QCOMPARE(order,
        QStringList(
            {"spacer", "firstPushButton", "prePushButton", "nextPushButton", "lastPushButton", "4",
                "5", "6", "7", "8", "lineEditJump", "pushButtonJump", "spacer"}));
}

void tst_Pager::navigation_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("emitted");
    QTest::newRow("first") << "firstPushButton" << 5 << 1;
    QTest::newRow("last") << "lastPushButton" << 5 << 10;
    QTest::newRow("previous") << "prePushButton" << 5 << 4;
    QTest::newRow("previous from page 2") << "prePushButton" << 2 << 1;
    QTest::newRow("previous on page 1 fetches again") << "prePushButton" << 1 << 1;
    QTest::newRow("first from page 2") << "firstPushButton" << 2 << 1;
    QTest::newRow("next") << "nextPushButton" << 5 << 6;
    QTest::newRow("next to the last page") << "nextPushButton" << 9 << 10;
    QTest::newRow("next on the last page fetches again") << "nextPushButton" << 10 << 10;
}

void tst_Pager::navigation()
{
    QFETCH(QString, button);
    QFETCH(int, page);
    QFETCH(int, emitted);
    m_pager->setPageCount(10);
    m_pager->setCurrentPage(page);
    const QStringList before = pageTexts();
    QSignalSpy spy(m_pager, &PageSelectWidget::selectPage);
    clickOn(button);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), emitted);
    QCOMPARE(m_pager->currentPage(), emitted);
    QCOMPARE(pageTexts(), before); // only the list reply rebuilds the buttons
}

void tst_Pager::pageButtonEmitsItsNumberWithoutRebuilding()
{
    m_pager->setPageCount(10);
    m_pager->setCurrentPage(5);
    QSignalSpy spy(m_pager, &PageSelectWidget::selectPage);
    QPushButton *seven = m_pager->pageButtons().last();
    QTest::mouseClick(seven, Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), 7);
    QCOMPARE(m_pager->currentPage(), 7);
    QVERIFY(seven->isChecked()); // left toggled until the reply rebuilds
    QVERIFY(m_pager->pageButtons().at(2)->isChecked());
}

void tst_Pager::jumpBox_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("emitted"); // -1: nothing
    QTest::addColumn<QString>("message"); // empty: none
    QTest::newRow("valid") << 10 << "4" << 4 << "";
    QTest::newRow("letters") << 10 << "ab" << -1 << "页码范围为1-10";
    QTest::newRow("zero") << 10 << "0" << -1 << "页码范围为1-10";
    QTest::newRow("beyond the count") << 10 << "11" << -1 << "页码范围为1-10";
    QTest::newRow("the count itself") << 10 << "10" << 10 << "";
    QTest::newRow("page 1") << 10 << "1" << 1 << "";
    QTest::newRow("page 2") << 10 << "2" << 2 << "";
    QTest::newRow("current page") << 10 << "3" << -1 << "";
    QTest::newRow("no pages") << 0 << "1" << -1 << "页码范围为1-0";
    QTest::newRow("empty box") << 10 << "" << -1 << "页码范围为1-10";
}

void tst_Pager::jumpBox()
{
    QFETCH(int, count);
    QFETCH(QString, typed);
    QFETCH(int, emitted);
    QFETCH(QString, message);
    m_pager->setPageCount(count);
    m_pager->setCurrentPage(count ? 3 : 0);
    auto box = m_pager->findChild<QLineEdit *>(QStringLiteral("lineEditJump"));
    QTest::mouseClick(box, Qt::LeftButton);
    QTest::keyClicks(box, typed);
    QCOMPARE(box->text(), typed);
    QSignalSpy spy(m_pager, &PageSelectWidget::selectPage);
    ModalDialogAnswerer answerer;
    answerer.clickButton(QStringLiteral("确定"));
    clickOn(QStringLiteral("pushButtonJump"));
    if (message.isEmpty()) {
        QCOMPARE(answerer.count(), 0);
    } else {
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().className, QStringLiteral("QMessageBox"));
        QCOMPARE(answerer.last().title, QStringLiteral("错误"));
        QCOMPARE(answerer.last().text, message);
        QCOMPARE(answerer.last().buttons, QStringList {QStringLiteral("确定")});
    }
    QCOMPARE(spy.count(), emitted < 0 ? 0 : 1);
    if (emitted >= 0) {
        QCOMPARE(spy.first().first().toInt(), emitted);
        QCOMPARE(m_pager->currentPage(), emitted);
    } else {
        QCOMPARE(m_pager->currentPage(), count ? 3 : 0);
    }
}

void tst_Pager::radioRowBuildsCheckableButtons()
{
    RadioButtonWidget row;
    row.setItems({"全部", "单选题", "多选题"});
    QVERIFY(row.buttons().isEmpty()); // setItems alone builds nothing
    row.rebuildButtons();
    QCOMPARE(row.buttons().size(), 3);
    QCOMPARE(row.buttons().at(1)->text(), QStringLiteral("单选题"));
    QVERIFY(row.buttons().at(0)->isChecked());
    QVERIFY(!row.buttons().at(1)->isChecked());
    auto layout = qobject_cast<QHBoxLayout *>(row.layout());
    QCOMPARE(layout->count(), 4);
    QVERIFY(layout->itemAt(3)->spacerItem());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(layout->indexOf(row.buttons().at(i)), i);
    row.setSelectedIndex(2);
    QCOMPARE(row.selectedIndex(), 2);
    QVERIFY(!row.buttons().at(0)->isChecked());
    QVERIFY(row.buttons().at(2)->isChecked());
}

void tst_Pager::radioClickReportsWithoutMovingTheMark()
{
    RadioButtonWidget row;
    row.setItems({"全部", "1", "2", "3"});
    row.rebuildButtons();
    QSignalSpy spy(&row, &RadioButtonWidget::selected);
    row.buttons().at(3)->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.first().first().toInt(), 3);
    QVERIFY(!row.buttons().at(3)->isChecked());
    QVERIFY(row.buttons().at(0)->isChecked());
    QCOMPARE(row.selectedIndex(), 0);
}

void tst_Pager::radioClickOnSelectedSendsNothing()
{
    RadioButtonWidget row;
    row.setItems({"全部", "1"});
    row.rebuildButtons();
    row.setSelectedIndex(1);
    QSignalSpy spy(&row, &RadioButtonWidget::selected);
    row.buttons().at(1)->click();
    QCOMPARE(spy.count(), 0);
    QVERIFY(row.buttons().at(1)->isChecked());
}

void tst_Pager::radioRebuildReplacesButtons()
{
    RadioButtonWidget row;
    row.setItems({"a", "b", "c"});
    row.rebuildButtons();
    QPointer<QPushButton> old = row.buttons().first();
    row.setItems({"x", "y"});
    row.rebuildButtons();
    QCOMPARE(row.buttons().size(), 2);
    QCOMPARE(row.layout()->count(), 3);
    QTRY_VERIFY(old.isNull()); // released later
    QSignalSpy spy(&row, &RadioButtonWidget::selected);
    row.buttons().at(1)->click();
    QCOMPARE(spy.first().first().toInt(), 1);
}

QTEST_MAIN(tst_Pager)
#include "tst_pager.moc"
