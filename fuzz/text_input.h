// A fuzzer's input read as the text of a small settings file: its lines,
// and whether a refusal names a line of it.
#ifndef BASAPLACE_FUZZ_TEXT_INPUT_H
#define BASAPLACE_FUZZ_TEXT_INPUT_H

#include <cstdlib>
#include <string>
#include <vector>

namespace fuzz {

// The lines of `text`, split at '\n' (a text ending in '\n' ends in an
// empty line); at least one.
inline std::vector<std::string> textLines(const std::string& text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') lines.emplace_back();
    else lines.back() += c;
  }
  return lines;
}

// Whether `error` is "<source>:<line>: ..." with a line from 1 to `lines`.
inline bool namesALine(const std::string& error, const std::string& source, int lines) {
  const std::string head = source + ":";
  if (error.compare(0, head.size(), head) != 0) return false;
  const long line = std::strtol(error.c_str() + head.size(), nullptr, 10);
  const std::size_t colon = error.find(':', head.size());
  return line >= 1 && line <= lines && colon != std::string::npos && error.compare(colon, 2, ": ") == 0;
}

}  // namespace fuzz

#endif
