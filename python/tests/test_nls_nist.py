"""kelmath.nls on the NIST StRD nonlinear problems the library's own test covers
(tests/nonlinear/kel_nonlinear_regression_nist_test.cpp), from both of NIST's starts, with the
models written vectorised in NumPy: parameters and residual sum of squares to 6 correct digits
(log relative error) and standard errors to 4, with central differences and with the analytic
Jacobian. The Python model is called once per sweep of the library over the experiments."""
import math
import pathlib

import numpy as np
import pytest

import kelmath

NIST = pathlib.Path(__file__).resolve().parents[2] / "tests" / "reference" / "nist" / "nonlinear"


def read_problem(name):
    """The starts, certified values and data of tests/reference/nist/nonlinear/NAME.txt, read as
    the C++ tests read them (kel_nist_nonlinear_problem.h)."""
    problem = {"start1": [], "start2": [], "certified": [], "errors": [], "x": [], "y": []}
    data = False
    for line in (NIST / f"{name}.txt").read_text().splitlines():
        if not line or line.startswith("#"):
            continue
        fields = line.split()
        if data:
            problem["x"].append(float(fields[0]))
            problem["y"].append(float(fields[1]))
        elif fields[0] == "param":
            for key, value in zip(("start1", "start2", "certified", "errors"), fields[2:6]):
                problem[key].append(float(value))
        elif fields[0] == "rss:":
            problem["rss"] = float(fields[1])
        elif fields[0] == "data:":
            data = True
    return {k: np.array(v) if isinstance(v, list) else v for k, v in problem.items()}


def gaussian(x, amplitude, centre, width):
    return amplitude * np.exp(-(x - centre) ** 2 / width ** 2)


# NIST's model formulas over the column x[:, 0], and their derivatives (n, p).
def model(name, x, b):
    x = x[:, 0]
    if name == "Misra1a":
        return b[0] * (1 - np.exp(-b[1] * x))
    if name == "Misra1c":
        return b[0] * (1 - (1 + 2 * b[1] * x) ** -0.5)
    if name == "Chwirut2":
        return np.exp(-b[0] * x) / (b[1] + b[2] * x)
    if name in ("Lanczos2", "Lanczos3"):
        return sum(b[2 * t] * np.exp(-b[2 * t + 1] * x) for t in range(3))
    if name == "Gauss1":
        return b[0] * np.exp(-b[1] * x) + gaussian(x, *b[2:5]) + gaussian(x, *b[5:8])
    if name == "DanWood":
        return b[0] * x ** b[1]
    if name == "Kirby2":
        return (b[0] + b[1] * x + b[2] * x ** 2) / (1 + b[3] * x + b[4] * x ** 2)
    if name == "ENSO":
        w = 2 * math.pi * x
        return (b[0] + b[1] * np.cos(w / 12) + b[2] * np.sin(w / 12) + b[4] * np.cos(w / b[3]) +
                b[5] * np.sin(w / b[3]) + b[7] * np.cos(w / b[6]) + b[8] * np.sin(w / b[6]))
    raise KeyError(name)


def jacobian(name, x, b):
    x = x[:, 0]
    columns = []
    if name == "Misra1a":
        e = np.exp(-b[1] * x)
        columns = [1 - e, b[0] * x * e]
    elif name == "Misra1c":
        u = 1 + 2 * b[1] * x
        columns = [1 - u ** -0.5, b[0] * x * u ** -1.5]
    elif name == "Chwirut2":
        e, q = np.exp(-b[0] * x), b[1] + b[2] * x
        columns = [-x * e / q, -e / q ** 2, -x * e / q ** 2]
    elif name in ("Lanczos2", "Lanczos3"):
        for t in range(3):
            e = np.exp(-b[2 * t + 1] * x)
            columns += [e, -b[2 * t] * x * e]
    elif name == "Gauss1":
        e = np.exp(-b[1] * x)
        columns = [e, -b[0] * x * e]
        for a, c, w in (b[2:5], b[5:8]):
            g = np.exp(-(x - c) ** 2 / w ** 2)
            columns += [g, a * g * 2 * (x - c) / w ** 2, a * g * 2 * (x - c) ** 2 / w ** 3]
    elif name == "DanWood":
        columns = [x ** b[1], b[0] * x ** b[1] * np.log(x)]
    elif name == "Kirby2":
        num, den = b[0] + b[1] * x + b[2] * x ** 2, 1 + b[3] * x + b[4] * x ** 2
        columns = [1 / den, x / den, x ** 2 / den, -num * x / den ** 2, -num * x ** 2 / den ** 2]
    elif name == "ENSO":
        w = 2 * math.pi * x
        columns = [np.ones_like(x), np.cos(w / 12), np.sin(w / 12)]
        for period, cosine, sine in (b[3:6], b[6:9]):
            u = w / period
            columns += [(cosine * np.sin(u) - sine * np.cos(u)) * u / period, np.cos(u),
                        np.sin(u)]
    return np.column_stack(columns)


def lre(value, certified):
    """Log relative error: the number of correct digits."""
    error = abs(value - certified) / abs(certified)
    return math.inf if error == 0 else -math.log10(error)


PROBLEMS = ["Misra1a", "Chwirut2", "Lanczos3", "Gauss1", "DanWood", "Kirby2", "Misra1c", "ENSO",
            "Lanczos2"]


@pytest.mark.parametrize("analytic", [False, True], ids=["differences", "analytic"])
@pytest.mark.parametrize("name", PROBLEMS)
def test_certified_values_from_both_starts(name, analytic):
    p = read_problem(name)
    for start in ("start1", "start2"):
        fit = kelmath.nls(lambda x, b: model(name, x, b), p["x"], p["y"], p[start],
                          jac=(lambda x, b: jacobian(name, x, b)) if analytic else None)
        assert fit.converged, (start, fit.stop_reason)
        assert min(lre(v, c) for v, c in zip(fit.params, p["certified"])) >= 6, start
        assert min(lre(v, c) for v, c in zip(fit.bse, p["errors"])) >= 4, start
        assert lre(fit.ssr, p["rss"]) >= 6, start
        assert fit.df_resid == len(p["x"]) - len(p["certified"])
        np.testing.assert_allclose(fit.resid, p["y"] - fit.fittedvalues, rtol=0,
                                   atol=1e-12 * np.abs(p["y"]).max())
        # One Python call per sweep over the experiments: never more calls than the library's
        # evaluations of the model over all experiments (plus the check of the start).
        assert fit.python_calls <= fit.nfev + 1 + 2 * len(p["certified"]) + 2
