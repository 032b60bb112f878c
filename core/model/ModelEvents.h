#pragma once
// How the data model talks to whatever front end sits on it: window-message
// style notifications, a log sink, and the one lock that keeps the worker's
// request producers apart from the main thread's inserting and freeing.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace zeb7 {

inline constexpr int WM_REFRESH_DISPLAYS = 1379;   // LParam 0 start, 1 end, 2 end complete, 3 debug query
inline constexpr int WM_TYPEPLATE_CHANGED = 1380;  // LParam 1
inline constexpr int WM_SET_DESIGN_MODE = 1412;

using TBroadcastHandler = std::function<void(int message, int64_t lParam)>;

// Delivers a message to every subscriber in subscription order. A subscriber
// that throws is skipped; the others still get the message.
class TBroadcaster {
 public:
  int Subscribe(TBroadcastHandler handler);
  void Unsubscribe(int id);
  void Broadcast(int message, int64_t lParam) noexcept;

 private:
  std::mutex mutex_;
  std::vector<std::pair<int, std::shared_ptr<TBroadcastHandler>>> subscribers_;
  int nextId_ = 1;
};

using TLogSink = std::function<void(const std::string& line)>;

// Shared by every part of one data model.
struct TModelContext {
  // Held by the idle producer for its whole run and by every main-thread
  // operation that inserts or frees parameters or strings. Recursive because
  // handlers nest (a version answer resets the database, a display window
  // looks a parameter up while being updated).
  std::recursive_mutex Mutex;
  TBroadcaster Broadcaster;
  TLogSink Log;

  void LogLine(const std::string& line) noexcept;
  void Broadcast(int message, int64_t lParam) noexcept { Broadcaster.Broadcast(message, lParam); }
};

}  // namespace zeb7
