// Commands 50 to 52: the upload mode shared by the recorders and the flash
// read-back. The mode itself lives here; what a block holds is the source's.
#include "VirtualDrive.h"
#include "link/TelegramData.h"

namespace zeb7::sim {

namespace {

void uploadStart(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  if (req.bLength < 2 || !drive.uploadSource(tdata::Word(req, 0))) {
    ans.ttType = ttNak;
    return;
  }
  drive.activeUpload = tdata::Word(req, 0);
  ans.ttType = ttAck;
}

void uploadBlock(VirtualDrive& drive, const TTelegram& req, TTelegram& ans) {
  const CommandHandler* reader = drive.activeUpload ? drive.uploadSource(*drive.activeUpload) : nullptr;
  if (!reader) {
    ans.ttType = ttNak;
    return;
  }
  (*reader)(drive, req, ans);
}

void uploadEnd(VirtualDrive& drive, const TTelegram&, TTelegram& ans) {
  drive.activeUpload.reset();  // repeats are harmless: ending twice is still ended
  ans.ttType = ttAck;
}

}  // namespace

void registerUploadCommands(VirtualDrive& drive) {
  drive.setHandler(kCmdUploadStart, uploadStart);
  drive.setHandler(kCmdUploadBlock, uploadBlock);
  drive.setHandler(kCmdUploadEnd, uploadEnd);
}

}  // namespace zeb7::sim
