// 2000 value reads through the link against zeb7-sim --pace. Prints figures only:
//   telegrams=<n> seconds=<s> utilisation=<u> cpu_per_1000=<c>
// utilisation = wire time of the answer bytes (10 bits per byte at 115200 baud) over
// the elapsed time; cpu_per_1000 = CPU seconds of this process per 1000 telegrams.
#include "SimProcess.h"
#include "link/ThrdComm.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace zeb7;

namespace {

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int n = argc > 1 ? std::atoi(argv[1]) : 2000;
  const std::string simPath = argc > 2 ? argv[2] : ZEB7_SIM_PATH;
  try {
    sim::SimProcess drive(simPath, {"--pace"});
    TQueueExecutor exec;
    TCommInterface comm(exec);
    comm.PortTable().SetEntry(1, drive.devicePath());
    comm.SetComPort(1);
    int errors = 0;
    comm.SetOnErrorMessage([&](const std::string& s) {
      ++errors;
      std::fprintf(stderr, "link: %s\n", s.c_str());
    });
    if (!comm.OpenCom()) {
      std::fprintf(stderr, "cannot open %s\n", drive.devicePath().c_str());
      return 1;
    }
    int answered = 0, other = 0;
    uint64_t answerBytes = 0;
    const void* owner = &answered;
    auto done = [&](std::unique_ptr<TTelegram>& t) {
      if (t->pOwner != owner) return false;
      if (t->ttType == ttNormal) {
        ++answered;
        answerBytes += EncodeTelegram(*t).size();
      } else {
        ++other;
      }
      return true;
    };
    comm.AddReceiveFunction(TelegramFunction(&answered, done));
    comm.AddNakFunction(TelegramFunction(&other, done));
    comm.AddAckFunction(TelegramFunction(&errors, done));
    comm.AddMissingAckFunction(TelegramFunction(&answerBytes, done));
    comm.Resume();

    const double cpu0 = cpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    int posted = 0;
    // The default drive's target 0 parameters, read in turn as the polling does.
    while (answered + other < n) {
      while (posted < n && comm.GetSendQueueSize() < 5) {
        auto t = std::make_unique<TTelegram>(owner);
        t->bCommand = 10;
        t->bTarget = 0;
        t->bLength = 3;
        t->SetData(0, posted % 36);
        comm.PostTelegram(std::move(t));
        ++posted;
      }
      exec.WaitAndProcess(5);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = cpuSeconds() - cpu0;
    const double wire = double(answerBytes) * 10.0 / 115200.0;
    std::printf("answered=%d other=%d answer_bytes=%llu wire_seconds=%.3f good=%d repeated=%d bad=%d\n", answered,
                other, static_cast<unsigned long long>(answerBytes), wire, comm.Good(), comm.Repeated(), comm.Bad());
    std::printf("telegrams=%d seconds=%.3f utilisation=%.3f cpu_per_1000=%.4f\n", answered + other, seconds,
                wire / seconds, cpu / (double(answered + other) / 1000.0));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "link_bench: %s\n", e.what());
    return 1;
  }
  return 0;
}
