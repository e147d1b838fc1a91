// VORLO_ADDRESS_SANITIZER is defined in builds instrumented by AddressSanitizer, whichever compiler
// made them: GCC defines __SANITIZE_ADDRESS__, Debian's clang 14 says so only through __has_feature.
// Such builds leave out the forced inlining of the interpreter's helpers and its fused instructions.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define VORLO_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLO_ADDRESS_SANITIZER 1
#endif
#endif
