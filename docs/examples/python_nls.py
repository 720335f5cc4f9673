"""The guide's "Nonlinear models from Python": NIST's Misra1a with a vectorised model, then two
rival models of one response with a known variance, their comparison and the next experiment."""
import pathlib

import numpy as np
import pandas

import kelmath

misra = pandas.read_csv(pathlib.Path(__file__).with_name("misra1a.csv"))


def exponential_rise(x, b):  # x: every experiment at once, one row each
    return b[0] * (1 - np.exp(-b[1] * x[:, 0]))


fit = kelmath.nls(exponential_rise, misra[["x"]], misra["y"], {"b1": 500, "b2": 1e-4})
print(pandas.DataFrame({"estimate": fit.params, "std error": fit.bse}).to_string(
    float_format="%.8g"))
print(f"ssr {fit.ssr:.8g}, {fit.stop_reason}")

x = np.array([0.2, 0.5, 1.0, 2.0, 4.0, 8.0])
y = np.array([0.58, 0.99, 1.34, 1.59, 1.78, 1.88])
rivals = kelmath.nls([lambda x, b: b[0] * x[:, 0] / (b[1] + x[:, 0]), exponential_rise], x, y,
                     [[1, 1], [1, 1]], variances=1e-4, dof=5)
print(rivals.comparison[["value", "ratio", "pvalue"]].to_string(float_format="%.4g"))
design = rivals.search_experiments(0.1, 10)
print(f"next experiment: x = {design['balanced'][0]:g}")

try:
    kelmath.nls(exponential_rise, misra[["x"]], misra["y"], {"b1": 500, "b2": 1e-4},
                variances=0, dof=5)
except kelmath.KelMathError as error:
    print(f"{type(error).__name__}: {error.args[0].splitlines()[-1]}")
