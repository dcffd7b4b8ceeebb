// Time from the list reply to every card laid out at its final height, and the memory the page
// holds, for pages of 10 and 20 exercises with stems, four options, a picture and a formula
// each; compared with one web view showing the same content as a single page.
#include "app/serverconfig.h"
#include "app/usersession.h"
#include "browser/exerciseviewwidget.h"
#include "browser/mainwindow.h"
#include "widgets/serverhtmlaccessmanager.h"

#include "bankseeder.h"
#include "benchserver.h"
#include "localserver.h"
#include "scriptedhttpresponder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWebFrame>
#include <QWebView>

#include <algorithm>
#include <cstdio>

namespace {

long residentKb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * 4 : 0;
}

struct Figures {
    double ms = 0;
    long kb = 0;
};

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

QString bodyOf(const ExerciseSummary &summary)
{
    const QString html = ExerciseViewWidget::cardHtml(summary, false);
    const int begin = html.indexOf(QStringLiteral("<body>")) + 6;
    return html.mid(begin, html.lastIndexOf(QStringLiteral("</body>")) - begin);
}

Figures singleView(const QJsonArray &items, int width)
{
    QString html = ExerciseViewWidget::cardHtml(ExerciseSummary(), false);
    html.truncate(html.indexOf(QStringLiteral("<body>")) + 6);
    for (const QJsonValue &item : items)
        html += QStringLiteral("<div style='border:6px solid #f9fbfc;margin-bottom:40px'>")
            + bodyOf(ExerciseSummary::fromJson(item.toObject())) + QStringLiteral("</div>");
    html += QStringLiteral("</body></html>");

    const long before = residentKb();
    QElapsedTimer clock;
    clock.start();
    auto view = new QWebView;
    ServerHtmlAccessManager::secure(view);
    view->resize(width, 600);
    view->show();
    bool loaded = false;
    QObject::connect(view, &QWebView::loadFinished, [&] { loaded = true; });
    view->setHtml(html, QUrl());
    if (!QTest::qWaitFor([&] { return loaded; }, 30000))
        std::fprintf(stderr, "single view: timed out\n");
    view->page()->mainFrame()->contentsSize(); // laid out
    Figures figures;
    figures.ms = clock.nsecsElapsed() / 1e6;
    QTest::qWait(300);
    figures.kb = residentKb() - before;
    delete view;
    return figures;
}

Figures cards(MainWindow &window, ScriptedHttpResponder &responder, const QJsonArray &items)
{
    responder.reset(QStringLiteral("/library/fetch/exercise"));
    responder.respondEnvelope(QStringLiteral("/library/fetch/exercise"), 0,
        QJsonObject {{QStringLiteral("result"), items}, {QStringLiteral("pages"), 1},
            {QStringLiteral("pageNum"), 1}});
    // the clock starts when the reply is handed to the window: our slot runs first
    QNetworkAccessManager *lists
        = window.findChildren<QNetworkAccessManager *>(QString(), Qt::FindDirectChildrenOnly)
              .at(14);
    QObject::disconnect(
        lists, &QNetworkAccessManager::finished, &window, &MainWindow::replyExercisesFinished);
    QElapsedTimer clock;
    clock.invalidate();
    long before = 0;
    auto start = QObject::connect(lists, &QNetworkAccessManager::finished, [&] {
        before = residentKb();
        clock.start();
    });
    QObject::connect(
        lists, &QNetworkAccessManager::finished, &window, &MainWindow::replyExercisesFinished);

    window.refreshExerciseList();
    auto settled = [&] {
        // the reply is in and its cards have replaced the old ones
        const auto list = window.exerciseCardList();
        if (!clock.isValid() || list.size() != items.size())
            return false;
        for (ExerciseViewWidget *card : list) {
            auto view = card->findChild<QWebView *>(QStringLiteral("webView"));
            if (card->collapsedContentHeight() == 0
                || view->height() != card->collapsedContentHeight())
                return false;
        }
        return true;
    };
    if (!QTest::qWaitFor(settled, 60000))
        std::fprintf(stderr, "cards: timed out\n");
    Figures figures;
    figures.ms = clock.isValid() ? clock.nsecsElapsed() / 1e6 : -1;
    QTest::qWait(300);
    figures.kb = residentKb() - before;
    QObject::disconnect(start);
    return figures;
}

