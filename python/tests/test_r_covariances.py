"""The intervals, and the covariances statsmodels lacks or computes otherwise, against R (tests/reference/r/
sandwich_<case>.txt, from sandwich.R): HC4, HC4m, HC5 and the cluster-robust one (sandwich's
vcovCL; t and P on the residual degrees of freedom, as lmtest::coeftest gives them)."""
import numpy
import pytest
import statsmodels.api as sm

import kelmath
from conftest import MODELS, read_data, r_vector, read_r_values

RTOL = 1e-10


def close(actual, expected):
    numpy.testing.assert_allclose(numpy.asarray(actual), expected, rtol=RTOL, atol=0)


@pytest.mark.parametrize("case", ["mtcars", "swiss", "stackloss", "savings", "orange"])
@pytest.mark.parametrize("cov_type",
                         ["classical", "HC0", "HC1", "HC2", "HC3", "HC4", "HC4m", "HC5"])
def test_heteroskedasticity_consistent_inference_matches_r(case, cov_type):
    csv, response, columns = MODELS[case]
    r = read_r_values(case)
    fit = kelmath.ols(read_data(csv), response=response, columns=columns, cov_type=cov_type)
    key = cov_type.lower()
    close(fit.params, r_vector(r, "estimate"))
    close(fit.bse, r_vector(r, f"se_{key}"))
    close(fit.tvalues, r_vector(r, f"t_{key}"))
    close(fit.pvalues, r_vector(r, f"p_{key}"))
    intervals = fit.conf_int(0.05).to_numpy()
    close(intervals[:, 0], r_vector(r, f"ci95_low_{key}"))
    close(intervals[:, 1], r_vector(r, f"ci95_high_{key}"))
    intervals = fit.conf_int(0.1).to_numpy()
    close(intervals[:, 0], r_vector(r, f"ci90_low_{key}"))
    close(intervals[:, 1], r_vector(r, f"ci90_high_{key}"))


@pytest.mark.parametrize("case, groups", [("mtcars", ["carb"]), ("mtcars", ["carb", "gear"]),
                                          ("orange", ["Tree"])])
def test_cluster_robust_inference_matches_r(case, groups):
    csv, response, columns = MODELS[case]
    r = read_r_values(case)
    key = f"cluster{len(groups)}"
    frame = read_data(csv)
    fit = kelmath.ols(frame, response=response, columns=columns, cov_type="cluster",
                      groups=groups)
    close(fit.bse, r_vector(r, f"se_{key}"))
    close(fit.tvalues, r_vector(r, f"t_{key}"))
    close(fit.pvalues, r_vector(r, f"p_{key}"))
    # The groups as an array of labels give the same fit as the columns named.
    labels = frame[groups].astype(str).to_numpy()
    from_array = kelmath.ols(frame, response=response, columns=columns, cov_type="cluster",
                             groups=labels)
    numpy.testing.assert_array_equal(from_array.bse, fit.bse)


def test_one_way_cluster_matches_statsmodels_up_to_its_degrees_of_freedom():
    csv, response, columns = MODELS["mtcars"]
    frame = read_data(csv)
    fit = kelmath.ols(frame, response=response, columns=columns, cov_type="cluster",
                      groups="carb")
    theirs = sm.OLS(frame[response], sm.add_constant(frame[columns])).fit(
        cov_type="cluster", cov_kwds={"groups": frame["carb"]}, use_t=True)
    close(fit.bse, theirs.bse)
    close(fit.tvalues, theirs.tvalues)
    close(fit.fvalue, theirs.fvalue)
    # statsmodels takes G - 1 degrees of freedom for t; kelmath the residual ones, as R.
    from scipy import stats
    close(fit.pvalues, 2 * stats.t.sf(numpy.abs(theirs.tvalues), fit.df_resid))
