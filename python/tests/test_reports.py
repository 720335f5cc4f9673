"""OLSResults.report(kind) and .verdicts: the library's reports of the guide's examples hold the
hand-worked values of their check files (docs/examples/*.check), the reports of R's data sets are
the text `kelmath regress --output` writes and print R's estimates, and the verdicts are the
decisions those reports state, with the rows R's influence measures flag."""
import os
import pathlib
import re
import subprocess

import numpy
import pytest

import kelmath
from conftest import MODELS, REFERENCE, read_data
from reference_values import read_values, vector

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "docs" / "examples"
COMMAND = pathlib.Path(kelmath.__file__).resolve().parents[2] / "tools" / "kelmath" / "kelmath"

# The data of the guide's C++ examples (docs/examples/<name>.cpp), fitted with an intercept.
LINE_X = numpy.arange(1.0, 7.0)
LINE_Y = numpy.array([3.1, 4.9, 6.9, 9.1, 11.0, 13.0])
NEAR_COPY_X = numpy.array([[-1.0, -1.001], [-1.0, -0.999], [1.0, 0.999], [1.0, 1.001]])
NEAR_COPY_Y = numpy.array([1.0, 1.0, 4.98, 5.02])
GROSS_ERROR_X = numpy.arange(1.0, 11.0)
GROSS_ERROR_Y = numpy.array([3.05, 4.97, 7.02, 8.96, 25.0, 13.03, 14.98, 17.04, 18.95, 21.01])
DESIGN_X = numpy.array([[a, b, c] for c in (-1.0, 1.0) for b in (-1.0, 1.0) for a in (-1.0, 1.0)])
DESIGN_Y = numpy.array([4.8, 9.0, 11.0, 14.8, 5.2, 9.0, 11.0, 15.2])

GUIDE_EXAMPLES = {
    "least_squares": (LINE_X, LINE_Y, ("least_squares",)),
    "svd_analysis": (NEAR_COPY_X, NEAR_COPY_Y, ("svd",)),
    "robust_regression": (GROSS_ERROR_X, GROSS_ERROR_Y, ("least_squares", "robust")),
    "stepwise": (DESIGN_X, DESIGN_Y, ("stepwise",)),
}


def checks(name):
    """The text and range lines of docs/examples/<name>.check that are about the reports (the
    example's own closing line "b1 ... R2 ..." is not)."""
    for line in (EXAMPLES / f"{name}.check").read_text().splitlines():
        if line.startswith("text ") and not line.startswith("text b1 "):
            yield "text", line[5:]
        elif line.startswith("range "):
            low, high, pattern = line[6:].split(" ", 2)
            yield "range", (float(low), float(high), pattern)


@pytest.mark.parametrize("name", sorted(GUIDE_EXAMPLES))
def test_the_guides_examples_print_their_hand_worked_values(name):
    x, y, kinds = GUIDE_EXAMPLES[name]
    report = kelmath.ols(x, y).report(*kinds)
    for kind, check in checks(name):
        if kind == "text":
            assert check in report
        else:
            low, high, pattern = check
            found = re.search(pattern, report)
            assert found, pattern
            assert low <= float(found.group(1)) <= high


def masked(text):
    # Symmetric matrices print their serial numbers, drawn from one counter of the process.
    return re.sub(r"No\.\d+", "No.#", text)


@pytest.mark.skipif(not COMMAND.exists(), reason="the kelmath command is not built")
@pytest.mark.parametrize("name", ["stackloss", "swiss"])
def test_reports_are_the_text_of_kelmath_regress_output(name, tmp_path):
    csv, response, columns = MODELS[name]
    fit = kelmath.ols(read_data(csv), response=response, columns=columns)
    report = fit.report("stepwise", "robust", "least_squares", "svd")
    run = subprocess.run([str(COMMAND), "regress", str(REFERENCE / csv), "--response", response,
                          "--columns", ",".join(columns), "--reports",
                          "least-squares,svd,robust,stepwise", "--output", "r.txt"],
                         cwd=tmp_path, capture_output=True, text=True, check=True)
    written = (tmp_path / "r.txt").read_text()
    # The first two lines name the call and the data file.
    assert masked(report).split("\n")[2:] == masked(written).split("\n")[2:]
    assert report.startswith(f"kelmath: {fit.summary().splitlines()[0][6:]}\n")
    assert run.returncode == 0


@pytest.mark.parametrize("name", ["swiss", "mtcars"])
def test_the_least_squares_report_prints_rs_estimates(name):
    csv, response, columns = MODELS[name]
    fit = kelmath.ols(read_data(csv), response=response, columns=columns)
    report = fit.report("least_squares")
    rows = re.search(r" Par\.\s+Value\s+Standard Error\s+T-Value\s+P-Value\n((?:.+\n)+)", report)
    table = numpy.array([[float(v) for v in line.split()[1:5]]
                         for line in rows.group(1).splitlines()])
    r = read_values(f"r/diagnostics_{name}.txt")
    numpy.testing.assert_allclose(table[:, 0], vector(r, "estimate"), rtol=5e-8)
    numpy.testing.assert_allclose(table[:, 1], vector(r, "std_error"), rtol=5e-8)
    numpy.testing.assert_allclose(table[:, 3], vector(r, "p_value"), rtol=5e-7)


