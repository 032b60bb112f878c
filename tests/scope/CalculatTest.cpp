#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "scope/Calculat.h"

using zeb7::ScanNumber;
using zeb7::TEvaluate;

namespace {

struct Rig {
  std::vector<std::string> errors;
  std::vector<std::string> trace;
  std::map<uint32_t, double> fields;
  TEvaluate ev{nullptr, [this](const std::string& s) { errors.push_back(s); },
               [this](uint32_t i) {
                 auto it = fields.find(i);
                 if (it == fields.end()) throw std::out_of_range("no such field");
                 return it->second;
               }};

  // Compiles and evaluates; returns the result, or NaN when either step failed.
  double Run(const std::string& f) {
    double d = 0;
    if (!ev.EvaluateFormula(f)) return std::nan("");
    return ev.Calculate(d) ? d : std::nan("");
  }
};

}  // namespace

TEST(ScanNumber, ExamplesOfTheParallelReadings) {
  struct Case {
    const char* text;
    bool valid;
    double value;
  } cases[] = {{"12", true, 12},  {"1F", false, 0},  {"1FH", true, 31}, {"0x1F", true, 31}, {"101B", true, 5},
               {"1B", true, 1},   {"1BH", true, 27}, {"2,5", true, 2.5}, {"2.5", true, 2.5}, {".5", true, 0.5},
               {"1E5", false, 0}, {"1fh", true, 31}, {"0X1f", true, 31}, {"-5", true, -5},   {"+0x10", true, 16},
               {"12.", true, 12}, {".", false, 0},   {"B", false, 0},   {"0x", false, 0},  {"", false, 0},
               {"-", false, 0},   {"0b", true, 0}};
  for (const auto& c : cases) {
    const auto r = ScanNumber(c.text);
    EXPECT_EQ(r.boValid, c.valid) << c.text;
    if (c.valid) {
      EXPECT_DOUBLE_EQ(r.dValue, c.value) << c.text;
    }
  }
}

TEST(ScanNumber, StopsAtTheFirstCharacterNoReadingAccepts) {
  EXPECT_EQ(ScanNumber("12+3").iLength, 2);
  EXPECT_EQ(ScanNumber("1B)").iLength, 2);      // the base-2 reading ends at its suffix
  EXPECT_EQ(ScanNumber("101BH=").iLength, 5);   // ... while hex takes "B" as a digit
  EXPECT_DOUBLE_EQ(ScanNumber("101BH=").dValue, 0x101B);
  EXPECT_FALSE(ScanNumber("1B1=").boValid);     // base 2 ended at "B"; hex lacks its "H"
  EXPECT_EQ(ScanNumber("1BH*2").iLength, 3);
  const auto r = ScanNumber("1.2.3");
  EXPECT_EQ(r.iLength, 3);
  EXPECT_DOUBLE_EQ(r.dValue, 1.2);
  EXPECT_EQ(ScanNumber("1.5H").iLength, 3);
  EXPECT_EQ(ScanNumber("-0x10=").iLength, 5);
  EXPECT_DOUBLE_EQ(ScanNumber("-0x10=").dValue, -16);
}

TEST(ScanNumber, IntegerReadingsWrapAt32Bits) {
  EXPECT_DOUBLE_EQ(ScanNumber("FFFFFFFFH").dValue, -1);
  EXPECT_DOUBLE_EQ(ScanNumber("4294967297").dValue, 1);
  EXPECT_DOUBLE_EQ(ScanNumber("2147483648").dValue, -2147483648.0);
  EXPECT_DOUBLE_EQ(ScanNumber("-2147483648").dValue, 2147483648.0);  // sign applied to the float
  // A fraction too long for a double is no number rather than infinity.
  EXPECT_FALSE(ScanNumber(std::string(400, '9') + ".0").boValid);
}

TEST(Evaluate, PrioritiesAndAssociativity) {
  Rig rig;
  EXPECT_EQ(rig.Run("1+2*3="), 7);
  EXPECT_EQ(rig.Run("(1+2)*3="), 9);
  EXPECT_EQ(rig.Run("1+2<3="), 2);
  EXPECT_EQ(rig.Run("10-4-3="), 3);
  EXPECT_EQ(rig.Run("16/4/2="), 2);
  EXPECT_EQ(rig.Run("2*3<4="), 2);
  EXPECT_EQ(rig.Run("3>2+1="), 2);
  EXPECT_EQ(rig.Run("0x0F&6="), 6);
  EXPECT_EQ(rig.Run("12|1="), 13);
  EXPECT_EQ(rig.Run("2^3&1="), 3);  // & binds tighter than ^
  EXPECT_EQ(rig.Run("6|1^3="), 6);  // ^ binds tighter than |
  EXPECT_EQ(rig.Run("-1&255="), 255);
  EXPECT_EQ(rig.Run(" 1 + ( 2 * -3 ) = trailing text is ignored"), -5);
  EXPECT_EQ(rig.Run("2,5*2="), 5);
  EXPECT_TRUE(rig.errors.empty()) << rig.errors.front();
}

