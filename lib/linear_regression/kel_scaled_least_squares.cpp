#include "linear_regression/kel_scaled_least_squares.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "foundation/kel_constants.h"
#include "foundation/kel_errors.h"
#include "foundation/kel_output.h"
#include "linear_regression/kel_fit_statistics.h"
#include "linear_regression/kel_scaled_fit_parts.h"
#include "statistics/kel_distributions.h"

namespace {

// Everything here is 0-based: column c of the design is column c + (intercept ? 2 : 1) of F.
using Column = std::vector<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A column as 2^exponent (mean + norm * unit): the power of two makes it exact, the mean is that
// of the scaled values (which cannot overflow), the difference from it exact for close values.
struct ScaledColumn {
  Column unit;  // centred when asked, unit length (all zero when the column is)
  int exponent = 0;
  double mean = 0.0;
  // The mean as the two parts the deviations were formed with, first - then the correction:
  // their sum can be off by many units of a small deviation beside a large offset.
  double firstMean = 0.0, correction = 0.0;
  double norm = 0.0;
  double Mean() const { return mean; }
};

// The row weights as the fit uses them: scaled by 2^-exponent (exponent even, so that their
// square roots scale exactly by 2^(-exponent / 2)) to put the largest in [1/4, 1); all 1 with
// exponent 0 when none are given.
struct RowWeights {
  bool given = false;
  Column w, root;
  double sum = 0.0;
  int exponent = 0;
};

[[noreturn]] void failure(const char* function, const std::string& detail) {
  KelError("%s%s%s%s\n%s", kelClassLinearRegression, kelErrCheck, kelErrFunction, function,
           detail.c_str());
}

RowWeights scaleWeights(const std::vector<double>& weights, int m) {
  RowWeights r;
  r.given = !weights.empty();
  if (!r.given) {
    r.w.assign(m, 1.0);
    r.root.assign(m, 1.0);
    r.sum = m;
    return r;
  }
  if (static_cast<int>(weights.size()) != m)
    failure("KelFitScaledLeastSquares", "there are " + std::to_string(weights.size()) +
                                            " weights for " + std::to_string(m) + " rows");
  double largest = 0.0;
  for (const double w : weights) {
    if (!(w > 0.0 && std::isfinite(w)))
      failure("KelFitScaledLeastSquares", "a weight is not a positive finite number");
    largest = std::max(largest, w);
  }
  std::frexp(largest, &r.exponent);
  if (r.exponent % 2 != 0) ++r.exponent;
  for (const double w : weights) {
    r.w.push_back(std::ldexp(w, -r.exponent));
    r.root.push_back(std::sqrt(r.w.back()));
    r.sum += r.w.back();
  }
  return r;
}

// With weights, the mean is the weighted one and each centred value is multiplied by the root
// of its row's weight: the fit of the unit columns is then the weighted fit.
ScaledColumn scaleColumn(const Column& values, bool centre, const RowWeights& weights) {
  ScaledColumn s;
  double largest = 0.0;
  for (const double v : values) largest = std::max(largest, std::fabs(v));
  if (largest > 0.0) std::frexp(largest, &s.exponent);
  s.unit.resize(values.size());
  double sum = 0.0;
  for (size_t i = 0; i < values.size(); ++i) {
    s.unit[i] = std::ldexp(values[i], -s.exponent);
    sum += weights.w[i] * s.unit[i];
  }
  if (centre) s.mean = sum / weights.sum;
  // The rounded mean can be off by many units of the deviations when they are small beside it
  // (an offset of 1e15): a second pass over the exact differences corrects it, and the two parts
  // are subtracted one after the other so that the deviations sum to zero to their own rounding.
  double correction = 0.0;
  for (size_t i = 0; i < values.size(); ++i) correction += weights.w[i] * (s.unit[i] - s.mean);
  correction = centre ? correction / weights.sum : 0.0;
  double squares = 0.0;
  for (size_t i = 0; i < values.size(); ++i) {
    double& v = s.unit[i];
    v = ((v - s.mean) - correction) * weights.root[i];
    squares += v * v;
  }
  s.firstMean = s.mean;
  s.correction = correction;
  s.mean += correction;
  s.norm = std::sqrt(squares);
  if (s.norm > 0.0)
    for (double& v : s.unit) v /= s.norm;
  return s;
}

// The fit in scaled units, shared by the statistics below.
struct ScaledFit {
  int m = 0, rank = 0, dof = 0;
  bool intercept = true;
  RowWeights weights;
  std::vector<ScaledColumn> columns;
  ScaledColumn response;
  KelKeptQr qr;
  std::vector<Column> rInverse;
  Column coefficients;  // of the kept unit columns, for the unit response
  Column residuals;     // of the unit response
  Column leverages;
  double rss = 0.0, tss = 0.0, ess = 0.0;
  // The standard deviation used for the standard errors, as mantissa * 2^exponent.
  double sigmaMantissa = 0.0;
  int sigmaExponent = 0;
};

void solveScaled(ScaledFit& f, double tolerance, KelScaledLeastSquaresResult& out) {
  std::vector<int> aliased;
  f.qr = KelFactorKeptColumns(f.columns, f.m, tolerance, aliased);
  const int first = f.intercept ? 2 : 1;
  for (const int c : aliased) out.aliasedColumns.push_back(c + first);
  const size_t k = f.qr.kept.size();
  f.rank = static_cast<int>(k) + (f.intercept ? 1 : 0);
  f.dof = f.m - f.rank;
  f.rInverse = KelInvertKeptR(f.qr);
  Column z = f.response.unit;
  KelApplyKeptQTranspose(f.qr, z);
  f.coefficients.assign(k, 0.0);
  for (size_t i = 0; i < k; ++i) {
    for (size_t j = i; j < k; ++j) f.coefficients[i] += f.rInverse[i][j] * z[j];
    f.ess += z[i] * z[i];
    z[i] = 0.0;
  }
  KelApplyKeptQ(f.qr, z);
  f.residuals = z;
  for (const double e : z) f.rss += e * e;
  for (const double v : f.response.unit) f.tss += v * v;
  f.leverages.resize(f.m);
  for (int i = 0; i < f.m; ++i) f.leverages[i] = f.intercept ? f.weights.w[i] / f.weights.sum : 0.0;
  // Column j of Q is H_0 ... H_j e_j: the later reflections vanish above their own row, so they
  // leave e_j as it is, exactly, and are not applied.
  Column e(f.m, 0.0);
  for (size_t j = 0; j < k; ++j) {
    std::fill(e.begin(), e.end(), 0.0);
    e[j] = 1.0;
    for (size_t l = j + 1; l-- > 0;) KelApplyKeptReflector(f.qr, l, e);
    for (int i = 0; i < f.m; ++i) f.leverages[i] += e[i] * e[i];
  }
}

// Rounding-level residuals are no evidence of any error: the fit is exact, as R's warning says.
void detectExactFit(ScaledFit& f, KelScaledLeastSquaresResult& out) {
  const double bound =
      kelExactFitUlps * kelMachEps * std::sqrt(static_cast<double>(f.rank)) * std::sqrt(f.tss);
  out.exactFit = std::sqrt(f.rss) <= bound;
  if (!out.exactFit) return;
  f.rss = 0.0;
  std::fill(f.residuals.begin(), f.residuals.end(), 0.0);
}

// The weights were scaled by 2^-e: the residual standard error of a row of weight 1 is the
// scaled fit's times 2^(e/2), and an assigned variance (of a row of weight 1) enters the scaled
// fit's covariance divided by 2^e.
void chooseSigma(ScaledFit& f, const KelScaledLeastSquaresOptions& o,
                 KelScaledLeastSquaresResult& out) {
  const double scaledSigma = f.response.norm * std::sqrt(f.rss / f.dof);
  const int half = f.weights.exponent / 2;
  out.sigma = std::ldexp(scaledSigma, f.response.exponent + half);
  if (o.responseVariance > 0.0) {
    f.sigmaMantissa = std::frexp(std::sqrt(o.responseVariance), &f.sigmaExponent);
    f.sigmaExponent -= half;
    const double ratio =
        std::ldexp(scaledSigma / f.sigmaMantissa, f.response.exponent - f.sigmaExponent);
    out.varianceF = ratio * ratio;
    out.varianceFPValue = KelFProbability(f.dof, o.varianceDegreesOfFreedom, out.varianceF);
  } else {
    f.sigmaMantissa = scaledSigma;
    f.sigmaExponent = f.response.exponent;
  }
}

// The model's statistics; a weighted fit's scale 2^w enters its weighted sum of squares as w log 2,
// and R's log-likelihood of a weighted fit adds half the sum of the log weights.
void fillModel(const ScaledFit& f, KelScaledLeastSquaresResult& out) {
  double logSsShift = 0.0, logWeights = 0.0;
  if (f.weights.given) {
    logSsShift = f.weights.exponent * std::log(2.0);
    logWeights = f.m * f.weights.exponent * std::log(2.0);
    for (const double w : f.weights.w) logWeights += std::log(w);
  }
  KelFillScaledModel(f, logSsShift, 0.5 * logWeights, out);
}

// Koenker's studentized test: m times the share of the centred squared residuals that their
// least-squares fit on the kept columns explains.
void fillBreuschPagan(const ScaledFit& f, KelScaledLeastSquaresResult& out) {
  out.breuschPaganDegreesOfFreedom = f.rank - 1;
  out.breuschPagan = out.breuschPaganPValue = kNaN;
  if (f.rank < 2 || out.exactFit || f.weights.given) return;
  Column w(f.m);
  double total = 0.0;
  for (int i = 0; i < f.m; ++i) w[i] = f.residuals[i] * f.residuals[i] - f.rss / f.m;
  for (const double v : w) total += v * v;
  Column projected = w;
  KelApplyKeptQTranspose(f.qr, projected);
  double explained = 0.0;
  for (size_t k = 0; k < f.qr.kept.size(); ++k) explained += projected[k] * projected[k];
  out.breuschPagan = f.m * explained / total;
  out.breuschPaganPValue =
      KelChiSquareProbability(out.breuschPaganDegreesOfFreedom, out.breuschPagan);
}

void fillObservations(const ScaledFit& f, const KelVector& y, KelScaledLeastSquaresResult& out) {
  out.fitted = KelVector(f.m);
  out.residuals = KelVector(f.m);
  out.weightedResiduals = KelVector(f.m);
  out.leverages = KelVector(f.m);
  out.cooksDistances = KelVector(f.m);
  out.studentizedResiduals = KelVector(f.m);
  out.standardizedResiduals = KelVector(f.m);
  // Written through the vectors' storage (0-based): a million rows make the index checks count.
  const double* response = y.Data();
  double* residuals = out.residuals.Data();
  double* weightedResiduals = out.weightedResiduals.Data();
  double* fitted = out.fitted.Data();
  double* leverages = out.leverages.Data();
  double* studentized = out.studentizedResiduals.Data();
  double* cooks = out.cooksDistances.Data();
  double* standardized = out.standardizedResiduals.Data();
  for (int i = 0; i < f.m; ++i) {
    const double e = f.residuals[i], h = f.leverages[i];
    residuals[i] = std::ldexp(e * f.response.norm, f.response.exponent) / f.weights.root[i];
    weightedResiduals[i] =
        std::ldexp(e * f.response.norm, f.response.exponent + f.weights.exponent / 2);
    fitted[i] = response[i] - residuals[i];
    leverages[i] = h;
    // The influence is formed from the scaled residuals: its values are ratios. An exact fit
    // leaves the residuals without a scale.
    const KelExperimentInfluence influence = out.exactFit
                                                 ? KelExperimentInfluence{kNaN, kNaN, kNaN}
                                                 : KelInfluenceOf(e, h, f.rss, f.dof, f.rank);
    studentized[i] = influence.studentized;
    cooks[i] = influence.cooks;
    standardized[i] = influence.standardized;
  }
}

}  // namespace

