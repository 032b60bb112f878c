// Flash programming and read-back logic against the virtual drive in this process.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "FirmwareTestUtil.h"
#include "SimDrive.h"
#include "SimFlash.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "firmware/CallQueue.h"
#include "firmware/FrmDownLogic.h"
#include "firmware/FrmUploadLogic.h"
#include "link/TelegramData.h"

using namespace zeb7;
using namespace std::chrono_literals;

namespace {

struct RecordingView : IDownloadView {
  std::vector<std::string> log, flashLabels, spiLabels;
  std::vector<int> progress;
  TControlEnable enabled;
  int closes = 0;
  void LogMessage(const std::string& s) override { log.push_back(s); }
  void SetSpiLabel(const std::string& s) override { spiLabels.push_back(s); }
  void SetFlashLabel(const std::string& s) override { flashLabels.push_back(s); }
  void SetProgress(int p) override { progress.push_back(p); }
  void EnableControls(const TControlEnable& e) override { enabled = e; }
  void ShowEraseRange(const std::string&, const std::string&) override {}
  void CloseWindow() override { ++closes; }
  bool Logged(const std::string& s) const { return std::find(log.begin(), log.end(), s) != log.end(); }
  bool Labelled(const std::string& s) const {
    return std::find(flashLabels.begin(), flashLabels.end(), s) != flashLabels.end();
  }
};

std::string IntelImage(uint32_t address, const std::vector<uint8_t>& data) {
  std::string s = test::IntelData(0, {uint8_t(address >> 24), uint8_t(address >> 16)}, 4) + "\r\n";
  for (size_t i = 0; i < data.size(); i += 16) {
    std::vector<uint8_t> line(data.begin() + i, data.begin() + std::min(data.size(), i + 16));
    s += test::IntelData(uint32_t(address + i) & 0xFFFF, line) + "\r\n";
  }
  return s + ":00000001FF\r\n";
}

std::vector<uint8_t> Pattern(size_t n, uint8_t seed) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = uint8_t((i * 7 + seed) ^ (i >> 8));
  return v;
}

// A link to the virtual drive in this process, with the logic's calls served.
class FlashLogicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server = test::StartSimServer();
    comm = std::make_unique<TCommInterface>(exec);
    comm->PortTable().SetEntry(1, server->devicePath());
    comm->SetComPort(1);
    ASSERT_TRUE(comm->OpenCom());
    comm->Resume();
    logic = std::make_unique<TDownloadLogic>(*comm, view, calls.Poster());
  }
  void TearDown() override {
    logic.reset();
    comm.reset();
  }
  bool Serve(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    return test::WaitServing(exec, [&] {
      calls.Drain();
      return done();
    }, limit);
  }
  sim::SimFlash& Flash() { return sim::simFlash(server->drive()); }
  std::vector<uint8_t> FlashBytes(uint16_t target, uint32_t address, size_t n) {
    std::lock_guard lock(server->drive().mutex());
    const sim::SimFlashTarget* t = Flash().target(target);
    return {t->bytes.begin() + (address - t->base), t->bytes.begin() + (address - t->base) + n};
  }
  void Control(const std::string& json) { ASSERT_EQ(server->control(json), ""); }
  void UseImage(int tab, uint32_t address, const std::vector<uint8_t>& data) {
    logic->iTab = tab;
    logic->aFilename[tab] = dir.Write("image" + std::to_string(tab) + ".hex", IntelImage(address, data));
  }

  test::TempDir dir{"zeb7flash"};
  std::unique_ptr<sim::SimServer> server;
  TQueueExecutor exec;
  std::unique_ptr<TCommInterface> comm;
  RecordingView view;
  TCallQueue calls;
  std::unique_ptr<TDownloadLogic> logic;
};

TEST_F(FlashLogicTest, RunAllProgramsVerifiesAndDisconnects) {
  const auto data = Pattern(200, 3);
  UseImage(1, 0x102000, data);
  ASSERT_TRUE(logic->Show());
  ASSERT_TRUE(logic->RunAllClick());
  // The automatic erase range is the image's: start and the address after its last byte.
  EXPECT_EQ(logic->iLowerEraseAddress(), 0x102000);
  EXPECT_EQ(logic->iUpperEraseAddress(), 0x1020C8);
  ASSERT_TRUE(Serve([&] { return logic->State() == dlsDisconnected && !logic->DoRunAll(); }));
  EXPECT_TRUE(logic->Programmed());
  EXPECT_TRUE(logic->Verified());
  EXPECT_EQ(FlashBytes(kFlashTargetDSP, 0x102000, data.size()), data);
  EXPECT_TRUE(view.Logged("verifying..."));
  EXPECT_TRUE(view.Labelled("PROGRAMMED"));
  EXPECT_EQ(logic->iTargetFlash(), kFlashTargetDSP);
  // Closing asks for normal mode and closes once the drive reports it.
  EXPECT_EQ(logic->CloseQuery(), TDownloadLogic::caRefused);
  ASSERT_TRUE(Serve([&] { return view.closes > 0; }));
  EXPECT_EQ(logic->State(), dlsNormalMode);
}