TEST(Evaluate, FieldReferences) {
  Rig rig;
  rig.fields = {{0, 21}, {2, 100}, {4, 7}};
  EXPECT_EQ(rig.Run("@0*2="), 42);
  EXPECT_EQ(rig.Run("@2.5="), 100);  // halves round to even
  EXPECT_EQ(rig.Run("@3.5="), 7);
  EXPECT_EQ(rig.Run("@100B+@0x4="), 14);
  EXPECT_TRUE(rig.errors.empty());

  // Compiled once, evaluated against changing values.
  ASSERT_TRUE(rig.ev.EvaluateFormula("@0-1="));
  double d = 0;
  for (double v : {5.0, -3.0, 1e6}) {
    rig.fields[0] = v;
    ASSERT_TRUE(rig.ev.Calculate(d));
    EXPECT_EQ(d, v - 1);
  }

  EXPECT_TRUE(std::isnan(rig.Run("@12=")));
  EXPECT_TRUE(std::isnan(rig.Run("@-1=")));  // index 0xFFFFFFFF
  EXPECT_EQ(rig.errors, (std::vector<std::string>{"Formel: Feldindex ungültig", "Formel: Feldindex ungültig"}));

  rig.errors.clear();
  EXPECT_FALSE(rig.ev.EvaluateFormula("1+@x*2="));
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Fehlerhafte Feldbezeichnung: @x*2="});
}

TEST(Evaluate, CompileErrors) {
  Rig rig;
  EXPECT_FALSE(rig.ev.EvaluateFormula("1+2"));
  EXPECT_FALSE(rig.ev.FormulaValid());
  EXPECT_FALSE(rig.ev.FormulaEmpty());
  EXPECT_FALSE(rig.ev.EvaluateFormula("(1+2="));  // "=" ends the inner level, then the text ends
  EXPECT_FALSE(rig.ev.EvaluateFormula("1+   "));
  EXPECT_EQ(rig.errors, std::vector<std::string>(3, "Fehler: String-Ende"));

  rig.errors.clear();
  EXPECT_FALSE(rig.ev.EvaluateFormula("1 2="));
  EXPECT_FALSE(rig.ev.EvaluateFormula("1F="));
  EXPECT_FALSE(rig.ev.EvaluateFormula("1E5="));
  EXPECT_EQ(rig.errors, std::vector<std::string>(3, "Zahl erwartet"));

  // An invalid formula is not evaluated.
  rig.errors.clear();
  double d = 0;
  EXPECT_FALSE(rig.ev.Calculate(d));
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel fehlerhaft!"});
}

TEST(Evaluate, EmptyFormulaIsAcceptedButNotValid) {
  Rig rig;
  for (const char* f : {"", "   ", "\t \r\n"}) {
    EXPECT_TRUE(rig.ev.EvaluateFormula(f));
    EXPECT_TRUE(rig.ev.FormulaEmpty());
    EXPECT_FALSE(rig.ev.FormulaValid());
  }
  double d = 0;
  EXPECT_FALSE(rig.ev.Calculate(d));
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel fehlerhaft!"});
}

TEST(Evaluate, UnknownOperatorYieldsZeroAndContinues) {
  Rig rig;
  ASSERT_TRUE(rig.ev.EvaluateFormula("1 2 3="));
  double d = -1;
  EXPECT_TRUE(rig.ev.Calculate(d));
  EXPECT_EQ(d, 0);
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel: Unerlaubter Operator \"2\""});
  rig.errors.clear();
  EXPECT_EQ(rig.Run("5+1%2="), 0);  // % binds loosest: (5+1) % 2
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel: Unerlaubter Operator \"%\""});
}

TEST(Evaluate, ArithmeticErrorsAreReportedNotPropagated) {
  Rig rig;
  rig.fields = {{0, std::numeric_limits<double>::infinity()}, {1, std::nan("")}};
  std::string big;
  for (int i = 0; i < 40; ++i) big += "99999999.0*";
  for (const std::string& f : std::vector<std::string>{"5/0=", "0/0=", big + "1=", "99999999999999999999.0&1=", "1|-99999999999999999999.0=",
                              "@0-1=", "@1<1="}) {
    rig.errors.clear();
    EXPECT_TRUE(std::isnan(rig.Run(f))) << f;
    EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel: Mathe-Fehler beim Auswerten"}) << f;
  }
  rig.errors.clear();
  EXPECT_EQ(rig.Run("9007199254740992.0&1="), 0);  // 2^53 still fits 64 bits
  EXPECT_TRUE(rig.errors.empty());
}

TEST(Evaluate, ValueStackHoldsTwentyOperands) {
  Rig rig;
  auto nested = [](int n) {
    std::string s, close;
    for (int i = 1; i < n; ++i) s += "1+(", close += ")";
    return s + "1" + close + "=";
  };
  EXPECT_EQ(rig.Run(nested(20)), 20);
  EXPECT_TRUE(rig.errors.empty());
  EXPECT_TRUE(std::isnan(rig.Run(nested(21))));
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Formel: Überlauf Parameterstack!"});
}

TEST(Evaluate, DeepNestingDoesNotExhaustTheStack) {
  Rig rig;
  EXPECT_FALSE(rig.ev.EvaluateFormula(std::string(200000, '(')));
  EXPECT_EQ(rig.errors, std::vector<std::string>{"Fehler: String-Ende"});
  rig.errors.clear();
  EXPECT_EQ(rig.Run(std::string(5000, '(') + "7" + std::string(5000, ')') + "="), 7);
}

TEST(Evaluate, TraceUsesTwoDecimalsAndAPoint) {
  std::vector<std::string> trace;
  TEvaluate ev([&](const std::string& s) { trace.push_back(s); }, nullptr, nullptr);
  ASSERT_TRUE(ev.EvaluateFormula("1,5+2="));
  double d = 0;
  ASSERT_TRUE(ev.Calculate(d));
  EXPECT_EQ(d, 3.5);
  auto has = [&](const std::string& s) { return std::find(trace.begin(), trace.end(), s) != trace.end(); };
  EXPECT_TRUE(has(" 1.50 "));
  EXPECT_TRUE(has(" + "));
  EXPECT_TRUE(has("OP: 1.50 + 2.00"));
}
