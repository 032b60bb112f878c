// calc "FORMULA=" [--field N=VALUE ...]: compiles a channel formula and evaluates it once.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Verb.h"
#include "scope/Calculat.h"

namespace zeb7ctl {
namespace {

struct CalcOptions {
  std::string formula;
  std::vector<std::string> fields;
  bool trace = false;
};

template <class T>
bool ParseWhole(std::string_view s, T& v) {
  const auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  return res.ec == std::errc() && res.ptr == s.data() + s.size() && !s.empty();
}

std::string Shortest(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

int RunCalc(const CalcOptions& o) {
  std::map<uint32_t, double> values;
  for (const std::string& f : o.fields) {
    const size_t eq = f.find('=');
    uint32_t n = 0;
    double v = 0;
    if (eq == std::string::npos || !ParseWhole(std::string_view(f).substr(0, eq), n) ||
        !ParseWhole(std::string_view(f).substr(eq + 1), v)) {
      std::cerr << "zeb7ctl calc: bad --field \"" << f << "\": expected N=VALUE (N a field index, VALUE a number)\n";
      return kExitUsage;
    }
    values[n] = v;
  }

  std::vector<std::string> messages;
  zeb7::TEvaluate::TMessageFunc trace;
  if (o.trace) trace = [](const std::string& s) { std::cerr << "trace: " << s << "\n"; };
  zeb7::TEvaluate ev(
      trace, [&](const std::string& s) { messages.push_back(s); },
      [&](uint32_t i) {
        auto it = values.find(i);
        if (it == values.end()) throw std::out_of_range("field not given");
        return it->second;
      });

  double result = 0;
  const bool ok = ev.EvaluateFormula(o.formula) && ev.Calculate(result);
  if (ok) std::cout << Shortest(result) << "\n";
  for (const auto& m : messages) std::cerr << m << "\n";
  return ok && messages.empty() ? kExitOk : kExitFailure;
}

const VerbRegistrar kCalc{Verb{[](CLI::App& app, const GlobalOptions&) {
  auto o = std::make_shared<CalcOptions>();
  auto* sc = app.add_subcommand("calc", "compile a channel formula (ending in \"=\") and evaluate it once");
  sc->add_option("FORMULA", o->formula, "formula, e.g. \"@0*2+1=\"")->required();
  sc->add_option("--field", o->fields, "value of field N for @N references, as N=VALUE (repeatable)");
  sc->add_flag("--trace", o->trace, "print the compiler and evaluator trace to standard error");
  return std::function<int()>([o] { return RunCalc(*o); });
}}};

}  // namespace
}  // namespace zeb7ctl
