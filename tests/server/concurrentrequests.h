#pragma once

#include <QByteArray>
#include <QList>

// Raw HTTP/1.1 requests, many at once and each on a connection of its own, for the suites
// that load the server the way a busy school or a hostile client would (QNetworkAccessManager
// opens at most six connections per host).
class ConcurrentRequests
{
public:
    // A complete POST of a JSON body that asks the server to close the connection after it.
    static QByteArray post(
        const QByteArray &path, const QByteArray &body, const QByteArray &token = QByteArray());
    // Sends every request on a connection of its own, all at once, and waits up to timeoutMs
    // for every reply; a reply that did not come in time is empty.
    static QList<QByteArray> send(quint16 port, const QList<QByteArray> &requests, int timeoutMs);
    // The body of a complete reply (after the blank line), empty when there is none.
    static QByteArray bodyOf(const QByteArray &reply);
};
