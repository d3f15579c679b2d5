// The design summary of the support object: part, usage, totals, every
// component and signal, the top module's ports, the constraints and the
// component characteristics.
#include <string>
#include <vector>

#include "host/npdevice.h"
#include "host/pmpart.h"
#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_dump.h"

using basapdump::drain;
using basapdump::endLine;
using basapdump::printTitle;

namespace {

// The text of a part's package or speed grade, "NA" when the part has none.
const char* partText(const UT_STROBJ* obj) {
  const char* text = obj != nullptr ? obj->getstring(0) : nullptr;
  return text != nullptr ? text : "NA";
}

// One line of the part identification: label and value, then the line end.
void partLine(const char* label, const char* value) {
  ut_msgman->print(label).print(value);
  endLine();
}

}  // namespace

void AP_SUPP::dumpDesign(const char* title, int /*mode*/) {
  printTitle(title);

  PM_DEVPIC* part = design->getdevice()->getdevpic();
  partLine("Design:  ", design->getname());
  partLine("\tFamily:  ", part->getPmName(0));
  partLine("\tDevice:  ", part->getDeviceName());
  partLine("\tPackage: ", partText(part->getpackage()));
  partLine("\tSpeed:   ", partText(part->getspeed()));
  ut_msgman->print("\n");

  UP_INFO* info = design->getinfo();
  info->dumpusage(0);
  ut_msgman->print(neoform("The pack level = %s\n", design->isLevelLE() ? "LE" : "SLICE"));
  ut_msgman->print(neoform("Total signals = %d\n", design->getnumsignals()));

  udb::PhyView* view = design->getphyview();
  const std::vector<udb::PhyPort*> ports = drain(view->getTopMod()->getPortIter());
  const int numPorts = static_cast<int>(ports.size());
  ut_msgman->print(neoform("Total ports = %d\n", numPorts));
  const std::vector<udb::Constraint*> constraints =
      drain(view->getConstraintIter(udb::CONSTRAINT_ALL, 0));
  const int numConstraints = static_cast<int>(constraints.size());
  ut_msgman->print(neoform("Total constraints = %d\n", numConstraints));

  ut_msgman->print(neoform("\n\n[Dump Total %d Comps]\n", design->getnumcomps()));
  for (int i = 0; i < design->getnumcomps(); ++i) dumpComp(design->getcomp(i), "", 0);
  const std::string signalsHeading =
      neoform("\n[Dump Total %d Signals]\n", design->getnumsignals());
  dumpAllSignals(signalsHeading.c_str(), 0);

  ut_msgman->print(neoform("\n[Dump Total %d ports]\n", numPorts));
  for (int k = 0; k < numPorts; ++k)
    ut_msgman->print(neoform("\tPort%-3d %-6s\n", k, ports[k]->getName().c_str()));
  ut_msgman->print(neoform("\n[Dump Total %d constraints]\n", numConstraints));
  for (int k = 0; k < numConstraints; ++k)
    ut_msgman->print(neoform("\tConstraint%-3d %s\n", k, constraints[k]->toString().c_str()));
  ut_msgman->print("[End]\n");
  basapdump::flush();

  if (info->getnumcompchars() != 0) {
    ut_msgman->print(neoform("\n[Dump %d comp characteristics]\n", info->getnumcompchars()));
    for (int i = 0; i < info->getnumcompchars(); ++i)
      info->getcompchar(i)->dump(neoform("\tCompChar=%-3d : ", i));
    ut_msgman->print("[End]\n");
    basapdump::flush();
  }
}

void AP_SUPP::dumpUsage(const char* title) {
  printTitle(title);
  design->getinfo()->dumpusage(0);
}
