#pragma once
// Reading one of the drive's data recorders point by point: the logic of the
// upload window, shared with zeb7ctl. The host supplies the screen (status,
// error, progress, caption) and the waiting, which must keep serving the
// link's hand-overs (and, in a window, the event loop) while it waits.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/ThrdComm.h"

namespace zeb7 {

// Receiver of the uploaded values: point index, channel, value (a signed
// 16-bit sample widened).
using TStoreFunction = std::function<void(int32_t iIndex, int32_t iChannel, int32_t iValue)>;

// What the upload shows and how it waits. Texts are UTF-8.
class IRecorderUploadHost {
 public:
  virtual ~IRecorderUploadHost() = default;
  virtual void ShowStatus(const std::string& s) = 0;
  virtual void ShowError(const std::string& s) = 0;
  virtual void SetProgress(int32_t iValue, int32_t iMax) = 0;
  virtual void SetCaption(const std::string& s) = 0;
  // Serves the link until done() holds or `ms` have passed.
  virtual void Wait(const std::function<bool()>& done, uint32_t ms) = 0;
  // The program is ending: every wait gives up.
  virtual bool Quitting() const { return false; }
};

// The hooks around the upload: the polling that it stops, and the error sink
// that the link had before, which it gets back afterwards.
struct TRecorderUploadHooks {
  std::function<void()> StopPolling;
  std::function<void()> RunPolling;
  TMessageFunction PreviousErrorSink;
};

// Texts of the upload, as shown.
namespace recorder_texts {
inline constexpr const char* kPortNotReady = "COM-Schnittstelle nicht bereit!";
inline constexpr const char* kPreparing = "Upload vorbereiten...";
inline constexpr const char* kRunning = "Upload l\u00e4uft...";
inline constexpr const char* kCancelling = "Upload abbrechen...";
inline constexpr const char* kEnding = "Upload-Modus beenden...";
inline constexpr const char* kCancelled = "Upload abgebrochen";
inline constexpr const char* kSendTimeout = " Sende-Timeout!";
inline constexpr const char* kConfirmCancel = "Upload l\u00e4uft. Wirklich abbrechen?";
}  // namespace recorder_texts

// " Nicht unterstütztes Kommando %d"
std::string UnsupportedCommandText(int32_t iCommand);
// "Upload fertig: %d Bytes [%d sec]" with the elapsed time in whole seconds.
std::string UploadDoneText(int32_t iBytes, uint32_t iElapsedMs);
// "Upload Recorder %d"
std::string UploadCaption(uint32_t iRecorder);

class TRecorderUpload {
 public:
  TRecorderUpload(TCommInterface& comm, IRecorderUploadHost& host, TRecorderUploadHooks hooks = {});
  ~TRecorderUpload();
  TRecorderUpload(const TRecorderUpload&) = delete;
  TRecorderUpload& operator=(const TRecorderUpload&) = delete;

  // Takes the link over (polling stopped, priority raised, callbacks and
  // error sink registered) and gives it back. Release is idempotent.
  void Prepare();
  void Release();
  bool Prepared() const { return boPrepared; }

  // Blocking: true when every point arrived and the drive confirmed the end
  // of the upload mode.
  bool StartUpload(uint32_t iRecorder, TStoreFunction store, int32_t iSize);

  // The user cancels (the window asks for confirmation first).
  void Cancel() { boCancel = true; }
  // The link is about to go (the program ends): give it back at once; a
  // running StartUpload returns false without touching the link again.
  void Abandon();
  bool Abandoned() const { return FComm == nullptr; }

  // Tuning. The window waits for the user when answers stop coming
  // (iStallTimeoutMs 0) and keeps an error visible until it is cancelled;
  // zeb7ctl gives up after a stall and returns at once.
  uint32_t iStallTimeoutMs = 0;
  uint32_t iEndTimeoutMs = 5000;  // for command 52's answer
  bool boWaitForCancelAfterError = false;
  int32_t iMaxQueued = 20;

  // State, as the window shows it.
  uint32_t iStartTime = 0;
  int32_t iBytesReceived = 0;
  int32_t iTelegramsReceived = 0;
  int32_t iPointsReceived = 0;  // distinct points of 0..size-1
  bool boErrors = false;
  bool boCancel = false;
  bool boCanClose = true;
  bool boUploadDone = false;
  bool boEndConfirmed = false;
  bool boEndAnswered = false;  // 52 answered, refused or given up
  uint32_t iUploadRecorder = 0;
  int32_t iUploadAddress = 0;
  int32_t iRecorderSize = 0;

 private:
  bool OnRecorderTelegram(std::unique_ptr<TTelegram>& t);
  bool OnRecorderAck(std::unique_ptr<TTelegram>& t);
  bool OnRecorderNak(std::unique_ptr<TTelegram>& t);
  bool OnRecorderMissingAck(std::unique_ptr<TTelegram>& t);
  bool Stopped() const { return boErrors || boCancel || !FComm || FHost.Quitting(); }
  void Fail(const std::string& s);
  void RestorePriority();
  void RequestPoints();
  void WaitForPoints();
  void EndUploadMode();
  uint32_t Tick() const;

  TCommInterface* FComm;  // null once abandoned
  IRecorderUploadHost& FHost;
  TRecorderUploadHooks FHooks;
  TStoreFunction StoreFunction;
  std::vector<bool> FReceived;
  TThreadPriority FSavedPriority = tpNormal;
  bool boPriorityRaised = false;
  bool boPrepared = false;
};

}  // namespace zeb7
