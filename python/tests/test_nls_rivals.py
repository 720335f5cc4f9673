"""kelmath.nls with rival models, known variances, weights, several responses and errors in x,
against independent values: scipy's curve_fit, closed forms of the comparison tests (chi-square
and F tails from scipy.stats), least squares by NumPy, and the closed forms of the library's
tests (tests/nonlinear/kel_nonlinear_regression_search_test.cpp and _independent_variables_)."""
import numpy as np
import pytest
from scipy import optimize, stats

import kelmath

# The guide's rival models: six experiments, one response known with variance 1e-4 (5 df).
GUIDE_X = np.array([0.2, 0.5, 1.0, 2.0, 4.0, 8.0])
GUIDE_Y = np.array([0.58, 0.99, 1.34, 1.59, 1.78, 1.88])


def saturation(x, b):
    return b[0] * x[:, 0] / (b[1] + x[:, 0])


def first_order(x, b):
    return b[0] * (1 - np.exp(-b[1] * x[:, 0]))


def test_rival_models_with_a_known_variance_match_curve_fit_and_the_f_tests():
    rivals = kelmath.nls([saturation, first_order], GUIDE_X, GUIDE_Y, [[1, 1], [1, 1]],
                         variances=1e-4, dof=5)
    assert len(rivals) == 2 and rivals.comparison_test == "F"
    for fit, f in zip(rivals, (saturation, first_order)):
        b, cov = optimize.curve_fit(lambda x, *b: f(x.reshape(-1, 1), b), GUIDE_X, GUIDE_Y,
                                    p0=[1, 1], sigma=np.full(6, 1e-2), absolute_sigma=True,
                                    xtol=1e-14, ftol=1e-14)
        assert fit.converged
        np.testing.assert_allclose(fit.params, b, rtol=1e-6)
        # Known variances: the covariance is (J'WJ)^-1, not scaled by the residuals.
        np.testing.assert_allclose(fit.bse, np.sqrt(np.diag(cov)), rtol=1e-5)
        np.testing.assert_allclose(fit.ssr, np.sum(fit.resid ** 2) / 1e-4, rtol=1e-12)
    table = rivals.comparison
    mse = np.array([np.sum(fit.resid ** 2) / fit.df_resid for fit in rivals])
    np.testing.assert_allclose(table["value"], mse, rtol=1e-10)
    np.testing.assert_allclose(table["ratio"], mse / mse.min(), rtol=1e-10)
    # P(F(df_model, 5) > MSE / sigma^2), and again with 6 degrees of freedom for the variance.
    np.testing.assert_allclose(table["pvalue"], stats.f.sf(mse / 1e-4, 4, 5), rtol=1e-6)
    np.testing.assert_allclose(table["pvalue_one_more_df"], stats.f.sf(mse / 1e-4, 4, 6),
                               rtol=1e-6)
    assert table["pvalue"][2] < 0.05 < table["pvalue"][1]


def line(x, b):
    return b[0] + b[1] * x[:, 0]


def through_origin(x, b):
    return b[0] * x[:, 0]


SMALL_X = np.array([1.0, 2.0, 3.0, 4.0])
SMALL_Y = np.array([1.2, 1.9, 3.2, 3.8])


def test_unit_weights_compare_by_chi_square_and_discriminate_by_tij_in_closed_form():
    rivals = kelmath.nls([line, through_origin], SMALL_X, SMALL_Y, [[0, 1], [1]])
    design = np.column_stack([np.ones(4), SMALL_X])
    b1, sse1 = np.linalg.lstsq(design, SMALL_Y, rcond=None)[:2]
    b2, sse2 = np.linalg.lstsq(SMALL_X.reshape(-1, 1), SMALL_Y, rcond=None)[:2]
    np.testing.assert_allclose(rivals[0].params, b1, rtol=1e-8)
    np.testing.assert_allclose(rivals[1].params, b2, rtol=1e-8)
    sse = np.array([sse1[0], sse2[0]])
    table = rivals.comparison
    assert rivals.comparison_test == "chi-square"
    np.testing.assert_allclose(table["value"], sse, rtol=1e-8)
    np.testing.assert_allclose(table["pvalue"], stats.chi2.sf(sse, [2, 3]), rtol=1e-7)

    found = rivals.search_experiments(0.0, 8.0)
    candidates = np.linspace(0.0, 8.0, 100)
    np.testing.assert_allclose(found["candidates"][:, 0], candidates, rtol=1e-12, atol=1e-12)
    # Tij of the couple: the squared difference of the predictions over the pooled variance.
    pooled = 2 * sse.sum() / (2 + 3)
    tij = ((b1[0] + b1[1] * candidates) - b2[0] * candidates) ** 2 / pooled
    np.testing.assert_allclose(found["tij_sum"], tij, rtol=1e-8, atol=1e-12 * tij.max())
    table = found["discrimination_table"]
    assert list(table["model_a"]) == [1] and list(table["model_b"]) == [2]
    np.testing.assert_allclose(table["tij"], tij.max(), rtol=1e-8)
    assert table["x"][0][0] == candidates[np.argmax(tij)]
    assert found["balanced"] is not None and 0.0 <= found["balanced"][0] <= 8.0


