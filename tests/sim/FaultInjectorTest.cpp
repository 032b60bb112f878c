#include "FaultInjector.h"
#include "LineCodec.h"
#include "link/Commands.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zeb7;
using namespace zeb7::sim;

namespace {

TTelegram answer(uint8_t ident) {
  TTelegram t;
  t.ttType = ttNormal;
  t.bIdent = ident;
  t.bCommand = kCmdGetValue;
  t.bLength = 8;
  for (int i = 0; i < 8; ++i) t.baData[i] = uint8_t(0x2F + i);  // includes 0x31
  return t;
}

struct Decoded {
  int frames = 0;
  int errors = 0;
};

Decoded decode(const std::vector<uint8_t>& bytes) {
  LineCodec c;
  Decoded d;
  d.errors = c.feed(bytes.data(), bytes.size(), [&](const TTelegram&) { ++d.frames; });
  return d;
}

}  // namespace

TEST(FaultInjector, SameSeedSameFaults) {
  FaultRates r;
  r.drop = r.corrupt = r.delay = r.nak = r.garbage = 0.2;
  r.seed = 99;
  FaultInjector a(r), b(r);
  for (int i = 0; i < 500; ++i) EXPECT_EQ(a.decide().describe(), b.decide().describe());
  r.seed = 100;
  FaultInjector c(r);
  int differ = 0;
  FaultInjector a2(FaultRates{0.2, 0.2, 0.2, 0.2, 0.2, 250, 99});
  for (int i = 0; i < 500; ++i) differ += a2.decide().describe() != c.decide().describe();
  EXPECT_GT(differ, 50);
}

TEST(FaultInjector, RatesAreKeptAndDropExcludesTheRest) {
  FaultRates r;
  r.drop = 0.05;
  r.corrupt = 0.10;
  r.garbage = 0.5;
  r.seed = 7;
  FaultInjector f(r);
  int drops = 0, corrupt = 0, garbage = 0, nak = 0;
  const int n = 20000;
  for (int i = 0; i < n; ++i) {
    FaultDecision d = f.decide();
    drops += d.drop;
    corrupt += d.corruption != Corruption::None;
    garbage += !d.garbage.empty();
    nak += d.nak;
    if (d.drop) {
      EXPECT_EQ(d.describe(), "drop");
    }
    EXPECT_EQ(std::count(d.garbage.begin(), d.garbage.end(), 0x31), 0) << "noise never opens a frame";
    EXPECT_LE(d.garbage.size(), 8u);
  }
  EXPECT_NEAR(drops / double(n), 0.05, 0.01);
  EXPECT_NEAR(corrupt / double(n), 0.10 * 0.95, 0.015);
  EXPECT_NEAR(garbage / double(n), 0.5 * 0.95, 0.02);
  EXPECT_EQ(nak, 0);
  FaultInjector none{FaultRates{}};
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(none.decide().describe(), "");
}

TEST(FaultInjector, CorruptedFramesAreRejectedAndTheNextOneDecodes) {
  LineCodec codec;
  for (Corruption how : {Corruption::Checksum, Corruption::Stuffing}) {
    for (uint32_t pos = 0; pos < 40; ++pos) {
      std::vector<uint8_t> bad = codec.encode(answer(uint8_t(pos)));
      FaultInjector::corrupt(bad, how, pos);
      Decoded d = decode(bad);
      EXPECT_EQ(d.frames, 0) << "position " << pos;
      std::vector<uint8_t> both = bad;
      std::vector<uint8_t> good = codec.encode(answer(0x31));
      both.insert(both.end(), good.begin(), good.end());
      d = decode(both);
      EXPECT_EQ(d.frames, 1) << "position " << pos;
      EXPECT_GE(d.errors, 1);
    }
  }
  // Acknowledge frames can be broken as well.
  TTelegram ack;
  ack.ttType = ttAck;
  ack.bIdent = 9;
  std::vector<uint8_t> a = codec.encode(ack);
  FaultInjector::corrupt(a, Corruption::Checksum, 0);
  EXPECT_EQ(decode(a).errors, 1);
}

TEST(LineCodec, SplitFramesGarbageAndOverflow) {
  LineCodec codec;
  std::vector<uint8_t> stream = {0x00, 0x7F, 0x22};
  for (int i = 0; i < 3; ++i) {
    auto f = codec.encode(answer(uint8_t(i)));
    stream.insert(stream.end(), f.begin(), f.end());
  }
  std::vector<int> idents;
  int errors = 0;
  for (size_t i = 0; i < stream.size(); ++i)
    errors += codec.feed(&stream[i], 1, [&](const TTelegram& t) { idents.push_back(t.bIdent); });
  EXPECT_EQ(idents, (std::vector<int>{0, 1, 2}));
  EXPECT_GE(errors, 1);

  // A long run without a frame must not block the decoder for good.
  std::vector<uint8_t> noise(5000, 0x31);
  codec.feed(noise.data(), noise.size(), [](const TTelegram&) {});
  codec.reset();
  auto f = codec.encode(answer(77));
  idents.clear();
  codec.feed(f.data(), f.size(), [&](const TTelegram& t) { idents.push_back(t.bIdent); });
  EXPECT_EQ(idents, (std::vector<int>{77}));
}
