// Element dumps of the support object: components, signals, signal pins and
// ports, with the checks of the database's cross links on the way.
#include <cstring>
#include <string>

#include "host/basapfatal.h"
#include "host/npdevice.h"
#include "host/updesign.h"
#include "support/basapsupp.h"
#include "support/basapsupp_dump.h"

using basapdump::endLine;
using basapdump::kSource;
using basapdump::pinLetter;
using basapdump::portLetter;
using basapdump::printTitle;

namespace {

const char kTypeMismatch[] = "// ERROR: pin-type=%c and port-type=%c not match\n";

// Reports a pin whose type disagrees with its port's direction.
void checkPinType(char pin, char port) {
  if (pin != port) BASAP_INTERNAL_ERROR(kSource, 19, neoform(kTypeMismatch, pin, port));
}

// Prints each blank- or tab-separated token of a programming string on a
// line of its own; a null text prints nothing.
void printTokens(const char* text) {
  if (text == nullptr) return;
  std::string copy(text);
  char* rest = &copy[0];
  while (char* token = strtok_r(rest, " \t", &rest)) ut_msgman->print(neoform("\t\t%s\n", token));
}

}  // namespace

void AP_SUPP::dumpAllComps(const char* title, int brief) {
  printTitle(title);
  for (int i = 0; i < design->getnumcomps(); ++i) dumpComp(design->getcomp(i), "", brief);
}

void AP_SUPP::dumpAllSignals(const char* title, int brief) {
  printTitle(title);
  for (int i = 0; i < design->getnumsignals(); ++i) dumpSignal(design->getsignal(i), "", brief);
}

void AP_SUPP::dumpComp(UP_COMP* comp, const char* title, int brief) {
  printTitle(title);
  if (comp == nullptr) return;

  udb::PhyInstance* instance = comp->getinstance();
  const bool linked =
      instance != nullptr && instance->getAppData(UP_Access::m_PhyInstance_idx) == comp;
  if (!linked) BASAP_INTERNAL_ERROR(kSource, 1, "dumpComp");

  UP_PRIM* prim = comp->getprim();
  ut_msgman->print(neoform("%s%-4d: ", brief != 0 ? "Comp" : "Component", comp->getid()));
  if (UP_SITE* site = comp->getsite())
    ut_msgman->print(neoform("%-8s", site->getdsite()->getname()));
  ut_msgman->print(
      neoform(" %-8s\t%s\tpins=%d\t", comp->getname(false), prim->getname(), comp->getnumpins()));
  endLine();
  if (brief != 0) return;

  CM_CELLCONTEXT* cell = comp->getlogic();
  ut_msgman->print(neoform("\t%s CM_CELLCONTEXT:\n", cell->getname()));
  {
    const UT_STROBJ programming(cell->getprogramming_string(0, 0, 1));
    printTokens(programming.getstring(1));
  }

  for (int i = 0; i < comp->getnumpins(); ++i) {
    UP_SIGPIN* pin = comp->getsigpin(i);
    UP_SIGNAL* sig = comp->getsignal(i);
    if (pin == nullptr || sig == nullptr) continue;
    UP_PORT* port = pin->getport();
    const char portDir = portLetter(port->getdir());
    if (port->getid() != i) BASAP_INTERNAL_ERROR(kSource, 1, "");
    if (pin->getpinid() != i) BASAP_INTERNAL_ERROR(kSource, 1, "");
    checkPinType(pinLetter(pin->getpintype()), portDir);
    ut_msgman->print(neoform("\t%cpin%d: %s\tSig%d: %s\n", portDir, pin->getpinid(),
                             prim->getportname(i), sig->getid(), sig->getname()));
  }

  // Without a sound instance there is nothing trustworthy to ask for the
  // primitives' database names.
  if (linked) {
    const int numPrims = cell->getnumprims();
    for (int j = 0; j < numPrims; ++j) {
      const std::string dbName = instance->getPrimitiveName(static_cast<unsigned short>(j),
                                                            udb::DesignObjectXRef::XREF_DBNAME);
      if (dbName.empty()) continue;
      ut_msgman->print(neoform("\tprimitive %s=%s;\n",
                               cell->getprim(static_cast<unsigned short>(j))->getname(),
                               dbName.c_str()));
    }
  }
  ut_msgman->print("\n");
}

void AP_SUPP::dumpSignal(UP_SIGNAL* sig, const char* title, int brief) {
  printTitle(title);
  if (sig == nullptr) return;

  const int numPins = sig->getnumpins();
  ut_msgman->print(neoform("Signal%d: %s\t%dd/%dp\n", sig->getid(), sig->getname(),
                           static_cast<int>(sig->getnumdrivers()), numPins));
  if (brief != 0) return;

  udb::UnfoldedNet* net = sig->getnet();
  if (net == nullptr || net->getAppData(UP_Access::m_PhyNet_idx) != sig)
    BASAP_INTERNAL_ERROR(kSource, 1, "dumpSignal");

  for (int i = 0; i < numPins; ++i) {
    UP_SIGPIN* pin = sig->getsigpin(i);
    UP_COMP* comp = pin->getcomp();
    const int p = pin->getpinid();
    const char portDir = portLetter(pin->getport()->getdir());
    checkPinType(pinLetter(pin->getpintype()), portDir);
    ut_msgman->print(neoform("\t%cpin%d: %s\tComp%d: %s\n", portDir, p,
                             p >= 0 ? comp->getprim()->getportname(p) : "NA", comp->getid(),
                             comp->getname(false)));
  }
}

void AP_SUPP::dumpPort(UP_PORT* port, const char* title) {
  const char dir = portLetter(port->getdir());
  printTitle(title);
  ut_msgman->print(neoform("%s (%c)\n", port->getname(), dir));
}

void AP_SUPP::dumpSigpin(UP_SIGPIN* sigpin, const char* title) {
  printTitle(title);
  UP_COMP* comp = sigpin->getcomp();
  if (sigpin->getsignal() != comp->getsignal(sigpin->getpinid()))
    BASAP_INTERNAL_ERROR(kSource, 1, "");
  ut_msgman->print(
      neoform("comp%5d:%-4s(%d)\n", comp->getid(), sigpin->getname(), sigpin->getpinid()));
}
