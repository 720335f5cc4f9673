"""The diagnostic plots of the guide's "Python" section: the four panels of `kelmath regress
--plots` for mtcars, drawn with matplotlib and saved as one PNG image."""
import pathlib

import pandas

import kelmath

cars = pandas.read_csv(pathlib.Path(__file__).with_name("mtcars.csv"), index_col="model")
fit = kelmath.ols(cars, response="mpg", columns=["wt", "hp", "qsec", "am"])

figure = fit.plot_diagnostics()  # a matplotlib Figure: nothing is shown or written yet
for ax in figure.axes:
    named = [text.get_text() for text in ax.texts if text.get_gid() == "row-label"]
    print(f"{ax.get_title()}: {', '.join(named)}")
figure.savefig("diagnostics.png", dpi=80)
