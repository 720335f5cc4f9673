"""Writes a regression data set of ROWS rows and 10 columns (y, x1..x9) to a CSV file, as the
benchmark of the kelmath command against statsmodels and R reads it.

    /usr/bin/python3 make_data.py ROWS FILE.csv

y = 1 + x1 + ... + x9 / 9 + e with standard normal x and e (seed 27): clean Gaussian data,
on which the rules of thumb flag about 7 % of the rows.
"""
import sys

import numpy as np

rows, path = int(sys.argv[1]), sys.argv[2]
rng = np.random.default_rng(27)
x = rng.standard_normal((rows, 9))
y = 1.0 + x @ (np.arange(1, 10) / 9.0) + rng.standard_normal(rows)
header = "y," + ",".join(f"x{j}" for j in range(1, 10))
np.savetxt(path, np.column_stack([y, x]), fmt="%.15g", delimiter=",", header=header, comments="")
