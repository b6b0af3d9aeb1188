// The one way a callback that the libraries call (a device's read_header,
// read_packet, read_close, ...) turns a C++ failure into a result code:
// nothing may unwind into the libraries' C code, and the code must say what
// went wrong rather than "out of memory" for everything.
#pragma once

#include "LibAV.h"

#include <cerrno>
#include <new>
#include <system_error>

// Runs ABody and answers its result; an exception becomes
//   std::bad_alloc               AVERROR(ENOMEM)
//   std::system_error (errno)    AVERROR of its error number
//   any other exception          AVERROR(EIO)
// and, but for ENOMEM, is logged at error level with ALogContext.
template <class TBody> int CallbackResult(void* ALogContext, TBody&& ABody) noexcept {
  auto logged = [ALogContext](const char* AText, int ACode) {
    if (AV.av_log) AV.av_log(ALogContext, AV_LOG_ERROR, "%s\n", AText);
    return ACode;
  };
  try {
    return ABody();
  } catch (const std::bad_alloc&) {
    return AVERROR(ENOMEM);
  } catch (const std::system_error& e) {
    const bool isErrno = e.code().category() == std::generic_category() ||
                         e.code().category() == std::system_category();
    return logged(e.what(), isErrno && e.code().value() > 0 ? AVERROR(e.code().value())
                                                             : AVERROR(EIO));
  } catch (const std::exception& e) {
    return logged(e.what(), AVERROR(EIO));
  } catch (...) {
    return logged("Unknown error", AVERROR(EIO));
  }
}
