// The POSIX port on pseudo-terminals, the open-failure texts and the port
// number table.
#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "TempDir.h"
#include "link/C167Comm.h"

namespace zeb7 {
namespace {

namespace fs = std::filesystem;

struct Pty {
  int master = -1;
  std::string slave;
  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) slave = ::ptsname(master);
  }
  ~Pty() {
    if (master >= 0) ::close(master);
  }
  std::vector<uint8_t> ReadAll(size_t want, int ms = 1000) {
    std::vector<uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    while (out.size() < want && std::chrono::steady_clock::now() < end) {
      uint8_t buf[256];
      const ssize_t n = ::read(master, buf, sizeof buf);
      if (n > 0)
        out.insert(out.end(), buf, buf + n);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return out;
  }
};

using test::TempDir;

TEST(PortTable, NaturalOrder) {
  EXPECT_TRUE(NaturalLess("ttyS2", "ttyS10"));
  EXPECT_FALSE(NaturalLess("ttyS10", "ttyS2"));
  EXPECT_TRUE(NaturalLess("ttyACM0", "ttyS0"));
  EXPECT_TRUE(NaturalLess("ttyS9", "ttyUSB0"));
  EXPECT_TRUE(NaturalLess("a1", "a01"));
  EXPECT_FALSE(NaturalLess("a1", "a1"));
}

TEST(PortTable, SystemDevicesFillNumbersWithoutEntries) {
  TempDir sys;
  for (const char* name : {"ttyUSB1", "ttyS10", "ttyUSB0", "ttyS2", "tty0", "ttyACM0"})
    fs::create_directories(sys.Path() / name / "device");
  fs::create_directories(sys.Path() / "ttyS3");  // no device behind it
  TPortTable table(sys.Path().string(), "/dev");
  EXPECT_EQ(table.SystemDevices(),
            (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS2", "/dev/ttyS10", "/dev/ttyUSB0", "/dev/ttyUSB1"}));
  EXPECT_EQ(table.DevicePath(1), "/dev/ttyACM0");
  EXPECT_EQ(table.DevicePath(3), "/dev/ttyS10");
  EXPECT_EQ(table.DevicePath(6), "");
  EXPECT_EQ(table.DisplayName(6), "COM6");

  table.SetEntry(2, "/dev/ttyUSB1");
  table.SetEntry(7, "/tmp/drive");
  const auto map = table.Map();
  EXPECT_EQ(map[1], "/dev/ttyACM0");
  EXPECT_EQ(map[2], "/dev/ttyUSB1");  // explicit entry wins
  EXPECT_EQ(map[3], "/dev/ttyS2");
  EXPECT_EQ(map[4], "/dev/ttyS10");
  EXPECT_EQ(map[5], "/dev/ttyUSB0");  // ttyUSB1 is not offered twice
  EXPECT_EQ(map[6], "");
  EXPECT_EQ(map[7], "/tmp/drive");
  EXPECT_EQ(table.DevicePath(21), "");
  table.SetEntry(21, "/dev/x");
  EXPECT_EQ(table.Entry(21), "");
}

// Numbers without an entry take the system's devices by their by-id names, so
// they follow an adapter that comes back as another ttyUSB; a device bound by
// its by-id name is not offered again under its kernel name.
TEST(PortTable, StableNamesFromTheByIdFolder) {
  TempDir sys, dev;
  for (const char* name : {"ttyS0", "ttyUSB0", "ttyUSB1"}) {
    fs::create_directories(sys.Path() / name / "device");
    dev.Write(name, "");
  }
  fs::create_directories(dev.Path() / "serial" / "by-id");
  const std::string a = (dev.Path() / "serial" / "by-id" / "usb-FTDI_A-if00-port0").string();
  const std::string b = (dev.Path() / "serial" / "by-id" / "usb-Prolific_B-if00-port0").string();
  fs::create_symlink("../../ttyUSB0", a);
  fs::create_symlink("../../ttyUSB1", b);
  TPortTable table(sys.Path().string(), dev.Path().string());
  EXPECT_EQ(table.DevicePath(1), dev.File("ttyS0"));
  EXPECT_EQ(table.DevicePath(2), a);
  EXPECT_EQ(table.DevicePath(3), b);
  table.SetEntry(5, b);  // [Com-Ports] COM5=/dev/serial/by-id/...
  EXPECT_EQ(table.DevicePath(3), "");
  EXPECT_EQ(table.DevicePath(5), b);
  // Replugged: B comes back as ttyUSB2; COM5 still names it.
  dev.Write("ttyUSB2", "");
  fs::create_directories(sys.Path() / "ttyUSB2" / "device");
  fs::remove_all(sys.Path() / "ttyUSB1");
  fs::remove(b);
  fs::create_symlink("../../ttyUSB2", b);
  EXPECT_EQ(table.DevicePath(5), b);
  EXPECT_EQ(table.DevicePath(2), a);
  EXPECT_EQ(table.DevicePath(3), "");  // ttyUSB2 is B, already bound to COM5
}

TEST(SerialPort, OpenFailuresSayWhy) {
  TPosixSerialPort port;
  std::string reason;
  EXPECT_FALSE(port.Open("/nonexistent/ttyUSB9", 115200, reason));
  EXPECT_EQ(reason, "no such device");

  TempDir dir;
  const std::string file = (dir.Path() / "plain").string();
  std::ofstream(file) << "x";
  EXPECT_FALSE(port.Open(file, 115200, reason));
  EXPECT_EQ(reason, "not a serial device");
  EXPECT_FALSE(port.IsOpen());

  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  const struct group* g = ::getgrgid(st.st_gid);
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(DescribeOpenError(EACCES, file),
            std::string("permission denied; add the user to the group ") + g->gr_name + " (sudo adduser $USER " +
                g->gr_name + ", then log in again)");
  EXPECT_EQ(DescribeOpenError(EACCES, "/nonexistent"),
            "permission denied; add the user to the group dialout (sudo adduser $USER dialout, then log in again)");
  EXPECT_EQ(DescribeOpenError(EBUSY, file),
            "device busy; close the program holding the port; a modem manager may probe new ports");

  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  EXPECT_FALSE(port.Open(pty.slave, 12345, reason));
  EXPECT_EQ(reason, "baud rate 12345 not supported");
}

TEST(SerialPort, PseudoTerminalRawExclusiveAndReopenable) {
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  TPosixSerialPort port;
  std::string reason;
  ASSERT_TRUE(port.Open(pty.slave, 115200, reason)) << reason;

  // Raw: bytes that a cooked terminal would interpret pass unchanged.
  const std::vector<uint8_t> bytes = {0x31, 0x0D, 0x0A, 0x03, 0x11, 0x13, 0x7F, 0x00, 0xFF};
  EXPECT_EQ(port.Write(bytes.data(), static_cast<int32_t>(bytes.size())), static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(pty.ReadAll(bytes.size()), bytes);
  ASSERT_EQ(::write(pty.master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  int32_t count = 0;
  uint32_t errors = 0;
  for (int i = 0; i < 100 && count < static_cast<int32_t>(bytes.size()); ++i) {
    port.WaitReadable(10);
    ASSERT_TRUE(port.Query(false, count, errors));
  }
  EXPECT_EQ(count, static_cast<int32_t>(bytes.size()));
  EXPECT_EQ(errors, 0u);
  std::vector<uint8_t> in(32);
  EXPECT_EQ(port.Read(in.data(), 32), static_cast<int32_t>(bytes.size()));
  in.resize(bytes.size());
  EXPECT_EQ(in, bytes);
  EXPECT_EQ(port.Read(in.data(), 1), 0);  // returns at once when empty

  TPosixSerialPort second;
  EXPECT_FALSE(second.Open(pty.slave, 115200, reason));
  EXPECT_EQ(reason, "device busy; close the program holding the port; a modem manager may probe new ports");
  port.Close();
  // The peer still holds the terminal: our own reopen must work.
  ASSERT_TRUE(second.Open(pty.slave, 115200, reason)) << reason;
}

TEST(Comm32, TelegramsOverAPseudoTerminal) {
  Pty pty;
  ASSERT_FALSE(pty.slave.empty());
  TComm32 comm;
  std::vector<std::string> messages;
  comm.ComMessageFunction = [&](const std::string& s) { messages.push_back(s); };
  comm.PortTable().SetSystemFolders("/nonexistent", "/dev");
  comm.PortTable().SetEntry(1, "/nonexistent/drive");
  EXPECT_FALSE(comm.Open());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Error opening /nonexistent/drive: no such device");

  comm.PortTable().SetEntry(3, pty.slave);
  comm.SetPort(3);
  ASSERT_TRUE(comm.Open());
  EXPECT_FALSE(comm.CloseRequest());
  TTelegram t;
  t.ttType = ttNormal;
  t.bIdent = 5;
  t.bCommand = 2;
  t.bLength = 2;
  t.baData[0] = 0x31;
  EXPECT_TRUE(comm.SendTelegram(t));
  EXPECT_EQ(pty.ReadAll(10), (std::vector<uint8_t>{0x31, 0x22, 0x05, 0x02, 0x00, 0x02, 0x31, 0x30, 0x00, 0x3A}));

  const uint8_t ack[] = {0x31, 0x26, 0x05, 0x05};
  ASSERT_EQ(::write(pty.master, ack, 2), 2);
  TTelegram got;
  TDecodeError r = deMissingChars;
  for (int i = 0; i < 50 && r == deMissingChars; ++i) {
    comm.WaitForInput(5);
    r = comm.ReceiveTelegram(got);
    if (i == 5) {
      ASSERT_EQ(::write(pty.master, ack + 2, 2), 2);
    }
  }
  EXPECT_EQ(r, deOK);
  EXPECT_EQ(got.ttType, ttAck);
  EXPECT_EQ(got.bIdent, 5);

  // The drive goes away: the write fails, the reopen says why.
  const std::string slave = pty.slave;
  ::close(pty.master);
  pty.master = -1;
  comm.WaitFunction = [](uint32_t) {};
  messages.clear();
  EXPECT_FALSE(comm.SendTelegram(t));
  EXPECT_FALSE(comm.Opened());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.back().rfind("Error opening " + slave, 0), 0u) << messages.back();
}

}  // namespace
}  // namespace zeb7
