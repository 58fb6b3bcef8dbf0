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
#include <sanitizer/tsan_interface.h>
#endif

// Runs fn on target's thread through Qt's event queue: the way worker threads
// hand results to the UI thread. Everything the calling thread did before the
// call happens before fn runs. Qt's queue guarantees that, but Qt's own locks
// are invisible to ThreadSanitizer, so under it the hand-over is announced
// explicitly (release here, acquire on the receiving side).
inline void PostQueued(QObject* target, std::function<void()> fn) {
#ifdef KV60X_THREAD_SANITIZER
    __tsan_release(target);
#endif
    QMetaObject::invokeMethod(
        target,
        [target, fn = std::move(fn)]() {
#ifdef KV60X_THREAD_SANITIZER
            __tsan_acquire(target);
#else
            (void)target;
#endif
            fn();
        },
        Qt::QueuedConnection);
}
