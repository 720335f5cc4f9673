"""kelmath writes no file (the library's KelFile.txt included) and prints nothing, whether a fit
succeeds, warns or fails."""
import os

import numpy
import pytest

import kelmath


def test_fits_and_errors_leave_the_working_directory_empty_and_print_nothing(tmp_path, monkeypatch,
                                                                             capfd):
    monkeypatch.chdir(tmp_path)
    rng = numpy.random.default_rng(3)
    x = rng.normal(size=(30, 3))
    x[:, 2] = x[:, 0] + x[:, 1]  # aliased: the library notes it
    y = x[:, 0] + rng.normal(size=30)
    fit = kelmath.ols(x, y, cov_type="HC2")
    fit.summary()
    fit.to_json()
    with pytest.raises(kelmath.KelMathError):
        kelmath.ols(x, numpy.ones(30))
    with pytest.raises(kelmath.KelMathError):
        fit.conf_int(0.0)
    assert os.listdir(tmp_path) == []
    captured = capfd.readouterr()
    assert captured.out == "" and captured.err == ""
