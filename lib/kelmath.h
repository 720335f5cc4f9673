// KelMath: the one header a program includes. Installed, it lives with every other header of
// the library in include/kelmath/.
#ifndef KELMATH_KELMATH_H
#define KELMATH_KELMATH_H

#include "kelmath_version.h"

#include "kel_array_kernels.h"
#include "kel_base.h"
#include "kel_constants.h"
#include "kel_errors.h"
#include "kel_output.h"

#include "kel_matrix.h"
#include "kel_matrix_left.h"
#include "kel_matrix_packed.h"
#include "kel_matrix_sparse.h"
#include "kel_matrix_symmetric.h"
#include "kel_save.h"
#include "kel_vector.h"
#include "kel_vector_int.h"

#include "kel_minimization_robust.h"
#include "kel_nonlinear_regression.h"

#include "kel_descriptive_statistics.h"
#include "kel_distributions.h"
#include "kel_robust_statistics.h"
#include "kel_special_functions.h"

#include "kel_factorized.h"
#include "kel_factorized_gauss.h"
#include "kel_factorized_householder.h"
#include "kel_factorized_svd.h"
#include "kel_factorized_symmetric.h"
#include "kel_householder.h"
#include "kel_solve_square.h"
#include "kel_svd.h"

#include "kel_linear_regression.h"
#include "kel_load.h"

#endif
