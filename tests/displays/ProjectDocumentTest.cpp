// The project file: round trips, files from Windows, bad input, backups and failed saves.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "TempDir.h"
#include "displays/DisplayCore.h"
#include "displays/NumericCore.h"
#include "workspace/ProjectDocument.h"

namespace zeb7 {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

TProjectItem Sheet(const std::string& name, const std::string& caption) {
  TProjectItem s;
  s.Class = dcSheet;
  s.Name = name;
  s.Parent = kPageControlName;
  s.Caption = caption;
  s.Height = 400;
  s.Width = 600;
  return s;
}

TProjectItem Display(TDisplayClass cls, const std::string& name, const std::string& parent, int index) {
  auto core = CreateDisplayCore(cls);
  core->LocalParam.sFirmwareName = "P" + std::to_string(index);
  core->LocalParam.iMyIndex = index;
  core->LocalParam.wChecksum = static_cast<uint16_t>(1000 + index);
  core->LocalParam.iGroupNr = 1;
  core->LocalParam.iUserClass = index % 3;
  core->SetTarget(index % 2);
  core->SetGroupName("Motor");
  core->SetCaption("Caption \xE4\xF6\xFC " + std::to_string(index));  // Latin-1 umlauts
  if (cls == dcNumeric || cls == dcThumbWheel) core->SetControlProperties("-4|1|0.1|V");
  else if (cls == dcRadio || cls == dcLedRadio || cls == dcLedArray) core->SetControlProperties("GR|Off|On");
  else if (cls != dcDisplayWin) core->SetControlProperties("Text");
  core->SetBounds({8 * index, 16, 168 + (index % 2) * 8, 23 + (index % 3) * 8});
  TProjectItem it;
  core->WriteRecord(it);
  it.Name = name;
  it.Parent = parent;
  return it;
}

// Every display class, each sheet with a group box holding some of them.
TProjectDocument EveryClassOnTwoSheets() {
  TProjectDocument doc;
  doc.DriveSections.Set("Global", "0Version", "19088743");
  doc.DriveSections.Set("1Groups", "1", "Motor");
  doc.DriveSections.Set("0Groups", "1", "Motor");
  doc.DriveSections.Set("0GroupDescriptions", "1", "Motordaten f\xFCr Achse");  // Windows-1252 in the file
  const TDisplayClass all[] = {dcNumeric, dcThumbWheel, dcCheck, dcRadio, dcLedArray, dcLedRadio, dcLed};
  int index = 0;
  for (int s = 1; s <= 2; ++s) {
    const std::string sheet = "ScrollingTabSheet" + std::to_string(s);
    doc.Items.push_back(Sheet(sheet, "Seite " + std::to_string(s)));
    const std::string box = "DisplayWin" + std::to_string(s);
    doc.Items.push_back(Display(dcDisplayWin, box, sheet, 100 + s));
    for (TDisplayClass c : all) {
      const std::string name = UniqueNameBase(c) + std::to_string(s);
      doc.Items.push_back(Display(c, name, (index % 2) ? box : sheet, index));
      ++index;
    }
  }
  doc.Normalize();
  return doc;
}

TEST(ProjectRoundTrip, WrittenReadAndWrittenAgainIsByteIdentical) {
  TProjectDocument doc = EveryClassOnTwoSheets();
  const std::string first = WriteProjectText(doc);
  TProjectReadResult r = ReadProjectText(first);
  ASSERT_TRUE(r.Ok);
  EXPECT_TRUE(r.Messages.empty()) << r.Messages.front();
  EXPECT_EQ(WriteProjectText(r.Doc), first);
  size_t lf = 0, crlf = 0;
  for (size_t i = 0; i < first.size(); ++i)
    if (first[i] == '\n') {
      ++lf;
      crlf += i > 0 && first[i - 1] == '\r';
    }
  EXPECT_EQ(lf, crlf);  // CR LF only
  EXPECT_NE(first.find("Caption=Caption \xE4\xF6\xFC 0\r\n"), std::string::npos);
  EXPECT_LT(first.find("[Global]"), first.find("[0Groups]"));
  EXPECT_LT(first.find("[0Groups]"), first.find("[1Groups]"));
  EXPECT_LT(first.find("[1Groups]"), first.find("[0GroupDescriptions]"));
  EXPECT_LT(first.find("[0GroupDescriptions]"), first.find("[Displays]"));
}

TEST(ProjectRoundTrip, EveryClassNestedInAGroupBoxSurvives) {
  TProjectDocument doc = EveryClassOnTwoSheets();
  TProjectReadResult r = ReadProjectText(WriteProjectText(doc));
  ASSERT_EQ(r.Doc.Items.size(), doc.Items.size());
  ASSERT_EQ(r.Doc.Sheets().size(), 2u);
  for (size_t i = 0; i < doc.Items.size(); ++i) {
    const TProjectItem& a = doc.Items[i];
    const TProjectItem& b = r.Doc.Items[i];
    SCOPED_TRACE(a.Name);
    EXPECT_EQ(b.Class, a.Class);
    EXPECT_EQ(b.Name, a.Name);
    EXPECT_EQ(b.ParentItem, a.ParentItem);
    EXPECT_EQ(b.Caption, a.Caption);
    EXPECT_EQ(b.Left, a.Left);
    EXPECT_EQ(b.Height, a.Height);
    EXPECT_EQ(b.Width, a.Width);
    if (b.IsSheet()) continue;
    EXPECT_EQ(b.Index, a.Index);
    EXPECT_EQ(b.Checksum, a.Checksum);
    EXPECT_EQ(b.GroupNr, a.GroupNr);  // the group table agrees: no +100
    EXPECT_EQ(b.UserClass, a.UserClass);
    EXPECT_EQ(b.ControlProperties, a.ControlProperties);
    // A core made from the record writes the same record again.
    auto core = CreateDisplayCore(b.Class);
    ASSERT_TRUE(core);
    core->ReadRecord(b);
    TProjectItem again;
    core->WriteRecord(again);
    again.Name = b.Name;
    again.Parent = b.Parent;
    again.ParentItem = b.ParentItem;
    TProjectDocument one;
    one.Items = {again};
    TProjectDocument other;
    other.Items = {b};
    EXPECT_EQ(WriteProjectText(one), WriteProjectText(other));
  }
  // Nesting: each group box comes before what it holds, on its own sheet.
  for (size_t i = 0; i < r.Doc.Items.size(); ++i)
    if (r.Doc.Items[i].ParentItem != kNoParent) {
      EXPECT_LT(r.Doc.Items[i].ParentItem, i);
    }
  size_t box = r.Doc.Items[1].IsGroupBox() ? 1 : 0;
  ASSERT_TRUE(r.Doc.Items[box].IsGroupBox());
  EXPECT_EQ(r.Doc.Children(box).size(), 3u);
}

TEST(ProjectRead, WindowsFileWithCrLfAndUmlautsOpens) {
  const std::string windows =
      "[0Groups]\r\n0=Ger\xE4te\r\n\r\n[Displays]\r\nCount=2\r\n\r\n[Display0]\r\nControl=SHEET\r\n"
      "Name=ScrollingTabSheet1\r\nParent=PageControl1\r\nCaption=\xDC" "bersicht\r\nPageIndex=0\r\n\r\n"
      "[Display1]\r\nControl=NUMERIC\r\nIndex=4\r\nFwName=SPD\r\nGroup=Ger\xE4te\r\nGroupNr=0\r\nTarget=0\r\n"
      "Name=NumericDisplayWin1\r\nParent=ScrollingTabSheet1\r\nCaption=Drehzahl \x80\r\nTop=16\r\nLeft=24\r\n";
  for (const std::string& text : {windows, std::string()}) {
    std::string t = text.empty() ? windows : text;
    TProjectReadResult r = ReadProjectText(t);
    ASSERT_EQ(r.Doc.Items.size(), 2u);
    EXPECT_EQ(r.Doc.Items[0].Caption, "\xDC" "bersicht");
    EXPECT_EQ(r.Doc.Items[1].Group, "Ger\xE4te");
    EXPECT_EQ(r.Doc.Items[1].GroupNr, 0);  // same name as in the group table
    EXPECT_EQ(r.Doc.Items[1].Caption, "Drehzahl ?");  // the euro sign has no Latin-1 form
    EXPECT_EQ(r.Doc.Items[1].Top, 16);
  }
  // The same file with LF line ends and in UTF-8 reads the same.
  std::string lf;
  for (char c : windows)
    if (c != '\r') lf += c;
  EXPECT_EQ(ReadProjectText(lf).Doc.Items[0].Caption, "\xDC" "bersicht");
  std::string utf8 = lf;
  auto replace = [&](const std::string& from, const std::string& to) {
    for (size_t p; (p = utf8.find(from)) != std::string::npos;) utf8.replace(p, from.size(), to);
  };
  replace("\xDC", "\xC3\x9C");
  replace("\xE4", "\xC3\xA4");
  replace("\x80", "\xE2\x82\xAC");
  TProjectReadResult u = ReadProjectText(utf8);
  ASSERT_EQ(u.Doc.Items.size(), 2u);
  EXPECT_EQ(u.Doc.Items[0].Caption, "\xDC" "bersicht");
  EXPECT_EQ(u.Doc.Items[1].Group, "Ger\xE4te");
  EXPECT_EQ(u.Doc.Items[1].GroupNr, 0);
}

TEST(ProjectRead, GroupNamedDifferentlyInTheTableNoLongerMatchesByNumber) {
  TProjectReadResult r = ReadProjectText(
      "[0Groups]\n3=Motor\n[Display0]\nControl=SHEET\nName=S\n[Display1]\nControl=LED\nGroup=Current loop\n"
      "GroupNr=3\nTarget=0\nParent=S\n");
  ASSERT_EQ(r.Doc.Items.size(), 2u);
  EXPECT_EQ(r.Doc.Items[1].GroupNr, 103);
  EXPECT_EQ(r.Doc.Items[1].Group, "Current loop");
}

TEST(ProjectRead, BadSectionsAreSkippedOneByOneWithAMessage) {
  TProjectReadResult r = ReadProjectText(
      "[Displays]\nCount=2000000000\n"
      "[Display0]\nControl=SHEET\nName=S1\nCaption=One\n"
      "[Display1]\nControl=BLINK\nName=X\n"
      "[Display2]\nClassName=TNumericDisplayWin\nName=N1\nParent=S1\nHeight=99999999\nIndex=abc\n"
      "[Display3]\nControl=LED\nClassName=TRadioWin\nName=N1\nParent=S1\nWidth=-5\n"
      "[Display4]\nControl=CHECK\nName=C1\nParent=NOWHERE\n"
      "[Display5]\nControl=RADIO\nName=R1\n"
      "[Display6]\n"
      "[Display99999999999]\nControl=LED\n");
  ASSERT_TRUE(r.Ok);
  const auto& items = r.Doc.Items;
  auto has = [&](const std::string& m) {
    return std::find(r.Messages.begin(), r.Messages.end(), m) != r.Messages.end();
  };
  EXPECT_TRUE(has("Displays: \"Count\" 2000000000 limited to 100000"));
  EXPECT_TRUE(has("Display1: unknown control \"BLINK\", skipped"));
  EXPECT_TRUE(has("Display2: \"Height\" out of range: 99999999"));
  EXPECT_TRUE(has("Display2: \"Index\" is not a number: \"abc\""));
  EXPECT_TRUE(has("Display3: name \"N1\" used twice, renamed"));
  EXPECT_TRUE(has("Parent NOWHERE not found!"));
  EXPECT_TRUE(has("Dummy Page NOWHERE created!"));
  EXPECT_TRUE(has("Parent LOST_PAGE not found!"));
  EXPECT_TRUE(r.Doc.Modified);
  // S1 with N1 and the unnamed LED (Control wins over ClassName), then the placeholders.
  ASSERT_EQ(items.size(), 7u);
  EXPECT_EQ(items[0].Name, "S1");
  EXPECT_EQ(items[1].Class, dcNumeric);
  EXPECT_EQ(items[1].Height, kMaxProjectCoordinate);
  EXPECT_EQ(items[1].Index, -1);
  EXPECT_EQ(items[2].Class, dcLed);
  EXPECT_EQ(items[2].Name, "");
  EXPECT_EQ(items[2].Width, 0);
  EXPECT_EQ(items[3].Caption, kBrokenParametersCaption);
  EXPECT_TRUE(items[3].Placeholder);
  EXPECT_EQ(items[4].Name, "C1");
  EXPECT_EQ(items[4].ParentItem, 3u);
  EXPECT_EQ(items[5].Name, kLostPageName);
  EXPECT_EQ(items[5].Caption, kMissingPageCaption);
  EXPECT_EQ(items[6].ParentItem, 5u);
}

TEST(ProjectRead, PlaceholderNamesNeverCollideSoARewriteReadsTheSame) {
  // A box naming itself as parent, a display naming a numeric display as
  // parent, and a CR inside a value.
  TProjectReadResult r = ReadProjectText(
      "[Display0]\nControl=WIN\nName=G\nParent=G\n"
      "[Display1]\nControl=NUMERIC\nName=N\nParent=G\n"
      "[Display2]\nControl=LED\nName=L\nParent=N\n"
      "[Display3]\nControl=LED\nName=M\nParent=Sheet\r1\n");
  std::set<std::string> names;
  for (const auto& it : r.Doc.Items) {
    if (!it.Name.empty()) {
      EXPECT_TRUE(names.insert(it.Name).second) << it.Name;
    }
  }
  EXPECT_TRUE(names.count("N_1"));  // the page made for "N"
  EXPECT_TRUE(names.count("Sheet 1"));
  const std::string once = WriteProjectText(r.Doc);
  TProjectReadResult again = ReadProjectText(once);
  EXPECT_TRUE(again.Messages.empty()) << again.Messages.front();
  EXPECT_EQ(WriteProjectText(again.Doc), once);
}

TEST(ProjectRead, MissingCountReadsAHundredEntries) {
  TProjectReadResult r = ReadProjectText(
      "[Display5]\nControl=SHEET\nName=A\n[Display99]\nControl=SHEET\nName=B\n[Display100]\nControl=SHEET\nName=C\n");
  ASSERT_EQ(r.Doc.Items.size(), 2u);
  EXPECT_EQ(r.Doc.Items[1].Name, "B");
}

TEST(ProjectRead, SheetsTakeTheirTabPositionsWhateverTheSectionOrder) {
  TProjectReadResult r = ReadProjectText(
      "[Display0]\nControl=SHEET\nName=B\nPageIndex=1\n[Display1]\nControl=SHEET\nName=C\nPageIndex=2\n"
      "[Display2]\nControl=SHEET\nName=A\nPageIndex=0\n[Display3]\nControl=SHEET\nName=D\nPageIndex=17\n"
      "[Display4]\nControl=LED\nName=L\nParent=A\nTop=5\nLeft=6\n");
  std::vector<std::string> names;
  for (size_t i : r.Doc.Sheets()) names.push_back(r.Doc.Items[i].Name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C", "D"}));
  EXPECT_EQ(r.Doc.Items[1].Name, "L");  // right after its sheet
  EXPECT_EQ(r.Doc.Items[1].Left, 6);
  EXPECT_EQ(r.Doc.Items[r.Doc.Sheets()[3]].PageIndex, 3);
}

TEST(ProjectRead, GarbageNeverCrashesOrHangs) {
  std::string junk;
  for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) % 256);
  TProjectReadResult r = ReadProjectText(junk + "\n[Display0]\nControl=WIN\nName=G\nParent=G\n");
  ASSERT_TRUE(r.Ok);
  EXPECT_EQ(r.Doc.Items.back().Class, dcDisplayWin);  // a box inside itself goes to a page
  std::string many = "[Displays]\nCount=100000\n";
  for (int i = 0; i < 3000; ++i)
    many += "[Display" + std::to_string(i) + "]\nControl=LED\nName=L" + std::to_string(i) + "\nParent=S\n";
  TProjectReadResult m = ReadProjectText(many);
  EXPECT_EQ(m.Doc.Items.size(), 3001u);  // one placeholder for all of them
}

