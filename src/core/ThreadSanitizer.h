#pragma once

// TD_THREAD_SANITIZER is defined in a build with ThreadSanitizer (gcc or clang).
#if defined(__SANITIZE_THREAD__)
#define TD_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TD_THREAD_SANITIZER 1
#endif
#endif

#ifdef TD_THREAD_SANITIZER
#include <sanitizer/tsan_interface.h>
#endif

// An object handed to another thread through a library whose ordering
// ThreadSanitizer cannot see (Qt's event queue, libusb and the kernel): the
// giver marks it given once it is set up, the taker marks it taken before
// it looks at it. Only that object's hand-over is stated; nothing happens
// outside a ThreadSanitizer build.
inline void handOverGiven(const void *object)
{
#ifdef TD_THREAD_SANITIZER
    __tsan_release(const_cast<void *>(object));
#else
    (void)object;
#endif
}

inline void handOverTaken(const void *object)
{
#ifdef TD_THREAD_SANITIZER
    __tsan_acquire(const_cast<void *>(object));
#else
    (void)object;
#endif
}
