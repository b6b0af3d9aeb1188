// The thread sanitizer's options for the engine suites. The FFmpeg libraries
// are not instrumented: they hand frames between their decoding threads with
// atomics the sanitizer cannot see, so their own allocations and frees would
// look like races. Accesses made by uninstrumented code are ignored; ours,
// and every lock the libraries take, are still watched.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
  return "ignore_noninstrumented_modules=1";
}
#endif
