#pragma once
// The drive's side of the frame format, on top of the link's encoder and decoder:
// frames in, encoded answers out, over a byte stream rather than a serial port.
#include "link/C167Comm.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace zeb7::sim {

class LineCodec {
 public:
  LineCodec();
  ~LineCodec();

  std::vector<uint8_t> encode(const TTelegram& t);
  // Decodes what arrived; calls onFrame for every complete frame (data,
  // acknowledge or negative acknowledge). Returns the
  // number of damaged frames met (wrong checksum, broken syntax).
  int feed(const uint8_t* bytes, size_t n, const std::function<void(const TTelegram&)>& onFrame);
  void reset();  // start afresh, e.g. after the PC closed the device

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace zeb7::sim
