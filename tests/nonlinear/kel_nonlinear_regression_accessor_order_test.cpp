// Every public read accessor of KelNonLinearRegression returns what was computed, whatever
// reports and analyses ran before it and in whatever order: the least-squares results are the
// same before and after each analysis, the robust results and the search results are unset until
// their analysis runs and then stay as it left them.
//
// Two accessors are left out on purpose: IsEstimated and EstimationCount count the runs of the
// estimation rather than give its results, and the robust analysis documentedly makes the next
// least-squares use estimate the model afresh (NonLinearReports.RobustReportWithOutliers).
#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

using kel_test::CaptureOutput;

namespace {

// Model 1: y = b1 x / (b2 + x). Model 2: y = b1 (1 - exp(-b2 x)). Model 3: y = b1 x, left
// without starting parameters, so that its accessors give their neutral values throughout.
void Rivals(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  if (model == 1) y(1) = b(1) * x(1) / (b(2) + x(1));
  if (model == 2) y(1) = b(1) * (1.0 - std::exp(-b(2) * x(1)));
  if (model == 3) y(1) = b(1) * x(1);
}

// Eight points near y = 2 x / (1.5 + x), experiment 5 with a gross error, so that the robust
// analysis has an outlier to report.
KelMatrix Abscissas() {
  return KelMatrix(8, 1, 0.5, 1., 2., 3., 4., 5., 7., 9.);
}
KelMatrix Responses() {
  KelMatrix Y(8, 1);
  const double noise[8] = {0.01, -0.015, 0.02, -0.01, 0.5, 0.012, -0.018, 0.01};
  const KelMatrix X = Abscissas();
  for (int i = 1; i <= 8; ++i) Y(i, 1) = 2.0 * X(i, 1) / (1.5 + X(i, 1)) + noise[i - 1];
  return Y;
}

// Where an accessor's value comes from: the object's data, the lazy least-squares fit (with its
// diagnostics and the comparison), the robust analysis or the experiment search.
enum class Part { kData, kFit, kRobust, kSearch };

// Every accessor's value as numbers, by name.
class Snapshot {
 public:
  void Add(Part part, const std::string& name, double value) {
    values[name] = {value};
    parts[name] = part;
  }
  void Add(Part part, const std::string& name, const KelVector& v) {
    std::vector<double>& out = Start(part, name, v.Size());
    for (int i = 1; i <= v.Size(); ++i) out.push_back(v(i));
  }
  void Add(Part part, const std::string& name, const KelMatrix& A) {
    std::vector<double>& out = Start(part, name, A.Rows());
    out.push_back(A.Columns());
    for (int i = 1; i <= A.Rows(); ++i)
      for (int j = 1; j <= A.Columns(); ++j) out.push_back(A(i, j));
  }
  void Add(Part part, const std::string& name, const KelMatrixSymmetric& A) {
    std::vector<double>& out = Start(part, name, A.Rows());
    for (int i = 1; i <= A.Rows(); ++i)
      for (int j = 1; j <= i; ++j) out.push_back(A(i, j));
  }
  void Add(Part part, const std::string& name, const std::vector<int>& v) {
    std::vector<double>& out = Start(part, name, static_cast<double>(v.size()));
    for (int k : v) out.push_back(k);
  }
  void Add(Part part, const std::string& name, const std::vector<KelOutlier>& v) {
    std::vector<double>& out = Start(part, name, static_cast<double>(v.size()));
    for (const KelOutlier& o : v)
      out.insert(out.end(), {1.0 * o.experiment, 1.0 * o.response, o.size});
  }

  std::map<std::string, std::vector<double>> values;
  std::map<std::string, Part> parts;

