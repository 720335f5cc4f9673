// Stepwise selection of the columns of F as a function of its inputs: the best model of every
// size 1..n that six stepwise runs over the correlation matrix find. Internal to the linear
// regression (not in kelmath.h).
#ifndef KELMATH_KEL_STEPWISE_SELECTION_H
#define KELMATH_KEL_STEPWISE_SELECTION_H

#include <limits>

#include "containers/kel_matrix.h"
#include "containers/kel_vector.h"
#include "linear_regression/kel_linear_regression_results.h"

// The mean square error of a size no run reached: the largest single-precision number.
inline constexpr double kStepwiseNoModel = static_cast<double>(std::numeric_limits<float>::max());

// The tables of the best models of F (m x n) and y: row k of the parameters and t ratios belongs
// to the best model with k parameters (0 for the columns not in it), entry k of the errors is its
// mean square error (kStepwiseNoModel where none was found); with an intercept (a first column of
// ones) the column means and the mean of y as well. The result takes over the containers of
// numbered, as the least-squares fit does (docs/developers.md, intended behaviour 2). A candidate
// column without spread ends the search after the library's message about it, with the tables
// empty.
KelLinearStepwiseTables KelComputeStepwise(const KelMatrix& F, const KelVector& y, bool intercept,
                                           KelLinearStepwiseTables&& numbered);

#endif
