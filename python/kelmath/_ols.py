"""kelmath.ols: the arguments (NumPy arrays or a pandas DataFrame) made into the plain arrays the
compiled core reads, converted once to float64 in C order."""
import numpy as np

from . import _kelmath
from ._errors import InputError
from ._labels import row_labels
from ._results import OLSResults


def _is_data_frame(data):
    # pandas is imported only when a DataFrame is given: arrays need no pandas.
    if not type(data).__module__.startswith("pandas"):
        return False
    import pandas
    return isinstance(data, pandas.DataFrame)


def _float_array(values, what):
    array = np.asarray(values)
    if array.dtype.kind not in "biuf":
        raise InputError(f"{what} must hold numbers, not {array.dtype}")
    return np.ascontiguousarray(array, dtype=np.float64)


def _group_codes(labels):
    """Per clustering column, labels numbered from 0; -1 where a label is missing."""
    column = np.asarray(labels, dtype=object)
    missing = np.array([label is None or label != label for label in column], dtype=bool)
    codes = np.full(column.shape[0], -1, dtype=np.int64)
    if (~missing).any():
        _, codes[~missing] = np.unique(column[~missing].astype(str), return_inverse=True)
    return codes


def _groups_array(groups, rows):
    array = np.asarray(groups, dtype=object)
    if array.ndim == 1:
        array = array.reshape(-1, 1)
    if array.ndim != 2 or array.shape[0] != rows:
        raise InputError(f"groups must hold one or two labels for each of the {rows} rows")
    return np.column_stack([_group_codes(array[:, j]) for j in range(array.shape[1])])


def _call_text(function, response, names, intercept):
    terms = " + ".join(names) if names else "1"
    return f"kelmath.{function}({response} ~ {terms}{'' if intercept else ' - 1'})"


def _frame_arrays(frame, response, columns, groups):
    """The response, the columns and the groups of a DataFrame (groups may name its columns)."""
    if response is None:
        raise InputError("a DataFrame needs response=NAME")
    group_columns = [groups] if isinstance(groups, str) else (
        list(groups) if isinstance(groups, (list, tuple)) and groups and
        all(isinstance(g, str) for g in groups) else [])
    if columns is None:
        columns = [c for c in frame.columns if c != response and c not in group_columns]
    for name in [response, *columns, *group_columns]:
        if name not in frame.columns:
            raise InputError(f"the DataFrame has no column '{name}'")
    for name in [response, *columns]:
        if frame[name].dtype.kind not in "biuf":
            raise InputError(f"the column '{name}' holds {frame[name].dtype}, not numbers")
    x = frame[list(columns)].to_numpy(dtype=np.float64, na_value=np.nan)
    y = frame[response].to_numpy(dtype=np.float64, na_value=np.nan)
    if group_columns:
        groups = frame[group_columns].to_numpy(dtype=object)
    return x, y, [str(c) for c in columns], str(response), groups, group_columns


def model_arguments(function, X, y, cov_type="classical", groups=None, intercept=True,
                    names=None, response=None, columns=None):
    """The compiled core's arguments of a linear model and the DataFrame given (or None).

    The arrays are copies, so that a result that computes more later (its reports) reads the
    data of its fit whatever the caller changes afterwards."""
    frame = X if _is_data_frame(X) else None
    group_names = []
    if frame is not None:
        if y is not None:
            raise InputError("with a DataFrame, name the response (response=NAME) instead of y")
        x, y, names, response, groups, group_names = _frame_arrays(frame, response, columns, groups)
    else:
        if y is None:
            raise InputError(f"{function}(X, y) needs y")
        x = _float_array(X, "X")
        y = _float_array(y, "y")
        if x.ndim == 1:
            x = x.reshape(-1, 1)
        if names is None:
            names = [f"x{j + 1}" for j in range(x.shape[1])] if x.ndim == 2 else []
        response = response or "y"
    arguments = _kelmath._OlsArguments()
    arguments.x, arguments.y = np.array(x, dtype=np.float64), np.array(y, dtype=np.float64)
    arguments.names = [str(name) for name in names]
    arguments.response = response
    arguments.intercept = bool(intercept)
    arguments.cov_type = str(cov_type)
    if groups is not None:
        arguments.groups = _groups_array(groups, y.shape[0] if y.ndim else 0)
    arguments.group_names = [str(g) for g in group_names]
    arguments.call = _call_text(function, response, arguments.names, intercept)
    arguments.source = "DataFrame" if frame is not None else "arrays"
    return arguments, frame


def ols(X, y=None, cov_type="classical", groups=None, intercept=True, names=None, *,
        response=None, columns=None):
    """Least squares of y on the columns of X (plus an intercept unless intercept=False).

    X and y are arrays (any numeric dtype, any order), or X is a pandas DataFrame with the
    response and the columns named (response="y", columns=[...]; by default every other column).
    Rows with a missing value are dropped (``dropped_rows``). cov_type is "classical" (or
    "nonrobust"), "HC0".."HC5", "HC4m" or "cluster" (groups: one or two labels per row, or the
    names of DataFrame columns holding them). Returns an OLSResults.
    """
    arguments, frame = model_arguments("ols", X, y, cov_type, groups, intercept, names, response,
                                       columns)
    values = _kelmath._fit_ols(arguments)
    return OLSResults(values, frame.index if frame is not None else None, arguments)


def run_analysis(function, compute, X, y, intercept, names, response, columns):
    """The values the compiled core's compute(arguments) returns for a linear analysis named
    function, with dropped_rows as labels, and the DataFrame's index (None for arrays)."""
    arguments, frame = model_arguments(function, X, y, "classical", None, intercept, names,
                                       response, columns)
    index = frame.index if frame is not None else None
    values = compute(arguments)
    values["dropped_rows"] = row_labels(values["dropped_rows"], index)
    return values, index
