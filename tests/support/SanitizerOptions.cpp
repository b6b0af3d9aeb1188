// The sanitizers' defaults for the test programs (compiled into each of
// them; the sanitizer runtimes look these functions up by name).
//
// Thread sanitizer: the FFmpeg libraries are not instrumented. They hand
// frames between their decoding threads with atomics the sanitizer cannot
// see, so their own allocations and frees would look like races. Accesses
// made by uninstrumented code are ignored; ours, and every lock the libraries
// take, are still watched.
//
// Leak sanitizer: the libraries' "lavfi" device, which the tests use as a
// generated source, leaks a frame inside its own filter graph when the graph
// has more than one output. Leaks whose allocation passes through the device
// are not ours.
#if defined(__SANITIZE_THREAD__)
extern "C" const char* __tsan_default_options() {
  return "ignore_noninstrumented_modules=1";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libavdevice.so\n";
}
#endif
