#include "editor/textobject.h"

#include "editor/style.h"
#include "editor/textobjectproperty.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace {

const int textPointSize = 13;
const int scriptPointSize = 6;

// Building a QFont and its metrics for every object on every layout and paint dominated the
// editor's cost; there are only eight combinations, so each is built once.
struct FontEntry {
    QFont font;
    QFontMetricsF metrics;
    qreal space;
    explicit FontEntry(const QFont &f)
        : font(f)
        , metrics(f)
        , space(metrics.horizontalAdvance(QLatin1Char(' ')))
    { }

    QHash<QChar, qreal> advances; // of single characters, the common case
    // the shaped glyphs of one character laid out at the origin, as drawText would lay them
    // out; drawing them needs no font change on the painter
    QHash<QChar, QList<QGlyphRun>> glyphs;
    const QList<QGlyphRun> &glyphRuns(QChar c)
    {
        auto it = glyphs.find(c);
        if (it == glyphs.end()) {
            QTextLayout layout(QString(c), font);
            layout.setTextOption(QTextOption());
            layout.beginLayout();
            QTextLine line = layout.createLine();
            line.setPosition(QPointF(0, 0));
            layout.endLayout();
            it = glyphs.insert(c, layout.glyphRuns());
        }
        return *it;
    }
    qreal advance(const QString &text)
    {
        if (text.size() != 1)
            return metrics.horizontalAdvance(text);
        auto it = advances.constFind(text.at(0));
        if (it == advances.constEnd())
            it = advances.insert(text.at(0), metrics.horizontalAdvance(text));
        return *it;
    }
};

FontEntry &fontEntry(bool bold, bool italic, int pointSize)
{
    static FontEntry *entries[2][2][2] = {};
    FontEntry *&entry = entries[bold][italic][pointSize == textPointSize];
    if (!entry)
        entry = new FontEntry(TextObject::font(bold, italic, pointSize));
    return *entry;
}

QString textOf(const QTextFormat &format)
{
    return format.property(TextProperty).toString();
}

bool isBoxed(const QTextCharFormat &format)
{
    return format.intProperty(UnderlineProperty) == Rectangle;
}

} // namespace

TextObject::TextObject(QObject *parent)
    : QObject(parent)
{ }

void TextObject::install(QTextDocument *doc)
{
    doc->documentLayout()->registerHandler(TextObjectType, this);
    boxRuns.insert(doc, {});
    connect(doc, &QTextDocument::contentsChange, this, [this, doc] { boxRuns[doc].clear(); });
    connect(doc, &QObject::destroyed, this, [this, doc] { boxRuns.remove(doc); });
}

bool TextObject::isBoxedAt(QTextDocument *doc, const QTextBlock &block, int pos)
{
    const auto runsOf = [&block] {
        QVector<BoxRun> runs;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const bool boxed = isBoxed(fragment.charFormat());
            if (runs.isEmpty() || runs.last().boxed != boxed)
                runs.append({fragment.position(), boxed});
        }
        return runs;
    };
    QVector<BoxRun> unkept;
    const QVector<BoxRun> *runs = &unkept;
    auto documentRuns = boxRuns.find(doc);
    if (documentRuns == boxRuns.end()) { // not installed: nothing tells when runs go stale
        unkept = runsOf();
    } else {
        auto kept = documentRuns->find(block.position());
        if (kept == documentRuns->end())
            kept = documentRuns->insert(block.position(), runsOf());
        runs = &*kept;
    }
    const auto after = std::upper_bound(
        runs->cbegin(), runs->cend(), pos, [](int p, const BoxRun &run) { return p < run.start; });
    return after != runs->cbegin() && (after - 1)->boxed;
}

QFont TextObject::font(bool bold, bool italic, int pointSize)
{
    QFont f(QStringLiteral("楷体"));
    f.setPointSize(pointSize);
    f.setWeight(bold ? QFont::Bold : QFont::Normal);
    f.setItalic(italic);
    return f;
}

QPainterPath TextObject::wavePath(qreal w)
{
    const qreal step = 3.23606798;
    const qreal half = 1.61803399;
    QPainterPath path(QPointF(0, 0));
    qreal x = 0;
    bool up = true;
    while (x < w) {
        x += step;
        path.quadTo(QPointF(x - half, up ? -2 : 2), QPointF(x, 0));
        up = !up;
    }
    return path;
}

QSizeF TextObject::intrinsicSize(QTextDocument *, int, const QTextFormat &format)
{
    const bool italic = format.boolProperty(ItalicProperty);
    FontEntry &entry = fontEntry(format.boolProperty(BoldProperty), italic, textPointSize);
    const qreal height = entry.metrics.height() * 1.2;

    if (const int length = format.intProperty(SpaceLengthProperty))
        return QSizeF(length * entry.space, height);
    if (format.boolProperty(IndentProperty) || format.boolProperty(QuestionNumProperty))
        return QSizeF(4 * entry.space, height);
    const int script = format.intProperty(ScriptProperty);
    if (script == Subscript || script == Superscript)
        return QSizeF(0.5 * entry.advance(textOf(format)), height);
    if (script == SuperSubscript) {
        const QStringList parts = textOf(format).split(QLatin1Char(' '));
        const qreal wider = qMax(entry.advance(parts.value(0)), entry.advance(parts.value(1)));
        return QSizeF(0.5 * wider, height);
    }
    const qreal width = entry.advance(textOf(format));
    return QSizeF(italic ? width * 1.2 : width, height);
}

