// Reads the whole database of a big drive (600 + 50 parameters, groups,
// descriptions, parents, type plate) from a reset to the end of the update,
// against the virtual drive paced at 115200 baud. Prints figures only; the
// last line is
//   params=<n> seconds=<s> utilisation=<u>
// where utilisation is the wire time of every answer byte the drive sent over
// the elapsed time.
#include <chrono>
#include <cstdio>

#include "SimServer.h"
#include "link/ThrdComm.h"
#include "model/DriveModel.h"

int main() {
  using namespace zeb7;
  sim::DriveDescription d = sim::generatedDrive(600, 50);
  sim::SimOptions o;
  o.pace = true;
  sim::SimServer drive(d, o);
  drive.start();

  TQueueExecutor exec;
  TDriveModel model;
  auto comm = std::make_unique<TCommInterface>(exec);
  comm->PortTable().SetEntry(1, drive.devicePath());
  comm->SetComPort(1);
  comm->SetPriority(tpLower);
  model.Run(*comm);
  if (!comm->OpenCom()) {
    std::printf("cannot open %s\n", drive.devicePath().c_str());
    return 1;
  }
  comm->Resume();
  // let the first polls settle, then measure from a reset as "Re-read Parameters" does
  const auto settle = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
  while (std::chrono::steady_clock::now() < settle) exec.WaitAndProcess(5);
  const uint64_t bytesBefore = drive.stats().answerBytes;
  const uint64_t answersBefore = drive.stats().answers;
  const int goodBefore = comm->Good();
  const auto start = std::chrono::steady_clock::now();
  model.ProjectState.Reset();
  model.ProjectState.SearchParams();
  auto done = [&] {
    return model.ProjectState.fAllParametersRead() && !model.ProjectState.fUpdateInProgress() &&
           model.ProjectState.ProjState() == statDone;
  };
  const auto limit = start + std::chrono::minutes(10);
  while (!done() && std::chrono::steady_clock::now() < limit) exec.WaitAndProcess(5);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const uint64_t bytes = drive.stats().answerBytes - bytesBefore;
  const uint64_t answers = drive.stats().answers - answersBefore;
  const double wire = std::chrono::duration<double>(sim::wireTime(bytes)).count();
  const int params = model.ParameterList.Count();
  const int verified = model.ParameterList.Verified();
  const int good = comm->Good() - goodBefore;
  const int repeated = comm->Repeated();
  comm.reset();
  drive.stop();
  if (!done()) std::printf("not done after %.0f s\n", seconds);
  std::printf("answers=%llu answer_bytes=%llu wire_seconds=%.3f matched=%d repeated=%d verified=%d%%\n",
              static_cast<unsigned long long>(answers), static_cast<unsigned long long>(bytes), wire, good, repeated,
              verified);
  std::printf("params=%d seconds=%.3f utilisation=%.3f\n", params, seconds, seconds > 0 ? wire / seconds : 0.0);
  return done() ? 0 : 1;
}
