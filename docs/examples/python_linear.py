"""The linear analyses of the guide's "Python" section on mtcars: the best model of every size,
the verdicts of the library's reports on one of them, and its least-median-of-squares fit."""
import pathlib

import pandas

import kelmath

cars = pandas.read_csv(pathlib.Path(__file__).with_name("mtcars.csv"), index_col="model")

best = kelmath.stepwise(cars, response="mpg")
for size in best.sizes:
    print(f"{size:2d} {best.mse[size]:8.4f}  {' '.join(best.columns[size][1:])}".rstrip())
print("suggested:", best.columns[best.suggested])

columns = ["wt", "hp", "qsec", "am"]
fit = kelmath.ols(cars, response="mpg", columns=columns)
verdicts = fit.verdicts
print(f"conditioning {verdicts.conditioning}, multicollinearity {verdicts.multicollinearity}, "
      f"normality index {verdicts.normality_index:.4f} ({verdicts.normality})")
print("influential:", ", ".join(verdicts.influential_rows))
report = fit.report("least_squares")
print(next(line for line in report.splitlines() if line.startswith("Condition Number")))

robust = kelmath.lms(cars, response="mpg", columns=columns)
print(f"median of squared residuals {robust.lms:.6g}, robust scale {robust.scale:.6g}")
print("outliers:", ", ".join(robust.outliers))
