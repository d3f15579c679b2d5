// Planting the faults of a generated design (see Faults in designgen.h).
#ifndef BASAPLACE_STANDIN_GEN_FAULTS_H
#define BASAPLACE_STANDIN_GEN_FAULTS_H

#include "host/standin/gen/plan.h"

namespace designgen {
namespace detail {

// Records the register faults that the plan laid out, breaks the site links
// of the site faults (the design must be placed when there are any) and
// adds the replicated pins; fills g.planted. Throws std::invalid_argument
// when the netlist has too few 2-pin nets in distinct clusters for the
// replicated pins asked.
void plantFaults(standin::Design& d, Generated& g, const Plan& plan, const Faults& faults, Rng& rng);

}  // namespace detail
}  // namespace designgen

#endif
