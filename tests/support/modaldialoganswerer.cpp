#include "modaldialoganswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>

ModalDialogAnswerer::ModalDialogAnswerer(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(5);
    connect(&m_timer, &QTimer::timeout, this, &ModalDialogAnswerer::poll);
    m_timer.start();
}

void ModalDialogAnswerer::clickButton(const QString &text)
{
    m_answers << [text](QWidget *dialog) {
        if (clickButtonIn(dialog, text))
            return;
        qWarning("ModalDialogAnswerer: no button %s", qPrintable(text));
        // a missing button is a failure to report, not a dialog left open for ever
        if (auto d = qobject_cast<QDialog *>(dialog))
            d->reject();
        else
            dialog->close();
    };
}

void ModalDialogAnswerer::enterText(const QString &text)
{
    m_answers << [text](QWidget *dialog) {
        if (auto input = qobject_cast<QInputDialog *>(dialog)) {
            input->setTextValue(text);
            input->accept();
        }
    };
}

void ModalDialogAnswerer::chooseFile(const QString &path)
{
    m_answers << [path](QWidget *dialog) {
        if (auto files = qobject_cast<QFileDialog *>(dialog)) {
            files->selectFile(path);
            // a file of another folder is selected only once that folder has been listed; the
            // typed name counts at once, as it does for a teacher typing it
            if (auto name = files->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
                name->setText(path);
            static_cast<QDialog *>(files)->accept();
        }
    };
}

void ModalDialogAnswerer::rejectDialog()
{
    m_answers << [](QWidget *dialog) {
        if (auto d = qobject_cast<QDialog *>(dialog))
            d->reject();
        else
            dialog->close();
    };
}

void ModalDialogAnswerer::answerWith(const Action &action)
{
    m_answers << action;
}

void ModalDialogAnswerer::clear()
{
    m_seen.clear();
    m_answers.clear();
}

bool ModalDialogAnswerer::waitForCount(int n, int timeoutMs)
{
    return QTest::qWaitFor([&] { return m_seen.size() >= n; }, timeoutMs);
}

ModalDialogAnswerer::Seen ModalDialogAnswerer::describe(QWidget *dialog)
{
    Seen seen;
    seen.className = QString::fromLatin1(dialog->metaObject()->className());
    seen.objectName = dialog->objectName();
    seen.title = dialog->windowTitle();
    if (auto box = qobject_cast<QMessageBox *>(dialog)) {
        seen.text = box->text();
    } else if (auto input = qobject_cast<QInputDialog *>(dialog)) {
        seen.text = input->labelText();
    } else if (auto label = dialog->findChild<QLabel *>(QStringLiteral("label"))) {
        seen.text = label->text();
    } else if (auto anyLabel = dialog->findChild<QLabel *>()) {
        seen.text = anyLabel->text();
    }
    const auto boxes = dialog->findChildren<QDialogButtonBox *>();
    for (QDialogButtonBox *box : boxes) {
        const auto buttons = box->buttons();
        for (QAbstractButton *button : buttons) {
            if (button->isVisibleTo(dialog))
                seen.buttons << button->text().remove(QLatin1Char('&'));
        }
    }
    if (boxes.isEmpty()) {
        const auto buttons = dialog->findChildren<QAbstractButton *>();
        for (QAbstractButton *button : buttons) {
            if (button->isVisibleTo(dialog) && !button->text().isEmpty())
                seen.buttons << button->text().remove(QLatin1Char('&'));
        }
    }
    return seen;
}

bool ModalDialogAnswerer::clickButtonIn(QWidget *dialog, const QString &text)
{
    const auto buttons = dialog->findChildren<QAbstractButton *>();
    for (QAbstractButton *button : buttons) {
        if (button->isVisibleTo(dialog) && button->text().remove(QLatin1Char('&')) == text) {
            button->click();
            return true;
        }
    }
    return false;
}

void ModalDialogAnswerer::poll()
{
    QWidget *dialog = QApplication::activeModalWidget();
    if (!dialog || !dialog->isVisible())
        return;
    for (const QPointer<QWidget> &handled : qAsConst(m_handled)) {
        if (handled == dialog)
            return;
    }
    m_handled.removeAll(QPointer<QWidget>());
    m_handled << dialog;
    m_seen << describe(dialog);

    const Action action = m_answers.isEmpty() ? Action() : m_answers.takeFirst();
    // Answer from a fresh event so the dialog has finished showing itself.
    QPointer<QWidget> guard(dialog);
    QTimer::singleShot(0, dialog, [guard, action] {
        if (!guard)
            return;
        if (action) {
            action(guard);
        } else if (auto d = qobject_cast<QDialog *>(guard.data())) {
            d->reject();
        } else {
            guard->close();
        }
    });
}
