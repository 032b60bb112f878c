#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "workspace/IniFiles.h"
#include "workspace/Settings.h"

namespace fs = std::filesystem;
using namespace zeb7;

namespace {

class IniTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("zeb7_ini_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  fs::path dir_;
};

TEST_F(IniTest, ReadsCrLfAndLfAlikeAndIgnoresGarbage) {
  for (std::string eol : {"\r\n", "\n"}) {
    std::string p = Path("a.ini");
    Write(p, "stray=before any section" + eol + "[Com-Settings]" + eol + "Port-Nr = 3 " + eol +
                 "this line is garbage" + eol + "[broken" + eol + "lost=1" + eol + "[Settings]" +
                 eol + "DesignMode=abc" + eol + "=novalue" + eol + "Oscilloscope=$10" + eol);
    TIniFile ini(p);
    EXPECT_EQ(ini.ReadInteger("com-settings", "PORT-NR", 1), 3) << "eol " << eol.size();
    EXPECT_EQ(ini.ReadInteger("Settings", "DesignMode", 7), 7);  // non-numeric -> default
    EXPECT_EQ(ini.ReadInteger("Settings", "Oscilloscope", 0), 16);
    EXPECT_FALSE(ini.ValueExists("Com-Settings", "stray"));
    EXPECT_FALSE(ini.SectionExists("broken"));
    EXPECT_EQ(ini.ReadSections().size(), 2u);
    TMemIniFile mem(p);
    EXPECT_EQ(mem.ReadString("Com-Settings", "Port-Nr", ""), "3");
    EXPECT_EQ(mem.LineEnd(), eol);
  }
}

// The settings file is edited by hand: comments, stray lines, hand-made keys and
// their spelling come back from every rewrite, in their places.
TEST_F(IniTest, HandEditedSettingsSurviveEveryRewrite) {
  const std::string handMade =
      "; service laptop 7, bench B\n"
      "stray=before any section\n"
      "\n"
      "[Com-Settings]\n"
      "# keep COM3: the bench adapter\n"
      "Port-Nr = 3 \n"
      "Note=written by hand\n"
      "Port-Nr=9\n"
      "this line is garbage\n"
      "\n"
      "[broken\n"
      "lost=1\n"
      "[Settings]   ; service menus\n"
      "DesignMode=1\n"
      "\n"
      "[Download]\n"
      "Target=2\n";
  for (std::string eol : {"\n", "\r\n"}) {
    std::string text = handMade;
    if (eol == "\r\n") {
      text.clear();
      for (char ch : handMade) text += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    }
    EXPECT_EQ(TIniContent::Parse(text).Serialize(eol), text);

    std::string p = Path("setup.ini");
    Write(p, text);
    TIniFile ini(p);
    EXPECT_EQ(ini.ReadInteger("Com-Settings", "Port-Nr", 1), 3);  // the first one counts
    EXPECT_EQ(ini.ReadSection("Com-Settings"), (std::vector<std::string>{"Port-Nr", "Note"}));
    ini.WriteInteger("Com-Settings", "Port-Nr", 3);  // same value: the line keeps its spelling
    EXPECT_EQ(Read(p), text);
    ini.WriteInteger("Com-Settings", "Port-Nr", 4);
    ini.WriteString("Com-Settings", "Added", "x");
    ini.WriteString("Settings", "Oscilloscope", "1");
    ini.EraseSection("Download");
    ini.WriteString("Download", "Target", "0");
    ini.DeleteKey("Com-Settings", "Note");
    std::string expected =
        "; service laptop 7, bench B\n"
        "stray=before any section\n"
        "\n"
        "[Com-Settings]\n"
        "# keep COM3: the bench adapter\n"
        "Port-Nr=4\n"
        "Port-Nr=9\n"
        "this line is garbage\n"
        "Added=x\n"
        "\n"
        "[broken\n"
        "lost=1\n"
        "[Settings]   ; service menus\n"
        "DesignMode=1\n"
        "Oscilloscope=1\n"
        "\n"
        "[Download]\n"
        "Target=0\n";
    if (eol == "\r\n") {
      std::string crlf;
      for (char ch : expected) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
      expected = crlf;
    }
    EXPECT_EQ(Read(p), expected) << "eol " << eol.size();
    EXPECT_EQ(TIniFile(p).ReadString("Com-Settings", "Added", ""), "x");  // never below the broken header
    EXPECT_EQ(TIniFile(p).ReadSections().size(), 3u);

    // The in-memory kind (project files) keeps them alike.
    TMemIniFile mem(p);
    mem.WriteString("Settings", "DesignMode", "0");
    ASSERT_TRUE(mem.UpdateFile());
    EXPECT_NE(Read(p).find("; service laptop 7, bench B"), std::string::npos);
    EXPECT_NE(Read(p).find("this line is garbage"), std::string::npos);
    EXPECT_EQ(TIniFile(p).ReadInteger("Settings", "DesignMode", 7), 0);
    EXPECT_FALSE(TIniFile(p).ValueExists("Com-Settings", "lost"));
  }
}

// A section that appears again after a broken header: its keys stay readable
// after a rewrite (they must not land below the broken header).
TEST(IniContent, RepeatedSectionAfterBrokenHeaderSurvivesARewrite) {
  const TIniContent first = TIniContent::Parse("[A]\nx=1\n[broken\nlost=2\n[A]\ny=3\n");
  const TIniContent again = TIniContent::Parse(first.Serialize("\n"));
  ASSERT_NE(again.FindEntry("A", "y"), nullptr);
  EXPECT_EQ(again.FindEntry("A", "y")->value, "3");
  EXPECT_EQ(again.FindEntry("A", "lost"), nullptr);
  EXPECT_EQ(again.Serialize("\n"), first.Serialize("\n"));
}

TEST(IniNumbers, IntegerParsing) {
  EXPECT_EQ(IniStrToIntDef("-12", 0), -12);
  EXPECT_EQ(IniStrToIntDef("0x1F", 0), 31);
  EXPECT_EQ(IniStrToIntDef("$FFFFFFFF", 0), -1);
  EXPECT_EQ(IniStrToIntDef("2147483648", 5), 5);
  EXPECT_EQ(IniStrToIntDef("12abc", 5), 5);
  EXPECT_EQ(IniStrToIntDef("", 5), 5);
  EXPECT_EQ(IniStrToIntDef("-", 5), 5);
  EXPECT_EQ(IniStrToIntDef("$", 5), 5);
}

TEST_F(IniTest, WriteThroughReachesTheFileAtOnce) {
  std::string p = Path("s.ini");
  TIniFile ini(p);
  EXPECT_EQ(ini.ReadInteger("Com-Settings", "Port-Nr", 1), 1);
  EXPECT_FALSE(fs::exists(p));  // reading never creates the file
  ini.WriteInteger("Com-Settings", "Port-Nr", 4);
  EXPECT_EQ(Read(p), "[Com-Settings]\r\nPort-Nr=4\r\n");
  // A second writer sees the first one's change: nothing is cached.
  TIniFile other(p);
  other.WriteString("Settings", "DesignMode", "1");
  ini.WriteInteger("Com-Settings", "port-nr", 5);
  EXPECT_EQ(Read(p), "[Com-Settings]\r\nPort-Nr=5\r\n\r\n[Settings]\r\nDesignMode=1\r\n");
  ini.EraseSection("Com-Settings");
  ini.DeleteKey("Settings", "DesignMode");
  EXPECT_EQ(Read(p), "[Settings]\r\n");
  EXPECT_TRUE(ini.LastError().empty());
}

TEST_F(IniTest, WriteThroughKeepsAnLfFileLf) {
  std::string p = Path("lf.ini");
  Write(p, "[A]\nx=1\n");
  TIniFile(p).WriteString("A", "y", "two\nlines");
  EXPECT_EQ(Read(p), "[A]\nx=1\ny=two lines\n");
}

TEST_F(IniTest, FailedWriteIsReportedAndNothingIsLost) {
  TIniFile ini(Path("no/such/dir/s.ini"));
  ini.WriteInteger("Com-Settings", "Port-Nr", 2);
  EXPECT_NE(ini.LastError().find("Cannot write"), std::string::npos);
  EXPECT_EQ(ini.ReadInteger("Com-Settings", "Port-Nr", 1), 1);
  // A directory in the file's place can be neither read nor replaced.
  fs::create_directories(Path("isdir"));
  TIniFile dir(Path("isdir"));
  dir.WriteInteger("A", "b", 1);
  EXPECT_FALSE(dir.LastError().empty());
  EXPECT_TRUE(fs::is_directory(Path("isdir")));
}

TEST_F(IniTest, MemIniWritesOnlyOnUpdate) {
  std::string p = Path("m.kvt");
  Write(p, "[Global]\r\n0Version=12\r\n");
  TMemIniFile mem(p);
  mem.WriteInteger("Global", "0Checksum", -5);
  mem.WriteString("Sheet1", "Caption", "Page1");
  EXPECT_EQ(Read(p), "[Global]\r\n0Version=12\r\n");
  ASSERT_TRUE(mem.UpdateFile());
  EXPECT_EQ(Read(p), "[Global]\r\n0Version=12\r\n0Checksum=-5\r\n\r\n[Sheet1]\r\nCaption=Page1\r\n");
  EXPECT_EQ(TMemIniFile(p).ReadInteger("Global", "0Checksum", 0), -5);
  EXPECT_EQ(mem.ReadSection("global"), (std::vector<std::string>{"0Version", "0Checksum"}));
}

TEST_F(IniTest, SettingsPlaceAndPortTable) {
  const char* oldOwn = std::getenv("ZEB7_SETTINGS");
  std::string saved = oldOwn ? oldOwn : "";
  ::unsetenv("ZEB7_SETTINGS");
  ::setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  EXPECT_EQ(SettingsFileName(), (dir_ / "ZEB7" / "Zeb7Setup.ini").string());
  EXPECT_TRUE(fs::is_directory(dir_ / "ZEB7"));
  ::setenv("ZEB7_SETTINGS", Path("own.ini").c_str(), 1);
  EXPECT_EQ(SettingsFileName(), Path("own.ini"));

  Write(Path("own.ini"),
        "[Com-Settings]\nPort-Nr=99\n[Com-Ports]\nCOM1=/dev/ttyUSB0\nCOM3=\nCOM20=/tmp/pty\nCOM21=/x\n");
  TIniFile ini(SettingsFileName());
  EXPECT_EQ(ReadPortNr(ini), 1);
  auto table = ReadComPortTable(ini);
  EXPECT_EQ(table.size(), 2u);
  EXPECT_EQ(table[1], "/dev/ttyUSB0");
  EXPECT_EQ(table[20], "/tmp/pty");
  if (oldOwn) ::setenv("ZEB7_SETTINGS", saved.c_str(), 1);
  else ::unsetenv("ZEB7_SETTINGS");
}

}  // namespace
