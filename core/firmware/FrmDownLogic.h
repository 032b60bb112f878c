#pragma once
// Flash programming: the firmware maintenance window's logic. It puts the drive
// into service mode for one flash target, erases, programs the image in blocks
// of at most 64 bytes, reads the programmed ranges back and compares them with
// the image, leaves service mode and returns the drive to normal mode.
//
// Threads: the buttons, the close handling and the telegram callbacks run in the
// main thread; OnIdle runs in the link's worker. The state is an atomic that the
// idle function changes only by compare-exchange from the value it read, so that
// a Cancel in between wins. Everything the window shows goes through the post
// function as a call for the main thread; nothing here waits for that thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "firmware/DownloadImage.h"
#include "firmware/FrmUploadLogic.h"
#include "link/ThrdComm.h"

namespace zeb7 {

enum TDownloadState : int {
  dlsNormalMode,
  dlsStartConnect,
  dlsWaitForConnect,
  dlsConnected,
  dlsStartDisconnect,
  dlsWaitForDisconnect,
  dlsDisconnected,
  dlsErasing,
  dlsWaitForErasure,
  dlsErased,
  dlsProgramming,
  dlsWaitForProgramming,
  dlsProgrammed,
  dlsStartNormalMode,
  dlsWaitNormalMode,
  dlsError,
  // Reading the programmed ranges back before "programmed" is reported.
  dlsVerifying,
  dlsWaitForVerify,
};

const char* DownloadStateName(TDownloadState s);

// Which controls are usable; "File" is the file edit and its browse button.
struct TControlEnable {
  bool RunAll = false, Connect = false, File = false, Tabs = false, Cancel = false, Disconnect = false,
       Program = false, Erase = false;
  bool operator==(const TControlEnable&) const = default;
};
// The table by state; false for dlsStartNormalMode, which leaves the controls as they are.
bool ControlsFor(TDownloadState s, TControlEnable& out);

inline constexpr int kFlashTargetCount = 3;
inline constexpr std::array<uint16_t, kFlashTargetCount> kFlashTargets = {kFlashTargetSTR710, kFlashTargetDSP,
                                                                         kFlashTargetFPGA};
inline constexpr std::array<const char*, kFlashTargetCount> kFlashTargetNames = {"STR710", "DSP", "FPGA"};
// Tab index of a target name ("STR710", "DSP", "FPGA"), -1 when unknown.
int FlashTargetIndex(const std::string& name);

class IDownloadView {
 public:
  virtual ~IDownloadView() = default;
  virtual void LogMessage(const std::string& s) = 0;
  virtual void SetSpiLabel(const std::string& s) = 0;    // "Comm Status:"
  virtual void SetFlashLabel(const std::string& s) = 0;  // "FLASH Status:"
  virtual void SetProgress(int percent) = 0;
  virtual void EnableControls(const TControlEnable& e) = 0;
  // The automatic erase setup shows the range it derived.
  virtual void ShowEraseRange(const std::string& from, const std::string& to) = 0;
  // The logic has decided that the window closes (normal mode reached, or Exit Service Mode).
  virtual void CloseWindow() = 0;
};

class TDownloadLogic {
 public:
  using TTickFunction = std::function<uint32_t()>;

  TDownloadLogic(TCommInterface& comm, IDownloadView& view, TPostFunction post);
  ~TDownloadLogic();
  TDownloadLogic(const TDownloadLogic&) = delete;
  TDownloadLogic& operator=(const TDownloadLogic&) = delete;

  // Per-target values, indexed by tab.
  std::array<std::string, kFlashTargetCount> aFilename, aFromAddr, aToAddr;
  std::array<int, kFlashTargetCount> aErasureMode{};
  int iTab = 0;
  // Read the programmed ranges back and compare before reporting "programmed".
  bool fVerify = true;
  // Exit Service Mode after flash changes: the drive's parameters are read again.
  std::function<void()> OnFlashModifiedExit;

  // FormShow. Refused (false, with a log line) while a parameter download runs:
  // the flush would drop its queued writes.
  bool Show(bool parameterDownloadRunning = false);
  bool Shown() const { return FShown; }
  enum TCloseAnswer { caClose, caRefused, caAskUser };
  // A close attempt by the user: refused (asking the drive for normal mode) until
  // the drive is in normal mode; after kRefusalsBeforeAsking refusals the window asks.
  TCloseAnswer CloseQuery();
  static constexpr int kRefusalsBeforeAsking = 3;
  // Closes whatever the state: removes the callbacks, restores the worker's priority.
  void Close();

