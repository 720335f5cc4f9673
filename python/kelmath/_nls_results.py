"""The results of kelmath.nls under statsmodels' and scipy's names, read from the values the
compiled core copied out of the library (nothing is estimated again here)."""
import numpy as np

from . import _kelmath
from ._errors import InputError


class ConvergenceWarning(RuntimeWarning):
    """A nonlinear fit whose estimation did not converge: its numbers are not estimates."""


def _pandas():
    try:
        import pandas
    except ImportError:
        return None
    return pandas


def _table(columns, index=None):
    """A pandas DataFrame when pandas is importable, else the dict of arrays."""
    pandas = _pandas()
    if pandas is None:
        return columns
    return pandas.DataFrame(columns, index=index)


def _experiment(values):
    return None if values is None else np.asarray(values)


class _Analyses:
    """The computations on the problem after its fit: the experiment search, the robust fit and
    the library's reports (shared by one fit and by rival models)."""

    def search_experiments(self, x_min, x_max):
        """The library's experiment search over the box x_min <= x <= x_max (one bound per
        column of x): a dict with the candidates, per model ("models") its suggested experiments
        ("criterion", "x_distance", "f_distance" and the two in principal axes, None for none,
        and "criterion_number", the library's effective criterion), and with rival models the
        best experiment of each couple ("discrimination_table": model_a, model_b, tij, x), the
        experiment that discriminates best ("discrimination", None when none does), its mean
        Tij, and the balanced suggestion ("balanced")."""
        x_min, x_max = self._box(x_min, x_max)
        found = self._problem.search(x_min, x_max)
        columns = self._problem_columns()
        found["candidates"] = np.asarray(found["candidates"]).reshape(-1, columns)
        couples = found.pop("couples")
        found["discrimination_table"] = _table({
            "model_a": np.array([c[0] for c in couples], dtype=int),
            "model_b": np.array([c[1] for c in couples], dtype=int),
            "tij": np.array([c[2] for c in couples], dtype=float),
            "x": [_experiment(c[3]) for c in couples]})
        for key in ("discrimination", "balanced"):
            found[key] = _experiment(found[key])
        return found

    def robust(self):
        """The least-median-of-squares fit of every model (the library's robust analysis): per
        model a dict with params, lms (the final least median of squares), resid, fittedvalues,
        weighted_resid and the outliers as (row, response, |weighted residual|) tuples."""
        found = self._problem.robust()
        return found["models"] if self._many else found["models"][0]

    def report(self, kind="least_squares", x_min=None, x_max=None):
        """The library's report as text: "least_squares" (every model's least-squares report,
        with errors in x the independent variables and with rival models the summary),
        "robust" (least median of squares and outliers) or "search" (the reports, the suggested
        experiments in the box x_min..x_max, the comparison and the discrimination; also
        "discrimination"). Nothing is printed or written to a file."""
        kind = {"discrimination": "search", "analysis": "search"}.get(kind, kind)
        if kind == "search":
            x_min, x_max = self._box(x_min, x_max)
        else:
            x_min, x_max = [], []
        return self._problem.report(kind, x_min, x_max)

    def _box(self, x_min, x_max):
        if x_min is None or x_max is None:
            raise InputError("the search needs x_min and x_max: one bound per column of x")
        return ([float(v) for v in np.atleast_1d(x_min)], [float(v) for v in np.atleast_1d(x_max)])


