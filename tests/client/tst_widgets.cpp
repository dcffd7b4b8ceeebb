#include "widgets/messagedialog.h"
#include "widgets/qprogressindicator.h"

#include "modaldialoganswerer.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class tst_Widgets : public QObject
{
    Q_OBJECT

private slots:
    void messageDialogForm();
    void showMessageResults_data();
    void showMessageResults();
    void indicatorGeometry_data();
    void indicatorGeometry();
    void indicatorAnimation();
    void indicatorPaintsNothingWhenStopped();
};

void tst_Widgets::messageDialogForm()
{
    MessageDialog dialog;
    QCOMPARE(dialog.size(), QSize(256, 111));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
    auto label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("提示消息"));
    QCOMPARE(label->font().pointSize(), 18);
    auto box = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"));
    QVERIFY(box);
    QCOMPARE(box->button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
    QCOMPARE(box->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("取消"));
    QVERIFY(box->centerButtons());
}

void tst_Widgets::showMessageResults_data()
{
    QTest::addColumn<bool>("showCancel");
    QTest::addColumn<QString>("answer"); // button text, or empty to close the window
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("result");
    const QStringList okOnly = {QStringLiteral("确定")};
    const QStringList both = {QStringLiteral("确定"), QStringLiteral("取消")};
    QTest::newRow("ok only, ok") << false << "确定" << okOnly << 1;
    QTest::newRow("ok only, closed") << false << "" << okOnly << 0;
    QTest::newRow("confirm, ok") << true << "确定" << both << 1;
    QTest::newRow("confirm, cancel") << true << "取消" << both << 0;
}

void tst_Widgets::showMessageResults()
{
    QFETCH(bool, showCancel);
    QFETCH(QString, answer);
    QFETCH(QStringList, buttons);
    QFETCH(int, result);

    ModalDialogAnswerer answerer;
    if (answer.isEmpty())
        answerer.answerWith([](QWidget *dialog) { dialog->close(); });
    else
        answerer.clickButton(answer);
    QCOMPARE(
        showMessage(nullptr, QStringLiteral("警告"), QStringLiteral("内容"), showCancel), result);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("警告"));
    QCOMPARE(answerer.last().text, QStringLiteral("内容"));
    QStringList seen = answerer.last().buttons;
    std::sort(seen.begin(), seen.end());
    std::sort(buttons.begin(), buttons.end());
    QCOMPARE(seen, buttons);
}

void tst_Widgets::indicatorGeometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("outer");
    QTest::addColumn<int>("inner");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("radius");
    QTest::newRow("20x20") << QSize(20, 20) << 9 << 3 << 6 << 2 << 1;
    QTest::newRow("100x60") << QSize(100, 60) << 29 << 11 << 18 << 4 << 2;
}

void tst_Widgets::indicatorGeometry()
{
    QFETCH(QSize, size);
    const QProgressIndicator::Geometry g = QProgressIndicator::geometryFor(size);
    QTEST(g.outerRadius, "outer");
    QTEST(g.innerRadius, "inner");
    QTEST(g.capsuleHeight, "height");
    QTEST(g.capsuleWidth, "width");
    QTEST(g.capsuleRadius, "radius");
}

void tst_Widgets::indicatorAnimation()
{
    QProgressIndicator indicator;
    QCOMPARE(indicator.sizeHint(), QSize(20, 20));
    QCOMPARE(indicator.heightForWidth(33), 33);
    QCOMPARE(indicator.focusPolicy(), Qt::NoFocus);
    QVERIFY(!indicator.isAnimated());

    indicator.setAnimationDelay(10); // while stopped: stored, nothing starts
    QVERIFY(!indicator.isAnimated());
    QCOMPARE(indicator.animationDelay(), 10);

    indicator.startAnimation();
    QVERIFY(indicator.isAnimated());
    QTRY_VERIFY(indicator.angle() != 0);
    indicator.startAnimation(); // a second start only resets the angle
    QCOMPARE(indicator.angle(), 0);
    QVERIFY(indicator.isAnimated());
    indicator.stopAnimation();
    QVERIFY(!indicator.isAnimated());
}

void tst_Widgets::indicatorPaintsNothingWhenStopped()
{
    QProgressIndicator indicator;
    indicator.resize(20, 20);
    auto transparentPixels = [&indicator] {
        QImage image(20, 20, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        indicator.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        int count = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                count += qAlpha(image.pixel(x, y)) == 0;
        return count;
    };
    QCOMPARE(transparentPixels(), 400);
    indicator.setDisplayedWhenStopped(true);
    QVERIFY(transparentPixels() < 400);
}

QTEST_MAIN(tst_Widgets)
#include "tst_widgets.moc"
