// Formula compiler and evaluator on arbitrary text: never crashes, every
// outcome is a result or a message.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "scope/Calculat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const zeb7::TScanResult num = zeb7::ScanNumber(text);
  if (num.iLength < 0 || static_cast<size_t>(num.iLength) > size) __builtin_trap();
  if (num.boValid && !std::isfinite(num.dValue)) __builtin_trap();

  size_t messages = 0;
  auto sink = [&](const std::string& s) { messages += s.empty() ? 0 : 1; };
  // Fields 0..9 exist; 7 and 8 carry values the arithmetic must refuse.
  auto peek = [](uint32_t i) -> double {
    if (i >= 10) throw std::out_of_range("field");
    if (i == 7) return std::numeric_limits<double>::infinity();
    if (i == 8) return std::numeric_limits<double>::quiet_NaN();
    return 1000.0 * i - 4321.5;
  };
  zeb7::TEvaluate quiet(nullptr, sink, peek);
  zeb7::TEvaluate traced(sink, sink, peek);
  for (zeb7::TEvaluate* ev : {&quiet, &traced}) {
    const bool compiled = ev->EvaluateFormula(text);
    if (compiled != (ev->FormulaValid() || ev->FormulaEmpty())) __builtin_trap();
    double d = 0;
    const size_t before = messages;
    const bool ok = ev->Calculate(d);
    if (!ok && messages == before) __builtin_trap();  // a failure always says why
    if (ok && ev->Tokens().empty()) __builtin_trap();
  }
  return 0;
}