def test_the_guides_examples_verdicts():
    line = kelmath.ols(LINE_X, LINE_Y).verdicts
    assert (line.conditioning, line.multicollinearity, line.normality) == \
        ("none", False, "consistent")
    assert line.condition_number == pytest.approx(9.359386, rel=1e-6)
    assert (line.outlier, line.outlier_kind) == (0, "probable")  # "The experiment 1 ..."
    gross = kelmath.ols(GROSS_ERROR_X, GROSS_ERROR_Y).verdicts
    assert (gross.outlier, gross.outlier_kind) == (4, "highly_probable")
    assert gross.normality == "violated" and gross.normality_rejected
    assert gross.normality_index == pytest.approx(0.57, abs=0.005)
    assert gross.robust_outliers == (4,)
    assert gross.homoscedasticity == "violated"
    assert kelmath.ols(NEAR_COPY_X, NEAR_COPY_Y).verdicts.principal_components


# The sentences by which the least-squares report states each decision.
NORMALITY_TEXT = {"consistent": "The data are consistent with the normality assumption",
                  "probably_violated": "The normality assumption is probably violated",
                  "violated": "The normality assumption is violated"}


@pytest.mark.parametrize("name", ["swiss", "mtcars", "stackloss", "savings"])
def test_verdicts_are_the_decisions_the_reports_state(name):
    csv, response, columns = MODELS[name]
    frame = read_data(csv)
    fit = kelmath.ols(frame, response=response, columns=columns)
    v = fit.verdicts
    report = fit.report("least_squares", "svd", "robust")
    assert v.multicollinearity == ("Serious multicollinearities have been identified" in report)
    assert v.ill_conditioned == ("The condition number identifies serious" in report)
    assert v.badly_scaled == ("Matrix F has to be normalized" in report)
    assert v.conditioning == ("must_be_normalized" if v.badly_scaled or v.solutions_disagree
                              else "ill_conditioned" if v.ill_conditioned else "none")
    F = numpy.column_stack([numpy.ones(len(frame)), frame[columns].to_numpy()])
    assert v.condition_number == pytest.approx(numpy.linalg.cond(F), rel=1e-9)
    assert v.ill_conditioned == (numpy.linalg.cond(F) > 1000)
    assert v.principal_components == \
        ("The principal component analysis identifies serious multicollinearities" in report)
    assert NORMALITY_TEXT.get(v.normality, "?") in report
    if v.outlier is None:
        assert "outlier\n" not in report.split("Robust Regression")[0]
    else:
        kind = "highly probable" if v.outlier_kind == "highly_probable" else "probable"
        experiment = list(frame.index).index(v.outlier) + 1
        assert f"The experiment {experiment} is a {kind} outlier" in report
    robust = kelmath.lms(frame, response=response, columns=columns)
    assert list(v.robust_outliers) == robust.outliers
    assert v.homoscedasticity in ("verified", "possibly_violated", "probably_violated", "violated")


@pytest.mark.parametrize("name", ["swiss", "mtcars"])
def test_influential_rows_and_breusch_pagan_are_rs(name):
    csv, response, columns = MODELS[name]
    fit = kelmath.ols(read_data(csv), response=response, columns=columns)
    r = read_values(f"r/diagnostics_{name}.txt")
    m, n = len(vector(r, "leverage")), len(columns) + 1
    flagged = (vector(r, "cooks_distance") > 4 / m) | \
        (numpy.abs(vector(r, "studentized_residual")) > 3) | (vector(r, "leverage") > 2 * n / m)
    v = fit.verdicts
    assert list(v.influential_rows) == numpy.flatnonzero(flagged).tolist()
    assert v.breusch_pagan == pytest.approx(float(r["bp_statistic"]), rel=1e-9)
    assert v.breusch_pagan_df == int(float(r["bp_df"]))
    assert v.breusch_pagan_pvalue == pytest.approx(float(r["bp_p_value"]), rel=1e-8)
    with pytest.raises(AttributeError):
        v.conditioning = "none"


def test_reports_print_nothing_write_nothing_and_refuse_unknown_kinds(tmp_path, capfd):
    os.chdir(tmp_path)
    fit = kelmath.ols(GROSS_ERROR_X, GROSS_ERROR_Y)
    assert fit.report("summary") == fit.summary()
    assert fit.report().startswith("kelmath: kelmath.ols(y ~ x1)\n")
    assert "Least Squares Regression Analysis" in fit.report()
    assert fit.verdicts is fit.verdicts
    with pytest.raises(kelmath.InputError, match="unknown report"):
        fit.report("anova")
    with pytest.raises(kelmath.InputError):
        fit.report("summary", "svd")
    with pytest.raises(kelmath.InputError):
        kelmath.lms(GROSS_ERROR_X, GROSS_ERROR_Y).reweighted.report()
    captured = capfd.readouterr()
    assert (captured.out, captured.err) == ("", "")
    assert os.listdir(tmp_path) == []


def test_reports_read_the_data_of_the_fit_not_the_callers_later_changes():
    x, y = GROSS_ERROR_X.copy(), GROSS_ERROR_Y.copy()
    fit = kelmath.ols(x, y)
    before = masked(fit.report("least_squares"))
    y[4] = 11.0
    assert masked(fit.report("least_squares")) == before
