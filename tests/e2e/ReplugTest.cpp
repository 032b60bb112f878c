// An adapter unplugged and plugged in again: the drive's device disappears and
// comes back behind the same stable link, under another kernel name. The link,
// bound to the stable name, resumes by itself.
#include "SimDrive.h"
#include "TempDir.h"
#include "link/Commands.h"
#include "link/ThrdComm.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

using namespace zeb7;
using namespace std::chrono_literals;

namespace {

struct Client {
  explicit Client(const std::string& device) : comm(exec) {
    comm.PortTable().SetSystemFolders("/nonexistent", "/nonexistent");
    comm.PortTable().SetEntry(1, device);
    comm.SetComPort(1);
    comm.AddReceiveFunction(TelegramFunction(this, [this](std::unique_ptr<TTelegram>& t) {
      if (t->pOwner != this) return false;
      ++answered;
      return true;
    }));
    comm.AddMissingAckFunction(TelegramFunction(&answered, [this](std::unique_ptr<TTelegram>& t) {
      return t->pOwner == this;
    }));
  }
  // Keeps a few version requests queued until `n` more answers came or `limit` passed.
  bool answers(int n, std::chrono::milliseconds limit) {
    const int goal = answered + n;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (answered < goal && std::chrono::steady_clock::now() < end) {
      while (comm.GetSendQueueSize() < 3) {
        auto t = std::make_unique<TTelegram>(this);
        t->bCommand = kCmdVersion;
        t->bTarget = 0;
        comm.PostTelegram(std::move(t));
      }
      exec.WaitAndProcess(5);
    }
    return answered >= goal;
  }
  TQueueExecutor exec;
  TCommInterface comm;
  int answered = 0;
};

}  // namespace

TEST(Replug, ResumesOnTheSameStableNameUnderAnotherKernelName) {
  test::TempDir dev("zeb7replug");
  const auto byId = dev.Path() / "serial" / "by-id";
  std::filesystem::create_directories(byId);
  const std::string link = (byId / "usb-FTDI_FT232R_A1B2C3-if00-port0").string();

  auto drive = std::make_unique<test::SimChild>(std::vector<std::string>{"--link", link});
  const std::string firstDevice = drive->devicePath();
  // Held open across the unplug, so the kernel cannot hand the same terminal
  // number to the new drive: it must come back under another name.
  const int holder = ::open(firstDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(holder, 0);

  Client pc(link);
  ASSERT_TRUE(pc.comm.OpenCom());
  pc.comm.Resume();
  ASSERT_TRUE(pc.answers(20, 20s));

  drive->kill(SIGKILL);  // unplugged
  std::filesystem::remove(link);  // udev removes the link with the device
  drive = std::make_unique<test::SimChild>(std::vector<std::string>{"--link", link});  // plugged in again
  EXPECT_NE(drive->devicePath(), firstDevice);
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), drive->devicePath());

  const auto back = std::chrono::steady_clock::now();
  EXPECT_TRUE(pc.answers(20, 30s)) << "the link did not find the drive behind " << link;
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - back);
  RecordProperty("resume_ms", int(ms.count()));
  std::printf("resumed on %s (now %s) %lld ms after the drive came back\n", link.c_str(),
              drive->devicePath().c_str(), static_cast<long long>(ms.count()));
  pc.comm.SetOnErrorMessage(nullptr);
  ::close(holder);
}