 private:
  std::vector<double>& Start(Part part, const std::string& name, double size) {
    parts[name] = part;
    values[name] = {size};
    return values[name];
  }
};

// "(a)" or "(a,b)": the arguments in an accessor's name.
std::string Arguments(std::initializer_list<int> values) {
  std::string text(1, '(');
  for (int v : values) {
    if (text.size() > 1) text.push_back(',');
    text.append(std::to_string(v));
  }
  text.push_back(')');
  return text;
}

void AddData(KelNonLinearRegression& r, Snapshot& s) {
  const Part f = Part::kData;
  s.Add(f, "NumberOfModels", r.NumberOfModels());
  s.Add(f, "NumberOfExperiments", r.NumberOfExperiments());
  s.Add(f, "NumberOfX", r.NumberOfX());
  s.Add(f, "NumberOfY", r.NumberOfY());
  s.Add(f, "NumberOfMeasurements", r.NumberOfMeasurements());
  s.Add(f, "VarianceKind", r.VarianceKind());
  s.Add(f, "WeightingKind", r.WeightingKind());
  s.Add(f, "TotalSumOfSquares", r.TotalSumOfSquares());
  s.Add(f, "MeanWeight", r.MeanWeight());
  s.Add(f, "Weights", r.Weights());
  s.Add(f, "IndependentVariables", r.IndependentVariables());
  s.Add(f, "MeasuredIndependentVariables", r.MeasuredIndependentVariables());
  s.Add(f, "EstimatedIndependentVariables", r.EstimatedIndependentVariables());
  s.Add(f, "IndependentVariableResiduals", r.IndependentVariableResiduals());
  s.Add(f, "StandardizedIndependentVariableResiduals",
        r.StandardizedIndependentVariableResiduals());
  s.Add(f, "NumberOfUncertainX", r.NumberOfUncertainX());
  s.Add(f, "XStepCount", r.XStepCount());
  s.Add(f, "XStepInitialValue", r.XStepInitialValue());
  s.Add(f, "XStepFinalValue", r.XStepFinalValue());
  s.Add(f, "GetSerialNumber", r.GetSerialNumber());
  s.Add(f, "RequestedCriterion", r.RequestedCriterion());
  s.Add(f, "Options.stepTolerance", r.Options().stepTolerance);
}

void AddFit(KelNonLinearRegression& r, int model, Snapshot& s) {
  const Part f = Part::kFit;
  const std::string m = Arguments({model});
  s.Add(f, "HasInitialParameters" + m, r.HasInitialParameters(model));
  s.Add(f, "NumberOfParameters" + m, r.NumberOfParameters(model));
  s.Add(f, "GetParameters" + m, r.GetParameters(model));
  s.Add(f, "InitialSSE" + m, r.InitialSSE(model));
  s.Add(f, "FinalSSE" + m, r.FinalSSE(model));
  s.Add(f, "StopReason" + m, static_cast<int>(r.StopReason(model)));
  s.Add(f, "Converged" + m, r.Converged(model));
  s.Add(f, "ModelEvaluations" + m, r.ModelEvaluations(model));
  s.Add(f, "Iterations" + m, r.Iterations(model));
  s.Add(f, "Predictions" + m, r.Predictions(model));
  s.Add(f, "Residuals" + m, r.Residuals(model));
  s.Add(f, "WeightedResiduals" + m, r.WeightedResiduals(model));
  s.Add(f, "PredictionStandardErrors" + m, r.PredictionStandardErrors(model));
  s.Add(f, "Jacobian" + m, r.Jacobian(model));
  s.Add(f, "SingularValues" + m, r.SingularValues(model));
  s.Add(f, "RightSingularVectors" + m, r.RightSingularVectors(model));
  s.Add(f, "RankDeficiency" + m, r.RankDeficiency(model));
  s.Add(f, "StandardErrors" + m, r.StandardErrors(model));
  s.Add(f, "Covariance" + m, r.Covariance(model));
  s.Add(f, "ConditionNumber" + m, r.ConditionNumber(model));
  s.Add(f, "ParametersNorm" + m, r.ParametersNorm(model));
  s.Add(f, "ResidualsNorm" + m, r.ResidualsNorm(model));
  s.Add(f, "SumOfSquares" + m, r.SumOfSquares(model));
  s.Add(f, "StandardDeviation" + m, r.StandardDeviation(model));
  s.Add(f, "MeanSquareError" + m, r.MeanSquareError(model));
  s.Add(f, "R2" + m, r.R2(model));
  s.Add(f, "DegreesOfFreedom" + m, r.DegreesOfFreedom(model));
  s.Add(f, "T95" + m, r.T95(model));
  s.Add(f, "T99" + m, r.T99(model));
  s.Add(f, "NewtonStep" + m, r.NewtonStep(model));
  s.Add(f, "ParameterCorrelation" + m, r.ParameterCorrelation(model));
  s.Add(f, "VarianceInflationFactors" + m, r.VarianceInflationFactors(model));
  s.Add(f, "Tolerances" + m, r.Tolerances(model));
  s.Add(f, "CorrelationFlag" + m, r.CorrelationFlag(model));
  s.Add(f, "Multicollinearity" + m, r.Multicollinearity(model));
  s.Add(f, "FExperimental" + m, r.FExperimental(model));
  s.Add(f, "FTestProbability" + m, r.FTestProbability(model));
  s.Add(f, "ComparisonValue" + m, r.ComparisonValue(model));
  s.Add(f, "ComparisonRatio" + m, r.ComparisonRatio(model));
  s.Add(f, "ComparisonProbability" + m, r.ComparisonProbability(model));
  s.Add(f, "ComparisonPseudoProbability" + m, r.ComparisonPseudoProbability(model));
  const KelModelComparisonRow& row = r.Comparison().rows[static_cast<size_t>(model - 1)];
  s.Add(f, "Comparison().rows" + m,
        KelVector(7, 1.0 * row.compared, row.value, row.ratio, row.statistic, row.probability,
                  row.pseudoProbability, row.probabilityOneMoreDegree));
}

void AddRobust(const KelNonLinearRegression& r, int model, Snapshot& s) {
  const Part p = Part::kRobust;
  const std::string m = Arguments({model});
  s.Add(p, "InitialLMS" + m, r.RobustFit(model).initialLms);
  s.Add(p, "FinalLMS" + m, r.RobustFit(model).finalLms);
  s.Add(p, "LMSParameters" + m, r.RobustFit(model).lmsParameters);
  s.Add(p, "LMSPredictions" + m, r.RobustFit(model).lmsPredictions);
  s.Add(p, "LMSWeightedResiduals" + m, r.RobustFit(model).lmsWeightedResiduals);
  s.Add(p, "HighlyProbableOutliers" + m, r.RobustFit(model).highlyProbable);
  s.Add(p, "PossibleOutliers" + m, r.RobustFit(model).possible);
}

void AddSearch(const KelNonLinearRegression& r, int model, Snapshot& s) {
  const Part p = Part::kSearch;
  const std::string m = Arguments({model});
  s.Add(p, "FDistances" + m, r.FDistances(model));
  s.Add(p, "FDistancesPrincipal" + m, r.FDistancesPrincipal(model));
  s.Add(p, "CandidatePredictions" + m, r.CandidatePredictions(model));
  s.Add(p, "EffectiveCriterion" + m, r.EffectiveCriterion(model));
  for (int kind = 0; kind <= 4; ++kind)
    s.Add(p, "SuggestedCandidate" + Arguments({model, kind}), r.SuggestedCandidate(model, kind));
  for (int b = 1; b <= r.NumberOfModels(); ++b) {
    const std::string ab = Arguments({model, b});
    s.Add(p, "BestTij" + ab, r.BestTij(model, b));
    s.Add(p, "BestTijCandidate" + ab, r.BestTijCandidate(model, b));
  }
}

void AddSearchTotals(const KelNonLinearRegression& r, Snapshot& s) {
  const Part p = Part::kSearch;
  s.Add(p, "CandidateExperiments", r.CandidateExperiments());
  s.Add(p, "CandidatesPerAxis", r.CandidatesPerAxis());
  s.Add(p, "XDistances", r.XDistances());
  s.Add(p, "XDistancesPrincipal", r.XDistancesPrincipal());
  s.Add(p, "TijSums", r.Discrimination().tijSum);
  s.Add(p, "TijCounts", r.Discrimination().tijCount);
  s.Add(p, "NumberOfCouples", r.Discrimination().numberOfCouples);
  s.Add(p, "DiscriminationCandidate", r.Discrimination().candidate);
  s.Add(p, "BalancedCandidate", r.Balanced().candidate);
  s.Add(p, "BalancedScores", r.Balanced().score);
}

// Reads every accessor, the lazy ones estimating the models as they need.
Snapshot ReadAll(KelNonLinearRegression& r) {
  Snapshot s;
  AddData(r, s);
  for (int model = 1; model <= r.NumberOfModels(); ++model) {
    AddFit(r, model, s);
    AddRobust(r, model, s);
    AddSearch(r, model, s);
  }
  AddSearchTotals(r, s);
  return s;
}

// The same bits (NaN equal to NaN).
bool SameValues(const std::vector<double>& a, const std::vector<double>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i])))) return false;
  return true;
}

