#include <gtest/gtest.h>

#include <QLabel>
#include <QRadioButton>
#include <filesystem>
#include <map>

#include "TempDir.h"
#include "gui/link/FmSerial.h"
#include "link/StableNames.h"

namespace fs = std::filesystem;
using zeb7::gui::TSerialPortDlg;

namespace {

// A device folder of our own: three kernel devices, a by-id folder with one
// adapter's link and one link whose device is gone.
struct FakeDevices {
  zeb7::test::TempDir dir{"zeb7_byid"};
  std::string dev = dir.Path().string();
  std::string byId = dev + "/serial/by-id";
  std::string adapter = byId + "/usb-FTDI_FT232R_A1B2C3-if00-port0";
  FakeDevices() {
    for (const char* n : {"ttyUSB0", "ttyUSB1", "ttyS0"}) dir.Write(n, "");
    fs::create_directories(byId);
    fs::create_symlink("../../ttyUSB1", adapter);
    fs::create_symlink("../../ttyUSB9", byId + "/usb-gone-if00-port0");
  }
  // The adapter comes back under another kernel name behind the same link.
  void Replug(const char* kernelName) {
    fs::remove(adapter);
    fs::create_symlink(std::string("../../") + kernelName, adapter);
  }
};

}  // namespace

TEST(SerialPortDlg, ListsStableNamesBesideTheComNumbers) {
  FakeDevices d;
  auto names = zeb7::StableSerialNames(d.dev);
  ASSERT_EQ(names.size(), 1u);  // the broken link is left out
  EXPECT_EQ(names[0].first, d.adapter);
  EXPECT_EQ(names[0].second, d.dev + "/ttyUSB1");
  EXPECT_EQ(zeb7::StableSerialNameOf(d.dev + "/ttyUSB1", d.dev), d.adapter);
  EXPECT_EQ(zeb7::StableSerialNameOf(d.dev + "/ttyS0", d.dev), "");

  std::map<int, std::string> table{{1, d.dev + "/ttyUSB1"},
                                   {2, d.dev + "/ttyS0"},
                                   {3, d.adapter},
                                   {4, d.byId + "/usb-gone-if00-port0"}};
  auto pathOf = [&](int n) { return table.count(n) ? table[n] : std::string(); };
  TSerialPortDlg dlg;
  dlg.ListComPorts(pathOf, d.dev);
  EXPECT_EQ(dlg.NameOf(1), "usb-FTDI_FT232R_A1B2C3-if00-port0");
  EXPECT_TRUE(dlg.RadioButtons[0]->toolTip().contains("usb-FTDI_FT232R_A1B2C3"));
  EXPECT_EQ(dlg.NameOf(2), "ttyS0");  // no stable name: the kernel name
  EXPECT_EQ(dlg.NameOf(3), "usb-FTDI_FT232R_A1B2C3-if00-port0");
  EXPECT_TRUE(dlg.RadioButtons[2]->isEnabled());
  EXPECT_TRUE(dlg.RadioButtons[2]->toolTip().contains("ttyUSB1"));  // where it points now
  EXPECT_FALSE(dlg.RadioButtons[3]->isEnabled());  // a link to a vanished device
  EXPECT_EQ(dlg.NameOf(5), "");
  EXPECT_FALSE(dlg.RadioButtons[4]->isEnabled());
  EXPECT_EQ(dlg.RadioButtons[0]->text(), "COM1");

  // Replugged as ttyUSB0: the by-id entry follows it, the kernel name is bare.
  d.Replug("ttyUSB0");
  dlg.ListComPorts(pathOf, d.dev);
  EXPECT_EQ(dlg.NameOf(1), "ttyUSB1");
  EXPECT_TRUE(dlg.RadioButtons[2]->isEnabled());
  EXPECT_TRUE(dlg.RadioButtons[2]->toolTip().contains("ttyUSB0"));
  EXPECT_EQ(zeb7::StableSerialNameOf(d.dev + "/ttyUSB0", d.dev), d.adapter);
}
