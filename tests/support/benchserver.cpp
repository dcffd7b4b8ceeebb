#include "benchserver.h"

#include "localserver.h"

#include <QtGlobal>

#include <cstdio>

void BenchServer::prepare()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
}

bool BenchServer::start(LocalServer &server)
{
    if (server.start())
        return true;
    std::fprintf(stderr, "quenmo-server: %s\n", qPrintable(server.errorString()));
    return false;
}
