// Primitive dumps of the support object: the design's primitives with their
// ports, and the database view's primitive definitions with their ports
// paired to the pins of the site type of the same name.
#include <algorithm>
#include <string>
#include <vector>

#include "host/basapfatal.h"
#include "host/npdevice.h"
#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_dump.h"

using basapdump::kSource;
using basapdump::printTitle;

namespace {

// Direction letter of a definition's port; unlike a design port's, a
// tristate port has a letter of its own.
char defPortLetter(udb::Direction dir) {
  return dir == udb::DIR_TRISTATE ? 'T' : basapdump::portLetter(dir);
}

bool isUsed(UP_DESIGN* design, udb::PhyPrimitive* def) {
  for (int j = 0; j < design->getnumprims(); ++j)
    if (design->getprim(j)->getphyprim() == def) return true;
  return false;
}

// Prints the port lines of a definition. Port q pairs with the site pin of
// the same position; after a count mismatch a "B" port takes no site pin,
// so that the other ports pair in order with the site pins. A line past the
// end of the ports or of the site pins shows "NA" on that side.
void printPortPairs(const std::vector<udb::PhyPrimPort*>& ports, NP_SITEPARAM* type,
                    bool mismatched) {
  const int numPorts = static_cast<int>(ports.size());
  const int numPins = type->getnumpins();
  int pin = -1;
  for (int q = 0; q < std::max(numPins, numPorts); ++q) {
    std::string portDir = "NA", portName = "NA";
    if (q < numPorts) {
      portDir = std::string(1, defPortLetter(ports[q]->getDirection()));
      portName = ports[q]->getName();
    }
    std::string pinDir = "?";
    const char* pinName = "NA";
    if (!(mismatched && portDir == "B")) {
      ++pin;
      if (pin < numPins) {
        const auto index = static_cast<unsigned short>(pin);
        pinDir = std::string(1, basapdump::pinLetter(type->getpintype(index)));
        if (pinDir != "?") pinName = type->getpinname(index);
      } else {
        pinDir = "NA";
      }
    }
    ut_msgman->print(neoform("\t\tPort%-2d(%s) %s primPort(%s) %s\n", q, portDir.c_str(),
                             portName.c_str(), pinDir.c_str(), pinName));
  }
}

}  // namespace

void AP_SUPP::dumpPrim(UP_PRIM* prim, const char* title) {
  printTitle(title);
  ut_msgman->print(neoform("%s ports=%d\n", prim->getname(), prim->getnumports()));
  for (int i = 0; i < prim->getnumports(); ++i) {
    UP_PORT* port = prim->getport(i);
    if (port->getid() != i)
      BASAP_INTERNAL_ERROR(
          kSource, 19,
          neoform("\t== WARNING: param pinid=%d, udb portid=%d ==\n", port->getid(), i));
    dumpPort(port, neoform("\tPort%-2d ", i));
  }
}

void AP_SUPP::dumpAllPrims(const char* title) {
  printTitle(title);
  const std::vector<udb::PhyPrimitive*> defs =
      basapdump::drain(design->getphyview()->getPrimIter());
  ut_msgman->print(neoform("[Primitives total=%d used=%d]\n", static_cast<int>(defs.size()),
                           design->getnumprims()));
  for (int i = 0; i < design->getnumprims(); ++i)
    dumpPrim(design->getprim(i), neoform("Used prim%d ", i));

  ut_msgman->print("\nAll Primitives\n");
  NP_DEVICE* device = design->getdevice();
  for (std::size_t k = 0; k < defs.size(); ++k) {
    udb::PhyPrimitive* def = defs[k];
    const std::string name = def->getName();
    // A definition with no site type of its name has nothing to pair with.
    NP_SITEPARAM* type = device->getsiteparambyname(name.c_str());
    if (type == nullptr) continue;
    const std::vector<udb::PhyPrimPort*> ports = basapdump::drain(def->getPortIter());
    const int numPorts = static_cast<int>(ports.size());
    const int numPins = type->getnumpins();
    ut_msgman->print(neoform("\t%s prim%d %s(%s) ports=%d\n",
                             isUsed(design, def) ? "Used" : "Unused", static_cast<int>(k),
                             name.c_str(), type->getname(), numPorts));
    const bool mismatched = numPins != numPorts;
    if (mismatched)
      BASAP_INTERNAL_ERROR(
          kSource, 19,
          neoform("\t== ERROR: NP_SITEPARAM pins=%d PhyPrimPort num=%d ==\n", numPins, numPorts));
    printPortPairs(ports, type, mismatched);
  }
}
