// Planting the faults of a generated design.
#include "host/standin/gen/faults.h"

#include <stdexcept>

namespace designgen {
namespace detail {

namespace {

standin::Site* siteOf(standin::Plc* plc, int pos) {
  return static_cast<standin::Site*>(plc->sites[static_cast<std::size_t>(pos)]);
}

standin::Comp* slotOf(standin::Site* site, standin::Slot slot) {
  return static_cast<standin::Comp*>(site->slots[slot]);
}

// Takes a component off its site and out of the site's slot table.
void takeOff(standin::Design& d, standin::Comp* comp) {
  standin::Site* site = comp->site;
  d.unplace(comp);
  for (int slot = standin::L0; slot <= standin::R1; ++slot)
    if (site->slots[slot] == comp) d.setSlot(site, static_cast<standin::Slot>(slot), nullptr);
}

// A second pin of the load's component pin on 2-pin LUT nets whose drivers
// lie in distinct clusters: random nets first, then any in LUT order.
void replicatePins(standin::Design& d, Generated& g, const Plan& plan, int want, Rng& rng) {
  if (want == 0) return;
  std::vector<char> used(g.device.plcs.size(), 0);
  int got = 0;
  auto tryLut = [&](std::size_t i) {
    standin::Signal* sig = g.luts[i]->signals[LUT_Z];
    const std::size_t plc = static_cast<std::size_t>(plan.lutSpots[i].plc);
    if (sig == nullptr || sig->pins.size() != 2 || sig->numDrivers != 1 || used[plc]) return;
    const standin::SigPin* load = sig->pins[1];
    d.addLoad(sig, load->comp, load->pinid);
    used[plc] = 1;
    g.planted.replicatedPins.push_back(sig);
    ++got;
  };
  const std::size_t luts = g.luts.size();
  for (int tries = 0; luts > 0 && got < want && tries < 64 * want; ++tries)
    tryLut(rng.below(static_cast<std::uint32_t>(luts)));
  for (std::size_t i = 0; i < luts && got < want; ++i) tryLut(i);
  if (got < want)
    throw std::invalid_argument("designgen: too few 2-pin nets in distinct clusters for the replicated pins asked");
}

}  // namespace

void plantFaults(standin::Design& d, Generated& g, const Plan& plan, const Faults& faults, Rng& rng) {
  Planted& planted = g.planted;
  for (const FaultPlc& f : plan.faults) {
    standin::Plc* plc = g.device.plcs[static_cast<std::size_t>(f.plc)];
    switch (f.kind) {
      case Fault::SlotPair:
        planted.slotPairs.push_back(siteOf(plc, f.pos));
        break;
      case Fault::PlcRule:
        planted.plcRule.push_back(plc);
        break;
      case Fault::HalfPlcRule:
        planted.halfPlcRule.push_back(plc);
        break;
      case Fault::SharedSite: {
        // Site 0's occupant is its L0 LUT; site 1's L1 LUT now points there.
        standin::Comp* comp = slotOf(siteOf(plc, 1), standin::L1);
        takeOff(d, comp);
        comp->site = siteOf(plc, 0);
        planted.sharedSites.push_back(comp);
        break;
      }
      case Fault::SiteMismatch: {
        // Site 3 is empty; it names site 0's occupant its own.
        standin::Site* site = siteOf(plc, 0);
        standin::Comp* comp = site->comp;
        comp->site = siteOf(plc, 3);
        siteOf(plc, 3)->comp = comp;
        planted.siteMismatches.push_back(site);
        break;
      }
      case Fault::EmptySite: {
        standin::Comp* comp = slotOf(siteOf(plc, 2), standin::L1);
        takeOff(d, comp);
        comp->site = siteOf(plc, 3);
        planted.emptySites.push_back(comp);
        break;
      }
      case Fault::None:
        break;
    }
  }
  replicatePins(d, g, plan, faults.replicatedPins, rng);
}

}  // namespace detail

int siteRuleErrors(const Generated& g, int checks) {
  if (checks == 0) checks = 3;
  const Planted& p = g.planted;
  const int pairs = static_cast<int>(p.slotPairs.size());
  const int clusters = pairs + static_cast<int>(p.halfPlcRule.size()) +
                       (g.device.halfPlcRule ? 0 : static_cast<int>(p.plcRule.size()));
  return ((checks & 1) != 0 ? pairs : 0) + ((checks & 2) != 0 ? clusters : 0);
}

}  // namespace designgen
