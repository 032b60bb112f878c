// Writes every parameter value of a big drive (600 + 50 parameters) the way a
// parameter file download does, against the virtual drive paced at 115200
// baud. Prints figures only; the last line is
//   values=<n> seconds=<s> utilisation=<u>
// where utilisation is the wire time of the command-20 requests (first
// transmissions) over the elapsed time of the download.
#include <chrono>
#include <cstdio>

#include "SimServer.h"
#include "link/Commands.h"
#include "link/TelegramData.h"
#include "link/ThrdComm.h"
#include "model/DriveModel.h"
#include "paramfiles/ParamDownload.h"
#include "paramfiles/ParamFile.h"

int main() {
  using namespace zeb7;
  using Clock = std::chrono::steady_clock;
  sim::SimOptions o;
  o.pace = true;
  sim::SimServer drive(sim::generatedDrive(600, 50), o);
  drive.start();

  TQueueExecutor exec;
  TDriveModel model;
  auto comm = std::make_unique<TCommInterface>(exec);
  comm->PortTable().SetEntry(1, drive.devicePath());
  comm->SetComPort(1);
  model.Run(*comm);
  if (!comm->OpenCom()) {
    std::printf("cannot open %s\n", drive.devicePath().c_str());
    return 1;
  }
  comm->Resume();
  model.ProjectState.Reset();
  model.ProjectState.SearchParams();
  const auto syncLimit = Clock::now() + std::chrono::minutes(10);
  while (!DatabaseComplete(model) && Clock::now() < syncLimit) exec.WaitAndProcess(5);
  if (!DatabaseComplete(model)) {
    std::printf("database not complete\n");
    return 1;
  }

  std::vector<TParamSetting> settings;
  double requestSeconds = 0;
  {
    auto lock = model.Lock();
    for (int i = 0; i < model.ParameterList.Count(); ++i) {
      const TParameter* p = model.ParameterList.At(i);
      settings.push_back({p->Key(), p->i64Value, p->P.sFirmwareName});
      TTelegram t;
      t.ttType = ttNormal;
      t.bIdent = static_cast<uint8_t>(i);
      t.bCommand = kCmdSetValue;
      t.bTarget = static_cast<uint8_t>(p->P.iMyTarget);
      t.bLength = 12;
      tdata::SetWord(t, 0, static_cast<uint32_t>(p->P.iMyIndex));
      tdata::SetWord(t, 2, p->P.wChecksum);
      tdata::SetInt64(t, 4, p->i64Value);
      requestSeconds += std::chrono::duration<double>(sim::wireTime(EncodeTelegram(t).size())).count();
    }
  }
  TParamDownload dl(*model.ExchVars.Link(), model.ParameterList);
  const int repeatedBefore = comm->Repeated();
  auto tap = std::make_unique<TParamDownloadTap>(*comm, model, dl);
  const auto start = Clock::now();
  dl.Start(settings, 0);
  auto nextTick = start;
  const auto limit = start + std::chrono::minutes(5);
  while (!dl.Finished() && Clock::now() < limit) {
    if (Clock::now() >= nextTick) {
      dl.Pump();
      nextTick += std::chrono::milliseconds(100);
    }
    exec.WaitAndProcess(2);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const TDownloadSummary s = dl.Summary();
  const int repeated = comm->Repeated() - repeatedBefore;
  tap.reset();  // off the link before it goes
  comm.reset();
  drive.stop();
  std::printf("%s repeated=%d request_wire_seconds=%.3f\n", s.Line().c_str(), repeated, requestSeconds);
  std::printf("values=%zu seconds=%.3f utilisation=%.3f\n", settings.size(), seconds,
              seconds > 0 ? requestSeconds / seconds : 0.0);
  return dl.Finished() && s.AllConfirmed() ? 0 : 1;
}