KelScaledLeastSquaresResult KelFitScaledLeastSquares(const KelMatrix& F, const KelVector& y,
                                                     const KelScaledLeastSquaresOptions& options) {
  const int m = F.Rows(), n = F.Columns();
  ScaledFit f;
  f.m = m;
  f.intercept = options.intercept;
  f.weights = scaleWeights(options.weights, m);
  // F holds its values row after row, y its values in order.
  const double* design = F.Data();
  Column values(m);
  for (int j = options.intercept ? 2 : 1; j <= n; ++j) {
    for (int i = 0; i < m; ++i) values[i] = design[static_cast<size_t>(i) * n + (j - 1)];
    f.columns.push_back(scaleColumn(values, options.intercept, f.weights));
  }
  std::copy(y.Data(), y.Data() + m, values.begin());
  f.response = scaleColumn(values, options.intercept, f.weights);
  KelScaledLeastSquaresResult out;
  solveScaled(f, options.aliasTolerance, out);
  out.rank = f.rank;
  out.residualDegreesOfFreedom = f.dof;
  out.conditionNumber = KelKeptConditionNumber(f.qr);
  detectExactFit(f, out);
  chooseSigma(f, options, out);
  KelFillScaledParameters(f, n, f.weights.sum, out);
  KelFillScaledInference(f.dof, out);
  fillModel(f, out);
  fillBreuschPagan(f, out);
  fillObservations(f, y, out);
  KelFillScaledPredictor(f, n, f.weights.sum, f.weights.exponent, out.predictor);
  return out;
}

