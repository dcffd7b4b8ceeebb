// Layout, keystroke and paint times of editor documents (one object per character) against
// plain QTextDocuments holding the same text as ordinary characters.

#include "app/startup.h"
#include "editor/textedit.h"
#include "editor/textobject.h"
#include "editor/textobjectproperty.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cstdio>
#include <functional>

namespace {

const qreal pageWidth = 800;
const QSize viewport(800, 600);

QString sampleText(int n)
{
    const QString pool = QStringLiteral("已知函数的定义域为求实数取值范围abcdefxyz0123456789，。");
    QString text;
    QRandomGenerator random(42);
    for (int i = 0; i < n; ++i)
        text += pool.at(random.bounded(pool.size()));
    return text;
}

QImage sampleImage()
{
    QImage image(60, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    return image;
}

// objects: styled object characters; otherwise ordinary characters in the same font
void fill(QTextDocument *doc, int n, int paragraph, bool objects)
{
    const QString text = sampleText(n);
    QTextCursor cursor(doc);
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("img")), sampleImage());
    QRandomGenerator random(7);
    QTextCharFormat plain;
    plain.setFont(TextObject::font(false, false, 13));
    cursor.beginEditBlock();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && i % paragraph == 0) {
            QTextBlockFormat block;
            block.setTopMargin(8);
            cursor.insertBlock(block);
        }
        if (i % 2500 == 1250) { // a few pictures
            QTextImageFormat image;
            image.setName(QStringLiteral("img"));
            image.setWidth(60);
            image.setHeight(30);
            image.setVerticalAlignment(QTextCharFormat::AlignMiddle);
            cursor.insertImage(image);
            continue;
        }
        if (!objects) {
            cursor.insertText(QString(text.at(i)), plain);
            continue;
        }
        QTextCharFormat f;
        f.setObjectType(TextObjectType);
        f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        f.setProperty(TextProperty, text.at(i));
        const int r = random.bounded(100);
        if (r < 10)
            f.setProperty(BoldProperty, true);
        else if (r < 18)
            f.setProperty(ItalicProperty, true);
        else if (r < 30)
            f.setProperty(UnderlineProperty, 1 + random.bounded(4));
        else if (r < 34)
            f.setProperty(ScriptProperty, 1 + random.bounded(2));
        else if (r < 37)
            f.setProperty(StrikeOutProperty, true);
        else if (r == 37) {
            f.setProperty(ScriptProperty, int(SuperSubscript));
            f.setProperty(TextProperty, QStringLiteral("2 n"));
        } else if (r == 38) {
            f.setProperty(SpaceLengthProperty, 4);
            f.setProperty(TextProperty, QStringLiteral("甲"));
        }
        cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
    }
    cursor.endEditBlock();
}

void forceLayout(QTextDocument *doc)
{
    doc->documentLayout()->blockBoundingRect(doc->lastBlock());
    doc->documentLayout()->documentSize();
}

// mean milliseconds of f over runs, after one warm-up call
double timeMs(int runs, const std::function<void()> &f)
{
    f();
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < runs; ++i)
        f();
    return timer.nsecsElapsed() / 1e6 / runs;
}

struct Figures {
    double layout, insert, paint, keystroke;
};

Figures measure(int n, int paragraph, bool objects)
{
    Figures figures {};
    TextObject handler;
    QTextDocument doc;
    if (objects)
        handler.install(&doc);
    doc.setDefaultFont(TextObject::font(false, false, 13));
    fill(&doc, n, paragraph, objects);
    doc.setTextWidth(pageWidth);

    figures.layout = timeMs(5, [&] {
        doc.markContentsDirty(0, doc.characterCount());
        forceLayout(&doc);
    });

    QTextCharFormat object;
    object.setObjectType(TextObjectType);
    object.setVerticalAlignment(QTextCharFormat::AlignMiddle);
    object.setProperty(TextProperty, QChar(QLatin1Char('x')));
    QTextCharFormat plain;
    plain.setFont(TextObject::font(false, false, 13));
    const int middle = doc.characterCount() / 2;
    figures.insert = timeMs(50, [&] {
        QTextCursor cursor(&doc);
        cursor.setPosition(middle);
        if (objects)
            cursor.insertText(QString(QChar::ObjectReplacementCharacter), object);
        else
            cursor.insertText(QStringLiteral("x"), plain);
        forceLayout(&doc);
    });

    QImage image(viewport, QImage::Format_RGB32);
    const qreal top = doc.documentLayout()->blockBoundingRect(doc.findBlock(middle)).top();
    static const int paintRuns = qEnvironmentVariableIsSet("BENCH_PAINT_RUNS")
        ? qEnvironmentVariableIntValue("BENCH_PAINT_RUNS")
        : 20;
    figures.paint = timeMs(paintRuns, [&] {
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.translate(0, -top);
        doc.drawContents(&painter, QRectF(0, top, viewport.width(), viewport.height()));
    });

    // a typed key in a shown editor: insertion, relayout and repaint of the viewport
    QTextEdit *edit = objects ? new TextEdit : new QTextEdit;
    edit->resize(viewport);
    edit->document()->setDefaultFont(TextObject::font(false, false, 13));
    fill(edit->document(), n, paragraph, objects);
    edit->show();
    QTextCursor cursor = edit->textCursor();
    cursor.setPosition(edit->document()->characterCount() / 2);
    edit->setTextCursor(cursor);
    edit->ensureCursorVisible();
    qApp->processEvents();
    figures.keystroke = timeMs(30, [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
        QApplication::sendEvent(edit, &key);
        edit->viewport()->repaint();
    });
    delete edit;
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Startup::installFontSubstitutions();
    std::printf(
        "editor documents against plain text documents, %d px wide, times in ms\n", int(pageWidth));
    std::printf("%-26s %-7s %9s %9s %9s %9s\n", "document", "kind", "layout", "insert", "paint",
        "keystroke");
    struct Case {
        const char *name;
        int n, paragraph;
    };
    const Case cases[] = {{"1000 objects, paras 200", 1000, 200},
        {"10000 objects, paras 200", 10000, 200}, {"10000 objects, one para", 10000, 1000000}};
    for (const Case &c : cases) {
        const Figures editor = measure(c.n, c.paragraph, true);
        const Figures plain = measure(c.n, c.paragraph, false);
        std::printf("%-26s %-7s %9.2f %9.3f %9.2f %9.2f\n", c.name, "editor", editor.layout,
            editor.insert, editor.paint, editor.keystroke);
        std::printf("%-26s %-7s %9.2f %9.3f %9.2f %9.2f\n", "", "plain", plain.layout, plain.insert,
            plain.paint, plain.keystroke);
        std::printf("%-26s %-7s %9.2f %9.2f %9.2f %9.2f\n", "", "ratio",
            editor.layout / plain.layout, editor.insert / plain.insert, editor.paint / plain.paint,
            editor.keystroke / plain.keystroke);
    }
    return 0;
}
