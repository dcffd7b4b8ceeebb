#include "localserver.h"
#include "serverclient.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// One server per port: a second one must not quietly share it and split the teachers
// between two databases.
class TestServerPort : public QObject {
    Q_OBJECT

private slots:
    void secondServerOnATakenPortExits();
    void restartTakesThePortBackAtOnce();
};

void TestServerPort::secondServerOnATakenPortExits() {
    LocalServer first;
    QVERIFY2(first.start(), qPrintable(first.errorString()));
    QTemporaryDir otherData;
    QProcess second;
    second.start(LocalServer::serverPath(),
                 {QStringLiteral("--port"), QString::number(first.port()),
                  QStringLiteral("--data"), otherData.path()});
    QVERIFY(second.waitForStarted(5000));
    const bool exited = second.waitForFinished(10000);
    if (!exited) {
        second.kill();
        second.waitForFinished(5000);
    }
    QVERIFY2(exited, "the second server kept running on a taken port");
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QVERIFY(second.exitCode() != 0);
    const QString message = QString::fromUtf8(second.readAllStandardError());
    QVERIFY2(message.contains(
                 QStringLiteral("quenmo-server: port %1 is already in use").arg(first.port())),
             qPrintable(message));
    // The first one still serves every teacher.
    ServerClient client(first.baseUrl());
    QCOMPARE(client.login(QStringLiteral("13800000002")).status(), 0);
}

void TestServerPort::restartTakesThePortBackAtOnce() {
    LocalServer server;
    QVERIFY2(server.start(), qPrintable(server.errorString()));
    const quint16 port = server.port();
    {
        // Connections the server closes leave their ends in TIME_WAIT on its port.
        ServerClient client(server.baseUrl());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(client.login(QStringLiteral("13800000001")).status(), 0);
    }
    QVERIFY2(server.restart(), qPrintable(server.errorString()));
    QCOMPARE(server.port(), port);
    ServerClient client(server.baseUrl());
    QCOMPARE(client.login(QStringLiteral("13800000001")).status(), 0);
}

QTEST_GUILESS_MAIN(TestServerPort)
#include "tst_serverport.moc"
