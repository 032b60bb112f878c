// info: synchronise, then print per present target its firmware, checksum,
// counts and type plate, and the drive status.
#include "DriveSession.h"
#include "link/TextCodec.h"

#include <cstdio>
#include <iostream>

namespace zeb7ctl {

namespace {

std::string hex(uint32_t v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%0*X", width, v);
  return buf;
}

const char* driveState(const zeb7::TDriveStatus& s) {
  if (s.DisableCaptionAlert()) return "drive error";
  switch (s.DownButton()) {
    case zeb7::dbEnableDrive: return "enabled";
    case zeb7::dbDisableDrive: return "disabled";
    case zeb7::dbControlByATA: return "enabled by the external interface";
    default: return "unknown";
  }
}

int runInfo(const GlobalOptions& opts) {
  std::unique_ptr<DriveSession> session;
  if (int rc = openSynchronisedSession(opts, session)) return rc;
  auto& m = session->model();
  // the status poll runs with the cycle; one answer after the sync is enough
  const uint32_t before = m.Status.iStatusAnswers;
  std::string why;
  session->serve([&] { return m.Status.iStatusAnswers > before; }, std::chrono::seconds(10), why);

  std::cout << "device " << session->conn().device() << "\n";
  for (int t : session->presentTargets()) {
    const auto& ti = m.TargetInfo[t];
    std::cout << "target " << t << ": firmware " << zeb7::TFrmProjectState::FirmwareName(ti.Version)
              << ", global checksum " << hex(ti.Checksum, 8) << ", parameters " << ti.ParamCount << ", groups "
              << ti.GroupCount << ", drive modes " << ti.DriveModeCount << ", type plate lines " << ti.TypePlateCount
              << ", parameter version " << ti.ParamVersion << "\n";
    const auto& plate = *m.Strings.TypePlateLists[t];
    for (int pos = 0; pos < plate.Count(); ++pos) {
      const auto* line = plate.At(pos);
      std::cout << "  L" << line->iMyIndex << " : \"" << zeb7::Latin1ToUtf8(line->sCaption) << "\"\n";
    }
  }
  const auto& s = m.Status;
  std::cout << "drive status: " << driveState(s) << ", status word " << hex(s.wControllerStatus, 4)
            << ", status byte " << hex(s.bControllerStatus2, 2) << ", drive mode " << s.wDriveMode
            << ", parameter set " << int(s.bActiveParamPage) << ", valid sets " << hex(s.uValidParamSets, 4)
            << ", latest status message " << s.wLatestStatusMessage << "\n";
  if (!s.ControllerError().empty()) std::cout << "controller error: " << zeb7::Cp1252ToUtf8(s.ControllerError()) << "\n";
  if (!s.RuntimeError().empty()) std::cout << "runtime error: " << zeb7::Cp1252ToUtf8(s.RuntimeError()) << "\n";
  return kExitOk;
}

const VerbRegistrar registrar{Verb{[](CLI::App& app, const GlobalOptions& opts) {
  app.add_subcommand("info", "synchronise and show the drive's targets, type plates and status");
  return std::function<int()>([&opts] { return runInfo(opts); });
}}};

}  // namespace

}  // namespace zeb7ctl
