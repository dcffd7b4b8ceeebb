#include "formularenderer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Parts of control word names that reach files, PostScript, category codes or TeX's own
// machinery; no formula needs them.
const char *const forbiddenParts[] = {
    "special",
    "input",
    "include",
    "file",
    "openin",
    "openout",
    "read",
    "write",
    "immediate",
    "csname",
    "code",
    "primitive",
    "scantokens",
    "expl",
    "package",
    "class",
    "shipout",
    "output",
    "every",
    "makeat",
    "pdf",
    "lua",
    "xetex",
    "font",
    "usename",
    "nameuse",
    "expandargs",
    "copy",
    "dump",
};
// Aliases would carry \begin past the check of its argument.
const char *const forbiddenNames[] = {"let", "futurelet"};

bool isLetter(char ch)
{
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

bool forbiddenName(const std::string &name)
{
    std::string lower = name;
    for (char &ch : lower)
        if (ch >= 'A' && ch <= 'Z')
            ch = char(ch - 'A' + 'a');
    for (const char *part : forbiddenParts)
        if (lower.find(part) != std::string::npos)
            return true;
    for (const char *whole : forbiddenNames)
        if (lower == whole)
            return true;
    return false;
}

std::string readFile(const std::string &path, size_t limit)
{
    std::string bytes;
    std::FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buffer[65536];
    size_t n;
    while (bytes.size() < limit && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

void removeTree(const std::string &dir)
{
    if (DIR *d = ::opendir(dir.c_str())) {
        while (dirent *entry = ::readdir(d)) {
            if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                continue;
            const std::string path = dir + "/" + entry->d_name;
            struct stat info { };
            if (::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
                removeTree(path);
            else
                ::unlink(path.c_str());
        }
        ::closedir(d);
    }
    ::rmdir(dir.c_str());
}

// Runs argv in dir with env; -2 on time-out, -1 when it could not start, else the exit code.
int run(const std::vector<std::string> &args, const std::vector<std::string> &env,
    const std::string &dir, std::chrono::steady_clock::time_point deadline)
{
    std::vector<char *> argv, envp;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    for (const std::string &e : env)
        envp.push_back(const_cast<char *>(e.c_str()));
    envp.push_back(nullptr);
    const std::string logPath = dir + "/run.out";

    const pid_t pid = ::fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        ::setpgid(0, 0);
        if (::chdir(dir.c_str()) != 0)
            ::_exit(126);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in >= 0)
            ::dup2(in, 0);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        // A giant \rule would otherwise have dvipng allocate gigabytes for its bitmap.
        struct rlimit addressSpace = {
            rlim_t(FormulaRenderer::ChildAddressSpace), rlim_t(FormulaRenderer::ChildAddressSpace)};
        ::setrlimit(RLIMIT_AS, &addressSpace);
        struct rlimit fileSize
            = {rlim_t(FormulaRenderer::ChildFileSize), rlim_t(FormulaRenderer::ChildFileSize)};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        struct rlimit cpu = {rlim_t(FormulaRenderer::TimeLimitMs / 1000 + 1),
            rlim_t(FormulaRenderer::TimeLimitMs / 1000 + 1)};
        ::setrlimit(RLIMIT_CPU, &cpu);
        struct rlimit core = {0, 0};
        ::setrlimit(RLIMIT_CORE, &core);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    // The child is waited for without reaping it, so its process group cannot be taken by a
    // new process before the group is killed: nothing it started may outlive it.
    int failure = 0;
    for (;;) {
        siginfo_t info {};
        if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
            if (errno == EINTR)
                continue;
            failure = -1;
            break;
        }
        if (info.si_pid == pid)
            break;
        if (std::chrono::steady_clock::now() >= deadline) {
            failure = -2;
            break;
        }
        ::usleep(2000);
    }
    ::kill(-pid, SIGKILL);
    if (failure)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) { }
    if (failure)
        return failure;
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return -3;
}

// The first TeX error line of the log ("! Undefined control sequence.").
std::string texError(const std::string &log)
{
    size_t at = log.find("\n! ");
    if (at == std::string::npos)
        return "TeX error";
    at += 1;
    const size_t end = log.find('\n', at);
    std::string line = log.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (line.size() > 200)
        line.resize(200);
    return line;
}

std::string findProgram(const char *name)
{
    for (const char *dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::string();
}

} // namespace

FormulaRenderer::FormulaRenderer(Database &db, std::string dataDir, std::int64_t cacheBytes)
    : m_db(db)
    , m_dataDir(std::move(dataDir))
    , m_cacheLimit(cacheBytes)
{
    ::mkdir((m_dataDir + "/scratch").c_str(), 0700);
    ::mkdir((m_dataDir + "/texmf-var").c_str(), 0700);
}

std::string FormulaRenderer::refusal(const std::string &formula)
{
    // ^^ spells any character, so any name, past the checks below.
    if (formula.find("^^") != std::string::npos)
        return "^^ is not allowed in a formula";
    for (size_t i = 0; i < formula.size(); ++i) {
        if (formula[i] != '\\')
            continue;
        if (i + 1 >= formula.size() || !isLetter(formula[i + 1])) {
            ++i; // a control symbol such as \\ or \{
            continue;
        }
        size_t end = i + 1;
        while (end < formula.size() && isLetter(formula[end]))
            ++end;
        const std::string name = formula.substr(i + 1, end - i - 1);
        if (forbiddenName(name))
            return "\\" + name + " is not allowed in a formula";
        i = end - 1;
        if (name != "begin" && name != "end")
            continue;
        // \begin{X} runs the command \X: only a plain environment name may follow.
        size_t at = end;
        while (at < formula.size() && (formula[at] == ' ' || formula[at] == '\t'))
            ++at;
        if (at >= formula.size() || formula[at] != '{')
            return "\\" + name + " needs an environment name in braces";
        size_t close = at + 1;
        while (close < formula.size() && (isLetter(formula[close]) || formula[close] == '*'))
            ++close;
        if (close >= formula.size() || formula[close] != '}' || close == at + 1)
            return "\\" + name + " needs an environment name in braces";
        const std::string environment = formula.substr(at + 1, close - at - 1);
        if (forbiddenName(environment))
            return "environment " + environment + " is not allowed in a formula";
        i = close;
    }
    return std::string();
}

FormulaRenderer::Result FormulaRenderer::render(const std::string &formula)
{
    Result result;
    if (formula.empty() || formula.find_first_not_of(" \t\r\n") == std::string::npos) {
        result.error = "empty formula";
        return result;
    }
    if (formula.size() > MaxFormulaBytes) {
        result.error = "formula too long";
        return result;
    }
    result.error = refusal(formula);
    if (!result.error.empty())
        return result;
    {
        Database::Lease c = m_db.lease();
        SqlStatement &select = c->cached("SELECT png FROM formulas WHERE formula = ?");
        select.bind(1, formula);
        if (select.step()) {
            result.ok = true;
            result.png = select.text(0);
            select.reset();
            return result;
        }
    }
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_waiting.size() >= MaxQueuedRenders) {
            result.error = "too many formulas waiting, try again";
            return result;
        }
        const std::uint64_t ticket = m_nextTicket++;
        m_waiting.push_back(ticket);
        if (m_running >= MaxConcurrentRenders || m_waiting.front() != ticket)
            std::fprintf(stderr, "formula waits for a turn: %zu before it in line, %d rendering\n",
                m_waiting.size() - 1, m_running);
        m_free.wait(lock, [this, ticket] {
            return m_running < MaxConcurrentRenders && m_waiting.front() == ticket;
        });
        m_waiting.pop_front();
        ++m_running;
        // The next in line may find a second free turn.
        m_free.notify_all();
    }
    struct Turn {
        FormulaRenderer *renderer;
        ~Turn()
        {
            std::lock_guard<std::mutex> lock(renderer->m_mutex);
            --renderer->m_running;
            renderer->m_free.notify_all();
        }
    };
    {
        Turn turn {this};
        result = renderUncached(formula);
    }
    if (result.ok)
        remember(formula, result.png);
    return result;
}

