// A 20-question paper (60 formulas, 5 pictures, 2 tables) handed to the composer as the reader
// hands it over: the time from the drafts to the first exercise on screen (its pictures
// uploaded to quenmo-server, its body built) and from a click on "下一题" / "上一题" / "跳过"
// to the next body. Reading the paper itself is measured by bench_paper.
#include "app/serverconfig.h"
#include "browser/mainwindow.h"
#include "composer/paperimport.h"

#include "benchserver.h"
#include "composerdriver.h"
#include "localserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

QString doc(const QString &inner)
{
    return QStringLiteral("<doc>") + inner + QStringLiteral("</doc>");
}

QString tex(int n)
{
    static const QStringList shapes {QStringLiteral("\\frac{%1}{x+1}"), QStringLiteral("x^{2}+%1"),
        QStringLiteral("\\sqrt{%1}")};
    return QStringLiteral("<tex>") + shapes.at(n % 3).arg(n) + QStringLiteral("</tex>");
}

QString table()
{
    QString out = QStringLiteral("<t>");
    for (int r = 0; r < 3; ++r) {
        out += QStringLiteral("<tr>");
        for (int c = 0; c < 3; ++c)
            out += QStringLiteral("<td>第%1行%2列</td>").arg(r).arg(c);
        out += QStringLiteral("</tr>");
    }
    return out + QStringLiteral("</t>");
}

PaperDraftList paper(const QStringList &pictures)
{
    PaperDraftList drafts;
    int formula = 0;
    for (int i = 0; i < 20; ++i) {
        PaperDraft draft;
        QuestionInfo question;
        QString content = QStringLiteral("%1. 已知 ").arg(i + 1) + tex(formula);
        content += QStringLiteral("，且 ") + tex(formula + 1) + QStringLiteral("，求下式的值。");
        formula += 2;
        if (i % 4 == 0)
            content += QStringLiteral("<v key=\"") + pictures.at(i / 4)
                + QStringLiteral("\" width=\"0\" height=\"0\"/>");
        if (i == 5 || i == 10)
            content += table();
        question.questionContent = doc(content);
        question.questionExplain = doc(QStringLiteral("由题意得 ") + tex(formula++));
        if (i < 10) {
            draft.exerciseTypeName = QStringLiteral("单选题");
            for (int o = 0; o < 4; ++o) {
                OptionInfo option;
                option.index = o;
                option.content = doc(QString::number(o + i));
                option.isAnswer = o == 1;
                question.options << option;
            }
        } else if (i < 15) {
            draft.exerciseTypeName = QStringLiteral("填空题");
            AnswerInfo answer;
            answer.content = doc(QString::number(i));
            question.answers << answer;
        } else {
            draft.exerciseTypeName = QStringLiteral("解答题");
            AnswerInfo answer;
            answer.content = doc(QStringLiteral("证明略"));
            question.answers << answer;
        }
        draft.exercise.questions << question;
        drafts << draft;
    }
    return drafts;
}

bool waitFor(const std::function<bool()> &condition, int timeoutMs = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

void report(const char *what, QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-34s n=%2d  median %7.1f ms  max %7.1f ms\n", what, int(ms.size()),
        ms.at(ms.size() / 2), ms.last());
}

} // namespace

int main(int argc, char **argv)
{
    BenchServer::prepare();
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());

    LocalServer server;
    if (!BenchServer::start(server))
        return 1;
    BENCH_SERVER = IMG_SERVER = CONVERT_SERVER = LIBRARY_SERVER = ACCOUNT_SERVER = server.baseUrl();
    if (!ComposerDriver::login())
        return 1;

    QTemporaryDir media;
    QStringList pictures;
    for (int i = 0; i < 5; ++i) {
        QImage image(i == 0 ? 1200 : 600, 300, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        painter.setPen(QPen(Qt::black, 4));
        painter.drawEllipse(image.rect().adjusted(40, 40, -40, -40));
        painter.end();
        pictures << media.filePath(QStringLiteral("image%1.png").arg(i + 1));
        image.save(pictures.last());
    }
    const PaperDraftList drafts = paper(pictures);

    QList<double> first, next, previous, skip;
    for (int run = 0; run < 3; ++run) {
        PaperImport::setReaderFactory([&drafts](PaperImport *import) {
            return PaperImport::Reader {
                [import, &drafts](const QString &, const ExerciseTypeInfoList &) {
                    QMetaObject::invokeMethod(
                        import, [import, &drafts] { import->startPaperImport(drafts); },
                        Qt::QueuedConnection);
                },
                [] {}};
        });
        MainWindow window;
        if (!ComposerDriver::start(window))
            return 1;
        auto label = window.findChild<QLabel *>(QStringLiteral("paperPositionLabel"));
        auto shown = [&](int position, int count) {
            return [&window, label, position, count] {
                return label->isVisible()
                    && label->text() == QStringLiteral("第 %1 / %2 题").arg(position).arg(count)
                    && !window.isBodyPending() && window.questionTabs();
            };
        };
        auto button = [&window](const char *name) {
            return window.findChild<QPushButton *>(QLatin1String(name));
        };

        QElapsedTimer timer;
        timer.start();
        window.paperImport()->readPaper(media.filePath(QStringLiteral("paper.docx")));
        if (!waitFor(shown(1, 20)))
            return 1;
        first << timer.nsecsElapsed() / 1e6;
        for (int i = 2; i <= 20; ++i) {
            timer.restart();
            button("nextPaperPushButton")->click();
            if (!waitFor(shown(i, 20)))
                return 1;
            next << timer.nsecsElapsed() / 1e6;
        }
        for (int i = 19; i >= 15; --i) {
            timer.restart();
            button("previousPaperPushButton")->click();
            if (!waitFor(shown(i, 20)))
                return 1;
            previous << timer.nsecsElapsed() / 1e6;
        }
        for (int n = 19; n >= 15; --n) {
            timer.restart();
            button("skipPaperPushButton")->click();
            if (!waitFor(shown(15, n)))
                return 1;
            skip << timer.nsecsElapsed() / 1e6;
        }
    }
    // the composer's own rebuild on a change of type, for comparison: a draft costs as much
    QList<double> typeChange;
    {
        MainWindow window;
        if (!ComposerDriver::start(window))
            return 1;
        QElapsedTimer timer;
        for (int i = 0; i < 10; ++i) {
            timer.start();
            if (!ComposerDriver::chooseType(
                    window, i % 2 ? QStringLiteral("单选题") : QStringLiteral("填空题")))
                return 1;
            typeChange << timer.nsecsElapsed() / 1e6;
        }
    }
    std::printf("20 drafts, 60 formulas, 5 pictures (one 1200 px wide), 2 tables; 3 runs\n");
    report("first draft (5 uploads + body)", first);
    report("下一题", next);
    report("上一题", previous);
    report("跳过", skip);
    report("type change, empty composer", typeChange);
    std::printf("targets: first draft < 2000 ms with the read, each following < 100 ms\n");
    return 0;
}
