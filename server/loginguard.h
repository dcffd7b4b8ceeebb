#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <unordered_map>

// Keeps password checks from taking the machine: at most a few run at a time (each takes
// tens of megabytes for a moment), and a phone number with repeated failures is refused for a
// while before its password is checked at all.
class LoginGuard
{
public:
    using Clock = std::chrono::steady_clock;

    // Failures a phone number may have before it has to wait; the wait then doubles per
    // failure from FirstDelay up to MaxDelay.
    static constexpr int FreeFailures = 5;
    static constexpr std::chrono::seconds FirstDelay {1};
    static constexpr std::chrono::seconds MaxDelay {60};
    // Phone numbers remembered at most; a count is forgotten after a quiet ForgetAfter.
    static constexpr std::size_t MaxPhones = 10000;
    static constexpr std::chrono::minutes ForgetAfter {15};

    // checks: password checks allowed at once (at least one).
    explicit LoginGuard(int checks);

    // The default bound: the cores, but never so many that their memory adds up to much.
    static int defaultChecks();

    // Whole seconds this phone number still has to wait, 0 when it may try now.
    int waitSeconds(const std::string &phone, Clock::time_point now = Clock::now());
    void failed(const std::string &phone, Clock::time_point now = Clock::now());
    void succeeded(const std::string &phone);

    // Holds one of the password check places for its life; waits its turn for one.
    class Turn
    {
    public:
        explicit Turn(LoginGuard &guard);
        ~Turn();
        Turn(const Turn &) = delete;
        Turn &operator=(const Turn &) = delete;

    private:
        LoginGuard &m_guard;
    };

private:
    struct Record {
        int failures = 0;
        Clock::time_point last;
    };
    static Clock::duration delayAfter(int failures);
    void forgetOld(Clock::time_point now);

    std::mutex m_mutex;
    std::unordered_map<std::string, Record> m_records;

    std::mutex m_turnMutex;
    std::condition_variable m_turnFree;
    int m_free;
    unsigned long m_nextTicket = 0;
    unsigned long m_serving = 0;
};
