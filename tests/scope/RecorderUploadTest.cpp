// The recorder upload against the virtual drive in this process: what arrives,
// what the link looks like afterwards, and how faults and refusals end it.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "SimDrive.h"
#include "WaitFor.h"
#include "link/Commands.h"
#include "link/TelegramData.h"
#include "scope/RecorderUpload.h"

using namespace zeb7;
using namespace std::chrono_literals;

namespace {

class TestHost : public IRecorderUploadHost {
 public:
  explicit TestHost(TQueueExecutor& exec) : exec_(exec) {}
  void ShowStatus(const std::string& s) override {
    if (!s.empty()) statuses.push_back(s);
  }
  void ShowError(const std::string& s) override {
    if (!s.empty()) errors.push_back(s);
  }
  void SetProgress(int32_t v, int32_t) override { progress = v; }
  void SetCaption(const std::string& s) override { caption = s; }
  void Wait(const std::function<bool()>& done, uint32_t ms) override {
    ++waits;
    if (onWait) std::exchange(onWait, nullptr)();
    test::WaitServing(exec_, done, std::chrono::milliseconds(ms));
  }
  bool Quitting() const override { return quit; }
  bool HasError(const std::string& s) const { return std::find(errors.begin(), errors.end(), s) != errors.end(); }

  std::vector<std::string> statuses, errors;
  std::string caption;
  int32_t progress = -1;
  int waits = 0;
  bool quit = false;
  std::function<void()> onWait;  // runs once, inside the first wait

 private:
  TQueueExecutor& exec_;
};

struct Samples {
  std::array<std::array<int32_t, 256>, 12> v{};
  int calls = 0;
  TStoreFunction Store() {
    return [this](int32_t p, int32_t c, int32_t x) {
      ++calls;
      if (p >= 0 && p < 256 && c >= 0 && c < 12) v[size_t(c)][size_t(p)] = x;
    };
  }
};

class RecorderUploadTest : public ::testing::Test {
 protected:
  void Start(sim::FaultRates faults = {}) {
    sim::SimOptions o;
    o.faults = faults;
    server_ = test::StartSimServer(o);
    comm_ = std::make_unique<TCommInterface>(exec_);
    comm_->PortTable().SetEntry(1, server_->devicePath());
    comm_->SetComPort(1);
    comm_->SetPriority(tpLowest);
    comm_->SetOnErrorMessage([this](const std::string& s) { mainSink.push_back(s); });
    ASSERT_TRUE(comm_->OpenCom());
    comm_->Resume();
    host_ = std::make_unique<TestHost>(exec_);
    TRecorderUploadHooks hooks;
    hooks.StopPolling = [this] { ++stops; };
    hooks.RunPolling = [this] { ++runs; };
    hooks.PreviousErrorSink = [this](const std::string& s) { mainSink.push_back(s); };
    upload_ = std::make_unique<TRecorderUpload>(*comm_, *host_, hooks);
  }
  void TearDown() override {
    upload_.reset();
    comm_.reset();
    server_.reset();
  }
  // Records the point indices that reach recorder `r`.
  void WatchRequests(uint16_t r) {
    sim::CommandHandler reader = *server_->drive().uploadSource(r);
    server_->drive().setUploadSource(r, [this, reader](sim::VirtualDrive& d, const TTelegram& q, TTelegram& a) {
      {
        std::lock_guard lock(seenLock_);
        seen_.push_back(tdata::Word(q, 2));
      }
      reader(d, q, a);
    });
  }
  void ExpectRecorderData(const Samples& s, int r) {
    for (int c = 0; c < sim::recorderChannels(r); ++c)
      for (int p = 0; p < 256; ++p)
        ASSERT_EQ(s.v[size_t(c)][size_t(p)], sim::recorderSample(r, c, p)) << "channel " << c << " point " << p;
  }
  // The receive callback the upload registered, to hand it crafted answers.
  TTelegramFunction ReceiveSlot() {
    for (int i = 0; i < kCallbackSlots; ++i)
      if (auto f = comm_->Thread().Slot(TCommThread::skReceive, i)) return f;
    return {};
  }

