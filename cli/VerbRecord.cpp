// record --recorder N OUT.rcg [--csv OUT.csv]: uploads one of the drive's data
// recorders into an oscillogram file, and optionally its raw samples as CSV.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Connection.h"
#include "platform/AtomicFile.h"
#include "scope/OscillData.h"
#include "scope/RecorderUpload.h"

namespace zeb7ctl {
namespace {

constexpr int32_t kStallMs = 5000;

// Messages on stderr; the running status only on a terminal.
class CliUploadHost : public zeb7::IRecorderUploadHost {
 public:
  explicit CliUploadHost(Connection& conn) : conn_(conn), terminal_(::isatty(STDERR_FILENO) != 0) {}
  void ShowStatus(const std::string& s) override {
    if (terminal_ && !s.empty()) std::fprintf(stderr, "\r%-60s", s.c_str());
  }
  void ShowError(const std::string& s) override {
    if (s.empty() || s == lastError_) return;
    lastError_ = s;
    if (terminal_) std::fputc('\n', stderr);
    std::fprintf(stderr, "zeb7ctl record:%s%s\n", s[0] == ' ' ? "" : " ", s.c_str());
  }
  void SetProgress(int32_t, int32_t) override {}
  void SetCaption(const std::string&) override {}
  void Wait(const std::function<bool()>& done, uint32_t ms) override {
    conn_.serveUntil(done, std::chrono::milliseconds(ms), false);
  }
  bool Quitting() const override { return Connection::interrupted(); }
  void EndLine() {
    if (terminal_) std::fputc('\n', stderr);
  }

 private:
  Connection& conn_;
  bool terminal_;
  std::string lastError_;
};

std::string CsvText(const std::vector<std::vector<int32_t>>& points, size_t channels) {
  std::string out = "point";
  for (size_t c = 0; c < channels; ++c) out += ",Kanal" + std::to_string(c);
  out += "\r\n";
  for (size_t p = 0; p < points.size(); ++p) {
    out += std::to_string(p);
    for (size_t c = 0; c < channels; ++c) out += "," + std::to_string(c < points[p].size() ? points[p][c] : 0);
    out += "\r\n";
  }
  return out;
}

int RunRecord(const GlobalOptions& opts, int recorder, const std::string& rcgFile, const std::string& csvFile) {
  int openFailure = kExitFailure;
  std::unique_ptr<Connection> conn = Connection::openOrReport(opts, openFailure);
  if (!conn) return openFailure;
  CliUploadHost host(*conn);
  zeb7::TRecorderUploadHooks hooks;
  hooks.PreviousErrorSink = [](const std::string& s) { std::cerr << "zeb7ctl record: " << s << "\n"; };
  zeb7::TOscillData data;
  std::vector<std::vector<int32_t>> points(zeb7::kOscPoints);
  size_t channels = 0;
  bool ok = false;
  {
    zeb7::TRecorderUpload upload(conn->comm(), host, hooks);
    upload.iStallTimeoutMs = kStallMs;
    upload.Prepare();
    // The port opens in the worker; give it a moment before calling it not ready.
    conn->serveUntil([&] { return conn->comm().Opened(); }, std::chrono::seconds(2), false);
    ok = upload.StartUpload(static_cast<uint32_t>(recorder),
                            [&](int32_t p, int32_t c, int32_t v) {
                              data.StoreUploadValue(p, c, v);
                              if (p < 0 || p >= zeb7::kOscPoints || c < 0) return;
                              auto& row = points[static_cast<size_t>(p)];
                              if (row.size() <= static_cast<size_t>(c)) row.resize(static_cast<size_t>(c) + 1, 0);
                              row[static_cast<size_t>(c)] = v;
                              channels = std::max(channels, static_cast<size_t>(c) + 1);
                            },
                            zeb7::kOscPoints);
    host.EndLine();
    upload.Release();
    if (!ok) {
      std::cerr << "zeb7ctl record: recorder " << recorder << " not uploaded (" << upload.iPointsReceived << " of "
                << zeb7::kOscPoints << " points" << (upload.boEndConfirmed ? "" : ", end not confirmed") << ")\n";
      return kExitFailure;
    }
  }
  data.AcceptUpload(recorder);
  std::string err;
  if (!zeb7::SaveOscillogram(rcgFile, data, err)) {
    std::cerr << "zeb7ctl record: " << err << "\n";
    return kExitFailure;
  }
  if (!csvFile.empty()) {
    const std::string text = CsvText(points, channels);
    if (!zeb7::WriteFileAtomically(csvFile, text, err)) {
      std::cerr << "zeb7ctl record: " << err << "\n";
      return kExitFailure;
    }
  }
  return kExitOk;
}

const VerbRegistrar kRecord{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  auto* sc = app.add_subcommand("record", "upload a data recorder of the drive into an oscillogram file (.rcg)");
  auto recorder = std::make_shared<int>(0);
  auto rcg = std::make_shared<std::string>();
  auto csv = std::make_shared<std::string>();
  sc->add_option("--recorder", *recorder, "recorder number (0 to 9)")->required()->check(CLI::Range(0, 9));
  sc->add_option("OUT", *rcg, "oscillogram file to write")->required();
  sc->add_option("--csv", *csv, "also write the raw samples as CSV");
  return std::function<int()>([&opts, recorder, rcg, csv] { return RunRecord(opts, *recorder, *rcg, *csv); });
}}};

}  // namespace
}  // namespace zeb7ctl
