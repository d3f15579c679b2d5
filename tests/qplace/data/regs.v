// Flip-flops of every control family a generic synthesis leaves: register k
// drives q[k]; q[15:12] are tied to 0.
module regs(input clk, input rst_n, input rst, input set, input clr, input en, input ld,
            input [7:0] d, input [1:0] ad, output [15:0] q);
  reg q0, q1, q2, q3, q4, q5, q6, q7, q8, q9, q10, q11;
  // asynchronous reset or set
  always @(posedge clk or negedge rst_n) if (!rst_n) q0 <= 0; else q0 <= d[0];
  always @(posedge clk or posedge rst) if (rst) q1 <= 1; else q1 <= d[1];
  always @(negedge clk or posedge rst) if (rst) q2 <= 0; else if (en) q2 <= d[2];
  always @(posedge clk or negedge rst_n) if (!rst_n) q3 <= 1; else if (!en) q3 <= d[3];
  // separate asynchronous set and clear
  always @(posedge clk or posedge set or posedge clr)
    if (clr) q4 <= 0; else if (set) q4 <= 1; else q4 <= d[4];
  always @(negedge clk or negedge set or posedge clr)
    if (clr) q5 <= 0; else if (!set) q5 <= 1; else if (en) q5 <= d[5];
  // asynchronous load
  always @(posedge clk or posedge ld) if (ld) q6 <= ad[0]; else q6 <= d[6];
  always @(posedge clk or negedge ld) if (!ld) q7 <= ad[1]; else if (en) q7 <= d[7];
  // synchronous reset, plain
  always @(posedge clk) if (rst) q8 <= 1; else q8 <= d[0] ^ d[1];
  always @(posedge clk) if (!rst_n) q9 <= 0; else if (en) q9 <= d[2] & d[3];
  always @(posedge clk) if (en) begin if (rst) q10 <= 0; else q10 <= d[4]; end
  always @(posedge clk) q11 <= d[5] | d[6];
  assign q = {4'b0, q11, q10, q9, q8, q7, q6, q5, q4, q3, q2, q1, q0};
endmodule