  TQueueExecutor exec_;
  std::unique_ptr<sim::SimServer> server_;
  std::unique_ptr<TCommInterface> comm_;
  std::unique_ptr<TestHost> host_;
  std::unique_ptr<TRecorderUpload> upload_;
  std::vector<std::string> mainSink;
  int stops = 0, runs = 0;
  std::mutex seenLock_;
  std::vector<int> seen_;
};

std::unique_ptr<TTelegram> PointAnswer(uint16_t recorder, int16_t point, int values) {
  auto t = std::make_unique<TTelegram>();
  t->ttType = ttNormal;
  t->bCommand = kCmdUploadBlock;
  t->bTarget = static_cast<uint8_t>(recorder);
  tdata::SetWord(*t, 0, recorder);
  tdata::SetWord(*t, 2, static_cast<uint16_t>(point));
  for (int i = 0; i < values; ++i) tdata::SetWord(*t, 4 + 2 * i, static_cast<uint16_t>(-7 - i));
  t->bLength = static_cast<uint8_t>(4 + 2 * values);
  return t;
}

}  // namespace

TEST(RecorderUploadTexts, ElapsedTimeIsShownInWholeSeconds) {
  EXPECT_EQ(UploadDoneText(5120, 2900), "Upload fertig: 5120 Bytes [2 sec]");
  EXPECT_EQ(UploadDoneText(0, 999), "Upload fertig: 0 Bytes [0 sec]");
  EXPECT_EQ(UnsupportedCommandText(50), " Nicht unterst\u00fctztes Kommando 50");
  EXPECT_EQ(UploadCaption(3), "Upload Recorder 3");
}

TEST_F(RecorderUploadTest, UploadsEveryPointOnceAndGivesTheLinkBack) {
  Start();
  WatchRequests(1);
  Samples s;
  upload_->Prepare();
  EXPECT_EQ(stops, 1);
  EXPECT_EQ(comm_->Priority(), tpHigher);
  ASSERT_TRUE(upload_->StartUpload(1, s.Store(), 256)) << (host_->errors.empty() ? "" : host_->errors.back());
  ExpectRecorderData(s, 1);
  EXPECT_EQ(s.calls, 256 * sim::recorderChannels(1));
  EXPECT_EQ(host_->caption, "Upload Recorder 1");
  EXPECT_EQ(host_->statuses.front(), "Upload vorbereiten...");
  EXPECT_EQ(host_->statuses.back().rfind("Upload fertig: 2048 Bytes [", 0), 0u) << host_->statuses.back();
  EXPECT_TRUE(upload_->boEndConfirmed);
  {
    std::lock_guard lock(seenLock_);
    ASSERT_EQ(seen_.size(), 256u);
    EXPECT_EQ(std::set<int>(seen_.begin(), seen_.end()).size(), 256u);
    EXPECT_EQ(*std::max_element(seen_.begin(), seen_.end()), 255);
  }
  upload_->Release();
  EXPECT_EQ(runs, 1);
  // Back to the priority it had, not to some fixed level.
  EXPECT_EQ(comm_->Priority(), tpLowest);
  EXPECT_FALSE(ReceiveSlot()) << "callbacks removed";
  // The previous error sink is back: a port failure reaches it.
  mainSink.clear();
  comm_->Suspend();
  comm_->CloseCom();
  comm_->PortTable().SetEntry(1, "/nonexistent/zeb7-recorder");
  EXPECT_FALSE(comm_->OpenCom());
  EXPECT_FALSE(mainSink.empty());
}

TEST_F(RecorderUploadTest, TenChannelsArriveIntactThroughDropsAndCorruptFrames) {
  sim::FaultRates f;
  f.drop = 0.05;
  f.corrupt = 0.05;
  f.seed = 12;
  Start(f);
  Samples s;
  upload_->Prepare();
  ASSERT_TRUE(upload_->StartUpload(0, s.Store(), 256)) << (host_->errors.empty() ? "" : host_->errors.back());
  ExpectRecorderData(s, 0);
  EXPECT_EQ(upload_->iPointsReceived, 256);
  EXPECT_GT(server_->stats().dropped + server_->stats().corrupted, 0u) << "the faults really happened";
}

