"""Row and parameter labels of results: the compiled core numbers the data rows from 1; results
show them as the DataFrame's index labels, or as 0-based positions for arrays."""
import numpy as np


def row_labels(rows, index):
    """The labels of data rows numbered from 1, as a list."""
    positions = np.asarray(rows, dtype=np.int64) - 1
    if index is None:
        return positions.tolist()
    return list(index[positions])


def per_row(values, rows, index, name):
    """A Series indexed by the rows' labels with a DataFrame, else the NumPy array."""
    values = np.asarray(values)
    if index is None:
        return values
    import pandas
    return pandas.Series(values, index=index[np.asarray(rows, dtype=np.int64) - 1], name=name)


def per_parameter(values, names, index, name):
    """A Series indexed by the parameter names with a DataFrame, else the NumPy array."""
    values = np.asarray(values)
    if index is None:
        return values
    import pandas
    return pandas.Series(values, index=list(names), name=name)
