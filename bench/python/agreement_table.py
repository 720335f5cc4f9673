"""The agreement of kelmath.ols with statsmodels and with R on the reference data sets, as a
table of the largest relative differences (not a test: the tests assert 1e-10; this prints how
far inside that the numbers are).

    PYTHONPATH=build/python /usr/bin/python3 bench/python/agreement_table.py

Relative differences are |ours - theirs| / |theirs|, except for residuals, fitted values and
covariances, which are measured against the largest magnitude of their kind (as the tests do).
"""
import pathlib
import sys

import numpy
import statsmodels.api as sm

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "python" / "tests"))
from conftest import MODELS, r_vector, read_data, read_r_values  # noqa: E402

import kelmath  # noqa: E402


def relative(ours, theirs):
    ours, theirs = numpy.asarray(ours, dtype=float), numpy.asarray(theirs, dtype=float)
    return float(numpy.max(numpy.abs(ours - theirs) / numpy.abs(theirs)))


def on_scale(ours, theirs):
    ours, theirs = numpy.asarray(ours, dtype=float), numpy.asarray(theirs, dtype=float)
    return float(numpy.max(numpy.abs(ours - theirs)) / numpy.max(numpy.abs(theirs)))


def against_statsmodels(frame, response, columns):
    worst = {}
    exog = sm.add_constant(frame[columns])
    for cov_type in ["classical", "HC0", "HC1", "HC2", "HC3"]:
        ours = kelmath.ols(frame, response=response, columns=columns, cov_type=cov_type)
        model = sm.OLS(frame[response], exog)
        theirs = model.fit() if cov_type == "classical" else model.fit(cov_type=cov_type,
                                                                        use_t=True)
        pairs = {
            "params": relative(ours.params, theirs.params),
            "bse": relative(ours.bse, theirs.bse),
            "tvalues": relative(ours.tvalues, theirs.tvalues),
            "pvalues": relative(ours.pvalues, theirs.pvalues),
            "cov_params": on_scale(ours.cov_params(), theirs.cov_params()),
            "fvalue": relative(ours.fvalue, theirs.fvalue),
        }
        if cov_type == "classical":
            influence = theirs.get_influence()
            pairs.update({
                "rsquared": relative(ours.rsquared, theirs.rsquared),
                "rsquared_adj": relative(ours.rsquared_adj, theirs.rsquared_adj),
                "llf": relative(ours.llf, theirs.llf),
                "resid": on_scale(ours.resid, theirs.resid),
                "fittedvalues": on_scale(ours.fittedvalues, theirs.fittedvalues),
                "hat_matrix_diag": relative(ours.get_influence().hat_matrix_diag,
                                            influence.hat_matrix_diag),
                "cooks_distance": relative(ours.get_influence().cooks_distance[0],
                                           influence.cooks_distance[0]),
                "resid_studentized_external": on_scale(
                    ours.get_influence().resid_studentized_external,
                    influence.resid_studentized_external),
            })
        for key, value in pairs.items():
            worst[key] = max(worst.get(key, 0.0), value)
    return worst


def against_r(case, frame, response, columns):
    r = read_r_values(case)
    worst = {}
    for cov_type in ["classical", "HC0", "HC1", "HC2", "HC3", "HC4", "HC4m", "HC5"]:
        fit = kelmath.ols(frame, response=response, columns=columns, cov_type=cov_type)
        key = cov_type.lower()
        intervals = fit.conf_int(0.05).to_numpy()
        pairs = {
            "params": relative(fit.params, r_vector(r, "estimate")),
            "bse": relative(fit.bse, r_vector(r, f"se_{key}")),
            "tvalues": relative(fit.tvalues, r_vector(r, f"t_{key}")),
            "pvalues": relative(fit.pvalues, r_vector(r, f"p_{key}")),
            "conf_int": max(relative(intervals[:, 0], r_vector(r, f"ci95_low_{key}")),
                            relative(intervals[:, 1], r_vector(r, f"ci95_high_{key}"))),
        }
        for name, value in pairs.items():
            worst[name] = max(worst.get(name, 0.0), value)
    return worst


def print_table(title, rows):
    keys = sorted({key for values in rows.values() for key in values})
    print(f"\n{title}\n")
    print("| quantity | " + " | ".join(rows) + " |")
    print("|---" * (len(rows) + 1) + "|")
    for key in keys:
        cells = [f"{rows[case][key]:.1e}" if key in rows[case] else "" for case in rows]
        print(f"| {key} | " + " | ".join(cells) + " |")


def main():
    statsmodels_rows, r_rows = {}, {}
    for case, (csv, response, columns) in MODELS.items():
        frame = read_data(csv)
        statsmodels_rows[case] = against_statsmodels(frame, response, columns)
        r_rows[case] = against_r(case, frame, response, columns)
    print_table("Largest relative difference from statsmodels (classical and HC0-HC3)",
                statsmodels_rows)
    print_table("Largest relative difference from R (lm, sandwich; classical, HC0-HC5, HC4m)",
                r_rows)


if __name__ == "__main__":
    main()
