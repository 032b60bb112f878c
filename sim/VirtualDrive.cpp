#include "VirtualDrive.h"

#include <algorithm>
#include <cstring>

#include "link/Commands.h"

namespace zeb7::sim {

VirtualDrive::VirtualDrive(DriveDescription description) : d_(std::move(description)) {
  registerVersionCommands(*this);
  registerParameterCommands(*this);
  registerStringCommands(*this);
  registerStatusCommands(*this);
  registerUploadCommands(*this);
  registerFlashCommands(*this);
  registerRecorderCommands(*this);
}

void VirtualDrive::setHandler(uint8_t command, CommandHandler handler) {
  handlers_[command] = std::move(handler);
}

TTelegram VirtualDrive::answer(const TTelegram& req) {
  TTelegram ans;
  ans.ttType = ttNormal;
  ans.bIdent = req.bIdent;
  ans.bCommand = req.bCommand;
  ans.bTarget = req.bTarget;
  ans.bLength = 0;
  ans.baData.fill(0);

  std::lock_guard lock(mutex_);
  // Flash commands address a flash target (0x10, 0x20, 0x30), not an axis.
  if (req.bTarget > 9 && req.bCommand >= kCmdFlashState && req.bCommand <= kCmdFlashProgram &&
      handlers_[req.bCommand]) {
    handlers_[req.bCommand](*this, req, ans);
    return ans;
  }
  if (req.bTarget > 9) {
    ans.ttType = ttNak;
    return ans;
  }
  const SimTarget& t = d_.targets[req.bTarget];
  // Point reads and the end of the upload mode name a recorder, not a target.
  const bool recorderCommand = req.bCommand == kCmdUploadBlock || req.bCommand == kCmdUploadEnd;
  if (!t.present && !recorderCommand) {
    ans.ttType = t.absentMode == AbsentMode::Silent ? ttNone : ttNak;
    return ans;
  }
  const CommandHandler& h = handlers_[req.bCommand];
  if (!h) {
    ans.ttType = ttNak;  // a command this firmware does not know
    return ans;
  }
  h(*this, req, ans);
  return ans;
}

}  // namespace zeb7::sim
