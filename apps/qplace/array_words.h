// The words of memory arrays built of registers, found in the unit netlist
// so that global placement can hold each word's bits together.
//
// A memory whose write enables are decoded in two dimensions has row and
// column select nets: each unit on a row net is on exactly one column net,
// and the units where a row and a column cross are one word's bits. Such
// a net has hundreds of pins, and the bound-to-bound model pulls each of
// them by little: global placement then lays out each bit's read
// multiplexer on its own, a word's bits end far apart, and every select
// net spans the whole array. A light net over each word's units draws the
// bits of a word, and so the bits' multiplexers, closer together.
#ifndef QPLACE_ARRAY_WORDS_H
#define QPLACE_ARRAY_WORDS_H

#include <vector>

#include "qplace/packing.h"

namespace qplace {

struct ArrayWordParams {
  int minSelectPins = 32;  // a select net has at least this many units
  int minPartners = 4;     // and crosses at least this many nets of the other side
  int mostWordUnits = 32;  // a crossing of more units is no word
};

// The words of m's memory arrays, each a list of distinct units in
// ascending order (at least two), the words in the order of their pairs
// of select nets. A select net is a net of at least minSelectPins units,
// all of which but one (its driver, say) lie at its crossings with at least
// minPartners other nets, each crossing of 2 to mostWordUnits units and
// each unit at one crossing of the net only; a word is the crossing of two
// select nets. A design without such an array (most designs) has none.
// Units on more than eight nets of minSelectPins units or more are left
// out. O(P log P), P the pairs of such nets over the units (at most 28 a
// unit).
std::vector<std::vector<int>> arrayWords(const Model& m, const ArrayWordParams& params = {});

}  // namespace qplace

#endif
