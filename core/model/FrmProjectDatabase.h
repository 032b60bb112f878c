#pragma once
// Drive synchronisation: per-target states driven by the version answers,
// deciding when the string tables and parameter descriptors are (re)read, and
// the project-file cache of the drive's strings and counts. The "Project State"
// window only renders this object's log and progress.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/C167Comm.h"
#include "model/TargetInfo.h"

namespace zeb7 {

struct TModelContext;
class TParameterList;
class TStringLists;
class TCustomIniFile;

class TFrmProjectState {
 public:
  TFrmProjectState(TModelContext& ctx, TTargetInfoArray& targets, TParameterList& params, TStringLists& strings);

  void Reset();
  void Restart();
  void SearchParams();

  // Command 3 from targets 0..9, data answers and bare acknowledges (read as
  // zeros); a negative answer is declined.
  bool HandleVersionTelegram(const TTelegram& tele);
  // Negative answers to 3, 12..15, 30, 31 count against the target; the fifth
  // in a row drops it.
  bool HandleNakVersionTelegram(const TTelegram& tele);
  // Routing of negative answers: version count, parameter database, string
  // lists of the target. True when one of them took the telegram (the caller,
  // the callback registered with the link, then frees it).
  bool HandleNakTelegram(const TTelegram& tele);
  // The same as the callback registered with the link: frees what it takes.
  bool OnNakTelegram(std::unique_ptr<TTelegram>& tele);

  void BeginDatabaseUpdate();
  void EndDatabaseUpdate();

  // Project file sections "Global", "DriveModes", "<t>Groups",
  // "<t>GroupDescriptions", "<t>GroupParents". Texts are Windows-1252 in the file.
  void WriteToIniFile(TCustomIniFile& ini);
  void ReadFromIniFile(TCustomIniFile& ini);

  TProjState ProjState() const { return projState_; }
  bool fUpdateInProgress() const { return updateInProgress_; }
  bool fGetAllParameters() const { return getAllParameters_; }
  bool fAllParametersRead() const { return allParametersRead_; }

  // The main window's upload panel: visible while ProjState is below statDone,
  // its bar at ProjState * 100 / 7.
  bool ProgressVisible() const { return progressVisible_; }
  int ProgressPercent() const { return progressPercent_; }
  static int ProgressOf(TProjState state) { return state * 100 / 7; }
  // Text of the firmware label, from target 0's version.
  const std::string& FirmwareLabel() const { return firmwareLabel_; }
  static std::string FirmwareName(uint32_t version);

  // The window's log (Memo1); every line also goes to the context's log sink.
  const std::vector<std::string>& Lines() const { return lines_; }
  // Called after every handled version answer and every reset, so a front end
  // can refresh its progress bar and label.
  std::function<void()> OnChanged;

 private:
  void Log(const std::string& line);
  void RecomputeProjState();
  void Changed();
  void SetTargetState(TTargetInfo& ti, TProjState state);

  TModelContext& ctx_;
  TTargetInfoArray& targets_;
  TParameterList& params_;
  TStringLists& strings_;

  TProjState projState_ = statLoadingPrj;
  bool updateInProgress_ = false;
  bool getAllParameters_ = false;
  bool allParametersRead_ = false;
  bool progressVisible_ = false;
  int progressPercent_ = 0;
  std::string firmwareLabel_;
  std::vector<std::string> lines_;
};

}  // namespace zeb7
