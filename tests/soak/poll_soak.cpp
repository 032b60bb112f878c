// Polling soak: synchronises with the drive on --port, shows up to --params
// parameters (one probe each, as display windows would) and keeps the model
// polling them for --minutes. Every minute one line: resident memory, values
// received, link counters, and how many shown parameters got no value in that
// minute. Ends 1 when a minute passed without any value for some parameter
// (a hang) or the resident memory grew by more than --rss-growth-kb after the
// first minute.
#include "DriveSession.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv) {
  zeb7ctl::GlobalOptions opts;
  int minutes = 30, params = 200;
  long rssGrowthKb = 2048;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string a = argv[i];
    if (a == "--port") opts.port = argv[i + 1];
    else if (a == "--minutes") minutes = std::stoi(argv[i + 1]);
    else if (a == "--params") params = std::stoi(argv[i + 1]);
    else if (a == "--rss-growth-kb") rssGrowthKb = std::stol(argv[i + 1]);
  }
  if (opts.port.empty()) {
    std::cerr << "usage: poll_soak --port DEVICE [--minutes N] [--params N] [--rss-growth-kb N]\n";
    return 2;
  }
  std::unique_ptr<zeb7ctl::DriveSession> session;
  if (int rc = zeb7ctl::openSynchronisedSession(opts, session)) return rc;
  auto& list = session->model().ParameterList;
  std::vector<std::unique_ptr<zeb7ctl::ValueProbe>> probes;
  for (int pos = 0; pos < list.Count() && int(probes.size()) < params; ++pos) {
    zeb7::TParameter* p = list.At(pos);
    if (!p) continue;
    probes.push_back(std::make_unique<zeb7ctl::ValueProbe>(p->Descriptor()));
    p->AddDisplay(probes.back().get());
  }
  std::printf("soak: %zu parameters shown, %d minutes\n", probes.size(), minutes);
  auto& comm = session->conn().comm();
  long firstRss = 0;
  int status = 0;
  for (int minute = 1; minute <= minutes; ++minute) {
    std::vector<size_t> before;
    for (auto& pr : probes) before.push_back(pr->values.size());
    const auto end = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    session->conn().serveUntil([&] { return std::chrono::steady_clock::now() >= end; },
                               std::chrono::minutes(2));
    size_t silent = 0, values = 0;
    for (size_t i = 0; i < probes.size(); ++i) {
      values += probes[i]->values.size() - before[i];
      if (probes[i]->values.size() == before[i]) ++silent;
      probes[i]->values.clear();  // keep the probes' own memory flat
    }
    const long rss = ResidentKb();
    if (minute == 1) firstRss = rss;
    std::printf("minute %d: rss_kb=%ld values=%zu silent_params=%zu good=%d bad=%d repeated=%d nak=%d\n", minute,
                rss, values, silent, comm.Good(), comm.Bad(), comm.Repeated(), comm.Nak());
    std::fflush(stdout);
    if (silent > 0 || values == 0) status = 1;
    if (zeb7ctl::Connection::interrupted()) break;
  }
  const long growth = ResidentKb() - firstRss;
  std::printf("soak: rss growth after minute 1: %ld kB (limit %ld)\n", growth, rssGrowthKb);
  if (growth > rssGrowthKb) status = 1;
  for (auto& pr : probes) list.RemoveDisplay(pr.get());
  std::printf("soak: %s\n", status == 0 ? "ok" : "FAILED");
  return status;
}
