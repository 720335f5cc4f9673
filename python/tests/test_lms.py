"""kelmath.lms against exact least-median-of-squares minima (tests/reference/lms_exact for swiss,
R's enumeration in tests/reference/r/lms_data_cars.txt, and the Chebyshev fits of all subsets
enumerated here for stackloss), MASS::lqs's criterion, and statsmodels' least squares of the
rows that are not outliers."""
import itertools
from concurrent.futures import ThreadPoolExecutor

import numpy
import pandas
import pytest
import statsmodels.api as sm

import kelmath
from conftest import read_data
from reference_values import lms_data, read_values


def median_of_squares(F, y, b):
    """The library's criterion: the median of the squared residuals (the mean of the two middle
    ones for an even count)."""
    return float(numpy.median((y - F @ b) ** 2))


def exact_minimum_odd(F, y):
    """The exact minimum of the median of squared residuals for odd m: the h-th smallest squared
    residual, h = (m + 1) / 2, is least at the Chebyshev fit of some n + 1 experiments, whose
    residuals there are +-tau with the signs of the null vector of their rows."""
    m, n = F.shape
    h = (m + 1) // 2
    best = numpy.inf
    for subset in itertools.combinations(range(m), n + 1):
        rows = F[list(subset)]
        null = numpy.linalg.svd(rows.T)[2][-1]
        if numpy.any(numpy.abs(null) < 1e-12 * numpy.abs(null).max()):
            continue
        system = numpy.column_stack([rows, numpy.sign(null)])
        # Subsets with repeated rows (stackloss has some) have no Chebyshev fit of their own.
        if numpy.linalg.cond(system) > 1e12:
            continue
        solution = numpy.linalg.solve(system, y[list(subset)])
        squares = numpy.sort((y - F @ solution[:n]) ** 2)
        best = min(best, squares[h - 1])
    return best


def test_swiss_reaches_the_exact_minimum():
    F, y, values = lms_data("swiss")
    exact = float(read_values("lms_exact/lms_exact_swiss.txt")["exact_min"])
    fit = kelmath.lms(F[:, 1:], y)
    assert fit.lms == pytest.approx(exact, rel=1e-9)
    assert median_of_squares(F, y, fit.params) == pytest.approx(fit.lms, rel=1e-9)
    assert fit.lms < float(values["lqs.lib_median_sq"])


def test_cars_reaches_rs_exact_minimum_of_an_even_count():
    F, y, values = lms_data("cars")
    fit = kelmath.lms(F[:, 1:], y)
    assert fit.lms == pytest.approx(float(values["libcrit.exact_min"]), rel=1e-9)
    assert median_of_squares(F, y, fit.params) == pytest.approx(fit.lms, rel=1e-9)


def test_stackloss_reaches_the_minimum_of_all_chebyshev_fits():
    F, y, values = lms_data("stackloss")
    fit = kelmath.lms(F[:, 1:], y)
    assert fit.lms == pytest.approx(exact_minimum_odd(F, y), rel=1e-9)
    assert fit.lms <= float(values["lqs.lib_median_sq"])


@pytest.mark.parametrize("name", ["leverage", "trees", "hills", "savings"])
def test_criterion_never_above_that_of_lqs(name):
    F, y, values = lms_data(name)
    fit = kelmath.lms(F[:, 1:], y)
    assert median_of_squares(F, y, fit.params) == pytest.approx(fit.lms, rel=1e-9)
    assert fit.lms <= float(values["lqs.lib_median_sq"]) * (1 + 1e-9)


@pytest.mark.parametrize("name", ["stackloss", "savings", "swiss"])
def test_outliers_scale_and_reweighted_least_squares(name):
    F, y, _ = lms_data(name)
    m, n = F.shape
    fit = kelmath.lms(F[:, 1:], y)
    residuals = y - F @ fit.params
    # Rousseeuw and Leroy's scale: a preliminary one from the criterion with the small-sample
    # factor (docs/developers.md, behaviour 4), then the root mean square of the residuals
    # within 2.5 of it over their count less n.
    preliminary = 1.4826 * (1 + 5 / (m - n)) * numpy.sqrt(fit.lms)
    within = numpy.abs(residuals) <= 2.5 * preliminary
    assert fit.scale == pytest.approx(
        numpy.sqrt(numpy.sum(residuals[within] ** 2) / (within.sum() - n)), rel=1e-9)
    numpy.testing.assert_allclose(fit.resid, residuals, rtol=1e-9, atol=1e-9 * numpy.abs(y).max())
    numpy.testing.assert_allclose(fit.sresid, fit.resid / fit.scale, rtol=1e-9)
    beyond = numpy.flatnonzero(numpy.abs(residuals / fit.scale) > 2.5).tolist()
    assert fit.outliers == beyond
    assert sorted(fit.highly_probable_outliers + fit.possible_outliers) == beyond
    assert fit.highly_probable_outliers == \
        numpy.flatnonzero(numpy.abs(residuals / fit.scale) > 10).tolist()
    keep = numpy.asarray(fit.weights) == 1
    assert numpy.flatnonzero(~keep).tolist() == beyond
    reference = sm.OLS(y[keep], F[keep]).fit()
    numpy.testing.assert_allclose(fit.reweighted.params, reference.params, rtol=1e-9)
    numpy.testing.assert_allclose(fit.reweighted.bse, reference.bse, rtol=1e-8)
    assert fit.reweighted.nobs == keep.sum()