void FormulaRenderer::remember(const std::string &formula, const std::string &png)
{
    std::lock_guard<std::mutex> lock(m_cacheMutex);
    Database::Lease c = m_db.lease();
    if (m_cacheBytes < 0) {
        SqlStatement &sum = c->cached("SELECT COALESCE(SUM(length(png)), 0) FROM formulas");
        sum.step();
        m_cacheBytes = sum.integer(0);
        sum.reset();
    }
    SqlStatement &old = c->cached("SELECT length(png) FROM formulas WHERE formula = ?");
    old.bind(1, formula);
    if (old.step())
        m_cacheBytes -= old.integer(0);
    old.reset();
    SqlStatement &insert
        = c->cached("INSERT OR REPLACE INTO formulas(formula, png, created_at) VALUES (?, ?, ?)");
    insert.bind(1, formula).bindBlob(2, png).bind(3, std::int64_t(std::time(nullptr)));
    insert.run();
    m_cacheBytes += std::int64_t(png.size());
    if (m_cacheBytes <= m_cacheLimit)
        return;
    // Oldest out: find the newest id that frees enough, then drop everything up to it.
    const std::int64_t excess = m_cacheBytes - m_cacheLimit;
    std::int64_t freed = 0;
    std::int64_t last = -1;
    SqlStatement &oldest = c->cached("SELECT id, length(png) FROM formulas ORDER BY id");
    while (freed < excess && oldest.step()) {
        last = oldest.integer(0);
        freed += oldest.integer(1);
    }
    oldest.reset();
    if (last < 0)
        return;
    SqlStatement &drop = c->cached("DELETE FROM formulas WHERE id <= ?");
    drop.bind(1, last);
    drop.run();
    m_cacheBytes -= freed;
}

