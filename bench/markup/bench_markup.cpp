// Throughput of the markup conversions for a document of 10,000 objects with mixed styles:
// writing code text, reading it, and pasting the equivalent HTML.

#include "editor/textedit.h"

#ifdef QUENMO_HAVE_SERVER_CONVERTER
#include "codetextconverter.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextBlock>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const int objectCount = 10000;
const int repetitions = 5;

// Code text of n character objects in paragraphs of about 60, each run of 1 to 8 characters
// wrapped in a random mix of the style elements.
QString sampleCodeText(int n)
{
    const QString pool = QStringLiteral("已知函数的定义域为求实数取值范围abcdefxyz0123456789，。");
    const char *styles[] = {"b", "i", "d", "u", "w", "p", "o", "f", "h"};
    QRandomGenerator random(42);
    QString text = QStringLiteral("<doc>");
    int inParagraph = 0;
    for (int done = 0; done < n;) {
        const int run = std::min(n - done, int(random.bounded(1, 9)));
        QStringList open;
        for (const char *style : styles) {
            // at most one of the underline kinds and one script kind, as the editor has them
            if (random.bounded(4) == 0)
                open << QLatin1String(style);
        }
        if (open.contains(QLatin1String("h")))
            open.removeAll(QStringLiteral("f"));
        for (const char *kind : {"w", "p", "o"})
            if (open.contains(QLatin1String(kind)))
                open.removeAll(QStringLiteral("u"));
        for (const QString &tag : qAsConst(open))
            text += QLatin1Char('<') + tag + QLatin1Char('>');
        for (int k = 0; k < run; ++k)
            text += pool.at(random.bounded(pool.size()));
        for (int k = open.size() - 1; k >= 0; --k)
            text += QLatin1String("</") + open.at(k) + QLatin1Char('>');
        done += run;
        inParagraph += run;
        if (inParagraph >= 60 && done < n) {
            text += QLatin1String("<n/>");
            inParagraph = 0;
        }
    }
    return text + QLatin1String("</doc>");
}

// Best of a few runs, in milliseconds; prepare runs untimed before each.
double best(const std::function<void()> &prepare, const std::function<void()> &run)
{
    std::vector<double> times;
    for (int i = 0; i < repetitions; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return *std::min_element(times.begin(), times.end());
}

void report(const char *name, double ms, int objects, int bytes)
{
    std::printf("%-28s %8.1f ms %10.0f objects/s %7.2f MB/s  (%d bytes)%s\n", name, ms,
        objects / (ms / 1000), bytes / (ms / 1000) / 1e6, bytes, ms < 100 ? "" : "  over 100 ms");
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);

    const QString code = sampleCodeText(objectCount);
    const int codeBytes = code.toUtf8().size();

    TextEdit *edit = nullptr;
    const auto fresh = [&edit] {
        delete edit;
        edit = new TextEdit;
    };

    const double read = best(fresh, [&] { edit->setCodeText(code); });
    int objects = 0;
    for (QTextBlock block = edit->document()->begin(); block.isValid(); block = block.next())
        objects += block.length() - 1;
    const QString written = edit->toCodeText();
    const double write = best([] {}, [&] { edit->toCodeText(); });
    std::printf("document: %d objects, %d blocks, code text %d bytes (written %d bytes)\n", objects,
        edit->document()->blockCount(), codeBytes, int(written.toUtf8().size()));
    report("setCodeText", read, objects, codeBytes);
    report("toCodeText", write, objects, int(written.toUtf8().size()));

#ifdef QUENMO_HAVE_SERVER_CONVERTER
    const QString html = QString::fromStdString(
        CodeTextConverter("http://127.0.0.1:8080").toHtml(written.toStdString()));
    const int htmlBytes = html.toUtf8().size();
    const double paste = best(fresh, [&] { edit->insertHtml(html); });
    report("insertHtml (server HTML)", paste, objects, htmlBytes);
    std::printf(
        "pasted HTML gives back the document: %s\n", edit->toCodeText() == written ? "yes" : "no");
#else
    std::printf("insertHtml: built without the server's converter\n");
#endif
    delete edit;
    return 0;
}
