#include "linear_regression/kel_streaming_diagnostics.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "foundation/kel_array_kernels.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_fit_statistics.h"
#include "statistics/kel_distributions.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Rows whose Breusch-Pagan rows are gathered before they are folded: about 256 KiB of them.
constexpr long long kBlockValues = 32768;

// The state's leading values: type, rank, columns, the fit's rows, rows, unit leverages, the
// largest leverage; then the meat and the Breusch-Pagan triangle.
constexpr size_t kStateHeader = 7;

[[noreturn]] void failure(const char* function, const std::string& detail,
                          const char* kind = kelErrFunction) {
  KelError("%s%s%s%s\n%s", kelClassStreamingDiagnostics, kelErrCheck, kind, function,
           detail.c_str());
}

int typeCode(KelCovarianceType type) {
  return static_cast<int>(type);
}

}  // namespace

KelStreamingDiagnostics::KelStreamingDiagnostics(const KelScaledLeastSquaresResult& fit,
                                                 long long rowsOfFit,
                                                 KelCovarianceType covarianceType, double largest)
    : predictor(fit.predictor),
      aliasedColumns(fit.aliasedColumns),
      columns(static_cast<int>(fit.predictor.exponents.size())),
      rank(fit.rank),
      exactFit(fit.exactFit),
      fitRows(rowsOfFit),
      type(covarianceType),
      givenLargestLeverage(largest),
      breuschPagan(std::max<int>(1, static_cast<int>(fit.predictor.kept.size()))) {
  const char* constructor = "KelStreamingDiagnostics";
  if (type == KelCovarianceType::kCluster)
    failure(constructor, "the cluster-robust covariance is not accumulated by rows",
            kelErrConstructor);
  // An unweighted fit's weights are all 1: their sum is the number of rows.
  if (predictor.weightExponent != 0 || predictor.weightSum != static_cast<double>(fitRows) ||
      fitRows <= rank)
    failure(constructor, "the fit is weighted, or not of " + std::to_string(fitRows) + " rows",
            kelErrConstructor);
  if (type == KelCovarianceType::kHC5 && !(largest > 0.0 && largest <= 1.0))
    failure(constructor, "HC5 needs the largest leverage of the rows, in (0, 1]",
            kelErrConstructor);
  const int dof = fit.residualDegreesOfFreedom;
  const double unitSigma =
      predictor.responseNorm > 0.0 ? predictor.sigmaMantissa / predictor.responseNorm : 0.0;
  rss = unitSigma * unitSigma * dof;
  meat.assign(static_cast<size_t>(rank) * rank, 0.0);
  z.assign(static_cast<size_t>(rank), 0.0);
}

// Writes the row's values to out, its z = R^-T x to z and its unit deviations from the kept
// columns' means to deviations; returns its residual in the unit response's scale.
double KelStreamingDiagnostics::RowValues(const double* row, double* zRow, double* deviations,
                                          KelStreamingRow& out) const {
  const KelScaledPredictor& p = predictor;
  const size_t k = p.kept.size();
  const size_t first = p.intercept ? 1 : 0;
  double predicted = 0.0;
  for (size_t l = 0; l < k; ++l) {
    const size_t c = static_cast<size_t>(p.kept[l]);
    deviations[l] =
        ((std::ldexp(row[c], -p.exponents[c]) - p.means[c]) - p.meanCorrections[c]) / p.norms[c];
    predicted += p.coefficients[l] * deviations[l];
  }
  const double m = static_cast<double>(fitRows);
  double leverage = p.intercept ? 1.0 / m : 0.0;
  if (p.intercept) zRow[0] = 1.0 / std::sqrt(m);
  for (size_t j = 0; j < k; ++j) {
    double g = 0.0;
    for (size_t l = 0; l <= j; ++l) g += p.rInverse[l][j] * deviations[l];
    zRow[first + j] = g;
    leverage += g * g;
  }
  const double y = row[columns];
  const double unit =
      p.responseNorm > 0.0
          ? ((std::ldexp(y, -p.responseExponent) - p.responseMean) - p.responseCorrection) /
                p.responseNorm
          : 0.0;
  const double e = exactFit ? 0.0 : unit - predicted;
  out.residual = std::ldexp(e * p.responseNorm, p.responseExponent);
  out.fitted = y - out.residual;
  out.leverage = leverage;
  const KelExperimentInfluence influence =
      exactFit ? KelExperimentInfluence{kNaN, kNaN, kNaN}
               : KelInfluenceOf(e, leverage, rss, static_cast<int>(fitRows) - rank, rank);
  out.cooksDistance = influence.cooks;
  out.studentizedResidual = influence.studentized;
  out.standardizedResidual = influence.standardized;
  return e;
}

// The meat's outer products are of z, weighted by the scaled residual's square over the power of
// 1 - h the type takes; a unit leverage's row, undefined there, only counts.
void KelStreamingDiagnostics::Accumulate(const double* zRow, double e, double leverage) {
  largestLeverage = std::max(largestLeverage, leverage);
  const bool unit = KelIsUnitLeverage(leverage, rank);
  if (unit) ++unitLeverageRows;
  if (type == KelCovarianceType::kClassical || (unit && KelDividesByLeverage(type))) return;
  const double m = static_cast<double>(fitRows);
  const double weight = KelSandwichRowWeight(type, e * predictor.responseNorm, leverage, rank / m,
                                             givenLargestLeverage);
  for (int a = 0; a < rank; ++a) {
    const double wa = weight * zRow[a];
    double* meatRow = meat.data() + static_cast<size_t>(a) * rank;
    for (int b = a; b < rank; ++b) meatRow[b] += wa * zRow[b];
  }
}

