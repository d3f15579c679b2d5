// The placer's command line on any arguments: the input is split at '\n'
// into arguments. Each argument is also read as a count and as a real, and
// compared with a plain model: a count is a non-empty run of decimal digits
// whose value (leading zeros aside) fits 64 bits; a real is digits with an
// optional fraction and exponent, finite as strtod reads it. A parse that
// succeeds must give options within the ranges --help states, and no
// netlist together with a generated design.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "qplace/options.h"

namespace {

bool modelCount(const std::string& t, std::uint64_t& v) {
  if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos) return false;
  const std::string digits = t.substr(std::min(t.find_first_not_of('0'), t.size() - 1));
  const std::string max = "18446744073709551615";
  if (digits.size() > max.size() || (digits.size() == max.size() && digits > max)) return false;
  v = std::strtoull(digits.c_str(), nullptr, 10);
  return true;
}

bool modelReal(const std::string& t, double& v) {
  static const std::regex grammar("([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?");
  if (!std::regex_match(t, grammar)) return false;
  v = std::strtod(t.c_str(), nullptr);
  return std::isfinite(v);
}

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> args = {"qplace"};
  for (std::size_t at = 0; at <= text.size();) {
    const std::size_t end = std::min(text.find('\n', at), text.size());
    args.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() > 400) continue;  // the regex model is slow on long texts
    std::uint64_t count = 0, model = 0;
    const bool isCount = qplace::parseCount(a, 0, UINT64_MAX, count);
    check(isCount == modelCount(a, model) && (!isCount || count == model));
    double real = 0, modelValue = 0;
    const bool isReal = qplace::parseReal(a, real);
    check(isReal == modelReal(a, modelValue) && (!isReal || real == modelValue));
  }

  std::vector<const char*> argv;
  for (const std::string& a : args) argv.push_back(a.c_str());
  const qplace::ParsedArgs r = qplace::parseArgs(static_cast<int>(argv.size()), argv.data());
  if (!r.ok() || r.options.help) return 0;
  const qplace::CliOptions& o = r.options;
  const qplace::PlacerOptions& p = o.placer;
  check((p.rows > 0) == (p.cols > 0));
  check(p.rows >= 0 && p.rows <= 10000 && p.cols >= 0 && p.cols <= 10000);
  check(p.fill >= 0.05 && p.fill <= 0.9);
  check(p.effort > 0 && p.effort <= 1000);
  check(o.generate >= 0 && o.generate <= 100000000);
  check(o.generate == 0 || (o.input.empty() && o.top.empty() && o.ctrlReduce && o.ctrlReduceMax == -1));
  check(o.ctrlReduce || o.ctrlReduceMax == -1);
  check(o.ctrlReduceMax >= -1);
  return 0;
}
