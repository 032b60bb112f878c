#include "model/DriveStatus.h"

#include <charconv>

#include "link/TelegramData.h"

namespace zeb7 {

namespace {
constexpr int kMaxTextChars = kMaxStatusTextChars;
constexpr uint16_t kBitDriveError = kStatusDriveError;
constexpr uint16_t kBitControllerErrorText = kStatusControllerErrorText;
constexpr uint16_t kBitRuntimeErrorText = kStatusRuntimeErrorText;
constexpr uint8_t kStatus2Enabled = kStatus2DriveEnabled;
constexpr uint8_t kStatus2ByThisProgram = kStatus2EnabledByProgram;
constexpr uint8_t kStatus2DriveError = kStatus2DriveErrorFlag;
}  // namespace

void TDriveStatus::Changed() {
  try {
    if (OnChanged) OnChanged();
  } catch (...) {
  }
}

bool TDriveStatus::MakeTelegram(TTelegram& tele) {
  int step = iStatusPollStep;
  if (step > 4) {
    iStatusPollStep = 0;
    return false;
  }
  bool emitted = false;
  if (step == 0) {
    const uint16_t latest = wLatestStatusMessage;
    uint16_t requested = wLastStatusMsgRequested;
    if (latest != requested) {
      if (latest > requested)
        requested = latest - requested > 6 ? static_cast<uint16_t>(latest - 6) : static_cast<uint16_t>(requested + 1);
      else
        requested = 0;  // the drive restarted its numbering
      wLastStatusMsgRequested = requested;
      tele.bCommand = kCmdStatusMessage;
      tele.bTarget = 0;
      tele.bLength = 1;
      tele.baData[0] = static_cast<uint8_t>(requested % 8);
      emitted = true;
    } else {
      step = 1;
    }
  }
  if (!emitted && step == 1) {
    if (wControllerStatus & kBitControllerErrorText) {
      tele.bCommand = kCmdControllerError;
      tele.bTarget = 0;
      tele.bLength = 0;
      emitted = true;
    } else {
      step = 2;
    }
  }
  if (!emitted && step == 2) {
    if (wControllerStatus & kBitRuntimeErrorText) {
      tele.bCommand = kCmdRuntimeError;
      tele.bTarget = 0;
      tele.bLength = 0;
      emitted = true;
    }
  }
  // once per call, whatever steps were passed within it
  iStatusPollStep = step + 1;
  return emitted;
}

void TDriveStatus::HandleStatusTelegram(const TTelegram& tele) {
  if (tele.bTarget != 0) return;
  ++iStatusAnswers;
  wControllerStatus = tdata::Word(tele, 0);
  wLatestStatusMessage = tdata::Word(tele, 2);
  wDriveMode = tdata::Byte(tele, 4);
  if (tele.bLength < 6) {
    downButton_ = dbNone;
  } else {
    bControllerStatus2 = tdata::Byte(tele, 5);
    boNoUserInput = true;
    if ((wControllerStatus & kBitDriveError) && (bControllerStatus2 & kStatus2DriveError)) {
      downButton_ = dbNone;
      disableCaption_ = "Reset Drive Error";
      disableAlert_ = true;
    } else {
      disableCaption_ = "Disable Drive";
      disableAlert_ = false;
      if (!(bControllerStatus2 & kStatus2Enabled))
        downButton_ = dbDisableDrive;
      else if (bControllerStatus2 & kStatus2ByThisProgram)
        downButton_ = dbEnableDrive;
      else
        downButton_ = dbControlByATA;
    }
    boNoUserInput = false;
  }
  if (tele.bLength <= 10) {
    bActiveParamPage = 0;
  } else {
    bActiveParamPage = tdata::Byte(tele, 11);
    // read as they stand in the telegram, even when bLength stops at byte 11
    uValidParamSets = tdata::Word(tele, 12);
  }
  Changed();
}

uint32_t TDriveStatus::ParamSetColour(int tag) const {
  return (uValidParamSets >> (tag % 32)) & 1u ? kColourGreen : kColourRed;
}

void TDriveStatus::HandleErrorTelegram(const TTelegram& tele) {
  switch (tele.bCommand) {
    case kCmdStatusMessage: {
      const uint16_t number = tdata::Word(tele, 0);
      if (number != wLastStatusMsgRead) {
        wLastStatusMsgRead = number;
        ShowStatusMessage(std::to_string(number) + ": " + tdata::Text(tele, 2, kMaxTextChars));
      }
      break;
    }
    case kCmdControllerError:
      controllerError_ = (wControllerStatus & kBitControllerErrorText) ? tdata::Text(tele, 0, kMaxTextChars) : "";
      break;
    case kCmdRuntimeError:
      runtimeError_ = (wControllerStatus & kBitRuntimeErrorText) ? tdata::Text(tele, 0, kMaxTextChars) : "";
      break;
    default:
      return;
  }
  Changed();
}

void TDriveStatus::ShowStatusMessage(const std::string& line) {
  while (static_cast<int>(messages_.size()) >= kMaxMessageLines) messages_.pop_front();
  messages_.push_back(line);
}

void TDriveStatus::Send(uint16_t command) {
  if (SendCommand) SendCommand(command);
}

void TDriveStatus::ClickControlByATA() {
  if (!boNoUserInput) Send(kDriveCmdControlByATA);
}
void TDriveStatus::ClickDisableDrive() {
  if (!boNoUserInput) Send(kDriveCmdDisable);
}
void TDriveStatus::ClickEnableDrive() {
  if (!boNoUserInput) Send(kDriveCmdEnable);
}
void TDriveStatus::ClickWriteFlash() {
  if (!boNoUserInput) Send(kDriveCmdWriteFlash);
}
void TDriveStatus::ClickParamSet(int tag) { Send(SelectParamSetCommand(tag)); }

std::string TDriveStatus::RenameDefault() const { return std::to_string(targets_[0].ParamVersion); }

std::optional<int> TDriveStatus::ParseParamVersion(std::string_view entry) {
  while (!entry.empty() && static_cast<unsigned char>(entry.front()) <= ' ') entry.remove_prefix(1);
  while (!entry.empty() && static_cast<unsigned char>(entry.back()) <= ' ') entry.remove_suffix(1);
  if (!entry.empty() && entry.front() == '+') entry.remove_prefix(1);
  int v = 0;
  auto [ptr, ec] = std::from_chars(entry.data(), entry.data() + entry.size(), v);
  if (entry.empty() || ec != std::errc() || ptr != entry.data() + entry.size() || v < 0 || v > 255)
    return std::nullopt;
  return v;
}

bool TDriveStatus::RenameParamVersion(std::string_view entry) {
  auto v = ParseParamVersion(entry);
  if (!v) return false;
  Send(ParamVersionCommand(*v));
  return true;
}

void TDriveStatus::DeleteParamSetConfirmed() { Send(kDriveCmdDeleteParamSet); }

}  // namespace zeb7
