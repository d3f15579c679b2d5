// Port bits that take no I/O site: tied to a constant (y[3:2]), read by
// nothing (unused), driven by nothing (nc). thru passes a straight through;
// the escaped port name holds a double quote; hi and up name their bits by
// their declared ranges.
module ports(input clk, input a, input unused, input [1:0] bus, input \p"q , output [3:0] y,
             output nc, output thru, output reg r, input [5:4] hi, input [0:1] up, output [1:0] o);
  assign y = {2'b10, a & bus[0], bus[1] ^ \p"q };
  assign thru = a;
  assign o = {hi[5], up[0]};
  always @(posedge clk) r <= a | bus[1];
endmodule
