// Median kernels on scratch arrays, shared by the descriptive and robust statistics. They
// reorder their argument; they know nothing of KelVector.
#ifndef KELMATH_KEL_MEDIAN_H
#define KELMATH_KEL_MEDIAN_H

#include <vector>

namespace kel_median {

// Exact median of the values (NaN when empty); the order of the values is lost.
double MedianInPlace(std::vector<double>& values);
// Exact median up to 30000 values, the median of triple medians above; the values are lost.
double FastMedianInPlace(std::vector<double>& values);

}  // namespace kel_median

#endif
