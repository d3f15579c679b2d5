// The library's side of the host's fatal internal error protocol, used by every
// report or check that meets a broken link in the host's data.
#ifndef BASAPLACE_HOST_BASAPFATAL_H
#define BASAPLACE_HOST_BASAPFATAL_H

// Reports a fatal internal error found at `line` of the library source
// `source` ("basapsupp", "basaptst"):
//  1. when the environment variable ZOR_SHOW_INTERNAL_ERROR is set (read at
//     each call), `detail` goes to the message manager's error text;
//  2. the message manager's fatal operation is called with the fixed text
//     "A fatal error occurred. The process will now exit.", the library's tag,
//     `source`, `line`, the version "1.0" and `code`.
// It then returns whenever the host's fatal operation returns; the caller goes
// on with its next step. `detail` is already formatted; null sends "".
void basapInternalError(const char* source, unsigned short line, int code,
                        const char* detail);

// Reports from the current source line.
#define BASAP_INTERNAL_ERROR(source, code, detail) \
  basapInternalError((source), static_cast<unsigned short>(__LINE__), (code), (detail))

#endif
