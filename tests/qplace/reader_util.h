// Helpers of the placer's tests: the test netlists, files, errors.
#ifndef QPLACE_TESTS_READER_UTIL_H
#define QPLACE_TESTS_READER_UTIL_H

#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "qplace/netlist_reader.h"

inline standin::Comp* byName(standin::Design& d, const std::string& name) {
  for (standin::Comp& c : d.comps)
    if (c.name == name) return &c;
  return nullptr;
}

// The whole text of a file, empty when it cannot be read.
inline std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The text of a netlist of tests/qplace/data.
inline std::string readData(const std::string& name) {
  const std::string text = fileText(std::string(QPLACE_TEST_DATA) + "/" + name);
  EXPECT_FALSE(text.empty()) << name;
  return text;
}

inline qplace::LogicNetlist readDataNetlist(const std::string& name) {
  return qplace::readLogicNetlistText(readData(name), name);
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// `text` compressed as a gzip file.
inline std::string gzipped(const std::string& text) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&z, text.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// The error that `read` (a read into the design it is given) throws; a
// failed read leaves the design as it was.
inline std::string readErrorOf(const std::function<void(standin::Design&)>& read) {
  standin::Design d;
  try {
    read(d);
  } catch (const qplace::ReadError& e) {
    EXPECT_TRUE(d.comps.empty() && d.signals.empty() && d.prims.empty()) << e.what();
    return e.what();
  }
  return "no error";
}

inline std::string errorOf(const std::string& text, const qplace::ReadOptions& opt = {}) {
  return readErrorOf([&](standin::Design& d) { qplace::readNetlistText(text, "bad.json", d, opt); });
}

inline std::string fileErrorOf(const std::string& path, const qplace::ReadOptions& opt = {}) {
  return readErrorOf([&](standin::Design& d) { qplace::readNetlistFile(path, d, opt); });
}

#endif
