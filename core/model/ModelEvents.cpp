#include "model/ModelEvents.h"

namespace zeb7 {

int TBroadcaster::Subscribe(TBroadcastHandler handler) {
  std::lock_guard lock(mutex_);
  int id = nextId_++;
  subscribers_.emplace_back(id, std::make_shared<TBroadcastHandler>(std::move(handler)));
  return id;
}

void TBroadcaster::Unsubscribe(int id) {
  std::lock_guard lock(mutex_);
  std::erase_if(subscribers_, [id](const auto& s) { return s.first == id; });
}

void TBroadcaster::Broadcast(int message, int64_t lParam) noexcept {
  std::vector<std::shared_ptr<TBroadcastHandler>> targets;
  try {
    std::lock_guard lock(mutex_);
    for (const auto& s : subscribers_) targets.push_back(s.second);
  } catch (...) {
    return;
  }
  for (const auto& handler : targets) {
    try {
      if (*handler) (*handler)(message, lParam);
    } catch (...) {
      // one failing window must not keep the others from refreshing
    }
  }
}

void TModelContext::LogLine(const std::string& line) noexcept {
  try {
    if (Log) Log(line);
  } catch (...) {
  }
}

}  // namespace zeb7
