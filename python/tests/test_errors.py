"""Every bad input and every library error arrives as a kelmath.KelMathError subclass with a text
saying what is wrong; the process goes on."""
import numpy
import pandas
import pytest

import kelmath
from conftest import MODELS, read_data

RNG = numpy.random.default_rng(7)
X = RNG.normal(size=(20, 2))
Y = X @ [1.0, -2.0] + RNG.normal(size=20)


def test_the_hierarchy_derives_from_the_natural_python_errors():
    assert issubclass(kelmath.InputError, ValueError)
    assert issubclass(kelmath.DimensionError, ValueError)
    assert issubclass(kelmath.SingularError, ValueError)
    assert issubclass(kelmath.KelFileError, OSError)
    for error in (kelmath.InputError, kelmath.DimensionError, kelmath.SingularError,
                  kelmath.NonFiniteDataError, kelmath.DomainError, kelmath.OutOfRangeError):
        assert issubclass(error, kelmath.KelMathError)


def test_rows_of_x_and_y_must_agree():
    with pytest.raises(kelmath.DimensionError, match="X has 20 rows but y has 19"):
        kelmath.ols(X, Y[:-1])


def test_x_must_be_a_matrix_and_y_a_vector():
    with pytest.raises(kelmath.DimensionError, match="2-dimensional"):
        kelmath.ols(X.reshape(20, 2, 1), Y)
    with pytest.raises(kelmath.DimensionError, match="2-dimensional"):
        kelmath.ols(X, X)


def test_names_must_match_the_columns():
    with pytest.raises(kelmath.DimensionError, match="2 columns but 3 names"):
        kelmath.ols(X, Y, names=["a", "b", "c"])


def test_rows_that_are_all_missing_leave_too_few_rows():
    with pytest.raises(kelmath.DimensionError, match="0 complete rows \\(20 dropped"):
        kelmath.ols(numpy.full((20, 2), numpy.nan), Y)


def test_too_few_rows_for_the_model():
    with pytest.raises(kelmath.DimensionError, match="needs at least 4"):
        kelmath.ols(X[:3], Y[:3])


def test_a_constant_response_has_nothing_to_explain():
    with pytest.raises(kelmath.SingularError, match="the response 'y' is constant"):
        kelmath.ols(X, numpy.full(20, 3.5))


def test_an_infinite_value_is_refused():
    x = X.copy()
    x[4, 1] = numpy.inf
    with pytest.raises(kelmath.NonFiniteDataError, match="row 5 of 'x2' is infinite"):
        kelmath.ols(x, Y)


def test_a_coefficient_beyond_the_range_of_doubles_is_refused():
    # x of order 1e-200 and y of order 1e200: the slope is of order 1e400.
    rng = numpy.random.default_rng(1)
    with pytest.raises(kelmath.NonFiniteDataError,
                       match="coefficient of 'x1' or its standard error is beyond the range"):
        kelmath.ols(rng.normal(size=(20, 1)) * 1e-200, rng.normal(size=20) * 1e200)


def test_text_is_not_numbers():
    with pytest.raises(kelmath.InputError, match="must hold numbers"):
        kelmath.ols(numpy.array([["a", "b"]] * 20), Y)


def test_unknown_column_of_a_data_frame():
    frame = read_data(MODELS["mtcars"][0])
    with pytest.raises(kelmath.InputError, match="no column 'weight'"):
        kelmath.ols(frame, response="mpg", columns=["weight", "hp"])
    with pytest.raises(kelmath.InputError, match="no column 'miles'"):
        kelmath.ols(frame, response="miles", columns=["wt"])
    with pytest.raises(kelmath.InputError, match="'model' holds object"):
        kelmath.ols(frame, response="mpg", columns=["model"])


def test_unknown_cov_type():
    with pytest.raises(kelmath.InputError, match="unknown cov_type 'HC9'"):
        kelmath.ols(X, Y, cov_type="HC9")


def test_cluster_needs_groups_of_the_right_size_with_two_groups_or_more():
    with pytest.raises(kelmath.InputError, match="needs groups"):
        kelmath.ols(X, Y, cov_type="cluster")
    with pytest.raises(kelmath.InputError, match="one or two labels"):
        kelmath.ols(X, Y, cov_type="cluster", groups=numpy.zeros(19))
    with pytest.raises(kelmath.InputError, match="single group"):
        kelmath.ols(X, Y, cov_type="cluster", groups=numpy.zeros(20))


def test_bad_alpha_of_an_interval():
    fit = kelmath.ols(X, Y)
    with pytest.raises(kelmath.DomainError, match="alpha"):
        fit.conf_int(1.5)


def test_a_data_frame_is_given_its_response_by_name():
    frame = pandas.DataFrame({"a": X[:, 0], "y": Y})
    with pytest.raises(kelmath.InputError, match="response=NAME"):
        kelmath.ols(frame)


def test_every_category_the_library_names_has_its_own_class():
    # The names as lib/foundation/kel_exception.cpp returns them: a category renamed there, or a
    # new one, must not fall through to the bare KelMathError unnoticed.
    import os
    import pathlib
    import re
    from kelmath._errors import error_class
    source = pathlib.Path(os.environ["KELMATH_SOURCE_DIR"]) / "lib" / "foundation" / \
        "kel_exception.cpp"
    body = source.read_text().split("KelErrorCategoryName(KelErrorCategory category)")[1]
    names = re.findall(r'return "([^"]+)";', body.split("\n}\n")[0])
    expected = {"dimension": kelmath.DimensionError, "index": kelmath.OutOfRangeError,
                "singular": kelmath.SingularError, "not factorized": kelmath.NotFactorizedError,
                "file open": kelmath.KelFileError, "file read": kelmath.KelFileError,
                "file write": kelmath.KelFileError, "file close": kelmath.KelFileError,
                "non-finite data": kelmath.NonFiniteDataError,
                "out of memory": kelmath.KelMemoryError,
                "not implemented": kelmath.KelNotImplementedError,
                "domain": kelmath.DomainError, "other": kelmath.KelMathError}
    assert sorted(names) == sorted(expected)
    for name in names:
        assert error_class(name) is expected[name], name
