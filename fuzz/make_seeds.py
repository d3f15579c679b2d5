#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz/corpus/ (run by hand; the seeds are kept
in the repository). Each seed spells out, in the input format of its target,
a small case that a user would write: the fuzzer starts from these and mutates.
Usage: python3 fuzz/make_seeds.py"""
import gzip
import json
import os
import shutil
import struct
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def u16(v):
    return list(struct.pack("<H", v & 0xFFFF))


def u32(v):
    return list(struct.pack("<I", v & 0xFFFFFFFF))


# ---------------------------------------------------------------- fuzz_linsys
def val(v):
    """A value in quarter steps of [-16, 16), or raw bits when it is not one."""
    q = v * 4
    if q == int(q) and -64 <= q < 64:
        return [int(q) + 0x40]
    return [0xC0] + list(struct.pack("<d", v))


AWKWARD = {"nan": 0x82, "inf": 0x83, "-inf": 0x84, "-0": 0x81, "tiny": 0x85}


def diag(i, v):
    return [0] + u16(i) + val(v)


def entry(i, j, v):
    return [1] + u16(i) + u16(j) + val(v)


def row(i, pairs):
    out = [2] + u16(i) + [len(pairs)]
    for j, v in pairs:
        out += u16(j) + val(v)
    return out


def rhs(i, v):
    return [3] + u16(i) + val(v)


RESET, SOLVE, COPY = [4], [7], [9]


def tol(v):
    return [5] + val(v)


def passes(k):
    return [6, k]


def reads(i, j):
    return [8] + u16(i) + u16(j)


def assign(start):
    return [10, start & 0xFF]


def error_and_print(mode):
    return [11, mode]


def band(width, stride, v):
    return [12, width, stride - 1] + val(v)


DOMINANT = [13]


def start_at(i, v):
    return [14] + u16(i) + val(v)


def start_vector(first, step, odd, stride):
    return [15] + val(first) + val(step) + val(odd) + [stride - 1]


def linsys_seeds():
    # The 2 x 2 sample: A = [[2, -1], [-1, 2]], b = (1, 1), start 1.
    two = [2, 1, 255] + diag(0, 2) + diag(1, 2) + entry(0, 1, -1) + rhs(0, 1) + rhs(1, 1)
    write("fuzz_linsys", "sample_2x2", two + SOLVE + reads(0, 1) + error_and_print(0))
    # A chain of 40 unknowns, filled, solved, reset, filled by rows, solved
    # again from the first solution, copied and assigned.
    n = 40
    chain = [n, 0, 255]
    for i in range(n):
        chain += diag(i, 4) + rhs(i, (i % 7) - 3)
        if i + 1 < n:
            chain += entry(i + 1, i, -1)
    chain += tol(1e-6) + SOLVE + RESET
    for i in range(n):
        pairs = [(i, 3)] + ([(i + 1, -1)] if i + 1 < n else []) + ([(i - 1, -1)] if i else [])
        chain += row(i, pairs)
    chain += SOLVE + COPY + assign(5) + SOLVE + reads(3, 4)
    write("fuzz_linsys", "chain_40", chain)
    # A matrix that is not positive definite: the pass bound ends the solve.
    indefinite = [3, 0, 20] + diag(0, 1) + diag(1, -2) + diag(2, 1) + entry(0, 2, 3)
    indefinite += rhs(0, 1) + rhs(2, -1) + tol(1e-300) + SOLVE + passes(0) + SOLVE
    write("fuzz_linsys", "indefinite_bounded", indefinite)
    # Zero, NaN and infinite entries, -0.0 on absent and stored positions.
    awkward = [17, 2, 50] + diag(0, 0) + diag(16, 1) + entry(16, 0, 0.5)
    awkward += [1] + u16(3) + u16(5) + [AWKWARD["-0"]] + [1] + u16(16) + u16(0) + [AWKWARD["-0"]]
    awkward += [0] + u16(4) + [AWKWARD["nan"]] + [3] + u16(7) + [AWKWARD["inf"]]
    awkward += SOLVE + reads(16, 0) + error_and_print(1)
    write("fuzz_linsys", "awkward_values", awkward)
    # Bulk fills on 254 unknowns: thousands of entries over several storage
    # blocks, a dominant diagonal, solved, refilled after a reset and solved again.
    big = [0xFF, 1, 255]
    for i in range(0, 254, 9):
        big += rhs(i, (i % 11) - 5)
    big += band(32, 1, -0.5) + band(6, 7, 0.25) + DOMINANT + tol(1e-8) + SOLVE + RESET
    big += band(20, 3, -1) + DOMINANT + SOLVE + COPY + band(2, 1, 0) + DOMINANT + SOLVE
    write("fuzz_linsys", "bands_254", big)
    # Start vectors: a chain solved part way (pass bound 3), its iterate
    # handed on element by element and as a whole vector to a copy, then
    # solved to the end; a NaN start that stops the solve before a pass.
    n = 30
    warm = [n, 0, 3]
    for i in range(n):
        warm += diag(i, 3) + rhs(i, (i % 5) - 2)
        if i + 1 < n:
            warm += entry(i, i + 1, -1)
    warm += tol(1e-10) + SOLVE + start_at(4, 2.5) + start_at(29, -0.25) + passes(255) + SOLVE + reads(4, 5)
    warm += start_vector(1, 0.25, 7, 6) + COPY + SOLVE + reads(5, 6)
    warm += start_vector(0, 0, 0, 1) + [14] + u16(11) + [AWKWARD["nan"]] + SOLVE + reads(11, 12)
    write("fuzz_linsys", "start_vectors", warm)
    # No unknowns at all.
    write("fuzz_linsys", "empty", [0, 7, 255] + SOLVE + RESET + COPY + assign(1) + error_and_print(0) + SOLVE)


# -------------------------------------------------------------- fuzz_matching
def m_weight(w):
    if -8 <= w < 24:
        return [w + 8]
    if -32768 <= w < 32768:
        return [0x80] + u16(w)
    big = [2**31 - 1, 2**31 - 2, 2**31 - 301, 2**31 - 100001, 1 << 30, (1 << 24) + 1, (1 << 24) - 1,
           -2**31, -2**31 + 1, -(1 << 25) - 3]
    return [0xE0 + (big.index(w) - 0xE0) % len(big)]


def arc(row, col, w):
    return [0] + u16(row + 2) + u16(col + 2) + m_weight(w)


def own_dummy(row, w):
    return [2] + u16(row) + m_weight(w)


def solve(use_pre, pins):
    out = [3, use_pre]
    for c in pins:
        out += [0] if c is None else [0x80] + u16(c + 2)
    return out


M_COPY = [4]


def m_assign(rows, cols):
    return [5, rows, cols]


def matching_seeds():
    """Header: 0, rows, real columns, mode (1: dummies may be removed, else
    weights near the int range)."""
    t = "fuzz_matching"
    # Two rows want the one real column, with weights 5 and 3.
    write(t, "two_rows_one_column", [0, 2, 1, 0] + arc(0, 0, 5) + arc(1, 0, 3) + solve(0, [None] * 2))
    # A row pinned to column 2, then solved again with the pinned row kept.
    pre = [0, 3, 4, 0] + arc(0, 0, 7) + arc(0, 1, 2) + arc(1, 1, 9) + arc(2, 2, 4) + arc(2, 3, 4)
    pre += solve(1, [None, 2, None]) + arc(1, 3, 12) + solve(0, [None] * 3) + M_COPY + solve(2, [4, None, 6])
    write(t, "preassigned", pre)
    # Equal weights everywhere: ties go to the lower column.
    ties = [0, 4, 4, 1]
    for r in range(4):
        for c in range(4):
            ties += arc(r, c, 6)
    write(t, "ties", ties + solve(0, [None] * 4) + m_assign(2, 3) + solve(0, [None] * 4))
    # Weights at the ends of the int range, one column a row, others moderate.
    big = [0, 3, 3, 0] + arc(0, 1, 2**31 - 1) + arc(1, 1, 2**31 - 2) + arc(2, 1, -2**31)
    big += arc(0, 0, 1200) + arc(1, 2, -3000) + arc(2, 0, 15000) + solve(0, [None] * 3)
    write(t, "int_range", big)
    # Rows without their own dummy: more rows than columns to share.
    lost = [0, 3, 1, 1] + own_dummy(0, 0) + own_dummy(1, 0) + own_dummy(2, 0) + arc(0, 0, 4) + arc(1, 0, 9)
    write(t, "dummies_removed", lost + solve(0, [None] * 3) + arc(2, 0, 1) + solve(0, [None] * 3))
    # Indices past either end, a dummy column of another row, no rows, no real columns.
    edges = [0, 2, 2, 1] + arc(-1, 0, 5) + arc(2, 0, 5) + arc(0, -2, 5) + arc(0, 4, 5) + arc(0, 3, 8)
    write(t, "out_of_range", edges + solve(1, [None, 5]) + solve(0, [None] * 2))
    write(t, "no_rows", [0, 0, 3, 0] + arc(0, 0, 1) + solve(1, []))
    write(t, "no_real_columns", [0, 3, 0x85, 1] + arc(1, 1, 5) + solve(0, [None] * 3))
    write(t, "size_overflow", [0xFF, 2])


# ---------------------------------------------------------------- fuzz_timers
def t_time(seconds):
    q = seconds * 4
    if q == int(q) and 0 <= q < 0x80:
        return [int(q)]
    return [0xC0] + list(struct.pack("<d", seconds))


NAMES = ["qp_solve", "spread", "a_b_c", "_lead", "trail_", "", "x", None]


def t_load(names, own_clock=True):
    """load with the given names (None as the array: no names at all)."""
    if names is None:
        return [0, 3, 0, 0 if own_clock else 1]
    return [0, len(names) + 1, 1] + [NAMES.index(n) for n in names] + [0 if own_clock else 1]


def t_id(i):
    return [i]  # in range while i is below the number of timers


def t_outside(k):
    """ids outside: -1, -10, n, n + 1, INT_MIN, INT_MAX, -2, 1000."""
    return [0xC0 + k]


def t_clock(real, cpu):
    return [12] + t_time(real) + t_time(cpu)


def t_print(which, fmt, label=None, memory=False):
    out = [10] + ([0] if which == -10 else [0x40] + t_id(which)) + [fmt]
    out += [1, NAMES.index(label)] if label is not None else [0]
    return out + [1 if memory else 0]


def timers_seeds():
    t = "fuzz_timers"
    # Two named timers woken and put to sleep, printed in every format.
    run = [0, 0] + t_load(["qp_solve", "spread"]) + [3, 1]
    run += [5] + t_id(0) + t_clock(0, 1.25) + [6] + t_id(0) + [5] + t_id(1) + t_clock(0, 6.5)
    run += [6] + t_id(1) + [7] + t_id(0) + [7] + t_id(1)
    for fmt in range(5):
        run += t_print(-10, fmt) + t_print(0, fmt, "x")
    run += t_print(-10, 3, "spread", True) + [13, 0]
    write(t, "two_timers_every_format", run + t_print(1, 4, None, True))
    # A running timer printed, a disabled one, start, double wakes, real time.
    live = [0, 0] + t_load(["a_b_c", "x", "trail_"], own_clock=False) + [4] + t_id(0) + [5] + t_id(0)
    live += t_clock(0, 3) + t_print(-10, 2) + [2] + t_id(1) + [5] + t_id(1) + [6] + t_id(1)
    live += [8, 1] + t_clock(10, 3) + [9] + [4] + t_id(2) + t_clock(12.5, 3) + [15]
    write(t, "running_and_real_time", live + t_print(-10, 1))
    # Ids outside the range, an unsupported format, calls before load.
    bad = [0, 0] + [5] + t_outside(0) + [9] + t_print(-10, 0)
    bad += t_load(["qp_solve"]) + [3, 1] + [4] + t_id(0)
    for k in range(8):
        bad += [1] + t_outside(k) + [4] + t_outside(k) + [6] + t_outside(k) + [7] + t_outside(k)
    bad += t_print(-10, 5) + t_print(0, 0xF1) + t_print(2, 1) + [15]
    write(t, "ids_outside_and_bad_format", bad)
    # A second load, no names, a fresh object, a clock that goes backwards.
    again = [0, 0] + t_load(["spread"]) + [4] + t_id(0) + t_load(None) + [3, 1] + [4] + t_id(0)
    again += t_clock(0, -1) + [6] + t_id(0) + t_print(-10, 3) + [14] + [7] + t_id(0)
    write(t, "reload_and_backwards_clock", again + t_load([]) + t_print(-10, 4, None, True))


# ----------------------------------------------------------------- fuzz_route
DIRECTIONAL, ROUTE, HIDES, TWICE, USED_ONLY = 1, 2, 4, 8, 16
ON_SIGNAL, ON_OTHER, UNPLACED = 0, 1, 2


def graph(costs, arcs, pins, flips=()):
    """costs: a code per node; arcs: (a, b, flags); pins: (node or None, kind)."""
    out = [len(costs) - 1] + list(costs) + [len(arcs)]
    for a, b, flags in arcs:
        out += [a, b, flags]
    out += [len(flips)] + list(flips) + [len(pins) - 1]
    for node, kind in pins:
        out += [0xFF if node is None else node, kind]
    return out


def r_get(a, b):
    return [0, a, b]


def r_find(a, b, arc=0xFF):
    return [1, a, b, arc]


def r_print(a, b, prefix, own_path, from_first=False):
    return [2, a, b, prefix, 1 if own_path else 0, 0 if from_first else 1]


def r_member(arc, node):
    return [3, arc, node]


def r_routed(a, b):
    return [4, a, b]


def r_dump(nodes, prefixed):
    return [5, len(nodes)] + list(nodes) + [1 if prefixed else 0]


def route_seeds():
    t = "fuzz_route"
    # F=0, A=1, T=2, X=3, D=4, E=5: route F - A - T beside a dead end and an
    # arc leaving T, with an unused arc from F.
    u = ROUTE
    arcs = [(0, 2, DIRECTIONAL), (2, 3, DIRECTIONAL | u), (4, 2, DIRECTIONAL | u), (1, 2, u), (1, 0, u),
            (3, 0, u), (5, 4, DIRECTIONAL | u)]
    calls = r_get(0, 1) + r_find(0, 2) + r_find(0, 2, 3) + r_print(0, 1, 4, True) + r_print(0, 1, 3, False, True)
    calls += r_member(3, 2) + r_member(0, 0xFF) + r_routed(0, 1) + r_dump([0, 1, 2], True)
    write(t, "dead_end_and_leaving_arc", graph([3, 7, 2, 0, 5, 17], arcs, [(0, ON_SIGNAL), (2, ON_SIGNAL)]) + calls)
    # An undirected ring of six with a tail, some arcs hiding their far node.
    ring = [(i, (i + 1) % 6, u | (HIDES if i % 2 else 0)) for i in range(6)] + [(6, 0, DIRECTIONAL | u)]
    calls = r_get(1, 0) + r_get(0, 1) + r_find(6, 3) + r_find(3, 6, 2) + r_print(1, 0, 1, True)
    write(t, "ring_with_tail", graph([1, 2, 5, 6, 7, 8, 10], ring, [(3, ON_SIGNAL), (6, ON_SIGNAL)]) + calls)
    # A chain held twice by the path, parallel arcs and a self-loop.
    chain = [(i + 1, i, DIRECTIONAL | u | TWICE) for i in range(5)] + [(2, 1, u), (3, 3, u), (4, 3, USED_ONLY)]
    calls = r_get(0, 1) + r_member(0, 0xFF) + r_member(2, 1) + r_find(5, 0) + r_print(0, 1, 2, False)
    write(t, "repeated_arcs", graph([0, 1, 2, 3, 4, 5], chain, [(5, ON_SIGNAL), (0, ON_SIGNAL)]) + calls)
    # Pins off the route, on the other signal, unplaced and without a node;
    # node flags flipped against the path.
    pins = [(0, ON_SIGNAL), (3, ON_SIGNAL), (4, ON_OTHER), (1, UNPLACED), (None, ON_SIGNAL)]
    arcs = [(0, 1, DIRECTIONAL | u), (1, 2, u), (2, 3, DIRECTIONAL), (4, 3, USED_ONLY)]
    calls = r_get(0, 1) + r_get(0, 2) + r_get(3, 1) + r_get(4, 1) + r_get(0xFF, 1) + r_routed(0, 2)
    calls += r_routed(0, 3) + r_routed(1, 0) + r_print(0, 4, 0, True) + r_find(0, 3) + r_find(0xFF, 1)
    write(t, "pins_off_the_route", graph([2, 3, 2, 3, 16], arcs, pins, flips=(2, 4)) + calls)
    # A tree towards node 0 of twelve nodes, every pair looked up.
    tree = [(i, (i - 1) // 2, (DIRECTIONAL if i % 3 else 0) | u) for i in range(1, 12)]
    pins = [(0, ON_SIGNAL)] + [(i, ON_SIGNAL) for i in (5, 8, 11)]
    calls = []
    for a in range(4):
        calls += r_get(a, 0) + r_get(0, a)
    write(t, "tree", graph(list(range(12)), tree, pins) + calls)


# --------------------------------------------------------------- fuzz_netlist
# A netlist as yosys writes it after a LUT-4 mapping, written out by hand:
# two LUTs, registers of three control sets, ports of one and two bits.
SMALL_NETLIST = {
    "creator": "hand",
    "modules": {
        "top": {
            "attributes": {"top": "00000000000000000000000000000001"},
            "ports": {
                "clk": {"direction": "input", "bits": [2]},
                "d": {"direction": "input", "bits": [3, 4]},
                "q": {"direction": "output", "bits": [5, "1"]},
                "io": {"direction": "inout", "bits": [6]},
            },
            "cells": {
                "f": {"type": "$lut", "parameters": {"LUT": "0110", "WIDTH": "00000000000000000000000000000010"},
                      "connections": {"A": [3, 4], "Y": [7]}},
                "g": {"type": "$lut", "parameters": {"LUT": "10000000", "WIDTH": "00000000000000000000000000000011"},
                      "connections": {"A": [7, "0", 6], "Y": [8]}},
                "r0": {"type": "$_DFF_P_", "connections": {"C": [2], "D": [8], "Q": [5]}},
                "r1": {"type": "$_DFFE_PN_", "connections": {"C": [2], "D": [7], "E": [3], "Q": [6]}},
                "r2": {"type": "$_SDFFCE_NP1N_",
                       "connections": {"C": [2], "D": [5], "E": [4], "R": [3], "Q": [9]}},
            },
            "netnames": {"clk": {"hide_name": 0, "bits": [2]}, "mid": {"hide_name": 0, "bits": [7]}},
        }
    },
}

# The cell families beyond LUTs and synchronous flip-flops, gates, names
# that need escaping, ports tied off, and cells that cannot be placed.
FAMILIES = {
    "modules": {
        "fam": {
            "attributes": {"top": "00000000000000000000000000000001"},
            "ports": {
                "c": {"direction": "input", "bits": [2]},
                "r": {"direction": "input", "bits": [3]},
                "d": {"direction": "input", "bits": [4, 5]},
                "q\"\n": {"direction": "output", "bits": [6, 7, 8, 9, "0", "x"], "offset": 2, "upto": 1},
            },
            "cells": {
                "a": {"type": "$_DFF_PN0_", "connections": {"C": [2], "R": [3], "D": [4], "Q": [6]}},
                "b": {"type": "$_DFFSRE_NPNP_",
                      "connections": {"C": [2], "S": [3], "R": ["0"], "E": [5], "D": [4], "Q": [7]}},
                "e": {"type": "$_ALDFFE_PPN_",
                      "connections": {"C": [2], "L": [3], "AD": [5], "E": [4], "D": [10], "Q": [8]}},
                "": {"type": "$_DLATCHSR_NPN_", "connections": {"E": [2], "S": [3], "R": [5], "D": [4], "Q": [9]}},
                "s": {"type": "$_SR_NP_", "connections": {"S": [4], "R": [5], "Q": [11]}},
                "g": {"type": "$_AOI4_", "connections": {"A": [4], "B": [5], "C": [11], "D": ["1"], "Y": [10]}},
                "m": {"type": "$_MUX8_", "connections": {"A": [2], "B": [3], "C": [4], "D": [5], "E": [6], "F": [7],
                                                         "G": [8], "H": [9], "S": [4], "T": [5], "U": [11],
                                                         "Y": [12]}},
                "m\u0000": {"type": "$mem_v2", "connections": {}},
            },
            "netnames": {"": {"bits": [10]}, "w": {"bits": [11, 12], "offset": 4}},
        }
    }
}

# Small designs for yosys to map, when it is at hand: real netlists to mutate.
VERILOG = {
    "counter": """module counter(input clk, input rst, input en, output [3:0] q, output carry);
  reg [3:0] c;
  always @(posedge clk) if (rst) c <= 0; else if (en) c <= c + 1;
  assign q = c;
  assign carry = &c;
