#pragma once
// Waiting for an observable condition instead of sleeping for a guessed time.
#include <chrono>
#include <thread>

namespace zeb7::test {

using namespace std::chrono_literals;

// Polls `done` with short waits until it holds or `deadline` has passed; returns
// whether it held (checked once more at the deadline).
template <class Pred>
bool WaitFor(Pred done, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// The same while serving a hand-over queue (anything with WaitAndProcess(ms), such
// as the link's TQueueExecutor): the waiting thread is the main thread the worker
// hands over to, so it must keep draining or the worker stalls.
template <class Executor, class Pred>
bool WaitServing(Executor& exec, Pred done, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return done();
    exec.WaitAndProcess(2);
  }
  return true;
}

}  // namespace zeb7::test
