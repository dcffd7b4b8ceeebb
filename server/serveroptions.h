#pragma once

#include <string>

// The command line: quenmo-server --port N --data DIR [--bind ADDR] [...].
struct ServerOptions {
    int port = 8080;
    std::string dataDir;
    std::string bindAddress = "127.0.0.1";
    std::string clientVersion = "1.1.2";
    int updateStrategy = 0;
    std::string appUrl;
    int threads = 16;
    // Bytes of rendered formula pictures kept; the oldest leave first.
    long long formulaCacheKb = 64 * 1024;
    // --set-password PHONE NEW: administration instead of serving.
    std::string setPasswordPhone;
    std::string setPasswordValue;
    bool help = false;

    // False with error set when the arguments are wrong.
    bool parse(int argc, char **argv, std::string &error);
    static std::string usage();
};
