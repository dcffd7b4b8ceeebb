#pragma once

class LocalServer;

// What the benchmarks that run the window against quenmo-server start with.
class BenchServer
{
public:
    // Before the application: the offscreen platform unless another is asked for, and the
    // window's log of every request and reply kept out of the figures.
    static void prepare();
    // Starts the server; says why on stderr when it does not start.
    static bool start(LocalServer &server);
};
