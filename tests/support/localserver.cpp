#include "localserver.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

LocalServer::LocalServer() = default;

LocalServer::~LocalServer()
{
    stop();
}

QString LocalServer::serverPath()
{
#ifdef QUENMO_SERVER_BIN
    return QStringLiteral(QUENMO_SERVER_BIN);
#else
    return QString();
#endif
}

quint16 LocalServer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

QString LocalServer::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:") + QString::number(m_port);
}

QString LocalServer::dataDir() const
{
    return m_data ? m_data->path() : QString();
}

bool LocalServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

qint64 LocalServer::processId() const
{
    return isRunning() ? m_process->processId() : 0;
}

bool LocalServer::start(const QStringList &extraArguments)
{
    stop();
    m_extra = extraArguments;
    m_data = std::make_unique<QTemporaryDir>();
    if (!m_data->isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    // Another process may take the probed port before the server binds it: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freePort();
        if (launch())
            return true;
    }
    return false;
}

bool LocalServer::restart()
{
    if (m_process) {
        m_log += m_process->readAll();
        m_process->terminate();
        m_process->waitForFinished(5000);
        m_process.reset();
    }
    if (launch())
        return true;
    m_port = freePort();
    return launch();
}

bool LocalServer::launch()
{
    const QString program = serverPath();
    if (program.isEmpty()) {
        m_error = QStringLiteral("quenmo-server was not built");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments = {QStringLiteral("--port"), QString::number(m_port),
        QStringLiteral("--data"), m_data->path()};
    arguments << m_extra;
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000)) {
        m_error = m_process->errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        if (m_process->state() != QProcess::Running) {
            m_log += m_process->readAll();
            m_error = QStringLiteral("quenmo-server exited: ") + QString::fromUtf8(m_log);
            return false;
        }
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_port);
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("quenmo-server did not answer");
    return false;
}

QByteArray LocalServer::log()
{
    if (m_process)
        m_log += m_process->readAll();
    return m_log;
}

void LocalServer::stop()
{
    if (!m_process)
        return;
    m_log += m_process->readAll();
    m_process->terminate();
    if (!m_process->waitForFinished(5000))
        m_process->kill();
    m_process.reset();
}
