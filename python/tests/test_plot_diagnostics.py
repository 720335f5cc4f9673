"""OLSResults.plot_diagnostics: the command's four diagnostic plots drawn with matplotlib. The
points are checked against statsmodels' influence measures, the smooth against statsmodels'
lowess, the contours against Cook's formula, and the labelled rows against the command's own
SVG images of the same data."""
import os
import pathlib
import re
import subprocess
import sys
import xml.etree.ElementTree as ElementTree

import numpy
import pytest

import kelmath
from conftest import read_data

matplotlib = pytest.importorskip("matplotlib")
sm = pytest.importorskip("statsmodels.api")

COLUMNS = ["wt", "hp", "qsec", "am"]
NAMES = ["residuals_fitted", "qq", "scale_location", "residuals_leverage"]


@pytest.fixture(scope="module")
def mtcars():
    frame = read_data("mtcars.csv")
    fit = kelmath.ols(frame, response="mpg", columns=COLUMNS)
    reference = sm.OLS(frame["mpg"], sm.add_constant(frame[COLUMNS])).fit()
    return frame, fit, reference, fit.plot_diagnostics()


def panels_of(figure):
    return {ax.get_label(): ax for ax in figure.axes}


def drawn_points(ax):
    """The x, y of the markers (the one scatter collection of a panel)."""
    [points] = [c for c in ax.collections if c.get_offsets().shape[1:] == (2,)
                and not isinstance(c, matplotlib.collections.PatchCollection)]
    offsets = numpy.asarray(points.get_offsets())
    return offsets[:, 0], offsets[:, 1]


def annotations(ax):
    """The row labels (the guides' labels apart)."""
    return [t.get_text() for t in ax.texts if t.get_gid() == "row-label"]


def test_four_panels_with_the_command_titles_and_axis_names(mtcars):
    _, _, _, figure = mtcars
    panels = panels_of(figure)
    assert isinstance(figure, matplotlib.figure.Figure)
    assert sorted(panels) == sorted(NAMES)
    assert [panels[n].get_title() for n in NAMES] == [
        "Residuals vs Fitted", "Normal Q-Q", "Scale-Location", "Residuals vs Leverage"]
    assert panels["residuals_fitted"].get_xlabel() == "Fitted values (units of mpg)"
    assert panels["residuals_fitted"].get_ylabel() == "Residuals (units of mpg)"
    assert panels["residuals_leverage"].get_xlabel() == "Leverage h (no unit)"
    assert panels["qq"].get_ylabel().startswith("Standardized residuals")


def test_points_are_the_residuals_quantiles_and_leverages_statsmodels_computes(mtcars):
    from scipy import stats
    _, _, reference, figure = mtcars
    panels = panels_of(figure)
    influence = reference.get_influence()
    standardized = influence.resid_studentized_internal
    x, y = drawn_points(panels["residuals_fitted"])
    numpy.testing.assert_allclose(x, reference.fittedvalues, rtol=1e-10)
    numpy.testing.assert_allclose(y, reference.resid, rtol=1e-8)
    x, y = drawn_points(panels["residuals_leverage"])
    numpy.testing.assert_allclose(x, influence.hat_matrix_diag, rtol=1e-10)
    numpy.testing.assert_allclose(y, standardized, rtol=1e-8)
    x, y = drawn_points(panels["scale_location"])
    numpy.testing.assert_allclose(y, numpy.sqrt(numpy.abs(standardized)), rtol=1e-8)
    # R's qqnorm: quantiles of the plotting positions (i - 1/2) / n for n > 10.
    n = len(standardized)
    x, y = drawn_points(panels["qq"])
    numpy.testing.assert_allclose(x, stats.norm.ppf((numpy.arange(1, n + 1) - 0.5) / n),
                                  rtol=1e-10)
    numpy.testing.assert_allclose(y, numpy.sort(standardized), rtol=1e-8)


