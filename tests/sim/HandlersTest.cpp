#include "ControlCommands.h"
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

#include <gtest/gtest.h>

using namespace zeb7;
using namespace zeb7::sim;

namespace {

constexpr uint8_t kUnknownCommand = 99;  // no firmware knows it

TTelegram request(uint8_t cmd, uint8_t target, std::initializer_list<uint8_t> data, uint8_t ident = 42) {
  TTelegram t;
  t.ttType = ttNormal;
  t.bIdent = ident;
  t.bCommand = cmd;
  t.bTarget = target;
  t.bLength = uint8_t(data.size());
  int i = 0;
  for (uint8_t b : data) t.baData[i++] = b;
  return t;
}

TTelegram read(VirtualDrive& d, uint8_t cmd, uint8_t target, int index, int mode = 0) {
  return d.answer(request(cmd, target, {uint8_t(index), uint8_t(index >> 8), uint8_t(mode)}));
}

TTelegram write(VirtualDrive& d, uint8_t target, int index, uint16_t checksum, int64_t value) {
  TTelegram t = request(kCmdSetValue, target, {});
  tdata::SetWord(t, 0, uint32_t(index));
  tdata::SetWord(t, 2, checksum);
  tdata::SetInt64(t, 4, value);
  t.bLength = 12;
  return d.answer(t);
}

TTelegram command(VirtualDrive& d, uint16_t code, uint16_t seq, uint8_t target = 0) {
  TTelegram t = request(kCmdDriveCommand, target, {});
  tdata::SetWord(t, 0, code);
  tdata::SetWord(t, 2, seq);
  t.bLength = 4;
  return d.answer(t);
}

DriveDescription smallDrive() {
  DriveDescription d;
  SimTarget& t = d.targets[0];
  t.present = true;
  t.version = 0x01234567;
  t.paramVersion = 7;
  t.word7 = 0x1111;
  t.groups = {{"Top", "The top", ""}, {"Sub", "Below", "Top"}};
  t.typePlate = {"Line one", "Line two", "Line three"};
  t.driveModes = {"Torque", "Speed"};
  SimParameter p;
  p.sFirmwareName = "GAIN";
  p.sControl = "Numeric";
  p.sCaption = "Gain";
  p.sControlProperties = "-4|2|0.01|A";
  p.bGroup = 1;
  p.iType = -3;
  p.value = -2;
  p.minValue = -100;
  p.maxValue = 100;
  t.parameters.push_back(p);
  SimParameter w = p;
  w.sFirmwareName = "WIDE";
  w.wide = true;
  w.minValue.reset();
  w.maxValue.reset();
  w.value = 0x0102030405060708LL;
  t.parameters.push_back(w);
  d.targets[1].present = true;
  d.targets[1].hasGroupDescriptions = false;
  d.targets[1].groups = {{"Only", "", ""}};
  d.targets[2].present = false;
  d.targets[3].present = false;
  d.targets[3].absentMode = AbsentMode::Silent;
  return d;
}

}  // namespace

TEST(Handlers, VersionAnswerLayout) {
  VirtualDrive d(smallDrive());
  TTelegram a = d.answer(request(kCmdVersion, 0, {}, 200));
  EXPECT_EQ(a.ttType, ttNormal);
  EXPECT_EQ(a.bIdent, 200);
  EXPECT_EQ(a.bCommand, kCmdVersion);
  ASSERT_EQ(a.bLength, 24);
  EXPECT_EQ(tdata::DWord(a, 0), 0x01234567u);
  EXPECT_EQ(tdata::DWord(a, 4), d.description().targets[0].globalChecksum());
  EXPECT_EQ(tdata::Word(a, 8), 2);   // drive modes
  EXPECT_EQ(tdata::Word(a, 10), 2);  // groups
  EXPECT_EQ(tdata::Word(a, 12), 3);  // type plate lines
  EXPECT_EQ(tdata::Word(a, 14), 0x1111);
  EXPECT_EQ(tdata::Word(a, 18), 7);  // parameter version
  EXPECT_EQ(tdata::Word(a, 22), 2);  // parameters
}

