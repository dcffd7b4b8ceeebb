#include "editor/textedit.h"
#include "editor/texteditwidget.h"
#include "editor/textobjectproperty.h"

#include "app/serverconfig.h"

#include "modaldialoganswerer.h"
#include "scriptedhttpresponder.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <functional>

namespace {

struct Object {
    QString text;
    int script;
};

// The objects of the document, in order.
QList<Object> objects(TextEdit *edit)
{
    QList<Object> found;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            for (int i = 0; i < fragment.length(); ++i) {
                QTextCursor cursor(edit->document());
                cursor.setPosition(fragment.position() + i + 1);
                const QTextCharFormat format = cursor.charFormat();
                if (format.objectType() == TextObjectType)
                    found << Object {format.property(TextProperty).toString(),
                        format.intProperty(ScriptProperty)};
            }
        }
    }
    return found;
}

} // namespace

class tst_TextEditWidget : public QObject
{
    Q_OBJECT

private slots:
    void toolbarButtonsInOrder();
    void buttonsReachTheirCommands();
    void superSubscriptPrompt_data();
    void superSubscriptPrompt();
    void proposedImageSize_data();
    void proposedImageSize();
    void imageSizeAnswers_data();
    void imageSizeAnswers();
    void paletteInsertsInOrderAndStaysOpen();
    void heightNeverBelowLeast();
    void fieldFitsItsDocument();
    void addToolbarWidgetGoesLast();
    void everyButtonGivesItsCodeText_data();
    void everyButtonGivesItsCodeText();
};

void tst_TextEditWidget::toolbarButtonsInOrder()
{
    TextEditWidget widget;
    QCOMPARE(widget.textEdit()->placeholderText(),
        QStringLiteral("复制的文字可能会丢失部分字符，请注意检查"));
    QCOMPARE(widget.textEdit()->fontFamily(), QStringLiteral("楷体"));
    const QStringList names = {"undoPushButton", "redoPushButton", "boldPushButton",
        "italicPushButton", "underlinePushButton", "rectanglePushButton", "strikeOutPushButton",
        "superscriptPushButton", "subscriptPushButton", "superSubscriptPushButton",
        "waveUnderlinePushButton", "underPointPushButton", "leftPushButton", "centerPushButton",
        "rightPushButton", "imagePushButton", "specCharPushButton", "texPushButton",
        "indentPushButton", "tablePushButton", "numberPushButton"};
    QLayout *row = widget.findChild<QPushButton *>(QStringLiteral("undoPushButton"))
                       ->parentWidget()
                       ->layout();
    for (int i = 0; i < names.size(); ++i) {
        auto button = qobject_cast<QPushButton *>(row->itemAt(i)->widget());
        QVERIFY(button);
        QCOMPARE(button->objectName(), names.at(i));
        QVERIFY(button->text().isEmpty());
        QVERIFY(!button->icon().isNull());
        QVERIFY(!button->autoDefault());
    }
    QCOMPARE(widget.findChild<QPushButton *>(QStringLiteral("superSubscriptPushButton"))->toolTip(),
        QStringLiteral("上标下标组合"));
    QVERIFY(
        widget.findChild<QPushButton *>(QStringLiteral("numberPushButton"))->toolTip().isEmpty());
}

