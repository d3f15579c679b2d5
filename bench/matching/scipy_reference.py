#!/usr/bin/python3
"""Times scipy.optimize.linear_sum_assignment on the windows that
bench_matching writes with BASAPLACE_DUMP_WINDOWS=<dir>, to see how the
benchmark's dense exact solver (/exactdense) compares with it.

Each window becomes the same cost matrix that /exactdense solves: rows x
(realCols + rows), cost -weight on each arc, 10000 on each row's own dummy
column, +inf (not allowed) elsewhere. Per window it prints the median time of
a call and the optimal total (as a sum of weights, -10000 per row on its
dummy), and checks that total against the one bench_matching found.

Run it with the system interpreter, which has python3-scipy:
    /usr/bin/python3 bench/matching/scipy_reference.py <dir> [--match R1024] [--repeat 5]
"""
import argparse
import glob
import os
import statistics
import sys
import time

import numpy as np
import scipy
from scipy.optimize import linear_sum_assignment

DUMMY = -10000


def load(path):
    with open(path) as f:
        rows, real_cols, optimum = (int(x) for x in f.readline().split())
        cost = np.full((rows, real_cols + rows), np.inf)
        for i in range(rows):
            fields = [int(x) for x in f.readline().split()]
            n = fields[0]
            cols = fields[1:1 + 2 * n:2]
            weights = fields[2:2 + 2 * n:2]
            if len(cols) != n or len(weights) != n:
                raise ValueError(f"{path}: row {i} is short")
            cost[i, cols] = -np.asarray(weights, dtype=np.float64)
            cost[i, real_cols + i] = -DUMMY
    return cost, optimum


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("dir", help="directory written by bench_matching")
    ap.add_argument("--match", action="append", default=[],
                    help="only windows whose file name contains this (may repeat)")
    ap.add_argument("--repeat", type=int, default=5, help="timed calls per window")
    args = ap.parse_args()

    paths = sorted(glob.glob(os.path.join(args.dir, "*.txt")))
    if args.match:
        paths = [p for p in paths if any(m in os.path.basename(p) for m in args.match)]
    if not paths:
        sys.exit(f"no windows in {args.dir}")

    print(f"scipy {scipy.__version__}, numpy {np.__version__}")
    print(f"{'case':<28} {'rows':>6} {'scipy_us':>12} {'total':>12} {'bench':>12}  agree")
    bad = 0
    for path in paths:
        cost, optimum = load(path)
        times = []
        for _ in range(args.repeat):
            t0 = time.perf_counter()
            r, c = linear_sum_assignment(cost)
            times.append(time.perf_counter() - t0)
        total = int(round(-cost[r, c].sum()))
        agree = total == optimum and len(r) == cost.shape[0]
        bad += not agree
        name = os.path.basename(path)[:-4]
        print(f"{name:<28} {cost.shape[0]:>6} {statistics.median(times) * 1e6:>12.1f} "
              f"{total:>12} {optimum:>12}  {'yes' if agree else 'NO'}")
    sys.exit(1 if bad else 0)


if __name__ == "__main__":
    main()
