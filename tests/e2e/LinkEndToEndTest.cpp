// The link against the virtual drive as a separate process on a pseudo-terminal.
#include "Programs.h"
#include "SimDrive.h"
#include "TempDir.h"
#include "link/Commands.h"
#include "link/ThrdComm.h"

#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

using namespace zeb7;
using namespace std::chrono_literals;

namespace {

using test::SimChild;

std::string tempPath(const std::string& name) {
  static test::TempDir dir("zeb7e2e");
  return dir.File(name);
}

// A drive whose target 0 has enough parameters that every request of a test reads
// its own index.
std::string bigDrive() {
  static const std::string path = [] {
    nlohmann::json params = nlohmann::json::array();
    for (int i = 0; i < 2500; ++i)
      params.push_back({{"name", "P" + std::to_string(i)}, {"control", "NUMERIC"}, {"caption", "Value"},
                        {"value", i * 3}});
    nlohmann::json d{{"targets", {{{"target", 0}, {"parameters", params}}}}};
    std::string p = tempPath("big-drive.json");
    std::ofstream(p) << d.dump();
    return p;
  }();
  return path;
}

// The PC side: the link with callbacks that record every outcome by the request's
// sequence number, which is the parameter index read (the drive echoes it).
class Client {
 public:
  explicit Client(const std::string& device) : comm(exec) {
    comm.PortTable().SetEntry(1, device);
    comm.SetComPort(1);
    comm.SetOnErrorMessage([this](const std::string& s) { ++errors[s]; });
    comm.AddReceiveFunction(TelegramFunction(&answered, [this](std::unique_ptr<TTelegram>& t) {
      if (t->pOwner != this) return false;
      answered.push_back(sequenceOf(*t));
      return true;
    }));
    comm.AddMissingAckFunction(TelegramFunction(&missing, [this](std::unique_ptr<TTelegram>& t) {
      if (t->pOwner != this) return false;
      missing.push_back(sequenceOf(*t));
      return true;
    }));
    comm.AddNakFunction(TelegramFunction(&refused, [this](std::unique_ptr<TTelegram>& t) {
      if (t->pOwner != this) return false;
      refused.push_back(sequenceOf(*t));
      return true;
    }));
  }
  ~Client() { comm.SetOnErrorMessage(nullptr); }

  bool open() {
    bool ok = comm.OpenCom();
    comm.Resume();
    return ok;
  }

  // A value read of parameter `seq` on target 0.
  void post(int seq, int retries = 8) {
    auto t = std::make_unique<TTelegram>(this);
    t->bCommand = kCmdGetValue;
    t->bTarget = 0;
    t->bLength = 3;
    t->SetData(0, seq);
    t->iRetry = retries;
    posted.push_back(seq);
    comm.PostTelegram(std::move(t));
  }

  size_t outcomes() const { return answered.size() + missing.size() + refused.size(); }

  bool serveUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) exec.WaitAndProcess(10);
    return done();
  }

  // Posts `n` requests keeping the queue short, as the idle poller does.
  bool run(int n, std::chrono::milliseconds limit, const std::function<int(int)>& retries = nullptr) {
    int next = int(posted.size());
    const size_t goal = posted.size() + size_t(n);
    auto end = std::chrono::steady_clock::now() + limit;
    while (outcomes() < goal && std::chrono::steady_clock::now() < end) {
      while (posted.size() < goal && comm.GetSendQueueSize() < 5) {
        post(next, retries ? retries(next) : 8);
        ++next;
      }
      exec.WaitAndProcess(5);
    }
    return outcomes() >= goal;
  }

  TQueueExecutor exec;
  TCommInterface comm;
  std::vector<int> posted, answered, missing, refused;
  std::map<std::string, int> errors;

 private:
  static int sequenceOf(const TTelegram& t) { return t.GetData(0) & 0xFFFF; }
};

struct LogCounts {
  int requests = 0, answers = 0, faulty = 0;
  int deliverable = 0;  // neither dropped nor corrupted (noise before a frame does not spoil it)
};

LogCounts readLog(const std::string& path) {
  LogCounts c;
  for (const auto& j : test::ReadJsonLines(path)) {
    if (j.at("dir") == "request") ++c.requests;
    if (j.at("dir") == "answer") {
      ++c.answers;
      const std::string fault = j.value("fault", "");
      c.faulty += !fault.empty();
      c.deliverable += fault.find("drop") == std::string::npos && fault.find("corrupt") == std::string::npos;
    }
  }
  return c;
}

}  // namespace

