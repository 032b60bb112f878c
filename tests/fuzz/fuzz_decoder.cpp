// Feeds arbitrary bytes, in arbitrary chunk sizes, to the telegram decoder.
// Invariants: the buffer never overflows or stalls, and every telegram it
// reports re-encodes into a frame that decodes to the same telegram.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "link/C167Comm.h"

using namespace zeb7;

namespace {

void CheckRoundTrip(const TTelegram& t) {
  const std::vector<uint8_t> wire = EncodeTelegram(t);
  if (wire.empty()) std::abort();
  TTelegramDecoder again;
  again.Append(wire.data(), static_cast<int32_t>(wire.size()));
  TTelegram u;
  if (again.Decode(u) != deOK) std::abort();
  if (u.ttType != t.ttType || u.bIdent != t.bIdent || u.bLength != t.bLength) std::abort();
  if (t.ttType == ttNormal) {
    if (u.bCommand != t.bCommand || u.bTarget != t.bTarget) std::abort();
    for (int i = 0; i < t.bLength; ++i)
      if (u.baData[i] != t.baData[i]) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: chunk size; second: whether a line error hits half-way.
  const size_t chunk = data[0] % 64 + 1;
  const bool lineError = data[1] & 1;
  data += 2;
  size -= 2;
  TTelegramDecoder dec;
  size_t pos = 0;
  for (int guard = 0; guard < 1000000; ++guard) {
    const size_t want = std::min(chunk, size - pos);
    const int32_t taken = dec.Append(data + pos, static_cast<int32_t>(want));
    pos += static_cast<size_t>(taken);
    if (lineError && pos >= size / 2 && pos - static_cast<size_t>(taken) < size / 2) dec.Discard();
    TTelegram t;
    const TDecodeError r = dec.Decode(t);
    if (dec.UndecodedBytes() < 0 || dec.UndecodedBytes() > kBufferSize) std::abort();
    if (r == deOK) CheckRoundTrip(t);
    if (r == deTooLong) std::abort();  // every length is accepted
    // A full buffer that yields nothing would be a stall.
    if (taken == 0 && want > 0 && r == deMissingChars) std::abort();
    if (pos >= size && r == deMissingChars) return 0;
  }
  std::abort();
}
