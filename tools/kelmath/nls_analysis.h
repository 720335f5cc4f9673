// The analysis of kelmath nls: the library's nonlinear regression of the rival models, each fit
// with its estimates, standard errors, t and P values and how its estimation ended; the
// comparison of the models; and, over a box of the independent variables, the experiment
// search: each model's suggested experiments, the discrimination among the models and the
// balanced suggestion. Plain values, printed by nls_report.h.
#ifndef KELMATH_TOOLS_KELMATH_NLS_ANALYSIS_H
#define KELMATH_TOOLS_KELMATH_NLS_ANALYSIS_H

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nls_data.h"
#include "nls_model.h"
#include "nonlinear/kel_nonlinear_regression.h"

namespace kelmath_cli {

struct NlsParameterRow {
  std::string name;
  double estimate = 0.0;
  double stdError = 0.0;
  double tValue = 0.0;
  double pValue = 0.0;
};

struct NlsFit {
  std::string formula;  // deparsed, as R prints it
  std::vector<NlsParameterRow> parameters;
  // The sum of the squared weighted residuals at the estimates (R's deviance with weights the
  // inverse variances when they are known: then in units of them).
  double rss = 0.0;
  double initialRss = 0.0;  // the same at the start
  double sigma = 0.0;       // residual standard error, sqrt(rss / residualDof)
  int residualDof = 0;
  KelEstimationStop stopReason = KelEstimationStop::kNotEstimated;
  int evaluations = 0;
  int iterations = 0;
  bool Converged() const { return KelConverged(stopReason); }
};

// The library's comparison of the rival models (two or more): its value (the mean square error
// with one known variance, else the weighted sum of squares), the ratio to the best, the test
// statistic (F tables only), the P value and the pseudo P value of the ratio.
struct NlsComparisonRow {
  double value = 0.0;
  double ratio = 0.0;
  double statistic = 0.0;
  double probability = 0.0;
  double pseudoProbability = 0.0;
  bool rejected = false;  // P value below kel_nonlinear_thresholds::kModelRejected
};
struct NlsComparison {
  KelComparisonTable table = KelComparisonTable::kChiSquare;
  // Whether the P values test the fit: the chi-square table takes the weighted residuals as
  // having unit variance, which holds only with known variances; with unit or R's relative
  // weights its P values would be numbers without meaning, and only the ratios are kept.
  bool tested = true;
  std::vector<NlsComparisonRow> rows;  // one per model, in order
};

// The box of the search: one range per independent variable (NlsModels::columns).
struct NlsDesignBox {
  std::vector<double> low;
  std::vector<double> high;
};

// One experiment the search suggests, as its independent variables; empty for none.
using NlsExperiment = std::vector<double>;

struct NlsModelSuggestions {
  int criterion = 0;  // the library's effective criterion, 1..7, or 0 for none
  NlsExperiment byCriterion;
  NlsExperiment xDistance;
  NlsExperiment fDistance;
  NlsExperiment xDistancePrincipal;
  NlsExperiment fDistancePrincipal;
};
struct NlsCouple {
  int first = 0;
  int second = 0;
  double tij = 0.0;
  NlsExperiment where;
};
struct NlsDesign {
  NlsDesignBox box;
  int candidates = 0;
  std::vector<NlsModelSuggestions> models;
  // With two models or more: the largest Tij of each couple, the experiment that discriminates
  // best (empty when none does) with its mean Tij, and the balanced suggestion.
  std::vector<NlsCouple> couples;
  NlsExperiment discrimination;
  double discriminationMeanTij = 0.0;
  NlsExperiment balanced;
};

struct NlsAnalysis {
  std::vector<std::string> columns;  // the independent variables
  std::string response;              // the common left side, deparsed
  size_t dataRows = 0;
  size_t rowsUsed = 0;
  std::vector<int> droppedRows;
  NlsWeighting weighting = NlsWeighting::kNone;
  std::string weightingColumn;
  double variance = 0.0;
  int varianceDegreesOfFreedom = 0;
  bool errorsInVariables = false;
  std::vector<NlsFit> fits;
  std::optional<NlsComparison> comparison;
  std::optional<NlsDesign> design;
};

// The library's regression of the models on the data, with its weights or variances and every
// model's start; the models must outlive it (its model function reads them).
std::unique_ptr<KelNonLinearRegression> MakeNlsRegression(const NlsModels& models,
                                                          const NlsData& data);

// The problem of a model that is not finite at its start on some used row, in one line; empty
// when every model is.
std::string CheckNlsStarts(const NlsModels& models, const NlsData& data);

// Fits every model (the regression estimates them), and searches the box when one is given;
// step, when given, is told each step as it begins ("fitting model 2 of 3 to 14 rows").
NlsAnalysis ComputeNlsAnalysis(const NlsModels& models, const NlsData& data,
                               const std::optional<NlsDesignBox>& box,
                               KelNonLinearRegression& regression,
                               const std::function<void(std::string)>& step = {});

}  // namespace kelmath_cli

#endif
