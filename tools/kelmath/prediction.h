// Predictions of a fitted linear model for new rows, as R's predict(lm, newdata, interval =,
// level =): the fitted value with a confidence interval (of the mean response) or a prediction
// interval (of a new observation).
#ifndef KELMATH_TOOLS_KELMATH_PREDICTION_H
#define KELMATH_TOOLS_KELMATH_PREDICTION_H

#include <string>
#include <vector>

#include "regression_data.h"

namespace kelmath_cli {

enum class IntervalKind { kNone, kConfidence, kPrediction };

struct PredictedRow {
  double fit = 0.0;
  double lower = 0.0;  // NaN without an interval
  double upper = 0.0;
};

struct Predictions {
  std::vector<PredictedRow> rows;  // one per new row; NaN throughout for an incomplete row
  bool rankDeficient = false;      // columns were dropped from the fit, as R's predict warns
  // A weighted fit predicting new observations without their weights: each taken as 1, as R's
  // predict assumes (and warns).
  bool unitPredictionWeights = false;
  std::string problem;  // a fit or a prediction beyond the range of double precision
  bool Ok() const { return problem.empty(); }
};

// Fits the data (weighted when they have weights) and predicts every complete new row. A
// prediction interval adds the residual variance over the row's weight (newWeights, one per new
// row, NaN where missing; empty: weight 1); t quantiles on the residual degrees of freedom.
Predictions Predict(const RegressionData& data, const NewRows& rows,
                    const std::vector<double>& newWeights, IntervalKind interval, double level);

}  // namespace kelmath_cli

#endif