TEST(Handlers, RefusalsForAbsentTargetsUnknownCommandsAndIndices) {
  VirtualDrive d(smallDrive());
  EXPECT_EQ(d.answer(request(kCmdVersion, 2, {})).ttType, ttNak);
  EXPECT_EQ(d.answer(request(kCmdVersion, 3, {})).ttType, ttNone) << "a silent absent target";
  EXPECT_EQ(d.answer(request(kCmdVersion, 10, {})).ttType, ttNak);
  EXPECT_EQ(d.answer(request(kUnknownCommand, 0, {})).ttType, ttNak);
  EXPECT_EQ(read(d, kCmdGetValue, 0, 2).ttType, ttNak);
  EXPECT_EQ(read(d, kCmdGetFirmwareName, 0, 65535).ttType, ttNak);
  EXPECT_EQ(d.answer(request(kCmdGetValue, 0, {0})).ttType, ttNak) << "no index in the request";
  TTelegram a = d.answer(request(kCmdVersion, 1, {}));
  EXPECT_EQ(a.ttType, ttNormal);
  EXPECT_EQ(tdata::Word(a, 22), 0) << "present without parameters";
}

TEST(Handlers, ValueReadsNarrowAndWide) {
  VirtualDrive d(smallDrive());
  const uint16_t ck = d.description().targets[0].parameters[0].checksum(0);
  for (uint8_t cmd : {kCmdGetValue, kCmdGetValue2}) {
    TTelegram a = read(d, cmd, 0, 0);
    EXPECT_EQ(a.bCommand, cmd);
    ASSERT_EQ(a.bLength, 8);
    EXPECT_EQ(tdata::Word(a, 0), 0);
    EXPECT_EQ(tdata::Word(a, 2), ck);
    EXPECT_EQ(int32_t(tdata::DWord(a, 4)), -2);
  }
  TTelegram w = read(d, kCmdGetValue, 0, 1);
  ASSERT_EQ(w.bLength, 12);
  EXPECT_EQ(tdata::DWord(w, 4), 0x05060708u);
  EXPECT_EQ(tdata::DWord(w, 8), 0x01020304u);
}

TEST(Handlers, DescriptorAnswers) {
  VirtualDrive d(smallDrive());
  const uint16_t ck = d.description().targets[0].parameters[0].checksum(0);
  const std::pair<uint8_t, std::string> expected[] = {
      {kCmdGetFirmwareName, "GAIN"}, {kCmdGetControl, "Numeric"}, {kCmdGetCaption, "Gain"}, {kCmdGetProperties, "-4|2|0.01|A"}};
  for (const auto& [cmd, text] : expected) {
    TTelegram a = read(d, cmd, 0, 0);
    EXPECT_EQ(tdata::Word(a, 0), 0);
    EXPECT_EQ(tdata::Word(a, 2), ck);
    EXPECT_EQ(a.baData[4], 1);
    EXPECT_EQ(int8_t(a.baData[5]), -3);
    EXPECT_EQ(tdata::Text(a, 6), text);
    EXPECT_EQ(a.bLength, 6 + text.size() + 1) << "text and its terminating zero";
  }
}

TEST(Handlers, ValueWriteAnswersValueInForceAndRefusesStaleChecksum) {
  VirtualDrive d(smallDrive());
  auto& p = d.description().targets[0].parameters;
  const uint16_t ck = p[0].checksum(0);
  TTelegram a = write(d, 0, 0, ck, 55);
  EXPECT_EQ(a.ttType, ttNormal);
  EXPECT_EQ(a.bCommand, kCmdSetValue);
  EXPECT_EQ(int32_t(tdata::DWord(a, 4)), 55);
  EXPECT_EQ(p[0].value, 55);
  a = write(d, 0, 0, ck, 1000);
  EXPECT_EQ(int32_t(tdata::DWord(a, 4)), 100) << "clamped to the maximum";
  EXPECT_EQ(write(d, 0, 0, uint16_t(ck + 1), 3).ttType, ttNak);
  EXPECT_EQ(p[0].value, 100) << "a refused write changes nothing";
  a = write(d, 0, 1, p[1].checksum(1), -0x123456789LL);
  ASSERT_EQ(a.bLength, 12);
  EXPECT_EQ(p[1].value, -0x123456789LL);
  EXPECT_EQ(tdata::Int64(a, 4), -0x123456789LL);
}

