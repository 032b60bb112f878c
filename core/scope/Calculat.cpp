#include "scope/Calculat.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <stdexcept>

namespace zeb7 {

namespace {

char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "%f" of the trace: two decimals, always "." whatever the process locale.
std::string Fixed2(double d) {
  char buf[400];
  auto res = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::fixed, 2);
  return std::string(buf, res.ptr);
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
  return s;
}

// Operands of & ^ | must fit a 64-bit integer after truncation.
std::optional<int64_t> TruncToInt64(double d) {
  if (!std::isfinite(d)) return std::nullopt;
  const double t = std::trunc(d);
  if (t < -9223372036854775808.0 || t >= 9223372036854775808.0) return std::nullopt;
  return static_cast<int64_t>(t);
}

enum class TOpResult { ok, unknownOperator, mathError };

TOpResult ApplyOperator(char op, double l, double r, double& res) {
  if (OperatorPriority(op) < 0) {
    res = 0.0;
    return TOpResult::unknownOperator;
  }
  // IEEE would carry inf/NaN on silently; the evaluator treats them as errors.
  if (!std::isfinite(l) || !std::isfinite(r)) return TOpResult::mathError;
  switch (op) {
    case '<': res = l < r ? 1.0 : 0.0; break;
    case '>': res = l > r ? 1.0 : 0.0; break;
    case '*': res = l * r; break;
    case '/':
      if (r == 0.0) return TOpResult::mathError;
      res = l / r;
      break;
    case '+': res = l + r; break;
    case '-': res = l - r; break;
    default: {
      const auto a = TruncToInt64(l);
      const auto b = TruncToInt64(r);
      if (!a || !b) return TOpResult::mathError;
      const uint64_t ua = static_cast<uint64_t>(*a), ub = static_cast<uint64_t>(*b);
      const uint64_t u = op == '&' ? (ua & ub) : op == '^' ? (ua ^ ub) : (ua | ub);
      res = static_cast<double>(static_cast<int64_t>(u));
      break;
    }
  }
  return std::isfinite(res) ? TOpResult::ok : TOpResult::mathError;
}

}  // namespace

int32_t OperatorPriority(char c) {
  switch (c) {
    case '<':
    case '>': return 6;
    case '*':
    case '/': return 5;
    case '+':
    case '-': return 4;
    case '&': return 3;
    case '^': return 2;
    case '|': return 1;
    default: return -1;
  }
}

