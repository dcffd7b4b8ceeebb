#pragma once

#include "editor/textedit.h"

#include <QApplication>
#include <QByteArray>

#include <cstdint>
#include <cstdlib>

// One application for the whole run; the editor is created per input so that nothing an
// input leaves behind (pending image requests, tables) leaks into the next one.
inline void initFuzzApplication(int *argc, char ***argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // nothing listens here: image requests stay pending and never open a warning box
    setenv("QT_LOGGING_RULES", "*.debug=false", 0);
    static QApplication app(*argc, *argv);
}

// Reads the written code text back and checks it is code text again: the writer must never
// produce markup its own reader rejects.
inline void checkWrittenText(TextEdit &edit)
{
    const QString written = edit.toCodeText();
    if (written.isEmpty())
        return;
    if (!edit.isCodeText(written))
        abort();
    edit.setCodeText(written);
    edit.toCodeText();
}
