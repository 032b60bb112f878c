#pragma once
// A link without a device: records what the main window asks of it and opens
// exactly the ports the test says exist.
#include <set>
#include <string>
#include <vector>

#include "gui/link/DriveLink.h"

namespace zeb7::gui::test {

class FakeDriveLink : public TDriveLink {
 public:
  struct Shared {
    std::vector<std::string> calls;
    std::set<int> openable{1};
    uint32_t good = 0;
    bool opened = false;
    int port = 1;
    MessageSink sink;
  };
  explicit FakeDriveLink(Shared& s) : s_(s) {}
  ~FakeDriveLink() override { s_.calls.push_back("destroy"); }

  int ComPort() const override { return s_.port; }
  void SetComPort(int port) override {
    s_.calls.push_back("port " + std::to_string(port));
    s_.port = port;
  }
  bool OpenCom() override {
    s_.opened = s_.openable.count(s_.port) > 0;
    s_.calls.push_back(std::string("open ") + std::to_string(s_.port) + (s_.opened ? " ok" : " failed"));
    return s_.opened;
  }
  void CloseCom() override {
    s_.opened = false;
    s_.calls.push_back("close");
  }
  bool Opened() const override { return s_.opened; }
  void Suspend() override { s_.calls.push_back("suspend"); }
  void Resume() override { s_.calls.push_back("resume"); }
  void FlushSendQueue() override { s_.calls.push_back("flush"); }
  uint32_t Good() const override { return s_.good; }
  void SetErrorSink(MessageSink sink) override {
    s_.calls.push_back(sink ? "sink set" : "sink cleared");
    s_.sink = std::move(sink);
  }
  void StartExchange() override { s_.calls.push_back("start"); }
  void StopExchange() override { s_.calls.push_back("stop"); }
  std::string DevicePath(int port) const override {
    return s_.openable.count(port) ? "/dev/null" : "/nonexistent/tty" + std::to_string(port);
  }
  void BindDevice(int port, const std::string& device) override {
    s_.calls.push_back("bind " + std::to_string(port) + " " + device);
  }
  void Wait(int) override {}

 private:
  Shared& s_;
};

}  // namespace zeb7::gui::test
