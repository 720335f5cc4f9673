// Estimation against the certified values of the NIST StRD nonlinear regression problems: one
// model, one response, unit weights, from both of NIST's starts. Parameters and the residual
// sum of squares must reach 6 correct digits (log relative error, LRE), the standard errors as
// StandardErrors returns them 4. Each fit's LREs are printed as a row of the table kept in the
// closing notes.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "kel_nist_nonlinear_problem.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

using kel_nist::NistProblem;
using kel_nist::ReadProblem;

std::string currentProblem;
// Parameter k of the model is b(k) * parameterUnit[k - 1]: the estimation sees parameters
// rescaled by powers of ten, which must leave the digits of the fit unchanged.
std::vector<double> parameterUnit;

double Unit(int k) {
  return parameterUnit.empty() ? 1.0 : parameterUnit[static_cast<size_t>(k - 1)];
}

// The NIST model formulas and their derivatives, written out independently of the library.
// c holds the parameters in NIST's units; dv, when given, receives dy/dc.
double NistValue(const std::vector<double>& c, double x, std::vector<double>* dv) {
  const std::string& n = currentProblem;
  const double pi = 3.14159265358979323846;
  std::vector<double> d(c.size(), 0.0);
  double v = 0.0;
  if (n == "Misra1a") {
    const double e = std::exp(-c[1] * x);
    v = c[0] * (1.0 - e);
    d = {1.0 - e, c[0] * x * e};
  } else if (n == "Misra1c") {
    const double u = 1.0 + 2.0 * c[1] * x;
    v = c[0] * (1.0 - std::pow(u, -0.5));
    d = {1.0 - std::pow(u, -0.5), c[0] * x * std::pow(u, -1.5)};
  } else if (n == "Chwirut2") {
    const double e = std::exp(-c[0] * x), q = c[1] + c[2] * x;
    v = e / q;
    d = {-x * e / q, -e / (q * q), -x * e / (q * q)};
  } else if (n == "Lanczos3" || n == "Lanczos2") {
    for (int t = 0; t < 3; ++t) {
      const double e = std::exp(-c[2 * t + 1] * x);
      v += c[2 * t] * e;
      d[2 * t] = e;
      d[2 * t + 1] = -c[2 * t] * x * e;
    }
  } else if (n == "Gauss1") {
    const double e = std::exp(-c[1] * x);
    v = c[0] * e;
    d[0] = e;
    d[1] = -c[0] * x * e;
    for (int t = 0; t < 2; ++t) {
      const int a = 2 + 3 * t;  // amplitude, centre, width
      const double u = x - c[a + 1], g = std::exp(-u * u / (c[a + 2] * c[a + 2]));
      v += c[a] * g;
      d[a] = g;
      d[a + 1] = c[a] * g * 2.0 * u / (c[a + 2] * c[a + 2]);
      d[a + 2] = c[a] * g * 2.0 * u * u / (c[a + 2] * c[a + 2] * c[a + 2]);
    }
  } else if (n == "DanWood") {
    v = c[0] * std::pow(x, c[1]);
    d = {std::pow(x, c[1]), c[0] * std::pow(x, c[1]) * std::log(x)};
  } else if (n == "Kirby2") {
    const double num = c[0] + c[1] * x + c[2] * x * x, den = 1.0 + c[3] * x + c[4] * x * x;
    v = num / den;
    d = {1.0 / den, x / den, x * x / den, -num * x / (den * den), -num * x * x / (den * den)};
  } else if (n == "ENSO") {
    const double w = 2.0 * pi * x / 12.0;
    v = c[0] + c[1] * std::cos(w) + c[2] * std::sin(w);
    d[0] = 1.0;
    d[1] = std::cos(w);
    d[2] = std::sin(w);
    for (int t = 0; t < 2; ++t) {
      const int a = 3 + 3 * t;  // period, cosine and sine amplitudes
      const double u = 2.0 * pi * x / c[a];
      v += c[a + 1] * std::cos(u) + c[a + 2] * std::sin(u);
      d[a + 1] = std::cos(u);
      d[a + 2] = std::sin(u);
      d[a] = (c[a + 1] * std::sin(u) - c[a + 2] * std::cos(u)) * u / c[a];
    }
  }
  if (dv != nullptr) *dv = d;
  return v;
}

std::vector<double> NistUnits(const KelVector& b) {
  std::vector<double> c(static_cast<size_t>(b.Size()));
  for (int k = 1; k <= b.Size(); ++k) c[static_cast<size_t>(k - 1)] = b(k) * Unit(k);
  return c;
}

void NistModel(int, int, KelVector& b, KelVector& xv, KelVector& yv) {
  yv(1) = NistValue(NistUnits(b), xv(1), nullptr);
}

void NistJacobian(int, int, KelVector& b, KelVector& xv, KelMatrix& dy) {
  std::vector<double> d;
  NistValue(NistUnits(b), xv(1), &d);
  for (int k = 1; k <= b.Size(); ++k) dy(1, k) = d[static_cast<size_t>(k - 1)] * Unit(k);
}

