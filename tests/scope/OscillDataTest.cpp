#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "TempDir.h"
#include "scope/Calculat.h"
#include "scope/OrvStrm.h"
#include "scope/OscillData.h"

using namespace zeb7;
namespace fs = std::filesystem;

namespace {

uint16_t Word(const std::vector<uint8_t>& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint32_t Long(const std::vector<uint8_t>& b, size_t at) { return Word(b, at) | (uint32_t(Word(b, at + 2)) << 16); }

std::vector<uint8_t> ReadBytes(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

using test::TempDir;

}  // namespace

TEST(OscillFile, StartUpDataLayout) {
  const TOscillData d;
  const std::vector<uint8_t> b = EncodeOscillogram(d);
  ASSERT_EQ(b.size(), 5426u);  // 12 + 5120 + 10*6 + 10*18 + 10*3 + 4*6
  EXPECT_EQ((std::vector<uint8_t>(b.begin(), b.begin() + 12)),
            (std::vector<uint8_t>{0xBE, 0x56, 0xFE, 0x01, 100, 0, 0, 0, 10, 0, 0x00, 0x01}));
  // channel-major samples: the sawtooth 1000 i + 10 (j mod 64)
  EXPECT_EQ(Word(b, 12 + 2 * (256 * 1 + 1)), 1010);
  EXPECT_EQ(Word(b, 12 + 2 * (256 * 9 + 63)), 9630);
  EXPECT_EQ(Word(b, 12 + 2 * (256 * 9 + 64)), 9000);
  // first item after the samples: an empty text
  EXPECT_EQ(b[5132], 0xB8);
  EXPECT_EQ(b[5133], 0x22);
  EXPECT_EQ(Long(b, 5134), 0u);
  // first name: "Kanal0" as UTF-16
  const size_t name0 = 5132 + 60;
  EXPECT_EQ(Word(b, name0), 8888);
  EXPECT_EQ(Long(b, name0 + 2), 6u);
  EXPECT_EQ(std::string(b.begin() + name0 + 6, b.begin() + name0 + 18),
            std::string("K\0a\0n\0a\0l\0" "0\0", 12));
  const size_t flags = name0 + 180;
  EXPECT_EQ((std::vector<uint8_t>(b.begin() + flags, b.begin() + flags + 3)), (std::vector<uint8_t>{0xBA, 0x22, 1}));
  const size_t ints = flags + 30;
  EXPECT_EQ((std::vector<uint8_t>(b.begin() + ints, b.begin() + ints + 6)),
            (std::vector<uint8_t>{0xB9, 0x22, 0, 0, 0, 0}));
}

TEST(OscillFile, RoundTripKeepsEverything) {
  TOscillData d;
  d.iaRecorderData[3][7] = -32768;
  d.iaRecorderData[0][255] = 32767;
  d.asFormula[2] = "@1*2=";
  d.asName[4] = "Drehzahl Ä \xF0\x9F\x93\x88";  // umlaut and a character outside the BMP
  d.aboChecked[5] = false;
  d.iZoomXIndex = 3;
  d.iMaxYIndex = 12;
  d.iMinYIndex = -1;
  d.iUploadRecorder = -1;
  const auto b = EncodeOscillogram(d);
  EXPECT_EQ(Word(b, 6), 0xFFFF);

  TOscillData e;
  e.iaRecorderData[0][0] = 1;
  std::string err;
  ASSERT_TRUE(DecodeOscillogram(b, e, err)) << err;
  EXPECT_EQ(e.iaRecorderData, d.iaRecorderData);
  EXPECT_EQ(e.asFormula, d.asFormula);
  EXPECT_EQ(e.asName, d.asName);
  EXPECT_EQ(e.aboChecked, d.aboChecked);
  EXPECT_EQ(e.iZoomXIndex, 3);
  EXPECT_EQ(e.iZoomYIndex, 0);
  EXPECT_EQ(e.iMaxYIndex, 12);
  EXPECT_EQ(e.iMinYIndex, -1);
  EXPECT_EQ(e.iUploadRecorder, -1);
  EXPECT_EQ(EncodeOscillogram(e), b);
}

TEST(OscillFile, DamagedFilesAreRefusedAndLeaveTheDataAlone) {
  const auto good = EncodeOscillogram(TOscillData());
  const TOscillData before;
  std::string err;
  // Every truncation fails, none reads past the end.
  for (size_t n = 0; n < good.size(); ++n) {
    TOscillData d;
    EXPECT_FALSE(DecodeOscillogram(std::span(good.data(), n), d, err)) << n;
    EXPECT_FALSE(err.empty());
    EXPECT_EQ(d.asName, before.asName);
  }

  auto refused = [&](std::vector<uint8_t> b, const std::string& part) {
    TOscillData d;
    err.clear();
    EXPECT_FALSE(DecodeOscillogram(b, d, err));
    EXPECT_NE(err.find(part), std::string::npos) << err;
  };
  auto patched = [&](size_t at, std::initializer_list<uint8_t> bytes) {
    auto b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + at);
    return b;
  };
  refused(patched(0, {0xBF}), "magic number 0x01FE56BF");
  refused(patched(4, {101}), "format 101");
  refused(patched(8, {9}), "9 channels of 256 points");
  refused(patched(10, {0x80, 0x00}), "10 channels of 128 points");
  refused(patched(5132, {0xB9}), "offset 5132: expected a text item (tag 8888), found tag 8889");
  refused(patched(5134, {0xFF, 0xFF, 0xFF, 0x7F}), "offset 5134: text length 2147483647");
  refused(patched(5134, {0xFF, 0xFF, 0xFF, 0xFF}), "text length -1");
  refused(patched(5132 + 240 + 2, {2}), "flag value 2");
  refused(patched(5426 - 12 + 2, {13}), "offset 5414: max Y choice 13");
  refused(patched(5426 - 24 + 2, {4}), "zoom X choice 4");
  auto longer = good;
  longer.push_back(0);
  refused(longer, "1 unexpected bytes after the last item");
}

TEST(OscillFile, SaveAndLoad) {
  TempDir dir;
  const std::string file = (dir.Path() / "a.rcg").string();
  TOscillData d;
  d.asName[0] = "Strom";
  std::string err;
  ASSERT_TRUE(SaveOscillogram(file, d, err)) << err;
  EXPECT_EQ(ReadBytes(file), EncodeOscillogram(d));

  // Replacing an existing file keeps its permissions and leaves nothing else behind.
  ::chmod(file.c_str(), 0640);
  d.asName[0] = "Spannung";
  ASSERT_TRUE(SaveOscillogram(file, d, err)) << err;
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);

