"""kelmath.stepwise against R's exhaustive best subsets (leaps::regsubsets, tests/reference/r/
stepwise.R: the columns and mean square error of every size) and statsmodels' least squares of
each chosen model (its estimates and |t|)."""
import numpy
import pandas
import pytest
import statsmodels.api as sm

import kelmath
from conftest import REFERENCE
from reference_values import read_values

CASES = ["mtcars", "swiss", "savings", "stackloss"]


def best_subsets(name):
    values = read_values(f"r/stepwise_{name}.txt")
    sizes = int(values["sizes"])
    columns = {k: [c for c in values[f"columns[{k}]"].split(",") if c] if f"columns[{k}]" in values
               else [] for k in range(1, sizes + 1)}
    mse = {k: float(values[f"mse[{k}]"]) for k in range(1, sizes + 1)}
    return values["response"], columns, mse


@pytest.mark.parametrize("name", CASES)
def test_every_size_is_rs_best_subset_with_statsmodels_estimates(name):
    frame = pandas.read_csv(REFERENCE / f"stepwise_{name}.csv")
    response, columns, mse = best_subsets(name)
    fit = kelmath.stepwise(frame, response=response)
    assert fit.sizes == sorted(columns)
    for k, subset in columns.items():
        assert fit.found[k]
        assert fit.columns[k] == ["(Intercept)"] + subset
        assert fit.mse[k] == pytest.approx(mse[k], rel=1e-9)
        reference = sm.OLS(frame[response], sm.add_constant(frame[subset]) if subset
                           else numpy.ones(len(frame))).fit()
        params = fit.params.loc[k].dropna()
        numpy.testing.assert_allclose(params.to_numpy(), reference.params.to_numpy(), rtol=1e-8)
        t = fit.tvalues.loc[k, subset]
        numpy.testing.assert_allclose(t.to_numpy(), numpy.abs(reference.tvalues.to_numpy()[1:]),
                                      rtol=1e-8)
        assert fit.doubtful[k] == bool((t < 2.5).any())
    suggested = [k for k in columns if not fit.doubtful[k]]
    assert fit.suggested == (max(suggested) if suggested else None)


def test_swiss_values_the_guide_shows():
    frame = pandas.read_csv(REFERENCE / "stepwise_swiss.csv")
    fit = kelmath.stepwise(frame, response="Fertility")
    assert fit.suggested == 4
    assert "5 parameters, mean square error 51.3826" in fit.summary()
    models = fit.to_dict()["models"]
    assert [m["parameters"] for m in models] == [1, 2, 3, 4, 5, 6]
    assert models[3]["columns"][1] == {"name": "Education",
                                       "estimate": fit.params.loc[4, "Education"],
                                       "t_value": fit.tvalues.loc[4, "Education"]}


def test_arrays_without_intercept_and_missing_rows():
    frame = pandas.read_csv(REFERENCE / "stepwise_stackloss.csv")
    response = "stack.loss"
    x = frame.drop(columns=response).to_numpy()
    y = frame[response].to_numpy().astype(float)
    y[4] = numpy.nan
    fit = kelmath.stepwise(x, y, intercept=False)
    assert isinstance(fit.params, numpy.ndarray) and fit.params.shape == (3, 3)
    assert fit.dropped_rows == [4]
    assert fit.nobs == 20
    keep = ~numpy.isnan(y)
    # The full model is the least-squares fit without intercept.
    reference = sm.OLS(y[keep], x[keep]).fit()
    numpy.testing.assert_allclose(fit.params[2], reference.params, rtol=1e-8)
    assert fit.mse[2] == pytest.approx(reference.mse_resid, rel=1e-9)
    # With one column every size-1 model is the best single column (no intercept kept).
    singles = [sm.OLS(y[keep], x[keep][:, [j]]).fit().mse_resid for j in range(3)]
    assert fit.mse[0] == pytest.approx(min(singles), rel=1e-9)
    assert numpy.count_nonzero(~numpy.isnan(fit.params[0])) == 1


def test_a_column_without_spread_is_a_singular_error():
    x = numpy.column_stack([numpy.arange(8.0), numpy.full(8, 2.0)])
    y = numpy.array([1.0, 3.2, 4.9, 7.1, 9.0, 11.2, 12.8, 15.1])
    with pytest.raises(kelmath.SingularError, match="stepwise"):
        kelmath.stepwise(x, y)
    with pytest.raises(kelmath.InputError):
        kelmath.stepwise(pandas.DataFrame({"y": y}), response="z")
