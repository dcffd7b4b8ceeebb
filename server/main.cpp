#include "bankservice.h"
#include "database.h"
#include "formularenderer.h"
#include "httpserver.h"
#include "imagestore.h"
#include "seeder.h"
#include "serveroptions.h"

#include <sodium.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>

namespace {

bool makePath(const std::string &path)
{
    std::string partial;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (!partial.empty())
                ::mkdir(partial.c_str(), 0755);
        }
        if (i < path.size())
            partial += path[i];
    }
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

int main(int argc, char **argv)
{
    ServerOptions options;
    std::string error;
    if (!options.parse(argc, argv, error)) {
        std::fprintf(
            stderr, "quenmo-server: %s\n%s", error.c_str(), ServerOptions::usage().c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(ServerOptions::usage().c_str(), stdout);
        return 0;
    }
    if (sodium_init() < 0) {
        std::fprintf(stderr, "quenmo-server: libsodium could not start\n");
        return 1;
    }
    // SIGINT and SIGTERM are taken by a waiting thread; no thread may be interrupted by them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // Every open connection is a descriptor; the usual soft limit of 1024 is soon reached.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }

    try {
        if (!makePath(options.dataDir)) {
            std::fprintf(stderr, "quenmo-server: cannot create %s\n", options.dataDir.c_str());
            return 1;
        }
        Database db(options.dataDir + "/quenmo.db");
        if (db.migrate(&Seeder::seed))
            std::fprintf(
                stderr, "quenmo-server: new data folder %s seeded\n", options.dataDir.c_str());
        BankService bank(db, {options.clientVersion, options.updateStrategy, options.appUrl});

        if (!options.setPasswordPhone.empty()) {
            if (!bank.setPassword(options.setPasswordPhone, options.setPasswordValue, error)) {
                std::fprintf(stderr, "quenmo-server: %s\n", error.c_str());
                return 1;
            }
            std::printf("password of %s changed\n", options.setPasswordPhone.c_str());
            return 0;
        }

        ImageStore images(db, options.dataDir);
        FormulaRenderer formulas(db, options.dataDir, options.formulaCacheKb * 1024);
        HttpServer server(options, bank, images, formulas);
        if (!server.bind())
            return 1;
        std::thread waiter([&server, stopSignals] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            std::fprintf(stderr, "quenmo-server: stopping (signal %d)\n", signal);
            server.stop();
        });
        std::fprintf(stderr, "quenmo-server: listening on http://%s:%d, data in %s\n",
            options.bindAddress.c_str(), server.port(), options.dataDir.c_str());
        const bool served = server.listen();
        // listen() also returns when the socket fails; wake the waiter so it can be joined.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
        std::fprintf(stderr, "quenmo-server: stopped\n");
        return served ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quenmo-server: %s\n", e.what());
        return 1;
    }
}
