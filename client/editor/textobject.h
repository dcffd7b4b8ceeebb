#pragma once

#include <QObject>
#include <QTextObjectInterface>

class QFont;
class QFontMetricsF;

// Sizes and paints the editor's object characters, decorations included.
class TextObject : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit TextObject(QObject *parent = nullptr);

    QSizeF intrinsicSize(QTextDocument *doc, int posInDocument, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int posInDocument,
                    const QTextFormat &format) override;

    // The editor font of an object: "楷体" at pointSize, bold and italic as given.
    static QFont font(bool bold, bool italic, int pointSize);
    // The path of a wave underline of width w, starting at the origin.
    static QPainterPath wavePath(qreal w);
};
