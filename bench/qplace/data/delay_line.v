// A register-dominated design: a delay line of 64 stages x 96 bits whose
// stages take turns among 12 enables, a checksum of three taps with an
// asynchronous reset, and a memory of 32 words of 32 bits written by address.
module delay_line(input clk, input rst_n, input [95:0] din, input [11:0] en,
                input [4:0] waddr, input we, input [4:0] raddr,
                output reg [15:0] sum, output [95:0] dout, output [31:0] rdata);
  reg [95:0] line [0:63];
  integer i;
  always @(posedge clk) begin
    line[0] <= din;
    for (i = 1; i < 64; i = i + 1)
      if (en[i % 12]) line[i] <= line[i-1];
  end
  assign dout = line[63];
  always @(posedge clk or negedge rst_n)
    if (!rst_n) sum <= 0;
    else sum <= sum ^ line[17][15:0] ^ line[41][31:16] ^ line[63][95:80];
  reg [31:0] mem [0:31];
  always @(posedge clk) if (we) mem[waddr] <= din[31:0];
  assign rdata = mem[raddr];
endmodule
