#include "tools/painterwidget.h"

#include "app/api.h"
#include "app/serverconfig.h"
#include "app/usersession.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMouseEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>

const QString PainterWidget::apiKey = QStringLiteral("5d3f9a10-2b7c-4e88-9f01-6a2c4b7d9e13");

PainterWidget::PainterWidget(QWidget *parent)
    : QWidget(parent)
    , m_history(1)
    , m_manager(new QNetworkAccessManager(this))
    , m_recognitionUrl(defaultRecognitionUrl())
{
    setMinimumSize(240, 120);
    setMouseTracking(true);
    connect(m_manager, &QNetworkAccessManager::finished, this, &PainterWidget::replyFinished);
}

QUrl PainterWidget::defaultRecognitionUrl()
{
    // Configuration is read before any window exists; a canvas made without it (tests, tools)
    // talks to the local server's default address.
    const QString base = !RECOGNITION_SERVER.isEmpty() ? RECOGNITION_SERVER
        : !IMG_SERVER.isEmpty()                        ? IMG_SERVER
                                                       : defaultServerAddress;
    return QUrl(base + QStringLiteral("/api/myscript/v2.0/equation/doSimpleRecognition.json"),
        QUrl::TolerantMode);
}

QSize PainterWidget::sizeHint() const
{
    return QSize(480, 240);
}

QByteArray PainterWidget::strokesJson(const QVector<QPolygon> &strokes)
{
    QJsonArray components;
    for (const QPolygon &stroke : strokes) {
        QJsonArray x;
        QJsonArray y;
        for (const QPoint &point : stroke) {
            x.append(point.x());
            y.append(point.y());
        }
        QJsonObject component;
        component.insert(QStringLiteral("type"), QStringLiteral("stroke"));
        component.insert(QStringLiteral("x"), x);
        component.insert(QStringLiteral("y"), y);
        components.append(component);
    }
    QJsonObject input;
    input.insert(QStringLiteral("components"), components);
    return QJsonDocument(input).toJson(QJsonDocument::Indented);
}

QByteArray PainterWidget::requestBody(const QVector<QPolygon> &strokes, const QString &userId)
{
    // The service reads the fields as they are: neither the JSON nor the phone is encoded.
    return "apiKey=" + apiKey.toUtf8() + "&equationInput=" + strokesJson(strokes)
        + "&userId=" + userId.toUtf8();
}

QString PainterWidget::displayFractions(QString latex)
{
    return latex.replace(QLatin1String("\\frac"), QLatin1String("\\dfrac"), Qt::CaseSensitive);
}

void PainterWidget::recognize()
{
    if (m_pendingReply) {
        // Only the latest drawing counts; the aborted reply reaches replyFinished at once.
        QNetworkReply *previous = m_pendingReply;
        m_pendingReply = nullptr;
        previous->abort();
    }
    if (m_strokes.isEmpty()) {
        emit recognitionFinished(QString());
        return;
    }

    QNetworkRequest request(m_recognitionUrl);
    request.setHeader(
        QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    const QByteArray body = requestBody(m_strokes, UserSession::instance().phoneNumber);
    qDebug().noquote() << body;
    m_pendingReply = m_manager->post(request, body);
}

void PainterWidget::replyFinished(QNetworkReply *reply)
{
    reply->deleteLater();
    // A reply for an older drawing (aborted, or overtaken) says nothing about the current one.
    if (reply != m_pendingReply)
        return;
    m_pendingReply = nullptr;

    if (reply->error() != QNetworkReply::NoError
        && reply->error() != QNetworkReply::OperationCanceledError) {
        showNetworkError(this, reply->error());
        return;
    }
    QJsonObject document;
    if (!Api::parseEnvelope(reply->readAll(), &document))
        return;

    const QJsonArray results = document.value(QStringLiteral("result"))
                                   .toObject()
                                   .value(QStringLiteral("results"))
                                   .toArray();
    for (const QJsonValue &result : results) {
        const QJsonObject object = result.toObject();
        if (object.value(QStringLiteral("type")).toString() == QStringLiteral("LATEX"))
            emit recognitionFinished(
                displayFractions(object.value(QStringLiteral("value")).toString()));
    }
}

int PainterWidget::addHistory(const QVector<QPolygon> &strokes)
{
    m_history.resize(m_historyIndex + 1);
    m_history.append(strokes);
    m_historyIndex = m_history.size() - 1;
    return m_historyIndex;
}

void PainterWidget::clean()
{
    m_strokes.clear();
    addHistory(m_strokes);
    update();
    recognize();
}

void PainterWidget::undo()
{
    if (m_historyIndex > 0 && m_historyIndex < m_history.size()) {
        --m_historyIndex;
        m_strokes = m_history.at(m_historyIndex);
        update();
    }
    recognize();
}

void PainterWidget::redo()
{
    if (m_historyIndex >= 0 && m_historyIndex < m_history.size() - 1) {
        ++m_historyIndex;
        m_strokes = m_history.at(m_historyIndex);
        update();
    }
    recognize();
}

void PainterWidget::mousePressEvent(QMouseEvent *event)
{
    setCursor(Qt::PointingHandCursor);
    m_currentStroke = QPolygon();
    m_currentStroke << event->localPos().toPoint();
    m_drawing = true;
}

void PainterWidget::mouseMoveEvent(QMouseEvent *event)
{
    // Mouse tracking also delivers moves without a button; they draw nothing.
    if (!m_drawing)
        return;
    m_currentStroke << event->localPos().toPoint();
    update();
}

void PainterWidget::mouseReleaseEvent(QMouseEvent *)
{
    setCursor(Qt::ArrowCursor);
    if (!m_drawing)
        return;
    m_drawing = false;
    m_strokes.append(m_currentStroke);
    m_currentStroke = QPolygon();
    addHistory(m_strokes);
    update();
    recognize();
}

void PainterWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(rect(), Qt::white);
    painter.setPen(QPen(Qt::black, 3));
    for (const QPolygon &stroke : qAsConst(m_strokes))
        painter.drawPolyline(stroke);
    painter.drawPolyline(m_currentStroke);
}
