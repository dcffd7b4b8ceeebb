#pragma once

class MainWindow;

// The program's entry point: configuration, login, then the main window's event loop.
class Startup
{
public:
    static int run(int argc, char *argv[]);
    // After a login: keeps the teacher's drafts, sends the four requests the window starts
    // with and shows it.
    static void openMainWindow(MainWindow &window);

    // Maps the editor's font name "楷体" to an installed Kai face where the system has none of
    // that name, so the name can stay "楷体" everywhere else.
    static void installFontSubstitutions();
};