TEST(LinkEndToEnd, TwoThousandRequestsAllAnsweredInOrder) {
  SimChild drive({"--drive", bigDrive()});
  Client pc(drive.devicePath());
  ASSERT_TRUE(pc.open());
  ASSERT_TRUE(pc.run(2000, 60s)) << "outcomes " << pc.outcomes();
  EXPECT_EQ(pc.answered, pc.posted) << "every request answered, callbacks in posting order";
  EXPECT_TRUE(pc.missing.empty());
  EXPECT_EQ(pc.comm.Good(), 2000);
  EXPECT_EQ(pc.comm.Bad(), 0);
  EXPECT_EQ(pc.comm.Repeated(), 0);
  EXPECT_TRUE(pc.errors.empty()) << pc.errors.begin()->first;
}

TEST(LinkEndToEnd, FaultyLineLosesNothingSilently) {
  const std::string log = tempPath("faults.log");
  SimChild drive({"--drive", bigDrive(), "--drop", "0.05", "--corrupt", "0.05", "--garbage", "0.05", "--seed", "11",
                               "--log", log});
  Client pc(drive.devicePath());
  ASSERT_TRUE(pc.open());
  // Every fourth request gets a single transmission, so some of them run out of
  // retries and must reach the missing-acknowledge callback.
  const int n = 1000;
  ASSERT_TRUE(pc.run(n, 50s, [](int seq) { return seq % 4 == 0 ? 1 : 8; })) << "outcomes " << pc.outcomes();
  pc.serveUntil([] { return false; }, 300ms);  // late answers to repeated requests

  std::vector<int> all = pc.answered;
  all.insert(all.end(), pc.missing.begin(), pc.missing.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, pc.posted) << "each request answered or given up, exactly once";
  EXPECT_TRUE(pc.refused.empty());
  EXPECT_FALSE(pc.missing.empty());
  for (int seq : pc.missing) EXPECT_EQ(seq % 4, 0) << "with 8 transmissions nothing is given up";
  EXPECT_EQ(int(pc.answered.size()) + int(pc.missing.size()), n);

  // The link's counters against what the drive logged.
  const LogCounts c = readLog(log);
  EXPECT_EQ(pc.comm.Good(), int(pc.answered.size()));
  EXPECT_GE(pc.comm.Bad(), int(pc.missing.size()));
  EXPECT_GT(pc.comm.Repeated(), 0);
  const int transmissions = n + pc.comm.Repeated();
  EXPECT_LE(c.requests, transmissions) << "the drive saw no request that was not sent";
  EXPECT_GE(c.requests, transmissions - 3 * 10) << "only requests cut off by a port reopen may be missing";
  EXPECT_EQ(c.answers, c.requests) << "one answer decided per request";
  EXPECT_GE(c.deliverable, int(pc.answered.size()));
  // Bad = given up + answers that matched nothing (late answers to repeated requests),
  // and those can only come from the deliverable answers not matched.
  EXPECT_LE(pc.comm.Bad() - int(pc.missing.size()), c.deliverable - int(pc.answered.size()));
  EXPECT_GT(c.faulty, 0);
  EXPECT_GT(pc.errors["Received Checksum Error"] + pc.errors["Received Format Error"], 0);
  std::filesystem::remove(log);
}

TEST(LinkEndToEnd, LinkResumesAfterTheDriveIsRestarted) {
  const std::string link = tempPath("drive-link");
  auto drive = std::make_unique<SimChild>(std::vector<std::string>{"--drive", bigDrive(), "--link", link});
  Client pc(link);
  ASSERT_TRUE(pc.open());
  ASSERT_TRUE(pc.run(100, 20s));
  drive->kill(SIGKILL);
  // A killed drive leaves its link behind, pointing at a terminal number that any
  // other program may get next; whoever restarts the drive removes it first.
  std::filesystem::remove(link);

  // Requests posted while the drive is gone wait, repeat or are given up.
  for (int i = 0; i < 6; ++i) pc.post(int(pc.posted.size()));
  pc.serveUntil([] { return false; }, 500ms);
  drive = std::make_unique<SimChild>(std::vector<std::string>{"--drive", bigDrive(), "--link", link});
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), drive->devicePath());
  const size_t before = pc.answered.size();
  ASSERT_TRUE(pc.run(200, 30s)) << "outcomes " << pc.outcomes();
  EXPECT_GE(pc.answered.size(), before + 200 - 6) << "the link found the new drive by itself";
  EXPECT_TRUE(pc.refused.empty()) << "refusals: the link talked to some other drive";
  EXPECT_EQ(pc.outcomes(), pc.posted.size());
  std::vector<int> all = pc.answered;
  all.insert(all.end(), pc.missing.begin(), pc.missing.end());
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, pc.posted);
}
