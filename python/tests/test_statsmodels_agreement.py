"""Every number of kelmath.ols against statsmodels' OLS on the same data: estimates and their
inference under the classical and the HC0..HC3 covariances, the fit's statistics, and each row's
residual, fitted value and influence.

1e-10 relative: both sides solve well-conditioned problems in double precision (statsmodels by a
pseudo-inverse, kelmath by a QR of scaled columns), so they agree to some 12 digits; statsmodels'
own tests compare with R to 1e-7 or looser. Values that are differences of nearly equal numbers
(residuals and what grows from them, covariances between estimates) are compared relative to the
scale of their kind: the largest of the vector, the product of the two standard errors.
The intervals are not compared here: statsmodels takes its t quantile from SciPy, whose
quantile is good to about 1e-9 only (1e-6 of an interval's bound near 0); they are compared
with R's in test_r_covariances.py.
"""
import math

import numpy
import pytest
import statsmodels.api as sm

import kelmath

RTOL = 1e-10
COV_TYPES = ["classical", "HC0", "HC1", "HC2", "HC3"]


def statsmodels_fit(frame, response, columns, cov_type):
    exog = sm.add_constant(frame[columns])
    model = sm.OLS(frame[response], exog)
    if cov_type == "classical":
        return model.fit()
    return model.fit(cov_type=cov_type, use_t=True)


def close(actual, expected):
    numpy.testing.assert_allclose(numpy.asarray(actual), numpy.asarray(expected), rtol=RTOL,
                                  atol=0)


def close_on_scale(actual, expected):
    """Within RTOL of the largest magnitude of the expected values."""
    expected = numpy.asarray(expected)
    numpy.testing.assert_allclose(numpy.asarray(actual), expected, rtol=0,
                                  atol=RTOL * numpy.abs(expected).max())


@pytest.mark.parametrize("cov_type", COV_TYPES)
def test_coefficients_and_their_inference_match_statsmodels(model, cov_type):
    _, frame, response, columns = model
    ours = kelmath.ols(frame, response=response, columns=columns, cov_type=cov_type)
    theirs = statsmodels_fit(frame, response, columns, cov_type)
    for name in ("params", "bse", "tvalues", "pvalues"):
        close(getattr(ours, name), getattr(theirs, name))
    difference = numpy.abs(numpy.asarray(ours.cov_params()) - theirs.cov_params())
    assert (difference <= RTOL * numpy.outer(theirs.bse, theirs.bse)).to_numpy().all(), difference
    assert ours.cov_type == cov_type
    close(ours.fvalue, theirs.fvalue)
    close(ours.f_pvalue, theirs.f_pvalue)


def test_fit_statistics_match_statsmodels(model):
    _, frame, response, columns = model
    ours = kelmath.ols(frame, response=response, columns=columns)
    theirs = statsmodels_fit(frame, response, columns, "classical")
    for name in ("rsquared", "rsquared_adj", "llf"):
        close(getattr(ours, name), getattr(theirs, name))
    # R's AIC and BIC count the residual variance as a parameter; statsmodels' do not.
    close(ours.aic, theirs.aic + 2)
    close(ours.bic, theirs.bic + math.log(theirs.nobs))
    assert ours.nobs == theirs.nobs
    assert ours.df_resid == theirs.df_resid
    assert ours.df_model == theirs.df_model


def test_rows_and_influence_match_statsmodels(model):
    _, frame, response, columns = model
    ours = kelmath.ols(frame, response=response, columns=columns)
    theirs = statsmodels_fit(frame, response, columns, "classical")
    close(ours.fittedvalues, theirs.fittedvalues)
    # Residuals are differences of nearly equal numbers: compared relative to the response.
    numpy.testing.assert_allclose(ours.resid, theirs.resid, rtol=0,
                                  atol=RTOL * numpy.abs(frame[response]).max())
    influence, expected = ours.get_influence(), theirs.get_influence()
    close(influence.hat_matrix_diag, expected.hat_matrix_diag)
    close_on_scale(influence.cooks_distance[0], expected.cooks_distance[0])
    close_on_scale(influence.resid_studentized_external, expected.resid_studentized_external)
    close_on_scale(influence.resid_studentized_internal, expected.resid_studentized_internal)


def test_arrays_of_any_float_type_and_order_give_the_same_fit(model):
    _, frame, response, columns = model
    reference = kelmath.ols(frame, response=response, columns=columns)
    x = frame[columns].to_numpy()
    y = frame[response].to_numpy()
    for converted in (numpy.asfortranarray(x), x.astype(numpy.longdouble), x.astype(numpy.int64)
                      if numpy.all(x == numpy.round(x)) else x):
        fit = kelmath.ols(converted, y)
        numpy.testing.assert_array_equal(fit.params, reference.params.to_numpy())
        assert fit.names == ["(Intercept)", *[f"x{j + 1}" for j in range(len(columns))]]


def test_without_intercept_matches_statsmodels(model):
    _, frame, response, columns = model
    ours = kelmath.ols(frame, response=response, columns=columns, intercept=False)
    theirs = sm.OLS(frame[response], frame[columns]).fit()
    for name in ("params", "bse", "tvalues", "pvalues", "rsquared", "rsquared_adj", "fvalue"):
        close(getattr(ours, name), getattr(theirs, name))
