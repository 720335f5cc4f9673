"""The statsmodels anchor: pandas.read_csv, then OLS(y, add_constant(X)).fit() and summary().

    /usr/bin/python3 statsmodels_fit.py FILE.csv

fit() is statsmodels' default, the pseudo-inverse (an SVD of the n-by-11 design). Prints
"phase read SECONDS", "phase fit SECONDS" (fit and summary) and one line
"coefficient NAME VALUE" per estimate (17 significant digits), the constant named (Intercept).
"""
import sys
import time

import pandas as pd
import statsmodels.api as sm

start = time.perf_counter()
data = pd.read_csv(sys.argv[1])
print(f"phase read {time.perf_counter() - start:.3f}", flush=True)

start = time.perf_counter()
X = sm.add_constant(data.drop(columns="y"))
fit = sm.OLS(data["y"], X).fit()
fit.summary()
print(f"phase fit {time.perf_counter() - start:.3f}")
for name, value in fit.params.items():
    print(f"coefficient {'(Intercept)' if name == 'const' else name} {value:.17g}")
