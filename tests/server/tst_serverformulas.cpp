#include "localserver.h"
#include "serverclient.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QtTest>

#include <sqlite3.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Hostile formulas against the real server: nothing may leave TeX's scratch folder, no render
// may take the machine's memory, and a crowd of renders waits in a bounded line.
class TestServerFormulas : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void postScriptNeverRuns_data();
    void postScriptNeverRuns();
    void waysOutAreRefusedBeforeTeX_data();
    void waysOutAreRefusedBeforeTeX();
    void ordinaryMathStillRenders_data();
    void ordinaryMathStillRenders();
    void giantRuleTakesNoMemory();
    void crowdBeyondTheLineIsAnsweredAtOnce();
    void lineIsFirstComeFirstServed();
    void cacheKeepsToItsSize();

private:
    LocalServer m_server;
    std::unique_ptr<ServerClient> m_client;
};

namespace {

QString formulaPath(const QByteArray &formula)
{
    return QStringLiteral("/api/generate/formula?formulaStr=")
        + QString::fromLatin1(formula.toPercentEncoding());
}

// About n tenths of a second of TeX arithmetic before an x; tag keeps the formula unique.
QByteArray slowFormula(int n, const QByteArray &tag)
{
    return "\\count1=0 \\loop\\advance\\count1 by 1 \\ifnum\\count1<"
        + QByteArray::number(n * 160000) + "\\repeat x_{" + tag + "}";
}

qint64 rssKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}

// The resident memory of the server and of every process it started, in KiB.
qint64 treeRssKb(qint64 pid)
{
    qint64 total = rssKb(pid);
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 child = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields.at(1).toLongLong() == pid)
            total += rssKb(child);
    }
    return total;
}

struct Answer {
    QByteArray body;
    QByteArray contentType;
    int order = -1; // place among the answers
    bool isImage() const { return contentType == "image/png" && !QImage::fromData(body).isNull(); }
};

// Sends every GET at once, each on a connection of its own, optionally spaced by gapMs, and
// waits (at most timeoutMs) for all answers.
std::vector<Answer> getAll(const QString &base, const QStringList &paths, int gapMs, int timeoutMs)
{
    std::vector<Answer> answers(size_t(paths.size()));
    std::vector<std::unique_ptr<QNetworkAccessManager>> managers;
    int done = 0;
    for (int i = 0; i < paths.size(); ++i) {
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkReply *reply = managers.back()->get(QNetworkRequest(QUrl(base + paths.at(i))));
        QObject::connect(reply, &QNetworkReply::finished, reply, [&answers, &done, reply, i] {
            answers[size_t(i)].body = reply->readAll();
            answers[size_t(i)].contentType
                = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
            answers[size_t(i)].order = done++;
            reply->deleteLater();
        });
        if (gapMs > 0)
            QTest::qWait(gapMs);
    }
    QElapsedTimer clock;
    clock.start();
    while (done < paths.size() && clock.elapsed() < timeoutMs)
        QTest::qWait(20);
    return answers;
}

} // namespace

void TestServerFormulas::initTestCase()
{
    // Enough request threads that the render line, not the HTTP front, decides who waits.
    QVERIFY2(m_server.start({QStringLiteral("--threads"), QStringLiteral("48")}),
        qPrintable(m_server.errorString()));
    m_client = std::make_unique<ServerClient>(m_server.baseUrl());
}

void TestServerFormulas::postScriptNeverRuns_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("special") << QByteArray("x\\special{") << QByteArray("}");
    QTest::newRow("special as an environment")
        << QByteArray("x\\begin{special}{") << QByteArray("}\\end{special}");
    QTest::newRow("special by name")
        << QByteArray("x\\csname special\\endcsname{") << QByteArray("}");
    QTest::newRow("special spelt with ^^") << QByteArray("x\\spe^^63ial{") << QByteArray("}");
}

