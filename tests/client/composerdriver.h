#pragma once

#include <QString>

class ExerciseHeaderWidget;
class MainWindow;
class QComboBox;
class QPushButton;
class QWidget;

// A teacher at the real window: logs in through the dialog, waits for what start-up loads and
// fills the composer the way a teacher would, for the suites that run against quenmo-server.
class ComposerDriver
{
public:
    // Logs in through the login dialog; true when it was accepted.
    static bool login(const QString &phone = QStringLiteral("13800000002"),
        const QString &password = QStringLiteral("quenmo123"));
    // Sends the four start-up requests and shows the window, unless it is shown already; true
    // once groups, exercise types, knowledge points and a composer body are there.
    static bool start(MainWindow &window);
    static bool waitUntilReady(MainWindow &window);

    static ExerciseHeaderWidget *header(MainWindow &window);
    static QComboBox *groupCombo(MainWindow &window);
    static QComboBox *typeCombo(MainWindow &window);
    static QPushButton *doneButton(MainWindow &window);

    // Chooses the item with this text from the combo box's list, as a teacher would.
    static bool choose(QComboBox *combo, const QString &text);
    // Chooses an exercise type in the header and waits for its body.
    static bool chooseType(MainWindow &window, const QString &name);

    // Fills every field of the body so that every check passes: the stem is typed, the other
    // texts carry marker, each sub-question gets the first leaf knowledge point and its
    // correct options.
    static void fill(MainWindow &window, const QString &marker);
    // Gives every sub-question the first leaf of the knowledge tree (the bank's seeded
    // exercises have none, and none passes the checks without one).
    static void chooseKnowledge(MainWindow &window);
    // Saves a picture of the screen (under a display server) or of widget in the folder that
    // QUENMO_SHOTS names; nothing when it names none.
    static void shot(QWidget *widget, const QString &name);
    // Id of the first leaf of the knowledge tree.
    static int firstLeafKnowledge(MainWindow &window);
};
