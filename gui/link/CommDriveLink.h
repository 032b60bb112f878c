#pragma once
// The main window's link: the communication interface on Qt's hand-over, with
// the drive model's dispatcher, poller and negative-answer routing as the
// data exchange.
#include <QObject>
#include <memory>

#include "gui/link/DriveLink.h"
#include "gui/link/QtExecutor.h"
#include "link/ThrdComm.h"

namespace zeb7 {
class TDriveModel;
}

namespace zeb7::gui {

class TCommDriveLink : public TDriveLink {
 public:
  // `context` lives in the main thread and outlives the link.
  TCommDriveLink(QObject* context, TDriveModel& model, std::unique_ptr<TSerialPort> port = nullptr);
  ~TCommDriveLink() override;

  int ComPort() const override;
  void SetComPort(int port) override;
  bool OpenCom() override;
  void CloseCom() override;
  bool Opened() const override;
  void Suspend() override;
  void Resume() override;
  void FlushSendQueue() override;
  uint32_t Good() const override;
  void SetErrorSink(MessageSink sink) override;
  void StartExchange() override;
  void StopExchange() override;
  std::string DevicePath(int port) const override;
  void BindDevice(int port, const std::string& device) override;
  void Wait(int ms) override;

  TCommInterface& Comm() { return *comm_; }

 private:
  TDriveModel& model_;
  TQtExecutor executor_;
  std::unique_ptr<TCommInterface> comm_;
};

}  // namespace zeb7::gui