TScanResult ScanNumber(std::string_view s) {
  TScanResult r;
  size_t i = 0;
  bool boNegative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    boNegative = s[i] == '-';
    ++i;
  }

  struct TIntReading {
    bool boActive = true;
    uint32_t uValue = 0;  // 32-bit, wraps
    bool boDigit = false;
    bool boSuffix = false;  // "B" or "H" seen; the reading accepts nothing more
  } dec, bin, hex;
  struct {
    bool boActive = true;
    double dValue = 0.0;
    double dDivisor = 10.0;
    bool boDigit = false;
    bool boPoint = false;
  } frac;
  bool boHexPrefix = false;

  if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    i += 2;
    boHexPrefix = true;
    dec.boActive = bin.boActive = frac.boActive = false;
  }

  enum : unsigned { kDec = 1, kBin = 2, kHex = 4, kFrac = 8 };
  unsigned uLastAccepted = 0;
  for (; i < s.size(); ++i) {
    const char c = UpperAscii(s[i]);
    unsigned uAccepted = 0;
    if (dec.boActive) {
      if (IsDigit(c)) {
        dec.uValue = dec.uValue * 10u + static_cast<uint32_t>(c - '0');
        dec.boDigit = true;
        uAccepted |= kDec;
      } else {
        dec.boActive = false;
      }
    }
    if (bin.boActive) {
      if (!bin.boSuffix && (c == '0' || c == '1')) {
        bin.uValue = bin.uValue * 2u + static_cast<uint32_t>(c - '0');
        bin.boDigit = true;
        uAccepted |= kBin;
      } else if (!bin.boSuffix && c == 'B') {
        bin.boSuffix = true;
        uAccepted |= kBin;
      } else {
        bin.boActive = false;
      }
    }
    if (hex.boActive) {
      const bool boHexDigit = IsDigit(c) || (c >= 'A' && c <= 'F');
      if (!hex.boSuffix && boHexDigit) {
        hex.uValue = hex.uValue * 16u + static_cast<uint32_t>(IsDigit(c) ? c - '0' : c - 'A' + 10);
        hex.boDigit = true;
        uAccepted |= kHex;
      } else if (!hex.boSuffix && c == 'H') {
        hex.boSuffix = true;
        uAccepted |= kHex;
      } else {
        hex.boActive = false;
      }
    }
    if (frac.boActive) {
      if (IsDigit(c)) {
        const double d = c - '0';
        if (!frac.boPoint) {
          frac.dValue = frac.dValue * 10.0 + d;
        } else {
          frac.dValue += d / frac.dDivisor;
          frac.dDivisor *= 10.0;
        }
        frac.boDigit = true;
        uAccepted |= kFrac;
      } else if (!frac.boPoint && (c == '.' || c == ',')) {
        frac.boPoint = true;
        uAccepted |= kFrac;
      } else {
        frac.boActive = false;
      }
    }
    if (uAccepted == 0) break;
    uLastAccepted = uAccepted;
  }
  r.iLength = static_cast<int32_t>(i);

  double dValue = 0.0;
  bool boValid = false;
  auto asInt = [](uint32_t u) { return static_cast<double>(static_cast<int32_t>(u)); };
  if (uLastAccepted & kDec) {
    boValid = dec.boDigit;
    dValue = asInt(dec.uValue);
  } else if (uLastAccepted & kBin) {
    boValid = bin.boDigit && bin.boSuffix;
    dValue = asInt(bin.uValue);
  } else if (uLastAccepted & kHex) {
    boValid = hex.boDigit && (hex.boSuffix || boHexPrefix);
    dValue = asInt(hex.uValue);
  } else if (uLastAccepted & kFrac) {
    // A run of a few hundred digits overflows the float: not a number either.
    boValid = frac.boDigit && frac.boPoint && std::isfinite(frac.dValue);
    dValue = frac.dValue;
  }
  r.boValid = boValid;
  r.dValue = boNegative ? -dValue : dValue;
  return r;
}

TEvaluate::TEvaluate(TMessageFunc debugMsgFunc, TMessageFunc errorMsgFunc, TPeekFunc peekValue)
    : DebugMsgFunc(std::move(debugMsgFunc)),
      ErrorMsgFunc(std::move(errorMsgFunc)),
      PeekValue(std::move(peekValue)) {}

void TEvaluate::Error(const std::string& s) const {
  if (ErrorMsgFunc) ErrorMsgFunc(s);
}

void TEvaluate::Debug(const std::string& s) const {
  if (DebugMsgFunc) DebugMsgFunc(s);
}

void TEvaluate::Output(const TToken& t) {
  TokenStack.push_back(t);
  if (!DebugMsgFunc) return;
  if (t.iOperand > 0)
    Debug(" " + std::string(1, static_cast<char>(t.iOperand)) + " ");
  else if (t.iOperand < 0)
    Debug(" " + std::to_string(static_cast<int32_t>(t.iFieldIndex)) + " ");
  else
    Debug(" " + Fixed2(t.dVar) + " ");
}

bool TEvaluate::EvaluateFormula(std::string_view sFormula) {
  TokenStack.clear();
  // A NUL ends the text; as an operator character it would read as a constant token.
  sFormula = sFormula.substr(0, sFormula.find('\0'));
  if (TrimBlanks(sFormula).empty()) {
    boFormulaValid = false;
    boFormulaEmpty = true;
    return true;
  }
  boFormulaEmpty = false;
  boFormulaValid = CompileFrom(sFormula);
  return boFormulaValid;
}