class NLSResults(_Analyses):
    """One model's nonlinear least-squares fit.

    params, bse, tvalues, pvalues, cov_params(), conf_int(alpha), ssr (the weighted sum of
    squares minimised), scale (ssr / df_resid) and sigma (its root), df_resid, nobs, rsquared,
    resid and fittedvalues (n values, or n x numY), weighted_resid, prediction_se,
    x_measured and x_estimated (with errors in x), condition_number,
    correlation, vif, singular_values; how the estimation ended: converged, stop_reason, nfev
    (the library's evaluations of the model over all experiments) and niter (Gauss-Newton
    iterations); python_calls, the calls of the Python model the fit made. Per-parameter values
    are pandas Series when the parameters are named (or x is a DataFrame, which also indexes the
    per-row values by its rows).
    """

    def __init__(self, problem, values, k, shape, names=None, row_index=None, y_names=None):
        self._problem = problem
        self._many = False
        self._values = values["models"][k]
        self._shape = shape  # (columns of x, responses)
        self.model_number = k + 1
        self.names = names
        self._row_index = row_index
        self._y_names = y_names
        self._named = names is not None or row_index is not None
        if self._named and self.names is None:
            self.names = [f"b{j + 1}" for j in range(len(self._values["params"]))]
        for key in ("ssr", "initial_ssr", "rsquared", "condition_number", "df_resid",
                    "rank_deficiency", "converged", "stop_reason", "nfev", "niter"):
            setattr(self, key, self._values[key])
        self.nobs = len(self._values["resid"]) // shape[1]
        self.scale = self.ssr / self.df_resid
        self.sigma = float(np.sqrt(self.scale))
        self.python_calls = problem.python_calls
        # With errors in x (x_variances) the x the library estimated; the same for every model
        # of a problem: those of the last estimation.
        self.x_measured = np.asarray(values["measured_x"]).reshape(-1, shape[0])
        self.x_estimated = np.asarray(values["estimated_x"]).reshape(-1, shape[0])
        self.warnings = list(values["warnings"])
        if not self.converged:
            text = (f"model {self.model_number}: the estimation did not converge "
                    f"({self.stop_reason}); these are not least-squares estimates")
            self.warnings.append(text)

    def _problem_columns(self):
        return self._shape[0]

    def _parameters(self, key):
        values = np.asarray(self._values[key])
        if not self._named:
            return values
        pandas = _pandas()
        return values if pandas is None else pandas.Series(values, index=self.names, name=key)

    def _square(self, key):
        p = len(self._values["params"])
        values = np.asarray(self._values[key]).reshape(p, p)
        if not self._named:
            return values
        pandas = _pandas()
        return values if pandas is None else pandas.DataFrame(values, index=self.names,
                                                              columns=self.names)

    def _per_row(self, key):
        values = np.asarray(self._values[key])
        if self._shape[1] > 1:
            values = values.reshape(-1, self._shape[1])
        pandas = _pandas() if self._row_index is not None else None
        if pandas is None:
            return values
        if values.ndim == 1:
            name = self._y_names[0] if self._y_names else key
            return pandas.Series(values, index=self._row_index, name=name)
        return pandas.DataFrame(values, index=self._row_index, columns=self._y_names)

    params = property(lambda self: self._parameters("params"))
    bse = property(lambda self: self._parameters("bse"))
    tvalues = property(lambda self: self._parameters("tvalues"))
    pvalues = property(lambda self: self._parameters("pvalues"))
    vif = property(lambda self: self._parameters("vif"))
    singular_values = property(lambda self: np.asarray(self._values["singular_values"]))
    correlation = property(lambda self: self._square("correlation"))
    resid = property(lambda self: self._per_row("resid"))
    weighted_resid = property(lambda self: self._per_row("weighted_resid"))
    fittedvalues = property(lambda self: self._per_row("fittedvalues"))
    prediction_se = property(lambda self: self._per_row("prediction_se"))

    def cov_params(self):
        """The covariance of the estimates: (J'WJ)^-1 with known variances or weights, else
        times the residual variance."""
        return self._square("cov_params")

    def conf_int(self, alpha=0.05):
        """The 1 - alpha intervals of the estimates (t on df_resid), lower bounds in column 0."""
        intervals = _kelmath._confidence_intervals(
            list(self._values["params"]), list(self._values["bse"]), self.df_resid, alpha)
        if not self._named:
            return intervals
        pandas = _pandas()
        return intervals if pandas is None else pandas.DataFrame(intervals, index=self.names,
                                                                 columns=[0, 1])

    def __repr__(self):
        state = "converged" if self.converged else "NOT converged"
        return (f"<kelmath.NLSResults: model {self.model_number}, {len(self._values['params'])} "
                f"parameters, ssr {self.ssr:.6g}, {state}>")


class NLSRivals(_Analyses):
    """Rival models of the same data: a sequence of NLSResults (one per model, in order) with
    the library's comparison of the models (``comparison``: value, ratio to the best, the test
    statistic, P value, pseudo P value, P value with one more degree of freedom for the
    variance; a DataFrame indexed by model number when pandas is importable)."""

    def __init__(self, problem, values, fits):
        self._problem = problem
        self._many = True
        self._fits = fits
        self.warnings = list(values["warnings"])
        for fit in fits:
            self.warnings.extend(w for w in fit.warnings if w not in self.warnings)
        c = values["comparison"]
        self.comparison_test = c["table"]
        self.comparison = _table({
            "compared": np.asarray(c["compared"], dtype=bool), "value": c["value"],
            "ratio": c["ratio"], "statistic": c["statistic"], "pvalue": c["pvalue"],
            "pseudo_pvalue": c["pseudo_pvalue"], "pvalue_one_more_df": c["pvalue_one_more_df"]},
            index=np.arange(1, len(fits) + 1))
        self.python_calls = problem.python_calls

    def _problem_columns(self):
        return self._fits[0]._problem_columns()

    def __len__(self):
        return len(self._fits)

    def __getitem__(self, k):
        return self._fits[k]

    def __iter__(self):
        return iter(self._fits)

    def __repr__(self):
        return f"<kelmath.NLSRivals: {len(self._fits)} models>"
