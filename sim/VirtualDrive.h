#pragma once
// The drive's firmware as seen over the line: one answer per request, chosen by a
// table of command handlers. Each command group registers its handlers from its own
// source file (register*Commands), so new groups drop in without touching the rest.
#include "DriveDescription.h"
#include "link/C167Comm.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <mutex>
#include <string>

namespace zeb7::sim {

class VirtualDrive;

// Fills `ans` (already carrying the request's ident, command and target, type ttNormal,
// bLength 0, zero data). Set ans.ttType to ttAck or ttNak for a bare acknowledge or a
// refusal, ttNone for no answer at all. Called with the drive's mutex held.
using CommandHandler = std::function<void(VirtualDrive& drive, const TTelegram& req, TTelegram& ans)>;

class VirtualDrive {
 public:
  explicit VirtualDrive(DriveDescription description = defaultDrive());

  // The one answer to a data frame from the PC (ttNone: stay silent).
  TTelegram answer(const TTelegram& request);

  void setHandler(uint8_t command, CommandHandler handler);
  bool hasHandler(uint8_t command) const { return bool(handlers_[command]); }

  // Upload mode: command 50 names a source in its word 0 (a recorder number or a
  // flash target); while it is active, command 51 goes to that source's reader,
  // which fills the block answer. Command 52 ends the mode.
  void setUploadSource(uint16_t source, CommandHandler reader) { uploadSources_[source] = std::move(reader); }
  const CommandHandler* uploadSource(uint16_t source) const {
    auto it = uploadSources_.find(source);
    return it == uploadSources_.end() ? nullptr : &it->second;
  }
  std::optional<uint16_t> activeUpload;

  // The description is changed by handlers (value writes, drive commands) and by the
  // control channel; hold mutex() around any access from outside a handler.
  DriveDescription& description() { return d_; }
  std::mutex& mutex() { return mutex_; }

  // Drive-command bookkeeping: the last sequence number seen per target, so that a
  // repeated command telegram is acknowledged without acting twice.
  std::array<int, 10> lastCommandSequence{};

 private:
  DriveDescription d_;
  std::array<CommandHandler, 256> handlers_{};
  std::map<uint16_t, CommandHandler> uploadSources_;
  std::mutex mutex_;
};

// Telegram data is read and written with link/TelegramData.h (zeb7::tdata).

// Command groups.
void registerVersionCommands(VirtualDrive& drive);    // 3
void registerParameterCommands(VirtualDrive& drive);  // 10-15, 20
void registerStringCommands(VirtualDrive& drive);     // 30-33, 38, 39
void registerStatusCommands(VirtualDrive& drive);     // 4-7, 21
void registerUploadCommands(VirtualDrive& drive);     // 50-52 (sources register themselves)
void registerFlashCommands(VirtualDrive& drive);      // 70-73, 100-103, flash upload sources (SimFlash.h)
void registerRecorderCommands(VirtualDrive& drive);   // recorders 0-3 as upload sources

// The recorders' data: recorder r holds recorderChannels(r) channels of
// kSimRecorderPoints samples (sine, ramp, square and noise, deterministic).
inline constexpr int kSimRecorders = 4;
inline constexpr int kSimRecorderPoints = 256;
int recorderChannels(int recorder);
int16_t recorderSample(int recorder, int channel, int point);

// Drive status helpers shared by the status handlers and the control channel.
uint16_t latestStatusMessage(const SimStatus& s);
void pushStatusMessage(SimStatus& s, const std::string& latin1);  // keeps the last eight
void raiseDriveError(SimStatus& s, const std::string& controllerText, const std::string& runtimeText);

}  // namespace zeb7::sim
