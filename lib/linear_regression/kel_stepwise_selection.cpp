// Stepwise selection of the best model of every size. Six stepwise runs (forward, backward and
// four mixed searches with different F thresholds and start sets) sweep the correlation matrix
// of the candidate columns and the responses; every model a run visits competes for the table of
// its size.
#include "linear_regression/kel_stepwise_selection.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "foundation/kel_output.h"
#include "linear_regression/kel_linear_thresholds.h"
#include "linear_regression/kel_sweep.h"

namespace {

constexpr double kNoModel = kStepwiseNoModel;
// The search's tolerances are single-precision constants; their widened values matter because
// they decide which pivots count as dependent.
// On the raw data, a centred sum of squares counts as zero below kTinySumOfSquares times the
// uncentred one, so that the decision does not depend on the units; on the scaled working matrix
// (correlations, dimensionless) the same constants are absolute.
constexpr double kTinySumOfSquares = 1e-30;
constexpr double kTinySumOfSquaresFloat = static_cast<double>(1e-30f);
constexpr double kResidualFloor = 9.999999999985315e-31;
constexpr double kStartPivotTolerance = static_cast<double>(1e-6f);
constexpr double kPivotTolerance = static_cast<double>(1e-5f);
constexpr double kRunFiveRelativeT = 0.0001;
constexpr int kRuns = 6;
constexpr int kExtraSteps = 5;

// F thresholds of the six runs (entry and removal alike).
constexpr double kRunThreshold[kRuns + 1] = {0.0, 0.0, kNoModel, 2.0, 5.0, 3.0, 10.0};

// Mean with one correction pass, so that a constant column centres to exact zeros (and is
// recognised as having no spread).
double correctedMean(const std::vector<double>& values) {
  const int m = static_cast<int>(values.size());
  double sum = 0.0;
  for (double v : values) sum += v;
  const double mean = sum / m;
  double correction = 0.0;
  for (double v : values) correction += v - mean;
  return mean + correction / m;
}

// One stepwise computation over the candidate columns. Candidates are 1..p, index p + 1 of the
// working matrix stands for the responses; all working arrays are 1-based.
class StepwiseSearch {
 public:
  // The tables receive the best models; an intercept model also stores its column means and
  // the mean of y.
  StepwiseSearch(const KelMatrix& F, const KelVector& y, int intercept, KelMatrix& parameters,
                 KelMatrix& tRatios, KelVector& meanSquareErrors, KelVector& storedColumnMeans,
                 double& storedMeanOfY);

  // Cross products scaled to correlations; false (after the messages) when a candidate column
  // has no spread, which ends the whole search.
  bool PrepareCorrelations();
  void Run(int run);

 private:
  void ChooseStartSet(int run, std::vector<char>& start) const;
  // Size with the lowest recorded mean square error (first minimum), p when none is recorded.
  int BestRecordedSize() const;
  // Parameters, standard errors and V of every candidate for the current sweep; returns the
  // number of candidates in the model.
  int Classify(double residualDeviation, int* removal, double* vMin, int* entry, double* vMax);
  void Record(int candidatesIn);
  void Sweep(int pivot) { SweepOperator(p + 1, a.data(), pivot); }
  double& A(int i, int j) { return a[i][j]; }