TEST(Handlers, StringReadsModesAndMissingTables) {
  VirtualDrive d(smallDrive());
  TTelegram a = read(d, kCmdGroupName, 0, 1, 0);
  EXPECT_EQ(tdata::Text(a, 4), "Sub");
  EXPECT_EQ(tdata::Word(a, 2), tdata::StringChecksum(1, "Sub"));
  EXPECT_EQ(a.bLength, 4 + 3 + 1);
  a = read(d, kCmdGroupName, 0, 1, 1);
  EXPECT_EQ(a.bLength, 4) << "mode 1: checksum only";
  EXPECT_EQ(tdata::Word(a, 2), tdata::StringChecksum(1, "Sub"));
  EXPECT_EQ(tdata::Text(read(d, kCmdGroupDescription, 0, 1), 4), "Below");
  EXPECT_EQ(tdata::Text(read(d, kCmdGroupParent, 0, 1), 4), "Top");
  EXPECT_EQ(read(d, kCmdGroupParent, 0, 0).bLength, 5) << "a top-level group has an empty parent";
  EXPECT_EQ(tdata::Text(read(d, kCmdDriveMode, 0, 1), 4), "Speed");
  EXPECT_EQ(tdata::Text(read(d, kCmdTypePlate, 0, 2), 4), "Line three");
  EXPECT_EQ(read(d, kCmdTypePlate, 0, 3).ttType, ttNak);
  EXPECT_EQ(read(d, kCmdGroupDescription, 1, 0).ttType, ttNak) << "no description table on target 1";
  EXPECT_EQ(read(d, kCmdGroupParent, 1, 0).ttType, ttNormal);
}

TEST(Handlers, TypePlateWriteNeedsTheReplacedLinesChecksum) {
  VirtualDrive d(smallDrive());
  auto& lines = d.description().targets[0].typePlate;
  auto send = [&](int index, uint16_t ck, const std::string& text) {
    TTelegram t = request(kCmdWriteTypePlate, 0, {});
    tdata::SetWord(t, 0, uint32_t(index));
    tdata::SetWord(t, 2, ck);
    t.bLength = uint8_t(4 + tdata::SetText(t, 4, text));
    return d.answer(t).ttType;
  };
  EXPECT_EQ(send(1, uint16_t(tdata::StringChecksum(1, "Line two") + 1), "New"), ttNak);
  EXPECT_EQ(lines[1], "Line two");
  EXPECT_EQ(send(1, tdata::StringChecksum(1, "Line two"), "New"), ttAck);
  EXPECT_EQ(lines[1], "New");
  EXPECT_EQ(send(1, tdata::StringChecksum(1, "Line two"), "New"), ttAck) << "a repeated write is harmless";
  EXPECT_EQ(send(7, 0, "x"), ttNak);
}

TEST(Handlers, StatusAndStatusMessages) {
  VirtualDrive d(smallDrive());
  SimStatus& s = d.description().status;
  s.bActiveSet = 3;
  s.wValidSets = 0x8009;
  s.bDriveMode = 2;
  for (int i = 0; i < 12; ++i) pushStatusMessage(s, "msg " + std::to_string(i + 1));
  EXPECT_EQ(s.messages.size(), 8u) << "the drive keeps eight";
  TTelegram a = d.answer(request(kCmdStatus, 0, {}));
  ASSERT_EQ(a.bLength, 14);
  EXPECT_EQ(tdata::Word(a, 2), 12);
  EXPECT_EQ(a.baData[4], 2);
  EXPECT_EQ(a.baData[11], 3);
  EXPECT_EQ(tdata::Word(a, 12), 0x8009);
  a = d.answer(request(kCmdStatusMessage, 0, {uint8_t(11 % 8)}));
  EXPECT_EQ(tdata::Word(a, 0), 11);
  EXPECT_EQ(tdata::Text(a, 2), "msg 11");
  a = d.answer(request(kCmdStatusMessage, 0, {uint8_t(5 % 8)}));
  EXPECT_EQ(tdata::Word(a, 0), 5);
  pushStatusMessage(s, std::string(80, 'x'));
  a = d.answer(request(kCmdStatusMessage, 0, {13 % 8}));
  EXPECT_EQ(tdata::Text(a, 2).size(), 47u) << "texts are cut to 47 characters";
}