def test_data_frame_names_rows_and_the_commands_values():
    frame = read_data("stackloss.csv")
    fit = kelmath.lms(frame, response="stack.loss")
    assert list(fit.params.index) == ["(Intercept)", "Air.Flow", "Water.Temp", "Acid.Conc."]
    # The guide's kelmath robust run on datasets::stackloss names these data rows (from 1).
    assert fit.outliers == [0, 1, 2, 3, 12, 13, 19, 20]
    assert fit.highly_probable_outliers == [0, 2, 3, 20]
    assert fit.possible_outliers == [1, 12, 13, 19]
    assert "Median of squared residuals: 0.143953" in fit.summary()
    values = fit.to_dict()
    assert values["lms"] == pytest.approx(fit.lms, rel=1e-15)
    assert [c["name"] for c in values["coefficients"]] == list(fit.params.index)
    assert values["outliers"]["highly_probable"] == [1, 3, 4, 21]
    assert values["reweighted"]["rows_used"] == 13
    assert list(fit.reweighted.resid.index) == [i for i in range(21) if i not in fit.outliers]


def test_missing_rows_are_dropped_and_labelled():
    frame = read_data("stackloss.csv")
    frame.index = [f"r{i}" for i in range(len(frame))]
    holed = pandas.concat([frame.iloc[:5], frame.iloc[:1].assign(**{"Air.Flow": numpy.nan}),
                           frame.iloc[5:]])
    holed.index = list(frame.index[:5]) + ["hole"] + list(frame.index[5:])
    whole = kelmath.lms(frame, response="stack.loss")
    fit = kelmath.lms(holed, response="stack.loss")
    assert fit.dropped_rows == ["hole"]
    assert fit.nobs == 21
    numpy.testing.assert_array_equal(fit.params, whole.params)
    assert fit.outliers == whole.outliers
    assert list(fit.resid.index) == list(frame.index)


def test_errors_are_kelmath_errors():
    frame = read_data("stackloss.csv")
    with pytest.raises(kelmath.InputError):
        kelmath.lms(frame, response="stack.loss", columns=["Air.Flow", "nothing"])
    with pytest.raises(kelmath.DimensionError):
        kelmath.lms(numpy.arange(6.0).reshape(3, 2), numpy.arange(3.0))
    with pytest.raises(kelmath.SingularError):
        kelmath.lms(numpy.arange(10.0), numpy.ones(10))
    with pytest.raises(kelmath.NonFiniteDataError):
        kelmath.lms(numpy.array([1.0, 2.0, numpy.inf, 4.0, 5.0]), numpy.arange(5.0))


def test_two_threads_at_once_give_the_fit_alone():
    F, y, _ = lms_data("savings")
    alone = kelmath.lms(F[:, 1:], y)
    with ThreadPoolExecutor(2) as pool:
        results = list(pool.map(lambda _: kelmath.lms(F[:, 1:], y), range(2)))
    for result in results:
        numpy.testing.assert_array_equal(result.params, alone.params)
        assert result.summary() == alone.summary()


def test_the_librarys_warnings_are_sentences_of_the_result_not_output(capfd):
    # More than half of the rows on one line: the search ends at a criterion of rounding size.
    x = numpy.arange(1.0, 12.0)
    y = 2 * x + 1
    y[3] += 5
    fit = kelmath.lms(numpy.column_stack([x, x]), y)
    assert any("robust fit stopped" in warning for warning in fit.warnings)
    assert fit.outliers == [3]
    captured = capfd.readouterr()
    assert (captured.out, captured.err) == ("", "")
