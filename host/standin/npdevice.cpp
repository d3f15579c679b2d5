// The stand-in's device description and part description.
#include "host/standin/standin_device.h"

using standin::Device;
using standin::DeviceSite;
using standin::Part;
using standin::SiteType;

namespace standin {

CM_PINTYPE pinTypeOf(udb::Direction dir) {
  CM_PINTYPE type{};
  switch (dir) {
    case udb::DIR_INPUT: type.bytes[0] = CM_PINTYPE::INPUT; break;
    case udb::DIR_OUTPUT: type.bytes[0] = CM_PINTYPE::OUTPUT; break;
    case udb::DIR_INOUT: type.bytes[0] = CM_PINTYPE::INPUT | CM_PINTYPE::OUTPUT; break;
    default: break;
  }
  return type;
}

}  // namespace standin

const char* NP_SITEPARAM::getname() { return static_cast<SiteType*>(this)->name.c_str(); }

unsigned short NP_SITEPARAM::getnumpins() {
  return static_cast<unsigned short>(static_cast<SiteType*>(this)->pins.size());
}

const char* NP_SITEPARAM::getpinname(unsigned short pin) {
  auto& pins = static_cast<SiteType*>(this)->pins;
  return pin < pins.size() ? pins[pin].name.c_str() : nullptr;
}

CM_PINTYPE& NP_SITEPARAM::getpintype(unsigned short pin) {
  // Past the last pin: a shared type of no direction.
  static CM_PINTYPE none{};
  auto& pins = static_cast<SiteType*>(this)->pins;
  if (pin < pins.size()) return pins[pin].type;
  none = CM_PINTYPE{};
  return none;
}

const char* NP_DSITE::getname() { return static_cast<DeviceSite*>(this)->name.c_str(); }

const char* NP_DSITE::getaltname() {
  const auto& alt = static_cast<DeviceSite*>(this)->altname;
  return alt ? alt->c_str() : nullptr;
}

NP_SITEPARAM* NP_DSITE::getsiteparam(unsigned short /*which*/) {
  return static_cast<DeviceSite*>(this)->type;
}

UT_POINT NP_DSITE::getloc() { return static_cast<DeviceSite*>(this)->loc; }

NP_SITEPARAM* NP_DEVICE::getsiteparambyname(const char* name) {
  if (name == nullptr) return nullptr;
  for (SiteType& type : static_cast<Device*>(this)->siteTypes)
    if (type.name == name) return &type;
  return nullptr;
}

PM_DEVPIC* NP_DEVICE::getdevpic() { return &static_cast<Device*>(this)->part; }

const char* PM_SPEC::getPmName(unsigned char /*which*/) {
  return static_cast<Part*>(this)->family.c_str();
}

const char* PM_DEVPIC::getDeviceName() { return static_cast<Part*>(this)->device.c_str(); }

UT_STROBJ* PM_DEVPIC::getpackage() { return static_cast<Part*>(this)->package.get(); }

UT_STROBJ* PM_DEVPIC::getspeed() { return static_cast<Part*>(this)->speed.get(); }
