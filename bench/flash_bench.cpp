// Programs and verifies a 256 KiB image into the virtual drive paced at 115200
// baud: connect, erase, program, read back. Prints figures only; the last line is
//   bytes=<n> program_seconds=<s> verify_seconds=<s> utilisation=<u>
// where utilisation is the wire time of every program request sent over the
// elapsed programming time (from the first block posted to the last confirmed).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SimServer.h"
#include "firmware/CallQueue.h"
#include "firmware/FrmDownLogic.h"
#include "link/TelegramData.h"

namespace {

using namespace zeb7;
using Clock = std::chrono::steady_clock;

struct QuietView : IDownloadView {
  void LogMessage(const std::string& s) override { last = s; }
  void SetSpiLabel(const std::string&) override {}
  void SetFlashLabel(const std::string&) override {}
  void SetProgress(int) override {}
  void EnableControls(const TControlEnable&) override {}
  void ShowEraseRange(const std::string&, const std::string&) override {}
  void CloseWindow() override {}
  std::string last;
};

std::string HexLine(uint32_t address, const uint8_t* p, int n, int type = 0) {
  char buf[80];
  unsigned sum = unsigned(n) + ((address >> 8) & 0xFF) + (address & 0xFF) + unsigned(type);
  int k = std::snprintf(buf, sizeof buf, ":%02X%04X%02X", n, address & 0xFFFF, type);
  for (int i = 0; i < n; ++i) {
    k += std::snprintf(buf + k, sizeof buf - k, "%02X", p[i]);
    sum += p[i];
  }
  std::snprintf(buf + k, sizeof buf - k, "%02X\r\n", (0x100 - (sum & 0xFF)) & 0xFF);
  return buf;
}

}  // namespace

int main() {
  constexpr uint32_t kBytes = 256 * 1024;
  constexpr uint32_t kBase = 0x10000;
  const auto dir = std::filesystem::temp_directory_path() / ("zeb7flashbench" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string image = (dir / "image.hex").string();
  {
    std::ofstream out(image, std::ios::binary);
    std::srand(11);
    std::vector<uint8_t> data(kBytes);
    for (auto& b : data) b = uint8_t(std::rand());
    for (uint32_t off = 0; off < kBytes; off += 16) {
      const uint32_t a = kBase + off;
      if (off == 0 || (a & 0xFFFF) == 0) {
        const uint8_t hi[2] = {uint8_t(a >> 24), uint8_t(a >> 16)};
        out << HexLine(0, hi, 2, 4);
      }
      out << HexLine(a, data.data() + off, 16);
    }
    out << ":00000001FF\r\n";
  }

  sim::SimOptions o;
  o.pace = true;
  sim::SimServer drive(sim::defaultDrive(), o);
  drive.start();
  TQueueExecutor exec;
  auto comm = std::make_unique<TCommInterface>(exec);
  comm->PortTable().SetEntry(1, drive.devicePath());
  comm->SetComPort(1);
  if (!comm->OpenCom()) {
    std::printf("cannot open %s\n", drive.devicePath().c_str());
    return 1;
  }
  comm->Resume();
  QuietView view;
  TCallQueue calls;
  TDownloadLogic logic(*comm, view, calls.Poster());
  logic.iTab = 0;
  logic.aFilename[0] = image;
  logic.Show();
  auto waitFor = [&](TDownloadState s, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (logic.State() != s && logic.State() != dlsError && Clock::now() < end) {
      exec.WaitAndProcess(2);
      calls.Drain();
    }
    return logic.State() == s;
  };
  logic.ConnectClick();
  if (!waitFor(dlsConnected, 30) || !logic.EraseClick() || !waitFor(dlsErased, 30)) {
    std::printf("could not connect and erase: %s\n", view.last.c_str());
    return 1;
  }
  if (!logic.ProgramClick()) return 1;
  const auto t0 = Clock::now();
  if (!waitFor(dlsWaitForVerify, 600)) {
    std::printf("programming failed: %s\n", view.last.c_str());
    return 1;
  }
  const auto t1 = Clock::now();
  if (!waitFor(dlsProgrammed, 600) || !logic.Verified()) {
    std::printf("verification failed: %s\n", view.last.c_str());
    return 1;
  }
  const auto t2 = Clock::now();

  // Wire time of the program requests as they were framed.
  uint64_t wireBytes = 0;
  for (const auto& b : logic.Image().DataList()) {
    TTelegram t;
    t.ttType = ttNormal;
    t.bCommand = kCmdFlashProgram;
    t.bTarget = uint8_t(kFlashTargetSTR710);
    t.bIdent = 0x55;
    t.bLength = uint8_t(4 + b.bLength);
    tdata::SetDWord(t, 0, b.uAddress);
    std::copy(b.baData.begin(), b.baData.begin() + b.bLength, t.baData.begin() + 4);
    wireBytes += EncodeTelegram(t).size();
  }
  const double program = std::chrono::duration<double>(t1 - t0).count();
  const double verify = std::chrono::duration<double>(t2 - t1).count();
  const double wire = std::chrono::duration<double>(sim::wireTime(size_t(wireBytes))).count();
  std::printf("blocks=%zu request_bytes=%llu wire_seconds=%.3f repeated=%d\n", logic.Image().DataList().size(),
              static_cast<unsigned long long>(wireBytes), wire, comm->Repeated());
  logic.Close();
  comm.reset();
  std::filesystem::remove_all(dir);
  std::printf("bytes=%u program_seconds=%.3f verify_seconds=%.3f utilisation=%.3f\n", kBytes, program, verify,
              program > 0 ? wire / program : 0.0);
  return 0;
}