TEST(Handlers, DriveCommandsChangeTheStatusOnce) {
  VirtualDrive d(smallDrive());
  SimStatus& s = d.description().status;
  EXPECT_EQ(command(d, kDriveCmdEnable, 2).ttType, ttAck);
  EXPECT_EQ(s.bStatus2 & 3, 3) << "enabled by this program";
  command(d, kDriveCmdControlByATA, 3);
  EXPECT_EQ(s.bStatus2 & 3, 1) << "enabled through the external interface";
  raiseDriveError(s, "Overcurrent", "");
  EXPECT_EQ(s.bStatus2 & 5, 4);
  EXPECT_EQ(s.wControllerStatus & 0x0301, 0x0101);
  command(d, kDriveCmdEnable, 4);
  EXPECT_EQ(s.bStatus2 & 1, 0) << "no enable while the drive error stands";
  EXPECT_EQ(tdata::Text(d.answer(request(kCmdControllerError, 0, {})), 0), "Overcurrent");
  command(d, kDriveCmdDisable, 5);
  EXPECT_EQ(s.bStatus2, 0) << "disable resets the drive error";
  EXPECT_EQ(s.wControllerStatus & 0x0301, 0);

  s.wValidSets = 0;
  command(d, SelectParamSetCommand(5), 6);
  EXPECT_EQ(s.bActiveSet, 5);
  const size_t before = s.messages.size();
  command(d, kDriveCmdWriteFlash, 7);
  EXPECT_EQ(s.wValidSets, 1 << 5);
  EXPECT_EQ(command(d, kDriveCmdWriteFlash, 7).ttType, ttAck) << "a repeat is acknowledged";
  EXPECT_EQ(s.messages.size(), before + 1) << "but not acted on twice";
  command(d, kDriveCmdDeleteParamSet, 8);
  EXPECT_EQ(s.wValidSets, 0);
  command(d, ParamVersionCommand(42), 9, 1);
  EXPECT_EQ(d.description().targets[1].paramVersion, 42);
  EXPECT_EQ(command(d, kUnknownCommand, 10).ttType, ttNak);
}

TEST(Handlers, ControlCommands) {
  VirtualDrive d(smallDrive());
  auto& t = d.description().targets[0];
  const uint32_t g = t.globalChecksum();
  EXPECT_EQ(applyControl(d, R"({"op":"set-value","target":0,"index":0,"value":9})"), "");
  EXPECT_EQ(t.parameters[0].value, 9);
  EXPECT_EQ(applyControl(d, R"({"op":"set-caption","index":0,"caption":"Verst\u00e4rkung"})"), "");
  EXPECT_EQ(t.parameters[0].sCaption, "Verst\xE4rkung");
  EXPECT_NE(t.globalChecksum(), g);
  EXPECT_EQ(applyControl(d, R"({"op":"set-checksum","target":0,"checksum":5})"), "");
  EXPECT_EQ(tdata::DWord(d.answer(request(kCmdVersion, 0, {})), 4), 5u);
  EXPECT_EQ(applyControl(d, R"({"op":"target","target":1,"present":false})"), "");
  EXPECT_EQ(d.answer(request(kCmdVersion, 1, {})).ttType, ttNak);
  EXPECT_EQ(applyControl(d, R"({"op":"message","text":"hello"})"), "");
  EXPECT_EQ(d.description().status.messages.back().text, "hello");
  EXPECT_EQ(applyControl(d, R"({"op":"set-descriptor","index":1,"control":"led","group":0,"type":-2})"), "");
  EXPECT_EQ(tdata::Text(read(d, kCmdGetControl, 0, 1), 6), "led");
  EXPECT_EQ(int8_t(read(d, kCmdGetControl, 0, 1).baData[5]), -2);
  EXPECT_EQ(applyControl(d, R"({"op":"parameter-count","target":0,"count":5})"), "");
  EXPECT_EQ(tdata::Word(d.answer(request(kCmdVersion, 0, {})), 22), 5);
  EXPECT_EQ(tdata::Text(read(d, kCmdGetFirmwareName, 0, 4), 6), "ADDED4");
  EXPECT_EQ(applyControl(d, R"({"op":"parameter-count","target":0,"count":1})"), "");
  EXPECT_EQ(read(d, kCmdGetValue, 0, 1).ttType, ttNak) << "dropped parameters are refused";
  EXPECT_NE(applyControl(d, R"({"op":"parameter-count","target":0,"count":-1})"), "");
  EXPECT_NE(applyControl(d, R"({"op":"set-descriptor","index":0,"caption":"Half","group":300})"), "");
  EXPECT_EQ(tdata::Text(read(d, kCmdGetCaption, 0, 0), 6), "Verst\xE4rkung") << "a refused change changes nothing";
  EXPECT_NE(applyControl(d, R"({"op":"set-value","index":7,"value":1})"), "");
  EXPECT_NE(applyControl(d, R"({"op":"fly"})"), "");
  EXPECT_NE(applyControl(d, "not json"), "");
  EXPECT_NE(applyControl(d, R"({"op":"target","target":12,"present":true})"), "");
}
