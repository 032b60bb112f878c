// Radio group, check box, LEDs, group-name breaking and the base's texts.
#include <gtest/gtest.h>

#include "displays/DisplayMath.h"
#include "displays/SelectionCore.h"

namespace zeb7 {
namespace {

std::string Items(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "Item" + std::to_string(i) + "|";
  return s;
}

TEST(Radio, RawValueChecksAButtonAndAClickSendsItsNumber) {
  TRadioCore r;
  r.SetBounds({0, 0, 168, 90});
  r.SetControlProperties("Off|Slow|Fast");
  r.SetRawValue(2);
  ASSERT_EQ(r.CheckedIndex(), 2);
  EXPECT_EQ(r.Buttons()[2].Text, "Fast");
  EXPECT_TRUE(r.Buttons()[2].Checked);
  r.SetRawValue(5);  // no such button: the selection stays
  EXPECT_EQ(r.CheckedIndex(), 2);
  EXPECT_TRUE(r.Click(1));
  EXPECT_EQ(r.GetRawValue(), 1);
  EXPECT_FALSE(r.Buttons()[2].Checked);
  EXPECT_FALSE(r.Click(3));
  // Buttons spread over the height: height * (2i + 2) / (2n + 3).
  EXPECT_EQ(r.Buttons()[0].Top, 90 * 2 / 9);
  EXPECT_EQ(r.Buttons()[2].Top, 90 * 6 / 9);
  EXPECT_EQ(r.OptimalHeight(), 15 * 3 + 30);
}

TEST(Radio, ThirtyButtonsAtMostButEveryItemKept) {
  TRadioCore r;
  r.SetControlProperties(Items(31));
  EXPECT_EQ(r.Items().size(), 31u);
  EXPECT_EQ(r.Buttons().size(), 30u);
  r.SetControlProperties("A||B");  // an empty field is no item
  EXPECT_EQ(r.Items().size(), 2u);
}

TEST(CheckBox, AnyNonZeroValueChecksAndAClickSendsOneOrZero) {
  TCheckCore c;
  c.SetControlProperties("Enable after power on");
  EXPECT_EQ(c.Text(), "Enable after power on");
  c.SetRawValue(7);
  EXPECT_TRUE(c.Checked());
  EXPECT_TRUE(c.Click(false));
  EXPECT_EQ(c.GetRawValue(), 0);
  EXPECT_TRUE(c.Click(true));
  EXPECT_EQ(c.GetRawValue(), 1);
  TCheckCore empty;
  empty.SetControlProperties("");
  EXPECT_EQ(empty.Text(), "???");
}

TEST(Led, ColourLettersChooseThePictures) {
  TLedCore g;
  g.SetControlProperties("G|Ready");
  EXPECT_EQ(g.Picture(), lpGrey);
  g.SetRawValue(3);
  EXPECT_EQ(g.Picture(), lpGreen);
  EXPECT_EQ(g.Text(), "Ready");
  TLedCore gr;
  gr.SetControlProperties("gr");
  EXPECT_EQ(gr.Picture(), lpRed);  // off colour, either case
  EXPECT_EQ(gr.Text(), "???");
  TLedCore x;
  x.SetControlProperties("X");
  x.SetRawValue(1);
  EXPECT_EQ(x.Picture(), lpBlue);  // any other on letter
  TLedCore def;
  def.SetControlProperties("");
  def.SetRawValue(1);
  EXPECT_EQ(def.Picture(), lpRed);
}

TEST(LedGroup, TheLedOfTheValueIsLitAndTwentyNineAreShown) {
  TLedRadioCore l;
  l.SetControlProperties("GR|Ready|Fault");
  l.SetRawValue(1);
  ASSERT_EQ(l.Labels().size(), 2u);
  EXPECT_EQ(l.LedPictures(), (std::vector<TLedPicture>{lpGrey, lpRed}));
  l.SetControlProperties("G|" + Items(30));
  EXPECT_EQ(l.Items().size(), 30u);
  EXPECT_EQ(l.Labels().size(), 29u);
}

TEST(LedArray, OneLedPerBitAndTheLastColourRepeats) {
  TLedArrayCore a;
  a.SetControlProperties("RG|A|B|C");
  a.SetRawValue(5);
  EXPECT_EQ(a.LedPictures(), (std::vector<TLedPicture>{lpRed, lpGrey, lpGreen}));
  a.SetRawValue(-1);  // every bit, no shift beyond 63
  EXPECT_EQ(a.LedPictures(), (std::vector<TLedPicture>{lpRed, lpGreen, lpGreen}));
}

TEST(GroupName, TheLastPartIsShownInCapitalsAndBrokenAtBlanksOrHyphens) {
  TDisplayCore d;
  d.SetBounds({0, 0, 168, 200});
  d.SetGroupName("MOTOR#Current control");
  EXPECT_EQ(d.GroupSubNames()[0], "CURRENT CONTROL");
  // 6 px a character, 60 px available: ten characters fit.
  d.SetBounds({0, 0, 168, 80});
  EXPECT_EQ(d.GroupSubNames()[0], "CURRENT");
  EXPECT_EQ(d.GroupSubNames()[1], "CONTROL");
  d.SetGroupName("speed-loop-gains");
  EXPECT_EQ(d.GroupSubNames()[0], "SPEED");
  EXPECT_EQ(d.GroupSubNames()[1], "LOOP-GAINS");
  d.SetGroupName("ABCDEFGHIJKLMNOPQRSTUVWXYZABCDEFGHIJ");  // no separator: cut where it stops fitting
  EXPECT_EQ(d.GroupSubNames()[0], "ABCDEFGHIJ");
  EXPECT_EQ(d.GroupSubNames()[1], "KLMNOPQRST");
  EXPECT_EQ(d.GroupSubNames()[2], "UVWXYZABCD");
  d.SetBounds({0, 0, 168, 5});  // nothing fits: no endless loop, nothing shown
  EXPECT_EQ(d.GroupSubNames()[0], "");
  // The widget's own measurement breaks the lines again.
  d.SetBounds({0, 0, 168, 200});
  d.SetTextWidth([](std::string_view s, TFontRole) { return static_cast<int32_t>(s.size()) * 100; });
  EXPECT_EQ(d.GroupSubNames()[2], "C");
}

TEST(BaseTexts, CaptionLabelDebugLineAndLatin1ForDisplay) {
  TDisplayCore d;
  d.SetCaption("Speed");
  EXPECT_EQ(d.LabelText(), "<-1> Speed");
  d.SetTarget(0);
  EXPECT_EQ(d.LabelText(), "<0> Speed");
  d.SetGroupName("G1");
  d.SetControlProperties("5|0");
  EXPECT_EQ(d.DebugQueryText(), "dwsVerified; Speed; G1; 5|0; ");
  d.SetCaption("Drehzahl \xFC");
  EXPECT_EQ(d.LabelTextUtf8(), "<0> Drehzahl \xC3\xBC");
  // Optimal size: caption width plus margins, up to the raster.
  d.OptimalSize();
  EXPECT_EQ(d.Bounds().Width, 168);
  d.SetCaption(std::string(30, 'W'));
  d.OptimalSize();
  EXPECT_EQ(d.Bounds().Width, NearestRaster(7 * (30 + 4) + 16, true));
  EXPECT_EQ(d.Bounds().Height, 24);
}

TEST(BaseTexts, UserClassDecidesTheLookAndAGroupBoxNeverShowsAMarker) {
  TDisplayCore d(dcNumeric);
  d.LocalParam.iUserClass = 2;
  EXPECT_TRUE(d.Look().Gray);
  EXPECT_FALSE(d.Look().BoldCaption);
  d.SetDispWinState(dwsNotValid);
  EXPECT_EQ(d.Marker(), smCross);
  d.SetDispWinState(dwsUpdated);
  EXPECT_EQ(d.Marker(), smQuestion);
  TDisplayCore box(dcDisplayWin);
  box.SetDispWinState(dwsNotValid);
  EXPECT_EQ(box.Marker(), smNone);
}

}  // namespace
}  // namespace zeb7
