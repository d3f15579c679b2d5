#!/usr/bin/env python3
"""Writes the hand-made seeds of fuzz/corpus/ (run by hand; the seeds are kept
in the repository). Each seed spells out, in the input format of its target,
a small case that a user would write: the fuzzer starts from these and mutates.
Usage: python3 fuzz/make_seeds.py"""
import os
import struct

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
    t = "fuzz_matching"
    # Two rows want the one real column, with weights 5 and 3.
    write(t, "two_rows_one_column", [0, 2, 1] + arc(0, 0, 5) + arc(1, 0, 3) + solve(0, [None] * 2))
    # A row pinned to column 2, then solved again with the pinned row kept.
    pre = [0, 3, 4] + arc(0, 0, 7) + arc(0, 1, 2) + arc(1, 1, 9) + arc(2, 2, 4) + arc(2, 3, 4)
    pre += solve(1, [None, 2, None]) + arc(1, 3, 12) + solve(0, [None] * 3) + M_COPY + solve(2, [4, None, 6])
    write(t, "preassigned", pre)
    # Equal weights everywhere: ties go to the lower column.
    ties = [0, 4, 4]
    for r in range(4):
        for c in range(4):
            ties += arc(r, c, 6)
    write(t, "ties", ties + solve(0, [None] * 4) + m_assign(2, 3) + solve(0, [None] * 4))
    # Weights at the ends of the int range, one column a row, others moderate.
    big = [0, 3, 3] + arc(0, 1, 2**31 - 1) + arc(1, 1, 2**31 - 2) + arc(2, 1, -2**31)
    big += arc(0, 0, 1200) + arc(1, 2, -3000) + arc(2, 0, 15000) + solve(0, [None] * 3)
    write(t, "int_range", big)
    # Rows without their own dummy: more rows than columns to share.
    lost = [0, 3, 1] + own_dummy(0, 0) + own_dummy(1, 0) + own_dummy(2, 0) + arc(0, 0, 4) + arc(1, 0, 9)
    write(t, "dummies_removed", lost + solve(0, [None] * 3) + arc(2, 0, 1) + solve(0, [None] * 3))
    # Indices past either end, a dummy column of another row, no rows, no real columns.
    edges = [0, 2, 2] + arc(-1, 0, 5) + arc(2, 0, 5) + arc(0, -2, 5) + arc(0, 4, 5) + arc(0, 3, 8)
    write(t, "out_of_range", edges + solve(1, [None, 5]) + solve(0, [None] * 2))
    write(t, "no_rows", [0, 0, 3] + arc(0, 0, 1) + solve(1, []))
    write(t, "no_real_columns", [0, 3, 0x85] + arc(1, 1, 5) + solve(0, [None] * 3))
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


if __name__ == "__main__":
    linsys_seeds()
    matching_seeds()
    timers_seeds()
