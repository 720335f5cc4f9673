"""Shared pieces of the kelmath tests: the reference data sets of tests/reference/r and the
models the R reference scripts fit on them."""
import pathlib

import pandas
import pytest

REFERENCE = pathlib.Path(__file__).resolve().parents[2] / "tests" / "reference" / "r"

# name: (csv, response, columns); the models of tests/reference/r/sandwich.R.
MODELS = {
    "mtcars": ("mtcars.csv", "mpg", ["wt", "hp", "qsec", "am"]),
    "swiss": ("swiss.csv", "Fertility",
              ["Agriculture", "Examination", "Education", "Catholic", "Infant.Mortality"]),
    "stackloss": ("stackloss.csv", "stack.loss", ["Air.Flow", "Water.Temp", "Acid.Conc."]),
    "savings": ("savings.csv", "sr", ["pop15", "pop75", "dpi", "ddpi"]),
    "orange": ("orange.csv", "circumference", ["age"]),
}


def read_data(csv):
    return pandas.read_csv(REFERENCE / csv)


def read_r_values(case):
    """The "key = value" lines of tests/reference/r/sandwich_<case>.txt (R's lm and sandwich)."""
    values = {}
    for line in (REFERENCE / f"sandwich_{case}.txt").read_text().splitlines():
        if line.startswith("#") or " = " not in line:
            continue
        key, value = line.split(" = ", 1)
        values[key] = value
    return values


def r_vector(values, key):
    import numpy
    count = sum(1 for k in values if k.startswith(key + "["))
    return numpy.array([float(values[f"{key}[{i}]"]) for i in range(1, count + 1)])


@pytest.fixture(params=sorted(MODELS))
def model(request):
    csv, response, columns = MODELS[request.param]
    return request.param, read_data(csv), response, columns