TEST_F(FlashLogicTest, ReadBackMismatchIsAnErrorNeverProgrammed) {
  const auto data = Pattern(256, 9);
  UseImage(0, 0x4000, data);
  Control(R"({"op":"flash-stuck","address":16500})");  // a worn cell inside the image
  ASSERT_TRUE(logic->Show());
  ASSERT_TRUE(logic->RunAllClick());
  ASSERT_TRUE(Serve([&] { return logic->State() == dlsError; }));
  EXPECT_FALSE(logic->Programmed());
  EXPECT_FALSE(view.Labelled("PROGRAMMED"));
  EXPECT_TRUE(view.Logged("Verify error at 0x4074: 0xFF <> 0x" + [&] {
    char b[8];
    std::snprintf(b, sizeof b, "%02X", data[0x74]);
    return std::string(b);
  }()));
}

TEST_F(FlashLogicTest, FlashErrorStopsAndFlushesTheRemainingBlocks) {
  const auto data = Pattern(64 * 40, 1);
  UseImage(0, 0x10000, data);
  Control(R"({"op":"flash-fail","after":5})");
  ASSERT_TRUE(logic->Show());
  ASSERT_TRUE(logic->RunAllClick());
  ASSERT_TRUE(Serve([&] { return logic->State() == dlsError; }));
  // Let whatever is still on its way arrive: nothing more may be programmed.
  ASSERT_TRUE(Serve([&] { return comm->HistCount() == 0 && comm->GetSendQueueSize() == 0; }));
  EXPECT_FALSE(logic->Programmed());
  EXPECT_FALSE(view.Labelled("PROGRAMMED"));
  EXPECT_TRUE(view.Labelled("FLASH ERROR -5, ID = 0x710"));
  EXPECT_EQ(FlashBytes(kFlashTargetSTR710, 0x10000 + 39 * 64, 64), std::vector<uint8_t>(64, 0xFF));
}

TEST_F(FlashLogicTest, LostAnswerNeverEndsProgrammedAndLateOnesDoNotCountAfterCancel) {
  const auto data = Pattern(64 * 30, 2);
  UseImage(2, 0x200000, data);
  Control(R"({"op":"flash-silent","after":3,"count":40})");
  ASSERT_TRUE(logic->Show());
  ASSERT_TRUE(logic->RunAllClick());
  ASSERT_TRUE(Serve([&] { return logic->LostTelegrams() > 0; }));
  EXPECT_TRUE(view.Logged("No Response (cmd = 73)!"));
  EXPECT_EQ(logic->State(), dlsWaitForProgramming);
  const int32_t counted = logic->iTeleCounter();
  EXPECT_LT(counted, 30);
  logic->CancelClick();
  ASSERT_TRUE(Serve([&] { return logic->State() == dlsDisconnected; }));
  EXPECT_FALSE(logic->Programmed());
  EXPECT_FALSE(view.Labelled("PROGRAMMED"));
}

TEST_F(FlashLogicTest, ShortAnswersAndConfirmationsOutsideTheWaitAreIgnored) {
  // Forty separate 64-byte pieces: forty program blocks.
  std::string text = test::IntelData(0, {0, 0}, 4) + "\r\n";
  for (uint32_t i = 0; i < 40; ++i)
    for (uint32_t k = 0; k < 4; ++k) text += test::IntelData(0x1000 + i * 128 + k * 16, test::Bytes(16, uint8_t(i))) + "\r\n";
  logic->aFilename[0] = dir.Write("pieces.hex", text + ":00000001FF\r\n");
  ASSERT_TRUE(logic->LoadHexFile());
  ASSERT_EQ(logic->Image().DataList().size(), 40u);
  auto answer = [&](uint8_t command, uint8_t length, uint8_t state) {
    auto t = std::make_unique<TTelegram>(logic.get());
    t->bCommand = command;
    t->bLength = length;
    t->baData.fill(0);
    t->baData[0] = state;
    EXPECT_TRUE(logic->OnFlashTelegram(t));
  };
  logic->SetState(dlsWaitForProgramming);
  answer(kCmdFlashProgram, 2, kFlashStateBlockProgrammed);  // too short
  EXPECT_EQ(logic->iTeleCounter(), 0);
  answer(kCmdFlashState, 6, kFlashStateBlockProgrammed);  // not a program answer
  EXPECT_EQ(logic->iTeleCounter(), 0);
  logic->fVerify = false;
  for (int i = 0; i < 40; ++i) answer(kCmdFlashProgram, 6, kFlashStateBlockProgrammed);
  calls.Drain();
  EXPECT_EQ(logic->State(), dlsProgrammed);
  EXPECT_EQ(view.progress, (std::vector<int>{50, 100}));  // the 20th and the 40th only
  answer(kCmdFlashProgram, 6, kFlashStateBlockProgrammed);  // no wait any more
  EXPECT_EQ(logic->iTeleCounter(), 40);

  // A service state with the high bit set counts by its low 7 bits.
  logic->SetState(dlsWaitForConnect);
  answer(kCmdServiceState, 1, 0x84);
  EXPECT_EQ(logic->State(), dlsConnected);
  // A telegram of somebody else is left to the others.
  auto foreign = std::make_unique<TTelegram>(nullptr);
  foreign->bCommand = kCmdFlashState;
  EXPECT_FALSE(logic->OnFlashTelegram(foreign));
}