struct Outcome {
  std::vector<double> parameterLre, errorLre;
  double rssLre = 0.0;
  bool converged = false;
  int evaluations = 0;
  int iterations = 0;
  double MinimumParameterLre() const {
    return *std::min_element(parameterLre.begin(), parameterLre.end());
  }
  double MinimumErrorLre() const { return *std::min_element(errorLre.begin(), errorLre.end()); }
};

// One fit from the given start; units rescales the parameters as the estimation sees them.
Outcome Fit(const NistProblem& p, int start, const std::vector<double>& units, bool analytic) {
  currentProblem = p.name;
  parameterUnit = units;
  const int n = static_cast<int>(p.x.size());
  KelMatrix X(n, 1), Y(n, 1);
  for (int i = 1; i <= n; ++i) {
    X(i, 1) = p.x[static_cast<size_t>(i - 1)];
    Y(i, 1) = p.y[static_cast<size_t>(i - 1)];
  }
  const std::vector<double>& b0 = start == 1 ? p.start1 : p.start2;
  KelVector start0(static_cast<int>(b0.size()));
  for (int k = 1; k <= start0.Size(); ++k) start0(k) = b0[static_cast<size_t>(k - 1)] / Unit(k);

  KelNonLinearRegression regression(1, X, Y, NistModel);
  if (analytic) regression.SetJacobian(1, NistJacobian);
  regression.SetInitialParameters(1, start0);
  const KelVector b = regression.GetParameters(1);
  const KelVector& se = regression.StandardErrors(1);
  Outcome o;
  for (int k = 1; k <= b.Size(); ++k) {
    const size_t i = static_cast<size_t>(k - 1);
    o.parameterLre.push_back(kel_test::LogRelativeError(b(k) * Unit(k), p.certified[i]));
    o.errorLre.push_back(kel_test::LogRelativeError(se(k) * Unit(k), p.certifiedErrors[i]));
  }
  o.rssLre = kel_test::LogRelativeError(regression.FinalSSE(1), p.rss);
  o.converged = regression.Converged(1);
  o.evaluations = regression.ModelEvaluations(1);
  o.iterations = regression.Iterations(1);
  parameterUnit.clear();
  return o;
}

void PrintRow(const char* name, int start, const char* variant, const Outcome& o) {
  std::printf("| %-8s | %d | %-10s | %5.1f | %5.1f | %5.1f | %s | %4d | %5d |\n", name, start,
              variant, o.MinimumParameterLre(), o.MinimumErrorLre(), o.rssLre,
              o.converged ? "yes" : "NO ", o.iterations, o.evaluations);
}

void ExpectTargets(const Outcome& o) {
  EXPECT_TRUE(o.converged);
  EXPECT_GE(o.MinimumParameterLre(), 6.0);
  EXPECT_GE(o.rssLre, 6.0);
  EXPECT_GE(o.MinimumErrorLre(), 4.0);
}

struct Case {
  const char* name;
};
// Names the case in test listings instead of a byte dump of the struct.
void PrintTo(const Case& value, std::ostream* os) {
  *os << value.name;
}

class NistNonLinear : public ::testing::TestWithParam<Case> {};

TEST_P(NistNonLinear, CertifiedValuesFromBothStartsWithDifferences) {
  const NistProblem p = ReadProblem(GetParam().name);
  ASSERT_FALSE(p.x.empty());
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE(start);
    const Outcome o = Fit(p, start, {}, false);
    PrintRow(p.name.c_str(), start, "difference", o);
    ExpectTargets(o);
  }
}

TEST_P(NistNonLinear, CertifiedValuesFromBothStartsWithAnalyticJacobian) {
  const NistProblem p = ReadProblem(GetParam().name);
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE(start);
    const Outcome o = Fit(p, start, {}, true);
    PrintRow(p.name.c_str(), start, "analytic", o);
    ExpectTargets(o);
  }
}

// Parameters estimated in units of 1e4 and 1e-4 in turn must reach the certified digits all the
// same, since every step and test of the estimation is relative to each parameter's own size.
// (Smaller standard errors than those would meet the floor of 1e-15 that StandardErrors keeps.)
TEST_P(NistNonLinear, RescaledParametersReachTheSameDigits) {
  const NistProblem p = ReadProblem(GetParam().name);
  std::vector<double> units;
  for (size_t k = 1; k <= p.certified.size(); ++k) units.push_back(k % 2 == 1 ? 1e4 : 1e-4);
  for (int start = 1; start <= 2; ++start) {
    SCOPED_TRACE(start);
    const Outcome o = Fit(p, start, units, false);
    PrintRow(p.name.c_str(), start, "rescaled", o);
    ExpectTargets(o);
  }
}

INSTANTIATE_TEST_SUITE_P(StRD, NistNonLinear,
                         ::testing::Values(Case{"Misra1a"}, Case{"Chwirut2"}, Case{"Lanczos3"},
                                           Case{"Gauss1"}, Case{"DanWood"}, Case{"Kirby2"},
                                           Case{"Misra1c"}, Case{"ENSO"}, Case{"Lanczos2"}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
