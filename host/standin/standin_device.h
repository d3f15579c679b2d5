// The stand-in host's device description and part description: site types,
// device sites, the device and its part. Every design owns one device
// (standin::Design::device); Design::addSiteType and Design::addSite fill it.
#ifndef BASAPLACE_STANDIN_DEVICE_H
#define BASAPLACE_STANDIN_DEVICE_H

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/npdevice.h"
#include "host/pmpart.h"
#include "host/udb.h"

namespace standin {

// The pin type that the stand-in gives a pin of direction `dir`: input 0x10,
// output 0x20, bidirectional 0x30; tristate and anything else 0 (no
// direction), so that a pin's type always agrees with its port's direction.
CM_PINTYPE pinTypeOf(udb::Direction dir);

struct SitePin {
  std::string name;
  CM_PINTYPE type;
};

// A site type. Its sites start with its `pfu` and `uniqBels` values.
struct SiteType : NP_SITEPARAM {
  std::string name;
  std::vector<SitePin> pins;
  bool pfu = true;   // UP_INFO::site_is_pfu_pff of its new sites
  int uniqBels = 1;  // UP_SITE::getnumuniqbels of its new sites
};

// A text that most records lack: a pointer until one is given
// (`altname = "P1"`); reads as an optional string.
class OptionalText {
public:
  OptionalText() = default;
  OptionalText(const OptionalText& o) : text_(o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr) {}
  OptionalText& operator=(const OptionalText& o) {
    if (this != &o) text_ = o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr;
    return *this;
  }
  OptionalText& operator=(std::string text) {
    text_ = std::make_unique<std::string>(std::move(text));
    return *this;
  }
  void reset() { text_.reset(); }
  bool has_value() const { return text_ != nullptr; }
  explicit operator bool() const { return has_value(); }
  const std::string& operator*() const { return *text_; }
  const std::string* operator->() const { return text_.get(); }

private:
  std::unique_ptr<std::string> text_;
};

// A device site. Its location reads as (row, column): x is the row.
struct DeviceSite : NP_DSITE {
  std::string name;
  OptionalText altname;  // the linked object's name, if any
  SiteType* type = nullptr;
  UT_POINT loc{0, 0};
};

// The part. getPmName gives `family` whatever its argument. Package and
// speed are absent (null) by default; set them with, e.g.,
// `part.speed = std::make_unique<UT_STROBJ>("6")`, or with a null text for an
// object that has no text.
struct Part : PM_DEVPIC {
  std::string family = "family";
  std::string device = "device";
  std::unique_ptr<UT_STROBJ> package;
  std::unique_ptr<UT_STROBJ> speed;
};

struct Device : NP_DEVICE {
  std::deque<SiteType> siteTypes;
  std::deque<DeviceSite> sites;
  Part part;
};

}  // namespace standin

#endif
