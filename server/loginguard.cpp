#include "loginguard.h"

#include <algorithm>
#include <thread>

constexpr std::chrono::seconds LoginGuard::FirstDelay;
constexpr std::chrono::seconds LoginGuard::MaxDelay;
constexpr std::chrono::minutes LoginGuard::ForgetAfter;

LoginGuard::LoginGuard(int checks)
    : m_free(std::max(1, checks))
{ }

int LoginGuard::defaultChecks()
{
    // A check holds 64 MiB while it runs; four of them stay well inside a small machine.
    const int cores = int(std::thread::hardware_concurrency());
    return std::clamp(cores, 1, 4);
}

LoginGuard::Clock::duration LoginGuard::delayAfter(int failures)
{
    if (failures < FreeFailures)
        return Clock::duration::zero();
    const int doublings = failures - FreeFailures;
    if (doublings >= 6)
        return MaxDelay;
    return std::min<Clock::duration>(FirstDelay * (1 << doublings), MaxDelay);
}

int LoginGuard::waitSeconds(const std::string &phone, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_records.find(phone);
    if (it == m_records.end())
        return 0;
    const Clock::duration left = it->second.last + delayAfter(it->second.failures) - now;
    if (left <= Clock::duration::zero())
        return 0;
    // Rounded up: "1 秒" must not be said when 1.4 s are left.
    return int(std::chrono::ceil<std::chrono::seconds>(left).count());
}

void LoginGuard::failed(const std::string &phone, Clock::time_point now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_records.find(phone);
    if (it == m_records.end()) {
        if (m_records.size() >= MaxPhones)
            forgetOld(now);
        it = m_records.emplace(phone, Record()).first;
    } else if (now - it->second.last > ForgetAfter) {
        it->second.failures = 0;
    }
    ++it->second.failures;
    it->second.last = now;
}

void LoginGuard::succeeded(const std::string &phone)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_records.erase(phone);
}

void LoginGuard::forgetOld(Clock::time_point now)
{
    for (auto it = m_records.begin(); it != m_records.end();) {
        if (now - it->second.last > ForgetAfter)
            it = m_records.erase(it);
        else
            ++it;
    }
    // Still full of fresh numbers: the one failing longest ago goes.
    if (m_records.size() >= MaxPhones) {
        const auto oldest = std::min_element(m_records.begin(), m_records.end(),
            [](const auto &a, const auto &b) { return a.second.last < b.second.last; });
        m_records.erase(oldest);
    }
}

LoginGuard::Turn::Turn(LoginGuard &guard)
    : m_guard(guard)
{
    // Tickets: the checks start in the order they asked.
    std::unique_lock<std::mutex> lock(m_guard.m_turnMutex);
    const unsigned long ticket = m_guard.m_nextTicket++;
    m_guard.m_turnFree.wait(
        lock, [this, ticket] { return m_guard.m_serving == ticket && m_guard.m_free > 0; });
    --m_guard.m_free;
    ++m_guard.m_serving;
    lock.unlock();
    // The next ticket may also find a free place.
    m_guard.m_turnFree.notify_all();
}

LoginGuard::Turn::~Turn()
{
    {
        std::lock_guard<std::mutex> lock(m_guard.m_turnMutex);
        ++m_guard.m_free;
    }
    m_guard.m_turnFree.notify_all();
}
