"""Readers of the key = value files of tests/reference (R and exhaustive enumerations)."""
import pathlib

import numpy

REFERENCE = pathlib.Path(__file__).resolve().parents[2] / "tests" / "reference"


def read_values(relative):
    """The "key = value" lines of tests/reference/<relative>, values as text."""
    values = {}
    for line in (REFERENCE / relative).read_text().splitlines():
        if line.startswith("#") or " = " not in line:
            continue
        key, value = line.split(" = ", 1)
        values[key.strip()] = value.strip()
    return values


def vector(values, key):
    """key[1], key[2], ... as an array."""
    count = sum(1 for k in values if k.startswith(key + "[") and "," not in k)
    return numpy.array([float(values[f"{key}[{i}]"]) for i in range(1, count + 1)])


def matrix(values, key, rows, columns):
    return numpy.array([[float(values[f"{key}[{i},{j}]"]) for j in range(1, columns + 1)]
                        for i in range(1, rows + 1)])


def lms_data(name):
    """F (intercept column first), y and the file's values of r/lms_data_<name>.txt."""
    values = read_values(f"r/lms_data_{name}.txt")
    m, n = int(values["m"]), int(values["n"])
    return matrix(values, "F", m, n), vector(values, "y"), values
