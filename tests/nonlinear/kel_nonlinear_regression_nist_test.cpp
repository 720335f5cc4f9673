// Estimation against the certified values of NIST StRD nonlinear regression problems: one
// model, one response, unit weights, started from NIST's start 1 and, when that falls short of
// the goal, from start 2. Each parameter's log relative error is printed and checked.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

struct NistProblem {
  std::string name;
  std::vector<double> start1, start2, certified, certifiedErrors;
  double rss = 0.0;
  std::vector<double> x, y;
};

NistProblem ReadProblem(const std::string& name) {
  NistProblem p;
  p.name = name;
  std::ifstream in = kel_test::OpenReference("nist/nonlinear/" + name + ".txt");
  std::string line;
  bool data = false;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    if (data) {
      double x = 0.0, y = 0.0;
      if (fields >> x >> y) {
        p.x.push_back(x);
        p.y.push_back(y);
      }
      continue;
    }
    std::string key;
    fields >> key;
    if (key == "param") {
      int i = 0;
      double s1, s2, c, e;
      fields >> i >> s1 >> s2 >> c >> e;
      p.start1.push_back(s1);
      p.start2.push_back(s2);
      p.certified.push_back(c);
      p.certifiedErrors.push_back(e);
    } else if (key == "rss:") {
      fields >> p.rss;
    } else if (key == "data:") {
      data = true;
    }
  }
  return p;
}

std::string currentProblem;

// The NIST model formulas, written out independently of the library.
void NistModel(int, int, KelVector& b, KelVector& xv, KelVector& yv) {
  const double x = xv(1);
  const std::string& n = currentProblem;
  const double pi = 3.14159265358979323846;
  double v = 0.0;
  if (n == "Misra1a") {
    v = b(1) * (1.0 - std::exp(-b(2) * x));
  } else if (n == "Misra1c") {
    v = b(1) * (1.0 - std::pow(1.0 + 2.0 * b(2) * x, -0.5));
  } else if (n == "Chwirut2") {
    v = std::exp(-b(1) * x) / (b(2) + b(3) * x);
  } else if (n == "Lanczos3" || n == "Lanczos2") {
    v = b(1) * std::exp(-b(2) * x) + b(3) * std::exp(-b(4) * x) + b(5) * std::exp(-b(6) * x);
  } else if (n == "Gauss1") {
    const double u = x - b(4), t = x - b(7);
    v = b(1) * std::exp(-b(2) * x) + b(3) * std::exp(-u * u / (b(5) * b(5))) +
        b(6) * std::exp(-t * t / (b(8) * b(8)));
  } else if (n == "DanWood") {
    v = b(1) * std::pow(x, b(2));
  } else if (n == "Kirby2") {
    v = (b(1) + b(2) * x + b(3) * x * x) / (1.0 + b(4) * x + b(5) * x * x);
  } else if (n == "ENSO") {
    v = b(1) + b(2) * std::cos(2 * pi * x / 12) + b(3) * std::sin(2 * pi * x / 12) +
        b(5) * std::cos(2 * pi * x / b(4)) + b(6) * std::sin(2 * pi * x / b(4)) +
        b(8) * std::cos(2 * pi * x / b(7)) + b(9) * std::sin(2 * pi * x / b(7));
  }
  yv(1) = v;
}

KelVector ToVector(const std::vector<double>& v) {
  KelVector r(static_cast<int>(v.size()));
  for (size_t i = 0; i < v.size(); ++i) r(static_cast<int>(i) + 1) = v[i];
  return r;
}

struct Outcome {
  int start = 0;
  double minimumLre = 0.0;
  std::vector<double> lre;
  double rssLre = 0.0;
  double worstErrorRatio = 0.0;  // |our se * s / certified se - 1|
};

Outcome Estimate(const NistProblem& p, int start) {
  currentProblem = p.name;
  const int n = static_cast<int>(p.x.size());
  KelMatrix X(n, 1), Y(n, 1);
  for (int i = 1; i <= n; ++i) {
    X(i, 1) = p.x[static_cast<size_t>(i - 1)];
    Y(i, 1) = p.y[static_cast<size_t>(i - 1)];
  }
  Outcome o;
  o.start = start;
  KelNonLinearRegression regression(1, X, Y, NistModel);
  regression.SetInitialParameters(1, ToVector(start == 1 ? p.start1 : p.start2));
  const KelVector b = regression.GetParameters(1);
  o.minimumLre = 99.0;
  for (int k = 1; k <= b.Size(); ++k) {
    const double lre = kel_test::LogRelativeError(b(k), p.certified[static_cast<size_t>(k - 1)]);
    o.lre.push_back(lre);
    o.minimumLre = std::min(o.minimumLre, lre);
  }
  o.rssLre = kel_test::LogRelativeError(regression.FinalSSE(1), p.rss);
  // Unit weights: the library's covariance is (J^T J)^-1, so the certified standard errors
  // are its standard errors times the residual standard deviation.
  const KelVector& se = regression.StandardErrors(1);
  for (int k = 1; k <= b.Size(); ++k) {
    const double ratio =
        se(k) * regression.StandardDeviation(1) / p.certifiedErrors[static_cast<size_t>(k - 1)];
    o.worstErrorRatio = std::max(o.worstErrorRatio, std::fabs(ratio - 1.0));
  }
  return o;
}

struct Case {
  const char* name;
  double goal;
};
// Names the case in test listings instead of a byte dump of the struct.
void PrintTo(const Case& value, std::ostream* os) { *os << value.name; }

class NistNonLinear : public ::testing::TestWithParam<Case> {};

void PrintOutcome(const char* name, const Outcome& o) {
  std::printf("%-9s start %d  LRE:", name, o.start);
  for (double v : o.lre) std::printf(" %.1f", v);
  std::printf("  RSS LRE %.1f  largest |se / certified se - 1| %.2g\n", o.rssLre,
              o.worstErrorRatio);
}

TEST_P(NistNonLinear, CertifiedParametersFromStartOneOrTwo) {
  const Case c = GetParam();
  const NistProblem p = ReadProblem(c.name);
  ASSERT_FALSE(p.x.empty());
  Outcome o = Estimate(p, 1);
  PrintOutcome(c.name, o);
  if (o.minimumLre < c.goal) {
    o = Estimate(p, 2);
    PrintOutcome(c.name, o);
  }
  EXPECT_GE(o.minimumLre, c.goal);
  EXPECT_GE(o.rssLre, c.goal);
  // The standard errors are printed, not checked: the forward-difference step of 1% of each
  // parameter plus 0.001 is coarse for parameters much smaller than 0.1 (Misra1a's b2, Kirby2's
  // b3 to b5), so they can be far from the certified ones there. They are checked on a linear
  // model, where forward differences are exact.
}

INSTANTIATE_TEST_SUITE_P(LowerDifficulty, NistNonLinear,
                         ::testing::Values(Case{"Misra1a", 6.0}, Case{"Chwirut2", 6.0},
                                           Case{"Lanczos3", 6.0}, Case{"Gauss1", 6.0},
                                           Case{"DanWood", 6.0}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });
INSTANTIATE_TEST_SUITE_P(AverageDifficulty, NistNonLinear,
                         ::testing::Values(Case{"Kirby2", 4.0}, Case{"Misra1c", 4.0},
                                           Case{"ENSO", 4.0}, Case{"Lanczos2", 4.0}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
