// SORANE_ASAN is defined in builds with AddressSanitizer (gcc or clang), whose
// heap and limits differ from a plain build's.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define SORANE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SORANE_ASAN 1
#endif
#endif
