// The one table of command codes, the payload accessors, the string checksum and
// the text codec that the model, the virtual drive, the CLI and the tests share.
#include <gtest/gtest.h>

#include <set>

#include "link/Commands.h"
#include "link/TelegramData.h"
#include "link/TextCodec.h"

namespace zeb7 {
namespace {

TEST(CommandTable, CodesAreDistinct) {
  const uint8_t codes[] = {kCmdVersion,          kCmdStatus,          kCmdStatusMessage,  kCmdControllerError,
                           kCmdRuntimeError,     kCmdGetValue,        kCmdGetValue2,      kCmdGetFirmwareName,
                           kCmdGetControl,       kCmdGetCaption,      kCmdGetProperties,  kCmdSetValue,
                           kCmdDriveCommand,     kCmdGroupName,       kCmdDriveMode,      kCmdTypePlate,
                           kCmdWriteTypePlate,   kCmdGroupDescription, kCmdGroupParent,   kCmdUploadStart,
                           kCmdUploadBlock,      kCmdUploadEnd,       kCmdFlashState,     kCmdFlashErase,
                           kCmdFlashEraseAll,    kCmdFlashProgram,    kCmdServiceConnect, kCmdServiceState,
                           kCmdServiceDisconnect, kCmdNormalMode};
  EXPECT_EQ(std::set<uint8_t>(std::begin(codes), std::end(codes)).size(), std::size(codes));
  const uint16_t words[] = {kDriveCmdControlByATA, kDriveCmdDisable, kDriveCmdEnable, kDriveCmdWriteFlash,
                            kDriveCmdDeleteParamSet, kDriveCmdSelectParamSet, kDriveCmdParamVersion};
  EXPECT_EQ(std::set<uint16_t>(std::begin(words), std::end(words)).size(), std::size(words));
  // The parameter set sits in the high byte; sets beyond 15 wrap.
  EXPECT_EQ(SelectParamSetCommand(5), 5 * 256 + kDriveCmdSelectParamSet);
  EXPECT_EQ(SelectParamSetCommand(21), SelectParamSetCommand(5));
  EXPECT_EQ(ParamVersionCommand(42), 42 * 256 + kDriveCmdParamVersion);
}

TEST(TelegramData, LittleEndianFieldsRoundTrip) {
  TTelegram t;
  tdata::SetWord(t, 0, 0x1234);
  EXPECT_EQ(t.baData[0], 0x34);
  EXPECT_EQ(t.baData[1], 0x12);
  tdata::SetDWord(t, 2, 0xA1B2C3D4);
  EXPECT_EQ(tdata::DWord(t, 2), 0xA1B2C3D4u);
  EXPECT_EQ(tdata::Word(t, 2), 0xC3D4);
  tdata::SetInt64(t, 6, -0x123456789LL);
  EXPECT_EQ(tdata::Int64(t, 6), -0x123456789LL);
  EXPECT_EQ(tdata::DWord(t, 10), 0xFFFFFFFEu) << "high half of a negative value";
  tdata::SetWord(t, 14, 0xFFFE);
  EXPECT_EQ(tdata::SignedWord(t, 14), -2);
}

TEST(TelegramData, TextsStopAtZeroLengthAndTheArray) {
  TTelegram t;
  EXPECT_EQ(tdata::SetText(t, 4, "Hello"), 6);
  t.bLength = 10;
  EXPECT_EQ(tdata::Text(t, 4), "Hello");
  t.bLength = 7;
  EXPECT_EQ(tdata::Text(t, 4), "Hel") << "no byte past the data length";
  EXPECT_EQ(tdata::SetText(t, 0, std::string(300, 'x')), kMaxSentTextChars + 1);
  const int n = tdata::SetText(t, kTelegramDataSize - 3, "abcdef", 255);
  EXPECT_EQ(n, 3) << "two characters and the zero fit at the end";
  EXPECT_EQ(t.baData[kTelegramDataSize - 1], 0);
}

TEST(TelegramData, StringChecksumRule) {
  EXPECT_EQ(tdata::StringChecksum(0, ""), 4369);
  EXPECT_EQ(tdata::StringChecksum(43690, ""), 4369);
  EXPECT_EQ(tdata::StringChecksum(1, "AB"), (1 + 65 + 66) % 43690 + 4369);
  EXPECT_EQ(tdata::StringChecksum(0, "\xE9"), 0xE9 + 4369) << "Latin-1 byte value counts";
}

TEST(TextCodec, Latin1Conversion) {
  EXPECT_EQ(Utf8ToLatin1("Gr\xC3\xBC\xC3\x9F"), "Gr\xFC\xDF");
  EXPECT_EQ(Utf8ToLatin1("\xE2\x82\xAC"), "?") << "beyond Latin-1";
  EXPECT_EQ(Utf8ToLatin1("a\xC3"), "a?") << "truncated sequence";
  EXPECT_EQ(Latin1ToUtf8("Gr\xFC\xDF"), "Gr\xC3\xBC\xC3\x9F");
}

}  // namespace
}  // namespace zeb7
