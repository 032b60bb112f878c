#pragma once
// Writing matched file values into the drive: paced so that the send queue
// stays short (a 100 ms tick and a refill whenever one of our answers
// arrives, never more than 11 queued), each value's outcome counted from the
// drive's answer. Holds parameter keys only: a database reset during the
// download frees the parameters.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "link/C167Comm.h"
#include "paramfiles/ParamFile.h"

namespace zeb7 {

class ITelegramLink;
class TParameterList;
class TDriveModel;
class TCommInterface;

struct TDownloadSummary {
  int Written = 0;  // the drive answered with the value sent
  int Limited = 0;  // the drive answered with another value
  int Refused = 0;  // negative answer
  int Lost = 0;     // no answer with a value (given up, bare acknowledge, port closed, vanished)
  int Obsolete = 0;
  std::string Line() const;  // "written=.. limited=.. refused=.. lost=.. obsolete=.."
  bool AllConfirmed() const { return Refused == 0 && Lost == 0; }
};

class TParamDownload {
 public:
  static constexpr int kQueueFull = 11;   // stop posting once the queue holds this many
  static constexpr int kQueueBusy = 9;    // do not start posting while more than this wait
  static constexpr int kTransmissions = 100;

  TParamDownload(ITelegramLink& link, TParameterList& params);
  TParamDownload(const TParamDownload&) = delete;
  TParamDownload& operator=(const TParamDownload&) = delete;

  // Replaces any earlier run.
  void Start(std::vector<TParamSetting> settings, int obsolete);
  // The 100 ms tick, also called after each of our answers. Posts while
  // values remain and the queue has room.
  void Pump();
  // The link's callbacks: true when the telegram answers one of our writes
  // (it is counted; the caller still lets the data model see it).
  bool OnAnswer(const TTelegram& tele);
  bool OnRefused(const TTelegram& tele);
  bool OnBareAck(const TTelegram& tele);
  bool OnLost(const TTelegram& tele);
  // Counts every value still without an outcome as lost and ends the run.
  void GiveUp(const std::string& why);
  void Cancel();

  // Checked before every post: a drive that is enabled gets nothing.
  std::function<bool()> DriveDisabled;
  // Log lines (Latin-1).
  std::function<void(const std::string&)> OnLog;

  bool Active() const { return active_; }
  bool AllPosted() const { return next_ >= settings_.size(); }
  // Every value posted and answered (or given up).
  bool Finished() const { return !active_ && started_; }
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  int Count() const { return static_cast<int>(settings_.size()); }
  int Posted() const { return static_cast<int>(next_); }
  int Progress() const;  // 0..100
  const TDownloadSummary& Summary() const { return summary_; }
  // The owner mark of our write telegrams.
  const void* Owner() const { return this; }

 private:
  enum class TOutcome { Pending, Written, Limited, Refused, Lost };
  bool Ours(const TTelegram& tele) const;
  TOutcome* OutcomeOf(const TTelegram& tele, const TParamSetting** setting);
  void Resolve(TOutcome& o, TOutcome value);
  void Log(const std::string& s);
  void CheckFinished();
  void Stop(const std::string& error);

  ITelegramLink& link_;
  TParameterList& params_;
  std::vector<TParamSetting> settings_;
  std::map<int32_t, size_t> byKey_;
  std::vector<TOutcome> outcome_;
  size_t next_ = 0;
  int unresolved_ = 0;
  bool active_ = false;
  bool started_ = false;
  std::string error_;
  TDownloadSummary summary_;
};

// Registers a download's callbacks with the link ahead of the data model's
// dispatcher (so that it sees the answers to its writes first and then lets
// the model have them), and removes them again.
class TParamDownloadTap {
 public:
  TParamDownloadTap(TCommInterface& comm, TDriveModel& model, TParamDownload& download);
  ~TParamDownloadTap();
  TParamDownloadTap(const TParamDownloadTap&) = delete;
  TParamDownloadTap& operator=(const TParamDownloadTap&) = delete;

 private:
  TCommInterface& comm_;
  TParamDownload& dl_;
};

// Sends the disable command every 100 ms tick, up to 40 times, until the
// drive reports itself disabled.
class TDriveDisabler {
 public:
  static constexpr int kAttempts = 40;
  explicit TDriveDisabler(TDriveModel& model) : model_(model) {}
  void Begin();      // sends the first disable command
  // One tick: true once decided (Disabled() says how).
  bool Tick();
  bool Disabled() const;
  bool GaveUp() const { return attempts_ >= kAttempts && !Disabled(); }

 private:
  TDriveModel& model_;
  int attempts_ = 0;
};

}  // namespace zeb7
