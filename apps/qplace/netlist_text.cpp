// Reading the netlist file's text and parsing it into a JSON document.
#include "qplace/netlist_text.h"

#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <vector>

#include "qplace/memory_budget.h"
#include "qplace/netlist_reader.h"

namespace qplace {

namespace {

[[noreturn]] void fail(const std::string& source, const std::string& what) { throw ReadError(source + ": " + what); }

// Closes the file however the reading ends.
struct GzCloser {
  gzFile f;
  ~GzCloser() { gzclose(f); }
};

}  // namespace

std::uint64_t effectiveMemoryLimit(std::uint64_t given) {
  if (given != 0) return given;
  const std::uint64_t avail = availableMemory();
  return avail != 0 ? avail : std::numeric_limits<std::uint64_t>::max();
}

void refuseMemory(const std::string& source, std::uint64_t needed, std::uint64_t limit, bool given,
                  const char* what, bool atLeast) {
  fail(source, std::string("the netlist is too big: ") + what + " needs " + (atLeast ? "at least " : "about ") +
                   byteText(needed) +
                   " of memory, " + (given ? "the limit is " : "only ") + byteText(limit) +
                   (given ? "" : " available"));
}

std::string readNetlistBytes(const std::string& path, std::uint64_t memoryLimit) {
  const bool given = memoryLimit != 0;
  const std::uint64_t limit = effectiveMemoryLimit(memoryLimit);
  // The file's size is the least its text can be (a gzip file's text is
  // larger): a file too big is refused before any of it is read.
  struct stat st {};
  std::uint64_t fileBytes = 0;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) fileBytes = static_cast<std::uint64_t>(st.st_size);
  if (parseBytes(fileBytes) > limit) refuseMemory(path, parseBytes(fileBytes), limit, given, "reading it", true);

  errno = 0;
  gzFile f = gzopen(path.c_str(), "rb");
  if (f == nullptr)
    fail(path, std::string("cannot open the file") + (errno != 0 ? std::string(" (") + std::strerror(errno) + ")" : ""));
  GzCloser closer{f};
  gzbuffer(f, 1 << 17);
  std::string text;
  text.reserve(static_cast<std::size_t>(fileBytes));
  std::vector<char> chunk(1 << 20);
  int n = 0;
  while ((n = gzread(f, chunk.data(), static_cast<unsigned>(chunk.size()))) > 0) {
    text.append(chunk.data(), static_cast<std::size_t>(n));
    // A compressed text grows past the file's size: checked as it comes.
    if (parseBytes(text.size()) > limit)
      refuseMemory(path, parseBytes(text.size()), limit, given, "reading it", true);
  }
  int err = Z_OK;
  const char* msg = gzerror(f, &err);
  std::string why = msg != nullptr ? msg : "";
  if (why.rfind(path + ": ", 0) == 0) why.erase(0, path.size() + 2);  // zlib names the file too
  // An end of input inside a gzip stream: zlib returns what it inflated and
  // then reports Z_BUF_ERROR.
  if (err == Z_BUF_ERROR) fail(path, "truncated gzip file");
  if (err == Z_DATA_ERROR) fail(path, "corrupt gzip file (" + why + ")");
  if (n < 0 || err != Z_OK) fail(path, "cannot read the file (" + why + ")");
  text.shrink_to_fit();
  return text;
}

nlohmann::json parseNetlistJson(const std::string& text, const std::string& source) {
  // The depth as the parser will see it: brackets outside strings, a string
  // running from an unescaped quote to the next. The parser stops at its
  // first syntax error, so it never nests deeper than this count.
  int depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) {
        std::size_t line = 1, lineStart = 0;
        for (std::size_t k = 0; k < i; ++k)
          if (text[k] == '\n') {
            ++line;
            lineStart = k + 1;
          }
        fail(source, "nesting deeper than " + std::to_string(kMaxNesting) + " levels at line " + std::to_string(line) +
                         ", column " + std::to_string(i - lineStart + 1));
      }
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    // A syntax error, or a number too large for a double (out_of_range).
    std::string what = e.what();
    const std::size_t cut = what.find("] ");
    if (cut != std::string::npos) what = what.substr(cut + 2);
    fail(source, "malformed JSON: " + what);
  }
}

}  // namespace qplace
