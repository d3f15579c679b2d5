// A hierarchy synthesized without -flatten: the top keeps instances of sub.
module sub(input a, input b, output y);
  assign y = a ^ b;
endmodule
module hier(input [3:0] a, output [1:0] y);
  sub s0(.a(a[0]), .b(a[1]), .y(y[0]));
  sub s1(.a(a[2]), .b(a[3]), .y(y[1]));
endmodule