void KelStreamingDiagnostics::AddRows(long long count, const double* values, KelStreamingRow* out) {
  const int width = columns + 1;
  if (count < 0 || (count > 0 && values == nullptr))
    failure("AddRows", std::to_string(count) + " rows");
  const long long bad = KelFirstNonFinite(count * width, values);
  if (bad >= 0)
    KelError("%sNon-finite data\nrow %lld, column %lld = %s", kelClassStreamingDiagnostics,
             rows + bad / width + 1, bad % width + 1, KelNonFiniteText(values[bad]));
  const int k = static_cast<int>(predictor.kept.size());
  const int bpWidth = k + 1;
  // Koenker's form: the squared residuals less their mean, rss / m, on the kept columns.
  const bool testable = rank >= 2 && !exactFit;
  const long long chunkRows = std::max<long long>(8, kBlockValues / bpWidth);
  KelStreamingRow scratch;
  for (long long first = 0; first < count; first += chunkRows) {
    const long long blockRows = std::min(chunkRows, count - first);
    bpRows.resize(static_cast<size_t>(blockRows * bpWidth));
    for (long long i = 0; i < blockRows; ++i) {
      KelStreamingRow& row = out != nullptr ? out[first + i] : scratch;
      double* bpRow = bpRows.data() + i * bpWidth;
      const double e = RowValues(values + (first + i) * width, z.data(), bpRow, row);
      bpRow[k] = e * e - rss / static_cast<double>(fitRows);
      Accumulate(z.data(), e, row.leverage);
    }
    if (testable) breuschPagan.AddRows(blockRows, bpRows.data());
  }
  rows += count;
}

void KelStreamingDiagnostics::Values(long long count, const double* values,
                                     KelStreamingRow* out) const {
  const int width = columns + 1;
  if (count < 0 || (count > 0 && (values == nullptr || out == nullptr)))
    failure("Values", std::to_string(count) + " rows");
  const long long bad = KelFirstNonFinite(count * width, values);
  if (bad >= 0)
    KelError("%sNon-finite data\nrow %lld, column %lld = %s", kelClassStreamingDiagnostics,
             bad / width + 1, bad % width + 1, KelNonFiniteText(values[bad]));
  std::vector<double> zRow(z.size()), deviations(predictor.kept.size() + 1);
  for (long long i = 0; i < count; ++i)
    RowValues(values + i * width, zRow.data(), deviations.data(), out[i]);
}

void KelStreamingDiagnostics::Merge(const KelStreamingDiagnostics& other) {
  if (other.rank != rank || other.columns != columns || other.fitRows != fitRows ||
      other.type != type)
    failure("Merge", "the accumulators are of different fits or covariance types");
  for (size_t i = 0; i < meat.size(); ++i) meat[i] += other.meat[i];
  breuschPagan.Merge(other.breuschPagan);
  rows += other.rows;
  unitLeverageRows += other.unitLeverageRows;
  largestLeverage = std::max(largestLeverage, other.largestLeverage);
}

std::vector<double> KelStreamingDiagnostics::State() const {
  std::vector<double> state = {static_cast<double>(typeCode(type)),
                               static_cast<double>(rank),
                               static_cast<double>(columns),
                               static_cast<double>(fitRows),
                               static_cast<double>(rows),
                               static_cast<double>(unitLeverageRows),
                               largestLeverage};
  state.insert(state.end(), meat.begin(), meat.end());
  const KelMatrix T = breuschPagan.Triangle();
  state.insert(state.end(), T.Data(), T.Data() + T.Rows() * T.Columns());
  return state;
}

void KelStreamingDiagnostics::MergeState(const std::vector<double>& state) {
  const size_t width = static_cast<size_t>(breuschPagan.Columns()) + 1;
  const size_t size = kStateHeader + meat.size() + width * width;
  if (state.size() != size || state[0] != typeCode(type) || state[1] != rank ||
      state[2] != columns || state[3] != static_cast<double>(fitRows))
    failure("MergeState", "a state of " + std::to_string(state.size()) + " values, " +
                              std::to_string(size) + " of this fit and covariance type expected");
  rows += static_cast<long long>(state[4]);
  unitLeverageRows += static_cast<long long>(state[5]);
  largestLeverage = std::max(largestLeverage, state[6]);
  for (size_t i = 0; i < meat.size(); ++i) meat[i] += state[kStateHeader + i];
  // The other accumulator's rows are represented by its triangle: folding T's rows is a merge.
  breuschPagan.AddRows(static_cast<long long>(width), state.data() + kStateHeader + meat.size());
}

void KelStreamingDiagnostics::RequireAllRows(const char* function) const {
  if (rows != fitRows)
    failure(function, std::to_string(rows) + " rows seen of the fit's " + std::to_string(fitRows));
}

KelStreamingBreuschPagan KelStreamingDiagnostics::BreuschPagan() const {
  RequireAllRows("BreuschPagan");
  KelStreamingBreuschPagan test{kNaN, rank - 1, kNaN};
  if (rank < 2 || exactFit) return test;
  const KelMatrix T = breuschPagan.Triangle();
  const int k = breuschPagan.Columns();
  double explained = 0.0;
  for (int i = 1; i <= k; ++i) explained += T(i, k + 1) * T(i, k + 1);
  const double total = explained + T(k + 1, k + 1) * T(k + 1, k + 1);
  test.statistic = static_cast<double>(fitRows) * explained / total;
  test.pValue = KelChiSquareProbability(test.degreesOfFreedom, test.statistic);
  return test;
}
