// The small text files of the timing settings (delay figures, clock
// periods): lines of blank-separated words, `#` starting a comment. Shared
// by their readers.
#ifndef QPLACE_TIMING_SETTINGS_TEXT_H
#define QPLACE_TIMING_SETTINGS_TEXT_H

#include <string>
#include <vector>

namespace qplace {
namespace settings_text {

struct Line {
  int number = 0;  // from 1
  std::vector<std::string> words;
};

// The lines of `text` that hold a word, comments removed. Linear.
std::vector<Line> wordLines(const std::string& text);

// A number written whole (as strtod reads it); false for anything else,
// an infinity or NaN included.
bool parseNumber(const std::string& word, double& value);

// The whole content of a file, without the UTF-8 byte-order mark some
// editors put first. False when it cannot be read, with `error` set to
// "<path>: cannot open the file (reason)" or "<path>: cannot read the file
// (reason)", the system's reason (a folder is refused: "Is a directory").
bool readFile(const std::string& path, std::string& text, std::string& error);

}  // namespace settings_text
}  // namespace qplace

#endif
