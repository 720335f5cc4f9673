"""KelMath for Python: least squares that do not depend on the units of the data.

    >>> import kelmath
    >>> fit = kelmath.ols(df, response="mpg", columns=["wt", "hp"], cov_type="HC3")
    >>> fit.params, fit.bse, fit.summary()

The numbers are those of the ``kelmath`` command (its summary is ``summary()``); the results
carry statsmodels' names. Every problem raises a subclass of ``KelMathError``.
"""
from ._errors import (DimensionError, DomainError, InputError, KelFileError, KelMathError,
                      KelMemoryError, KelNotImplementedError, NonFiniteDataError,
                      NotFactorizedError, OutOfRangeError, SingularError)
from ._errors import MissingDependencyError
from ._ols import ols
from ._nls import nls
from ._nls_results import ConvergenceWarning, NLSResults, NLSRivals
from ._results import Influence, OLSResults
from ._lms import LMSResults, lms
from ._stepwise import StepwiseResults, stepwise
from ._svd import SVDResults, svd_analysis
from ._verdicts import Verdicts

__all__ = [
    "ols", "OLSResults", "Influence", "KelMathError", "InputError", "DimensionError",
    "OutOfRangeError", "SingularError", "NotFactorizedError", "KelFileError",
    "NonFiniteDataError", "KelMemoryError", "KelNotImplementedError", "DomainError",
    "lms", "LMSResults", "stepwise", "StepwiseResults", "svd_analysis", "SVDResults", "Verdicts",
    "nls", "NLSResults", "NLSRivals", "ConvergenceWarning",
]
__all__ += ["MissingDependencyError"]
