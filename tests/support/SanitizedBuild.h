// Whether this test program was built with a sanitizer: the instrumented
// code runs several times slower, so tests that compare real-time work with
// the wall clock allow it more lateness there.
#pragma once

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif
