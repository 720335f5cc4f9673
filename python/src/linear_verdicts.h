// The decisions of the library's linear reports and of the command's summary as plain values,
// read from what they computed (the diagnostics, the singular value analysis, the robust fit
// and the command's result), never judged again here. Runs without the GIL.
#ifndef KELMATH_PYTHON_LINEAR_VERDICTS_H
#define KELMATH_PYTHON_LINEAR_VERDICTS_H

#include <string>
#include <vector>

#include "ols_fit.h"

namespace kelmath_python {

struct LinearVerdicts {
  // The least-squares report: "none", "ill_conditioned" or "must_be_normalized" (the last
  // verdict that applies), with the flags and numbers behind it.
  std::string conditioning;
  bool illConditioned = false;
  bool badlyScaled = false;
  bool solutionsDisagree = false;
  double conditionNumber = 0.0;
  double systemConditioning = 0.0;
  // Multicollinearity by the correlation, variance inflation, tolerance and column tests, and
  // by the principal components of the singular value analysis.
  bool multicollinearity = false;
  bool principalComponents = false;
  // "consistent", "probably_violated" or "violated", and the index behind it.
  std::string normality;
  double normalityIndex = 0.0;
  // Leave one out: the data row of the highly probable or probable outlier, 0 for none.
  int highlyProbableOutlier = 0;
  int probableOutlier = 0;
  // The robust report's outliers (data rows) and homoscedasticity verdict ("verified",
  // "possibly_violated", "probably_violated", "violated").
  std::vector<int> robustOutliers;
  std::string homoscedasticity;
  // The command's rules of thumb: data rows flagged by Cook's distance, the studentized residual
  // or the leverage.
  std::vector<int> influentialRows;
};

// Throws BindingError for every problem, as FitOls.
LinearVerdicts ComputeLinearVerdicts(const OlsRequest& request);

}  // namespace kelmath_python

#endif