void TextObject::drawObject(QPainter *painter, const QRectF &rect, QTextDocument *doc,
    int posInDocument, const QTextFormat &format)
{
    const qreal x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const qreal d = (h - h / 1.2) / 2;
    QRectF t(x, y + d, w, h - 2 * d);
    const qreal yU = y + h - d / 2;
    const Style &style = Style::instance();

    if (format.boolProperty(IndentProperty))
        return;
    if (format.boolProperty(QuestionNumProperty)) {
        painter->save();
        painter->setFont(fontEntry(false, false, textPointSize).font);
        // on one line: with a font whose space is narrower than half a character the mark is
        // a little narrower than its two characters, and a wrapped "号" would fall below it
        QTextOption oneLine;
        oneLine.setWrapMode(QTextOption::NoWrap);
        painter->drawText(t, QStringLiteral("题号"), oneLine);
        painter->drawLine(QPointF(x, yU), QPointF(x + w, yU));
        painter->restore();
        return;
    }

    const bool bold = format.boolProperty(BoldProperty);
    const bool italic = format.boolProperty(ItalicProperty);
    const int script = format.intProperty(ScriptProperty);
    const qreal band = h / 2.4;
    int pointSize = textPointSize;
    if (script == Subscript) {
        t.setY(t.y() + t.height() - band);
        t.setHeight(band);
        pointSize = scriptPointSize;
    } else if (script == Superscript) {
        t.setHeight(band);
        pointSize = scriptPointSize;
    } else if (script == SuperSubscript) {
        pointSize = scriptPointSize;
    }

    const QString text = textOf(format);
    FontEntry &entry = fontEntry(bold, italic, pointSize);
    // only the pen and, for text of its own layout, the font change here: keeping those is
    // much cheaper than a full save()
    const QPen oldPen = painter->pen();
    // the layout has usually just set a plain pen of this colour: changing it costs a state
    // update per object
    const bool penChanges = oldPen.style() != Qt::SolidLine || oldPen.widthF() != 1
        || oldPen.brush().style() != Qt::SolidPattern;
    if (format.intProperty(SpaceLengthProperty)) {
        const qreal tw = entry.advance(text);
        if (tw < t.width()) {
            t.setX(t.x() + (t.width() - tw) / 2);
            t.setWidth(tw);
        }
    }
    QColor color = style.textColor;
    if (bold)
        color = style.boldColor;
    if (italic)
        color = style.italicColor;
    const bool setsPen = penChanges || oldPen.color() != color;
    if (setsPen)
        painter->setPen(QPen(color));
    const bool oneCharacter = text.size() == 1 && script != SuperSubscript;
    if (oneCharacter && !text.at(0).isSpace()) {
        for (const QGlyphRun &run : entry.glyphRuns(text.at(0)))
            painter->drawGlyphRun(t.topLeft(), run);
    } else if (!oneCharacter && !text.isEmpty()) {
        const QFont oldFont = painter->font();
        painter->setFont(entry.font);
        if (script == SuperSubscript) {
            const QStringList parts = text.split(QLatin1Char(' '));
            painter->drawText(QRectF(t.x(), t.y(), t.width(), band), parts.value(0), QTextOption());
            painter->drawText(QRectF(t.x(), t.y() + t.height() - band, t.width(), band),
                parts.value(1), QTextOption());
        } else {
            painter->drawText(t, text, QTextOption());
        }
        painter->setFont(oldFont);
    }
    if (setsPen)
        painter->setPen(oldPen);

    switch (format.intProperty(UnderlineProperty)) {
    case UnderPoint: {
        painter->save();
        QPen pen(Style::painted(style.underPointColor));
        pen.setWidth(2);
        painter->setPen(pen);
        painter->drawPoint(QPointF(x + w / 2, yU));
        painter->restore();
        break;
    }
    case SingleUnderline:
        painter->save();
        painter->setPen(QPen(Style::painted(style.singleUnderlineColor)));
        painter->drawLine(QPointF(x, yU), QPointF(x + w, yU));
        painter->restore();
        break;
    case WaveUnderline:
        painter->save();
        painter->strokePath(
            wavePath(w).translated(x, yU), QPen(Style::painted(style.waveUnderlineColor)));
        painter->restore();
        break;
    case Rectangle: {
        const qreal top = y + d / 2;
        painter->save();
        painter->setPen(QPen(Style::painted(style.singleUnderlineColor)));
        painter->drawLine(QPointF(x, top), QPointF(x + w, top));
        painter->drawLine(QPointF(x, yU), QPointF(x + w, yU));
        // joined boxes: an edge only where the neighbour in the block is not boxed
        const QTextBlock block = doc->findBlock(posInDocument);
        if (posInDocument == block.position() || !isBoxedAt(doc, block, posInDocument - 1))
            painter->drawLine(QPointF(x, top), QPointF(x, yU));
        const bool endsBlock = posInDocument + 1 >= block.position() + block.length() - 1;
        if (endsBlock || !isBoxedAt(doc, block, posInDocument + 1))
            painter->drawLine(QPointF(x + w, top), QPointF(x + w, yU));
        painter->restore();
        break;
    }
    default:
        break;
    }

    if (format.boolProperty(StrikeOutProperty)) {
        painter->save();
        painter->setPen(QPen(Style::painted(style.strikeOutColor)));
        painter->drawLine(QPointF(x, y + h / 2), QPointF(x + w, y + h / 2));
        painter->restore();
    }
}
