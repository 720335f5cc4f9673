"""The results of kelmath.ols under statsmodels' names, read from the values the compiled core
computed (nothing is computed again here)."""
import numpy as np

from . import _kelmath
from ._command_text import CommandText
from ._errors import InputError

_PER_PARAMETER = ("params", "bse", "tvalues", "pvalues")
_PER_ROW = ("resid", "fittedvalues")
# The library's reports by the names report() takes (the command's --reports names too).
_REPORTS = {"least_squares": "least-squares", "least-squares": "least-squares", "svd": "svd",
            "robust": "robust", "stepwise": "stepwise"}
_SCALARS = ("rsquared", "rsquared_adj", "fvalue", "f_pvalue", "llf", "aic", "bic", "nobs",
            "df_resid", "df_model", "cov_type", "rank", "condition_number", "exact_fit")


class Influence:
    """The influence of each row used, as statsmodels' OLSInfluence names it."""

    def __init__(self, results):
        self._results = results

    @property
    def hat_matrix_diag(self):
        return self._results._per_row("hat_matrix_diag")

    @property
    def cooks_distance(self):
        """(Cook's distances, None): statsmodels' pair without its P values."""
        return self._results._per_row("cooks_distance"), None

    @property
    def resid_studentized_external(self):
        return self._results._per_row("resid_studentized_external")

    @property
    def resid_studentized_internal(self):
        return self._results._per_row("resid_studentized_internal")


class OLSResults(CommandText):
    """One least-squares fit: estimates and their inference under cov_type, the fit's statistics
    and each used row's residual, fitted value and influence.

    With a DataFrame, per-parameter values are pandas Series indexed by the parameter names and
    per-row values Series indexed by the rows used; with arrays they are NumPy arrays, the
    parameter names in ``names``. aic and bic are R's (they count the residual variance as a
    parameter: statsmodels' values plus 2 and plus log(nobs)).
    """

    def __init__(self, values, index=None, arguments=None):
        self._values = values
        self._index = index
        # The compiled core's arguments of the fit, for the reports and verdicts computed later.
        self._arguments = arguments
        self._verdicts = None
        self.names = list(values["names"])
        self.warnings = list(values["warnings"])
        positions = np.asarray(values["used_rows"], dtype=np.int64) - 1
        dropped = np.asarray(values["dropped_rows"], dtype=np.int64) - 1
        if index is None:
            self._row_labels = positions
            self.dropped_rows = dropped.tolist()
        else:
            self._row_labels = index[positions]
            self.dropped_rows = list(index[dropped])
        for name in _SCALARS:
            setattr(self, name, values[name])
        # The library names its types in lower case ("hc3"); the arguments' spelling is shown.
        if self.cov_type.startswith("hc"):
            self.cov_type = "HC" + self.cov_type[2:]

    def _per_parameter(self, key):
        values = np.asarray(self._values[key])
        if self._index is None:
            return values
        import pandas
        return pandas.Series(values, index=self.names, name=key)

    def _per_row(self, key):
        values = np.asarray(self._values[key])
        if self._index is None:
            return values
        import pandas
        return pandas.Series(values, index=self._row_labels, name=key)

    def __getattr__(self, name):
        # Called only for names not set in __init__: the per-parameter and per-row values.
        if name in _PER_PARAMETER:
            return self._per_parameter(name)
        if name in _PER_ROW:
            return self._per_row(name)
        raise AttributeError(f"'OLSResults' object has no attribute '{name}'")

    def conf_int(self, alpha=0.05):
        """The 1 - alpha intervals of the estimates under cov_type (t on df_resid), lower bounds in
        column 0."""
        intervals = _kelmath._confidence_intervals(
            list(self._values["params"]), list(self._values["bse"]), self.df_resid, alpha)
        if self._index is None:
            return intervals
        import pandas
        return pandas.DataFrame(intervals, index=self.names, columns=[0, 1])

    def cov_params(self):
        """The covariance of the estimates under cov_type (NaN rows and columns for aliased
        parameters)."""
        values = np.array(self._computed("cov_params"))
        if self._index is None:
            return values
        import pandas
        return pandas.DataFrame(values, index=self.names, columns=self.names)

    def get_influence(self):
        return Influence(self)

    def _computed(self, kind):
        # Made on the first request only, by the compiled core: the summary and JSON texts and
        # the covariance matrix (a second factorization) cost more on many rows than the fit's
        # arrays, and most callers never ask for them.
        made = self.__dict__.setdefault("_made", {})
        if kind not in made:
            made[kind] = getattr(self._values["fit"], kind)()
        return made[kind]

    def summary(self):
        """The kelmath command's text summary of the fit."""
        return self._computed("summary")

    def to_json(self):
        """The kelmath command's JSON result (the same as ``kelmath regress --json``)."""
        return self._computed("json")

    def plot_diagnostics(self, fig=None):
        """The kelmath command's four diagnostic plots as one matplotlib Figure (2 x 2 panels):
        residuals vs fitted with a LOWESS smooth, normal Q-Q, scale-location, and residuals vs
        leverage with Cook's distance 0.5 and 1. Above 2000 rows a panel shows a density of
        bins with the flagged and most extreme rows as markers, as the command's images do.
        The rows labelled are the command's, named as the results name rows (the DataFrame's
        index, or positions from 0 in the arrays).

        Draws on ``fig`` when given (its axes are replaced), else on a new
        matplotlib.figure.Figure, and returns it: nothing is shown or written until the caller
        saves it. Needs matplotlib (Debian's python3-matplotlib); without it raises
        kelmath.MissingDependencyError.
        """
        from ._plots import draw_diagnostics
        return draw_diagnostics(self._values["fit"].diagnostic_panels(), fig, self._row_name)

    def _row_name(self, row):
        # The core numbers the rows of the data from 1, dropped ones included.
        return str(row - 1 if self._index is None else self._index[row - 1])

    def _data_kept(self):
        if self._arguments is None:
            raise InputError("this fit keeps no data for the library's reports")
        return self._arguments

    def report(self, *kinds):
        """The library's reports of the fit as text: "least_squares" (the default), "svd",
        "robust", "stepwise" (several print in that order), or "summary" alone (summary()).

        The text is that of ``kelmath regress --output FILE --reports ...``: a header naming the
        parameters b1..bn and the data row of each experiment, then the reports of
        KelLinearRegression for the rows used, captured in memory.
        """
        kinds = kinds or ("least_squares",)
        if "summary" in kinds:
            if len(kinds) > 1:
                raise InputError("report('summary') takes no other kind")
            return self.summary()
        unknown = [kind for kind in kinds if kind not in _REPORTS]
        if unknown:
            raise InputError(f"unknown report {unknown[0]!r}: one of summary, "
                             f"least_squares, svd, robust, stepwise")
        return _kelmath._library_reports(self._data_kept(), [_REPORTS[kind] for kind in kinds])

    @property
    def verdicts(self):
        """The decisions of the library's reports and of the summary (a frozen Verdicts),
        computed once on first use: the least-squares diagnostics, the singular value and the
        robust analyses of the rows used."""
        if self._verdicts is None:
            from ._verdicts import verdicts_of
            values = _kelmath._linear_verdicts(self._data_kept())
            self._verdicts = verdicts_of(values, self._values["breusch_pagan"], self._index)
        return self._verdicts

    def __repr__(self):
        return f"<kelmath.OLSResults: {self._values['response']} on {len(self.names)} parameters, " \
               f"{self.nobs} rows, cov_type {self.cov_type}>"
