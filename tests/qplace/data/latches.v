// Latches: plain ones from RTL, and the reset and set/clear kinds as cells
// (read with read_verilog -icells), since no RTL style makes them. Latch k
// drives q[k].
module latches(input g, input gn, input rst, input set, input clr, input [5:0] d, output [6:0] q);
  reg q0, q1;
  always @* if (g) q0 = d[0];
  always @* if (!gn) q1 = d[1];
  \$adlatch #(.WIDTH(1), .EN_POLARITY(1'b1), .ARST_POLARITY(1'b1), .ARST_VALUE(1'b0))
    l2 (.EN(g), .ARST(rst), .D(d[2]), .Q(q[2]));
  \$_DLATCH_NN1_ l3 (.E(gn), .R(rst), .D(d[3]), .Q(q[3]));
  \$_DLATCHSR_PPN_ l4 (.E(g), .S(set), .R(clr), .D(d[4]), .Q(q[4]));
  \$_SR_PN_ l5 (.S(set), .R(clr), .Q(q[5]));
  \$_DLATCHSR_NPP_ l6 (.E(gn), .S(1'b0), .R(clr), .D(d[5]), .Q(q[6]));
  assign q[1:0] = {q1, q0};
endmodule
