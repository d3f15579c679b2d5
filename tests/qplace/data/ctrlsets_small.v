// A counter and five registers, each register with a clock enable of its own.
// ctrlsets_small.json: yosys -p "read_verilog ctrlsets_small.v; synth -top ctrlsets_small -flatten; abc -lut 4; opt_clean; write_json ctrlsets_small.json"
module ctrlsets_small (input clk, input [4:0] en, input [1:0] d,
                       output reg [3:0] count, output reg [1:0] r0, r1, r2, r3, r4);
  always @(posedge clk) begin
    count <= count + 4'd1;
    if (en[0]) r0 <= d ^ count[1:0];
    if (en[1]) r1 <= r0 + d;
    if (en[2]) r2 <= r1 & count[3:2];
    if (en[3]) r3 <= r2 | d;
    if (en[4]) r4 <= r3 - r0;
  end
endmodule
