// The delay model of the device: every figure the timing analysis uses, in
// picoseconds, in this one place.
//
// The defaults are those of a mid-size 4-LUT FPGA: a LUT of 280 ps, a
// register of 300 ps clock to output and 150 ps setup, a cluster crossed on
// a unit wire for 150 ps and on a long wire (4 clusters) for 75 ps a
// cluster. A path between two units is priced as follows:
//   - a LUT to the register of its own BLE (a LUT+register pair): `ble`;
//   - two logic units in one cluster: `local`, the cluster's own crossbar;
//   - anything else: the delay table (delay_table.h) at the distance in
//     clusters, which is `outPin`, the fastest way over the device's wires
//     and switches, and `inPin`; an I/O site counts as the cluster beside it.
// Cells add `lut`; paths start at `clockToQ` after a register's clock edge
// or `ioIn` after an input port's, and end `setup` before the capturing
// edge of a register or `ioOut` before an output port's. Clocks are ideal
// (no skew, no clock network delay).
//
//   figure     default  what
//   lut          280    a LUT, from any input to its output
//   clk_to_q     300    a register, from its clock edge to Q
//   setup        150    a register's D, CE and SR, before the capturing edge
//   ble           20    a LUT to the register of its own BLE
//   local        150    an output to an input of the same cluster
//   io_in        500    an input port, from its pad into the fabric
//   io_out       700    an output port, from the fabric to its pad
//   out_pin      100    a cluster output onto a wire of its cluster
//   in_pin       200    a wire of a cluster into one of its inputs
//   wire_h       150    a unit horizontal wire (node cost code 7)
//   wire_v       150    a unit vertical wire (code 6)
//   wire_long    300    a long wire (code 12), across 4 clusters
//   switch       100    a switch node (code 8), from one wire to another
//
// A wire's delay includes the buffer that drives it. A routing node of any
// other cost code is never crossed.
//
// Any figure can be set from a small text file, one `name value` a line in
// picoseconds (the names of the table above), with `#` starting a comment:
//
//   # a slower speed grade
//   lut 350
//   wire_long 260
//
// Figures not named keep their defaults.
#ifndef QPLACE_TIMING_DELAY_MODEL_H
#define QPLACE_TIMING_DELAY_MODEL_H

#include <string>

namespace qplace {

struct DelayModel {
  double lut = 280;
  double clockToQ = 300;
  double setup = 150;
  double ble = 20;
  double local = 150;
  double ioIn = 500;
  double ioOut = 700;
  double outPin = 100;
  double inPin = 200;
  double wireH = 150;
  double wireV = 150;
  double wireLong = 300;
  double switchBox = 100;

  // The delay of a routing node of this cost code, or a negative value for
  // a node that no path crosses (pins and unknown kinds). O(1).
  double nodeDelay(unsigned costCode) const;
};

// Sets the figure of this file name (e.g. "clk_to_q"); false, changing
// nothing, for an unknown name.
bool setDelayFigure(DelayModel& model, const std::string& name, double value);

// Reads figures from text in the file format; `source` names it in
// messages. On a fault returns false with `error` set to
// "<source>:<line>: <reason>" (an unknown name, a missing, malformed,
// negative or non-finite value, a token after the value, a name given twice)
// and leaves `model` as it was. Linear in the text.
bool readDelayModel(const std::string& text, const std::string& source, DelayModel& model, std::string& error);

// Reads a file; false with settings_text::readFile's error when it cannot.
bool loadDelayModel(const std::string& path, DelayModel& model, std::string& error);

// Every figure in the file format, one a line in the order of the table
// above; readDelayModel of it gives the same model.
std::string delayModelText(const DelayModel& model);

}  // namespace qplace

#endif