void tst_TextEditWidget::buttonsReachTheirCommands()
{
    TextEditWidget widget;
    TextEdit *edit = widget.textEdit();
    edit->insertPlainText(QStringLiteral("ab"));
    edit->selectAll();
    widget.findChild<QPushButton *>(QStringLiteral("boldPushButton"))->click();
    QTextCursor cursor(edit->document());
    cursor.setPosition(1);
    QVERIFY(cursor.charFormat().boolProperty(BoldProperty));
    widget.findChild<QPushButton *>(QStringLiteral("centerPushButton"))->click();
    QCOMPARE(edit->document()->begin().blockFormat().alignment() & Qt::AlignHorizontal_Mask,
        Qt::AlignHCenter);
    widget.findChild<QPushButton *>(QStringLiteral("undoPushButton"))->click();
    widget.findChild<QPushButton *>(QStringLiteral("undoPushButton"))->click();
    cursor.setPosition(1);
    QVERIFY(!cursor.charFormat().boolProperty(BoldProperty));
    widget.findChild<QPushButton *>(QStringLiteral("redoPushButton"))->click();
    cursor = QTextCursor(edit->document());
    cursor.setPosition(1);
    QVERIFY(cursor.charFormat().boolProperty(BoldProperty));

    QTextCursor end(edit->document());
    end.movePosition(QTextCursor::End);
    edit->setTextCursor(end);
    widget.findChild<QPushButton *>(QStringLiteral("numberPushButton"))->click();
    cursor = QTextCursor(edit->document());
    cursor.movePosition(QTextCursor::End);
    QVERIFY(cursor.charFormat().boolProperty(QuestionNumProperty));
}

void tst_TextEditWidget::superSubscriptPrompt_data()
{
    QTest::addColumn<QString>("answer"); // empty: cancel
    QTest::addColumn<int>("objects");
    QTest::addColumn<QString>("text");
    QTest::newRow("two parts") << "2 n" << 1 << "2 n";
    QTest::newRow("two blanks between") << "a  b" << 1 << "a ";
    QTest::newRow("one part") << "2" << 0 << "";
    QTest::newRow("cancel") << "" << 0 << "";
}

void tst_TextEditWidget::superSubscriptPrompt()
{
    QFETCH(QString, answer);
    TextEditWidget widget;
    ModalDialogAnswerer answerer;
    if (answer.isEmpty())
        answerer.rejectDialog();
    else
        answerer.enterText(answer);
    widget.findChild<QPushButton *>(QStringLiteral("superSubscriptPushButton"))->click();
    QCOMPARE(answerer.last().title, QStringLiteral("上下标"));
    QCOMPARE(answerer.last().text, QStringLiteral("请输入上下标，以空格分开"));
    const QList<Object> found = objects(widget.textEdit());
    QTEST(found.size(), "objects");
    if (!found.isEmpty()) {
        QCOMPARE(found.first().script, int(SuperSubscript));
        QTEST(found.first().text, "text");
    }
}

void tst_TextEditWidget::proposedImageSize_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QSize>("proposed");
    QTest::newRow("wide") << QSize(1700, 600) << QSize(850, 300);
    QTest::newRow("850 wide") << QSize(850, 10) << QSize(850, 10);
    QTest::newRow("small") << QSize(20, 30) << QSize(20, 30);
}

void tst_TextEditWidget::proposedImageSize()
{
    QFETCH(QSize, size);
    QTEST(TextEditWidget::defaultImageSize(size), "proposed");
}

void tst_TextEditWidget::imageSizeAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::addColumn<bool>("inserted");
    QTest::newRow("too wide") << "900 300"
                              << "图片的宽度不能大于850" << false;
    QTest::newRow("tall is fine") << "850 2000"
                                  << "" << true;
    QTest::newRow("one number") << "300"
                                << "" << false;
    QTest::newRow("letters") << "a b"
                             << "图片的宽度和高度必须是正整数" << false;
    QTest::newRow("zero") << "0 10"
                          << "图片的宽度和高度必须是正整数" << false;
    QTest::newRow("one pixel") << "1 1"
                               << "" << true;
    QTest::newRow("negative") << "10 -5"
                              << "图片的宽度和高度必须是正整数" << false;
}

