#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// An event that stays signalled until reset, with a timed wait that can also be
// cut short by an abort flag (checked whenever the event is poked).
class ManualResetEvent {
public:
    void Set() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_signalled = true;
        m_cv.notify_all();
    }
    void Reset() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_signalled = false;
    }
    bool IsSet() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_signalled;
    }
    // Wakes waiters so that they look at their abort flag.
    void Poke() {
        std::lock_guard<std::mutex> lock(m_lock);
        m_cv.notify_all();
    }
    // True when signalled within timeoutMs; false on time-out or when
    // aborted() turns true (looked at on every Poke).
    template <class Aborted>
    bool Wait(int timeoutMs, Aborted aborted) {
        std::unique_lock<std::mutex> lock(m_lock);
        m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return m_signalled || aborted(); });
        return m_signalled;
    }
    bool Wait(int timeoutMs) {
        return Wait(timeoutMs, [] { return false; });
    }

private:
    mutable std::mutex m_lock;  // guards m_signalled
    std::condition_variable m_cv;
    bool m_signalled = false;
};
