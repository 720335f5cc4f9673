"""The fit of the guide's "Python" section: mtcars' mpg on weight, power, quarter-mile time and
transmission, with standard errors that stay valid under heteroskedasticity (HC3)."""
import pathlib

import pandas

import kelmath

cars = pandas.read_csv(pathlib.Path(__file__).with_name("mtcars.csv"))
fit = kelmath.ols(cars, response="mpg", columns=["wt", "hp", "qsec", "am"], cov_type="HC3")

table = pandas.DataFrame({"estimate": fit.params, "HC3 se": fit.bse, "P": fit.pvalues})
print(table.to_string(float_format="%.6g"))
cooks, _ = fit.get_influence().cooks_distance
print(f"R^2 {fit.rsquared:.6f} on {fit.nobs} cars; largest Cook's distance {cooks.max():.4f}, "
      f"{cars.model[cooks.idxmax()]}")

try:
    kelmath.ols(cars, response="mpg", columns=["weight"])
except kelmath.KelMathError as error:
    print(f"{type(error).__name__}: {error}")
