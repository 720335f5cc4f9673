"""kelmath.stepwise: the best model of every size of ``kelmath stepwise``."""
import numpy as np

from . import _kelmath
from ._command_text import CommandText
from ._ols import run_analysis


class StepwiseResults(CommandText):
    """The best model of every size k = 1..n found by the library's stepwise search.

    ``params`` and ``tvalues`` hold one row per size and one column per parameter (NaN where the
    parameter is not in that size's model; |t|, NaN for the intercept, which every model keeps);
    ``mse`` the mean square error of each size (NaN for a size no run of the search reached, for
    which ``found`` is False); ``columns[k]`` the parameters of the model of size k; ``doubtful``
    whether a column of that model has |t| below 2.5, and ``suggested`` the largest size whose
    every |t| is at least 2.5 (None when there is none). With a DataFrame the tables are pandas
    DataFrames and Series indexed by the size, else NumPy arrays (row k - 1 for size k).
    """

    def __init__(self, values, index=None):
        self._values = values
        self._frame_given = index is not None
        self.names = list(values["names"])
        self.warnings = list(values["warnings"])
        models = values["models"]
        self.sizes = [m["parameters"] for m in models]
        self.found = {m["parameters"]: m["found"] for m in models}
        self.doubtful = {m["parameters"]: m["doubtful"] for m in models}
        self.columns = {m["parameters"]: list(m["columns"]) for m in models}
        self.suggested = values["suggested"] or None
        self.nobs = len(values["used_rows"])
        self.dropped_rows = values["dropped_rows"]
        n = len(self.names)
        self._params = np.full((len(models), n), np.nan)
        self._tvalues = np.full((len(models), n), np.nan)
        for k, model in enumerate(models):
            for name, estimate, t in zip(model["columns"], model["params"], model["tvalues"]):
                j = self.names.index(name)
                self._params[k, j] = estimate
                self._tvalues[k, j] = t
        self._mse = np.array([m["mse"] if m["found"] else np.nan for m in models])

    def _table(self, values, name):
        if not self._frame_given:
            return values
        import pandas
        frame = pandas.DataFrame(values, index=self.sizes, columns=self.names)
        frame.index.name = "parameters"
        frame.columns.name = name
        return frame

    @property
    def params(self):
        return self._table(self._params, "params")

    @property
    def tvalues(self):
        return self._table(self._tvalues, "tvalues")

    @property
    def mse(self):
        if not self._frame_given:
            return self._mse
        import pandas
        return pandas.Series(self._mse, index=pandas.Index(self.sizes, name="parameters"),
                             name="mse")

    def __repr__(self):
        return f"<kelmath.StepwiseResults: best models of 1 to {len(self.names)} parameters, " \
               f"{self.nobs} rows, suggested {self.suggested}>"


def stepwise(X, y=None, intercept=True, names=None, *, response=None, columns=None):
    """The best model of every size of y on the columns of X, by the library's stepwise search
    (as ``kelmath stepwise``); the intercept, when there is one, is in every model.

    The arguments are those of ``kelmath.ols``; rows with a missing value are dropped. Returns a
    StepwiseResults.
    """
    return StepwiseResults(*run_analysis("stepwise", _kelmath._stepwise, X, y, intercept, names,
                                         response, columns))
