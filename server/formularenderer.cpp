#include "formularenderer.h"

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

constexpr int MaxConcurrentRenders = 2;

std::string readFile(const std::string &path, size_t limit) {
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

void removeTree(const std::string &dir) {
    if (DIR *d = ::opendir(dir.c_str())) {
        while (dirent *entry = ::readdir(d)) {
            if (!std::strcmp(entry->d_name, ".") || !std::strcmp(entry->d_name, ".."))
                continue;
            const std::string path = dir + "/" + entry->d_name;
            struct stat info {};
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
        const std::string &dir, std::chrono::steady_clock::time_point deadline) {
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
        struct rlimit fileSize = {32 << 20, 32 << 20};
        ::setrlimit(RLIMIT_FSIZE, &fileSize);
        struct rlimit cpu = {rlim_t(FormulaRenderer::TimeLimitMs / 1000 + 1),
                             rlim_t(FormulaRenderer::TimeLimitMs / 1000 + 1)};
        ::setrlimit(RLIMIT_CPU, &cpu);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -2;
        }
        ::usleep(2000);
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return -3;
}

// The first TeX error line of the log ("! Undefined control sequence.").
std::string texError(const std::string &log) {
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

std::string findProgram(const char *name) {
    for (const char *dir : {"/usr/bin/", "/usr/local/bin/", "/bin/"}) {
        const std::string path = std::string(dir) + name;
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::string();
}

} // namespace

FormulaRenderer::FormulaRenderer(Database &db, std::string dataDir)
    : m_db(db)
    , m_dataDir(std::move(dataDir)) {
    ::mkdir((m_dataDir + "/scratch").c_str(), 0700);
    ::mkdir((m_dataDir + "/texmf-var").c_str(), 0700);
}

FormulaRenderer::Result FormulaRenderer::render(const std::string &formula) {
    Result result;
    if (formula.empty() || formula.find_first_not_of(" \t\r\n") == std::string::npos) {
        result.error = "empty formula";
        return result;
    }
    if (formula.size() > MaxFormulaBytes) {
        result.error = "formula too long";
        return result;
    }
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
        m_free.wait(lock, [this] { return m_running < MaxConcurrentRenders; });
        ++m_running;
    }
    try {
        result = renderUncached(formula);
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        m_free.notify_one();
        throw;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_running;
        m_free.notify_one();
    }
    if (result.ok) {
        Database::Lease c = m_db.lease();
        SqlStatement &insert =
            c->cached("INSERT OR REPLACE INTO formulas(formula, png, created_at) VALUES (?, ?, ?)");
        insert.bind(1, formula).bindBlob(2, result.png).bind(3, std::int64_t(std::time(nullptr)));
        insert.run();
    }
    return result;
}

FormulaRenderer::Result FormulaRenderer::renderUncached(const std::string &formula) {
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
                               "\\pagestyle{empty}\n\\begin{document}\n$\\displaystyle " +
                               formula + "\n$\n\\end{document}\n";
    if (std::FILE *file = std::fopen((dir + "/formula.tex").c_str(), "wb")) {
        std::fwrite(source.data(), 1, source.size(), file);
        std::fclose(file);
    }
    const std::vector<std::string> env = {
        "PATH=/usr/bin:/bin", "HOME=" + dir,  "TEXMFVAR=" + m_dataDir + "/texmf-var",
        "TEXMFOUTPUT=" + dir, "openin_any=p", "openout_any=p",
        "shell_escape=f",     "LC_ALL=C",
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
        const int pngStatus = run({dvipng, "-T", "tight", "-D", "150", "-bg", "Transparent", "-q",
                                   "-o", "formula.png", "formula.dvi"},
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
