// Port bits that take no I/O site: tied to a constant (y[3:2]), read by
// nothing (unused), driven by nothing (nc). thru passes a straight through;
// the escaped port name holds a double quote.
module ports(input clk, input a, input unused, input [1:0] bus, input \p"q , output [3:0] y,
             output nc, output thru, output reg r);
  assign y = {2'b10, a & bus[0], bus[1] ^ \p"q };
  assign thru = a;
  always @(posedge clk) r <= a | bus[1];
endmodule
