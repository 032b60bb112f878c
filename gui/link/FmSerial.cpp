#include "gui/link/FmSerial.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <sys/stat.h>

#include <filesystem>

#include "link/StableNames.h"

namespace zeb7::gui {

bool DeviceExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0;
}

TSerialPortDlg::TSerialPortDlg(QWidget* parent) : QDialog(parent) {
  setObjectName("SerialPortDlg");
  setWindowTitle("Serial Port");
  setModal(true);
  auto* lay = new QVBoxLayout(this);
  Bevel1 = new QFrame(this);
  Bevel1->setObjectName("Bevel1");
  Bevel1->setFrameShape(QFrame::Box);
  Bevel1->setFrameShadow(QFrame::Sunken);
  auto* grid = new QGridLayout(Bevel1);
  for (int i = 0; i < kPorts; ++i) {
    auto* rb = new QRadioButton(QString("COM%1").arg(i + 1), Bevel1);
    rb->setObjectName(QString("RadioButton%1").arg(i + 1));
    rb->setEnabled(false);
    auto* name = new QLabel(Bevel1);
    name->setObjectName(QString("PortName%1").arg(i + 1));
    grid->addWidget(rb, i % 10, 2 * (i / 10));
    grid->addWidget(name, i % 10, 2 * (i / 10) + 1);
    RadioButtons[i] = rb;
    PortNames[i] = name;
  }
  lay->addWidget(Bevel1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  OKBtn = new QPushButton("OK", this);
  OKBtn->setObjectName("OKBtn");
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  CancelBtn->setObjectName("CancelBtn");
  row->addWidget(OKBtn);
  row->addWidget(CancelBtn);
  lay->addLayout(row);
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TSerialPortDlg::ListComPorts(const std::function<std::string(int)>& devicePathOf,
                                  const std::string& devDir) {
  for (int i = 0; i < kPorts; ++i) {
    std::string dev = devicePathOf ? devicePathOf(i + 1) : std::string();
    devices_[i] = QString::fromStdString(dev);
    bool present = DeviceExists(dev);
    RadioButtons[i]->setEnabled(present);
    QString tip = dev.empty() ? QString("no device") : devices_[i];
    if (!dev.empty() && !present) tip += " (missing)";
    QString name;
    if (!dev.empty()) {
      const std::string stable = present ? StableSerialNameOf(dev, devDir) : std::string();
      name = QString::fromStdString(std::filesystem::path(stable.empty() ? dev : stable).filename().string());
      if (!stable.empty() && stable != dev) tip += "\n" + QString::fromStdString(stable);
      std::error_code ec;
      if (present && stable == dev) {
        const auto real = std::filesystem::weakly_canonical(dev, ec);
        if (!ec) tip += "\n" + QString::fromStdString(real.string());
      }
    }
    PortNames[i]->setText(name);
    PortNames[i]->setEnabled(present);
    RadioButtons[i]->setToolTip(tip);
    RadioButtons[i]->setStatusTip(tip);
  }
}

QString TSerialPortDlg::DeviceOf(int port) const {
  return (port >= 1 && port <= kPorts) ? devices_[port - 1] : QString();
}

QString TSerialPortDlg::NameOf(int port) const {
  return (port >= 1 && port <= kPorts) ? PortNames[port - 1]->text() : QString();
}

void TSerialPortDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  if (iComPort >= 1 && iComPort <= kPorts) {
    RadioButtons[iComPort - 1]->setChecked(true);
    if (!boValid) RadioButtons[iComPort - 1]->setEnabled(false);
  }
  if (!boValid) {
    // After the dialog is up, so the warning sits on top of it.
    QTimer::singleShot(0, this, [this] {
      QMessageBox::warning(this, windowTitle(), "COM port not available or in use",
                           QMessageBox::Ok);
    });
  }
}

void TSerialPortDlg::OKBtnClick() {
  for (int i = 0; i < kPorts; ++i)
    if (RadioButtons[i]->isChecked()) iComPort = i + 1;
  accept();
}

}  // namespace zeb7::gui
