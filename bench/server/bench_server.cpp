// Fills one teacher's bank with 100,000 exercises and measures the exercise list (every
// filter, first, middle and last page) and add/modify over loopback with 8 concurrent clients,
// then the list with 500 connections open of which 100 ask at once.
// Usage: bench_server [--exercises N] [--requests N] [--clients N] [--keep DIR] [--only WORD]
//                     [--server PATH]
// (--only: just the cases whose name holds WORD, e.g. "list", "middle", "add"; --server: another
// quenmo-server binary, to compare two builds on the same machine load).
#include "database.h"
#include "seeder.h"

#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <nlohmann/json.hpp>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using nlohmann::json;
using Clock = std::chrono::steady_clock;

namespace {

int g_clients = 8;
int g_requests = 2000; // per measured case, spread over the clients
std::string g_only;
std::string g_server = QUENMO_SERVER_BIN;

// The list's target, on every page and filter; the writes' is a wish.
constexpr double ListP50 = 2, ListP99 = 10, WriteP99 = 10;
int g_missed = 0;

struct Ids {
    std::int64_t user = 0, folder = 0;
    std::int64_t single = 0, singleQ = 0, fill = 0, fillQ = 0, composite = 0, compositeOpen = 0,
                 compositeChoice = 0;
};

std::string optionText(bool isAnswer)
{
    json options = json::array();
    for (int i = 0; i < 4; ++i) {
        json o = {{"option_content", "<doc>选项<b>" + std::string(1, char('A' + i)) + "</b></doc>"},
            {"option_index", i}};
        if (isAnswer)
            o["isAnswer"] = i == 1;
        options.push_back(o);
    }
    return options.dump();
}

// Writes the exercises straight into the data folder while no server runs.
Ids fill(const std::string &dataDir, int count)
{
    Database db(dataDir + "/quenmo.db");
    db.migrate(&Seeder::seed);
    Ids ids;
    Database::Lease c = db.lease();
    {
        SqlStatement user(c->handle(), "SELECT id FROM users WHERE phone = '13800000002'");
        user.step();
        ids.user = user.integer(0);
    }
    auto type = [&](const char *name, std::int64_t &typeId) {
        SqlStatement s(c->handle(),
            std::string("SELECT id FROM exercise_types WHERE subject_code = 2 "
                        "AND name = '")
                + name + "'");
        s.step();
        typeId = s.integer(0);
    };
    auto question = [&](std::int64_t typeId, int position) {
        SqlStatement s(c->handle(),
            "SELECT id FROM question_types WHERE exercise_type_id = " + std::to_string(typeId)
                + " ORDER BY position LIMIT 1 OFFSET " + std::to_string(position));
        s.step();
        return s.integer(0);
    };
    type("单选题", ids.single);
    type("填空题", ids.fill);
    type("综合题", ids.composite);
    ids.singleQ = question(ids.single, 0);
    ids.fillQ = question(ids.fill, 0);
    ids.compositeOpen = question(ids.composite, 0);
    ids.compositeChoice = question(ids.composite, 1);

    Database::Transaction transaction(*c);
    c->exec("INSERT INTO folders(user_id, name, created_at) VALUES (" + std::to_string(ids.user)
        + ", '基准', 0)");
    ids.folder = c->lastInsertId();
    SqlStatement exercise(c->handle(),
        "INSERT INTO exercises(user_id, folder_id, exercise_type_id, subject_id, "
        "difficulty, content, created_at, created_date, modified_at, modifier_id) "
        "VALUES (?, ?, ?, 2, ?, ?, ?, '2026-01-01', ?, ?)");
    SqlStatement q(c->handle(),
        "INSERT INTO questions(exercise_id, position, question_index, "
        "questiontype_id, knowledge_ids, score, question_content, "
        "question_explain, option_content) VALUES (?, ?, ?, ?, '21, 22', 3, ?, "
        "'<doc>因为<i>所以</i></doc>', ?)");
    SqlStatement a(c->handle(),
        "INSERT INTO answers(question_id, position, answer_idx, content) "
        "VALUES (?, 0, 0, ?)");
    const std::string options = optionText(false);
    for (int i = 0; i < count; ++i) {
        const int kind = i % 4; // single, single, fill-in, composite
        const std::int64_t typeId = kind < 2 ? ids.single : kind == 2 ? ids.fill : ids.composite;
        exercise.bind(1, ids.user).bind(2, ids.folder).bind(3, typeId).bind(4, 1 + i % 5);
        exercise.bind(5,
            kind == 3 ? std::string("<doc><c>阅读</c><n/>正文<tex>x^2</tex></doc>")
                      : std::string());
        exercise.bind(6, std::int64_t(1767225600 + i)).bind(7, std::int64_t(1767225600 + i));
        exercise.bind(8, ids.user);
        exercise.run();
        const std::int64_t exerciseId = c->lastInsertId();
        auto addQuestion = [&](int position, std::int64_t questionType, bool choice) {
            q.bind(1, exerciseId).bind(2, position).bind(3, position + 1).bind(4, questionType);
            q.bind(5, "<doc>第" + std::to_string(i) + "题<w>题干</w><s2><c></c></s2></doc>");
            if (choice)
                q.bind(6, options);
            else
                q.bindNull(6);
            q.run();
            a.bind(1, c->lastInsertId()).bind(2, std::string(choice ? "B" : "<doc>答案</doc>"));
            a.run();
        };
        if (kind < 2)
            addQuestion(0, ids.singleQ, true);
        else if (kind == 2)
            addQuestion(0, ids.fillQ, false);
        else {
            addQuestion(0, ids.compositeOpen, false);
            addQuestion(1, ids.compositeChoice, true);
        }
    }
    transaction.commit();
    c->exec("ANALYZE");
    return ids;
}

// A minimal keep-alive HTTP/1.1 client: one request per write, reads by Content-Length.
class RawClient
{
public:
    explicit RawClient(int port)
        : m_port(port)
    { }
    ~RawClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    // Returns the response body; ok is false on any transport failure.
    std::string post(
        const std::string &path, const std::string &token, const std::string &body, bool &ok)
    {
        ok = false;
        for (int attempt = 0; attempt < 2; ++attempt) {
            if (m_fd < 0 && !connectNow())
                return std::string();
            std::string request = "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1:"
                + std::to_string(m_port) + "\r\nContent-Type: application/json;charset=UTF-8\r\n";
            if (!token.empty())
                request += "loginToken: " + token + "\r\n";
            request += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
            if (::send(m_fd, request.data(), request.size(), MSG_NOSIGNAL)
                == ssize_t(request.size())) {
                std::string response;
                if (readResponse(response)) {
                    ok = true;
                    return response;
                }
            }
            ::close(m_fd);
            m_fd = -1;
        }
        return std::string();
    }

private:
    bool connectNow()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(std::uint16_t(m_port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const int on = 1;
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        return true;
    }
    bool readResponse(std::string &body)
    {
        std::string data;
        char buffer[65536];
        size_t headerEnd = std::string::npos;
        size_t length = 0;
        for (;;) {
            if (headerEnd == std::string::npos) {
                headerEnd = data.find("\r\n\r\n");
                if (headerEnd != std::string::npos) {
                    const size_t at = data.find("Content-Length: ");
                    if (at == std::string::npos || at > headerEnd)
                        return false;
                    length = std::strtoul(data.c_str() + at + 16, nullptr, 10);
                    headerEnd += 4;
                }
            }
            if (headerEnd != std::string::npos && data.size() >= headerEnd + length) {
                body = data.substr(headerEnd, length);
                return true;
            }
            const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return false;
            data.append(buffer, size_t(n));
        }
    }
    int m_port;
    int m_fd = -1;
};

pid_t startServer(const std::string &dataDir, int port)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const std::string portText = std::to_string(port);
        std::freopen((dataDir + "/server.log").c_str(), "w", stderr);
        execl(g_server.c_str(), g_server.c_str(), "--port", portText.c_str(), "--data",
            dataDir.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500; ++i) {
        RawClient probe(port);
        bool ok = false;
        probe.post("/library/version/check", "", "{}", ok);
        if (ok)
            return pid;
        usleep(20000);
    }
    std::fprintf(stderr, "the server did not start\n");
    std::exit(1);
}

int freePort()
{
    // A plain socket closed again at once: the server must be the only listener on the port.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Figures {
    double p50, p99, mean, max;
    double perSecond;
    int failures;
};

// Runs makeBody(i) for g_requests requests spread over g_clients keep-alive clients.
template<typename MakeBody>
Figures measure(int port, const std::string &token, const std::string &path, MakeBody makeBody)
{
    std::vector<std::vector<double>> samples(static_cast<size_t>(g_clients));
    std::atomic<int> next {0};
    std::atomic<int> failures {0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < g_clients; ++t) {
        threads.emplace_back([&, t] {
            RawClient client(port);
            for (int i = next++; i < g_requests; i = next++) {
                const std::string body = makeBody(i);
                const auto begin = Clock::now();
                bool ok = false;
                const std::string reply = client.post(path, token, body, ok);
                const double ms
                    = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
                if (!ok || json::parse(reply, nullptr, false).value("status", -1) != 0)
                    ++failures;
                samples[size_t(t)].push_back(ms);
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::vector<double> all;
    for (const auto &s : samples)
        all.insert(all.end(), s.begin(), s.end());
    std::sort(all.begin(), all.end());
    Figures f {};
    if (all.empty())
        return f;
    f.p50 = all[all.size() / 2];
    f.p99 = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    f.max = all.back();
    double sum = 0;
    for (double v : all)
        sum += v;
    f.mean = sum / double(all.size());
    f.perSecond = double(all.size()) / seconds;
    f.failures = failures;
    return f;
}

void print(const std::string &name, const Figures &f, double p50Target, double p99Target)
{
    const bool missed = f.failures || f.p50 >= p50Target || f.p99 >= p99Target;
    g_missed += missed;
    std::printf("%-44s p50 %6.2f ms  p99 %6.2f ms  mean %6.2f ms  max %7.2f ms  %7.0f req/s%s%s\n",
        name.c_str(), f.p50, f.p99, f.mean, f.max, f.perSecond,
        f.failures ? ("  FAILURES " + std::to_string(f.failures)).c_str() : "",
        missed ? "  (over target)" : "");
}

// Measures and prints one case unless --only leaves it out.
template<typename MakeBody>
void run(const std::string &name, int port, const std::string &token, const std::string &path,
    MakeBody makeBody, double p50Target, double p99Target)
{
    if (!g_only.empty() && name.find(g_only) == std::string::npos)
        return;
    print(name, measure(port, token, path, makeBody), p50Target, p99Target);
}

// difficulty -1: 1 + i % 5.
json addBody(const Ids &ids, std::int64_t exerciseId, int i, int difficulty = -1)
{
    json question
        = {{"questionIndex", 1}, {"questiontypeId", ids.singleQ}, {"knowledgeIds", "21, 22"},
            {"score", 3}, {"questionContent", "<doc>新题" + std::to_string(i) + "<b>粗</b></doc>"},
            {"questionExplain", "<doc>解析</doc>"}, {"optionContent", optionText(exerciseId > 0)}};
    json exercise = {{"exerciseTypeId", ids.single}, {"subjectId", 2},
        {"difficultyDegree", difficulty < 0 ? 1 + i % 5 : difficulty}, {"folderId", ids.folder},
        {"modifierId", ids.user}, {"content", ""}};
    if (exerciseId > 0)
        exercise["id"] = exerciseId;
    return {{"exercise", exercise}, {"subjectId", 2},
        {"questionWraps",
            json::array({{{"question", question},
                {"answers", json::array({{{"answer", {{"answerIdx", 0}, {"content", "B"}}}}})}}})}};
}

// What one durable write costs on this disk: a page written into the data folder and synced,
// as a commit under synchronous=FULL does at least once. No write reply can beat its tail.
void printDiskFloor(const std::string &dataDir)
{
    if (!g_only.empty()
        && std::string("add exercise modify exercise").find(g_only) == std::string::npos)
        return;
    const std::string path = dataDir + "/disk-probe";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    std::vector<char> page(4096, 'q');
    for (int i = 0; i < 64; ++i)
        (void)!::pwrite(fd, page.data(), page.size(), off_t(i) * 4096);
    ::fsync(fd);
    std::vector<double> ms;
    for (int i = 0; i < 300; ++i) {
        const auto start = Clock::now();
        (void)!::pwrite(fd, page.data(), page.size(), off_t(i % 64) * 4096);
        ::fdatasync(fd);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    ::close(fd);
    ::unlink(path.c_str());
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s p50 %6.2f ms  p99 %6.2f ms  (the floor under every write reply)\n",
        "disk: one page written and synced", ms[ms.size() / 2], ms[ms.size() * 99 / 100]);
}

} // namespace

int main(int argc, char **argv)
{
    int exercises = 100000;
    std::string keep;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--exercises")
            exercises = std::atoi(argv[i + 1]);
        else if (arg == "--requests")
            g_requests = std::atoi(argv[i + 1]);
        else if (arg == "--clients")
            g_clients = std::atoi(argv[i + 1]);
        else if (arg == "--keep")
            keep = argv[i + 1];
        else if (arg == "--only")
            g_only = argv[i + 1];
        else if (arg == "--server")
            g_server = argv[i + 1];
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    char pattern[] = "/tmp/quenmo-bench-XXXXXX";
    const std::string dataDir = keep.empty() ? std::string(mkdtemp(pattern)) : keep;

    auto begin = Clock::now();
    const Ids ids = fill(dataDir, exercises);
    std::printf("filled %d exercises in %.1f s (data in %s)\n", exercises,
        std::chrono::duration<double>(Clock::now() - begin).count(), dataDir.c_str());

    const int port = freePort();
    const pid_t server = startServer(dataDir, port);
    RawClient client(port);
    bool ok = false;
    const std::string login = client.post(
        "/user/login", "", R"({"phoneNumber":"13800000002","password":"quenmo123"})", ok);
    if (!ok) {
        std::fprintf(stderr, "login failed\n");
        return 1;
    }
    const std::string token = json::parse(login)["data"]["loginToken"];
    std::printf("%d clients, %d requests per case, page size 10\n", g_clients, g_requests);
    std::printf("targets: list p50 < %.0f ms and p99 < %.0f ms on every page; add and modify p99 "
                "< %.0f ms\n\n",
        ListP50, ListP99, WriteP99);

    struct Filter {
        const char *name;
        std::int64_t type;
        int difficulty;
    };
    const Filter filters[] = {{"all", -1, -1}, {"type single choice", ids.single, -1},
        {"difficulty 3", -1, 3}, {"type fill-in + difficulty 3", ids.fill, 3}};
    for (const Filter &filter : filters) {
        auto listBody = [&](int page) {
            return json {{"groupId", ids.folder}, {"exerciseTypeId", filter.type},
                {"difficuty", filter.difficulty}, {"pageNum", page}}
                .dump();
        };
        const std::string probe = client.post("/library/fetch/exercise", token, listBody(0), ok);
        if (!ok) {
            std::fprintf(stderr, "list request failed\n");
            return 1;
        }
        const json first = json::parse(probe);
        const int pages = first["data"]["pages"];
        const std::string list = "/library/fetch/exercise";
        const std::string name = std::string("list ") + filter.name;
        run(
            name + ", first page", port, token, list, [&](int) { return listBody(1); }, ListP50,
            ListP99);
        run(
            name + ", middle page " + std::to_string(pages / 2), port, token, list,
            [&](int) { return listBody(pages / 2); }, ListP50, ListP99);
        run(
            name + ", last page " + std::to_string(pages), port, token, list,
            [&](int) { return listBody(pages); }, ListP50, ListP99);
    }
    const double none = 1e9;
    const std::string crowd = "list first page, 500 connections (400 idle, 100 active)";
    if (g_only.empty() || crowd.find(g_only) != std::string::npos) {
        // Keep-alive connections that asked once and then stay silent.
        std::vector<std::unique_ptr<RawClient>> idle;
        int refused = 0;
        for (int i = 0; i < 400; ++i) {
            idle.push_back(std::make_unique<RawClient>(port));
            idle.back()->post("/library/version/check", "", "{}", ok);
            refused += !ok;
        }
        if (refused)
            std::printf("%d idle connections got no answer\n", refused);
        const int clients = g_clients;
        g_clients = 100;
        const std::string body = json {{"groupId", ids.folder}, {"exerciseTypeId", -1},
            {"difficuty", -1},
            {"pageNum", 1}}.dump();
        run(
            crowd, port, token, "/library/fetch/exercise", [&](int) { return body; }, none, none);
        g_clients = clients;
    }
    printDiskFloor(dataDir);
    run(
        "add exercise", port, token, "/library/add/exercise",
        [&](int i) { return addBody(ids, 0, i).dump(); }, none, WriteP99);
    run(
        "modify exercise", port, token, "/library/modify/exercise",
        [&](int i) { return addBody(ids, 1 + (i * 37) % exercises, i).dump(); }, none, WriteP99);
    // As a teacher mostly modifies: the texts, in the same group, type and difficulty. The
    // filled exercise with id n is a single choice when (n - 1) % 4 < 2, at 1 + (n - 1) % 5.
    run(
        "modify exercise text only", port, token, "/library/modify/exercise",
        [&](int i) {
            const std::int64_t id = 1 + 4 * std::int64_t((i * 37) % (exercises / 4)) + i % 2;
            return addBody(ids, id, i, int(1 + (id - 1) % 5)).dump();
        },
        none, WriteP99);
    run(
        "fetch exercise by id", port, token, "/library/fetch/exercise/id",
        [&](int i) {
            return json {{"exerciseId", 1 + (i * 7919) % exercises}}.dump();
        },
        none, none);
    std::printf("\n%s\n",
        g_missed ? (std::to_string(g_missed) + " case(s) over target").c_str()
                 : "every case within target");

    kill(server, SIGTERM);
    int status = 0;
    waitpid(server, &status, 0);
    if (keep.empty())
        std::system(("rm -rf '" + dataDir + "'").c_str());
    return 0;
}
