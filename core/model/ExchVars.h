#pragma once
// Connects the telegram link to the data model: routes answers to the part
// that owns the command, keeps the link busy with polling requests while it
// is idle, and sends values, drive commands and strings.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "link/C167Comm.h"
#include "model/TargetInfo.h"

namespace zeb7 {

struct TModelContext;
class TParameterList;
class TStringLists;
class TFrmProjectState;
class TDriveStatus;
class IDisplayWin;

// What the model needs from the link: its port state, its queue length, and
// posting. TCommInterface is adapted to it; tests use a fake.
class ITelegramLink {
 public:
  virtual ~ITelegramLink() = default;
  virtual bool Opened() const = 0;
  virtual int GetSendQueueSize() const = 0;
  // The telegram belongs to the link from now on.
  virtual void PostTelegram(std::unique_ptr<TTelegram> tele) = 0;
};

class TCommInterface;

// ITelegramLink over the process's communication interface.
class TCommInterfaceLink : public ITelegramLink {
 public:
  explicit TCommInterfaceLink(TCommInterface& comm) : comm_(comm) {}
  bool Opened() const override;
  int GetSendQueueSize() const override;
  void PostTelegram(std::unique_ptr<TTelegram> tele) override;

 private:
  TCommInterface& comm_;
};

class TDMExchVars {
 public:
  static constexpr int kMaxQueuedPolls = 5;

  TDMExchVars(TModelContext& ctx, TTargetInfoArray& targets, TParameterList& params,
              TStringLists& strings, TFrmProjectState& project, TDriveStatus& status);

  void SetLink(ITelegramLink* link) { link_ = link; }
  ITelegramLink* Link() const { return link_; }

  // Registers the idle function and the dispatcher (receive, negative
  // acknowledge, acknowledge) with the link and posts through it from now on.
  void Run(TCommInterface& comm);
  // Removes them again; sending keeps using the link.
  void Stop();
  // The callback registered with the link: takes and frees what it handles.
  bool OnTelegram(std::unique_ptr<TTelegram>& tele);
  void IdleProc() { Idle(); }

  // Idle function (worker thread): posts at most one polling telegram while
  // fewer than five are queued. Returns whether one was posted.
  bool Idle();
  // Dispatcher for answers, acknowledges and negative acknowledges (main
  // thread). Never frees: the callback registered with the link owns the
  // telegram and frees it when this returns true.
  bool Dispatch(const TTelegram& tele);

  // Command 20; returns the queue length before posting plus one, or the
  // current length when the port is closed (nothing posted then).
  int SendMonitorData(int32_t index, int32_t target, int32_t checksum, int64_t newValue, bool inc, int retry);
  // The input event of display windows.
  void SendeNeuenWert(IDisplayWin* sender);
  // Command 21 to every present target, with the program-wide sequence number.
  void SendCommand(uint16_t command);
  // Texts are Latin-1; at most 100 characters go out.
  void SendString(int command, int target, int index, int checksum, const std::string& text);

  // The type plate view's edit: sends the new text (Latin-1) as command 33
  // with the line's current checksum, then has the line read back.
  void WriteTypePlateLine(int target, int index, const std::string& text);

  uint16_t CommandSequence() const { return commandSequence_; }

  // Registered with the link (set by the owner's Run/Stop).
  std::atomic<bool> boRunning{false};

 private:
  TModelContext& ctx_;
  TTargetInfoArray& targets_;
  TParameterList& params_;
  TStringLists& strings_;
  TFrmProjectState& project_;
  TDriveStatus& status_;
  std::atomic<ITelegramLink*> link_{nullptr};
  std::unique_ptr<TCommInterfaceLink> commLink_;
  TCommInterface* comm_ = nullptr;
  std::atomic<uint16_t> commandSequence_{1};
};

}  // namespace zeb7
