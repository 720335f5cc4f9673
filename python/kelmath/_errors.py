"""The exceptions of kelmath: one class per kind of problem, all under KelMathError.

The compiled core raises them by the library's category names (``error_class``); their text is
the library's own.
"""


class KelMathError(Exception):
    """Every error kelmath raises: a violated precondition of the library or a bad argument."""


class InputError(KelMathError, ValueError):
    """An argument kelmath refuses before computing: an unknown column or cov_type, no rows."""


class DimensionError(KelMathError, ValueError):
    """Operands of incompatible sizes, or too few rows for the model."""


class OutOfRangeError(KelMathError, IndexError):
    """An element, row or column index outside its range."""


class SingularError(KelMathError, ValueError):
    """A singular or degenerate problem: a zero pivot, no variation in the data."""


class NotFactorizedError(KelMathError, RuntimeError):
    """A factorization used after its matrix was destroyed."""


class KelFileError(KelMathError, OSError):
    """A file that could not be opened, read, written or closed."""


class NonFiniteDataError(KelMathError, ValueError):
    """A NaN or infinite value in the data, or a result beyond the range of doubles."""


class KelMemoryError(KelMathError, MemoryError):
    """An allocation that failed."""


class KelNotImplementedError(KelMathError, NotImplementedError):
    """An operation the library declares but does not provide."""


class DomainError(KelMathError, ValueError):
    """An argument outside a function's domain."""


# The library's category names (KelErrorCategoryName) and the bindings' "input".
_CLASSES = {
    "input": InputError,
    "dimension": DimensionError,
    "index": OutOfRangeError,
    "singular": SingularError,
    "not factorized": NotFactorizedError,
    "file open": KelFileError,
    "file read": KelFileError,
    "file write": KelFileError,
    "file close": KelFileError,
    "non-finite data": NonFiniteDataError,
    "out of memory": KelMemoryError,
    "not implemented": KelNotImplementedError,
    "domain": DomainError,
}


def error_class(category):
    """The class of a category name; KelMathError itself for any other ("other")."""
    return _CLASSES.get(category, KelMathError)


class MissingDependencyError(KelMathError, ImportError):
    """An optional module a function needs is not installed (matplotlib for plot_diagnostics)."""
