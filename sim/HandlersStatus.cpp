// Commands 4 (status), 5 (status message), 6 and 7 (error texts) and 21 (drive command).
#include "VirtualDrive.h"
#include "link/Commands.h"
#include "link/TelegramData.h"

namespace zeb7::sim {

namespace {

constexpr uint16_t kDriveError = kStatusDriveError;
constexpr uint16_t kControllerText = kStatusControllerErrorText;
constexpr uint16_t kRuntimeText = kStatusRuntimeErrorText;
constexpr uint8_t kEnabled = kStatus2DriveEnabled;
constexpr uint8_t kByProgram = kStatus2EnabledByProgram;
constexpr uint8_t kError = kStatus2DriveErrorFlag;

void status(VirtualDrive& drive, const TTelegram&, TTelegram& ans) {
  const SimStatus& s = drive.description().status;
  tdata::SetWord(ans, 0, s.wControllerStatus);
  tdata::SetWord(ans, 2, latestStatusMessage(s));
  tdata::SetByte(ans, 4, s.bDriveMode);
  tdata::SetByte(ans, 5, s.bStatus2);
  tdata::SetByte(ans, 11, s.bActiveSet);
  tdata::SetWord(ans, 12, s.wValidSets);
  ans.bLength = 14;
}

// The drive keeps the last eight messages; slot = number mod 8.
void statusMessage(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  const SimStatus& s = drive.description().status;
  const int slot = req.bLength >= 1 ? (req.baData[0] & 7) : 0;
  const uint16_t latest = latestStatusMessage(s);
  const SimStatusMessage* found = nullptr;
  for (auto it = s.messages.rbegin(); it != s.messages.rend(); ++it)
    if ((it->number & 7) == slot && uint16_t(latest - it->number) < 8) {
      found = &*it;
      break;
    }
  if (found) {
    tdata::SetWord(ans, 0, found->number);
    ans.bLength = uint8_t(2 + tdata::SetText(ans, 2, found->text, kMaxStatusTextChars));
  } else {
    // Nothing held in that slot: the newest number it would have, without text.
    tdata::SetWord(ans, 0, uint16_t(latest - ((latest - slot) & 7)));
    ans.bLength = 3;
  }
}

void errorText(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  const SimStatus& s = drive.description().status;
  const std::string& text = req.bCommand == kCmdControllerError ? s.controllerError : s.runtimeError;
  ans.bLength = uint8_t(tdata::SetText(ans, 0, text, kMaxStatusTextChars));
}

void driveCommand(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  if (req.bLength < 4) {
    ans.ttType = ttNak;
    return;
  }
  const uint16_t code = tdata::Word(req, 0);
  const int sequence = tdata::Word(req, 2);
  ans.ttType = ttAck;
  // Repeats of a command (lost acknowledge) carry the same number: act only once.
  int& last = drive.lastCommandSequence[req.bTarget];
  if (sequence == last) return;

  DriveDescription& d = drive.description();
  SimStatus& s = d.status;
  const uint8_t low = code & 0xFF, high = code >> 8;
  const bool driveWide = req.bTarget == 0;  // the drive's state lives with target 0
  const bool error = (s.wControllerStatus & kDriveError) && (s.bStatus2 & kError);
  if (code == kDriveCmdControlByATA) {
    if (driveWide && !error) s.bStatus2 = uint8_t((s.bStatus2 & ~kByProgram) | kEnabled);
  } else if (code == kDriveCmdDisable) {
    if (driveWide) {
      s.bStatus2 &= uint8_t(~(kEnabled | kByProgram | kError));
      s.wControllerStatus &= uint16_t(~(kDriveError | kControllerText | kRuntimeText));
    }
  } else if (code == kDriveCmdEnable) {
    if (driveWide && !error) s.bStatus2 |= kEnabled | kByProgram;
  } else if (code == kDriveCmdWriteFlash) {
    if (driveWide) {
      s.wValidSets |= uint16_t(1u << (s.bActiveSet & 15));
      pushStatusMessage(s, "Parameters written to flash");
    }
  } else if (code == kDriveCmdDeleteParamSet) {
    if (driveWide) s.wValidSets &= uint16_t(~(1u << (s.bActiveSet & 15)));
  } else if (low == kDriveCmdSelectParamSet && high < 16) {
    if (driveWide) {
      s.bActiveSet = high;
      pushStatusMessage(s, "Parameter set " + std::to_string(high) + " active");
    }
  } else if (low == kDriveCmdParamVersion) {
    d.targets[req.bTarget].paramVersion = high;
  } else {
    ans.ttType = ttNak;
    return;
  }
  last = sequence;
}

}  // namespace

uint16_t latestStatusMessage(const SimStatus& s) {
  return s.messages.empty() ? 0 : s.messages.back().number;
}

void pushStatusMessage(SimStatus& s, const std::string& latin1) {
  s.messages.push_back({uint16_t(latestStatusMessage(s) + 1), latin1});
  if (s.messages.size() > 8) s.messages.erase(s.messages.begin(), s.messages.end() - 8);
}

void raiseDriveError(SimStatus& s, const std::string& controllerText, const std::string& runtimeText) {
  s.wControllerStatus |= kDriveError;
  s.bStatus2 = uint8_t((s.bStatus2 & ~(kEnabled | kByProgram)) | kError);
  s.controllerError = controllerText;
  s.runtimeError = runtimeText;
  if (!controllerText.empty()) s.wControllerStatus |= kControllerText;
  if (!runtimeText.empty()) s.wControllerStatus |= kRuntimeText;
}

void registerStatusCommands(VirtualDrive& drive) {
  drive.setHandler(kCmdStatus, status);
  drive.setHandler(kCmdStatusMessage, statusMessage);
  drive.setHandler(kCmdControllerError, errorText);
  drive.setHandler(kCmdRuntimeError, errorText);
  drive.setHandler(kCmdDriveCommand, driveCommand);
}

}  // namespace zeb7::sim
