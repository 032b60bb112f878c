#include <gtest/gtest.h>

#include <vector>

#include "link/C167Comm.h"

namespace zeb7 {
namespace {

using Bytes = std::vector<uint8_t>;

TTelegram DataTelegram(uint8_t ident, uint8_t command, uint8_t target, Bytes data) {
  TTelegram t;
  t.ttType = ttNormal;
  t.bIdent = ident;
  t.bCommand = command;
  t.bTarget = target;
  t.bLength = static_cast<uint8_t>(data.size());
  for (size_t i = 0; i < data.size(); ++i) t.baData[i] = data[i];
  return t;
}

TTelegram ShortTelegram(TTelegramType type, uint8_t ident) {
  TTelegram t;
  t.ttType = type;
  t.bIdent = ident;
  return t;
}

// Feeds bytes and collects every decode result until the buffer is drained.
struct Feeder {
  TTelegramDecoder dec;
  std::vector<TTelegram> got;
  std::vector<TDecodeError> results;

  TDecodeError Push(const Bytes& bytes) {
    size_t pos = 0;
    auto fill = [&](uint8_t* dst, int32_t max) {
      int32_t n = 0;
      while (n < max && pos < bytes.size()) dst[n++] = bytes[pos++];
      return n;
    };
    TTelegram t;
    TDecodeError r = dec.Decode(t, fill);
    results.push_back(r);
    if (r == deOK) got.push_back(t);
    return r;
  }
  // Decodes until nothing is left.
  void Drain() {
    for (int i = 0; i < 100; ++i) {
      TTelegram t;
      TDecodeError r = dec.Decode(t);
      results.push_back(r);
      if (r == deOK) got.push_back(t);
      if (r == deMissingChars) return;
    }
  }
};

TEST(TelegramEncoding, WireExamples) {
  EXPECT_EQ(EncodeTelegram(DataTelegram(5, 2, 0, {0x31, 0x00})),
            (Bytes{0x31, 0x22, 0x05, 0x02, 0x00, 0x02, 0x31, 0x30, 0x00, 0x3A}));
  EXPECT_EQ(EncodeTelegram(ShortTelegram(ttAck, 0x31)), (Bytes{0x31, 0x26, 0x31, 0x30, 0x31}));
  EXPECT_EQ(EncodeTelegram(ShortTelegram(ttNak, 7)), (Bytes{0x31, 0x35, 0x07, 0x07}));
  EXPECT_TRUE(EncodeTelegram(TTelegram()).empty());
}

TEST(TelegramEncoding, ChecksumIsNotStuffedAndLengthZero) {
  // Body 01 2F 00 01 sums to 0x31: the checksum goes out as a single 0x31.
  EXPECT_EQ(EncodeTelegram(DataTelegram(1, 0x2F, 0, {1})),
            (Bytes{0x31, 0x22, 0x01, 0x2F, 0x00, 0x01, 0x01, 0x32}));
  Bytes empty = EncodeTelegram(DataTelegram(1, 0x2F, 1, {}));
  EXPECT_EQ(empty, (Bytes{0x31, 0x22, 0x01, 0x2F, 0x01, 0x00, 0x31}));
  Feeder f;
  EXPECT_EQ(f.Push(empty), deOK);
  EXPECT_EQ(f.got.at(0).bLength, 0);
  EXPECT_EQ(f.got.at(0).bTarget, 1);
}

TEST(TelegramEncoding, WorstCaseFitsAndSmallBufferRefuses) {
  TTelegram t = DataTelegram(0x31, 0x31, 0x31, Bytes(255, 0x31));
  Bytes wire = EncodeTelegram(t);
  EXPECT_EQ(wire.size(), 520u);  // every body byte but the length is stuffed
  uint8_t small[10];
  EXPECT_EQ(EncodeTelegram(t, small, sizeof small), -1);
  // Larger than the receive buffer, yet it decodes: consumed bytes make room.
  Feeder g;
  for (size_t i = 0; i < wire.size(); i += 100)
    g.Push(Bytes(wire.begin() + i, wire.begin() + std::min(wire.size(), i + 100)));
  ASSERT_EQ(g.got.size(), 1u);
  EXPECT_EQ(g.got[0].bLength, 255);
  EXPECT_EQ(g.got[0].baData[254], 0x31);
}

TEST(TelegramDecoding, WireExampleDecodes) {
  Feeder f;
  EXPECT_EQ(f.Push({0x31, 0x22, 0x05, 0x02, 0x00, 0x02, 0x31, 0x30, 0x00, 0x3A}), deOK);
  ASSERT_EQ(f.got.size(), 1u);
  const TTelegram& t = f.got[0];
  EXPECT_EQ(t.ttType, ttNormal);
  EXPECT_EQ(t.bIdent, 5);
  EXPECT_EQ(t.bCommand, 2);
  EXPECT_EQ(t.bTarget, 0);
  EXPECT_EQ(t.bLength, 2);
  EXPECT_EQ(t.baData[0], 0x31);
  EXPECT_EQ(t.baData[1], 0x00);
  EXPECT_EQ(f.dec.UndecodedBytes(), 0);
}

TEST(TelegramDecoding, SplitFrameCompletesOnLastByte) {
  Bytes wire = EncodeTelegram(DataTelegram(0x31, 10, 3, {0x31, 0x31, 0x44}));
  Feeder f;
  for (size_t i = 0; i + 1 < wire.size(); ++i) EXPECT_EQ(f.Push({wire[i]}), deMissingChars) << i;
  EXPECT_EQ(f.Push({wire.back()}), deOK);
  EXPECT_EQ(f.got.at(0).bIdent, 0x31);
  EXPECT_EQ(f.got.at(0).baData[2], 0x44);
}

TEST(TelegramDecoding, TwoFramesTogetherOnePerCall) {
  Bytes a = EncodeTelegram(DataTelegram(1, 10, 0, {1, 2}));
  Bytes b = EncodeTelegram(ShortTelegram(ttAck, 2));
  a.insert(a.end(), b.begin(), b.end());
  Feeder f;
  EXPECT_EQ(f.Push(a), deOK);
  EXPECT_EQ(f.got.size(), 1u);
  f.Drain();
  ASSERT_EQ(f.got.size(), 2u);
  EXPECT_EQ(f.got[1].ttType, ttAck);
  EXPECT_EQ(f.got[1].bIdent, 2);
  EXPECT_EQ(f.got[1].bLength, 0);
}

TEST(TelegramDecoding, GarbageBeforeFrameGivesOneWrongHeader) {
  Bytes wire = {0xAA, 0x00, 0x22, 0x35};
  Bytes frame = EncodeTelegram(DataTelegram(9, 4, 1, {7}));
  wire.insert(wire.end(), frame.begin(), frame.end());
  Feeder f;
  EXPECT_EQ(f.Push(wire), deWrongHeader);
  f.Drain();
  EXPECT_EQ(f.results, (std::vector<TDecodeError>{deWrongHeader, deOK, deMissingChars}));
  EXPECT_EQ(f.got.at(0).bIdent, 9);
}

TEST(TelegramDecoding, RunOfEscapesBeforeType) {
  Bytes frame = EncodeTelegram(DataTelegram(3, 4, 0, {}));
  Bytes wire = {0x31, 0x31};
  wire.insert(wire.end(), frame.begin(), frame.end());
  Feeder f;
  EXPECT_EQ(f.Push(wire), deOK);
  EXPECT_EQ(f.got.at(0).bIdent, 3);
}

TEST(TelegramDecoding, BadStuffingRestartsAtNextHeader) {
  // Data byte 0x31 followed by 0x31 0x22: the second escape opens a new frame.
  Bytes wire = {0x31, 0x22, 0x01, 0x02, 0x00, 0x02, 0x31};
  Bytes next = EncodeTelegram(DataTelegram(4, 5, 0, {0x10}));
  wire.insert(wire.end(), next.begin(), next.end());
  Feeder f;
  EXPECT_EQ(f.Push(wire), deWrongHeader);
  f.Drain();
  ASSERT_EQ(f.got.size(), 1u);
  EXPECT_EQ(f.got[0].bIdent, 4);

  // Ack ident 0x31 not followed by 0x30.
  Feeder g;
  EXPECT_EQ(g.Push({0x31, 0x26, 0x31, 0x05}), deWrongHeader);
  EXPECT_EQ(g.Push({0x31, 0x35, 0x31, 0x30, 0x31}), deOK);
  EXPECT_EQ(g.got.at(0).ttType, ttNak);
  EXPECT_EQ(g.got.at(0).bIdent, 0x31);
}

TEST(TelegramDecoding, ChecksumErrorsThenNextFrameDecodes) {
  Bytes bad = EncodeTelegram(DataTelegram(1, 10, 0, {1, 2, 3}));
  bad.back() ^= 0xFF;
  Bytes good = EncodeTelegram(DataTelegram(2, 10, 0, {4}));
  Bytes wire = bad;
  wire.insert(wire.end(), good.begin(), good.end());
  Feeder f;
  EXPECT_EQ(f.Push(wire), deChecksum);
  f.Drain();
  ASSERT_EQ(f.got.size(), 1u);
  EXPECT_EQ(f.got[0].bIdent, 2);

  Feeder g;
  EXPECT_EQ(g.Push({0x31, 0x26, 0x07, 0x08}), deChecksum);
  EXPECT_EQ(g.dec.UndecodedBytes(), 0);
}

TEST(TelegramDecoding, GarbageCannotFillTheBufferForGood) {
  TTelegramDecoder dec;
  // After a line error the decoder skips silently up to the next 0x31.
  dec.Discard();
  TTelegram t;
  Bytes garbage(1000, 0x55);
  for (int round = 0; round < 5; ++round) {
    EXPECT_EQ(dec.Append(garbage.data(), 300), 300);
    EXPECT_EQ(dec.Decode(t), deMissingChars);
    EXPECT_EQ(dec.UndecodedBytes(), 0);
  }
  // A half frame, more garbage-free filler and the rest: still decodes.
  Bytes frame = EncodeTelegram(DataTelegram(8, 11, 2, Bytes(100, 0x31)));
  size_t pos = 0;
  TDecodeError r = deMissingChars;
  while (pos < frame.size()) {
    pos += dec.Append(frame.data() + pos, static_cast<int32_t>(std::min<size_t>(150, frame.size() - pos)));
    r = dec.Decode(t);
  }
  EXPECT_EQ(r, deOK);
  EXPECT_EQ(t.bIdent, 8);
}

TEST(Telegram, ClearAssignAndDataWords) {
  TTelegram t(reinterpret_cast<const void*>(0x1234));
  EXPECT_EQ(t.pOwner, reinterpret_cast<const void*>(0x1234));
  EXPECT_EQ(t.iRetry, 8);
  t.SetData(0, -2);
  t.iaData(1, 0x12345);
  EXPECT_EQ(t.baData[0], 0xFE);
  EXPECT_EQ(t.baData[1], 0xFF);
  EXPECT_EQ(t.iaData(0), -2);
  EXPECT_EQ(t.iaData(1), 0x2345);
  t.SetData(1, 0x8000);
  EXPECT_EQ(t.GetData(1), -32768);
  EXPECT_EQ(t.GetData(1) & 0xFFFF, 0x8000);
  EXPECT_EQ(t.GetData(129), 0);  // beyond the data bytes
  t.SetData(129, 5);
  t.SetData(-1, 5);

  t.bCommand = 9;
  t.fCritical = true;
  t.iRetry = 1;
  t.baData[258] = 0x77;
  TTelegram copy;
  copy.baData[258] = 0x11;
  copy.Assign(t);
  EXPECT_EQ(copy.bCommand, 9);
  EXPECT_TRUE(copy.fCritical);
  EXPECT_EQ(copy.iRetry, 1);
  EXPECT_EQ(copy.baData[0], 0xFE);
  EXPECT_EQ(copy.baData[258], 0x11);  // only the first 256 data bytes

  t.Clear();
  EXPECT_EQ(t.pOwner, nullptr);
  EXPECT_EQ(t.iRetry, 8);
  EXPECT_FALSE(t.fCritical);
  EXPECT_EQ(t.bCommand, 0);
  EXPECT_EQ(t.baData[0], 0xFE);  // data bytes survive Clear
}

}  // namespace
}  // namespace zeb7
