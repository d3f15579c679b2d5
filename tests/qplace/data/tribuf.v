// A tristate output, kept as a tristate buffer (tribuf without -logic).
module tribuf(input oe, input d, input a, input b, output y, output z);
  assign y = oe ? d : 1'bz;
  assign z = a & b;
endmodule
