// Captured frames: the JSON line form shared by the monitor window and the CLI.
#include <gtest/gtest.h>

#include "link/TelegramData.h"
#include "paramfiles/TelegramCapture.h"

using namespace zeb7;

TEST(TelegramCapture, JsonAndTextLinesCarryFieldsDataAndWireBytes) {
  TTelegramCapture cap;
  TTelegram t;
  t.ttType = ttNormal;
  t.bIdent = 7;
  t.bCommand = 20;
  t.bTarget = 1;
  t.bLength = 3;
  t.baData[0] = 0x10;
  t.baData[1] = 0xAB;
  t.baData[2] = 0x00;
  const std::vector<uint8_t> wire = EncodeTelegram(t);
  cap.Observe(true, t, wire.data(), wire.size());
  TTelegram nak = t;
  nak.ttType = ttNak;
  cap.Observe(false, nak, wire.data(), 2);
  const auto frames = cap.Take();
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_TRUE(cap.Take().empty());
  const std::string j = CaptureJsonLine(frames[0]);
  EXPECT_NE(j.find("\"dir\":\"tx\",\"kind\":\"data\",\"ident\":7,\"cmd\":20,\"target\":1,\"len\":3,\"data\":\"10ab00\""),
            std::string::npos)
      << j;
  EXPECT_NE(j.find("\"wire\":\"" + HexBytes(wire.data(), wire.size()) + "\"}"), std::string::npos) << j;
  EXPECT_EQ(j.front(), '{');
  const std::string n = CaptureJsonLine(frames[1]);
  EXPECT_NE(n.find("\"dir\":\"rx\",\"kind\":\"nak\""), std::string::npos) << n;
  EXPECT_NE(n.find("\"len\":0,\"data\":\"\""), std::string::npos) << n;
  EXPECT_NE(CaptureTextLine(frames[0]).find("TX data Id:  7 Cmd: 20 Tgt:1 Len:  3 Data: 10 ab 00"), std::string::npos)
      << CaptureTextLine(frames[0]);
  EXPECT_LE(frames[0].Seconds, frames[1].Seconds);
}
