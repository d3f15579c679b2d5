// Net weights and critical pairs of the quadratic model from the slacks:
// what makes global placement timing-driven.
//
// A net of criticality c (TimingAnalysis::netCriticality: the largest over
// its signal's connections between two units of 1 - slack / period)
// weighs 1 + boost * c^exponent; a net without a signal (a register
// group's, say) keeps its weight. The placer takes the weights afresh from
// an analysis of the current positions after the first solves and every
// few spreading iterations (global_place.h), with the ports left loose
// (TimingAnalysis::setLoosePorts), so the weights follow the placement as
// it spreads; each weight stays within [1, 1 + boost].
//
// A design whose timed paths all run between ports (no clock domain timed:
// no register, or none clocked) has its boosts scaled by
// globalTimingShare(): global placement holds the I/O units where a short
// wirelength-only spreading put them, and the detailed improvement moves
// them afterwards, so the paths that global placement straightens end at
// provisional places, and the weights cost wirelength for little of the
// final critical path.
#ifndef QPLACE_TIMING_NET_WEIGHTS_H
#define QPLACE_TIMING_NET_WEIGHTS_H

#include <vector>

#include "qplace/timing/analysis.h"

namespace qplace {

// The share of the global boosts to apply after this analysis: `portsShare`
// (clamped to [0, 1]) when the worst domain timed is the ports domain, 1
// otherwise (a clock domain timed, or nothing timed). O(domains).
double globalTimingShare(const TimingAnalysis& analysis, double portsShare);

// Writes the weights of the first numNets() nets of the analysis's model
// into `weights` (grown with weights of 1 when shorter; entries beyond are
// left as they are) from the analysis as it stands. boost >= 0,
// exponent > 0. O(connections + nets).
void setTimingWeights(const TimingAnalysis& analysis, const Model& model, double boost, double exponent,
                      std::vector<double>& weights);

// Writes the critical connections of the analysis as pairs of the
// quadratic model (Model::pairUnits, pairWeight; replaced whole): each
// connection between two units whose criticality c has boost * c^exponent
// of at least `floor` joins its driver's unit to its load's with that
// weight; a connection repeated between the same two units (a signal on
// two pins of one load) counts once, at its largest weight. In the order
// of the timing graph's connections. boost >= 0, exponent > 0, floor > 0.
// O(connections).
void setCriticalPairs(const TimingAnalysis& analysis, double boost, double exponent, double floor,
                      std::vector<int>& pairUnits, std::vector<double>& pairWeight);

}  // namespace qplace

#endif
