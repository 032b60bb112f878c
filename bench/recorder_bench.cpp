// Upload of the virtual drive's 10-channel recorder 0 (256 points) through the
// core recorder upload against zeb7-sim --pace. Prints figures only; last line:
//   points=<n> seconds=<s> utilisation=<u>
// utilisation = wire time of the point answers (10 bits per byte at 115200 baud)
// over the elapsed time of the whole upload, start and end commands included.
#include "SimProcess.h"
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"
#include "link/ThrdComm.h"
#include "scope/RecorderUpload.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zeb7;

namespace {

class BenchHost : public IRecorderUploadHost {
 public:
  explicit BenchHost(TQueueExecutor& exec) : exec_(exec) {}
  void ShowStatus(const std::string&) override {}
  void ShowError(const std::string& s) override {
    if (!s.empty()) std::fprintf(stderr, "upload: %s\n", s.c_str());
  }
  void SetProgress(int32_t, int32_t) override {}
  void SetCaption(const std::string&) override {}
  void Wait(const std::function<bool()>& done, uint32_t ms) override {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) exec_.WaitAndProcess(2);
  }

 private:
  TQueueExecutor& exec_;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string simPath = argc > 2 ? argv[2] : ZEB7_SIM_PATH;
  try {
    sim::SimProcess drive(simPath, {"--pace"});
    TQueueExecutor exec;
    TCommInterface comm(exec);
    comm.PortTable().SetEntry(1, drive.devicePath());
    comm.SetComPort(1);
    if (!comm.OpenCom()) {
      std::fprintf(stderr, "cannot open %s\n", drive.devicePath().c_str());
      return 1;
    }
    comm.Resume();
    BenchHost host(exec);
    TRecorderUpload upload(comm, host);
    upload.iStallTimeoutMs = 5000;
    int points = 0;
    double seconds = 0, wire = 0;
    for (int r = 0; r < rounds; ++r) {
      std::vector<std::vector<int32_t>> values(256);
      upload.Prepare();
      const auto t0 = std::chrono::steady_clock::now();
      const bool ok = upload.StartUpload(0, [&](int32_t p, int32_t, int32_t v) {
        if (p >= 0 && p < 256) values[size_t(p)].push_back(v);
      }, 256);
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      upload.Release();
      if (!ok) {
        std::fprintf(stderr, "round %d failed\n", r);
        return 1;
      }
      // The answers as the drive framed them: recorder, point, the samples.
      uint64_t bytes = 0;
      for (int p = 0; p < 256; ++p) {
        TTelegram t;
        t.ttType = ttNormal;
        t.bCommand = kCmdUploadBlock;
        t.bIdent = uint8_t(p + 1);
        tdata::SetWord(t, 0, 0);
        tdata::SetWord(t, 2, uint32_t(p));
        for (size_t c = 0; c < values[size_t(p)].size(); ++c)
          tdata::SetWord(t, 4 + 2 * int(c), uint16_t(values[size_t(p)][c]));
        t.bLength = uint8_t(4 + 2 * values[size_t(p)].size());
        bytes += EncodeTelegram(t).size();
      }
      const double w = double(bytes) * 10.0 / 115200.0;
      std::printf("round=%d points=%d seconds=%.3f wire_seconds=%.3f utilisation=%.3f repeated=%d bad=%d\n", r,
                  upload.iPointsReceived, s, w, w / s, comm.Repeated(), comm.Bad());
      points += upload.iPointsReceived;
      seconds += s;
      wire += w;
    }
    std::printf("points=%d seconds=%.3f utilisation=%.3f\n", points, seconds, wire / seconds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "recorder_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
