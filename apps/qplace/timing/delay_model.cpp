// The delay figures: node delays by cost code, and the figures file.
#include "qplace/timing/delay_model.h"

#include <cstdio>
#include <set>

#include "qplace/timing/settings_text.h"

namespace qplace {

namespace {

struct Figure {
  const char* name;
  double DelayModel::*field;
};

// In the order of the table in delay_model.h.
const Figure kFigures[] = {
    {"lut", &DelayModel::lut},           {"clk_to_q", &DelayModel::clockToQ}, {"setup", &DelayModel::setup},
    {"ble", &DelayModel::ble},           {"local", &DelayModel::local},       {"io_in", &DelayModel::ioIn},
    {"io_out", &DelayModel::ioOut},      {"out_pin", &DelayModel::outPin},    {"in_pin", &DelayModel::inPin},
    {"wire_h", &DelayModel::wireH},      {"wire_v", &DelayModel::wireV},      {"wire_long", &DelayModel::wireLong},
    {"switch", &DelayModel::switchBox},
};

// Cost codes of the generated device's routing nodes.
enum : unsigned { kVWire = 6, kHWire = 7, kSwitch = 8, kLongWire = 12 };

}  // namespace

double DelayModel::nodeDelay(unsigned costCode) const {
  switch (costCode) {
    case kVWire: return wireV;
    case kHWire: return wireH;
    case kSwitch: return switchBox;
    case kLongWire: return wireLong;
    default: return -1;
  }
}

bool setDelayFigure(DelayModel& model, const std::string& name, double value) {
  for (const Figure& f : kFigures) {
    if (name != f.name) continue;
    model.*f.field = value;
    return true;
  }
  return false;
}

bool readDelayModel(const std::string& text, const std::string& source, DelayModel& model, std::string& error) {
  DelayModel read = model;
  std::set<std::string> seen;
  for (const settings_text::Line& line : settings_text::wordLines(text)) {
    auto fail = [&](const std::string& why) {
      error = source + ":" + std::to_string(line.number) + ": " + why;
      return false;
    };
    const std::string& name = line.words[0];
    double value = 0;
    if (!setDelayFigure(read, name, 0)) return fail("unknown delay figure '" + name + "'");
    if (line.words.size() < 2) return fail("no value for " + name);
    if (!settings_text::parseNumber(line.words[1], value))
      return fail("'" + line.words[1] + "' is not a number (the value of " + name + ", in picoseconds)");
    if (value < 0) return fail(name + " is negative");
    if (line.words.size() > 2) return fail("'" + line.words[2] + "' after the value of " + name);
    if (!seen.insert(name).second) return fail(name + " given twice");
    setDelayFigure(read, name, value);
  }
  model = read;
  return true;
}

bool loadDelayModel(const std::string& path, DelayModel& model, std::string& error) {
  std::string text;
  if (!settings_text::readFile(path, text, error)) return false;
  return readDelayModel(text, path, model, error);
}

std::string delayModelText(const DelayModel& model) {
  std::string text;
  char line[64];
  for (const Figure& f : kFigures) {
    std::snprintf(line, sizeof line, "%s %.17g\n", f.name, model.*f.field);
    text += line;
  }
  return text;
}

}  // namespace qplace
