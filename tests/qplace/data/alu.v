// A little ALU for the gates a synthesis without LUT mapping leaves.
module alu(input [2:0] a, input [2:0] b, input [1:0] op, input c, output reg [3:0] y, output z);
  always @* case (op)
    2'd0: y = a + b + c;
    2'd1: y = {1'b0, a & b} ^ {3'b0, c};
    2'd2: y = {1'b0, c ? a : b};
    default: y = {a < b, ~(a | b)};
  endcase
  assign z = ^{a, b, op, c};
endmodule
