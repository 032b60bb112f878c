#include "LineCodec.h"

namespace zeb7::sim {

struct LineCodec::Impl {
  TTelegramDecoder decoder;
  TTelegram tele;
};

LineCodec::LineCodec() : impl_(std::make_unique<Impl>()) {}
LineCodec::~LineCodec() = default;

std::vector<uint8_t> LineCodec::encode(const TTelegram& t) { return EncodeTelegram(t); }

void LineCodec::reset() { impl_->decoder = TTelegramDecoder(); }

int LineCodec::feed(const uint8_t* bytes, size_t n, const std::function<void(const TTelegram&)>& onFrame) {
  TTelegramDecoder& dec = impl_->decoder;
  int errors = 0;
  size_t taken = 0;
  for (;;) {
    if (taken < n) taken += size_t(dec.Append(bytes + taken, int32_t(std::min<size_t>(n - taken, kBufferSize))));
    const TDecodeError r = dec.Decode(impl_->tele);
    if (r == deOK) {
      onFrame(impl_->tele);
      continue;
    }
    if (r == deMissingChars) {
      if (taken >= n) break;
      // A full buffer without a frame in it: nothing in there can still complete.
      if (dec.FreeSpace() == 0) dec.Discard();
      continue;
    }
    ++errors;
  }
  return errors;
}

}  // namespace zeb7::sim
