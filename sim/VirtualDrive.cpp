#include "VirtualDrive.h"

#include <algorithm>
#include <cstring>

namespace zeb7::sim {

VirtualDrive::VirtualDrive(DriveDescription description) : d_(std::move(description)) {
  registerVersionCommands(*this);
  registerParameterCommands(*this);
  registerStringCommands(*this);
  registerStatusCommands(*this);
  registerUploadCommands(*this);
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
  if (req.bTarget > 9) {
    ans.ttType = ttNak;
    return ans;
  }
  const SimTarget& t = d_.targets[req.bTarget];
  if (!t.present) {
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

int putText(TTelegram& t, int at, const std::string& latin1, int maxChars) {
  int n = std::min<int>(int(latin1.size()), maxChars);
  n = std::min(n, 255 - at - 1);
  std::memcpy(t.baData.data() + at, latin1.data(), size_t(std::max(n, 0)));
  t.baData[at + n] = 0;
  return n + 1;
}

std::string getText(const TTelegram& t, int at) {
  std::string s;
  for (int i = at; i < t.bLength && t.baData[i] != 0; ++i) s += char(t.baData[i]);
  return s;
}

}  // namespace zeb7::sim
