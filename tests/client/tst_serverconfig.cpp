#include "app/serverconfig.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class tst_ServerConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void missingFileGivesDefaults();
    void onlyLibraryServer();
    void trailingSlashKept();
    void recognitionServer_data();
    void recognitionServer();
    void configPathFromProgramPath_data();
    void configPathFromProgramPath();

private:
    QString writeIni(const QByteArray &text);
    QTemporaryDir m_dir;
};

void tst_ServerConfig::init()
{
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER
        = RECOGNITION_SERVER = QString();
}

QString tst_ServerConfig::writeIni(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("settings.ini"));
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text);
    return path;
}

void tst_ServerConfig::missingFileGivesDefaults()
{
    loadServerConfig(m_dir.filePath(QStringLiteral("absent.ini")));
    for (const QString *base : {&BENCH_SERVER, &IMG_SERVER, &CONVERT_SERVER, &LIBRARY_SERVER,
             &ACCOUNT_SERVER, &RECOGNITION_SERVER})
        QCOMPARE(*base, QStringLiteral("http://127.0.0.1:8080"));
}

void tst_ServerConfig::onlyLibraryServer()
{
    loadServerConfig(writeIni("[default]\nLIBRARY_SERVER=http://library.test:9000\n"
                              "[other]\nBENCH_SERVER=http://wrong.test\n"));
    QCOMPARE(LIBRARY_SERVER, QStringLiteral("http://library.test:9000"));
    QCOMPARE(BENCH_SERVER, defaultServerAddress);
    QCOMPARE(IMG_SERVER, defaultServerAddress);
    QCOMPARE(CONVERT_SERVER, defaultServerAddress);
    QCOMPARE(ACCOUNT_SERVER, defaultServerAddress);
}

void tst_ServerConfig::trailingSlashKept()
{
    loadServerConfig(writeIni("[default]\nIMG_SERVER=http://img.test/\n"));
    QCOMPARE(IMG_SERVER, QStringLiteral("http://img.test/"));
}

void tst_ServerConfig::recognitionServer_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("expected");
    QTest::newRow("own key") << QByteArray("[default]\nIMG_SERVER=http://img.test\n"
                                           "RECOGNITION_SERVER=http://ink.test:7000\n")
                             << "http://ink.test:7000";
    QTest::newRow("image server") << QByteArray("[default]\nIMG_SERVER=http://img.test\n"
                                                "LIBRARY_SERVER=http://library.test\n")
                                  << "http://img.test";
    QTest::newRow("neither") << QByteArray("[default]\nLIBRARY_SERVER=http://library.test\n")
                             << "http://127.0.0.1:8080";
}

void tst_ServerConfig::recognitionServer()
{
    QFETCH(QByteArray, ini);
    loadServerConfig(writeIni(ini));
    QTEST(RECOGNITION_SERVER, "expected");
}

void tst_ServerConfig::configPathFromProgramPath_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no backslash") << "quenmo"
                                  << "settings.ini";
    QTest::newRow("windows path") << "C:\\Lumo\\bin\\quenmo.exe"
                                  << "C:\\Lumo\\bin\\settings.ini";
    QTest::newRow("slashes only") << "/usr/bin/quenmo"
                                  << "settings.ini";
}

void tst_ServerConfig::configPathFromProgramPath()
{
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QCOMPARE(::configPathFromProgramPath(program), expected);
}

QTEST_GUILESS_MAIN(tst_ServerConfig)
#include "tst_serverconfig.moc"
