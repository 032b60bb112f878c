// The refresh message, updates and replacements against a real parameter database.
#include <gtest/gtest.h>

#include <algorithm>

#include "displays/DisplayBinding.h"
#include "displays/NumericCore.h"
#include "model/DriveModel.h"
#include "workspace/ProjectDocument.h"

namespace zeb7 {
namespace {

class BindingTest : public ::testing::Test {
 protected:
  BindingTest() {
    model.Strings.GroupNameLists[0]->SetControllerString(0, "Drive");
    TParameter& p = model.ParameterList.GetParameter(2, 0);
    p.P.sFirmwareName = "MAINSV";
    p.P.iGroupNr = 0;
    p.P.sControl = "NUMERIC";
    p.P.sControlProperties = "-4|1|0.1|V";
    p.P.wChecksum = 0x1234;
    p.P.sCaption = "Mains voltage";
    p.State = ParamStateAllOK;
  }
  TParameter& Param() { return *model.ParameterList.Find(2, 0); }
  bool Listed(IDisplayWin* w) {
    auto& l = Param().MyDisplayWins;
    return std::find(l.begin(), l.end(), w) != l.end();
  }
  // A numeric display that matches the parameter.
  std::unique_ptr<TDisplayBinding> Matching(TDisplayClass cls = dcNumeric) {
    auto b = std::make_unique<TDisplayBinding>(CreateDisplayCore(cls), &model.ParameterList, &model.Context);
    b->Core().TakeDescriptor(Param().Descriptor());
    b->OnSearchParam = [this] { ++searches; };
    b->OnModify = [this] { ++modified; };
    return b;
  }

