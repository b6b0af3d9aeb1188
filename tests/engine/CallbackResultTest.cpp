// What a callback of the libraries answers when the code behind it fails.
#include "LibAVCallback.h"
#include "LibAVForTests.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace {

TEST(CallbackResult, EachFailureBecomesAFittingCodeAndNothingUnwinds) {
  LoadLibAVForTest();
  struct TCase {
    const char* Name;
    std::function<int()> Body;
    int Code;
    const char* Logged; // null: nothing logged
  };
  const TCase cases[] = {
      {"result", [] { return 7; }, 7, nullptr},
      {"out of memory", []() -> int { throw std::bad_alloc(); }, AVERROR(ENOMEM), nullptr},
      {"system error", []() -> int { throw std::system_error(ENOSPC, std::generic_category(), "disk"); },
       AVERROR(ENOSPC), "disk: No space left on device"},
      {"other exception", []() -> int { throw std::runtime_error("grab failed"); }, AVERROR(EIO),
       "grab failed"},
      {"not an exception", []() -> int { throw 42; }, AVERROR(EIO), "Unknown error"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TLogCapture log(TLogLevel::llInfo);
    EXPECT_EQ(CallbackResult(nullptr, c.Body), c.Code);
    if (c.Logged)
      EXPECT_EQ(log.Texts(), std::vector<std::string>{c.Logged});
    else
      EXPECT_TRUE(log.Texts().empty());
  }
}

} // namespace
