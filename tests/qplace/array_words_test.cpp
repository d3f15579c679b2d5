// The words of memory arrays: crossings of row and column select nets.
#include <gtest/gtest.h>

#include <vector>

#include "qplace/array_words.h"
#include "qplace/netlist_reader.h"
#include "qplace/packing.h"
#include "placer_util.h"

namespace {

using Nets = std::vector<std::vector<int>>;

// A unit netlist of `units` logic units and the given nets.
qplace::Model modelOf(int units, const Nets& nets) {
  qplace::Model m;
  m.kind.assign(static_cast<std::size_t>(units), qplace::UNIT_LUT);
  qplace::addNets(m, nets, 1.0);
  return m;
}

// A memory of rows x cols words of `bits` units each, as a two-dimensional
// write decoder makes it: unit (r, c, b) is on row net r, column net c and,
// with data nets, the data net of bit b (every word's bit b); each select
// net has a driver of its own. Units: the bits first, word by word, then
// the drivers of the rows and of the columns.
struct Array {
  int rows, cols, bits;
  bool dataNets = false;
  int bit(int r, int c, int b) const { return (r * cols + c) * bits + b; }
  int rowDriver(int r) const { return rows * cols * bits + r; }
  int colDriver(int c) const { return rows * cols * bits + rows + c; }
  int units() const { return rows * cols * bits + rows + cols; }
  // The array's nets, the select nets' indices in rowNet and colNet.
  Nets nets(std::vector<int>& rowNet, std::vector<int>& colNet) const {
    Nets nets;
    for (int r = 0; r < rows; ++r) {
      std::vector<int> on{rowDriver(r)};
      for (int c = 0; c < cols; ++c)
        for (int b = 0; b < bits; ++b) on.push_back(bit(r, c, b));
      rowNet.push_back(static_cast<int>(nets.size()));
      nets.push_back(on);
    }
    for (int c = 0; c < cols; ++c) {
      std::vector<int> on{colDriver(c)};
      for (int r = 0; r < rows; ++r)
        for (int b = 0; b < bits; ++b) on.push_back(bit(r, c, b));
      colNet.push_back(static_cast<int>(nets.size()));
      nets.push_back(on);
    }
    for (int b = 0; dataNets && b < bits; ++b) {
      std::vector<int> on;
      for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) on.push_back(bit(r, c, b));
      nets.push_back(on);
    }
    return nets;
  }
  std::vector<int> word(int r, int c) const {
    std::vector<int> w;
    for (int b = 0; b < bits; ++b) w.push_back(bit(r, c, b));
    return w;
  }
};

qplace::ArrayWordParams smallSelects(int mostWordUnits = 32) {
  qplace::ArrayWordParams p;
  p.minSelectPins = 16;
  p.mostWordUnits = mostWordUnits;
  return p;
}

TEST(ArrayWords, EveryCrossingOfAFullArrayIsAWord) {
  // The data nets are large too, but their crossings with the rows (5
  // units) and the columns (6) are more than a word of 4 holds.
  const Array a{6, 5, 4, true};
  std::vector<int> rowNet, colNet;
  Nets nets = a.nets(rowNet, colNet);
  // Small nets between the bits (a read multiplexer) do not count.
  nets.push_back({a.bit(0, 0, 0), a.bit(0, 1, 0), a.units()});
  nets.push_back({a.bit(2, 3, 1), a.units() + 1});
  const Nets words = qplace::arrayWords(modelOf(a.units() + 2, nets), smallSelects(4));
  // One word per crossing, in the order of their pairs of nets: the rows'
  // nets come first, so row by row, column by column.
  ASSERT_EQ(words.size(), 30u);
  for (int r = 0; r < a.rows; ++r)
    for (int c = 0; c < a.cols; ++c) EXPECT_EQ(words[r * a.cols + c], a.word(r, c)) << r << ", " << c;
}

TEST(ArrayWords, ANetNotWhollyAtCrossingsOrAtTwoOfThemIsNoSelectNet) {
  const Array a{7, 6, 4, true};
  std::vector<int> rowNet, colNet;
  Nets nets = a.nets(rowNet, colNet);
  // Row 0 takes two more units on no column net: with its driver, three
  // of its units are off the crossings.
  nets[rowNet[0]].push_back(a.units());
  nets[rowNet[0]].push_back(a.units() + 1);
  // A unit on row 3 and on columns 3 and 4 lies at two crossings of row 3;
  // each column has it at one crossing, a word of 5.
  const int twice = a.units() + 2;
  for (int net : {rowNet[3], colNet[3], colNet[4]}) nets[net].push_back(twice);
  const Nets words = qplace::arrayWords(modelOf(a.units() + 3, nets), smallSelects(5));
  Nets expected;
  for (int r = 0; r < a.rows; ++r)
    for (int c = 0; c < a.cols; ++c)
      if (r != 0 && r != 3) expected.push_back(a.word(r, c));
  EXPECT_EQ(words, expected);
}

TEST(ArrayWords, TooFewCrossingsTooLargeOnesOrSmallNetsMakeNoWords) {
  std::vector<int> rowNet, colNet;
  {
    // Three columns: each row crosses fewer than four nets.
    const Array a{6, 3, 4};
    EXPECT_TRUE(qplace::arrayWords(modelOf(a.units(), a.nets(rowNet, colNet)), smallSelects()).empty());
  }
  {
    // Words of 40 units: more than a word holds.
    const Array a{5, 5, 40};
    const qplace::Model m = modelOf(a.units(), a.nets(rowNet, colNet));
    EXPECT_TRUE(qplace::arrayWords(m, smallSelects()).empty());
    EXPECT_EQ(qplace::arrayWords(m, smallSelects(40)).size(), 25u);
  }
  {
    // Select nets of 21 units, below the default's 32.
    const Array a{5, 5, 4};
    const qplace::Model m = modelOf(a.units(), a.nets(rowNet, colNet));
    EXPECT_TRUE(qplace::arrayWords(m).empty());
    EXPECT_EQ(qplace::arrayWords(m, smallSelects()).size(), 25u);
  }
}

TEST(ArrayWords, NoneInDesignsWithoutAMemoryArray) {
  standin::Design d;
  qplace::readNetlistFile(QPLACE_PICORV32, d);
  EXPECT_TRUE(qplace::arrayWords(qplace::packDesign(d)).empty());
  standin::Design g;
  generated(g, 20000);
  EXPECT_TRUE(qplace::arrayWords(qplace::packDesign(g)).empty());
}

}  // namespace
