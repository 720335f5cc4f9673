// KelMath: the one header a program includes. Installed, it lives in include/kelmath/ above the
// folders of the other public headers; they are listed here lowest layer first.
#ifndef KELMATH_KELMATH_H
#define KELMATH_KELMATH_H

// clang-format off
#include "kelmath_version.h"

#include "foundation/kel_array_kernels.h"
#include "foundation/kel_base.h"
#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_exception.h"
#include "foundation/kel_output.h"

#include "containers/kel_matrix.h"
#include "containers/kel_matrix_left.h"
#include "containers/kel_matrix_packed.h"
#include "containers/kel_matrix_sparse.h"
#include "containers/kel_matrix_symmetric.h"
#include "containers/kel_save.h"
#include "containers/kel_vector.h"
#include "containers/kel_vector_int.h"

#include "factorizations/kel_factorized.h"
#include "factorizations/kel_factorized_gauss.h"
#include "factorizations/kel_factorized_householder.h"
#include "factorizations/kel_factorized_svd.h"
#include "factorizations/kel_factorized_symmetric.h"
#include "factorizations/kel_householder.h"
#include "factorizations/kel_solve_square.h"
#include "factorizations/kel_streaming_qr.h"
#include "factorizations/kel_svd.h"

#include "statistics/kel_descriptive_statistics.h"
#include "statistics/kel_distributions.h"
#include "statistics/kel_robust_statistics.h"
#include "statistics/kel_special_functions.h"

#include "minimization/kel_minimization_robust.h"

#include "linear_regression/kel_coefficient_inference.h"
#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_linear_regression.h"
#include "linear_regression/kel_load.h"
#include "linear_regression/kel_sandwich_covariance.h"
#include "linear_regression/kel_scaled_least_squares.h"
#include "linear_regression/kel_streaming_diagnostics.h"
#include "linear_regression/kel_streaming_least_squares.h"

#include "nonlinear/kel_nonlinear_regression.h"
// clang-format on

#endif
