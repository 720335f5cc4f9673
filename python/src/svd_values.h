// The singular value analysis for Python: the library's decomposition of F and its candidate
// solutions with the 1..n largest singular values, read from the accessors of the regression the
// command fills, with the library's report. Runs without the GIL.
#ifndef KELMATH_PYTHON_SVD_VALUES_H
#define KELMATH_PYTHON_SVD_VALUES_H

#include <string>
#include <vector>

#include "ols_fit.h"

namespace kelmath_python {

struct SvdOutcome {
  std::vector<std::string> names;  // of the parameters (the columns of F)
  std::vector<int> usedRows;
  std::vector<int> droppedRows;
  std::vector<double> singularValues;  // decreasing
  // n x n, row after row: column k of the right vectors belongs to singular value k; row k of
  // the candidates is the solution with the k largest singular values.
  std::vector<double> rightVectors;
  std::vector<double> candidateParameters;
  std::vector<double> candidateStandardErrors;
  std::vector<double> candidateParameterNorms;
  std::vector<double> candidateResidualNorms;
  int smallSingularValues = 0;       // below d(1) sqrt(single-precision epsilon)
  int negligibleSingularValues = 0;  // left out of the principal components
  bool multicollinear = false;       // the principal components verdict
  std::string report;                // header and the library's singular value report
  std::vector<std::string> warnings;
};

// Throws BindingError for every problem, as FitOls.
SvdOutcome AnalyseSingularValues(const OlsRequest& request);

}  // namespace kelmath_python

#endif
