// A caller of the library's public interface, built against the installed
// headers and library: each class family's file calls every public member
// with the argument types of its declaration and checks, at compile time,
// the exact type of every result.
#ifndef BASAPLACE_CONSUMER_CALLS_H
#define BASAPLACE_CONSUMER_CALLS_H

#include <type_traits>

// Evaluates expr after checking at compile time that it yields exactly `type`
// (a reference where the member returns one, void where it returns nothing).
#define CALL(type, expr)                                                                  \
  ([&]() -> type {                                                                        \
    static_assert(std::is_same<type, decltype(expr)>::value, #expr " does not yield " #type); \
    return expr;                                                                          \
  }())

// Each family's calls; each returns the number of results that are not what
// the calls must give.
int callLinsys();
int callMatching();
int callSupport();
int callStats();
int callPlacer();

#endif