  TDriveModel model;
  int searches = 0;
  int modified = 0;
};

TEST_F(BindingTest, RefreshMessageVerifiesRegistersAndReportsMissingParameters) {
  auto b = Matching();
  b->HandleRefresh(0);
  EXPECT_EQ(b->Core().DispWinState(), dwsNotVerified);
  b->HandleRefresh(1);
  EXPECT_EQ(b->Core().DispWinState(), dwsVerified);
  EXPECT_TRUE(Listed(b.get()));
  b->HandleRefresh(1);
  EXPECT_EQ(std::count(Param().MyDisplayWins.begin(), Param().MyDisplayWins.end(), b.get()), 1);

  b->Core().LocalParam.sFirmwareName = "GONE";
  b->HandleRefresh(1);  // the database is not complete yet: search
  EXPECT_EQ(b->Core().DispWinState(), dwsNotVerified);
  EXPECT_EQ(searches, 1);
  b->HandleRefresh(2);  // complete: the parameter does not exist
  EXPECT_EQ(b->Core().DispWinState(), dwsNotValid);
  EXPECT_EQ(b->Core().Marker(), smCross);
  EXPECT_EQ(searches, 1);

  std::string line;
  b->OnDebugQuery = [&](const std::string& s) { line = s; };
  b->HandleRefresh(3);
  EXPECT_EQ(line, "dwsNotValid; Mains voltage; Drive; -4|1|0.1|V; ");
  EXPECT_EQ(b->Core().DispWinState(), dwsNotValid);  // the query changes nothing
}

TEST_F(BindingTest, GroupBoxHasNoParameterToSearchOrMiss) {
  TDisplayBinding box(CreateDisplayCore(dcDisplayWin), &model.ParameterList, &model.Context);
  box.OnSearchParam = [this] { ++searches; };
  box.HandleRefresh(0);
  box.HandleRefresh(1);
  box.HandleRefresh(2);
  EXPECT_EQ(searches, 0);
  EXPECT_EQ(box.Core().Marker(), smNone);
  EXPECT_EQ(box.Core().DispWinState(), dwsVerified);
}

TEST_F(BindingTest, ValuesFromTheDatabaseReachTheCoreAndAreNeverSentBack) {
  auto b = Matching();
  int sent = 0;
  b->OnEingabe = [&] { ++sent; };
  b->HandleRefresh(2);
  for (IDisplayWin* w : Param().MyDisplayWins) w->SetRawValue(2300);
  auto& n = static_cast<TNumericDisplayCore&>(b->Core());
  EXPECT_EQ(n.ShownText(), "+ 230.0");
  EXPECT_EQ(b->ValuesReceived(), 1u);
  EXPECT_EQ(sent, 0);
}

TEST_F(BindingTest, ChangedDescriptorOfTheSameClassUpdatesInPlace) {
  auto b = Matching();
  Param().P.wChecksum = 0x4321;
  Param().P.sControlProperties = "-5|2|0.01|V";
  b->HandleRefresh(2);
  EXPECT_EQ(b->Core().DispWinState(), dwsVerified);  // updated, then equal again
  EXPECT_EQ(b->Core().LocalParam.wChecksum, 0x4321);
  EXPECT_EQ(static_cast<TNumericDisplayCore&>(b->Core()).Digits(), 7);
  EXPECT_EQ(modified, 1);
  EXPECT_TRUE(Listed(b.get()));
}

TEST_F(BindingTest, ChangeOfThePropertiesAloneMarksTheProjectModified) {
  auto b = Matching();
  TDispParam d = Param().Descriptor();
  d.sControlProperties = "-6|1|0.1|V";
  TDisplayBinding* w = b->UpdateFromParameter(d, Param().MyDisplayWins);
  EXPECT_EQ(w, b.get());
  EXPECT_EQ(b->Core().DispWinState(), dwsUpdated);
  EXPECT_EQ(modified, 1);
}

TEST_F(BindingTest, ChangedControlKindReplacesTheDisplayByOneOfTheNewClass) {
  auto old = Matching();
  old->Core().SetBounds({16, 24, 200, 80});
  Param().AddDisplay(old.get());
  std::unique_ptr<TDisplayBinding> made;
  TDisplayBinding* released = nullptr;
  old->OnCreateReplacement = [&](TDisplayClass cls) {
    made = std::make_unique<TDisplayBinding>(CreateDisplayCore(cls), &model.ParameterList, &model.Context);
    made->OnModify = [this] { ++modified; };
    return made.get();
  };
  old->OnLoeschen = [&](TDisplayBinding* self) { released = self; };
  Param().P.sControl = "Radio";
  Param().P.sControlProperties = "Off|On";
  old->HandleRefresh(2);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->Core().Class(), dcRadio);
  EXPECT_EQ(released, old.get());
  EXPECT_EQ(old->Core().DispWinState(), dwsReplaced);
  EXPECT_TRUE(Listed(made.get()));
  EXPECT_FALSE(Listed(old.get()));
  EXPECT_EQ(made->Core().Bounds().Left, 16);  // takes the old place
  EXPECT_EQ(made->Core().Bounds().Top, 24);
  EXPECT_EQ(made->Core().Caption(), "Mains voltage");
  EXPECT_EQ(modified, 1);
  // A keyword without a class leaves the display alone.
  TDispParam d = Param().Descriptor();
  d.sControl = "WIN";
  EXPECT_EQ(made->UpdateFromParameter(d, Param().MyDisplayWins), made.get());
  EXPECT_EQ(made->Core().Class(), dcRadio);
}

TEST_F(BindingTest, DestroyedDisplayUnlinksItself) {
  auto b = Matching();
  b->HandleRefresh(2);
  ASSERT_TRUE(Listed(b.get()));
  IDisplayWin* raw = b.get();
  b.reset();
  EXPECT_FALSE(Listed(raw));
}

TEST_F(BindingTest, LoadingTakesTheDrivesIndexOrAsksForASearch) {
  auto b = Matching();
  b->Core().LocalParam.iMyIndex = 7;  // the file's index is stale, the name matches
  b->AttachAfterLoad();
  EXPECT_EQ(b->Core().LocalParam.iMyIndex, 2);
  EXPECT_EQ(b->Core().DispWinState(), dwsUpdated);
  EXPECT_TRUE(Listed(b.get()));

  auto other = Matching();
  other->Core().LocalParam.sFirmwareName = "OLDNAME";  // same index, another known name
  other->AttachAfterLoad();
  EXPECT_EQ(other->Core().DispWinState(), dwsNotVerified);
  EXPECT_EQ(searches, 1);
  EXPECT_FALSE(Listed(other.get()));
}

TEST_F(BindingTest, CollectionLoadsADocumentAndFollowsTheBroadcasts) {
  TProjectDocument doc;
  TProjectItem sheet;
  sheet.Class = dcSheet;
  sheet.Name = "ScrollingTabSheet1";
  doc.Items.push_back(sheet);
  TProjectItem n;
  n.Class = dcCheck;  // the drive says NUMERIC
  n.Name = "DispCheckWin1";
  n.Parent = sheet.Name;
  n.FwName = "MAINSV";
  n.Group = "Drive";
  n.Target = 0;
  n.Index = 2;
  doc.Items.push_back(n);
  n.Class = dcLed;
  n.FwName = "NOSUCH";
  n.Name = "DispLedWin1";
  doc.Items.push_back(n);
  doc.Normalize();

  TDisplayCollection coll(&model.ParameterList, &model.Context);
  ASSERT_EQ(coll.Load(doc), 2);
  coll.Subscribe();
  model.Context.Broadcast(WM_REFRESH_DISPLAYS, 0);
  model.Context.Broadcast(WM_REFRESH_DISPLAYS, 2);
  ASSERT_EQ(coll.Displays().size(), 2u);
  EXPECT_EQ(coll.Displays()[0]->Core().Class(), dcNumeric);
  EXPECT_EQ(coll.Names()[0], "DispCheckWin1");
  EXPECT_TRUE(Listed(coll.Displays()[0]));
  EXPECT_EQ(coll.Displays()[1]->Core().DispWinState(), dwsNotValid);
  auto lines = coll.DebugLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].rfind("dwsNotValid; ", 0), 0u);
}

}  // namespace
}  // namespace zeb7