KelScaledPrediction KelPredictScaled(const KelScaledLeastSquaresResult& fit,
                                     const std::vector<double>& x) {
  const KelScaledPredictor& p = fit.predictor;
  if (x.size() != p.exponents.size())
    failure("KelPredictScaled", "the row has " + std::to_string(x.size()) + " values, the fit " +
                                    std::to_string(p.exponents.size()) + " columns");
  // d: the row's deviation from the means in the unit columns' coordinates; R^-T d gives the
  // variance of the slopes' part, and the mean's part is independent of it.
  const size_t k = p.kept.size();
  Column d(k);
  double deviation = 0.0;
  for (size_t l = 0; l < k; ++l) {
    const size_t c = static_cast<size_t>(p.kept[l]);
    d[l] = ((std::ldexp(x[c], -p.exponents[c]) - p.means[c]) - p.meanCorrections[c]) / p.norms[c];
    deviation += p.coefficients[l] * d[l];
  }
  double squares = p.intercept ? 1.0 / p.weightSum : 0.0;
  for (size_t j = 0; j < k; ++j) {
    double g = 0.0;
    for (size_t l = 0; l <= j; ++l) g += p.rInverse[l][j] * d[l];
    squares += g * g;
  }
  KelScaledPrediction prediction;
  const double mean = p.intercept ? p.responseMean : 0.0;
  const double correction = p.intercept ? p.responseCorrection : 0.0;
  prediction.fit = std::ldexp(mean + (correction + p.responseNorm * deviation), p.responseExponent);
  prediction.standardError = std::ldexp(p.sigmaMantissa * std::sqrt(squares), p.sigmaExponent);
  return prediction;
}