  int m;
  int n;
  int c;
  int p;
  KelMatrix& bestParameters;
  KelMatrix& bestTRatios;
  KelVector& bestMeanSquareErrors;
  double meanOfY = 0.0;
  std::vector<double> x;  // m x p candidate columns, row-major, centred for intercept models
  std::vector<double> yCentred;
  std::vector<double> columnMean;
  std::vector<double> rawSquares;    // uncentred sums of squares: columns 1..p, then y at p + 1
  std::vector<double> correlations;  // (p + 1)^2, row-major, the state every run starts from
  std::vector<double> storage;       // the working matrix of the current run
  std::vector<double*> a;            // its 1-based row pointers
  std::vector<double> scale;
  std::vector<double> beta;
  std::vector<double> se;
  std::vector<double> v;
  std::vector<char> in;
};

StepwiseSearch::StepwiseSearch(const KelMatrix& F, const KelVector& y, int intercept,
                               KelMatrix& parameters, KelMatrix& tRatios,
                               KelVector& meanSquareErrors, KelVector& storedColumnMeans,
                               double& storedMeanOfY)
    : m(F.Rows()),
      n(F.Columns()),
      c(intercept != 0 ? 1 : 0),
      p(F.Columns() - c),
      bestParameters(parameters),
      bestTRatios(tRatios),
      bestMeanSquareErrors(meanSquareErrors) {
  x.assign(static_cast<size_t>(m) * p, 0.0);
  yCentred.assign(m, 0.0);
  columnMean.assign(p + 1, 0.0);
  rawSquares.assign(p + 2, 0.0);
  std::vector<double> column(m);
  for (int u = 1; u <= p; ++u) {
    for (int i = 1; i <= m; ++i) column[i - 1] = F(i, c + u);
    for (int i = 1; i <= m; ++i) rawSquares[u] += column[i - 1] * column[i - 1];
    const double mean = c != 0 ? correctedMean(column) : 0.0;
    columnMean[u] = mean;
    for (int i = 1; i <= m; ++i) x[static_cast<size_t>(i - 1) * p + (u - 1)] = column[i - 1] - mean;
  }
  if (c != 0) {
    for (int i = 1; i <= m; ++i) meanOfY += y(i);
    meanOfY /= m;
  }
  for (int i = 1; i <= m; ++i) yCentred[i - 1] = y(i) - meanOfY;
  for (int i = 1; i <= m; ++i) rawSquares[p + 1] += y(i) * y(i);
  if (c != 0) {
    storedColumnMeans.Resize(p);
    for (int u = 1; u <= p; ++u) storedColumnMeans(u) = columnMean[u];
    storedMeanOfY = meanOfY;
  }

  const int size = p + 1;
  storage.assign(static_cast<size_t>(size + 1) * (size + 1), 0.0);
  a.assign(size + 1, nullptr);
  for (int i = 0; i <= size; ++i) a[i] = storage.data() + static_cast<size_t>(i) * (size + 1);
  scale.assign(size + 1, 0.0);
  beta.assign(p + 1, 0.0);
  se.assign(p + 1, 1.0);
  v.assign(p + 1, 0.0);
  in.assign(p + 1, 0);
}

bool StepwiseSearch::PrepareCorrelations() {
  const int q = p + 1;
  auto xAt = [&](int i, int u) { return x[static_cast<size_t>(i - 1) * p + (u - 1)]; };
  for (int j = 1; j <= p; ++j) {
    for (int k = 1; k <= j; ++k) {
      double sum = 0.0;
      for (int i = 1; i <= m; ++i) sum += xAt(i, j) * xAt(i, k);
      A(j, k) = A(k, j) = sum;
    }
  }
  for (int j = 1; j <= p; ++j) {
    if (A(j, j) <= kTinySumOfSquares * rawSquares[j]) {
      KelPrint("\nIt is impossible to make Stepwise Analysis");
      // Named by its column of F (the candidates of an intercept model start at column 2).
      KelPrint("\nThe column %d of matrix F is hill conditioned", c + j);
      KelPause();
      return false;
    }
    scale[j] = std::sqrt(A(j, j));
    double sum = 0.0;
    for (int i = 1; i <= m; ++i) sum += xAt(i, j) * yCentred[i - 1];
    A(j, q) = A(q, j) = sum;
  }
  double sumY = 0.0;
  for (int i = 1; i <= m; ++i) sumY += yCentred[i - 1] * yCentred[i - 1];
  // A constant response: a tiny positive scale in its own units (any, when it is all zeros) keeps
  // its vanishing correlations vanishing.
  double constantScale = kTinySumOfSquaresFloat * rawSquares[q];
  if (constantScale == 0.0) constantScale = 1.0;
  A(q, q) = sumY <= kTinySumOfSquares * rawSquares[q] ? constantScale : sumY;
  scale[q] = std::sqrt(A(q, q));
  for (int j = 1; j <= q; ++j) {
    for (int k = 1; k <= q; ++k) A(j, k) = A(j, k) / (scale[j] * scale[k]);
  }
  correlations = storage;
  return true;
}

int StepwiseSearch::BestRecordedSize() const {
  double best = kNoModel;
  int size = p;
  for (int k = c + 1; k <= n; ++k) {
    if (bestMeanSquareErrors(k) < best) {
      best = bestMeanSquareErrors(k);
      size = k;
    }
  }
  return size;
}

void StepwiseSearch::ChooseStartSet(int run, std::vector<char>& start) const {
  for (int u = 1; u <= p; ++u) {
    switch (run) {
      case 2:
        start[u] = 1;
        break;
      case 3:
        start[u] = (u % 2 == 1);
        break;
      case 4:
        start[u] = (u % 2 == 0);
        break;
      default:
        start[u] = 0;
        break;
    }
  }
  if (run < 5 || p < 1) return;
  const int k = BestRecordedSize();
  if (run == 5) {
    double largestT = 0.0;
    for (int j = 1; j <= n; ++j) largestT = std::fmax(largestT, bestTRatios(k, j));
    if (largestT <= 0.0) return;
    for (int u = 1; u <= p; ++u)
      start[u] =
          bestParameters(k, c + u) != 0.0 && bestTRatios(k, c + u) / largestT > kRunFiveRelativeT;
  } else {
    for (int u = 1; u <= p; ++u) start[u] = bestParameters(k, c + u) == 0.0;
  }
}

int StepwiseSearch::Classify(double residualDeviation, int* removal, double* vMin, int* entry,
                             double* vMax) {
  const int q = p + 1;
  int candidatesIn = 0;
  *vMin = 1e30;
  *vMax = 0.0;
  *removal = 0;
  *entry = 0;
  for (int u = 1; u <= p; ++u) {
    in[u] = 0;
    if (A(u, u) < kPivotTolerance) {
      beta[u] = 0.0;
      v[u] = 0.0;
      continue;
    }
    v[u] = A(u, q) * A(q, u) / A(u, u);
    if (v[u] < 0.0) {
      // A swept variable: its row holds the regression coefficient and its pivot the inverse
      // of the correlation matrix of the variables in the model.
      beta[u] = A(u, q) * scale[q] / scale[u];
      if (!(A(u, u) > kTinySumOfSquaresFloat)) A(u, u) = kTinySumOfSquaresFloat;
      se[u] = std::sqrt(A(u, u)) * residualDeviation / scale[u];
      in[u] = 1;
      ++candidatesIn;
      // Ties go to the later candidate.
      if (std::fabs(v[u]) <= std::fabs(*vMin)) {
        *vMin = v[u];
        *removal = u;
      }
    } else if (v[u] == 0.0) {
      beta[u] = 0.0;
    } else {
      beta[u] = 0.0;
      if (v[u] >= *vMax) {
        *vMax = v[u];
        *entry = u;
      }
    }
  }
  return candidatesIn;
}

void StepwiseSearch::Record(int candidatesIn) {
  const int q = p + 1;
  const int k = candidatesIn + c;
  // A model without any parameter (possible only without intercept) has no table row.
  if (k < 1) return;
  const double meanSquareError = scale[q] * scale[q] * A(q, q) / (m - candidatesIn - c);
  if (!(meanSquareError < bestMeanSquareErrors(k))) return;
  bestMeanSquareErrors(k) = meanSquareError;
  double intercept = meanOfY;
  for (int u = 1; u <= p; ++u) {
    bestParameters(k, c + u) = beta[u];
    bestTRatios(k, c + u) = std::fabs(beta[u] / se[u]);
    if (in[u]) intercept -= columnMean[u] * beta[u];
  }
  if (c != 0) bestParameters(k, 1) = intercept;
}

void StepwiseSearch::Run(int run) {
  const int q = p + 1;
  const double threshold = kRunThreshold[run];
  // Copied in place: the row pointers keep pointing into the same block.
  std::copy(correlations.begin(), correlations.end(), storage.begin());

  std::vector<char> start(p + 1, 0);
  ChooseStartSet(run, start);
  int dof = m - c;
  for (int u = 1; u <= p; ++u) {
    if (A(u, u) < kStartPivotTolerance) start[u] = 0;
    if (start[u]) {
      --dof;
      Sweep(u);
    }
  }

  for (int u = 1; u <= p; ++u) se[u] = 1.0;
  for (int step = 1; step <= p + kExtraSteps; ++step) {
    if (A(q, q) < kTinySumOfSquares) A(q, q) = kResidualFloor;
    const double residualDeviation = std::sqrt(A(q, q) / dof) * scale[q];
    int removal = 0;
    int entry = 0;
    double vMin = 0.0;
    double vMax = 0.0;
    const int candidatesIn = Classify(residualDeviation, &removal, &vMin, &entry, &vMax);
    const double fOut = std::fabs(vMin) * dof / A(q, q);
    Record(candidatesIn);
    if (fOut > threshold) {
      // The weakest variable stays; try the strongest one outside.
      const double remaining = A(q, q) - vMax;
      const double fIn = remaining > 0.0 ? (dof - 1) * vMax / remaining : 0.0;
      if (fIn < threshold || dof <= m - p - c || step >= p + kExtraSteps || entry == 0) return;
      --dof;
      Sweep(entry);
    } else {
      if (step >= p + kExtraSteps) return;
      ++dof;
      if (removal == 0 || dof > m - c) return;
      Sweep(removal);
    }
  }
}

}  // namespace

KelLinearStepwiseTables KelComputeStepwise(const KelMatrix& F, const KelVector& y, bool intercept,
                                           KelLinearStepwiseTables&& numbered) {
  KelLinearStepwiseTables tables(std::move(numbered));
  const int n = F.Columns();
  tables.stepwiseParameters.Resize(n, n);
  tables.stepwiseTRatios.Resize(n, n);
  tables.stepwiseMeanSquareErrors.Resize(n, false);
  for (int k = 1; k <= n; ++k) tables.stepwiseMeanSquareErrors(k) = kNoModel;

  StepwiseSearch search(F, y, intercept ? 1 : 0, tables.stepwiseParameters, tables.stepwiseTRatios,
                        tables.stepwiseMeanSquareErrors, tables.columnMeans, tables.meanOfY);
  if (!search.PrepareCorrelations()) return tables;
  for (int run = 1; run <= kRuns; ++run) search.Run(run);
  return tables;
}