  // Buttons.
  void ConnectClick();
  bool EraseClick();
  bool ProgramClick();
  void DisconnectClick();
  void CancelClick();
  bool RunAllClick();
  void ExitServiceModeClick();

  bool LoadHexFile();
  bool CheckEraseSetup();

  TDownloadState State() const { return FState.load(); }
  // Main thread: the state property.
  void SetState(TDownloadState v);

  // Callbacks (public for tests that drive them without a worker).
  bool OnFlashTelegram(std::unique_ptr<TTelegram>& tele);
  bool OnMissingAck(std::unique_ptr<TTelegram>& tele);
  bool OnNak(std::unique_ptr<TTelegram>& tele);
  void OnIdle();

  // The millisecond tick (tests inject their own).
  void SetTick(TTickFunction tick) { FTick = std::move(tick); }

  const TDownloadImage& Image() const { return FImage; }
  int32_t iTeleCounter() const { return FTeleCounter; }
  int32_t iLowerEraseAddress() const { return FLowerErase; }
  int32_t iUpperEraseAddress() const { return FUpperErase; }
  bool DoRunAll() const { return FDoRunAll; }
  bool FlashModified() const { return FFlashModified; }
  uint8_t FlashState() const { return FFlashState; }
  int8_t FlashError() const { return FFlashError; }
  uint8_t ServiceState() const { return FServiceState; }
  // Telegrams of this window that were never answered.
  int32_t LostTelegrams() const { return FLost; }
  // Set when the read-back equalled the image (cleared when programming starts).
  bool Verified() const { return FVerified; }
  // Every block was confirmed (and verified when asked) since programming last started.
  bool Programmed() const { return FProgrammed; }
  // The last flash target connected.
  uint16_t iTargetFlash() const { return FTargetFlash; }

 private:
  bool Transition(TDownloadState from, TDownloadState v);
  void Post(std::function<void()> fn);
  void Log(const std::string& s);
  void CommStatus(const std::string& s);
  void FlashStatus(const std::string& s);
  void FlashLabel(const std::string& s);
  void SpiLabel(const std::string& s);
  void Progress(int p);
  void FlushLocked();
  void PostSimple(uint8_t command, uint8_t target, int retries = 8);
  void PostErase();
  void PostProgramBlocks();
  void IdleWait(TDownloadState s, uint32_t seconds);
  void IdleVerify(TDownloadState s);
  bool CompareReadBack(std::string& why) const;
  void OnFlashAnswer(const TTelegram& t);
  void OnServiceAnswer(const TTelegram& t);
  void RegisterCallbacks();
  void RemoveCallbacks();
  bool Mine(const TTelegram& t) const { return t.pOwner == this; }

  TCommInterface& FComm;
  IDownloadView& FView;
  TPostFunction FPost;
  TTickFunction FTick;
  TDownloadImage FImage;
  TFlashBlockReader FReader;

  std::atomic<TDownloadState> FState{dlsNormalMode};
  std::atomic<bool> FDoRunAll{false};
  std::atomic<bool> FFlashModified{false};
  std::atomic<bool> FVerified{false};
  std::atomic<bool> FProgrammed{false};
  std::atomic<int32_t> FTeleCounter{0};
  std::atomic<int32_t> FLost{0};
  std::atomic<uint32_t> FStartTick{0};
  std::atomic<uint16_t> FTargetFlash{kFlashTargetSTR710};
  std::atomic<uint8_t> FFlashState{0}, FServiceState{0};
  std::atomic<int8_t> FFlashError{0};
  int32_t FLowerErase = 0, FUpperErase = 0;
  int FEraseMode = 0;  // of the erase in progress
  int FRefusedCloses = 0;
  bool FShown = false;
  TThreadPriority FSavedPriority = tpNormal;
  // Held by the idle function from reading the state until its telegrams are
  // posted, and by Cancel and a flash error around their flush.
  std::mutex FPostLock;
};

}  // namespace zeb7
