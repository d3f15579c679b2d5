// Message manager, catalogue messages, exceptions and internal-error reports
// of the stand-in host.
#include <cstdarg>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>

#include "host/standin/standin_util.h"

namespace standin {

void MessageLog::errtext(const char* text, int /*flag*/) {
  errors.emplace_back(text != nullptr ? text : "");
  if (mode_ == PRINT) std::cerr << errors.back();
}

void MessageLog::fatal(const char* text, const char* tag, const char* source,
                       unsigned short line, const char* version, int code,
                       int flag) {
  fatals.push_back(Fatal{text ? text : "", tag ? tag : "", source ? source : "",
                         line, version ? version : "", code, flag, buffer_.size()});
  if (mode_ == PRINT)
    std::cerr << text << " (" << source << ":" << line << ", code " << code << ")\n";
}

UT_MSGMAN& MessageLog::manip(std::ostream& (*m)(std::ostream&)) {
  switch (mode_) {
    case PRINT:
      m(std::cout);
      break;
    case CAPTURE: {
      std::ostringstream os;
      m(os);
      buffer_ += os.str();
      using Manipulator = std::ostream& (*)(std::ostream&);
      const char* name = m == static_cast<Manipulator>(std::endl)     ? "endl"
                         : m == static_cast<Manipulator>(std::flush) ? "flush"
                                                                      : "other";
      manips.push_back(Manip{name, prints.size()});
      break;
    }
    case DISCARD:
      break;
  }
  return *this;
}

UT_MSGMAN& MessageLog::print(const char* text) {
  switch (mode_) {
    case PRINT:
      std::cout << text;
      break;
    case CAPTURE:
      buffer_ += text;
      prints.emplace_back(text);
      break;
    case DISCARD:
      break;
  }
  return *this;
}

void MessageLog::capture() {
  mode_ = CAPTURE;
  buffer_.clear();
  prints.clear();
  errors.clear();
  fatals.clear();
  manips.clear();
}

void MessageLog::release() { mode_ = PRINT; }

void MessageLog::discard() { mode_ = DISCARD; }

std::string MessageLog::take() {
  std::string out;
  out.swap(buffer_);
  return out;
}

MessageLog& messages() {
  static MessageLog log;
  return log;
}

std::vector<PostedMessage>& postedMessages() {
  static std::vector<PostedMessage> posted;
  return posted;
}

std::vector<InternalError>& internalErrors() {
  static std::vector<InternalError> errors;
  return errors;
}

void clearRecords() {
  postedMessages().clear();
  internalErrors().clear();
}

namespace {

struct CatalogueEntry {
  const char* module;
  const char* id;
  int numArgs;
  const char* text;
};

// The stand-in's catalogue: the placement support messages.
const CatalogueEntry kCatalogue[] = {
    {"basaplace", "1001", 1, "Logic cluster %s breaks the register packing rules."},
    {"basaplace", "1002", 2, "Component %s is placed on site %s, which has no occupant."},
    {"basaplace", "1003", 3, "Component %s is placed on site %s, which is held by component %s."},
};

// Fills the %s fields of a catalogue text in order.
std::string fillText(const char* text, const std::vector<std::string>& args) {
  std::string out;
  std::size_t next = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      out += next < args.size() ? args[next] : "";
      ++next;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace
}  // namespace standin

UT_MSGMAN::~UT_MSGMAN() = default;
UT_MSGMAN* ut_msgman = &standin::messages();

msgManager::msgManager(const char* module) : module_(module) {}
msgManager::~msgManager() = default;

int msgManager::postMsg(const char* id, ...) {
  const standin::CatalogueEntry* entry = nullptr;
  for (const auto& e : standin::kCatalogue)
    if (std::string(e.module) == module_ && std::string(e.id) == id) entry = &e;
  standin::PostedMessage posted{module_, id, {}};
  if (entry == nullptr) {
    // An unknown message takes no arguments.
    standin::postedMessages().push_back(posted);
    ut_msgman->print(("unknown message " + posted.module + " " + posted.id + "\n").c_str());
    return 1;
  }
  va_list ap;
  va_start(ap, id);
  for (int i = 0; i < entry->numArgs; ++i) {
    const char* arg = va_arg(ap, const char*);
    posted.args.emplace_back(arg != nullptr ? arg : "(null)");
  }
  va_end(ap);
  standin::postedMessages().push_back(posted);
  ut_msgman->print((standin::fillText(entry->text, posted.args) + "\n").c_str());
  return 0;
}

UT_EXCEPTION::UT_EXCEPTION(int code, const char* source, int line, const char* text)
    : code_(code), source_(source), line_(line), text_(text != nullptr ? text : "") {}
UT_EXCEPTION::UT_EXCEPTION(const UT_EXCEPTION& other) = default;
UT_EXCEPTION& UT_EXCEPTION::operator=(const UT_EXCEPTION& other) = default;
UT_EXCEPTION::~UT_EXCEPTION() = default;

UT_EXCEPTION_EXIT::UT_EXCEPTION_EXIT(int code, const char* source, int line, const char* text)
    : UT_EXCEPTION(code, source, line, text) {}
UT_EXCEPTION_EXIT::~UT_EXCEPTION_EXIT() = default;

void _upInternalFatalErrorBase(const char* source, int line, std::string format,
                               std::vector<std::string>& args) {
  standin::internalErrors().push_back(
      standin::InternalError{source != nullptr ? source : "", line, format, args});
}