void tst_TextEditWidget::imageSizeAnswers()
{
    QFETCH(QString, answer);
    QFETCH(QString, warning);
    QFETCH(bool, inserted);
    ScriptedHttpResponder responder;
    QVERIFY(responder.listen());
    responder.hang(QStringLiteral("/api/upload/file"));
    IMG_SERVER = responder.baseUrl();
    TextEditWidget widget;
    QImage image(1700, 600, QImage::Format_RGB32);
    image.fill(Qt::red);
    ModalDialogAnswerer answerer;
    answerer.answerWith([answer](QWidget *dialog) {
        auto input = qobject_cast<QInputDialog *>(dialog);
        QCOMPARE(input->textValue(), QStringLiteral("850 300"));
        input->setTextValue(answer);
        input->accept();
    });
    answerer.clickButton(QStringLiteral("确定"));
    widget.insertImageWithPrompt(image);
    QCOMPARE(answerer.seen().first().title, QStringLiteral("图片"));
    QCOMPARE(answerer.seen().first().text, QStringLiteral("请输入图片宽度和高度，以空格分开"));
    if (warning.isEmpty()) {
        QCOMPARE(answerer.count(), 1);
    } else {
        QCOMPARE(answerer.count(), 2);
        QCOMPARE(answerer.last().title, QStringLiteral("警告"));
        QCOMPARE(answerer.last().text, warning);
    }
    // an accepted size goes to the upload
    if (inserted)
        QVERIFY(responder.waitForRequests(QStringLiteral("/api/upload/file"), 1));
    else
        QTest::qWait(50);
    QCOMPARE(responder.count(QStringLiteral("/api/upload/file")), inserted ? 1 : 0);
}

void tst_TextEditWidget::paletteInsertsInOrderAndStaysOpen()
{
    TextEditWidget widget;
    ModalDialogAnswerer answerer;
    answerer.answerWith([](QWidget *dialog) {
        // closed however the checks end, so a failing one fails the test instead of hanging it
        const auto close = qScopeGuard([dialog] { static_cast<QDialog *>(dialog)->reject(); });
        QCOMPARE(dialog->windowTitle(), QStringLiteral("特殊字符"));
        QVERIFY(ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("Ω")));
        QVERIFY(ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("∑")));
        QVERIFY(dialog->isVisible()); // stays open for more
        const auto buttons = dialog->findChildren<QPushButton *>();
        QCOMPARE(buttons.first()->size(), QSize(30, 30));
        // laid out in rows: Ω and ∑ side by side in the first, α in the third below them
        const auto at = [dialog](const QString &text) {
            for (QPushButton *button : dialog->findChildren<QPushButton *>())
                if (button->text() == text)
                    return button->geometry();
            return QRect();
        };
        QCOMPARE(at(QStringLiteral("∑")).top(), at(QStringLiteral("Ω")).top());
        QCOMPARE(at(QStringLiteral("∑")).left(), at(QStringLiteral("Ω")).right() + 1 + 10);
        QVERIFY(at(QStringLiteral("α")).top() > at(QStringLiteral("∩")).bottom());
        QVERIFY(at(QStringLiteral("∩")).top() > at(QStringLiteral("Ω")).bottom());
    });
    widget.findChild<QPushButton *>(QStringLiteral("specCharPushButton"))->click();
    QCOMPARE(answerer.count(), 1);
    const QList<Object> inserted = objects(widget.textEdit());
    QCOMPARE(inserted.size(), 2);
    QCOMPARE(inserted.at(0).text, QStringLiteral("Ω"));
    QCOMPARE(inserted.at(1).text, QStringLiteral("∑"));
    int characters = 0;
    for (const QString &row : TextEditWidget::specialCharacterRows())
        characters += row.size();
    QCOMPARE(TextEditWidget::specialCharacterRows().size(), 11);
    QCOMPARE(characters, 15 + 15 + 15 + 9 + 15 + 11 + 12 + 15 + 5 + 16 + 12);
}

void tst_TextEditWidget::heightNeverBelowLeast()
{
    TextEditWidget widget;
    widget.setMinimumEditorHeight(80);
    widget.show();
    QVERIFY(widget.textEdit()->minimumHeight() >= 80);
    for (int i = 0; i < 20; ++i) {
        widget.textEdit()->insertPlainText(QStringLiteral("一行文字"));
        widget.textEdit()->textCursor().insertBlock();
    }
    QTRY_VERIFY(widget.textEdit()->minimumHeight() > 80);
    widget.textEdit()->setCodeText(QString());
    QTRY_COMPARE(widget.textEdit()->minimumHeight(), 80);
}