def test_one_known_variance_with_two_df_has_the_closed_form_f_tail():
    rivals = kelmath.nls([line, line], SMALL_X, SMALL_Y, [[0, 1], [1, 1]], variances=0.04,
                         dof=2)
    mse = np.sum(rivals[0].resid ** 2) / 2
    table = rivals.comparison
    # P(F(2, 2) > f) = 1 / (1 + f); the pseudo P value of a ratio r is 2 / (1 + r).
    np.testing.assert_allclose(table["pvalue"][1], 1 / (1 + mse / 0.04), rtol=1e-9)
    np.testing.assert_allclose(table["pseudo_pvalue"], 2 / (1 + table["ratio"]), rtol=1e-9)


def test_two_responses_and_their_jacobian_pass_through_in_order():
    x = np.array([1.0, 2.0, 3.0, 4.0, 5.0])
    y = np.column_stack([2.1 * x + [0.1, -0.1, 0.05, 0.0, -0.05],
                         0.5 * x ** 2 + [0.2, -0.1, 0.0, 0.1, -0.2]])

    def two(xs, b):
        return np.column_stack([b[0] * xs[:, 0], b[1] * xs[:, 0] ** 2])

    def two_jacobian(xs, b):
        d = np.zeros((len(xs), 2, 2))
        d[:, 0, 0] = xs[:, 0]
        d[:, 1, 1] = xs[:, 0] ** 2
        return d

    # Unit weights: the two responses are two independent fits through the origin.
    b1 = np.sum(x * y[:, 0]) / np.sum(x ** 2)
    b2 = np.sum(x ** 2 * y[:, 1]) / np.sum(x ** 4)
    for jac in (None, two_jacobian):
        fit = kelmath.nls(two, x, y, [1, 1], jac=jac)
        np.testing.assert_allclose(fit.params, [b1, b2], rtol=1e-9)
        assert fit.resid.shape == (5, 2) and fit.fittedvalues.shape == (5, 2)
        np.testing.assert_allclose(fit.fittedvalues, two(x.reshape(-1, 1), [b1, b2]), rtol=1e-9)
        assert fit.df_resid == 10 - 2


def test_weights_multiply_the_residuals_as_one_over_sigma():
    x = np.linspace(0.5, 5.0, 12)
    rng = np.random.default_rng(5)
    sigma = 0.02 * (1 + x)
    y = 3.0 * np.exp(-0.4 * x) + sigma * rng.normal(size=x.size)
    fit = kelmath.nls(lambda xs, b: b[0] * np.exp(-b[1] * xs[:, 0]), x, y, [1, 1],
                      weights=1 / sigma)
    b, cov = optimize.curve_fit(lambda t, a, k: a * np.exp(-k * t), x, y, p0=[1, 1], sigma=sigma,
                                absolute_sigma=True, xtol=1e-14, ftol=1e-14)
    np.testing.assert_allclose(fit.params, b, rtol=1e-6)
    np.testing.assert_allclose(fit.bse, np.sqrt(np.diag(cov)), rtol=1e-5)
    np.testing.assert_allclose(fit.ssr, np.sum((fit.resid / sigma) ** 2), rtol=1e-12)


def test_errors_in_x_give_the_line_through_the_estimated_x_and_keep_the_measured_x():
    rng = np.random.default_rng(2)
    truth = np.linspace(0.0, 15.0, 16)
    x = truth + rng.normal(size=16)
    y = 1.0 + 2.0 * truth + rng.normal(size=16)
    fit = kelmath.nls(line, x, y, [0.5, 0.5], variances=1.0, x_variances=[1.0], dof=5)
    np.testing.assert_array_equal(fit.x_measured[:, 0], x)
    z = fit.x_estimated[:, 0]
    assert np.all(z != x)
    # The second pass is the least-squares line through the estimated x.
    slope, intercept = np.polyfit(z, y, 1)
    np.testing.assert_allclose(fit.params, [intercept, slope], rtol=0, atol=1e-7)
    # The x step held the first pass's line fixed: per experiment a quadratic with its minimum
    # at x + b vx (y - a - b x) / (vy + b^2 vx), which the simplex gets near.
    b_first, a_first = np.polyfit(x, y, 1)
    exact = x + b_first * (y - a_first - b_first * x) / (1 + b_first ** 2)
    np.testing.assert_allclose(z, exact, atol=0.25)
    # Ignoring the errors of x flattens the slope; accounting for them steepens it.
    assert fit.params[1] > b_first


