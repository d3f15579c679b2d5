// Names of components and signals as the placement file prints them: every
// one printable, safe between the double quotes of a LOCATE line, and unique.
//
// The escape: a backslash becomes `\\`, a double quote `\"`, a byte below
// 0x20 (NUL included) or 0x7f becomes `\xHH` (two lowercase hex digits), and
// the invisible line-breaking and control code points U+0080 to U+009F,
// U+2028 and U+2029 become `\uHHHH`. Every other byte is kept, so a UTF-8
// name stays readable. The escape is one to one: unescapeName gives the name
// back.
//
// Uniqueness: the empty name is given as `$empty`; a name already given
// (two components of one escaped name, a port bit and a cell of one name)
// gets the first free suffix `#2`, `#3`, ... in the order names are asked
// for. The placement keeps the given names; the reader lists every name it
// had to change with its original, and the mapping goes beside the
// placement.
#ifndef QPLACE_NAMES_H
#define QPLACE_NAMES_H

#include <cstddef>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace qplace {

// The name given to a component or signal whose name is empty.
inline const char* const kEmptyName = "$empty";

// The escaped form of `raw`. Linear in its length.
std::string escapeName(const std::string& raw);

// The name that escapeName turned into `escaped`. A backslash that starts
// no escape, or an escape cut short, is kept as it stands.
std::string unescapeName(const std::string& escaped);

// Gives each name asked for a printable one that no earlier call gave.
class UniqueNames {
public:
  // The name to use for `raw`: its escape, `$empty` for an empty one, with a
  // suffix when taken. `changed` tells whether it differs from `raw`.
  // Amortised constant time in the number of names (each suffix tried
  // for a name is tried once), linear in the name's length.
  std::string give(const std::string& raw, bool& changed);
  std::size_t size() const { return taken_.size(); }

private:
  std::unordered_set<std::string> taken_;
  std::unordered_map<std::string, int> nextSuffix_;  // per escaped name: the next suffix to try
};

}  // namespace qplace

#endif
