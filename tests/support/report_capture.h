// A fixture for the report tests: captures the message manager for the
// length of a test, with the detail texts of internal errors shown; and
// the internal errors of the support object as captured.
#ifndef BASAPLACE_TESTS_SUPPORT_REPORT_CAPTURE_H
#define BASAPLACE_TESTS_SUPPORT_REPORT_CAPTURE_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/standin/standin_util.h"

// The internal errors reported so far, as "<code>:<detail>", checking that
// each came from the support object with its detail text.
inline std::vector<std::string> internalErrors() {
  const standin::MessageLog& log = standin::messages();
  EXPECT_EQ(log.errors.size(), log.fatals.size());
  std::vector<std::string> out;
  for (std::size_t i = 0; i < log.fatals.size() && i < log.errors.size(); ++i) {
    EXPECT_EQ(log.fatals[i].source, "basapsupp");
    EXPECT_EQ(log.fatals[i].text, "A fatal error occurred. The process will now exit.");
    EXPECT_EQ(log.fatals[i].version, "1.0");
    out.push_back(std::to_string(log.fatals[i].code) + ":" + log.errors[i]);
  }
  return out;
}

class ReportCapture : public ::testing::Test {
protected:
  ReportCapture() {
    setenv("ZOR_SHOW_INTERNAL_ERROR", "1", 1);
    log().capture();
  }
  ~ReportCapture() override {
    log().release();
    unsetenv("ZOR_SHOW_INTERNAL_ERROR");
  }

  static standin::MessageLog& log() { return standin::messages(); }

  // The text written so far, and the same with the capture started afresh.
  static std::string text() { return log().text(); }
  static std::string take() {
    std::string out = log().text();
    log().capture();
    return out;
  }
};

#endif