def test_the_smooth_is_lowess_with_r_defaults(mtcars):
    from statsmodels.nonparametric.smoothers_lowess import lowess
    _, _, reference, figure = mtcars
    [smooth] = [line for line in panels_of(figure)["residuals_fitted"].lines
                if line.get_linestyle() == "-"]
    fitted = numpy.asarray(reference.fittedvalues)
    delta = 0.01 * (fitted.max() - fitted.min())
    expected = lowess(numpy.asarray(reference.resid), fitted, frac=2 / 3, it=3, delta=delta)
    numpy.testing.assert_allclose(smooth.get_xdata(), expected[:, 0], rtol=1e-12)
    scale = numpy.abs(reference.resid).max()
    numpy.testing.assert_allclose(smooth.get_ydata(), expected[:, 1], rtol=0, atol=1e-8 * scale)


def test_cooks_contours_are_the_half_and_one_curves(mtcars):
    _, fit, _, figure = mtcars
    ax = panels_of(figure)["residuals_leverage"]
    p = len(fit.params)
    contours = [line for line in ax.lines if line.get_linestyle() != "-"
                and len(line.get_xdata()) > 2]
    assert len(contours) == 4
    found = set()
    for line in contours:
        h, r = numpy.asarray(line.get_xdata()), numpy.asarray(line.get_ydata())
        distance = r ** 2 * h / (p * (1 - h))
        assert numpy.allclose(distance, distance[0], rtol=1e-10)
        found.add((round(distance[0], 12), numpy.sign(r[0])))
    assert found == {(0.5, 1.0), (0.5, -1.0), (1.0, 1.0), (1.0, -1.0)}


def command_labels(command, csv, folder):
    """Per plot, the rows the kelmath command labels in its SVG image (numbered from 1)."""
    subprocess.run([command, "regress", str(csv), "--response", "mpg", "--columns",
                    ",".join(COLUMNS), "--plots", str(folder)], check=True,
                   capture_output=True, cwd=folder)
    labels = {}
    for name in NAMES:
        tree = ElementTree.parse(folder / f"{name}.svg")
        group = [g for g in tree.iter("{http://www.w3.org/2000/svg}g")
                 if g.get("class") == "row-labels"][0]
        labels[name] = sorted(int(t.text) for t in group)
    return labels


@pytest.mark.skipif("KELMATH_COMMAND" not in os.environ, reason="the kelmath command not given")
def test_labelled_rows_are_those_of_the_command_svg_named_by_the_frame_index(mtcars,
                                                                              tmp_path):
    from conftest import REFERENCE
    frame, _, _, _ = mtcars
    expected = command_labels(os.environ["KELMATH_COMMAND"], REFERENCE / "mtcars.csv", tmp_path)
    # A frame indexed by the car names: the labels are its index, as the results' row labels.
    figure = kelmath.ols(frame.set_index("model"), response="mpg",
                         columns=COLUMNS).plot_diagnostics()
    panels = panels_of(figure)
    for name in NAMES:
        assert expected[name], name
        assert sorted(annotations(panels[name])) == sorted(frame["model"][r - 1]
                                                           for r in expected[name]), name


@pytest.fixture(scope="module")
def many_rows():
    rng = numpy.random.default_rng(7)
    x = rng.normal(size=(3000, 3))
    y = x @ [1.0, -2.0, 0.5] + rng.standard_t(3, size=3000)
    fit = kelmath.ols(x, y)
    return x, y, fit, fit.plot_diagnostics()


def test_above_the_point_limit_a_density_with_the_extreme_rows_as_markers(many_rows):
    x, y, fit, figure = many_rows
    reference = sm.OLS(y, sm.add_constant(x)).fit().get_influence()
    ax = panels_of(figure)["residuals_fitted"]
    [bins] = [c for c in ax.collections if isinstance(c, matplotlib.collections.PatchCollection)]
    assert len(bins.get_paths()) > 100
    markers_x, _ = drawn_points(ax)
    assert 20 <= len(markers_x) < 3000
    # The ten rows of largest |studentized residual| and of largest Cook's distance are drawn.
    fitted = numpy.asarray(fit.fittedvalues)
    drawn = {numpy.flatnonzero(fitted == value)[0] for value in markers_x}
    student = numpy.abs(reference.resid_studentized_external)
    assert set(numpy.argsort(student)[-10:]) <= drawn
    assert set(numpy.argsort(reference.cooks_distance[0])[-10:]) <= drawn
    notes = " ".join(t.get_text() for t in ax.texts)
    assert "3,000 points" in notes and "Points per bin:" in notes


