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

namespace {

// Builds the document from the parser's events, leaving out the parts of a
// yosys netlist that the reader never looks at and that make up much of
// its text: the attributes of the netnames (source locations), the cells'
// port_directions, and every cell attribute but qplace's own. The parser
// still reads them, so a syntax error there is found as anywhere else.
class LeanDocument {
public:
  using json = nlohmann::json;

  json root;
  std::string error;  // the parser's message, when it failed

  bool null() { return put(nullptr); }
  bool boolean(bool v) { return put(v); }
  bool number_integer(json::number_integer_t v) { return put(v); }
  bool number_unsigned(json::number_unsigned_t v) { return put(v); }
  bool number_float(json::number_float_t v, const json::string_t&) { return put(v); }
  bool string(json::string_t& v) { return put(std::move(v)); }
  bool binary(json::binary_t&) { return put(nullptr); }  // not in JSON text
  bool start_object(std::size_t) { return open(json::value_t::object); }
  bool start_array(std::size_t) { return open(json::value_t::array); }
  bool end_object() { return close(); }
  bool end_array() { return close(); }
  bool key(json::string_t& k) {
    if (skipping_ > 0) return true;
    skipNext_ = leftOut(k);
    keys_.back() = std::move(k);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const json::exception& e) {
    error = e.what();
    return false;
  }

private:
  // Whether the value of key k, in the object open last, is left out.
  bool leftOut(const std::string& k) const {
    // keys_[0] is the document's key ("modules"), keys_[1] a module's
    // name, keys_[2] the module's part, keys_[3] a net's or cell's name.
    const std::size_t depth = keys_.size();
    if (depth < 5 || keys_[0] != "modules") return false;
    if (depth == 5 && keys_[2] == "netnames") return k == "attributes";
    if (depth == 5 && keys_[2] == "cells") return k == "port_directions";
    if (depth == 6 && keys_[2] == "cells" && keys_[4] == "attributes") return k.rfind("qplace_", 0) != 0;
    return false;
  }
  // Places a value where the parser is: the document, an array's next
  // element or the value of the key just read.
  template <class V>
  bool put(V&& v) {
    if (skipping_ > 0) return true;
    if (skipNext_) {
      skipNext_ = false;
      return true;
    }
    place(json(std::forward<V>(v)));
    return true;
  }
  json* place(json&& v) {
    if (open_.empty()) {
      root = std::move(v);
      return &root;
    }
    json& at = *open_.back();
    if (at.is_array()) {
      at.push_back(std::move(v));
      return &at.back();
    }
    json& slot = at[keys_.back()];
    slot = std::move(v);
    return &slot;
  }
  bool open(json::value_t type) {
    if (skipping_ > 0 || skipNext_) {
      skipNext_ = false;
      ++skipping_;
      return true;
    }
    open_.push_back(place(json(type)));
    keys_.emplace_back();
    return true;
  }
  bool close() {
    if (skipping_ > 0) {
      --skipping_;
      return true;
    }
    open_.pop_back();
    keys_.pop_back();
    return true;
  }

  std::vector<json*> open_;          // the arrays and objects open, outermost first
  std::vector<std::string> keys_;    // per open one: its last key ("" in an array)
  int skipping_ = 0;                 // depth within a value left out
  bool skipNext_ = false;            // the next value is left out
};

}  // namespace

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
  // A syntax error, or a number too large for a double (out_of_range),
  // ends the parse with the parser's message.
  LeanDocument doc;
  if (!nlohmann::json::sax_parse(text, &doc)) {
    std::string what = doc.error;
    const std::size_t cut = what.find("] ");
    if (cut != std::string::npos) what = what.substr(cut + 2);
    fail(source, "malformed JSON: " + what);
  }
  return std::move(doc.root);
}

}  // namespace qplace