QImage picture()
{
    QImage image(160, 80, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::blue, 3));
    painter.drawEllipse(10, 10, 140, 60);
    painter.drawLine(0, 40, 160, 40);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    BenchServer::prepare();
    QApplication app(argc, argv);

    LocalServer server;
    if (!BenchServer::start(server))
        return 1;
    BankSeeder seeder(server.baseUrl());
    if (!seeder.login())
        return 1;
    const int group = seeder.addGroup(QStringLiteral("bench"));
    const QString key = seeder.uploadImage(picture());
    const QStringList formulas {QStringLiteral("x^2+y^2=r^2"), QStringLiteral("\\frac{a}{b}+c"),
        QStringLiteral("\\sqrt{2}"), QStringLiteral("\\sum_{i=1}^{n} i")};
    for (int i = 0; i < 20; ++i) {
        const QString question = QStringLiteral(
            "<doc>第%1题：如图所示，圆的方程为<tex>%2</tex>，已知直线与圆相交于两点，求弦长，"
            "并说明理由。<v key=\"%3\" width=\"160\" height=\"80\"/></doc>")
                                     .arg(i + 1)
                                     .arg(formulas.at(i % formulas.size()).toHtmlEscaped(), key);
        const QStringList options {
            BankSeeder::doc(QStringLiteral("弦长为2，因为圆心到直线的距离为1")),
            BankSeeder::doc(QStringLiteral("弦长为3")), BankSeeder::doc(QStringLiteral("弦长为4")),
            BankSeeder::doc(QStringLiteral("无法确定"))};
        if (seeder.addChoiceExercise(group, QStringLiteral("单选题"), 1 + i % 5, question, options)
            < 0)
            return 1;
    }
    QJsonArray all;
    for (int page = 1; page <= 2; ++page) {
        const QJsonObject reply = seeder.post(QStringLiteral("/library/fetch/exercise"),
            {{QStringLiteral("groupId"), group}, {QStringLiteral("exerciseTypeId"), -1},
                {QStringLiteral("difficuty"), -1}, {QStringLiteral("pageNum"), page}});
        for (const QJsonValue &item : reply.value(QStringLiteral("data"))
                                          .toObject()
                                          .value(QStringLiteral("result"))
                                          .toArray())
            all << item;
    }

    ScriptedHttpResponder responder;
    responder.listen();
    LIBRARY_SERVER = BENCH_SERVER = responder.baseUrl();
    IMG_SERVER = server.baseUrl();
    UserSession::instance().userId = seeder.userId();
    UserSession::instance().loginToken = seeder.token();
    responder.respondEnvelope(QStringLiteral("/library/fetch/groups"), 0,
        QJsonArray {QJsonObject {{QStringLiteral("groupId"), group},
            {QStringLiteral("groupName"), QStringLiteral("bench")},
            {QStringLiteral("count"), 20}}});
    responder.respondEnvelope(QStringLiteral("/library/fetch/type"), 0, QJsonArray());
    responder.respondEnvelope(QStringLiteral("/library/fetch/exercise"), 0,
        QJsonObject {{QStringLiteral("result"), QJsonArray()}, {QStringLiteral("pages"), 0},
            {QStringLiteral("pageNum"), 0}});

    MainWindow window;
    window.resize(1280, 900);
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("repertoryPushButton"))->click();
    window.fetchGroups();
    if (!QTest::qWaitFor(
            [&] { return responder.count(QStringLiteral("/library/fetch/exercise")) > 0; }))
        return 1;
    QTest::qWait(300);

    // one pass to bring every picture and formula into the caches, so both sides run warm
    singleView(all, 900);

    std::printf("page  cards ms  cards KiB  single ms  single KiB  time ratio  memory ratio\n");
    for (int count : {10, 20}) {
        QJsonArray items;
        for (int i = 0; i < count; ++i)
            items << all.at(i);
        QList<double> cardMs, cardKb, singleMs, singleKb;
        for (int run = 0; run < 3; ++run) {
            const Figures c = cards(window, responder, items);
            cardMs << c.ms;
            cardKb << c.kb;
            const int width = window.exerciseCardList().isEmpty()
                ? 900
                : window.exerciseCardList()
                      .first()
                      ->findChild<QWebView *>(QStringLiteral("webView"))
                      ->width();
            const Figures s = singleView(items, width);
            singleMs << s.ms;
            singleKb << s.kb;
        }
        const double cm = median(cardMs), ck = median(cardKb), sm = median(singleMs),
                     sk = median(singleKb);
        std::printf("%4d  %8.0f  %9.0f  %9.0f  %10.0f  %10.1f  %12.1f\n", count, cm, ck, sm, sk,
            sm > 0 ? cm / sm : 0, sk > 0 ? ck / sk : 0);
    }
    // --shots DIR: the bank page against the server itself, one card expanded
    const int shots = app.arguments().indexOf(QStringLiteral("--shots"));
    if (shots > 0 && shots + 1 < app.arguments().size()) {
        seeder.addChoiceExercise(group, QStringLiteral("多选题"), 3,
            BankSeeder::doc(QStringLiteral("下列各数中是无理数的有")),
            {BankSeeder::doc(QStringLiteral("π")), BankSeeder::doc(QStringLiteral("0.5")),
                BankSeeder::doc(QStringLiteral("√2")), BankSeeder::doc(QStringLiteral("1/3"))});
        LIBRARY_SERVER = BENCH_SERVER = server.baseUrl();
        window.setWindowState(Qt::WindowNoState);
        window.resize(1280, 1000);
        window.fetchGroups();
        QTest::qWait(1500);
        if (!window.exerciseCardList().isEmpty()) {
            auto label
                = window.exerciseCardList().at(1)->findChild<QLabel *>(QStringLiteral("showLabel"));
            emit label->linkActivated(QStringLiteral("hide"));
        }
        QTest::qWait(1500);
        const QString dir = app.arguments().at(shots + 1);
        window.grab().save(dir + QStringLiteral("/bank.png"));
        auto scroll = window.findChild<QScrollArea *>(QStringLiteral("scrollArea_2"));
        scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
        QTest::qWait(500);
        window.grab().save(dir + QStringLiteral("/bank-pager.png"));
        std::printf("saved %s/bank.png and bank-pager.png\n", qPrintable(dir));
    }
    return 0;
}
