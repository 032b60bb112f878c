// The drive's data recorders 0 to 3 as upload sources (commands 50 to 52 in
// HandlersUpload.cpp): a point request names the recorder and the point, the
// answer repeats both and carries one signed 16-bit sample per channel.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "VirtualDrive.h"
#include "link/TelegramData.h"

namespace zeb7::sim {

namespace {

constexpr int kRecorderChannels[kSimRecorders] = {10, 4, 3, 2};

// Deterministic noise: a hash of recorder, channel and point, so that every
// read of a sample, in any order, gives the same value.
uint32_t noiseHash(int recorder, int channel, int point) {
  uint32_t x = uint32_t(recorder) * 0x9E3779B1u ^ uint32_t(channel) * 0x85EBCA77u ^ uint32_t(point) * 0xC2B2AE3Du;
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x;
}

void readPoint(int recorder, const TTelegram& req, TTelegram& ans) {
  if (req.bLength < 4 || tdata::Word(req, 0) != recorder || tdata::Word(req, 2) >= kSimRecorderPoints) {
    ans.ttType = ttNak;
    return;
  }
  const int point = tdata::Word(req, 2);
  const int channels = recorderChannels(recorder);
  tdata::SetWord(ans, 0, uint32_t(recorder));
  tdata::SetWord(ans, 2, uint32_t(point));
  for (int c = 0; c < channels; ++c)
    tdata::SetWord(ans, 4 + 2 * c, uint16_t(recorderSample(recorder, c, point)));
  ans.bLength = uint8_t(4 + 2 * channels);
}

}  // namespace

int recorderChannels(int recorder) {
  return recorder >= 0 && recorder < kSimRecorders ? kRecorderChannels[recorder] : 0;
}

int16_t recorderSample(int recorder, int channel, int point) {
  const double amplitude = std::min(1000.0 * (channel + 1) + 500.0 * recorder, 30000.0);
  const int period = 64 << (channel % 3);  // 64, 128 or 256 points
  const double phase = double(point % period) / period;
  double v = 0;
  switch ((channel + recorder) % 4) {
    case 0: v = amplitude * std::sin(2 * std::numbers::pi * phase); break;  // sine
    case 1: v = -amplitude + 2 * amplitude * phase; break;                  // ramp
    case 2: v = phase < 0.5 ? amplitude : -amplitude; break;                 // square
    default: v = double(int64_t(noiseHash(recorder, channel, point) % 2001) - 1000) * amplitude / 1000.0; break;
  }
  return int16_t(std::lround(v));
}

void registerRecorderCommands(VirtualDrive& drive) {
  for (int r = 0; r < kSimRecorders; ++r)
    drive.setUploadSource(uint16_t(r), [r](VirtualDrive&, const TTelegram& req, TTelegram& ans) {
      readPoint(r, req, ans);
    });
}

}  // namespace zeb7::sim