// Shunting-yard with one operator stack per parenthesis level. The levels are
// kept in a vector rather than on the call stack, so deep nesting cannot
// overflow the machine stack.
bool TEvaluate::CompileFrom(std::string_view s) {
  struct TLevel {
    // The stack holds strictly rising priorities (seven exist), so it never
    // comes near its 21 slots; the extra slot is the one the trace reads.
    char aOps[kMaxOperators + 1] = {};
    int32_t iCount = 0;
    bool boOperandExpected = true;
  };
  std::vector<TLevel> levels(1);
  size_t pos = 0;

  auto flushOperators = [this](TLevel& l) {
    while (l.iCount > 0) {
      TToken t;
      t.SetOperand(l.aOps[--l.iCount]);
      Output(t);
    }
  };

  for (;;) {
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos >= s.size()) {
      Error("Fehler: String-Ende");
      return false;
    }
    const char c = s[pos];
    TLevel& level = levels.back();

    if (!level.boOperandExpected) {
      if (c == ')' || c == '=') {
        flushOperators(level);
        levels.pop_back();
        if (levels.empty()) return true;  // terminator left for the caller
        ++pos;                            // the terminator of the inner level
        levels.back().boOperandExpected = false;
      } else {
        const int32_t iPriority = OperatorPriority(c);
        while (level.iCount > 0 && OperatorPriority(level.aOps[level.iCount - 1]) >= iPriority) {
          TToken t;
          t.SetOperand(level.aOps[--level.iCount]);
          Output(t);
        }
        level.aOps[level.iCount++] = c;
        level.boOperandExpected = true;
        ++pos;
      }
    } else if (c == '(') {
      ++pos;
      levels.emplace_back();
    } else if (c == '@') {
      const TScanResult num = ScanNumber(s.substr(pos + 1));
      // Round halves to even; an index beyond 64 bits cannot be a field.
      const double dRounded = std::nearbyint(num.dValue);
      if (!num.boValid || !(dRounded > -9223372036854775808.0 && dRounded < 9223372036854775808.0)) {
        Error("Fehlerhafte Feldbezeichnung: @" + std::string(s.substr(pos + 1)));
        return false;
      }
      TToken t;
      t.SetAdr(static_cast<uint32_t>(static_cast<int64_t>(dRounded)));
      Output(t);
      pos += 1 + static_cast<size_t>(num.iLength);
      level.boOperandExpected = false;
    } else {
      const TScanResult num = ScanNumber(s.substr(pos));
      if (!num.boValid) {
        Error("Zahl erwartet");
        return false;
      }
      TToken t;
      t.SetVar(num.dValue);
      Output(t);
      pos += static_cast<size_t>(num.iLength);
      level.boOperandExpected = false;
    }

    if (DebugMsgFunc && !levels.empty()) {
      const TLevel& l = levels.back();
      const char top = l.aOps[l.iCount];
      Debug("E" + std::to_string(levels.size() - 1) + ": " + std::string(s.substr(std::min(pos, s.size()))) +
            ": " + (top ? std::string(1, top) : std::string()) + " ");
    }
  }
}

bool TEvaluate::Calculate(double& dResult) const {
  if (!boFormulaValid) {
    Error("Formel fehlerhaft!");
    return false;
  }
  double aValues[kMaxValues];
  int32_t n = 0;
  try {
    for (const TToken& t : TokenStack) {
      if (t.iOperand <= 0) {
        if (n >= kMaxValues) {
          Error("Formel: Überlauf Parameterstack!");
          return false;
        }
        if (t.iOperand == 0) {
          aValues[n++] = t.dVar;
        } else {
          if (!PeekValue) throw std::out_of_range("no field values");
          aValues[n++] = PeekValue(t.iFieldIndex);
        }
        continue;
      }
      if (n < 2) {
        Error("Formel: Operation ohne genügenden Parametern!");
        return false;
      }
      const char op = static_cast<char>(t.iOperand);
      const double l = aValues[n - 2], r = aValues[n - 1];
      if (DebugMsgFunc) Debug("OP: " + Fixed2(l) + " " + std::string(1, op) + " " + Fixed2(r));
      double res = 0.0;
      switch (ApplyOperator(op, l, r, res)) {
        case TOpResult::ok: break;
        case TOpResult::unknownOperator:
          Error("Formel: Unerlaubter Operator \"" + std::string(1, op) + "\"");
          break;
        case TOpResult::mathError:
          Error("Formel: Mathe-Fehler beim Auswerten");
          return false;
      }
      aValues[n - 2] = res;
      --n;
    }
  } catch (const std::out_of_range&) {
    Error("Formel: Feldindex ungültig");
    return false;
  }
  if (n > 0) dResult = aValues[0];
  if (n != 1) {
    Error("Formel: Anzahl Operanden geht nicht auf!");
    return false;
  }
  return true;
}

}  // namespace zeb7
