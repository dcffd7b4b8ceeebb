#include "app/startup.h"

#include "app/serverconfig.h"

#include <QApplication>
#include <QFontDatabase>

void Startup::installFontSubstitutions() {
    const QString kai = QStringLiteral("楷体");
    const QFontDatabase database;
    if (database.hasFamily(kai))
        return;
    QStringList candidates = {QStringLiteral("KaiTi"),           QStringLiteral("STKaiti"),
                              QStringLiteral("AR PL UKai CN"),   QStringLiteral("AR PL UKai TW"),
                              QStringLiteral("AR PL KaitiM GB"), QStringLiteral("Kaiti SC")};
    QStringList installed;
    for (const QString &family : qAsConst(candidates)) {
        if (database.hasFamily(family))
            installed << family;
    }
    if (!installed.isEmpty())
        QFont::insertSubstitutions(kai, installed);
}

int Startup::run(int argc, char *argv[]) {
    QApplication app(argc, argv);
    installFontSubstitutions();
    loadServerConfig(configPath(argv[0]));
    return 0;
}
