#include "workqueue.h"

#include <algorithm>

WorkQueue::WorkQueue(int threads)
{
    for (int i = 0; i < std::max(1, threads); ++i)
        m_threads.emplace_back([this] { run(); });
}

WorkQueue::~WorkQueue()
{
    finish();
}

bool WorkQueue::post(std::function<void()> work)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finishing)
            return false;
        m_queue.push_back(std::move(work));
    }
    m_wake.notify_one();
    return true;
}

void WorkQueue::finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_finishing = true;
    }
    m_wake.notify_all();
    for (std::thread &thread : m_threads)
        if (thread.joinable())
            thread.join();
}

void WorkQueue::run()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_finishing || !m_queue.empty(); });
        if (m_queue.empty())
            return;
        std::function<void()> work = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        work();
        lock.lock();
    }
}
