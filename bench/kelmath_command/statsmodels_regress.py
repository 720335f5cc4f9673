"""The statsmodels side of the benchmark: what `kelmath regress FILE.csv --response y` computes.

read_csv, OLS, summary, then the leverages and Cook's distances of get_influence() and the
externally studentized residuals by their closed form (summary_frame() would refit m times),
and the number of rows the three rules of thumb flag.
"""
import sys

import numpy as np
import pandas as pd
import statsmodels.api as sm

data = pd.read_csv(sys.argv[1])
y = data["y"]
X = sm.add_constant(data.drop(columns="y"))
fit = sm.OLS(y, X).fit()
print(fit.summary())
influence = fit.get_influence()
h = influence.hat_matrix_diag
cook = influence.cooks_distance[0]
m, n = X.shape
r = fit.resid.to_numpy()
ss = r @ r
s2_without = (ss - r**2 / (1.0 - h)) / (m - n - 1)
studentized = r / np.sqrt(s2_without * (1.0 - h))
flagged = (cook > 4.0 / m) | (np.abs(studentized) > 3.0) | (h > 2.0 * n / m)
print("influential rows:", int(flagged.sum()))