TEST_F(RecorderUploadTest, ARefusedStartShowsTheCommandAndEndsWithoutData) {
  Start();
  Samples s;
  upload_->Prepare();
  EXPECT_FALSE(upload_->StartUpload(7, s.Store(), 256));  // no recorder 7
  EXPECT_TRUE(host_->HasError(" Nicht unterst\u00fctztes Kommando 50"));
  EXPECT_EQ(host_->statuses.back(), "Upload abgebrochen");
  EXPECT_TRUE(upload_->boCanClose);
}

TEST_F(RecorderUploadTest, ADriveSilentOnTheEndCommandIsNoSuccess) {
  Start();
  server_->drive().setHandler(kCmdUploadEnd, [](sim::VirtualDrive&, const TTelegram&, TTelegram& a) {
    a.ttType = ttNone;
  });
  Samples s;
  upload_->Prepare();
  EXPECT_FALSE(upload_->StartUpload(2, s.Store(), 256));
  ExpectRecorderData(s, 2);  // every point came, only the end was never confirmed
  EXPECT_FALSE(upload_->boEndConfirmed);
  EXPECT_TRUE(host_->HasError(" Sende-Timeout!"));
}

TEST_F(RecorderUploadTest, OnlyWellFormedAnswersOfTheRecorderAreTaken) {
  Start();
  // The drive never answers a point, so the upload waits and the answers below
  // are the only ones it sees.
  server_->drive().setUploadSource(3, [](sim::VirtualDrive&, const TTelegram&, TTelegram& a) { a.ttType = ttNone; });
  Samples s;
  upload_->Prepare();
  bool other = true, shortOne = true, negative = true, four = false, good = false;
  host_->onWait = [&] {
    TTelegramFunction f = ReceiveSlot();
    auto t = PointAnswer(2, 5, 3);
    other = f.Fn(t);  // another recorder's answer is left to the others
    t = PointAnswer(3, 5, 0);
    t->bLength = 3;
    shortOne = f.Fn(t);
    t = PointAnswer(3, -2, 3);
    negative = f.Fn(t);
    t = PointAnswer(3, 6, 0);  // data length 4: counted, nothing stored
    four = f.Fn(t);
    t = PointAnswer(3, 9, 2);
    good = f.Fn(t);
    host_->quit = true;  // the program ends: the upload must return
  };
  EXPECT_FALSE(upload_->StartUpload(3, s.Store(), 256));
  EXPECT_FALSE(other);
  EXPECT_FALSE(shortOne);
  EXPECT_FALSE(negative);
  EXPECT_TRUE(four);
  EXPECT_TRUE(good);
  EXPECT_EQ(upload_->iTelegramsReceived, 2);
  EXPECT_EQ(upload_->iBytesReceived, 4);
  EXPECT_EQ(s.calls, 2);
  EXPECT_EQ(s.v[0][9], -7);
  EXPECT_EQ(s.v[1][9], -8);
}

TEST_F(RecorderUploadTest, AnErrorWaitsForTheCancelOrTheEndOfTheProgram) {
  Start();
  upload_->boWaitForCancelAfterError = true;
  upload_->iEndTimeoutMs = 20000;
  Samples s;
  upload_->Prepare();
  int waitsAfterError = 0;
  // Count the waits after the refusal: the window keeps the error visible,
  // then the program quits and the call still returns.
  std::function<void()> watch = [&] {
    if (upload_->boErrors && upload_->boCanClose && ++waitsAfterError >= 3) host_->quit = true;
    host_->onWait = watch;
  };
  host_->onWait = watch;
  EXPECT_FALSE(upload_->StartUpload(9, s.Store(), 256));
  EXPECT_GE(waitsAfterError, 3);
  EXPECT_TRUE(host_->HasError(" Nicht unterst\u00fctztes Kommando 50"));
}

TEST_F(RecorderUploadTest, PortNotReadyReturnsAtOnce) {
  Start();
  comm_->Suspend();
  comm_->CloseCom();
  upload_->Prepare();
  Samples s;
  EXPECT_FALSE(upload_->StartUpload(0, s.Store(), 256));
  EXPECT_TRUE(host_->HasError("COM-Schnittstelle nicht bereit!"));
  EXPECT_EQ(s.calls, 0);
}
