// Bit-serial processing elements in a chain. Each element has a 2-bit phase
// counter, a 3-bit operand, a 4-bit accumulator, a carry and a 2-bit flag
// register, each loaded under an enable of its own: five control sets for
// twelve registers, as in bit-serial cores.
module serial_bank #(parameter N = 96) (
  input clk, input rst, input [N-1:0] go, input [3:0] din, input [1:0] sel,
  output [3:0] dout
);
  wire [3:0] chain [0:N];
  assign chain[0] = din;
  genvar i;
  generate for (i = 0; i < N; i = i + 1) begin : pe
    reg [1:0] ph;
    reg [2:0] opa;
    reg [3:0] acc;
    reg c;
    reg [1:0] flag;
    always @(posedge clk) begin
      if (rst) ph <= 2'd0;
      else if (go[i]) ph <= ph + 2'd1;
      if (go[i] && ph == 2'd0) opa <= chain[i][2:0] ^ {sel, c};
      if (go[i] ^ chain[i][0]) acc <= acc + {1'b0, opa} + {3'b0, c};
      if (ph == 2'd3) c <= acc[3] & opa[0];
      if (sel[0] & go[i]) flag <= {flag[0], acc[0] ^ chain[i][3]};
    end
    assign chain[i+1] = acc ^ {flag, ph};
  end endgenerate
  assign dout = chain[N];
endmodule
