#pragma once
#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <string>

class QRadioButton;
class QPushButton;
class QFrame;

namespace zeb7::gui {

// "Serial Port": one radio button per port number, enabled when the device the
// number maps to exists; the device path shows as the button's tooltip.
class TSerialPortDlg : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kPorts = 20;
  explicit TSerialPortDlg(QWidget* parent = nullptr);

  // Maps every number to its device and enables the buttons whose device exists.
  void ListComPorts(const std::function<std::string(int)>& devicePathOf);
  QString DeviceOf(int port) const;

  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QFrame* Bevel1;
  std::array<QRadioButton*, kPorts> RadioButtons{};
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