TEST_F(FlashLogicTest, BadImagesAndErasesAreRefusedBeforeAnythingIsSent) {
  ASSERT_TRUE(logic->Show());
  logic->aFilename[0] = dir.File("missing.hex");
  EXPECT_FALSE(logic->RunAllClick());
  calls.Drain();
  EXPECT_TRUE(view.Logged("File " + dir.File("missing.hex") + " not found!"));
  EXPECT_EQ(logic->State(), dlsNormalMode);

  logic->aFilename[0] = dir.Write("empty.hex", ":00000001FF\r\n");
  EXPECT_FALSE(logic->LoadHexFile());
  EXPECT_FALSE(logic->RunAllClick());
  calls.Drain();
  EXPECT_TRUE(view.Logged("File " + dir.File("empty.hex") + " holds no data!"));
  EXPECT_EQ(logic->State(), dlsNormalMode);

  logic->aErasureMode[0] = 1;
  logic->aFromAddr[0] = "0x1000";
  for (const char* bad : {"0x1000000", "0xFFF", "1.0000"}) {
    logic->aToAddr[0] = bad;
    EXPECT_FALSE(logic->CheckEraseSetup()) << bad;
  }
  logic->aToAddr[0] = "0xFFFFFF";
  EXPECT_TRUE(logic->CheckEraseSetup());
  logic->aFromAddr[0] = "0x01.2000";  // as the automatic mode shows it
  EXPECT_FALSE(logic->CheckEraseSetup());
  calls.Drain();
  EXPECT_TRUE(view.Logged("\"End Address\": Invalid number"));
  EXPECT_TRUE(view.Logged("\"Start Address\": Invalid number"));
  EXPECT_FALSE(logic->FlashModified());
}

TEST_F(FlashLogicTest, CloseIsRefusedUntilNormalModeAndPriorityIsRestored) {
  comm->SetPriority(tpLowest);
  ASSERT_TRUE(logic->Show());
  EXPECT_EQ(comm->Priority(), tpHigher);
  Control(R"({"op":"flash-stay-connecting"})");
  logic->ConnectClick();
  ASSERT_TRUE(Serve([&] { return logic->State() == dlsWaitForConnect; }));
  EXPECT_EQ(logic->CloseQuery(), TDownloadLogic::caRefused);
  EXPECT_TRUE(logic->State() == dlsStartNormalMode || logic->State() == dlsWaitNormalMode);
  EXPECT_EQ(logic->CloseQuery(), TDownloadLogic::caRefused);
  EXPECT_EQ(logic->CloseQuery(), TDownloadLogic::caAskUser);
  logic->Close();
  EXPECT_EQ(comm->Priority(), tpLowest);
  EXPECT_FALSE(comm->Thread().IdleSlot(0));
}

TEST_F(FlashLogicTest, RefusedWhileAParameterDownloadRuns) {
  EXPECT_FALSE(logic->Show(true));
  EXPECT_FALSE(comm->Thread().IdleSlot(0));
  EXPECT_FALSE(logic->Shown());
}

// Without a worker: the idle function is called by hand.
TEST(FlashIdle, PostsOnlyOnAnOpenPortWithAnEmptyQueue) {
  TQueueExecutor exec;
  TCommInterface comm(exec);
  comm.PortTable().SetEntry(1, "/nonexistent/tty");
  comm.SetComPort(1);
  RecordingView view;
  TCallQueue calls;
  TDownloadLogic logic(comm, view, calls.Poster());
  logic.SetState(dlsStartConnect);
  for (int i = 0; i < 50; ++i) logic.OnIdle();
  EXPECT_EQ(comm.GetSendQueueSize(), 0);
  EXPECT_EQ(logic.State(), dlsStartConnect);

  // With the port open and something queued, nothing is added either.
  auto server = test::StartSimServer();
  comm.PortTable().SetEntry(1, server->devicePath());
  comm.SetComPort(1);
  ASSERT_TRUE(comm.OpenCom());
  comm.PostTelegram(std::make_unique<TTelegram>());
  for (int i = 0; i < 50; ++i) logic.OnIdle();
  EXPECT_EQ(comm.GetSendQueueSize(), 1);
  comm.FlushSendQueue();
  logic.OnIdle();
  EXPECT_EQ(comm.GetSendQueueSize(), 1);  // the connect request
  EXPECT_EQ(logic.State(), dlsWaitForConnect);
}

