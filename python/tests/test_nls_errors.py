"""kelmath.nls refuses bad input with the KelMathError subclass of the problem and the library's
own text, lets an exception raised inside a Python model reach the caller as itself, flags a fit
that did not converge, and prints nothing and writes no file whatever happens."""
import os
import warnings

import numpy as np
import pytest

import kelmath

X = np.array([0.2, 0.5, 1.0, 2.0, 4.0, 8.0])
Y = np.array([0.58, 0.99, 1.34, 1.59, 1.78, 1.88])


def saturation(x, b):
    return b[0] * x[:, 0] / (b[1] + x[:, 0])


class ModelFailure(Exception):
    pass


LIBRARY_ERRORS = [
    ("non-finite x", dict(x=np.r_[np.nan, X[1:]]), kelmath.NonFiniteDataError,
     "KelNonLinearRegression class\nNon-finite data\nX(1, 1) = nan"),
    ("wrong number of variances", dict(variances=[1e-4, 1e-4, 1e-4], dof=5),
     kelmath.DimensionError, "Wrong number of variances\nsizes 3 and 1 or 2"),
    ("zero variance", dict(variances=0.0, dof=5), kelmath.DomainError,
     "Variances null\nvariance 1 = 0"),
    ("no degrees of freedom", dict(variances=1e-4, dof=0), kelmath.DomainError,
     "Degree of fredom must be greater than 0"),
    ("negative weight", dict(weights=-np.ones(6)), kelmath.DomainError,
     "The weight 1 1 must be positive"),
    ("weights of the wrong shape", dict(weights=np.ones(5)), kelmath.DimensionError,
     "Dimension check failure"),
]


@pytest.mark.parametrize("case", LIBRARY_ERRORS, ids=[c[0] for c in LIBRARY_ERRORS])
def test_bad_data_raise_the_librarys_error_with_its_text(case):
    _, changes, error, text = case
    arguments = dict(x=X, y=Y, start=[1.0, 1.0])
    arguments.update(changes)
    with pytest.raises(error) as raised:
        kelmath.nls(saturation, **arguments)
    assert text in str(raised.value)


def test_bad_model_results_are_named():
    with pytest.raises(kelmath.DimensionError,
                       match=r"model 1 returned shape \(3,\) for 6 rows of x; expected \(6,\)"):
        kelmath.nls(lambda x, b: np.ones(3), X, Y, [1.0, 1.0])
    with pytest.raises(kelmath.InputError, match="model 1 returned ndarray of dtype <U1"):
        kelmath.nls(lambda x, b: np.array(["a"] * len(x)), X, Y, [1.0, 1.0])
    with pytest.raises(kelmath.InputError, match="model 1 returned NoneType"):
        kelmath.nls(lambda x, b: None, X, Y, [1.0, 1.0])
    with pytest.raises(kelmath.DimensionError, match=r"the Jacobian of model 1 returned shape"):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], jac=lambda x, b: np.ones((len(x), 3)))
    with pytest.raises(kelmath.NonFiniteDataError,
                       match="model 1 is NaN at its start on row 0 of x"), \
            np.errstate(invalid="ignore"):
        kelmath.nls(lambda x, b: np.sqrt(x[:, 0] - 0.3) * b[0] + b[1], X, Y, [1.0, 1.0])


def test_bad_arguments_are_refused_before_any_fit():
    with pytest.raises(kelmath.InputError, match="dof="):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], variances=1e-4)
    with pytest.raises(kelmath.InputError, match="not both"):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], variances=1e-4, dof=5, weights=np.ones(6))
    with pytest.raises(kelmath.InputError, match="not callable"):
        kelmath.nls("b1 * x", X, Y, [1.0, 1.0])
    with pytest.raises(kelmath.InputError, match="one per model"):
        kelmath.nls([saturation, saturation], X, Y, [[1.0, 1.0]])
    with pytest.raises(kelmath.DimensionError, match="x has 6 rows but y has 5"):
        kelmath.nls(saturation, X, Y[:5], [1.0, 1.0])
    with pytest.raises(kelmath.DimensionError, match="need more than the 6 measurements"):
        kelmath.nls(saturation, X, Y, np.ones(6))
    with pytest.raises(kelmath.DimensionError, match="Function: SetBounds\nsizes 3 and 2"):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], lower=[0.0, 0.0, 0.0])
    with pytest.raises(kelmath.DomainError, match="the start lies outside them\nb0 1 = 1"):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], lower=[2.0, None])
    with pytest.raises(kelmath.DomainError, match="lower not below upper\nlower 2 = 1"):
        kelmath.nls(saturation, X, Y, [0.5, 1.0], lower=[0, 1.0], upper=[2, 1.0])
    fit = kelmath.nls(saturation, X, Y, [1.0, 1.0], variances=1e-4, dof=5)
    with pytest.raises(kelmath.DimensionError, match="sizes 2 and 1"):
        fit.search_experiments([0.1, 0.1], [10.0])
    weighted = kelmath.nls(saturation, X, Y, [1.0, 1.0], weights=np.ones(6))
    with pytest.raises(kelmath.KelMathError, match="You MUST use the weight version"):
        weighted.search_experiments(0.1, 10.0)


