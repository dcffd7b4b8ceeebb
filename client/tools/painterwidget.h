#pragma once

#include <QPolygon>
#include <QUrl>
#include <QVector>
#include <QWidget>

class QNetworkAccessManager;
class QNetworkReply;

// The handwriting canvas of the formula dialog. Every change of the drawing sends all strokes
// to the recognition service, which answers with TeX.
class PainterWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PainterWidget(QWidget *parent = nullptr);

    static const QString apiKey;
    static QUrl defaultRecognitionUrl();
    // Lets tests point the canvas at a scripted service.
    void setRecognitionUrl(const QUrl &url) { m_recognitionUrl = url; }
    QUrl recognitionUrl() const { return m_recognitionUrl; }

    // The strokes JSON and the form body the service expects.
    static QByteArray strokesJson(const QVector<QPolygon> &strokes);
    static QByteArray requestBody(const QVector<QPolygon> &strokes, const QString &userId);
    // The recogniser writes plain fractions; the editor wants them in display size.
    static QString displayFractions(QString latex);

    const QVector<QPolygon> &strokes() const { return m_strokes; }
    int historyIndex() const { return m_historyIndex; }
    int historySize() const { return m_history.size(); }
    bool isRecognizing() const { return m_pendingReply != nullptr; }

    QSize sizeHint() const override;

    void recognize();

signals:
    void recognitionFinished(const QString &latex);

public slots:
    void replyFinished(QNetworkReply *reply);
    void clean();
    void undo();
    void redo();
    int addHistory(const QVector<QPolygon> &strokes);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QPolygon m_currentStroke;
    QVector<QPolygon> m_strokes;
    int m_historyIndex = 0;
    QVector<QVector<QPolygon>> m_history;
    QNetworkAccessManager *m_manager;
    QNetworkReply *m_pendingReply = nullptr;
    bool m_drawing = false;
    QUrl m_recognitionUrl;
};