void tst_TextEditWidget::fieldFitsItsDocument()
{
    // a field as wide as on the composer page, where the fields of a long exercise get no more
    // height than their least
    QWidget page;
    auto layout = new QVBoxLayout(&page);
    auto widget = new TextEditWidget(&page);
    layout->addWidget(widget);
    layout->addStretch();
    page.resize(700, 600);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    TextEdit *edit = widget->textEdit();
    auto atLeast = [edit] {
        edit->setMaximumHeight(edit->minimumHeight());
        return QTest::qWaitFor([edit] { return edit->height() == edit->minimumHeight(); });
    };
    auto fits = [edit] {
        return edit->viewport()->height()
            >= qCeil(edit->document()->documentLayout()->documentSize().height());
    };

    widget->setCodeText(QStringLiteral("<doc>一行文字</doc>"));
    QVERIFY(atLeast());
    QVERIFY(fits());
    QTest::qWait(50);
    QVERIFY(!edit->verticalScrollBar()->isVisible());

    for (int i = 0; i < 6; ++i) {
        edit->textCursor().insertBlock();
        edit->insertPlainText(QStringLiteral("又一行"));
    }
    QVERIFY(atLeast());
    QVERIFY(fits());
    QTest::qWait(50);
    QVERIFY(!edit->verticalScrollBar()->isVisible());

    // a wider window unwraps a long line without any change of the text: the field follows
    widget->setCodeText(
        QStringLiteral("<doc>") + QString(60, QChar(0x5B57)) + QStringLiteral("</doc>"));
    QVERIFY(atLeast());
    const int wrapped = edit->minimumHeight();
    edit->setMaximumHeight(QWIDGETSIZE_MAX);
    page.resize(1600, page.height());
    QTRY_VERIFY(edit->minimumHeight() < wrapped);
    QVERIFY(atLeast());
    QVERIFY(fits());
}

void tst_TextEditWidget::addToolbarWidgetGoesLast()
{
    TextEditWidget widget;
    auto extra = new QPushButton(QStringLiteral("正确答案"));
    widget.addToolbarWidget(extra);
    QLayout *row = extra->parentWidget()->layout();
    QCOMPARE(row->itemAt(row->count() - 1)->widget(), extra);
    QVERIFY(row->itemAt(row->count() - 2)->spacerItem());
}

using Answer = std::function<void(ModalDialogAnswerer &, const QString &picture)>;

namespace {

// The table tool's pictures in the temporary folder, and those seen during the last command.
QStringList temporaryPictures()
{
    QStringList files;
    for (const QString &name : QDir::temp().entryList({QStringLiteral("{*}.jpg")}, QDir::Files))
        files << QDir::temp().filePath(name);
    return files;
}
QStringList tablePictures;
QString tableCounts;

} // namespace

Q_DECLARE_METATYPE(Answer)

