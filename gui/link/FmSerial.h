#pragma once
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>

class QLabel;
class QRadioButton;
class QPushButton;
class QFrame;

namespace zeb7::gui {

// "Serial Port": one radio button per port number, enabled when the device the
// number maps to exists. Beside each button the device's stable name from
// /dev/serial/by-id (the kernel name when it has none); the full paths show as
// the button's tooltip.
class TSerialPortDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kPorts = 20;
  explicit TSerialPortDlg(QWidget* parent = nullptr);

  // Maps every number to its device and enables the buttons whose device exists;
  // `devDir` is where the devices and serial/by-id are looked up.
  void ListComPorts(const std::function<std::string(int)>& devicePathOf, const std::string& devDir = "/dev");
  QString DeviceOf(int port) const;
  // The name shown beside the button: by-id name, else the kernel name, else "".
  QString NameOf(int port) const;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QFrame* Bevel1;
  std::array<QRadioButton*, kPorts> RadioButtons{};
  std::array<QLabel*, kPorts> PortNames{};
  int iComPort = 1;
  bool boValid = true;

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  void OKBtnClick();
  std::array<QString, kPorts> devices_;
};

// True when `path` names something that can be opened as a device (exists).
bool DeviceExists(const std::string& path);

}  // namespace zeb7::gui
