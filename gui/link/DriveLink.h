#pragma once
// What the main window needs of the link and the data exchange, behind one seam
// so the windows can be driven in tests without a serial device.
#include <cstdint>
#include <functional>
#include <string>

namespace zeb7::gui {

class TDriveLink {
 public:
  using MessageSink = std::function<void(const std::string&)>;
  virtual ~TDriveLink() = default;

  virtual int ComPort() const = 0;
  virtual void SetComPort(int port) = 0;
  virtual bool OpenCom() = 0;
  virtual void CloseCom() = 0;
  virtual bool Opened() const = 0;
  // Takes the worker off the port (and back) while the port is changed.
  virtual void Suspend() = 0;
  virtual void Resume() = 0;
  virtual void FlushSendQueue() = 0;
  virtual uint32_t Good() const = 0;

  // The pieces of Run and Stop: the error sink, the negative-answer routing and
  // the polling data exchange.
  virtual void SetErrorSink(MessageSink sink) = 0;
  virtual void StartExchange() = 0;
  virtual void StopExchange() = 0;

  // Device behind a port number (the port table); empty when none.
  virtual std::string DevicePath(int port) const = 0;
  // An explicit device for a port number (settings, command line).
  virtual void BindDevice(int port, const std::string& device) = 0;

  // Waits `ms` milliseconds while still serving the worker's hand-overs.
  virtual void Wait(int ms) = 0;
};

}  // namespace zeb7::gui