def test_named_parameters_and_data_frames_give_series():
    pandas = pytest.importorskip("pandas")
    frame = pandas.DataFrame({"x": GUIDE_X, "y": GUIDE_Y}, index=list("abcdef"))
    fit = kelmath.nls(saturation, frame[["x"]], frame["y"], {"vmax": 1.0, "km": 1.0})
    assert list(fit.params.index) == ["vmax", "km"]
    assert list(fit.resid.index) == list("abcdef") and fit.resid.name == "y"
    np.testing.assert_allclose(fit.resid + fit.fittedvalues, frame["y"], rtol=1e-14)
    assert list(fit.bse.index) == ["vmax", "km"]
    assert list(fit.cov_params().columns) == ["vmax", "km"]
    assert list(fit.conf_int().index) == ["vmax", "km"]
    plain = kelmath.nls(saturation, GUIDE_X, GUIDE_Y, [1.0, 1.0])
    np.testing.assert_array_equal(fit.params.to_numpy(), plain.params)
    lower, upper = plain.conf_int(0.05).T
    t = stats.t.ppf(0.975, plain.df_resid)
    np.testing.assert_allclose(lower, plain.params - t * plain.bse, rtol=1e-9)
    np.testing.assert_allclose(upper, plain.params + t * plain.bse, rtol=1e-9)
    np.testing.assert_allclose(plain.tvalues, plain.params / plain.bse, rtol=1e-12)
    np.testing.assert_allclose(plain.pvalues, 2 * stats.t.sf(np.abs(plain.tvalues), 4),
                               rtol=1e-6)
    np.testing.assert_allclose(plain.sigma ** 2, np.sum(plain.resid ** 2) / 4, rtol=1e-12)


def test_robust_fit_names_the_planted_outlier():
    x = np.linspace(1.0, 10.0, 15)
    y = 1.0 + 2.0 * x + 0.01 * np.sin(7 * x)
    y[9] += 5.0
    fit = kelmath.nls(line, x, y, [0.5, 1.5], variances=1e-4, dof=10)
    robust = fit.robust()
    assert [row for row, _, _ in robust["outliers"]] == [9]
    np.testing.assert_allclose(robust["params"], [1.0, 2.0], atol=0.05)


def test_reports_are_the_librarys_texts():
    rivals = kelmath.nls([saturation, first_order], GUIDE_X, GUIDE_Y, [[1, 1], [1, 1]],
                         variances=1e-4, dof=5)
    least_squares = rivals.report("least_squares")
    assert "Least Squares Regression Analysis for model 1" in least_squares
    assert "Least Squares Regression Analysis for model 2" in least_squares
    assert "Estimation converged on the step" in least_squares
    search = rivals.report("discrimination", 0.1, 10.0)
    assert "Suggested experiment for balanced function" in search
    assert "x values: 1.000000e+01" in search
    assert "Outlier" in rivals.report("robust") or "outlier" in rivals.report("robust")
    with pytest.raises(kelmath.InputError, match="unknown report 'summary'"):
        rivals.report("summary")


def test_bounds_hold_the_estimate_inside_and_leave_an_inner_minimum_alone():
    x = np.arange(1.0, 9.0)
    y = 10 * (1 - np.exp(-0.3 * x)) + np.where(x % 2 == 1, 0.05, -0.05)
    free = kelmath.nls(first_order, x, y, [5.0, 0.1])
    # Positivity bounds around an inner minimum: the same fit, converged.
    inner = kelmath.nls(first_order, x, y, [5.0, 0.1], lower=0.0, upper=[100.0, None])
    assert inner.converged
    assert np.all(np.abs(inner.params - free.params) <= 1e-6 * free.bse)
    # A bound below the minimum's rate: the estimate stays inside and is flagged, as the
    # finish cannot step along the bound; its sum of squares lies above the constrained minimum
    # (curve_fit with the rate held at the bound) and within a percent of it.
    with pytest.warns(kelmath.ConvergenceWarning):
        bounded = kelmath.nls(first_order, x, y, [5.0, 0.1], upper=[None, 0.25])
    assert not bounded.converged and bounded.params[1] < 0.25
    (amplitude,), _ = optimize.curve_fit(lambda t, a: a * (1 - np.exp(-0.25 * t)), x, y, p0=[5])
    constrained = np.sum((y - amplitude * (1 - np.exp(-0.25 * x))) ** 2)
    assert constrained <= bounded.ssr <= 1.01 * constrained