def test_an_exception_inside_the_model_reaches_the_caller_as_itself():
    calls = []

    def failing_later(x, b):
        calls.append(1)
        if len(calls) > 40:
            raise ModelFailure("the model broke after 40 calls")
        return saturation(x, b)

    with pytest.raises(ModelFailure, match="the model broke after 40 calls"):
        kelmath.nls(failing_later, X, Y, [1.0, 1.0])
    with pytest.raises(ZeroDivisionError):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], jac=lambda x, b: 1 / 0)
    with pytest.raises(KeyboardInterrupt):
        kelmath.nls(lambda x, b: (_ for _ in ()).throw(KeyboardInterrupt), X, Y, [1.0, 1.0])


def test_a_search_broken_by_the_model_leaves_the_fit_usable():
    def undefined_below_one(x, b):
        if np.any(x[:, 0] < 0.15):
            raise ModelFailure("x below 0.15")
        return saturation(x, b)

    fit = kelmath.nls(undefined_below_one, X, Y, [1.0, 1.0], variances=1e-4, dof=5)
    with pytest.raises(ModelFailure, match="x below 0.15"):
        fit.search_experiments(0.1, 10.0)
    found = fit.search_experiments(0.2, 10.0)
    assert found["candidates"].min() == 0.2
    again = kelmath.nls(undefined_below_one, X, Y, [1.0, 1.0], variances=1e-4, dof=5)
    np.testing.assert_array_equal(fit.params, again.params)
    assert "Least Squares Regression Analysis for model 1" in fit.report("least_squares")


def test_a_fit_that_did_not_converge_is_flagged_and_warned():
    x = np.arange(10.0)
    y = (x > 4.5).astype(float)  # a step: the logistic's slope runs off to infinity

    def logistic(xs, b):
        return 1 / (1 + np.exp(np.clip(-b[0] * (xs[:, 0] - b[1]), -700, 700)))

    with pytest.warns(kelmath.ConvergenceWarning, match="did not converge"):
        fit = kelmath.nls(logistic, x, y, [1.0, 4.0])
    assert not fit.converged
    assert fit.stop_reason.startswith("NOT converged")
    assert any("did not converge" in w for w in fit.warnings)


def test_nothing_printed_and_no_file_written(tmp_path, monkeypatch, capfd):
    monkeypatch.chdir(tmp_path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        test_a_fit_that_did_not_converge_is_flagged_and_warned()
    rivals = kelmath.nls([saturation, lambda x, b: b[0] * (1 - np.exp(-b[1] * x[:, 0]))], X, Y,
                         [[1.0, 1.0], [1.0, 1.0]], variances=1e-4, dof=5)
    rivals.search_experiments(0.1, 10.0)
    rivals.robust()
    for kind in ("least_squares", "robust"):
        rivals.report(kind)
    rivals.report("search", 0.1, 10.0)
    with pytest.raises(kelmath.KelMathError):
        kelmath.nls(saturation, X, Y, [1.0, 1.0], variances=0.0, dof=5)
    with pytest.raises(ModelFailure):
        kelmath.nls(lambda x, b: (_ for _ in ()).throw(ModelFailure()), X, Y, [1.0, 1.0])
    assert os.listdir(tmp_path) == []
    captured = capfd.readouterr()
    assert captured.out == "" and captured.err == ""