void TestServerFormulas::postScriptNeverRuns()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    const QString target = QDir::tempPath()
        + QStringLiteral("/quenmo-ps-%1-%2")
              .arg(QCoreApplication::applicationPid())
              .arg(QString::number(qHash(before)));
    QFile::remove(target);
    const QByteArray postScript = "ps: (" + target.toUtf8() + ") (w) file closefile";
    const ServerClient::Reply reply = m_client->get(formulaPath(before + postScript + after));
    const bool written = QFile::exists(target);
    QFile::remove(target);
    QVERIFY2(!written, qPrintable(target));
    // Refused like a formula that does not compile: a short text, not a picture.
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY(QImage::fromData(reply.body).isNull());
    QVERIFY(!reply.body.isEmpty() && reply.body.size() < 300);
}

void TestServerFormulas::waysOutAreRefusedBeforeTeX_data()
{
    QTest::addColumn<QByteArray>("formula");
    QTest::newRow("read a file") << QByteArray("\\input{formula.tex}");
    QTest::newRow("file test in camel case") << QByteArray("\\IfFileExists{x}{a}{b}");
    QTest::newRow("name from arguments") << QByteArray("\\ExpandArgs{c}\\x{y}");
    QTest::newRow("category codes") << QByteArray("\\catcode`\\~=0 x");
    QTest::newRow("an alias") << QByteArray("\\let\\b\\relax x");
    QTest::newRow("environment name built by a macro") << QByteArray("\\begin{\\x}a\\end{\\x}");
    QTest::newRow("environment without braces") << QByteArray("\\begin matrix a\\end{matrix}");
    QTest::newRow("empty environment name") << QByteArray("\\begin{}a");
    QTest::newRow("file environment") << QByteArray("\\begin{filecontents}x\\end{filecontents}");
}

void TestServerFormulas::waysOutAreRefusedBeforeTeX()
{
    QFETCH(QByteArray, formula);
    const ServerClient::Reply reply = m_client->get(formulaPath(formula));
    QCOMPARE(reply.httpStatus, 200);
    QVERIFY2(reply.body.contains("not allowed") || reply.body.contains("needs an environment"),
        reply.body.constData());
}

void TestServerFormulas::ordinaryMathStillRenders_data()
{
    QTest::addColumn<QByteArray>("formula");
    QTest::newRow("matrix") << QByteArray("\\begin{pmatrix} a & b \\\\ c & d \\end{pmatrix}");
    QTest::newRow("space before the name") << QByteArray("\\begin {cases} x \\end {cases}");
    QTest::newRow("array") << QByteArray("\\left(\\begin{array}{cc} 1 & 2 \\end{array}\\right)");
    QTest::newRow("operators") << QByteArray(
        "\\operatorname{sin} x \\bullet \\mathopen{[}y\\mathclose{]}");
    QTest::newRow("a trailing backslash") << QByteArray("x+1\\");
}

void TestServerFormulas::ordinaryMathStillRenders()
{
    QFETCH(QByteArray, formula);
    const ServerClient::Reply reply = m_client->get(formulaPath(formula));
    QVERIFY2(!QImage::fromData(reply.body).isNull(), reply.body.constData());
}

