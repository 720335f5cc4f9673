"""kelmath.lms: the least-median-of-squares fit of ``kelmath robust``."""
import numpy as np

from . import _kelmath
from ._command_text import CommandText
from ._labels import per_parameter, per_row, row_labels
from ._ols import run_analysis
from ._results import OLSResults


class LMSResults(CommandText):
    """The exact least-median-of-squares fit of ``kelmath robust`` (the library's search) and the
    reweighted least squares of the rows that are not outliers.

    ``params``, ``resid``, ``fittedvalues`` and ``sresid`` (residuals over ``scale``) are named
    as in statsmodels' RLM results; ``lms`` is the criterion (the median of the squared
    residuals), ``scale`` the robust scale (Rousseeuw and Leroy's: the root mean square of the
    residuals within 2.5 of 1.4826 (1 + 5/(m - n)) sqrt(lms), over their count less n),
    ``rsquared`` the library's robust R². ``outliers`` are the rows whose |sresid| exceeds 2.5,
    split into ``highly_probable_outliers`` (beyond 10) and ``possible_outliers``; ``weights``
    is 0 for an outlier and 1 for the others (Rousseeuw's reweighting), and ``reweighted`` the
    OLSResults of the rows of weight 1 (None when too few are left: ``reweighted_problem`` says
    why). Rows are labelled as in OLSResults (the DataFrame's index, else 0-based positions).
    """

    def __init__(self, values, index=None):
        self._values = values
        self._index = index
        self.names = list(values["names"])
        self.warnings = list(values["warnings"])
        self.lms = values["lms"]
        self.scale = values["scale"]
        self.rsquared = values["rsquared"]
        self.nobs = len(values["used_rows"])
        self.dropped_rows = values["dropped_rows"]
        self.outliers = row_labels(values["outlier_rows"], index)
        self.highly_probable_outliers = row_labels(values["highly_probable_rows"], index)
        self.possible_outliers = row_labels(values["possible_rows"], index)
        self.reweighted_problem = values["reweighted_problem"] or None
        reweighted = values["reweighted"]
        self.reweighted = OLSResults(reweighted, index) if reweighted is not None else None

    @property
    def params(self):
        return per_parameter(self._values["params"], self.names, self._index, "params")

    def _per_row(self, key):
        return per_row(self._values[key], self._values["used_rows"], self._index, key)

    @property
    def resid(self):
        return self._per_row("resid")

    @property
    def fittedvalues(self):
        return self._per_row("fittedvalues")

    @property
    def sresid(self):
        return self._per_row("sresid")

    @property
    def weights(self):
        """1 for the rows the reweighted least squares keep, 0 for the outliers."""
        outliers = set(self._values["outlier_rows"])
        used = self._values["used_rows"]
        weights = np.array([0.0 if row in outliers else 1.0 for row in used])
        return per_row(weights, used, self._index, "weights")

    def __repr__(self):
        return f"<kelmath.LMSResults: {len(self.names)} parameters, {self.nobs} rows, " \
               f"{len(self.outliers)} outliers>"


def lms(X, y=None, intercept=True, names=None, *, response=None, columns=None):
    """The least-median-of-squares fit of y on the columns of X, as ``kelmath robust`` makes it.

    The arguments are those of ``kelmath.ols`` (arrays, or a DataFrame with response= and
    columns=); rows with a missing value are dropped. Returns an LMSResults.
    """
    return LMSResults(*run_analysis("lms", _kelmath._fit_lms, X, y, intercept, names, response,
                                    columns))
