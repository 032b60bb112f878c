#pragma once
// One-line arithmetic formulas compiled once to reverse Polish order and
// evaluated many times against changing field values (the oscilloscope
// channels). Errors are reported as German texts through a callback.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zeb7 {

struct TToken {
  int32_t iOperand = 0;      // 0 constant, -1 field reference, > 0 operator character code
  uint32_t iFieldIndex = 0;  // field reference only
  double dVar = 0.0;         // constant only

  void SetVar(double d) {
    iOperand = 0;
    dVar = d;
  }
  void SetAdr(uint32_t idx) {
    iOperand = -1;
    iFieldIndex = idx;
  }
  void SetOperand(char c) { iOperand = static_cast<unsigned char>(c); }
};

struct TScanResult {
  double dValue = 0.0;
  bool boValid = false;
  int32_t iLength = 0;  // characters consumed
};

// Reads a number at the start of `s`: optional sign, then "0x" hex, or one of
// the parallel readings decimal, base 2 ("B" suffix), hexadecimal ("H"
// suffix) and fraction ("." or "," as decimal point).
TScanResult ScanNumber(std::string_view s);

class TEvaluate {
 public:
  using TMessageFunc = std::function<void(const std::string&)>;
  // Throws std::out_of_range for an unknown field index.
  using TPeekFunc = std::function<double(uint32_t iFieldIndex)>;

  static constexpr int32_t kMaxOperators = 21;  // per nesting level
  static constexpr int32_t kMaxValues = 20;     // evaluation stack

  TEvaluate(TMessageFunc debugMsgFunc, TMessageFunc errorMsgFunc, TPeekFunc peekValue);

  // Compiles; true when the formula is valid or empty.
  bool EvaluateFormula(std::string_view sFormula);
  // Evaluates the compiled formula once.
  bool Calculate(double& dResult) const;

  bool FormulaEmpty() const { return boFormulaEmpty; }
  bool FormulaValid() const { return boFormulaValid; }
  const std::vector<TToken>& Tokens() const { return TokenStack; }

 private:
  bool CompileFrom(std::string_view s);
  void Output(const TToken& t);
  void Error(const std::string& s) const;
  void Debug(const std::string& s) const;

  TMessageFunc DebugMsgFunc;
  TMessageFunc ErrorMsgFunc;
  TPeekFunc PeekValue;
  std::vector<TToken> TokenStack;
  bool boFormulaEmpty = true;
  bool boFormulaValid = false;
};

// Priority of an operator character; -1 for characters outside the table.
int32_t OperatorPriority(char c);

}  // namespace zeb7
