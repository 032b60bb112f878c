#pragma once
// The drive status side of the main window as plain state: the status answer,
// status messages and error texts with their request producer, which drive
// button is down, which buttons are enabled, the parameter-set bar and the
// command codes the buttons send. A front end renders it.
#include "link/Commands.h"
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/C167Comm.h"
#include "model/TargetInfo.h"

namespace zeb7 {

// Command codes and drive command words: link/Commands.h.

// Caption colours as the main window uses them ($00BBGGRR).
inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourGreen = 0x008000;
inline constexpr uint32_t kColourRed = 0x0000FF;

enum TDriveButton : uint8_t { dbNone, dbEnableDrive, dbDisableDrive, dbControlByATA };

class TDriveStatus {
 public:
  static constexpr int kMaxMessageLines = 31;
  static constexpr int kParamSets = 16;

  explicit TDriveStatus(TTargetInfoArray& targets) : targets_(targets) {}

  // How drive commands leave (bound to TDMExchVars::SendCommand).
  std::function<void(uint16_t command)> SendCommand;
  // Called after every handled answer, so a front end can repaint.
  std::function<void()> OnChanged;

  // Request producer, asked first by the idle poller (worker thread).
  bool MakeTelegram(TTelegram& tele);
  // Command 4; only answers from target 0 are used.
  void HandleStatusTelegram(const TTelegram& tele);
  // Commands 5, 6, 7.
  void HandleErrorTelegram(const TTelegram& tele);
  // Appends a line, keeping at most 31 (30 old ones plus the new one).
  void ShowStatusMessage(const std::string& line);

  // Button handlers; the drive buttons ignore clicks while the status handler moves them.
  void ClickControlByATA();
  void ClickDisableDrive();
  void ClickEnableDrive();
  void ClickWriteFlash();
  void ClickParamSet(int tag);
  // The rename dialog: pre-filled text, validation of an entry (0..255, else
  // the dialog shows "???" and asks again), and sending a valid number.
  std::string RenameDefault() const;
  static std::optional<int> ParseParamVersion(std::string_view entry);
  bool RenameParamVersion(std::string_view entry);
  // After the user confirmed "Delete actual parameter set in flash ?".
  void DeleteParamSetConfirmed();

  // Rendered state.
  TDriveButton DownButton() const { return downButton_; }
  // "Disable Drive" in normal black, or "Reset Drive Error" in bold red.
  const std::string& DisableCaption() const { return disableCaption_; }
  bool DisableCaptionAlert() const { return disableAlert_; }
  uint32_t DisableCaptionColour() const { return disableAlert_ ? kColourRed : kColourBlack; }
  // "Delete Parameter Set", "Rename Param. Version", "Write Parameters to Flash".
  bool ActionButtonsEnabled() const { return downButton_ == dbDisableDrive; }
  // The parameter-set button that is down (-1: none), and each button's caption colour.
  int ParamSetDown() const { return bActiveParamPage < kParamSets ? bActiveParamPage : -1; }
  uint32_t ParamSetColour(int tag) const;
  const std::deque<std::string>& Messages() const { return messages_; }
  // Texts as received (8-bit code page); convert with Cp1252ToUtf8 for display.
  const std::string& ControllerError() const { return controllerError_; }
  const std::string& RuntimeError() const { return runtimeError_; }
  bool NoUserInput() const { return boNoUserInput; }

  std::atomic<uint16_t> wControllerStatus{0};
  uint16_t wDriveMode = 0;
  uint8_t bControllerStatus2 = 0;
  uint8_t bActiveParamPage = 0;
  uint16_t uValidParamSets = 0;
  std::atomic<uint16_t> wLatestStatusMessage{0};
  std::atomic<uint16_t> wLastStatusMsgRequested{0};
  uint16_t wLastStatusMsgRead = 0;
  std::atomic<int> iStatusPollStep{0};
  // Status answers taken from target 0 so far.
  uint32_t iStatusAnswers = 0;

 private:
  void Send(uint16_t command);
  void Changed();

  TTargetInfoArray& targets_;
  bool boNoUserInput = false;
  TDriveButton downButton_ = dbNone;
  std::string disableCaption_ = "Disable Drive";
  bool disableAlert_ = false;
  std::deque<std::string> messages_;
  std::string controllerError_;
  std::string runtimeError_;
};

}  // namespace zeb7
