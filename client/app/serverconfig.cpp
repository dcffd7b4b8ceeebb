#include "app/serverconfig.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

const QString appName = QStringLiteral("Quenmo");
const QString appVersion = QStringLiteral("1.1.2");
const QString defaultServerAddress = QStringLiteral("http://127.0.0.1:8080");

QString BENCH_SERVER;
QString IMG_SERVER;
QString CONVERT_SERVER;
QString LIBRARY_SERVER;
QString ACCOUNT_SERVER;
QString RECOGNITION_SERVER;

void loadServerConfig(const QString &path)
{
    QSettings settings(path, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("default"));
    BENCH_SERVER = settings.value(QStringLiteral("BENCH_SERVER"), defaultServerAddress).toString();
    IMG_SERVER = settings.value(QStringLiteral("IMG_SERVER"), defaultServerAddress).toString();
    CONVERT_SERVER
        = settings.value(QStringLiteral("CONVERT_SERVER"), defaultServerAddress).toString();
    LIBRARY_SERVER
        = settings.value(QStringLiteral("LIBRARY_SERVER"), defaultServerAddress).toString();
    ACCOUNT_SERVER
        = settings.value(QStringLiteral("ACCOUNT_SERVER"), defaultServerAddress).toString();
    RECOGNITION_SERVER
        = settings.value(QStringLiteral("RECOGNITION_SERVER"), IMG_SERVER).toString();
    settings.endGroup();

    qDebug().noquote() << BENCH_SERVER;
    qDebug().noquote() << IMG_SERVER;
    qDebug().noquote() << CONVERT_SERVER;
    qDebug().noquote() << LIBRARY_SERVER;
    qDebug().noquote() << ACCOUNT_SERVER;
    qDebug().noquote() << RECOGNITION_SERVER;
}

QString configPathFromProgramPath(const QString &programPath)
{
    const int cut = programPath.lastIndexOf(QLatin1Char('\\'));
    return programPath.left(cut + 1) + QStringLiteral("settings.ini");
}

QString configPath(const char *argv0)
{
#ifdef Q_OS_WIN
    return configPathFromProgramPath(QString::fromLocal8Bit(argv0));
#else
    Q_UNUSED(argv0)
    return QCoreApplication::applicationDirPath() + QStringLiteral("/settings.ini");
#endif
}
