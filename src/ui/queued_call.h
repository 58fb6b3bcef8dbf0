#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>

#if defined(__SANITIZE_THREAD__)
#define KV60X_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KV60X_THREAD_SANITIZER 1
#endif
#endif

#ifdef KV60X_THREAD_SANITIZER
#include <mutex>

// Stands for the receiving thread's event queue lock. The poster holds it while
// Qt builds and posts the call; the receiving side takes it first thing, before
// it reads anything the poster wrote (the call's own captures included).
inline std::mutex g_queuedCallLock;
#endif

// Runs fn on target's thread through Qt's event queue: the way worker threads
// hand results to the UI thread. Everything the calling thread did before the
// call happens before fn runs. Qt's queue guarantees that, but Qt's own locks
// are invisible to ThreadSanitizer, so under it the hand-over goes through a
// lock it can see.
inline void PostQueued(QObject* target, std::function<void()> fn) {
#ifdef KV60X_THREAD_SANITIZER
    std::lock_guard<std::mutex> posting(g_queuedCallLock);
#endif
    QMetaObject::invokeMethod(
        target,
        [fn = std::move(fn)]() {
#ifdef KV60X_THREAD_SANITIZER
            { std::lock_guard<std::mutex> received(g_queuedCallLock); }
#endif
            fn();
        },
        Qt::QueuedConnection);
}
