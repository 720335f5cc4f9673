"""kelmath.nls: nonlinear least squares of one model or of rival models by the library's
KelNonLinearRegression, with vectorised Python models (one call over all rows of x)."""
import warnings

import numpy as np

from . import _kelmath
from ._errors import DimensionError, InputError
from ._nls_results import ConvergenceWarning, NLSResults, NLSRivals


def _float_matrix(values, what):
    """values as a float64 array with one row per experiment (a 1-d array is one column)."""
    array = np.asarray(values)
    if array.dtype.kind not in "biuf":
        raise InputError(f"{what} must hold numbers, not {array.dtype}")
    if array.ndim == 1:
        array = array.reshape(-1, 1)
    if array.ndim != 2:
        raise DimensionError(f"{what} must be 1- or 2-dimensional, not {array.ndim}-dimensional")
    return np.ascontiguousarray(array, dtype=np.float64)


def _columns_of(data):
    """The column names of a pandas DataFrame, the name of a Series, else None."""
    module = type(data).__module__
    if not module.startswith("pandas"):
        return None
    if hasattr(data, "columns"):
        return [str(c) for c in data.columns]
    return [str(data.name)] if getattr(data, "name", None) is not None else None


def _start_and_names(start, names):
    """The starting values as floats, and the parameter names: names=..., the keys of a dict or
    the index of a pandas Series, else None."""
    given = None
    if isinstance(start, dict):
        given, start = [str(k) for k in start], list(start.values())
    elif type(start).__module__.startswith("pandas") and hasattr(start, "index"):
        given, start = [str(k) for k in start.index], start.to_numpy()
    values = np.asarray(start)
    if values.dtype.kind not in "biuf" or values.ndim != 1 or values.size < 1:
        raise InputError("a start must be a non-empty 1-d sequence of numbers (or a dict of them)")
    if names is not None:
        given = [str(n) for n in names]
    if given is not None and len(given) != values.size:
        raise DimensionError(f"{len(given)} names for {values.size} parameters")
    return [float(v) for v in values], given


def _as_list(value, count, what):
    if count == 1 and not isinstance(value, (list, tuple)):
        return [value]
    if not isinstance(value, (list, tuple)) or len(value) != count:
        raise InputError(f"{what}: one per model ({count}) in a list")
    return list(value)


def _per_model(value, count, rivals, what):
    """An argument given per model: a list of them with rival models (None: none for any)."""
    if value is None:
        return [None] * count
    return _as_list(value, count, what) if rivals else [value]


def _variances(variances, dof, x_variances, y_columns):
    """The library's variances: those of the responses, then with x_variances those of x."""
    if variances is None:
        if x_variances is not None:
            raise InputError("x_variances need the variances of the responses as well")
        return np.zeros(0), 0
    if dof is None:
        raise InputError("variances need dof=: the degrees of freedom they were estimated with")
    values = np.atleast_1d(np.asarray(variances, dtype=np.float64)).ravel()
    if values.size == 1 and y_columns > 1:
        values = np.repeat(values, y_columns)
    if x_variances is not None:
        values = np.concatenate([values, np.atleast_1d(np.asarray(x_variances, np.float64))])
    if int(dof) != dof:
        raise InputError(f"dof must be a whole number, not {dof}")
    return values, int(dof)


def _side(values, count, free, what):
    """One side of a model's bounds as floats (None, or a None entry: that side free)."""
    if values is None:
        return None
    if np.ndim(values) == 0:
        values = [values] * count
    array = np.asarray([free if v is None else v for v in values])
    if array.dtype.kind not in "biuf" or array.ndim != 1:
        raise InputError(f"{what} must be numbers (or None), one per parameter")
    return [float(v) for v in array]


def _bounds_pair(lower, upper, count):
    """The library's lower and upper bounds of one model: both lists, or both empty for none."""
    low = _side(lower, count, -np.inf, "lower")
    high = _side(upper, count, np.inf, "upper")
    if low is None and high is None:
        return [], []
    return (low or [-np.inf] * count), (high or [np.inf] * count)


def nls(model, x, y, start, jac=None, *, lower=None, upper=None, variances=None, dof=None,
        weights=None, x_variances=None, names=None):
    """Least squares of y on the nonlinear model(x, b), from the starting parameters start.

    model(x, b) gets x as an (n, numX) array (all experiments at once) and the parameters b, and
    returns n values (one response) or (n, numY). jac(x, b), optional, returns (n, p) (or
    (n, numY, p)); without it the derivatives are central differences. A list of models with a
    list of starts (and of jacs, None where a model has none) fits rival models of the same data
    and returns an NLSRivals. start may be a dict {name: value}; names=[...] names the
    parameters (params are then pandas Series). lower and upper bound the parameters (one value
    per parameter, None for a free side; for rival models a list of them per model): the
    estimation stays strictly inside, and a fit whose minimum lies on a bound does not converge.

    variances: the known variances of the responses (one, or one per response), estimated with
    dof degrees of freedom: weights 1/sqrt(variance), standard errors from them, and the F tests
    of the models; with x_variances (one per column of x, 0 for an exact one) the x are measured
    with errors and re-estimated. weights: n values (or n x numY) that multiply the residuals,
    taken as 1/sigma (the covariance is not scaled by the residuals). Without either, unit
    weights and the covariance scaled by the residual variance.
    """
    if variances is not None and weights is not None:
        raise InputError("give variances or weights, not both")
    rivals = isinstance(model, (list, tuple))
    models = list(model) if rivals else [model]
    count = len(models)
    if count < 1:
        raise InputError("no model given")
    starts = _as_list(start, count, "start") if rivals else [start]
    jacs = _per_model(jac, count, rivals, "jac")
    for f in models + [j for j in jacs if j is not None]:
        if not callable(f):
            raise InputError(f"{f!r} is not callable: a model is a function of (x, b)")
    x_names = _columns_of(x)
    # With a DataFrame, per-row results are indexed by its rows (and named by y's columns).
    row_index = x.index if x_names is not None and hasattr(x, "columns") else None
    y_names = _columns_of(y)
    xs = _float_matrix(x, "x")
    ys = _float_matrix(y, "y")
    if xs.shape[0] != ys.shape[0]:
        raise DimensionError(f"x has {xs.shape[0]} rows but y has {ys.shape[0]}")
    pairs = [_start_and_names(s, n)
             for s, n in zip(starts, _per_model(names, count, rivals, "names"))]
    for values, _ in pairs:
        if len(values) >= ys.size:
            raise DimensionError(f"{len(values)} parameters need more than the {ys.size} "
                                 f"measurements of y")
    bounds = [_bounds_pair(lo, hi, len(p[0])) for lo, hi, p in
              zip(_per_model(lower, count, rivals, "lower"),
                  _per_model(upper, count, rivals, "upper"), pairs)]
    variance_values, dof_value = _variances(variances, dof, x_variances, ys.shape[1])
    weight_values = np.zeros((0, 0)) if weights is None else _float_matrix(weights, "weights")
    problem = _kelmath._NlsProblem(models, jacs, xs, ys, [v for v, _ in pairs],
                                   [lo for lo, _ in bounds], [hi for _, hi in bounds],
                                   variance_values, dof_value, weight_values)
    values = problem.fit()
    fits = [NLSResults(problem, values, k, (xs.shape[1], ys.shape[1]), names=pairs[k][1],
                       row_index=row_index, y_names=y_names) for k in range(count)]
    for fit in fits:
        if not fit.converged:
            warnings.warn(fit.warnings[-1], ConvergenceWarning, stacklevel=2)
    if not rivals:
        return fits[0]
    return NLSRivals(problem, values, fits)
