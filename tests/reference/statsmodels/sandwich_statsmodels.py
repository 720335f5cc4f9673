"""Robust covariances of the sandwich_<case>.txt fits by statsmodels, a second independent source.

For every case written by ../r/sandwich.R (design F, response y, cluster codes), OLS(y, F).fit
with cov_type 'HC0'..'HC3' and 'cluster' (groups = the first clustering variable, and both as a
two-column array where there are two), use_t=True: the covariance, standard errors, t values,
two-sided P values, the degrees of freedom statsmodels takes for them (the residual ones, or
G - 1 for a cluster covariance), and f_test of the two hypotheses of the R file.
The rank-deficient case is left out: statsmodels solves it by the pseudo-inverse, which splits
the coefficient between the duplicated columns where R aliases one of them.
Writes statsmodels_<case>.txt (same "key = value" lines, 17 significant digits).
Run from this folder with the Debian python (python3-statsmodels): /usr/bin/python3 sandwich_statsmodels.py
"""
import math
import re

import numpy as np
import statsmodels
import statsmodels.api as sm

CASES = ["mtcars", "swiss", "stackloss", "savings", "orange", "chickweight", "mtcars_leverage", "mtcars_far"]


def read_reference(path):
    values = {}
    with open(path) as f:
        for line in f:
            if line.startswith("#") or " = " not in line:
                continue
            key, value = line.rstrip("\n").split(" = ", 1)
            values[key] = value
    return values


def vector(values, key):
    items = {int(m.group(1)): v for k, v in values.items()
             if (m := re.fullmatch(re.escape(key) + r"\[(\d+)\]", k))}
    return np.array([float(items[i]) for i in range(1, len(items) + 1)])


def matrix(values, key, rows, cols):
    return np.array([[float(values[f"{key}[{i},{j}]"]) for j in range(1, cols + 1)]
                     for i in range(1, rows + 1)])


def f17(x):
    x = float(x)
    if math.isnan(x):
        return "NaN"
    if math.isinf(x):
        return "Inf" if x > 0 else "-Inf"
    return "%.17g" % x


def write_fit(out, label, res, hypotheses):
    n = len(res.params)
    cov = res.cov_params()
    df = getattr(res, "df_resid_inference", None) or res.df_resid
    out.append(f"# {label}: cov_params(), bse, tvalues, pvalues (t on df_{label} degrees of freedom)")
    out.append(f"df_{label} = {int(df)}")
    out += [f"cov_{label}[{i + 1},{j + 1}] = {f17(cov[i, j])}" for i in range(n) for j in range(n)]
    for key, values in (("se", res.bse), ("t", res.tvalues), ("p", res.pvalues)):
        out += [f"{key}_{label}[{i + 1}] = {f17(v)}" for i, v in enumerate(values)]
    for h, (R, r) in enumerate(hypotheses, start=1):
        try:
            test = res.f_test((R, r))
            fvalue, pvalue = float(np.squeeze(test.fvalue)), float(test.pvalue)
            out.append(f"wald{h}_df2_{label} = {int(test.df_denom)}")
        except Exception:  # a singular R V R'
            fvalue = pvalue = float("nan")
        out.append(f"wald{h}_f_{label} = {f17(fvalue)}")
        out.append(f"wald{h}_p_{label} = {f17(pvalue)}")


def main():
    for case in CASES:
        ref = read_reference(f"../r/sandwich_{case}.txt")
        m, n = int(ref["rows"]), int(ref["parameters"])
        F, y = matrix(ref, "F", m, n), vector(ref, "y")
        hypotheses = []
        for h in (1, 2):
            r = vector(ref, f"wald{h}_r")
            hypotheses.append((matrix(ref, f"wald{h}_R", len(r), n), r))
        model = sm.OLS(y, F)
        out = [f"# statsmodels {statsmodels.__version__}, numpy {np.__version__}: "
               f"OLS(y, F).fit(cov_type=..., use_t=True) on F, y of ../r/sandwich_{case}.txt"]
        with np.errstate(divide="ignore", invalid="ignore"):
            for cov_type in ("HC0", "HC1", "HC2", "HC3"):
                write_fit(out, cov_type.lower(), model.fit(cov_type=cov_type, use_t=True), hypotheses)
            clusters = int(ref["clusters"])
            groups = [vector(ref, f"cluster{k}").astype(int) for k in range(1, clusters + 1)]
            if clusters >= 1:
                fit = model.fit(cov_type="cluster", cov_kwds={"groups": groups[0]}, use_t=True)
                write_fit(out, "cluster1", fit, hypotheses)
            if clusters >= 2:
                fit = model.fit(cov_type="cluster", use_t=True,
                                cov_kwds={"groups": np.column_stack(groups[:2])})
                write_fit(out, "cluster2", fit, hypotheses)
        with open(f"statsmodels_{case}.txt", "w") as f:
            f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
