#pragma once
// Reading flash back through the drive's upload mode (50 start, 51 block, 52 end):
// TFlashBlockReader is the engine that the flash upload window and the verification
// after programming share; TUploadLogic is the upload window's logic (range
// checks, the HEX file) on top of it.
//
// Threads: Start and Cancel run in the main thread, OnTelegram and the missing-
// acknowledge and negative-answer handlers too (the link hands them over), Step
// runs in the worker (from an idle function). The blocks are guarded by a mutex
// that neither side holds while it waits for the other.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "firmware/IntelHexWriter.h"
#include "link/Commands.h"
#include "link/ThrdComm.h"

namespace zeb7 {

// Hands a call to the main thread without waiting for it. The front end drops it
// when the window it belongs to is gone.
using TPostFunction = std::function<void(std::function<void()>)>;

class TFlashBlockReader {
 public:
  enum TStep { rsIdle, rsWaiting, rsComplete, rsRefused };

  explicit TFlashBlockReader(TCommInterface& comm) : FComm(comm) {}

  // Posts 50 (word 0 = flash target) and one 51 per address. Addresses are the
  // first bytes of 64-byte reads; duplicates are read once.
  void Start(uint16_t flashTarget, const std::vector<uint32_t>& addresses);
  // Forgets the blocks; answers still on their way are ignored.
  void Clear();

  // Answers, acknowledges and losses of this reader's telegrams.
  bool OnTelegram(std::unique_ptr<TTelegram>& tele);
  bool OnNak(std::unique_ptr<TTelegram>& tele);
  bool OnMissingAck(std::unique_ptr<TTelegram>& tele);

  // Worker: requests again the blocks that have not arrived, but only when none
  // of the link's telegrams is still unanswered (every block request would be
  // queued again on every idle call otherwise). Returns where the read stands;
  // `repeated` tells whether requests went out again.
  TStep Step(bool& repeated);
  // Posts the end of the upload mode (52).
  void PostEnd();

  // The blocks in address order, for writing or comparing once complete.
  std::vector<TPacket> Blocks() const;
  int32_t Received() const { return iReceivedPackets; }
  int32_t Expected() const { return iExpectedPackets; }
  // The first block the drive refused (valid after rsRefused).
  uint32_t RefusedAddress() const { return uRefusedAddress; }
  bool Active() const { return FActive; }

  // The link has nothing of anybody's queued or unanswered.
  static bool LinkQuiet(TCommInterface& comm);

 private:
  void PostRead(uint32_t address);
  bool Mine(const TTelegram& t) const { return t.pOwner == this && t.bCommand == kCmdUploadBlock; }

  TCommInterface& FComm;
  mutable std::mutex FLock;
  std::map<uint32_t, TPacket> FBlocks;  // by address
  std::atomic<int32_t> iReceivedPackets{0};
  std::atomic<int32_t> iExpectedPackets{0};
  std::atomic<bool> FActive{false};
  std::atomic<bool> FRefused{false};
  std::atomic<uint32_t> uRefusedAddress{0};
};

// What the upload window shows; called in the main thread only (through the post function).
class IUploadView {
 public:
  virtual ~IUploadView() = default;
  virtual void LogMessage(const std::string& s) = 0;
  virtual void SetProgress(int percent) = 0;
  // START UPLOAD and CLOSE together.
  virtual void EnableButtons(bool enabled) = 0;
  virtual void MarkStartAddrInvalid(bool invalid) = 0;
  virtual void MarkSizeInvalid(bool invalid) = 0;
};

class TUploadLogic {
 public:
  TUploadLogic(TCommInterface& comm, IUploadView& view, TPostFunction post);
  ~TUploadLogic();
  TUploadLogic(const TUploadLogic&) = delete;
  TUploadLogic& operator=(const TUploadLogic&) = delete;

  // START UPLOAD. False (with the edit marked) for a bad start or size; nothing is sent then.
  bool Start(uint16_t flashTarget, const std::string& startText, const std::string& sizeText,
             const std::string& fileName);
  // CANCEL: no end command, nothing written.
  void Cancel();

  enum TResult { urNone, urRunning, urWritten, urFailed };
  TResult Result() const { return FResult; }
  const TFlashBlockReader& Reader() const { return FReader; }

  // The addresses a range reads: the start aligned down to 16 bytes, then one per
  // 64 bytes while the previous one + 64 lies below start + size; at least one.
  static std::vector<uint32_t> BlockAddresses(uint32_t start, uint32_t sizeKB);

 private:
  void OnUploadIdle();
  bool OnUploadTelegram(std::unique_ptr<TTelegram>& t);
  bool OnUploadNak(std::unique_ptr<TTelegram>& t);
  bool OnUploadMissingAck(std::unique_ptr<TTelegram>& t);
  void Register();
  void Unregister();
  void Post(std::function<void()> fn);
  void Finish(TResult r);

  TCommInterface& FComm;
  IUploadView& FView;
  TPostFunction FPost;
  TFlashBlockReader FReader;
  std::string FFileName;
  std::atomic<TResult> FResult{urNone};
  std::atomic<bool> FRunning{false};
  std::mutex FIdleLock;  // the idle's check-and-post against Cancel's flush
};

}  // namespace zeb7
