#pragma once

// TD_THREAD_SANITIZER is defined in a build with ThreadSanitizer (gcc or clang).
#if defined(__SANITIZE_THREAD__)
#define TD_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TD_THREAD_SANITIZER 1
#endif
#endif
