#include "LineCodec.h"
#include "SimServer.h"
#include "TempDir.h"
#include "WaitFor.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace zeb7;
using namespace zeb7::sim;
using namespace std::chrono_literals;

namespace {

// The PC's side, reduced to raw bytes.
class Pc {
 public:
  explicit Pc(const std::string& dev) {
    fd_ = ::open(dev.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd_ >= 0) {
      termios t{};
      tcgetattr(fd_, &t);
      cfmakeraw(&t);
      tcsetattr(fd_, TCSANOW, &t);
    }
  }
  ~Pc() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool ok() const { return fd_ >= 0; }

  void send(uint8_t ident, uint8_t cmd, uint8_t target, std::vector<uint8_t> data = {}) {
    TTelegram t;
    t.ttType = ttNormal;
    t.bIdent = ident;
    t.bCommand = cmd;
    t.bTarget = target;
    t.bLength = uint8_t(data.size());
    std::copy(data.begin(), data.end(), t.baData.begin());
    auto bytes = codec_.encode(t);
    ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }

  // Answers decoded within `wait`, stopping early once `want` arrived.
  std::vector<TTelegram> receive(size_t want, std::chrono::milliseconds wait = 2000ms) {
    std::vector<TTelegram> got;
    auto end = std::chrono::steady_clock::now() + wait;
    while (got.size() < want && std::chrono::steady_clock::now() < end) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      uint8_t buf[1024];
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n <= 0) continue;
      rawBytes += size_t(n);
      errors += codec_.feed(buf, size_t(n), [&](const TTelegram& t) { got.push_back(t); });
    }
    return got;
  }

  size_t rawBytes = 0;
  int errors = 0;

 private:
  int fd_ = -1;
  LineCodec codec_;
};

std::string tempPath(const std::string& name) {
  static zeb7::test::TempDir dir("zeb7sim");
  return dir.File(name);
}

}  // namespace

TEST(SimServer, AnswersEachFrameWithItsIdentAndSurvivesReopening) {
  SimServer server(defaultDrive(), {});
  server.start();
  for (int session = 0; session < 3; ++session) {
    std::this_thread::sleep_for(30ms);  // closed for a while, as the PC's reopen does
    Pc pc(server.devicePath());
    ASSERT_TRUE(pc.ok());
    pc.send(uint8_t(10 + session), kCmdVersion, 0);
    pc.send(0x31, kCmdGetValue, 1, {2, 0, 0});
    pc.send(uint8_t(20 + session), kCmdGetFirmwareName, 0, {0, 0, 0});
    auto got = pc.receive(3);
    ASSERT_EQ(got.size(), 3u) << "session " << session;
    EXPECT_EQ(got[0].bIdent, 10 + session);
    EXPECT_EQ(got[0].bLength, 24);
    EXPECT_EQ(got[1].bIdent, 0x31) << "an ident needing stuffing";
    EXPECT_EQ(got[1].bTarget, 1);
    EXPECT_EQ(got[2].bCommand, kCmdGetFirmwareName);
    EXPECT_TRUE(pc.receive(1, 100ms).empty()) << "the drive never sends on its own";
  }
  EXPECT_TRUE(zeb7::test::WaitFor([&] { return server.stats().answers == 9; }, 10s));
  server.stop();
  EXPECT_EQ(server.stats().requests, 9u);
  EXPECT_EQ(server.stats().answers, 9u);
  EXPECT_GE(server.stats().sessions, 3u);
}

