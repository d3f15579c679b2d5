// Printable, unique names for the placement file.
#include "qplace/names.h"

#include <cstdio>

namespace qplace {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of `digits` hex digits at s[at], or -1.
long hexAt(const std::string& s, std::size_t at, int digits) {
  if (at + static_cast<std::size_t>(digits) > s.size()) return -1;
  long v = 0;
  for (int k = 0; k < digits; ++k) {
    const int h = hexValue(s[at + static_cast<std::size_t>(k)]);
    if (h < 0) return -1;
    v = v * 16 + h;
  }
  return v;
}

void appendUtf8(std::string& out, long cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xe0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

}  // namespace

std::string escapeName(const std::string& raw) {
  std::string out;
  out.reserve(raw.size());
  char buf[8];
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto c = static_cast<unsigned char>(raw[i]);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      std::snprintf(buf, sizeof buf, "\\x%02x", c);
      out += buf;
    } else if (c == 0xc2 && i + 1 < raw.size() && static_cast<unsigned char>(raw[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(raw[i + 1]) <= 0x9f) {
      // U+0080 .. U+009F, the C1 controls (U+0085 breaks lines for some readers).
      std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(raw[i + 1]));
      out += buf;
      ++i;
    } else if (c == 0xe2 && i + 2 < raw.size() && static_cast<unsigned char>(raw[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(raw[i + 2]) == 0xa8 || static_cast<unsigned char>(raw[i + 2]) == 0xa9)) {
      // U+2028 and U+2029, the line and paragraph separators.
      std::snprintf(buf, sizeof buf, "\\u%04x", 0x2000 + static_cast<unsigned char>(raw[i + 2]) - 0x80);
      out += buf;
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string unescapeName(const std::string& escaped) {
  std::string out;
  out.reserve(escaped.size());
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char c = escaped[i];
    if (c != '\\' || i + 1 == escaped.size()) {
      out += c;
      continue;
    }
    const char e = escaped[i + 1];
    if (e == '\\' || e == '"') {
      out += e;
      ++i;
    } else if (e == 'x' && hexAt(escaped, i + 2, 2) >= 0) {
      out += static_cast<char>(hexAt(escaped, i + 2, 2));
      i += 3;
    } else if (e == 'u' && hexAt(escaped, i + 2, 4) >= 0) {
      appendUtf8(out, hexAt(escaped, i + 2, 4));
      i += 5;
    } else {
      out += c;
    }
  }
  return out;
}

std::string UniqueNames::give(const std::string& raw, bool& changed) {
  std::string name = raw.empty() ? std::string(kEmptyName) : escapeName(raw);
  if (!taken_.insert(name).second) {
    int& next = nextSuffix_[name];
    if (next < 2) next = 2;
    std::string tried;
    do {
      tried = name + "#" + std::to_string(next++);
    } while (!taken_.insert(tried).second);
    name = std::move(tried);
  }
  changed = name != raw;
  return name;
}

}  // namespace qplace
