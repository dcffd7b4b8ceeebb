#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Threads that run queued work first in, first out.
class WorkQueue
{
public:
    explicit WorkQueue(int threads);
    // Runs what is still queued, then joins the threads.
    ~WorkQueue();
    WorkQueue(const WorkQueue &) = delete;
    WorkQueue &operator=(const WorkQueue &) = delete;

    // False, and the work is not taken, once finish() has begun.
    bool post(std::function<void()> work);
    // Stops taking work; returns once everything queued has run.
    void finish();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_queue;
    bool m_finishing = false;
    std::vector<std::thread> m_threads;
};
