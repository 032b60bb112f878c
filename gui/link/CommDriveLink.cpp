#include "gui/link/CommDriveLink.h"

#include <QEventLoop>
#include <QTimer>

#include "model/DriveModel.h"

namespace zeb7::gui {

TCommDriveLink::TCommDriveLink(QObject* context, TDriveModel& model, std::unique_ptr<TSerialPort> port)
    : model_(model), executor_(context) {
  comm_ = std::make_unique<TCommInterface>(executor_, SteadyClock(), std::move(port));
  comm_->SetPriority(tpLowest);
}

TCommDriveLink::~TCommDriveLink() {
  StopExchange();
  comm_.reset();  // terminates and joins the worker, serving its hand-overs
  model_.ExchVars.SetLink(nullptr);  // nothing may post into the freed link
}

int TCommDriveLink::ComPort() const { return comm_->ComPort(); }
void TCommDriveLink::SetComPort(int port) { comm_->SetComPort(port); }
bool TCommDriveLink::OpenCom() { return comm_->OpenCom(); }
void TCommDriveLink::CloseCom() { comm_->CloseCom(); }
bool TCommDriveLink::Opened() const { return comm_->Opened(); }
void TCommDriveLink::Suspend() { comm_->Suspend(); }
void TCommDriveLink::Resume() { comm_->Resume(); }
void TCommDriveLink::FlushSendQueue() { comm_->FlushSendQueue(); }
uint32_t TCommDriveLink::Good() const { return static_cast<uint32_t>(comm_->Good()); }

void TCommDriveLink::SetErrorSink(MessageSink sink) { comm_->SetOnErrorMessage(std::move(sink)); }

void TCommDriveLink::StartExchange() {
  // Polling goes beneath an idle function that another window has active
  // (flash programming), never on top of it.
  TWakeUpFunction top = comm_->Thread().IdleSlot(0);
  model_.Run(*comm_);
  TWakeUpFunction poll = comm_->Thread().IdleSlot(0);
  if (top && !(top.Key == poll.Key)) comm_->AddIdleFunction(top);
}

void TCommDriveLink::StopExchange() {
  if (comm_) model_.Stop();
}

std::string TCommDriveLink::DevicePath(int port) const { return comm_->PortTable().DevicePath(port); }

void TCommDriveLink::BindDevice(int port, const std::string& device) {
  comm_->PortTable().SetEntry(port, device);
}

void TCommDriveLink::Wait(int ms) {
  // The worker's hand-overs arrive as queued calls: keep the event loop going.
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace zeb7::gui
