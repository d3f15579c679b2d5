// Lines, words and numbers of the timing settings files.
#include "qplace/timing/settings_text.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>
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

bool readFile(const std::string& path, std::string& text) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream all;
  all << in.rdbuf();
  if (in.bad()) return false;
  text = all.str();
  return true;
}

}  // namespace settings_text
}  // namespace qplace
