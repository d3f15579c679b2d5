// The stand-in host's utility services, as seen by tests and examples: the
// message manager's log, what was posted or reported, and the drivable clock
// and peak-memory reading. The library itself never includes this header.
#ifndef BASAPLACE_STANDIN_UTIL_H
#define BASAPLACE_STANDIN_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/ututil.h"

namespace standin {

// The stand-in message manager; ut_msgman points at it from load time.
// Printed text goes to standard output, into a buffer while capturing, or
// nowhere while discarding. Error texts and fatal reports are recorded (and
// written to standard error when neither capturing nor discarding); the
// fatal operation returns to its caller.
class MessageLog : public UT_MSGMAN {
public:
  struct Fatal {
    std::string text, tag, source;
    unsigned short line;
    std::string version;
    int code;
    int flag;
    std::size_t at = 0;  // length of the captured text when it was reported
  };

  // A manipulator applied while capturing: "endl", "flush" or "other", and
  // the number of prints made before it.
  struct Manip {
    std::string name;
    std::size_t afterPrints;
  };

  void errtext(const char* text, int flag) override;
  void fatal(const char* text, const char* tag, const char* source,
             unsigned short line, const char* version, int code,
             int flag) override;
  UT_MSGMAN& manip(std::ostream& (*m)(std::ostream&)) override;
  UT_MSGMAN& print(const char* text) override;

  // Starts capturing into a fresh buffer and clears the records (prints,
  // errors and fatals).
  void capture();
  // Stops capturing or discarding; output goes to standard output again.
  void release();
  // Drops every print and manipulator until release, at the cost of a call:
  // a null sink for timing reports without a terminal or a buffer.
  void discard();
  // The captured text so far, and the same with the buffer cleared.
  const std::string& text() const { return buffer_; }
  std::string take();

  std::vector<std::string> prints;  // texts given to print while capturing, one per call
  std::vector<std::string> errors;  // error texts, in order
  std::vector<Fatal> fatals;        // fatal reports, in order
  std::vector<Manip> manips;        // manipulators while capturing, in order

private:
  enum Mode { PRINT, CAPTURE, DISCARD };
  Mode mode_ = PRINT;
  std::string buffer_;
};

// The stand-in's message manager object (the one ut_msgman designates).
MessageLog& messages();

// A catalogue message posted through msgManager.
struct PostedMessage {
  std::string module;
  std::string id;
  std::vector<std::string> args;
};
// Every message posted so far, in order. Posting also prints the catalogue
// text, with its arguments filled in and a newline, through ut_msgman.
std::vector<PostedMessage>& postedMessages();

// A call of _upInternalFatalErrorBase, which records it and returns.
struct InternalError {
  std::string source;
  int line;
  std::string format;
  std::vector<std::string> args;
};
std::vector<InternalError>& internalErrors();

// Clears the posted messages and the internal errors.
void clearRecords();

// From now on every UT_TIMER reads exactly these values, in seconds, from
// get_delta_real and get_delta_cpu, until releaseClock.
void driveClock(double real, double cpu);
void releaseClock();

// From now on UT_MEM_USAGE::getPeakMemoryUsage returns `bytes`, until
// releasePeakMemory; otherwise it reports the process's peak resident size.
void setPeakMemory(std::uint64_t bytes);
void releasePeakMemory();

}  // namespace standin

#endif
