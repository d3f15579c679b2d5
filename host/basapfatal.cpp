#include "host/basapfatal.h"

#include <cstdlib>

#include "host/ututil.h"

namespace {
// Identifies this library in the host's fatal reports.
const char kFatalTag[] = "bq7Xa";
const char kFatalText[] = "A fatal error occurred. The process will now exit.";
}  // namespace

void basapInternalError(const char* source, unsigned short line, int code,
                        const char* detail) {
  if (std::getenv("ZOR_SHOW_INTERNAL_ERROR") != nullptr)
    ut_msgman->errtext(detail != nullptr ? detail : "", 0);
  ut_msgman->fatal(kFatalText, kFatalTag, source, line, "1.0", code, 0);
}
