#include "serveroptions.h"

#include <cstdlib>
#include <cstring>

namespace {
bool toInt(const std::string &text, int low, int high, int &out)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end || value < low || value > high)
        return false;
    out = int(value);
    return true;
}
} // namespace

std::string ServerOptions::usage()
{
    return "usage: quenmo-server --port N --data DIR [--bind ADDR] [--client-version V]\n"
           "                     [--update-strategy S] [--app-url URL] [--threads N]\n"
           "                     [--formula-cache-kb N]\n"
           "       quenmo-server --data DIR --set-password PHONE NEW\n";
}

bool ServerOptions::parse(int argc, char **argv, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--port") {
            if (!value(text) || !toInt(text, 1, 65535, port)) {
                error = "--port needs a number from 1 to 65535";
                return false;
            }
        } else if (arg == "--data") {
            if (!value(dataDir))
                return false;
        } else if (arg == "--bind") {
            if (!value(bindAddress))
                return false;
        } else if (arg == "--client-version") {
            if (!value(clientVersion))
                return false;
        } else if (arg == "--update-strategy") {
            if (!value(text) || !toInt(text, -1000000, 1000000, updateStrategy)) {
                error = "--update-strategy needs a number";
                return false;
            }
        } else if (arg == "--app-url") {
            if (!value(appUrl))
                return false;
        } else if (arg == "--threads") {
            if (!value(text) || !toInt(text, 1, 256, threads)) {
                error = "--threads needs a number from 1 to 256";
                return false;
            }
        } else if (arg == "--formula-cache-kb") {
            int kb = 0;
            if (!value(text) || !toInt(text, 1, 16 * 1024 * 1024, kb)) {
                error = "--formula-cache-kb needs a number from 1 to 16777216";
                return false;
            }
            formulaCacheKb = kb;
        } else if (arg == "--set-password") {
            if (i + 2 >= argc) {
                error = "--set-password needs PHONE and NEW";
                return false;
            }
            setPasswordPhone = argv[++i];
            setPasswordValue = argv[++i];
        } else {
            error = "unknown argument " + arg;
            return false;
        }
    }
    if (!help && dataDir.empty()) {
        error = "--data DIR is required";
        return false;
    }
    return true;
}
