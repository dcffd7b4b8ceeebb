// Draws the client's compiled-in images (logo, rating stars, toolbar and row icons) at 1x and
// 2x into the given folder. Optionally composes a contact sheet for looking at them.
//
//   QT_QPA_PLATFORM=offscreen quenmo_imagegenerator OUTDIR [--sheet FILE.png]

#include <QDir>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>
#include <QtMath>

#include <functional>
#include <vector>

namespace {

const QColor Accent(27, 197, 245);
const QColor Text(74, 74, 74);
const QColor White(255, 255, 255);
const QColor Band(18, 183, 245);
const QColor StarEdge(12, 158, 205);
const QColor EmptyStarEdge(178, 178, 178);

using Draw = std::function<void(QPainter &)>;

struct Picture {
    QString name; // without ".png"
    QSize size;   // logical size; the @2x file is twice as large
    Draw draw;    // paints in logical coordinates
};

QFont makeFont(const QString &family, int pixelSize, bool bold = false, bool italic = false) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setItalic(italic);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferOutline);
    return font;
}

const QString Sans = QStringLiteral("DejaVu Sans");
const QString Serif = QStringLiteral("DejaVu Serif");

// Centres the ink of a glyph run (not its advance box) in the given box, so letters with
// different side bearings still sit in the middle of the button.
// A stroke of embolden width around the outline gives regular letters enough weight to
// stay legible at 20 px next to the 2 px lines of the other icons.
void glyph(QPainter &p, const QString &text, const QFont &font, const QRectF &box,
           const QColor &color, qreal embolden = 0) {
    QPainterPath path;
    path.addText(0, 0, font, text);
    const QRectF ink = path.boundingRect();
    path.translate(box.center() - ink.center());
    p.fillPath(path, color);
    if (embolden > 0)
        p.strokePath(path, QPen(color, embolden, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QPen pen(const QColor &color, qreal width) {
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath starPath(QPointF center, qreal outer, qreal inner) {
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal r = (i % 2 == 0) ? outer : inner;
        const qreal angle = qDegreesToRadians(-90.0 + 36.0 * i);
        const QPointF point(center.x() + r * qCos(angle), center.y() + r * qSin(angle));
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    path.closeSubpath();
    return path;
}

// Four text lines of 2 px, each given as [x0, x1].
void textLines(QPainter &p, const std::vector<std::pair<qreal, qreal>> &spans) {
    qreal y = 3;
    for (const auto &span : spans) {
        p.fillRect(QRectF(span.first, y, span.second - span.first, 2), Text);
        y += 4.5;
    }
}

void undoArrow(QPainter &p) {
    p.setPen(pen(Text, 2));
    p.setBrush(Qt::NoBrush);
    QPainterPath curve;
    curve.moveTo(15, 16.5);
    curve.cubicTo(18.5, 11, 15.5, 6.5, 9, 6.5);
    curve.lineTo(7.5, 6.5);
    p.drawPath(curve);
    p.setPen(Qt::NoPen);
    p.setBrush(Accent);
    p.drawPolygon(QPolygonF({QPointF(2.5, 6.5), QPointF(8.5, 1.5), QPointF(8.5, 11.5)}));
}

void subSupBase(QPainter &p, qreal dy) {
    glyph(p, QStringLiteral("x"), makeFont(Sans, 17), QRectF(0.5, 4 + dy, 12, 12), Text, 0.5);
}

std::vector<Picture> pictures() {
    std::vector<Picture> list;
    const QSize icon(20, 20);

    list.push_back({QStringLiteral("logo"), QSize(200, 60), [](QPainter &p) {
                        // A white question bubble and the name, centred as one group.
                        const QFont nameFont = makeFont(Sans, 32, true);
                        QPainterPath name;
                        name.addText(0, 0, nameFont, QStringLiteral("Quenmo"));
                        const QRectF nameInk = name.boundingRect();
                        const qreal bubbleW = 42, gap = 10;
                        const qreal total = bubbleW + gap + nameInk.width();
                        const qreal left = (200 - total) / 2;

                        const QRectF bubble(left, 9, bubbleW, 36);
                        QPainterPath mark;
                        mark.addRoundedRect(bubble, 9, 9);
                        QPainterPath tail;
                        tail.moveTo(bubble.left() + 9, bubble.bottom() - 4);
                        tail.lineTo(bubble.left() + 8, bubble.bottom() + 8);
                        tail.lineTo(bubble.left() + 21, bubble.bottom() - 4);
                        tail.closeSubpath();
                        mark = mark.united(tail);
                        p.fillPath(mark, White);
                        glyph(p, QStringLiteral("?"), makeFont(Sans, 28, true), bubble, Band);

                        // Cap height of the name centred on the bubble.
                        const QFontMetricsF metrics(nameFont);
                        const qreal baseline = bubble.center().y() + metrics.capHeight() / 2;
                        name.translate(left + bubbleW + gap - nameInk.left(), baseline);
                        p.fillPath(name, White);
                    }});

    list.push_back({QStringLiteral("add"), icon, [](QPainter &p) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(Accent);
                        p.drawEllipse(QPointF(10, 10), 8.5, 8.5);
                        p.fillRect(QRectF(5, 9, 10, 2), White);
                        p.fillRect(QRectF(9, 5, 2, 10), White);
                    }});
    list.push_back({QStringLiteral("remove"), icon, [](QPainter &p) {
                        p.setPen(Qt::NoPen);
                        p.setBrush(Accent);
                        p.drawEllipse(QPointF(10, 10), 8.5, 8.5);
                        p.fillRect(QRectF(5, 9, 10, 2), White);
                    }});
    list.push_back(
        {QStringLiteral("download"), icon, [](QPainter &p) {
             p.setPen(pen(Text, 2));
             p.setBrush(Qt::NoBrush);
             p.drawPolyline(
                 QPolygonF({QPointF(3, 12), QPointF(3, 17), QPointF(17, 17), QPointF(17, 12)}));
             p.fillRect(QRectF(9, 2, 2, 8), Accent);
             p.setPen(Qt::NoPen);
             p.setBrush(Accent);
             p.drawPolygon(QPolygonF({QPointF(5, 9), QPointF(15, 9), QPointF(10, 14.5)}));
         }});
    list.push_back({QStringLiteral("rating-star-full"), icon, [](QPainter &p) {
                        p.setPen(pen(StarEdge, 1));
                        p.setBrush(Accent);
                        p.drawPath(starPath(QPointF(10, 10.8), 9, 4.3));
                    }});
    list.push_back({QStringLiteral("rating-star-empty"), icon, [](QPainter &p) {
                        p.setPen(pen(EmptyStarEdge, 1.2));
                        p.setBrush(White);
                        p.drawPath(starPath(QPointF(10, 10.8), 9, 4.3));
                    }});

    auto add = [&list, icon](const char *role, Draw draw) {
        list.push_back({QStringLiteral("icon-") + QLatin1String(role), icon, std::move(draw)});
    };

    add("bold", [](QPainter &p) {
        glyph(p, QStringLiteral("B"), makeFont(Sans, 17, true), QRectF(0, 0, 20, 20), Text);
    });
    add("italic", [](QPainter &p) {
        glyph(p, QStringLiteral("I"), makeFont(Serif, 18, false, true), QRectF(0, 0, 20, 20), Text,
              0.6);
    });
    add("underline", [](QPainter &p) {
        glyph(p, QStringLiteral("U"), makeFont(Sans, 15), QRectF(0, 0, 20, 15), Text, 0.6);
        p.fillRect(QRectF(4, 16, 12, 2), Accent);
    });
    add("waveunderline", [](QPainter &p) {
        glyph(p, QStringLiteral("A"), makeFont(Sans, 15), QRectF(0, 0, 20, 15), Text, 0.6);
        QPainterPath wave;
        for (int i = 0; i <= 28; ++i) {
            const qreal x = 3 + i * 0.5;
            const qreal y = 17 + 1.4 * qSin((x - 3) * M_PI / 2);
            if (i == 0)
                wave.moveTo(x, y);
            else
                wave.lineTo(x, y);
        }
        p.setPen(pen(Accent, 1.4));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    });
    add("underpoint", [](QPainter &p) {
        glyph(p, QStringLiteral("A"), makeFont(Sans, 15), QRectF(0, 0, 20, 15), Text, 0.6);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        for (qreal x : {5.0, 10.0, 15.0})
            p.drawEllipse(QPointF(x, 17.2), 1.4, 1.4);
    });
    add("strikeout", [](QPainter &p) {
        glyph(p, QStringLiteral("S"), makeFont(Sans, 17), QRectF(0, 0, 20, 20), Text, 0.6);
        p.fillRect(QRectF(3, 9, 14, 2), Accent);
    });
    add("superscript", [](QPainter &p) {
        subSupBase(p, 1);
        glyph(p, QStringLiteral("2"), makeFont(Sans, 10, true), QRectF(12.5, 0.5, 7, 8), Accent);
    });
    add("subscript", [](QPainter &p) {
        subSupBase(p, -2);
        glyph(p, QStringLiteral("2"), makeFont(Sans, 10, true), QRectF(12.5, 11.5, 7, 8), Accent);
    });
    add("supersubscript", [](QPainter &p) {
        subSupBase(p, -0.5);
        glyph(p, QStringLiteral("2"), makeFont(Sans, 8, true), QRectF(12.5, 0.5, 6, 7), Accent);
        glyph(p, QStringLiteral("1"), makeFont(Sans, 8, true), QRectF(12.5, 12.5, 6, 7), Accent);
    });
    add("left", [](QPainter &p) { textLines(p, {{3, 17}, {3, 12}, {3, 17}, {3, 12}}); });
    add("center", [](QPainter &p) { textLines(p, {{3, 17}, {5.5, 14.5}, {3, 17}, {5.5, 14.5}}); });
    add("right", [](QPainter &p) { textLines(p, {{3, 17}, {8, 17}, {3, 17}, {8, 17}}); });
    add("indent", [](QPainter &p) {
        textLines(p, {{10, 17}, {3, 17}, {3, 17}, {3, 12}});
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF({QPointF(3, 1), QPointF(8, 4), QPointF(3, 7)}));
    });
    add("number", [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawEllipse(QPointF(10, 10), 8, 8);
        glyph(p, QStringLiteral("1"), makeFont(Sans, 12, true), QRectF(0, 0, 20, 20), White);
    });
    add("list", [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        for (qreal y : {5.0, 10.0, 15.0}) {
            p.drawEllipse(QPointF(4.5, y), 1.6, 1.6);
            p.fillRect(QRectF(8, y - 1, 9, 2), Text);
        }
    });
    add("image", [](QPainter &p) {
        p.setPen(pen(Text, 1));
        p.setBrush(White);
        p.drawRoundedRect(QRectF(2.5, 3.5, 15, 13), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawPolygon(QPolygonF({QPointF(4, 15), QPointF(8, 9), QPointF(11, 12.5),
                                 QPointF(12.5, 11), QPointF(16, 15)}));
        p.drawEllipse(QPointF(13, 7.5), 1.7, 1.7);
    });
    add("omega", [](QPainter &p) {
        glyph(p, QString(QChar(0x03A9)), makeFont(Serif, 17), QRectF(0, 0, 20, 20), Text, 0.5);
    });
    add("tex", [](QPainter &p) {
        glyph(p, QString(QChar(0x2211)), makeFont(Serif, 17), QRectF(0, 0, 14, 20), Text, 0.5);
        glyph(p, QStringLiteral("x"), makeFont(Serif, 12, false, true), QRectF(12, 9, 8, 8), Accent,
              0.4);
    });
    add("table", [](QPainter &p) {
        p.fillRect(QRectF(3, 4, 14, 4), Accent);
        p.setPen(QPen(Text, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 3.5, 15, 13));
        p.drawLine(QPointF(3, 12.5), QPointF(17, 12.5));
        p.drawLine(QPointF(7.5, 8), QPointF(7.5, 16));
        p.drawLine(QPointF(12.5, 8), QPointF(12.5, 16));
    });
    add("rectangle", [](QPainter &p) {
        p.setPen(QPen(Accent, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(2.5, 2.5, 15, 15));
        glyph(p, QStringLiteral("A"), makeFont(Sans, 12), QRectF(0, 0, 20, 20), Text, 0.5);
    });
    add("undo", [](QPainter &p) { undoArrow(p); });
    add("redo", [](QPainter &p) {
        p.translate(20, 0);
        p.scale(-1, 1);
        undoArrow(p);
    });
    add("clean", [](QPainter &p) {
        // A waste bin; white inside so it also reads on the blue selected group row.
        p.setPen(pen(Text, 1.5));
        p.setBrush(White);
        p.drawPolygon(
            QPolygonF({QPointF(5, 6.5), QPointF(15, 6.5), QPointF(14, 17.5), QPointF(6, 17.5)}));
        p.drawLine(QPointF(3, 5), QPointF(17, 5));
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(
            QPolygonF({QPointF(8, 4.5), QPointF(8, 2.5), QPointF(12, 2.5), QPointF(12, 4.5)}));
        p.setPen(pen(Text, 1.2));
        p.drawLine(QPointF(8.5, 9), QPointF(8.5, 15));
        p.drawLine(QPointF(11.5, 9), QPointF(11.5, 15));
    });
    add("edit", [](QPainter &p) {
        // A pencil; white body for the same reason as the bin.
        p.translate(10, 10);
        p.rotate(-45);
        p.setPen(pen(Text, 1.4));
        p.setBrush(White);
        QPainterPath body;
        body.moveTo(-8.5, 0);
        body.lineTo(-4.5, -2.8);
        body.lineTo(8, -2.8);
        body.lineTo(8, 2.8);
        body.lineTo(-4.5, 2.8);
        body.closeSubpath();
        p.drawPath(body);
        p.drawLine(QPointF(-4.5, -2.8), QPointF(-4.5, 2.8));
        p.drawLine(QPointF(5, -2.8), QPointF(5, 2.8));
        p.setPen(Qt::NoPen);
        p.setBrush(Text);
        p.drawPolygon(QPolygonF({QPointF(-8.8, 0), QPointF(-6.8, -1.3), QPointF(-6.8, 1.3)}));
    });
    add("close", [](QPainter &p) {
        p.setPen(pen(Text, 2));
        p.drawLine(QPointF(5, 5), QPointF(15, 15));
        p.drawLine(QPointF(15, 5), QPointF(5, 15));
    });
    add("star", [](QPainter &p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Accent);
        p.drawPath(starPath(QPointF(10, 10.8), 9, 4.3));
    });
    return list;
}

QImage render(const Picture &picture, int scale) {
    QImage image(picture.size * scale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.scale(scale, scale);
    picture.draw(p);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QString fileName(const Picture &picture, int scale) {
    return picture.name + (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
}

// Every picture at 1x, 2x and 1x magnified, on white, on the selected row blue and on the
// formula dialog grey; the logo on its band; the editor toolbar and the rating as laid out.
QImage contactSheet(const std::vector<Picture> &list) {
    const int rowH = 48;
    const int iconRows = int(list.size()) - 1;
    QImage sheet(980, 560 + iconRows * rowH / 2 + 40, QImage::Format_ARGB32);
    sheet.fill(White);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(makeFont(Sans, 11));

    const QImage logo1 = render(list.front(), 1);
    const QImage logo2 = render(list.front(), 2);
    p.fillRect(QRect(10, 10, 400, 80), Band);
    p.drawImage(10 + (400 - logo1.width()) / 2, 10 + (80 - logo1.height()) / 2, logo1);
    p.fillRect(QRect(10, 100, 800, 160), Band);
    p.drawImage(10 + (800 - logo2.width()) / 2, 100 + (160 - logo2.height()) / 2, logo2);
    p.setPen(Text);
    p.drawText(420, 50, QStringLiteral("logo.png on the login band (400 x 80)"));

    int y = 280;
    int column = 0;
    for (std::size_t i = 1; i < list.size(); ++i) {
        const Picture &picture = list[i];
        const int x = 10 + column * 485;
        const QImage one = render(picture, 1);
        const QImage two = render(picture, 2);
        p.setPen(Text);
        p.drawText(x, y + 26, picture.name);
        int cx = x + 150;
        p.drawImage(cx, y + 10, one);
        cx += 28;
        p.drawImage(cx, y, two);
        cx += 48;
        p.drawImage(QRect(cx, y - 10, 60, 60), one);
        cx += 68;
        p.fillRect(QRect(cx, y, 48, 40), Accent);
        p.drawImage(cx + 14, y + 10, one);
        cx += 52;
        p.fillRect(QRect(cx, y, 48, 40), QColor(237, 239, 240));
        p.drawImage(cx + 14, y + 10, one);
        column = 1 - column;
        if (column == 0)
            y += rowH + 4;
    }
    if (column == 1)
        y += rowH + 4;

    // Editor toolbar in its button order: 28 x 20 buttons on white.
    const QStringList toolbar = {QStringLiteral("undo"),          QStringLiteral("redo"),
                                 QStringLiteral("bold"),          QStringLiteral("italic"),
                                 QStringLiteral("underline"),     QStringLiteral("rectangle"),
                                 QStringLiteral("strikeout"),     QStringLiteral("superscript"),
                                 QStringLiteral("subscript"),     QStringLiteral("supersubscript"),
                                 QStringLiteral("waveunderline"), QStringLiteral("underpoint"),
                                 QStringLiteral("left"),          QStringLiteral("center"),
                                 QStringLiteral("right"),         QStringLiteral("image"),
                                 QStringLiteral("omega"),         QStringLiteral("tex"),
                                 QStringLiteral("indent"),        QStringLiteral("table"),
                                 QStringLiteral("number")};
    y += 10;
    p.setPen(QColor(200, 200, 200));
    p.drawRect(QRect(9, y - 1, 28 * toolbar.size() + 1, 21));
    for (int i = 0; i < toolbar.size(); ++i) {
        for (const Picture &picture : list) {
            if (picture.name == QStringLiteral("icon-") + toolbar.at(i)) {
                p.drawImage(10 + 28 * i + 4, y, render(picture, 1));
                break;
            }
        }
    }
    y += 40;
    // Difficulty: three of five stars, 20 px stars every 23 px; and at 2x.
    auto named = [&list](const QString &name) -> const Picture & {
        for (const Picture &picture : list)
            if (picture.name == name)
                return picture;
        return list.front();
    };
    const Picture &fullStar = named(QStringLiteral("rating-star-full"));
    const Picture &emptyStar = named(QStringLiteral("rating-star-empty"));
    const QImage full = render(fullStar, 1), empty = render(emptyStar, 1);
    const QImage full2 = render(fullStar, 2), empty2 = render(emptyStar, 2);
    for (int i = 0; i < 5; ++i) {
        p.drawImage(10 + 23 * i, y, i < 3 ? full : empty);
        p.drawImage(160 + 46 * i, y - 10, i < 3 ? full2 : empty2);
    }
    p.end();
    return sheet;
}

} // namespace

int main(int argc, char *argv[]) {
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString sheetPath;
    const int sheetAt = int(args.indexOf(QStringLiteral("--sheet")));
    if (sheetAt >= 0 && sheetAt + 1 < args.size()) {
        sheetPath = args.at(sheetAt + 1);
        args.erase(args.begin() + sheetAt, args.begin() + sheetAt + 2);
    }
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "usage: quenmo_imagegenerator OUTDIR [--sheet FILE.png]\n";
        return 2;
    }
    const QDir out(args.first());
    if (!out.mkpath(QStringLiteral("."))) {
        err << "cannot create " << out.path() << '\n';
        return 1;
    }
    const std::vector<Picture> list = pictures();
    for (const Picture &picture : list) {
        for (int scale : {1, 2}) {
            const QString path = out.filePath(fileName(picture, scale));
            if (!render(picture, scale).save(path, "PNG")) {
                err << "cannot write " << path << '\n';
                return 1;
            }
        }
    }
    if (!sheetPath.isEmpty() && !contactSheet(list).save(sheetPath, "PNG")) {
        err << "cannot write " << sheetPath << '\n';
        return 1;
    }
    return 0;
}
