// A 20-question paper with 60 formulas (Word equations), 5 pictures and 2 tables: the time from
// read() to the drafts, pandoc included, and the conversion alone.
#include "composer/pandocconverter.h"
#include "composer/paperreader.h"
#include "composer/papersplitter.h"
#include "papermaker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QString run(const QString &text)
{
    return QStringLiteral("<w:r><w:t xml:space=\"preserve\">") + text
        + QStringLiteral("</w:t></w:r>");
}
QString para(const QString &content)
{
    return QStringLiteral("<w:p>") + content + QStringLiteral("</w:p>");
}
QString mr(const QString &text)
{
    return QStringLiteral("<m:r><m:t>") + text + QStringLiteral("</m:t></m:r>");
}
// one of three equation shapes Word papers are full of
QString formula(int n)
{
    switch (n % 3) {
    case 0:
        return QStringLiteral("<m:oMath><m:f><m:num>%1</m:num><m:den>%2</m:den></m:f></m:oMath>")
            .arg(mr(QString::number(n)), mr(QStringLiteral("x+1")));
    case 1:
        return QStringLiteral(
            "<m:oMath><m:sSup><m:e>%1</m:e><m:sup>%2</m:sup></m:sSup>%3</m:oMath>")
            .arg(
                mr(QStringLiteral("x")), mr(QStringLiteral("2")), mr(QStringLiteral("+%1").arg(n)));
    default:
        return QStringLiteral("<m:oMath><m:rad><m:radPr><m:degHide m:val=\"1\"/></m:radPr><m:deg/>"
                              "<m:e>%1</m:e></m:rad></m:oMath>")
            .arg(mr(QString::number(n)));
    }
}

QString table(int rows)
{
    QString out = QStringLiteral("<w:tbl>");
    for (int r = 0; r < rows; ++r) {
        out += QStringLiteral("<w:tr>");
        for (int c = 0; c < 3; ++c)
            out += QStringLiteral("<w:tc>") + para(run(QStringLiteral("第%1行%2列").arg(r).arg(c)))
                + QStringLiteral("</w:tc>");
        out += QStringLiteral("</w:tr>");
    }
    return out + QStringLiteral("</w:tbl>");
}

QString paperBody()
{
    QString body = para(run(QStringLiteral("一、选择题")));
    int formulas = 0;
    int pictures = 0;
    for (int q = 1; q <= 20; ++q) {
        if (q == 11)
            body += para(run(QStringLiteral("二、填空题")));
        if (q == 16)
            body += para(run(QStringLiteral("三、解答题")));
        body += para(run(QStringLiteral("%1．已知 ").arg(q)) + formula(formulas++)
            + run(QStringLiteral("，求下列各式的值（　　）")));
        if (q % 4 == 0 && pictures < 5)
            body += para(PaperMaker::drawing(++pictures, 300, 200));
        if (q == 7 || q == 17)
            body += table(4);
        if (q <= 10) {
            body += para(run(QStringLiteral("A．")) + formula(formulas++)
                + run(QStringLiteral(" B．2 C．3 D．4")));
            body += para(run(QStringLiteral("【答案】B【解析】由 ")) + formula(formulas++)
                + run(QStringLiteral(" 可得。")));
        } else {
            body += para(run(QStringLiteral("答案：")) + formula(formulas++));
            body += para(run(QStringLiteral("解析：代入 ")) + formula(formulas++)
                + run(QStringLiteral(" 即得。")));
        }
    }
    // 20 + 10 + 10 + 10 + 10 = 60 formulas
    return body;
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    PaperMaker maker(dir.path());
    QStringList pictures;
    for (int i = 1; i <= 5; ++i)
        pictures << maker.picture(QStringLiteral("p%1.png").arg(i), 600, 400);
    const QString path = maker.fromBody(QStringLiteral("paper"), paperBody(), pictures);
    if (path.isEmpty()) {
        std::fprintf(stderr, "bench_paper: %s\n", qPrintable(maker.error()));
        return 1;
    }

    const int runs = 7;
    QVector<double> readTimes;
    QVector<double> pandocTimes;
    QVector<double> convertTimes;
    int drafts = 0;
    int formulas = 0;
    for (int i = 0; i < runs; ++i) {
        PaperReader reader;
        QEventLoop loop;
        QObject::connect(&reader, &PaperReader::finished, &loop, [&](const PaperDraftList &list) {
            drafts = list.size();
            loop.quit();
        });
        QObject::connect(&reader, &PaperReader::failed, &loop, [&](const QString &message) {
            std::fprintf(stderr, "bench_paper: %s\n", qPrintable(message));
            loop.exit(1);
        });
        QElapsedTimer timer;
        timer.start();
        reader.read(path);
        if (loop.exec() != 0)
            return 1;
        readTimes << timer.nsecsElapsed() / 1e6;

        // pandoc alone, and the conversion and splitting alone
        QTemporaryDir media;
        QProcess pandoc;
        timer.restart();
        pandoc.start(QStringLiteral("pandoc"),
            {QStringLiteral("-f"), QStringLiteral("docx"), QStringLiteral("-t"),
                QStringLiteral("json"), QStringLiteral("--extract-media=") + media.path(), path});
        pandoc.waitForFinished(60000);
        const QByteArray json = pandoc.readAllStandardOutput();
        pandocTimes << timer.nsecsElapsed() / 1e6;
        timer.restart();
        PandocConverter converter;
        converter.convert(QJsonDocument::fromJson(json), media.path());
        PaperSplitter splitter;
        splitter.split(converter.blocks());
        convertTimes << timer.nsecsElapsed() / 1e6;
        formulas = converter.formulaCount();
    }
    std::printf(
        "paper: 20 questions, %d formulas, 5 pictures, 2 tables -> %d drafts\n", formulas, drafts);
    std::printf("read to drafts (pandoc included): median %.0f ms, best %.0f ms over %d runs "
                "(target < 2000 ms)\n",
        median(readTimes), *std::min_element(readTimes.begin(), readTimes.end()), runs);
    std::printf("  pandoc alone: median %.0f ms\n", median(pandocTimes));
    std::printf("  conversion and splitting: median %.1f ms (%.2f ms per draft)\n",
        median(convertTimes), median(convertTimes) / qMax(1, drafts));
    return 0;
}