endmodule
""",
    "shift": """module shift(input clk, input d, input load, input [2:0] p, output o);
  reg [2:0] s;
  always @(negedge clk) if (load) s <= p; else s <= {s[1:0], d};
  assign o = s[2] ^ d;
endmodule
""",
}


def netlist_seeds():
    t = "fuzz_netlist"
    text = json.dumps(SMALL_NETLIST, indent=1)
    write(t, "small.json", text.encode())
    write(t, "small.json.gz", gzip.compress(text.encode(), mtime=0))
    # Bad ones: truncated JSON, no modules, two modules and no top, an unknown
    # cell type, a wide LUT, a pin without a net, a bit that is no net.
    write(t, "truncated.json", text[: len(text) // 2].encode())
    write(t, "no_modules.json", b'{"creator": "x", "modules": {}}')
    two = {"modules": {"a": SMALL_NETLIST["modules"]["top"], "b": {"ports": {}, "cells": {}, "netnames": {}}}}
    two["modules"]["a"] = dict(two["modules"]["a"], attributes={})
    write(t, "two_modules_no_top.json", json.dumps(two).encode())
    bad = json.loads(text)
    cells = bad["modules"]["top"]["cells"]
    cells["m"] = {"type": "$mul", "connections": {"A": [3], "B": [4], "Y": [10]}}
    write(t, "unknown_cell.json", json.dumps(bad).encode())
    bad = json.loads(text)
    bad["modules"]["top"]["cells"]["f"]["connections"]["A"] = [3, 4, 5, 6, 7]
    write(t, "wide_lut.json", json.dumps(bad).encode())
    bad = json.loads(text)
    del bad["modules"]["top"]["cells"]["r0"]["connections"]["D"]
    write(t, "register_without_d.json", json.dumps(bad).encode())
    bad = json.loads(text)
    bad["modules"]["top"]["ports"]["d"]["bits"] = [3, 18446744073709551615]
    write(t, "bits_out_of_range.json", json.dumps(bad).encode())
    # Every other cell family, awkward names, and what is refused.
    write(t, "families.json", json.dumps(FAMILIES, indent=1).encode())
    packed = gzip.compress(json.dumps(FAMILIES).encode(), mtime=0)
    write(t, "truncated.json.gz", packed[: len(packed) * 2 // 3])
    bad = json.loads(text)
    bad["modules"]["top"]["cells"]["r1"]["connections"]["Q"] = [5]
    write(t, "two_drivers.json", json.dumps(bad).encode())
    two = {"modules": {"a": SMALL_NETLIST["modules"]["top"], "b": SMALL_NETLIST["modules"]["top"]}}
    write(t, "two_tops.json", json.dumps(two).encode())
    bad = json.loads(text)
    bad["modules"]["top"]["cells"]["f"]["connections"]["A"] = [[[[[[[[[[[[3]]]]]]]]]]]]
    write(t, "nested.json", json.dumps(bad).encode())
    bad = json.loads(text)
    bad["modules"]["top"]["cells"]["f"]["parameters"]["LUT"] = "011"
    write(t, "short_mask.json", json.dumps(bad).encode())
    # Netlists yosys wrote for the reader's tests.
    data = os.path.join(HERE, "..", "tests", "qplace", "data")
    for name in ("regs", "latches", "gates", "memory", "ports"):
        with open(os.path.join(data, name + ".json")) as f:
            netlist = json.load(f)
        netlist.pop("creator", None)
        write(t, "yosys_" + name + ".json", json.dumps(netlist, separators=(",", ":")).encode())
    if shutil.which("yosys") is None:
        return
    with tempfile.TemporaryDirectory() as tmp:
        for name, source in VERILOG.items():
            v, out = os.path.join(tmp, name + ".v"), os.path.join(tmp, name + ".json")
            with open(v, "w") as f:
                f.write(source)
            subprocess.run(["yosys", "-q", "-p", f"read_verilog {v}; synth -top {name} -flatten; "
                            f"abc -lut 4; opt_clean; write_json {out}"], check=True)
            with open(out) as f:
                netlist = json.load(f)
            netlist.pop("creator", None)  # names the yosys version
            write(t, "yosys_" + name + ".json", json.dumps(netlist, separators=(",", ":")).encode())


if __name__ == "__main__":
    linsys_seeds()
    matching_seeds()
    timers_seeds()
    route_seeds()
    netlist_seeds()