FormulaRenderer::Result FormulaRenderer::renderUncached(const std::string &formula)
{
    Result result;
    const std::string latex = findProgram("latex");
    const std::string dvipng = findProgram("dvipng");
    if (latex.empty() || dvipng.empty()) {
        result.error = "latex or dvipng is not installed";
        return result;
    }
    std::string pattern = m_dataDir + "/scratch/formula-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        result.error = "no scratch folder";
        return result;
    }
    const std::string dir = pattern;
    const std::string source = "\\documentclass[12pt]{article}\n"
                               "\\usepackage{amsmath}\n\\usepackage{amssymb}\n"
                               "\\pagestyle{empty}\n\\begin{document}\n$\\displaystyle "
        + formula + "\n$\n\\end{document}\n";
    if (std::FILE *file = std::fopen((dir + "/formula.tex").c_str(), "wb")) {
        std::fwrite(source.data(), 1, source.size(), file);
        std::fclose(file);
    }
    const std::vector<std::string> env = {
        "PATH=/usr/bin:/bin",
        "HOME=" + dir,
        "TEXMFVAR=" + m_dataDir + "/texmf-var",
        "TEXMFOUTPUT=" + dir,
        "openin_any=p",
        "openout_any=p",
        "shell_escape=f",
        "LC_ALL=C",
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeLimitMs);
    const int texStatus = run(
        {latex, "-interaction=nonstopmode", "-halt-on-error", "-no-shell-escape", "formula.tex"},
        env, dir, deadline);
    if (texStatus == -2) {
        result.error = "TeX took longer than 5 s";
    } else if (texStatus != 0) {
        result.error = texError(readFile(dir + "/formula.log", 1 << 20));
    } else {
        // --nogs: PostScript specials are never handed to Ghostscript.
        const int pngStatus = run({dvipng, "--nogs", "--norawps", "-T", "tight", "-D", "150", "-bg",
                                      "Transparent", "-q", "-o", "formula.png", "formula.dvi"},
            env, dir, deadline);
        if (pngStatus == -2)
            result.error = "rendering took longer than 5 s";
        else if (pngStatus != 0)
            result.error = "dvipng failed";
        else {
            result.png = readFile(dir + "/formula.png", 16 << 20);
            result.ok = !result.png.empty();
            if (!result.ok)
                result.error = "dvipng wrote no image";
        }
    }
    removeTree(dir);
    return result;
}