  TOscillData e;
  ASSERT_TRUE(LoadOscillogram(file, e, err)) << err;
  EXPECT_EQ(e.asName[0], "Spannung");

  EXPECT_FALSE(LoadOscillogram((dir.Path() / "missing.rcg").string(), e, err));
  EXPECT_NE(err.find("cannot open"), std::string::npos) << err;
  std::ofstream((dir.Path() / "junk.rcg").string()) << "not an oscillogram at all";
  EXPECT_FALSE(LoadOscillogram((dir.Path() / "junk.rcg").string(), e, err));
  EXPECT_NE(err.find("junk.rcg\": not an oscillogram file"), std::string::npos) << err;
}

TEST(OscillFile, SaveReportsFilesThatCannotBeWritten) {
  TempDir dir;
  const TOscillData d;
  std::string err;
  EXPECT_FALSE(SaveOscillogram((dir.Path() / "no" / "such" / "dir.rcg").string(), d, err));
  EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
  EXPECT_FALSE(SaveOscillogram(dir.Path().string(), d, err));  // a directory
  EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
  if (fs::exists("/dev/full")) {
    EXPECT_FALSE(SaveOscillogram("/dev/full", d, err));
    EXPECT_NE(err.find("cannot write \"/dev/full\""), std::string::npos) << err;
  }
}

TEST(OscillFile, FailedSaveKeepsThePreviousFile) {
  TempDir dir;
  const std::string file = (dir.Path() / "keep.rcg").string();
  std::ofstream(file) << "previous contents";

  // A file size limit below the file size makes the write fail part-way,
  // even for root, who is not stopped by permissions.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit lim = old;
  lim.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &lim), 0);
  std::string err;
  const bool ok = SaveOscillogram(file, TOscillData(), err);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(ok);
  EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
  const auto b = ReadBytes(file);
  EXPECT_EQ(std::string(b.begin(), b.end()), "previous contents");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST(OscillData, ChannelValueFeedsTheEvaluator) {
  TOscillData d;
  std::vector<std::string> errors;
  TEvaluate ev(nullptr, [&](const std::string& s) { errors.push_back(s); },
               [&](uint32_t i) { return d.ChannelValue(i); });
  ASSERT_TRUE(ev.EvaluateFormula("@3-@1="));
  double r = 0;
  d.iActPoint = 70;
  ASSERT_TRUE(ev.Calculate(r));
  EXPECT_EQ(r, 2000);

  d.iActPoint = 256;
  EXPECT_FALSE(ev.Calculate(r));
  d.iActPoint = 0;
  ASSERT_TRUE(ev.EvaluateFormula("@10="));
  EXPECT_FALSE(ev.Calculate(r));
  EXPECT_EQ(errors, std::vector<std::string>(2, "Formel: Feldindex ungültig"));
  try {
    d.ChannelValue(10);
    ADD_FAILURE();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "Unzulässiger Feldindex in Formel");
  }
}

TEST(OscillData, UploadBufferIgnoresStrayValuesAndPersists) {
  TOscillData d;
  d.StoreUploadValue(0, 0, 11);
  d.StoreUploadValue(255, 9, -7);
  d.StoreUploadValue(256, 0, 99);
  d.StoreUploadValue(-1, 0, 99);
  d.StoreUploadValue(0, 10, 99);
  d.StoreUploadValue(0, -1, 99);
  EXPECT_EQ(d.iaRecorderData[0][0], 0);  // not before the upload is accepted
  d.AcceptUpload(2);
  EXPECT_EQ(d.iUploadRecorder, 2);
  EXPECT_EQ(d.iaRecorderData[0][0], 11);
  EXPECT_EQ(d.iaRecorderData[9][255], -7);
  EXPECT_EQ(d.iaRecorderData[0][1], 0);

  d.StoreUploadValue(1, 0, 5);  // a second, partial upload keeps the rest of the first
  d.AcceptUpload(3);
  EXPECT_EQ(d.iaRecorderData[0][0], 11);
  EXPECT_EQ(d.iaRecorderData[0][1], 5);
}

TEST(OrvStream, TextsAreUtf16) {
  EXPECT_EQ(Utf8ToUtf16("\xC3\x84"), u"\u00C4");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x93\x88"), u"\U0001F4C8");
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b\xE2\x82"), u"a\uFFFDb\uFFFD\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(u"\xD800x"), "\xEF\xBF\xBDx");
  TOrvWriter w;
  w.WriteString("\xC3\x84");
  w.WriteInteger(-2);
  w.WriteBool(false);
  EXPECT_EQ(w.Bytes(), (std::vector<uint8_t>{0xB8, 0x22, 1, 0, 0, 0, 0xC4, 0, 0xB9, 0x22, 0xFE, 0xFF, 0xFF, 0xFF,
                                             0xBA, 0x22, 0}));
}
