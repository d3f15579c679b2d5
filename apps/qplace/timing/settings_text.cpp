// Lines, words and numbers of the timing settings files.
#include "qplace/timing/settings_text.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace qplace {
namespace settings_text {

std::vector<Line> wordLines(const std::string& text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  for (int number = 1; pos <= text.size(); ++number) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    const std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    Line l;
    l.number = number;
    std::istringstream words(line);
    for (std::string w; words >> w;) l.words.push_back(w);
    if (!l.words.empty()) lines.push_back(std::move(l));
    pos = end + 1;
  }
  return lines;
}

bool parseNumber(const std::string& word, double& value) {
  if (word.empty()) return false;
  char* end = nullptr;
  errno = 0;
  const double v = std::strtod(word.c_str(), &end);
  if (end != word.c_str() + word.size() || errno == ERANGE || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool readFile(const std::string& path, std::string& text, std::string& error) {
  errno = 0;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    error = path + ": cannot open the file (" + std::strerror(errno) + ")";
    return false;
  }
  std::string all;
  char chunk[1 << 14];
  std::size_t n = 0;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) all.append(chunk, n);
  // A folder opens, and fails at the first read (EISDIR).
  const int readError = std::ferror(f) ? errno : 0;
  std::fclose(f);
  if (readError != 0) {
    error = path + ": cannot read the file (" + std::strerror(readError) + ")";
    return false;
  }
  if (all.compare(0, 3, "\xEF\xBB\xBF") == 0) all.erase(0, 3);
  text = std::move(all);
  return true;
}

}  // namespace settings_text
}  // namespace qplace
