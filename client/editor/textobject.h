#pragma once

#include <QHash>
#include <QObject>
#include <QTextObjectInterface>
#include <QVector>

class QFont;
class QFontMetricsF;
class QTextBlock;

// Sizes and paints the editor's object characters, decorations included.
class TextObject : public QObject, public QTextObjectInterface
{
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)

public:
    explicit TextObject(QObject *parent = nullptr);

    // Makes this the object handler of doc and lets painting know when the neighbours it
    // remembers for joined boxes have changed.
    void install(QTextDocument *doc);

    QSizeF intrinsicSize(QTextDocument *doc, int posInDocument, const QTextFormat &format) override;
    void drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc, int posInDocument,
        const QTextFormat &format) override;

    // The editor font of an object: "楷体" at pointSize, bold and italic as given.
    static QFont font(bool bold, bool italic, int pointSize);
    // The path of a wave underline of width w, starting at the origin.
    static QPainterPath wavePath(qreal w);

private:
    // Whether the character at pos, inside block, is boxed; answered from runs of boxed and
    // unboxed fragments per block, kept for installed documents until their next change.
    bool isBoxedAt(QTextDocument *doc, const QTextBlock &block, int pos);

    struct BoxRun {
        int start;
        bool boxed;
    };
    QHash<const QTextDocument *, QHash<int, QVector<BoxRun>>> boxRuns;
};
