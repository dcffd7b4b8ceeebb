#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

// Waits for the modal dialogs that code under test opens (MessageDialog, QMessageBox,
// QInputDialog, QFileDialog, or any QDialog), records what they showed and answers them with
// the queued answers in order. A dialog without a queued answer is rejected.
class ModalDialogAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen {
        QString className;
        QString objectName;
        QString title;
        QString text; // label of a MessageDialog, text of a QMessageBox, label of an input
        QStringList buttons; // texts of the visible buttons, in layout order
    };
    using Action = std::function<void(QWidget *dialog)>;

    explicit ModalDialogAnswerer(QObject *parent = nullptr);

    void clickButton(const QString &text);
    void enterText(const QString &text); // QInputDialog: set the value, then OK
    void chooseFile(const QString &path); // QFileDialog: select the file, then accept
    void rejectDialog(); // close with reject()
    void answerWith(const Action &action); // anything else

    const QList<Seen> &seen() const { return m_seen; }
    int count() const { return m_seen.size(); }
    Seen last() const { return m_seen.isEmpty() ? Seen() : m_seen.last(); }
    void clear();

    // Spins the event loop until n dialogs have been seen in all.
    bool waitForCount(int n, int timeoutMs = 10000);

    static Seen describe(QWidget *dialog);
    static bool clickButtonIn(QWidget *dialog, const QString &text);

private:
    void poll();

    QTimer m_timer;
    QList<Action> m_answers;
    QList<Seen> m_seen;
    QList<QPointer<QWidget>> m_handled;
};
