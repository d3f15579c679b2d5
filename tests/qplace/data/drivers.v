// Two inputs shorted together, and a register that also drives one of them.
module drivers(input clk, input a, input b, input c, output y, output z);
  reg q;
  assign y = a;
  assign y = b;
  always @(posedge clk) q <= ~c;
  assign c = q;
  assign z = c;
endmodule
