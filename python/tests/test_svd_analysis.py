"""kelmath.svd_analysis against NumPy's singular value decomposition of the same columns (the
values, the right vectors up to sign, and the truncated solutions built from them), statsmodels'
least squares (the full candidate), and the hand-worked values of the guide's example
(docs/examples/svd_analysis.check)."""
import numpy
import pytest
import statsmodels.api as sm

import kelmath
from conftest import MODELS, read_data

# Single-precision epsilon: the report marks singular values below d(1) sqrt(eps).
SMALL = numpy.sqrt(2.0 ** -23)


def design(name):
    csv, response, columns = MODELS[name]
    frame = read_data(csv)
    return frame, response, columns, sm.add_constant(frame[columns]).to_numpy(), \
        frame[response].to_numpy()


@pytest.mark.parametrize("name", ["stackloss", "swiss", "mtcars", "savings"])
def test_decomposition_and_candidates_match_numpy(name):
    frame, response, columns, F, y = design(name)
    fit = kelmath.svd_analysis(frame, response=response, columns=columns)
    U, d, Vt = numpy.linalg.svd(F, full_matrices=False)
    numpy.testing.assert_allclose(fit.singular_values, d, rtol=1e-10)
    V = fit.right_vectors.to_numpy()
    signs = numpy.sign(numpy.sum(V * Vt.T, axis=0))
    numpy.testing.assert_allclose(V * signs, Vt.T, atol=1e-10)
    n = F.shape[1]
    ols = sm.OLS(y, F).fit()
    coefficients = U.T @ y / d
    for k in range(1, n + 1):
        b = Vt[:k].T @ coefficients[:k]
        # Standard errors of a truncated solution with the full fit's residual variance.
        se = numpy.sqrt(ols.mse_resid * numpy.sum((Vt[:k].T / d[:k]) ** 2, axis=1))
        scale = numpy.abs(b).max()
        numpy.testing.assert_allclose(fit.candidate_params.loc[k], b, rtol=1e-8,
                                      atol=1e-10 * scale)
        numpy.testing.assert_allclose(fit.candidate_bse.loc[k], se, rtol=1e-8)
        assert fit.params_norm[k - 1] == pytest.approx(numpy.linalg.norm(b), rel=1e-9)
        assert fit.resid_norm[k - 1] == pytest.approx(numpy.linalg.norm(y - F @ b), rel=1e-8)
    numpy.testing.assert_allclose(fit.candidate_params.loc[n], ols.params, rtol=1e-8)
    numpy.testing.assert_allclose(fit.candidate_bse.loc[n], ols.bse, rtol=1e-8)
    assert fit.small_singular_values == numpy.count_nonzero(d < d[0] * SMALL)
    # The principal components verdict: the smallest kept value below a thousandth of d(1).
    assert fit.multicollinear == bool(d[-1] < d[0] / 1000)
    assert list(fit.candidate_params.columns) == ["(Intercept)"] + columns


def test_the_guides_nearly_collinear_example():
    # docs/examples/svd_analysis.cpp: column 3 is column 2 plus or minus 0.001.
    x = numpy.array([[-1.0, -1.001], [-1.0, -0.999], [1.0, 0.999], [1.0, 1.001]])
    y = numpy.array([1.0, 1.0, 4.98, 5.02])
    fit = kelmath.svd_analysis(x, y)
    # Hand-worked in docs/examples/svd_analysis.check: d = (2 sqrt 2, 2, 0.001 sqrt 2), the full
    # solution (3, -8, 10), two values give about (3, 1, 1).
    numpy.testing.assert_allclose(fit.singular_values,
                                  [2 * numpy.sqrt(2), 2, 0.001 * numpy.sqrt(2)], rtol=1e-6)
    numpy.testing.assert_allclose(fit.candidate_params[2], [3, -8, 10], rtol=1e-9)
    numpy.testing.assert_allclose(fit.candidate_params[1], [3, 1, 1], rtol=1e-2)
    assert fit.resid_norm[2] ** 2 == pytest.approx(4e-4, rel=1e-9)
    assert fit.multicollinear
    assert fit.small_singular_values == 0
    report = fit.report()
    assert "The principal component analysis identifies serious multicollinearities" in report
    assert "  3   1.4142134e-03" in report
    assert isinstance(fit.right_vectors, numpy.ndarray)


def test_rows_with_missing_values_are_dropped():
    frame, response, columns, F, y = design("stackloss")
    holed = frame.copy()
    holed.loc[3, columns[0]] = numpy.nan
    fit = kelmath.svd_analysis(holed, response=response, columns=columns)
    assert fit.dropped_rows == [3]
    assert fit.nobs == len(frame) - 1
    d = numpy.linalg.svd(numpy.delete(F, 3, axis=0), compute_uv=False)
    numpy.testing.assert_allclose(fit.singular_values, d, rtol=1e-10)
    assert "Experiments of the reports and their data rows" in fit.report()


def test_errors():
    with pytest.raises(kelmath.DimensionError):
        kelmath.svd_analysis(numpy.ones((2, 1)), numpy.ones(2))
    with pytest.raises(kelmath.InputError):
        kelmath.svd_analysis(numpy.array([["a"], ["b"]]), numpy.ones(2))