enum Analysis { kLeastSquares, kRobust, kSearch, kLeastSquaresAndSearch };
const char* const analysisNames[] = {"LeastSquaresAnalysis", "RobustAnalysis", "SearchExperiments",
                                     "LeastSquaresAnalysisAndExperimentsSearch"};

void RunAnalysis(KelNonLinearRegression& r, Analysis analysis) {
  const KelVector xMin(1, 0.2), xMax(1, 12.);
  CaptureOutput([&] {
    switch (analysis) {
      case kLeastSquares:
        r.LeastSquaresAnalysis();
        break;
      case kRobust:
        r.RobustAnalysis();
        break;
      case kSearch:
        r.SearchExperiments(xMin, xMax);
        break;
      case kLeastSquaresAndSearch:
        r.LeastSquaresAnalysisAndExperimentsSearch(xMin, xMax);
        break;
    }
  });
}

class NonLinearAccessorOrder : public kel_test::QuietWarnings {
 protected:
  static void Prepare(KelNonLinearRegression& r) {
    r.SetVariances(5, KelVector(1, 4e-4));
    r.SetInitialParameters(1, KelVector(2, 1.5, 1.));
    r.SetInitialParameters(2, KelVector(2, 2., 0.5));
  }
};

// Every order of the four analyses, each after a first reading of every accessor: after each
// analysis every result accessor gives the value of a reference object that ran all four, or,
// for the robust and search results while their analysis has not run yet, the unset value it
// gave before any analysis; the data accessors (the serial number among them) give what they
// gave before any analysis.
TEST_F(NonLinearAccessorOrder, EveryAccessorIsTheSameWhicheverAnalysesRanBefore) {
  Snapshot reference;
  {
    KelNonLinearRegression r(3, Abscissas(), Responses(), Rivals);
    Prepare(r);
    for (Analysis a : {kLeastSquares, kRobust, kSearch, kLeastSquaresAndSearch}) RunAnalysis(r, a);
    reference = ReadAll(r);
  }
  // The set-up reaches what it is meant to: two fits compared, outliers, suggestions.
  ASSERT_EQ(reference.values["NumberOfCouples"], std::vector<double>{1.0});
  ASSERT_GT(reference.values["HighlyProbableOutliers(1)"][0], 0.0);
  ASSERT_GT(reference.values["BalancedCandidate"][0], 0.0);
  ASSERT_EQ(reference.values["Converged(1)"], std::vector<double>{1.0});
  ASSERT_EQ(reference.values["Converged(2)"], std::vector<double>{1.0});

  std::array<Analysis, 4> order = {kLeastSquares, kRobust, kSearch, kLeastSquaresAndSearch};
  do {
    KelNonLinearRegression r(3, Abscissas(), Responses(), Rivals);
    Prepare(r);
    const Snapshot unset = ReadAll(r);
    std::string ran;
    bool robustRan = false, searchRan = false;
    for (Analysis a : order) {
      RunAnalysis(r, a);
      ran += std::string(" ") + analysisNames[a];
      robustRan = robustRan || a == kRobust;
      searchRan = searchRan || a == kSearch || a == kLeastSquaresAndSearch;
      const Snapshot now = ReadAll(r);
      for (const auto& [name, value] : now.values) {
        const Part part = now.parts.at(name);
        const bool computed = part == Part::kFit || (part == Part::kRobust && robustRan) ||
                              (part == Part::kSearch && searchRan);
        const std::vector<double>& expected =
            computed ? reference.values.at(name) : unset.values.at(name);
        EXPECT_TRUE(SameValues(value, expected)) << name << " after" << ran;
      }
    }
  } while (std::next_permutation(order.begin(), order.end()));
}

// The robust and search accessors before their analysis: the documented unset values.
TEST_F(NonLinearAccessorOrder, ResultsOfAnalysesNotRunAreUnset) {
  KelNonLinearRegression r(3, Abscissas(), Responses(), Rivals);
  Prepare(r);
  RunAnalysis(r, kLeastSquares);
  for (int model = 1; model <= 3; ++model) {
    EXPECT_EQ(r.RobustFit(model).initialLms, kelUnsetValue);
    EXPECT_EQ(r.RobustFit(model).finalLms, kelUnsetValue);
    EXPECT_EQ(r.RobustFit(model).lmsParameters.Size(), 0);
    EXPECT_TRUE(r.RobustFit(model).highlyProbable.empty());
    EXPECT_EQ(r.FDistances(model).Size(), 0);
    EXPECT_EQ(r.SuggestedCandidate(model, KelNonLinearRegression::kSuggestionXDistance), 0);
  }
  EXPECT_EQ(r.CandidateExperiments().Rows(), 0);
  EXPECT_EQ(r.Discrimination().numberOfCouples, 0);
  EXPECT_EQ(r.Balanced().candidate, 0);
  EXPECT_EQ(r.FinalSSE(3), kelUnsetValue);
}

}  // namespace
