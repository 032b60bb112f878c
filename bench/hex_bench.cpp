// Generates a 16 MiB image as Intel HEX (16-byte records, via objcopy from random bytes), then
// times reading it into 64-byte program blocks against `objcopy -I ihex -O binary` on the same
// file. Each is run three times, alternating; the best wall-clock time of each counts (CPU times
// are printed as well, since a busy machine stretches wall-clock times unevenly).
// Usage: hex_bench [MiB]   (default 16)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "firmware/DownloadImage.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Runs the command and waits; `cpu` receives the child's user + system time.
bool Spawn(std::vector<std::string> args, double* cpu = nullptr) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  if (cpu)
    *cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 16;
  const std::size_t size = mib * 1024 * 1024;
  std::string pattern = (std::filesystem::temp_directory_path() / "zeb7hexbenchXXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path dir = pattern;
  const std::string bin = (dir / "image.bin").string(), hex = (dir / "image.hex").string(),
                    back = (dir / "back.bin").string();
  int rc = 0;
  [&] {
    std::vector<std::uint8_t> data(size);
    std::mt19937_64 rng(20261209);
    for (std::size_t i = 0; i < size; i += 8) {
      const std::uint64_t r = rng();
      for (std::size_t k = 0; k < 8 && i + k < size; ++k) data[i + k] = static_cast<std::uint8_t>(r >> (8 * k));
    }
    std::ofstream(bin, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(data.size()));
    if (!Spawn({"objcopy", "-I", "binary", "-O", "ihex", bin, hex})) {
      std::fprintf(stderr, "objcopy could not make the Intel HEX file\n");
      rc = 1;
      return;
    }
    std::printf("hex file: %ju bytes of text for %zu bytes of data\n",
                static_cast<std::uintmax_t>(std::filesystem::file_size(hex)), size);

    double best = 1e9, bestObjcopy = 1e9, bestCpu = 1e9, bestObjcopyCpu = 1e9;
    std::size_t blocks = 0;
    bool verified = false;
    for (int round = 0; round < 3; ++round) {
      zeb7::TDownloadImage image;
      const double c0 = CpuSeconds();
      const auto t0 = Clock::now();
      const bool ok = image.LoadHexFile(hex, [](const std::string& m) { std::fprintf(stderr, "%s\n", m.c_str()); });
      const double s = Seconds(t0);
      const double cpu = CpuSeconds() - c0;
      if (!ok) {
        rc = 1;
        return;
      }
      best = std::min(best, s);
      bestCpu = std::min(bestCpu, cpu);
      blocks = image.DataList().size();
      if (round == 0) {
        verified = image.ByteCount() == size;
        for (const auto& b : image.DataList())
          verified = verified && b.uAddress + b.bLength <= size &&
                     std::equal(b.baData.begin(), b.baData.begin() + b.bLength, data.begin() + b.uAddress);
      }
      const auto t1 = Clock::now();
      double objcopyCpu = 0;
      if (!Spawn({"objcopy", "-I", "ihex", "-O", "binary", hex, back}, &objcopyCpu)) {
        std::fprintf(stderr, "objcopy could not read the Intel HEX file\n");
        rc = 1;
        return;
      }
      const double o = Seconds(t1);
      bestObjcopy = std::min(bestObjcopy, o);
      bestObjcopyCpu = std::min(bestObjcopyCpu, objcopyCpu);
      std::printf("round %d: reader %.3f s (cpu %.3f s), objcopy %.3f s (cpu %.3f s)\n", round + 1, s, cpu, o,
                  objcopyCpu);
    }
    std::printf("blocks=%zu verified=%s cpu_seconds=%.3f objcopy_cpu_seconds=%.3f cpu_ratio=%.3f\n", blocks,
                verified ? "yes" : "NO", bestCpu, bestObjcopyCpu, bestCpu / bestObjcopyCpu);
    std::printf("bytes=%zu seconds=%.3f objcopy_seconds=%.3f ratio=%.3f\n", size, best, bestObjcopy,
                best / bestObjcopy);
  }();
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return rc;
}
