"""kelmath.svd_analysis: the library's singular value analysis of a linear model."""
import numpy as np

from . import _kelmath
from ._ols import run_analysis


class SVDResults:
    """The singular value decomposition F = U D V' of the model's columns (the intercept's
    included) and the candidate solutions that use only the k largest singular values.

    ``singular_values`` decrease; column k of ``right_vectors`` belongs to singular value k (one
    row per parameter). Row k - 1 of ``candidate_params`` and ``candidate_bse`` is the candidate
    with k singular values (the last one is the least-squares fit), ``params_norm`` and
    ``resid_norm`` their norms and those of their residuals. ``small_singular_values`` counts the
    values below d(1) sqrt(2^-23) (the report's warning: a candidate using one should be
    discarded), ``negligible_singular_values`` those the principal components leave out, and
    ``multicollinear`` is the principal components verdict. ``report()`` is the library's text.
    With a DataFrame the tables are pandas DataFrames (candidates indexed by k).
    """

    def __init__(self, values, index=None):
        self._values = values
        self._frame_given = index is not None
        self.names = list(values["names"])
        self.warnings = list(values["warnings"])
        self.singular_values = np.asarray(values["singular_values"])
        self.params_norm = np.asarray(values["params_norm"])
        self.resid_norm = np.asarray(values["resid_norm"])
        self.small_singular_values = values["small_singular_values"]
        self.negligible_singular_values = values["negligible_singular_values"]
        self.multicollinear = values["multicollinear"]
        self.nobs = len(values["used_rows"])
        self.dropped_rows = values["dropped_rows"]

    def _table(self, key, columns_are_components):
        values = np.asarray(self._values[key])
        if not self._frame_given:
            return values
        import pandas
        sizes = pandas.Index(range(1, len(self.names) + 1),
                             name="component" if columns_are_components else "singular_values")
        if columns_are_components:
            return pandas.DataFrame(values, index=self.names, columns=sizes)
        return pandas.DataFrame(values, index=sizes, columns=self.names)

    @property
    def right_vectors(self):
        return self._table("right_vectors", True)

    @property
    def candidate_params(self):
        return self._table("candidate_params", False)

    @property
    def candidate_bse(self):
        return self._table("candidate_bse", False)

    def report(self):
        """The library's singular value report, under the header of the command's report file."""
        return self._values["report"]

    summary = report

    def __repr__(self):
        return f"<kelmath.SVDResults: {len(self.names)} singular values, " \
               f"multicollinear {self.multicollinear}>"


def svd_analysis(X, y=None, intercept=True, names=None, *, response=None, columns=None):
    """The library's singular value analysis of y on the columns of X (arguments as for
    ``kelmath.ols``; rows with a missing value dropped). Returns an SVDResults."""
    return SVDResults(*run_analysis("svd_analysis", _kelmath._svd_analysis, X, y, intercept,
                                    names, response, columns))
