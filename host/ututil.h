// Host utility library: message output, text formatting, catalogue messages,
// exceptions, timers, memory usage and host strings.
//
// These are declarations of services that the host program provides; the
// library is compiled against them and the host (or, for builds and tests
// without it, the stand-in host under host/standin/) supplies the definitions.
#ifndef BASAPLACE_HOST_UTUTIL_H
#define BASAPLACE_HOST_UTUTIL_H

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#pragma GCC visibility push(default)

// A point of the host's geometry: x, then y.
struct UT_POINT {
  int x;
  int y;
};

// The host's message manager. The library uses four virtual operations, in
// this slot order; the destructor comes after them.
class UT_MSGMAN {
public:
  // Writes one error text; `flag` is 0.
  virtual void errtext(const char* text, int flag) = 0;
  // Reports a fatal internal error. Whether it returns is the host's choice.
  virtual void fatal(const char* text, const char* tag, const char* source,
                     unsigned short line, const char* version, int code,
                     int flag) = 0;
  // Applies an output-stream manipulator (std::endl or std::flush).
  virtual UT_MSGMAN& manip(std::ostream& (*m)(std::ostream&)) = 0;
  // Appends a text to the log; the text carries its own newlines and tabs.
  virtual UT_MSGMAN& print(const char* text) = 0;

  virtual ~UT_MSGMAN();
};

// The host's message manager object.
extern UT_MSGMAN* ut_msgman;

// printf-style formatting into storage owned by the host. The caller never
// frees the result; it stays valid while it is passed as an argument of the
// next neoform call.
char* neoform(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Posts numbered messages of one module of the host's message catalogue.
class msgManager {
public:
  explicit msgManager(const char* module);
  ~msgManager();
  msgManager(const msgManager&) = delete;
  msgManager& operator=(const msgManager&) = delete;

  // Posts message `id` with its text arguments (const char*), as many as the
  // catalogue entry takes. Returns the host's status.
  int postMsg(const char* id, ...);

private:
  const char* module_;
};

// Base of the host's exceptions.
class UT_EXCEPTION {
public:
  UT_EXCEPTION(int code, const char* source, int line, const char* text);
  UT_EXCEPTION(const UT_EXCEPTION& other);
  UT_EXCEPTION& operator=(const UT_EXCEPTION& other);
  virtual ~UT_EXCEPTION();

  int getcode() const { return code_; }
  const char* getsource() const { return source_; }
  int getline() const { return line_; }
  // The text given at construction; "" when none was given.
  const char* gettext() const { return text_.c_str(); }

private:
  int code_;
  const char* source_;
  int line_;
  std::string text_;
};

// Thrown by value to end the run after a reported error; the host catches it.
class UT_EXCEPTION_EXIT : public UT_EXCEPTION {
public:
  UT_EXCEPTION_EXIT(int code, const char* source, int line, const char* text);
  ~UT_EXCEPTION_EXIT() override;
};

// Reports an internal error of the design layer from a format and its
// arguments. Whether it returns is the host's choice.
void _upInternalFatalErrorBase(const char* source, int line, std::string format,
                               std::vector<std::string>& args);

// A clock. Only differences of two readings are meaningful.
class UT_TIMER {
public:
  UT_TIMER();
  ~UT_TIMER();
  UT_TIMER(const UT_TIMER&) = delete;
  UT_TIMER& operator=(const UT_TIMER&) = delete;

  // Real (wall-clock) time in seconds.
  double get_delta_real();
  // Processor time of the process in seconds.
  double get_delta_cpu();

private:
  double realOrigin_;
  double cpuOrigin_;
};

class UT_MEM_USAGE {
public:
  // The process's peak memory in bytes.
  static std::uint64_t getPeakMemoryUsage();
};

// A host string. getstring returns null when there is no text.
class UT_STROBJ {
public:
  explicit UT_STROBJ(const char* text);
  UT_STROBJ(const UT_STROBJ& other);
  UT_STROBJ& operator=(const UT_STROBJ& other) = delete;
  ~UT_STROBJ();

  const char* getstring(unsigned char which) const;

private:
  char* text_;
};

#pragma GCC visibility pop

#endif