void TestServerFormulas::giantRuleTakesNoMemory()
{
    const qint64 pid = m_server.processId();
    QVERIFY(pid > 0);
    std::atomic<bool> sampling {true};
    std::atomic<qint64> peakKb {0};
    std::thread sampler([&] {
        while (sampling) {
            const qint64 kb = treeRssKb(pid);
            if (kb > peakKb)
                peakKb = kb;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    QNetworkAccessManager manager;
    QNetworkReply *rule = manager.get(
        QNetworkRequest(QUrl(m_server.baseUrl() + formulaPath("\\rule{16000pt}{16000pt}"))));
    // Teachers keep logging in while it renders.
    ServerClient other(m_server.baseUrl());
    for (int i = 0; i < 3; ++i)
        QCOMPARE(other.login(QStringLiteral("13800000002")).status(), 0);
    QSignalSpy finished(rule, &QNetworkReply::finished);
    QVERIFY(rule->isFinished() || finished.wait(20000));
    sampling = false;
    sampler.join();
    const QByteArray body = rule->readAll();
    rule->deleteLater();
    QVERIFY(QImage::fromData(body).isNull());
    QVERIFY2(peakKb < 400 * 1024, qPrintable(QStringLiteral("peak %1 KiB").arg(peakKb.load())));
    QCOMPARE(m_client->login(QStringLiteral("13800000001")).status(), 0);
}

void TestServerFormulas::crowdBeyondTheLineIsAnsweredAtOnce()
{
    // Two render at a time and sixteen may wait: of forty at once, some must be turned away
    // with the short text rather than wait for all the others.
    QStringList paths;
    for (int i = 0; i < 40; ++i)
        paths << formulaPath(slowFormula(2, "crowd" + QByteArray::number(i)));
    const std::vector<Answer> answers = getAll(m_server.baseUrl(), paths, 0, 120000);
    // (on a machine busy with other work a render in line may pass its time limit: that is
    // still an answer, and says so)
    int images = 0, refused = 0, late = 0;
    for (const Answer &answer : answers) {
        QVERIFY(answer.order >= 0);
        if (answer.isImage())
            ++images;
        else if (answer.body.contains("try again"))
            ++refused;
        else if (answer.body.contains("took longer than 5 s"))
            ++late;
    }
    QVERIFY2(images >= 2, qPrintable(QString::number(images)));
    QVERIFY2(refused >= 10, qPrintable(QString::number(refused)));
    QVERIFY2(late <= 4, qPrintable(QString::number(late)));
    QCOMPARE(images + refused + late, 40);
}

void TestServerFormulas::lineIsFirstComeFirstServed()
{
    // Two long renders hold both turns; ten short ones then join the line one after another,
    // each sent once the one before it is in line (the server says so in its log) or already
    // rendering. They must take their turns in that order: the order their scratch folders
    // show up in, not the order of their answers, which two turns may swap.
    const QString scratch = m_server.dataDir() + QStringLiteral("/scratch");
    QMap<QString, int> firstSeen; // tag -> the look that first found its render
    int looks = 0;
    auto look = [&] {
        ++looks;
        const QStringList dirs = QDir(scratch).entryList({QStringLiteral("formula-*")}, QDir::Dirs);
        for (const QString &dir : dirs) {
            QFile tex(scratch + QLatin1Char('/') + dir + QStringLiteral("/formula.tex"));
            if (!tex.open(QIODevice::ReadOnly))
                continue;
            const QByteArray text = tex.readAll();
            const int at = text.indexOf("x_{");
            const int end = text.indexOf('}', at);
            if (at < 0 || end < 0)
                continue;
            const QString tag = QString::fromLatin1(text.mid(at + 3, end - at - 3));
            if (!firstSeen.contains(tag))
                firstSeen[tag] = looks;
        }
    };
    auto waitsLogged = [&] { return m_server.log().count("formula waits for a turn"); };

    std::vector<std::unique_ptr<QNetworkAccessManager>> managers; // a connection each
    std::vector<int> order; // answer order by request
    std::vector<QByteArray> bodies;
    std::vector<QByteArray> types;
    int answered = 0;
    auto send = [&](const QByteArray &formula) {
        const size_t i = order.size();
        order.push_back(-1);
        bodies.emplace_back();
        types.emplace_back();
        managers.push_back(std::make_unique<QNetworkAccessManager>());
        QNetworkReply *reply = managers.back()->get(
            QNetworkRequest(QUrl(m_server.baseUrl() + formulaPath(formula))));
        QObject::connect(reply, &QNetworkReply::finished, reply, [&, reply, i] {
            bodies[i] = reply->readAll();
            types[i] = reply->header(QNetworkRequest::ContentTypeHeader).toByteArray();
            order[i] = answered++;
            reply->deleteLater();
        });
    };
    // Waits (looking at the scratch folder all along) until done() or the time is up.
    auto waitFor = [&](const std::function<bool()> &done, int timeoutMs) {
        QElapsedTimer clock;
        clock.start();
        while (!done() && clock.elapsed() < timeoutMs) {
            QTest::qWait(5);
            look();
        }
        return done();
    };

    send(slowFormula(4, "holdA"));
    send(slowFormula(4, "holdB"));
    QVERIFY(waitFor(
        [&] {
            return firstSeen.contains(QStringLiteral("holdA"))
                && firstSeen.contains(QStringLiteral("holdB"));
        },
        30000));
    const int lineLength = 10;
    for (int k = 0; k < lineLength; ++k) {
        const QString tag = QStringLiteral("line%1").arg(k);
        const int waitsBefore = waitsLogged();
        send(slowFormula(1, tag.toLatin1()));
        const size_t i = order.size() - 1;
        QVERIFY2(waitFor(
                     [&] {
                         return waitsLogged() > waitsBefore || firstSeen.contains(tag)
                             || order[i] >= 0;
                     },
                     30000),
            qPrintable(tag));
    }
    QVERIFY(waitFor([&] { return answered == lineLength + 2; }, 120000));
    for (size_t i = 0; i < order.size(); ++i)
        QVERIFY2(types[i] == "image/png" && !QImage::fromData(bodies[i]).isNull(),
            bodies[i].left(200).constData());

    // Some of them waited (else the line was never tested), and every render seen started in
    // the order its request joined the line.
    QVERIFY2(waitsLogged() >= lineLength / 2, qPrintable(QString::number(waitsLogged())));
    QList<int> seen;
    for (int k = 0; k < lineLength; ++k)
        if (firstSeen.contains(QStringLiteral("line%1").arg(k)))
            seen << k;
    QVERIFY2(seen.size() >= lineLength / 2, qPrintable(QString::number(seen.size())));
    // Two renders take the two turns freed at about the same time: either may make its folder
    // first. One that started before any render ahead of it but its neighbour broke the line.
    for (int a = 0; a < seen.size(); ++a)
        for (int b = a + 1; b < seen.size(); ++b) {
            const int k = seen[a], later = seen[b];
            const QString first = QStringLiteral("line%1").arg(k);
            const QString second = QStringLiteral("line%1").arg(later);
            QVERIFY2(firstSeen[first] <= firstSeen[second] || later == k + 1,
                qPrintable(QStringLiteral("%1 at look %2, %3 at look %4")
                               .arg(first)
                               .arg(firstSeen[first])
                               .arg(second)
                               .arg(firstSeen[second])));
        }
}

void TestServerFormulas::cacheKeepsToItsSize()
{
    LocalServer small;
    QVERIFY2(small.start({QStringLiteral("--formula-cache-kb"), QStringLiteral("4")}),
        qPrintable(small.errorString()));
    ServerClient client(small.baseUrl());
    QByteArray first;
    for (int i = 0; i < 10; ++i) {
        const QByteArray formula = "\\sum_{k=1}^{n} \\frac{a_k}{b_k} + " + QByteArray::number(i);
        const ServerClient::Reply reply = client.get(formulaPath(formula));
        QVERIFY(!QImage::fromData(reply.body).isNull());
        if (i == 0)
            first = reply.body;
    }
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open_v2((small.dataDir() + QStringLiteral("/quenmo.db")).toUtf8().constData(),
                 &db, SQLITE_OPEN_READONLY, nullptr),
        SQLITE_OK);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_stmt *statement = nullptr;
    QCOMPARE(sqlite3_prepare_v2(db,
                 "SELECT COALESCE(SUM(length(png)), 0), COUNT(*), "
                 "SUM(formula LIKE '%+ 0'), SUM(formula LIKE '%+ 9') FROM formulas",
                 -1, &statement, nullptr),
        SQLITE_OK);
    QCOMPARE(sqlite3_step(statement), SQLITE_ROW);
    const qint64 bytes = sqlite3_column_int64(statement, 0);
    const int rows = sqlite3_column_int(statement, 1);
    const int oldest = sqlite3_column_int(statement, 2);
    const int newest = sqlite3_column_int(statement, 3);
    sqlite3_finalize(statement);
    sqlite3_close(db);
    QVERIFY2(bytes <= 4096, qPrintable(QString::number(bytes)));
    QVERIFY(rows >= 1 && rows < 10);
    QCOMPARE(oldest, 0);
    QCOMPARE(newest, 1);
    // What left the cache is simply drawn again.
    QCOMPARE(client.get(formulaPath("\\sum_{k=1}^{n} \\frac{a_k}{b_k} + 0")).body, first);
}

QTEST_GUILESS_MAIN(TestServerFormulas)
#include "tst_serverformulas.moc"