class ProjectSave : public ::testing::Test {
 protected:
  TempDir dir{"zeb7-project"};
  std::string file = dir.File("plant.kvt");
  TProjectDocument doc = EveryClassOnTwoSheets();
};

TEST_F(ProjectSave, FiveBackupsRotateAndTheSixthDropsTheOldest) {
  std::string error;
  for (int i = 0; i < 7; ++i) {
    doc.Items[0].Caption = "v" + std::to_string(i);
    ASSERT_TRUE(SaveProjectFile(file, doc, error)) << error;
  }
  EXPECT_NE(ReadFile(file).find("Caption=v6\r\n"), std::string::npos);
  for (int n = 0; n < 5; ++n)
    EXPECT_NE(ReadFile(ProjectBackupName(file, n)).find("Caption=v" + std::to_string(5 - n) + "\r\n"),
              std::string::npos)
        << n;
  EXPECT_FALSE(fs::exists(ProjectBackupName(file, 5)));
  EXPECT_FALSE(fs::exists(file + ".saving"));
  TProjectReadResult r = ReadProjectFile(file);
  ASSERT_TRUE(r.Ok) << r.Error;
  EXPECT_EQ(WriteProjectText(r.Doc), ReadFile(file));
}

TEST_F(ProjectSave, FailedSaveLeavesTheFileAndItsBackupsUntouched) {
  std::string error;
  ASSERT_TRUE(SaveProjectFile(file, doc, error)) << error;
  ASSERT_TRUE(SaveProjectFile(file, doc, error)) << error;
  const std::string before = ReadFile(file);
  const std::string bak0 = ReadFile(ProjectBackupName(file, 0));
  doc.Items[0].Caption = "lost";
  // The new file cannot be put beside the old one.
  fs::create_directory(file + ".saving");
  fs::create_directory(file + ".saving/x");
  EXPECT_FALSE(SaveProjectFile(file, doc, error));
  EXPECT_NE(error.find("plant.kvt"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(file), before);
  EXPECT_EQ(ReadFile(ProjectBackupName(file, 0)), bak0);
  EXPECT_FALSE(fs::exists(ProjectBackupName(file, 1)));
  fs::remove_all(file + ".saving");
  // The target is a directory now.
  const std::string folder = dir.File("folder.kvt");
  fs::create_directory(folder);
  EXPECT_FALSE(SaveProjectFile(folder, doc, error));
  EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  EXPECT_FALSE(fs::exists(ProjectBackupName(folder, 0)));
  // A folder that does not exist.
  EXPECT_FALSE(SaveProjectFile(dir.File("missing/plant.kvt"), doc, error));
  EXPECT_FALSE(fs::exists(dir.File("missing")));
  EXPECT_EQ(ReadFile(file), before);
}

TEST_F(ProjectSave, UnreadableFilesAreReportedNotOpened) {
  TProjectReadResult r = ReadProjectFile(dir.File("none.kvt"));
  EXPECT_FALSE(r.Ok);
  EXPECT_NE(r.Error.find("none.kvt"), std::string::npos);
  EXPECT_FALSE(ReadProjectFile(dir.Path().string()).Ok);
}

TEST(ProjectNames, ArgumentAndUntitledNames) {
  EXPECT_EQ(ProjectFileFromArgument("plant.txt", "/work"), "/work/plant.kvt");
  EXPECT_EQ(ProjectFileFromArgument("/a.b/plant", "/work"), "/a.b/plant.kvt");
  EXPECT_EQ(ProjectFileFromArgument(".hidden", "/w"), "/w/.hidden.kvt");
  TempDir d("zeb7-untitled");
  EXPECT_EQ(FirstFreeUntitled(d.Path().string()), d.File("Untitled0.kvt"));
  d.Write("Untitled0.kvt", "");
  EXPECT_EQ(FirstFreeUntitled(d.Path().string()), d.File("Untitled1.kvt"));
}

}  // namespace
}  // namespace zeb7