struct UploadView : IUploadView {
  std::vector<std::string> log;
  bool badStart = false, badSize = false, enabled = true;
  void LogMessage(const std::string& s) override { log.push_back(s); }
  void SetProgress(int) override {}
  void EnableButtons(bool e) override { enabled = e; }
  void MarkStartAddrInvalid(bool b) override { badStart = b; }
  void MarkSizeInvalid(bool b) override { badSize = b; }
};

// Lost block answers are asked for again only once nothing is in flight: a
// request per missing block on every idle call would flood the queue.
TEST(FlashUpload, RepeatsOnlyWhenNothingIsInFlightAndWritesTheFile) {
  sim::SimOptions opt;
  opt.faults.drop = 0.3;
  opt.faults.seed = 7;
  auto server = test::StartSimServer(opt);
  {
    std::lock_guard lock(server->drive().mutex());
    auto& t = *sim::simFlash(server->drive()).target(kFlashTargetFPGA);
    for (size_t i = 0; i < 16 * 1024; ++i) t.bytes[i] = uint8_t(i * 13 + 1);
  }
  TQueueExecutor exec;
  TCommInterface comm(exec);
  comm.PortTable().SetEntry(1, server->devicePath());
  comm.SetComPort(1);
  ASSERT_TRUE(comm.OpenCom());
  comm.Resume();
  UploadView view;
  TCallQueue calls;
  test::TempDir dir("zeb7upload");
  TUploadLogic upload(comm, view, calls.Poster());
  EXPECT_FALSE(upload.Start(kFlashTargetFPGA, "0x1000001", "16", dir.File("x.hex")));
  EXPECT_TRUE(view.badStart);
  EXPECT_FALSE(upload.Start(kFlashTargetFPGA, "0x200000", "16385", dir.File("x.hex")));
  EXPECT_TRUE(view.badSize);
  ASSERT_TRUE(upload.Start(kFlashTargetFPGA, "0x200000", "16", dir.File("fpga.hex")));
  EXPECT_FALSE(view.badStart || view.badSize || view.enabled);
  ASSERT_TRUE(test::WaitServing(exec, [&] {
    calls.Drain();
    return upload.Result() != TUploadLogic::urRunning;
  }, 60s));
  EXPECT_EQ(upload.Result(), TUploadLogic::urWritten);
  EXPECT_TRUE(view.enabled);
  // 256 blocks at 30 % loss: the link's own repeats and the idle's rounds need far fewer
  // requests than the thousands an idle re-request on every call would make.
  EXPECT_LT(server->stats().requests, 256u * 3);
  TDownloadImage back;
  ASSERT_TRUE(back.LoadHexFile(dir.File("fpga.hex"), {}));
  ASSERT_EQ(back.ByteCount(), 16u * 1024);
  for (const auto& b : back.DataList())
    for (int i = 0; i < b.bLength; ++i) ASSERT_EQ(b.baData[i], uint8_t((b.uAddress - 0x200000 + i) * 13 + 1));

  // A block answer without its 64 data bytes is ignored, not read from stale bytes.
  TFlashBlockReader reader(comm);
  reader.Start(kFlashTargetFPGA, {0x200000});
  auto shortAnswer = std::make_unique<TTelegram>(&reader);
  shortAnswer->bCommand = kCmdUploadBlock;
  shortAnswer->bLength = 4;
  tdata::SetDWord(*shortAnswer, 0, 0x200000);
  EXPECT_TRUE(reader.OnTelegram(shortAnswer));
  EXPECT_EQ(reader.Received(), 0);
  comm.FlushSendQueue();
}

TEST(FlashUpload, BlockAddressesFollowTheRange) {
  auto a = TUploadLogic::BlockAddresses(0x1008, 1);
  ASSERT_EQ(a.size(), 17u);
  EXPECT_EQ(a.front(), 0x1000u);
  EXPECT_EQ(a.back(), 0x1400u);
  EXPECT_EQ(TUploadLogic::BlockAddresses(0x1000, 1).size(), 16u);
  EXPECT_EQ(TUploadLogic::BlockAddresses(0x1000, 0).size(), 1u);
}

}  // namespace
