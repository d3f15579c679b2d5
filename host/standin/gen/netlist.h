// The netlist of a generated design, made from its plan.
#ifndef BASAPLACE_STANDIN_GEN_NETLIST_H
#define BASAPLACE_STANDIN_GEN_NETLIST_H

#include "host/standin/gen/plan.h"

namespace designgen {
namespace detail {

// Connects the components of `g` (made after `plan`): the clock nets, each
// control group's clock enable and set/reset nets, a few high-fanout nets,
// a local net on every LUT output, most register outputs and the input
// I/O, then the register D pins and output I/O left over. Fills g.clocks.
void buildNetlist(standin::Design& d, Generated& g, const Plan& plan, const Params& params, Rng& rng);

}  // namespace detail
}  // namespace designgen

#endif
