#pragma once
// Calls handed from the link's worker to a main loop that is not Qt's (the CLI,
// tests): Post never waits, Drain runs what has arrived, in order, on the
// draining thread.
#include <deque>
#include <functional>
#include <mutex>

namespace zeb7 {

class TCallQueue {
 public:
  void Post(std::function<void()> fn) {
    std::lock_guard lock(FLock);
    FCalls.push_back(std::move(fn));
  }
  // Returns how many calls ran.
  int Drain() {
    int n = 0;
    for (;;) {
      std::function<void()> fn;
      {
        std::lock_guard lock(FLock);
        if (FCalls.empty()) return n;
        fn = std::move(FCalls.front());
        FCalls.pop_front();
      }
      fn();
      ++n;
    }
  }
  // A post function for the firmware logics.
  std::function<void(std::function<void()>)> Poster() {
    return [this](std::function<void()> fn) { Post(std::move(fn)); };
  }

 private:
  std::mutex FLock;
  std::deque<std::function<void()>> FCalls;
};

}  // namespace zeb7
