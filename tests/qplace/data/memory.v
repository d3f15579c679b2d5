// A memory and a counter, left word-level (synth stopped before "fine").
module memory(input clk, input we, input [3:0] wa, input [3:0] ra, input [7:0] wd, output [7:0] rd,
              output reg [3:0] count);
  reg [7:0] mem [0:15];
  always @(posedge clk) begin
    if (we) mem[wa] <= wd;
    count <= count + 1;
  end
  assign rd = mem[ra];
endmodule