void tst_TextEditWidget::everyButtonGivesItsCodeText_data()
{
    QTest::addColumn<QStringList>("buttons");
    QTest::addColumn<int>("selectionStart"); // in "abc"; the selection ends after "b"
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("saved"); // a pattern when it starts with "^"
    const Answer none = [](ModalDialogAnswerer &, const QString &) {};
    const auto row = [&](const char *name, const QStringList &buttons, const QString &saved,
                         int start = 1, const Answer &answer = Answer()) {
        QTest::newRow(name) << buttons << start << (answer ? answer : none) << saved;
    };
    row("bold", {"boldPushButton"}, "<doc>a<b>b</b>c</doc>");
    row("italic", {"italicPushButton"}, "<doc>a<i>b</i>c</doc>");
    row("underline", {"underlinePushButton"}, "<doc>a<u>b</u>c</doc>");
    row("box", {"rectanglePushButton"}, "<doc>a<o>b</o>c</doc>");
    row("strike-out", {"strikeOutPushButton"}, "<doc>a<d>b</d>c</doc>");
    row("superscript", {"superscriptPushButton"}, "<doc>a<h>b</h>c</doc>");
    row("subscript", {"subscriptPushButton"}, "<doc>a<f>b</f>c</doc>");
    row("wave", {"waveUnderlinePushButton"}, "<doc>a<w>b</w>c</doc>");
    row("dot", {"underPointPushButton"}, "<doc>a<p>b</p>c</doc>");
    row("bold twice", {"boldPushButton", "boldPushButton"}, "<doc>abc</doc>");
    row("undo", {"boldPushButton", "italicPushButton", "undoPushButton"}, "<doc>a<b>b</b>c</doc>");
    row("redo", {"boldPushButton", "undoPushButton", "redoPushButton"}, "<doc>a<b>b</b>c</doc>");
    row("centre", {"centerPushButton"}, "<doc><c>abc</c></doc>");
    row("right", {"rightPushButton"}, "<doc><r>abc</r></doc>");
    row("left after right", {"rightPushButton", "leftPushButton"}, "<doc>abc</doc>");
    row("centre twice", {"centerPushButton", "centerPushButton"}, "<doc>abc</doc>");
    row("indent at the start", {"indentPushButton"}, "<doc><indent/>abc</doc>", 0);
    row("question number", {"numberPushButton"}, "<doc>a<a/>c</doc>");
    row("super and subscript", {"superSubscriptPushButton"}, "<doc>a<g><h>2</h><f>n</f></g>c</doc>",
        1, [](ModalDialogAnswerer &answerer, const QString &) {
            answerer.enterText(QStringLiteral("2 n"));
        });
    row("special character", {"specCharPushButton"}, QStringLiteral("<doc>aΩc</doc>"), 1,
        [](ModalDialogAnswerer &answerer, const QString &) {
            answerer.answerWith([](QWidget *dialog) {
                const auto close
                    = qScopeGuard([dialog] { static_cast<QDialog *>(dialog)->reject(); });
                QVERIFY(ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("Ω")));
            });
        });
    row("formula", {"texPushButton"}, "<doc>a<tex>x^2</tex>c</doc>", 1,
        [](ModalDialogAnswerer &answerer, const QString &) {
            answerer.answerWith([](QWidget *dialog) {
                dialog->findChild<QTextEdit *>(QStringLiteral("MiddleTextEdit"))
                    ->setPlainText(QStringLiteral("x^2"));
                static_cast<QDialog *>(dialog)->accept();
            });
        });
    row("picture", {"imagePushButton"}, "^<doc>a<v key=\"k1\" width=\"40\" height=\"30\"/>c</doc>$",
        1, [](ModalDialogAnswerer &answerer, const QString &picture) {
            answerer.answerWith([picture](QWidget *dialog) {
                auto files = qobject_cast<QFileDialog *>(dialog);
                QVERIFY(files);
                // typed into the dialog's own name field, as a teacher may
                auto name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                QVERIFY(name);
                name->setText(picture);
                static_cast<QDialog *>(files)->accept();
            });
            answerer.answerWith([](QWidget *dialog) {
                QVERIFY(ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("确定")));
            });
        });
    row("formula cancelled", {"texPushButton"}, "<doc>abc</doc>", 1,
        [](ModalDialogAnswerer &answerer, const QString &) {
            answerer.answerWith([](QWidget *dialog) {
                dialog->findChild<QTextEdit *>(QStringLiteral("MiddleTextEdit"))
                    ->setPlainText(QStringLiteral("x^2"));
                static_cast<QDialog *>(dialog)->reject();
            });
        });
    row("table", {"tablePushButton"},
        "^<doc>a<v key=\"k1\" width=\"\\d+\" height=\"\\d+\"/>c</doc>$", 1,
        [](ModalDialogAnswerer &answerer, const QString &) {
            const QStringList before = temporaryPictures();
            answerer.answerWith([](QWidget *dialog) {
                // the counts it opens with are checked once the command is over
                auto rows = dialog->findChild<QLineEdit *>(QStringLiteral("lineEditRowCount"));
                auto columns
                    = dialog->findChild<QLineEdit *>(QStringLiteral("lineEditColumnCount"));
                tableCounts = rows->text() + QLatin1Char('x') + columns->text();
                rows->setText(QStringLiteral("2"));
                columns->setText(QStringLiteral("2"));
                dialog->findChild<QPushButton *>(QStringLiteral("pushButtonOK"))->click();
            });
            answerer.answerWith(
                [](QWidget *dialog) { QVERIFY(QMetaObject::invokeMethod(dialog, "slotFinish")); });
            answerer.answerWith([before](QWidget *dialog) {
                // the picture of the table is on disk while its size is asked
                for (const QString &file : temporaryPictures())
                    if (!before.contains(file))
                        tablePictures << file;
                QVERIFY(ModalDialogAnswerer::clickButtonIn(dialog, QStringLiteral("确定")));
            });
        });
}

