// A bounded wait for the tests: a condition that another thread makes true
// either holds within the limit or the test fails instead of hanging.
#pragma once

#include "MainThread.h"

#include <chrono>
#include <thread>

enum class TWaitMode {
  Sleep,            // the main-thread queue is left alone
  ServiceMainThread // the main-thread queue runs while waiting
};

// Answers whether APredicate held before ALimit passed.
template <class TPredicate>
bool WaitUntil(TPredicate&& APredicate, TWaitMode AMode = TWaitMode::Sleep,
               std::chrono::milliseconds ALimit = std::chrono::seconds(20)) {
  using namespace std::chrono_literals;
  const auto deadline = std::chrono::steady_clock::now() + ALimit;
  while (!APredicate()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    if (AMode == TWaitMode::ServiceMainThread)
      TMainThread::ProcessWait(2ms);
    else
      std::this_thread::sleep_for(1ms);
  }
  return true;
}
