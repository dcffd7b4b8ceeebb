#include "app/startup.h"

#include "app/serverconfig.h"
#include "browser/mainwindow.h"
#include "login/teacherlogindialog.h"

#include <QApplication>
#include <QFontDatabase>

void Startup::installFontSubstitutions()
{
    const QString kai = QStringLiteral("楷体");
    const QFontDatabase database;
    if (database.hasFamily(kai))
        return;
    const QStringList candidates = {QStringLiteral("KaiTi"), QStringLiteral("STKaiti"),
        QStringLiteral("AR PL UKai CN"), QStringLiteral("AR PL UKai TW"),
        QStringLiteral("AR PL KaitiM GB"), QStringLiteral("Kaiti SC")};
    QStringList installed;
    for (const QString &family : candidates) {
        if (database.hasFamily(family))
            installed << family;
    }
    if (!installed.isEmpty())
        QFont::insertSubstitutions(kai, installed);
}

void Startup::openMainWindow(MainWindow &window)
{
    window.keepDrafts();
    window.fetchExercisesCount();
    window.fetchGroups();
    window.fetchExerciseTypes();
    window.fetchExerciseKnowledge();
    window.show();
}

int Startup::run(int argc, char *argv[])
{
    // the images come in 1x and 2x; let high-density screens pick the sharper one
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    installFontSubstitutions();
    loadServerConfig(configPath(argv[0]));

    int exitCode = 0;
    TeacherLoginDialog login;
    if (login.exec() == QDialog::Accepted) {
        MainWindow window;
        openMainWindow(window);
        exitCode = app.exec();
    }
    return exitCode;
}
