"""The reference solution: the least-squares coefficients of the file's exact doubles, computed in
long double (64-bit significands on x86-64), reading the file in blocks of 10^6 rows.

    /usr/bin/python3 longdouble_reference.py FILE.csv

Each number is read back to the very double the generator wrote (float_precision="round_trip";
pandas' default parser may miss by an ulp). The columns are shifted by the first block's means
before the cross products are summed, so the sums carry no large common part; the centred normal
equations of the slopes are then solved by Cholesky in long double and the intercept follows from
the means. On this data the centred design is near-orthogonal (condition about 1), so the solution
is good to far better than the 1e-12 at which the double-precision fits differ, and it tells whose
digits those are. Prints "phase read SECONDS" (the reading and summing), "phase fit SECONDS" and
one line "coefficient NAME VALUE" per estimate (17 significant digits).
"""
import sys
import time

import numpy as np
import pandas as pd

BLOCK_ROWS = 10**6


def centred_sums(path):
    """Rows, column means and the centred cross-product matrix of [x1..xk, y], in long double."""
    shift, names = None, None
    rows, sums, products = 0, None, None
    for block in pd.read_csv(path, chunksize=BLOCK_ROWS, float_precision="round_trip",
                             dtype="float64"):
        if names is None:
            names = [name for name in block.columns if name != "y"]
        values = block[names + ["y"]].to_numpy().astype(np.longdouble)
        if shift is None:
            shift = values.mean(axis=0)
            sums = np.zeros(values.shape[1], dtype=np.longdouble)
            products = np.zeros((values.shape[1],) * 2, dtype=np.longdouble)
        shifted = values - shift
        rows += shifted.shape[0]
        sums += shifted.sum(axis=0)
        products += shifted.T @ shifted
    mean_shifted = sums / rows
    centred = products - rows * np.outer(mean_shifted, mean_shifted)
    return names, shift + mean_shifted, centred


def cholesky_solve(a, b):
    """x with a x = b for a symmetric positive definite a, all in long double."""
    k = a.shape[0]
    lower = np.zeros_like(a)
    for j in range(k):
        lower[j, j] = np.sqrt(a[j, j] - lower[j, :j] @ lower[j, :j])
        for i in range(j + 1, k):
            lower[i, j] = (a[i, j] - lower[i, :j] @ lower[j, :j]) / lower[j, j]
    z = np.zeros_like(b)
    for i in range(k):
        z[i] = (b[i] - lower[i, :i] @ z[:i]) / lower[i, i]
    x = np.zeros_like(b)
    for i in reversed(range(k)):
        x[i] = (z[i] - lower[i + 1:, i] @ x[i + 1:]) / lower[i, i]
    return x


start = time.perf_counter()
names, means, centred = centred_sums(sys.argv[1])
print(f"phase read {time.perf_counter() - start:.3f}", flush=True)

start = time.perf_counter()
slopes = cholesky_solve(centred[:-1, :-1], centred[:-1, -1])
intercept = means[-1] - means[:-1] @ slopes
print(f"phase fit {time.perf_counter() - start:.3f}")
for name, value in zip(["(Intercept)"] + names, [intercept, *slopes]):
    print(f"coefficient {name} {float(value):.17g}")