def test_below_the_point_limit_every_row_is_a_marker(mtcars):
    _, fit, _, figure = mtcars
    for ax in figure.axes:
        assert len(drawn_points(ax)[0]) == fit.nobs
        assert not [c for c in ax.collections
                    if isinstance(c, matplotlib.collections.PatchCollection)]


def test_draws_on_a_given_figure_without_pyplot(mtcars):
    from matplotlib.figure import Figure
    _, fit, _, _ = mtcars
    given = Figure()
    assert fit.plot_diagnostics(fig=given) is given
    assert len(given.axes) == 4
    assert "matplotlib.pyplot" not in sys.modules


HEADLESS = """
import os, pathlib, sys, tempfile
import numpy, kelmath
rng = numpy.random.default_rng(1)
x = rng.normal(size=(50, 2))
fit = kelmath.ols(x, x @ [1.0, 2.0] + rng.normal(size=50))
figure = fit.plot_diagnostics()
with tempfile.TemporaryDirectory() as folder:
    path = pathlib.Path(folder) / "plots.png"
    figure.savefig(path)
    assert path.read_bytes()[:8] == b"\\x89PNG\\r\\n\\x1a\\n"
assert "matplotlib.pyplot" not in sys.modules
print("ok")
"""


def test_renders_to_png_with_no_display(tmp_path):
    environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "MPLBACKEND",
                                                                   "WAYLAND_DISPLAY")}
    done = subprocess.run([sys.executable, "-c", HEADLESS], env=environment, cwd=tmp_path,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout == "ok\n"
    assert list(tmp_path.iterdir()) == []


def test_without_matplotlib_a_clear_error_naming_the_package(mtcars, monkeypatch):
    _, fit, _, _ = mtcars
    for name in [m for m in sys.modules if m == "matplotlib" or m.startswith("matplotlib.")]:
        monkeypatch.delitem(sys.modules, name)
    monkeypatch.setitem(sys.modules, "matplotlib", None)  # import matplotlib raises ImportError
    with pytest.raises(kelmath.MissingDependencyError, match="python3-matplotlib"):
        fit.plot_diagnostics()
    assert issubclass(kelmath.MissingDependencyError, ImportError)
    assert issubclass(kelmath.MissingDependencyError, kelmath.KelMathError)


WITHOUT_MATPLOTLIB = """
import sys
class Refuse:
    def find_spec(self, name, path=None, target=None):
        if name == "matplotlib" or name.startswith("matplotlib."):
            raise ImportError("no matplotlib here")
sys.meta_path.insert(0, Refuse())
import numpy, kelmath
fit = kelmath.ols(numpy.arange(10.0), numpy.arange(10.0) ** 2)
assert "Coefficients" in fit.summary() and fit.to_dict()
try:
    fit.plot_diagnostics()
except kelmath.MissingDependencyError as error:
    print(error)
"""


def test_kelmath_imports_and_fits_where_matplotlib_cannot_be_imported():
    done = subprocess.run([sys.executable, "-c", WITHOUT_MATPLOTLIB], capture_output=True,
                          text=True)
    assert done.returncode == 0, done.stderr
    assert re.search(r"python3-matplotlib", done.stdout)


def test_with_arrays_rows_are_named_by_position_counting_dropped_rows():
    rng = numpy.random.default_rng(3)
    x = rng.normal(size=(40, 2))
    y = x @ [1.0, 1.0] + 0.1 * rng.normal(size=40)
    y[25] += 5.0  # by far the largest residual: labelled in every panel of residuals
    x[3, 0] = numpy.nan  # dropped: the positions after it keep their numbers
    figure = kelmath.ols(x, y).plot_diagnostics()
    for name in ("residuals_fitted", "qq", "scale_location"):
        assert "25" in annotations(panels_of(figure)[name])