TEST(SimServer, LinkLogAndControlFifo) {
  const std::string link = tempPath("link"), log = tempPath("log"), ctl = tempPath("ctl");
  SimOptions opt;
  opt.linkPath = link;
  opt.logPath = log;
  opt.controlPath = ctl;
  {
    SimServer server(defaultDrive(), opt);
    server.start();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), server.devicePath());
    std::filesystem::remove(link);
    EXPECT_TRUE(zeb7::test::WaitFor(
        [&] {
          std::error_code ec;
          return std::filesystem::read_symlink(link, ec).string() == server.devicePath();
        },
        10s))
        << "restored";

    // A line that is not even text must neither stop the drive nor its log.
    std::ofstream(ctl) << "\xff\xfe{\n" << R"({"op":"set-value","target":0,"index":0,"value":77})" << "\n";
    Pc pc(link);
    ASSERT_TRUE(pc.ok());
    std::vector<TTelegram> got;
    // The FIFO is read in its own time: ask until the value shows.
    zeb7::test::WaitFor(
        [&] {
          pc.send(1, kCmdGetValue, 0, {0, 0, 0});
          got = pc.receive(1);
          return got.size() == 1 && int32_t(tdata::DWord(got[0], 4)) == 77;
        },
        20s);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(int32_t(tdata::DWord(got[0], 4)), 77);
    EXPECT_NE(server.control(R"({"op":"nonsense"})"), "");
    server.stop();
  }
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "removed on exit";
  EXPECT_FALSE(std::filesystem::exists(ctl));
  std::ifstream in(log);
  std::string line;
  int requests = 0, answers = 0, controls = 0;
  while (std::getline(in, line)) {
    auto j = nlohmann::json::parse(line);
    const std::string dir = j.at("dir");
    requests += dir == "request";
    answers += dir == "answer";
    controls += dir == "control";
    if (dir == "answer") {
      EXPECT_EQ(j.at("command"), kCmdGetValue);
      EXPECT_EQ(j.at("length"), 8);
      EXPECT_EQ(j.at("data").get<std::string>().size(), 16u);
    }
  }
  EXPECT_GE(requests, 1);
  EXPECT_EQ(requests, answers);
  EXPECT_EQ(controls, 3);
  std::filesystem::remove(log);
}

TEST(SimServer, FaultsAreInjectedAndCounted) {
  SimOptions opt;
  opt.faults.drop = 0.2;
  opt.faults.nak = 0.2;
  opt.faults.garbage = 0.3;
  opt.faults.seed = 5;
  SimServer server(defaultDrive(), opt);
  server.start();
  Pc pc(server.devicePath());
  ASSERT_TRUE(pc.ok());
  for (int i = 0; i < 200; ++i) pc.send(uint8_t(i), kCmdVersion, 0);
  std::vector<TTelegram> got = pc.receive(200, 1500ms);
  std::set<int> idents;
  int naks = 0;
  for (auto& t : got) {
    EXPECT_TRUE(idents.insert(t.bIdent).second) << "one answer per request";
    naks += t.ttType == ttNak;
  }
  const int answered = int(got.size());
  server.stop();
  SimStats s = server.stats();
  EXPECT_EQ(s.requests, 200u);
  EXPECT_EQ(uint64_t(answered), 200 - s.dropped);
  EXPECT_EQ(uint64_t(naks), s.naked);
  EXPECT_GT(s.dropped, 15u);
  EXPECT_GT(s.naked, 15u);
  EXPECT_GT(s.garbageBytes, 0u);
  EXPECT_GT(pc.errors, 0) << "the noise is seen as damaged input";
}

TEST(SimServer, DelayedAnswersComeLate) {
  SimOptions opt;
  opt.faults.delay = 1.0;
  opt.faults.delayMs = 250;
  SimServer server(defaultDrive(), opt);
  server.start();
  Pc pc(server.devicePath());
  ASSERT_TRUE(pc.ok());
  auto t0 = std::chrono::steady_clock::now();
  pc.send(1, kCmdVersion, 0);
  EXPECT_TRUE(pc.receive(1, 150ms).empty());
  auto got = pc.receive(1, 1000ms);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 240ms);
}

TEST(SimServer, PacingHoldsTheWireSpeed) {
  SimOptions opt;
  opt.pace = true;
  SimServer server(defaultDrive(), opt);
  server.start();
  Pc pc(server.devicePath());
  ASSERT_TRUE(pc.ok());
  // 40 version answers of 31 bytes each: 1240 bytes, 107.6 ms on the wire.
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 40; ++i) pc.send(uint8_t(i + 1), kCmdVersion, 1);
  auto got = pc.receive(40, 3000ms);
  auto elapsed = std::chrono::steady_clock::now() - t0;
  ASSERT_EQ(got.size(), 40u);
  EXPECT_GE(elapsed, wireTime(pc.rawBytes));
  EXPECT_LT(elapsed, wireTime(pc.rawBytes) * 2 + 1000ms) << "not far beyond the wire time either";
}

TEST(SimServer, BadSettingsAreReported) {
  SimOptions opt;
  opt.logPath = "/nonexistent-dir/log";
  EXPECT_THROW(SimServer(defaultDrive(), opt), std::system_error);
  opt = {};
  opt.linkPath = "/nonexistent-dir/link";
  EXPECT_THROW(SimServer(defaultDrive(), opt), std::system_error);
  opt = {};
  opt.controlPath = tempPath("plainfile");
  std::ofstream(opt.controlPath) << "x";
  EXPECT_THROW(SimServer(defaultDrive(), opt), std::runtime_error);
  std::filesystem::remove(opt.controlPath);
}
