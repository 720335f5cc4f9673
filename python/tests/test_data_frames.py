"""A pandas DataFrame: names carried into the results, rows with missing values dropped (as
statsmodels' missing="drop" drops them) and reported, the command's summary and JSON."""
import json

import numpy
import pandas
import statsmodels.api as sm

import kelmath
from conftest import read_data

COLUMNS = ["Solar.R", "Wind", "Temp"]


def airquality_fit():
    return kelmath.ols(read_data("airquality.csv"), response="Ozone", columns=COLUMNS)


def test_results_are_series_indexed_by_the_names():
    fit = airquality_fit()
    assert fit.names == ["(Intercept)", *COLUMNS]
    for values in (fit.params, fit.bse, fit.tvalues, fit.pvalues):
        assert isinstance(values, pandas.Series)
        assert list(values.index) == fit.names
    assert list(fit.conf_int().index) == fit.names


def test_rows_with_missing_values_are_dropped_and_reported():
    frame = read_data("airquality.csv")
    fit = airquality_fit()
    missing = frame[["Ozone", *COLUMNS]].isna().any(axis=1)
    assert fit.dropped_rows == list(frame.index[missing])
    assert fit.nobs == (~missing).sum()
    assert list(fit.resid.index) == list(frame.index[~missing])
    theirs = sm.OLS(frame["Ozone"], sm.add_constant(frame[COLUMNS]), missing="drop").fit()
    numpy.testing.assert_allclose(fit.params, theirs.params, rtol=1e-10, atol=0)
    numpy.testing.assert_allclose(fit.bse, theirs.bse, rtol=1e-10, atol=0)


def test_arrays_give_arrays_and_names():
    frame = read_data("airquality.csv").dropna()
    fit = kelmath.ols(frame[COLUMNS].to_numpy(), frame["Ozone"].to_numpy(), names=COLUMNS)
    assert isinstance(fit.params, numpy.ndarray)
    assert fit.names == ["(Intercept)", *COLUMNS]
    assert fit.dropped_rows == []


def test_summary_is_the_commands_and_json_its_result():
    fit = airquality_fit()
    summary = fit.summary()
    assert summary.startswith("Call: kelmath.ols(Ozone ~ Solar.R + Wind + Temp)")
    for name in COLUMNS:
        assert name in summary
    result = fit.to_dict()
    assert result == json.loads(fit.to_json())
    assert [c["name"] for c in result["coefficients"]] == fit.names
