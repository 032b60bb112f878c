// The model bound to the real communication interface: worker thread, frames
// and hand-overs, with the drive answering behind a fake serial port.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "DrivePort.h"
#include "ModelTestSupport.h"
#include "link/ThrdComm.h"

namespace zeb7 {
namespace {

class LinkedModelTest : public ::testing::Test {
 protected:
  LinkedModelTest() {
    drive.AddTarget(0, 40, 3);
    drive.AddTarget(2, 6, 1);
    auto answer = [this](const TTelegram& req) {
      std::lock_guard lock(driveLock);
      return drive.Answer(req);
    };
    comm = std::make_unique<TCommInterface>(exec, SteadyClock(), std::make_unique<test::DrivePort>(answer));
    comm->SetOnErrorMessage([this](const std::string& s) { errors.push_back(s); });
  }
  ~LinkedModelTest() override {
    m.Stop();
    comm.reset();
  }
  bool ServeUntil(const std::function<bool()>& done, int seconds = 20) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!done() && std::chrono::steady_clock::now() < until) exec.WaitAndProcess(5);
    return done();
  }

  TQueueExecutor exec;
  std::mutex driveLock;
  test::FakeDrive drive;
  std::unique_ptr<TCommInterface> comm;
  TDriveModel m;
  std::vector<std::string> errors;
};

TEST_F(LinkedModelTest, SynchronisesAndWritesAValueThroughTheLink) {
  m.ProjectState.Reset();
  m.ProjectState.Restart();
  m.Run(*comm);
  ASSERT_TRUE(comm->OpenCom());
  comm->Resume();
  auto done = [&] {
    auto lock = m.Lock();
    return m.ProjectState.ProjState() == statDone && m.ProjectState.fAllParametersRead();
  };
  ASSERT_TRUE(ServeUntil(done));
  EXPECT_EQ(m.ParameterList.Count(), 46);
  EXPECT_EQ(m.Strings.TypePlateLists[2]->GetString(0), "Type ZEB7");
  EXPECT_EQ(m.ProjectState.FirmwareLabel(), "ZEB1-234567");

  // a displayed value is written, echoed and then polled
  TParameter* p = m.ParameterList.Find(5, 2);
  ASSERT_NE(p, nullptr);
  test::FakeDisplay win(p->Descriptor());
  win.rawToSend = -123456789012LL;
  {
    auto lock = m.Lock();
    p->AddDisplay(&win);
  }
  // a write goes out only for a fully verified parameter; the checksum flag is
  // earned by the first value answer, which the new display brings about
  ASSERT_TRUE(ServeUntil([&] {
    auto lock = m.Lock();
    return p->ParamState() == ParamStateAllOK;
  }));
  m.ExchVars.SendeNeuenWert(&win);
  // the echo of the write carries all 64 bits; the fake drive's later polls
  // answer with 32, so look for the echo rather than at the last value
  ASSERT_TRUE(ServeUntil([&] {
    return std::find(win.values.begin(), win.values.end(), -123456789012LL) != win.values.end();
  }));
  {
    std::lock_guard lock(driveLock);
    EXPECT_EQ(drive.targets[2].params[5].value, -123456789012LL);
  }
  m.ExchVars.SendCommand(kDriveCmdEnable);
  ASSERT_TRUE(ServeUntil([&] {
    std::lock_guard lock(driveLock);
    return drive.commands == 2;  // targets 0 and 2 are present
  }));
  m.Stop();
  p->MyDisplayWins.clear();
}

}  // namespace
}  // namespace zeb7
