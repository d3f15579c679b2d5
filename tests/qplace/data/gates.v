// Every simple gate cell, instantiated once on the module's inputs (read
// with read_verilog -icells).
module gates(input [15:0] i, input [3:0] s, output [18:0] y);
  \$_BUF_    g0  (.A(i[0]), .Y(y[0]));
  \$_NOT_    g1  (.A(i[1]), .Y(y[1]));
  \$_AND_    g2  (.A(i[0]), .B(i[1]), .Y(y[2]));
  \$_NAND_   g3  (.A(i[1]), .B(i[2]), .Y(y[3]));
  \$_OR_     g4  (.A(i[2]), .B(i[3]), .Y(y[4]));
  \$_NOR_    g5  (.A(i[3]), .B(i[4]), .Y(y[5]));
  \$_XOR_    g6  (.A(i[4]), .B(i[5]), .Y(y[6]));
  \$_XNOR_   g7  (.A(i[5]), .B(i[6]), .Y(y[7]));
  \$_ANDNOT_ g8  (.A(i[6]), .B(i[7]), .Y(y[8]));
  \$_ORNOT_  g9  (.A(i[7]), .B(i[8]), .Y(y[9]));
  \$_MUX_    g10 (.A(i[8]), .B(i[9]), .S(s[0]), .Y(y[10]));
  \$_NMUX_   g11 (.A(i[9]), .B(i[10]), .S(s[1]), .Y(y[11]));
  \$_AOI3_   g12 (.A(i[10]), .B(i[11]), .C(i[12]), .Y(y[12]));
  \$_OAI3_   g13 (.A(i[11]), .B(i[12]), .C(i[13]), .Y(y[13]));
  \$_AOI4_   g14 (.A(i[12]), .B(i[13]), .C(i[14]), .D(i[15]), .Y(y[14]));
  \$_OAI4_   g15 (.A(i[13]), .B(i[14]), .C(i[15]), .D(i[0]), .Y(y[15]));
  \$_MUX4_   g16 (.A(i[0]), .B(i[1]), .C(i[2]), .D(i[3]), .S(s[0]), .T(s[1]), .Y(y[16]));
  \$_MUX8_   g17 (.A(i[4]), .B(i[5]), .C(i[6]), .D(i[7]), .E(i[8]), .F(i[9]), .G(i[10]), .H(i[11]),
                  .S(s[1]), .T(s[2]), .U(s[3]), .Y(y[17]));
  \$_MUX16_  g18 (.A(i[0]), .B(i[1]), .C(i[2]), .D(i[3]), .E(i[4]), .F(i[5]), .G(i[6]), .H(i[7]),
                  .I(i[8]), .J(i[9]), .K(i[10]), .L(i[11]), .M(i[12]), .N(i[13]), .O(i[14]), .P(i[15]),
                  .S(s[0]), .T(s[1]), .U(s[2]), .V(s[3]), .Y(y[18]));
endmodule
