#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The built quenmo-server on a free loopback port with a temporary data folder.
class LocalServer
{
public:
    LocalServer();
    ~LocalServer();

    // Starts the server and waits until it answers; extraArguments go after --port and --data.
    bool start(const QStringList &extraArguments = QStringList());
    void stop();
    // Stops and starts again on the same data folder (and port, where it is still free).
    bool restart();

    bool isRunning() const;
    quint16 port() const { return m_port; }
    // The server process's id, 0 when it does not run.
    qint64 processId() const;
    QString baseUrl() const; // "http://127.0.0.1:PORT"
    QString dataDir() const;
    QString errorString() const { return m_error; }
    // What the server wrote to stdout and stderr so far (as far as the event loop has read it).
    QByteArray log();

    static QString serverPath();
    static quint16 freePort();

private:
    bool launch();

    std::unique_ptr<QTemporaryDir> m_data;
    std::unique_ptr<QProcess> m_process;
    QStringList m_extra;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_log;
};
