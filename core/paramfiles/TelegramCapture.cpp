#include "paramfiles/TelegramCapture.h"

#include <cstdio>

namespace zeb7 {

void TTelegramCapture::Observe(bool transmitted, const TTelegram& tele, const uint8_t* wire, size_t length) {
  TCapturedFrame f;
  f.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  f.Transmitted = transmitted;
  f.Tele = tele;
  f.Wire.assign(wire, wire + length);
  std::lock_guard lock(mutex_);
  if (queue_.size() >= kMaxQueued) {
    ++dropped_;
    return;
  }
  queue_.push_back(std::move(f));
}

std::vector<TCapturedFrame> TTelegramCapture::Take() {
  std::lock_guard lock(mutex_);
  std::vector<TCapturedFrame> out;
  out.swap(queue_);
  return out;
}

uint64_t TTelegramCapture::Dropped() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

std::string HexBytes(const uint8_t* p, size_t n, const char* separator) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    if (i > 0) out += separator;
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

namespace {

const char* Kind(const TTelegram& t) { return t.ttType == ttAck ? "ack" : (t.ttType == ttNak ? "nak" : "data"); }
size_t DataLength(const TTelegram& t) { return t.ttType == ttNormal ? t.bLength : 0; }

}  // namespace

std::string CaptureJsonLine(const TCapturedFrame& f) {
  const TTelegram& t = f.Tele;
  char head[200];
  std::snprintf(head, sizeof head,
                "{\"t\":%.6f,\"dir\":\"%s\",\"kind\":\"%s\",\"ident\":%u,\"cmd\":%u,\"target\":%u,\"len\":%zu,",
                f.Seconds, f.Transmitted ? "tx" : "rx", Kind(t), unsigned(t.bIdent), unsigned(t.bCommand),
                unsigned(t.bTarget), DataLength(t));
  return std::string(head) + "\"data\":\"" + HexBytes(t.baData.data(), DataLength(t)) + "\",\"wire\":\"" +
         HexBytes(f.Wire.data(), f.Wire.size()) + "\"}";
}

std::string CaptureTextLine(const TCapturedFrame& f) {
  const TTelegram& t = f.Tele;
  char head[160];
  std::snprintf(head, sizeof head, "%10.3f %s %-4s Id:%3u Cmd:%3u Tgt:%u Len:%3zu ", f.Seconds,
                f.Transmitted ? "TX" : "RX", Kind(t), unsigned(t.bIdent), unsigned(t.bCommand), unsigned(t.bTarget),
                DataLength(t));
  return std::string(head) + "Data: " + HexBytes(t.baData.data(), DataLength(t), " ") +
         "  Wire: " + HexBytes(f.Wire.data(), f.Wire.size(), " ");
}

}  // namespace zeb7