// Typed "abc", "b" selected with the keyboard, then the buttons clicked with the mouse.
void tst_TextEditWidget::everyButtonGivesItsCodeText()
{
    QFETCH(QStringList, buttons);
    QFETCH(int, selectionStart);
    QFETCH(Answer, answer);
    QFETCH(QString, saved);

    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("picture.png"));
    QVERIFY(image.save(picture));
    ScriptedHttpResponder responder;
    QVERIFY(responder.listen());
    responder.respondEnvelope(QStringLiteral("/api/upload/file"), 0,
        QJsonObject {{QStringLiteral("fileKey"), QStringLiteral("k1")}});
    responder.respondRaw(QStringLiteral("/api/show/image"), png, 200, "image/png");
    responder.respondRaw(QStringLiteral("/api/generate/formula"), png, 200, "image/png");
    const QString savedServer = IMG_SERVER;
    IMG_SERVER = responder.baseUrl();

    TextEditWidget widget;
    widget.resize(700, 200);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    TextEdit *edit = widget.textEdit();
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("abc"));
    QTest::keyClick(edit, Qt::Key_Home);
    for (int i = 0; i < selectionStart; ++i)
        QTest::keyClick(edit, Qt::Key_Right);
    if (selectionStart == 1)
        QTest::keyClick(edit, Qt::Key_Right, Qt::ShiftModifier);

    ModalDialogAnswerer answerer;
    tablePictures.clear();
    answer(answerer, picture);
    for (const QString &name : buttons) {
        auto button = widget.findChild<QPushButton *>(name);
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }
    if (saved.startsWith(QLatin1Char('^'))) {
        const QRegularExpression pattern(saved);
        QTRY_VERIFY2(
            pattern.match(widget.toCodeText()).hasMatch(), qPrintable(widget.toCodeText()));
        // the picture itself has arrived
        QTRY_VERIFY(!edit->document()
                         ->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("k1")))
                         .isNull());
    } else {
        QCOMPARE(widget.toCodeText(), saved);
    }
    // the table's picture file is gone once it is inserted
    for (const QString &file : qAsConst(tablePictures))
        QVERIFY2(!QFile::exists(file), qPrintable(file));
    if (QTest::currentDataTag() == QByteArray("table")) {
        QCOMPARE(tablePictures.size(), 1);
        QCOMPARE(tableCounts, QStringLiteral("5x5"));
    }
    TextEditWidget second;
    second.setCodeText(widget.toCodeText());
    QCOMPARE(second.toCodeText(), widget.toCodeText());
    IMG_SERVER = savedServer;
}

QTEST_MAIN(tst_TextEditWidget)
#include "tst_texteditwidget.moc"
