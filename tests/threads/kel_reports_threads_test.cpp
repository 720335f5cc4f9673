// The reports of independent objects written on four threads at once, each thread capturing its
// own output: every thread's text must be byte-identical to the same work done alone on one
// thread, so no state of one analysis (its output channel, its warning mode, its minimizers'
// objectives, its singular value mode, its scratch space) reaches another. Built with
// -DKELMATH_TSAN=ON the same program also lets ThreadSanitizer watch every shared access.
//
// The least-squares reports print their covariance matrices with the matrix's serial number
// ("KelMatrixSymm No.284"), a process-wide counter that the other threads advance too: that
// number, and only that, is masked before the texts are compared.
#include <latch>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "../linear_regression/linear_regression_test_data.h"
#include "kel_test_support.h"
#include "kelmath.h"

namespace {

constexpr int kThreads = 4;

// ---- Linear regressions: every report of each object.

struct LinearSet {
  const char* name;
  KelMatrix (*regressors)();
  KelVector (*responses)();
};

// The first k columns of the 20 x 9 design: a model of several columns for the stepwise
// selection to choose from.
template <int k>
KelMatrix FirstColumnsOfX20() {
  const KelMatrix X = lr_test::MakeX20();
  KelMatrix F(20, k);
  for (int i = 1; i <= 20; ++i)
    for (int j = 1; j <= k; ++j) F(i, j) = X(i, j);
  return F;
}

// Two objects per thread, of different shapes (6 x 2 up to 20 x 5), so that the threads run
// through different amounts of work and never stay in step.
const LinearSet linearSets[kThreads][2] = {
    {{"X6", lr_test::MakeX6, lr_test::MakeY6},
     {"X20 columns 1-4", FirstColumnsOfX20<4>, lr_test::MakeY20}},
    {{"x12", lr_test::MakeX12, lr_test::MakeY12},
     {"X20 columns 1-3", FirstColumnsOfX20<3>, lr_test::MakeY20}},
    {{"Xc", lr_test::MakeXc, lr_test::MakeYc},
     {"X20 columns 1-5", FirstColumnsOfX20<5>, lr_test::MakeY20}},
    {{"X20 columns 1, 4, 7", lr_test::MakeX20Columns147, lr_test::MakeY20},
     {"X20 columns 1-4", FirstColumnsOfX20<4>, lr_test::MakeY20}},
};

void LinearReports(const LinearSet& set) {
  KelPrint("\n\n==== linear regression %s", set.name);
  KelLinearRegression regression(set.regressors(), set.responses());
  regression.LeastSquaresAnalysis();
  regression.SVDAnalysis();
  regression.RobustAnalysis();
  regression.StepwiseAnalysis();
}

// ---- Nonlinear rival models: robust analysis, then the least-squares analysis with model
// discrimination and the search for new experiments, as the experiment_selection program does.

const KelVector& Noise() {
  static const KelVector noise(31, 1.22, 1.44, -1.22, 1.66, -1.1, -1.22, -1.44, 1.88, 1.44, -1.24,
                               1.66, -1.22, -1.88, 1.22, 1.44, -1.66, 1.66, -1.88, -1.44, 1.44,
                               1.22, 1.66, -1.44, -1.22, 1.44, -1.22, 1.22, -1.22, 1.44, -1.22,
                               -1.44);
  return noise;
}

// The four rival models of the experiment_selection program; model 4 with
// b = (0.0005, 0.16, 15, 1.9) generates the data.
void RivalModels(int model, int, KelVector& b, KelVector& x, KelVector& y) {
  const double x1 = x(1), x2 = x(2), d = b(3) * x2 * x1, E = 1.0 + b(3) * x1;
  if (model <= 2) {
    const double D = 1.0 + b(3) * x1 + b(4) * x2;
    y(1) = b(1) * b(4) * d / (D * D);
    y(2) = model == 1 ? b(2) * b(4) * d / (D * D) : b(1) * b(4) * d / D;
  } else {
    // Model 3 has three parameters: b(4) exists only for model 4.
    const double F = model == 3 ? E : 1.0 + b(3) * x1 + b(4) * x1;
    y(1) = b(1) * d / E;
    y(2) = b(2) * d / (F * F);
  }
}

// The program's five experiments with the noise sequence started shift places later, so that
// each thread fits data of its own.
struct NonLinearProblem {
  const char* name;
  int shift;
};
const NonLinearProblem nonLinearProblems[kThreads] = {
    {"program data", 0},
    {"noise shifted by 3", 3},
    {"noise shifted by 7", 7},
    {"noise shifted by 11", 11},
};

void NonLinearReports(const NonLinearProblem& p) {
  KelPrint("\n\n==== rival models, %s", p.name);
  const KelMatrix X(5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.);
  KelMatrix Y(5, 2);
  for (int i = 1; i <= 5; ++i) {
    const double x1 = X(i, 1), x2 = X(i, 2), den = 15.0 * x1 + 1.0 + 1.9 * x1;
    Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + 2e-6 * Noise()(i + p.shift);
    Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (den * den) + 5e-5 * Noise()(31 - i - p.shift);
  }
  KelNonLinearRegression r(4, X, Y, RivalModels);
  r.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  r.SetInitialParameters(1, KelVector(4, 0., 1., 1., 1.));
  r.SetInitialParameters(2, KelVector(4, 0., 1., 1., 1.));
  r.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  r.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
  r.RobustAnalysis();
  r.LeastSquaresAnalysisAndExperimentsSearch(KelVector(2, 0.01, 0.01), KelVector(2, 2., 2.));
}

// The text with every object serial number ("No.123", no space: "Component No. 2" is a count of
// the report and stays) replaced by "No.#".
std::string MaskSerialNumbers(const std::string& text) {
  static const std::regex serial("No\\.[0-9]+");
  return std::regex_replace(text, serial, "No.#");
}

// All the work of one data set, its reports captured in a string of its own, serial numbers
// masked. Warnings go to the captured text only (mode 0), so standard error carries nothing of
// one thread's work and the text holds all of it; the calling thread's mode is put back
// afterwards.
std::string Work(int set) {
  const signed char savedWarningMode = kelWarningMode;
  kelWarningMode = 0;
  std::string text;
  {
    KelOutputScope capture(text);
    for (const LinearSet& linear : linearSets[set]) LinearReports(linear);
    NonLinearReports(nonLinearProblems[set]);
  }
  kelWarningMode = savedWarningMode;
  return MaskSerialNumbers(text);
}

TEST(ReportsThreads, FourThreadsWriteTheSameTextsAsTheSameWorkAlone) {
  std::vector<std::string> alone;
  for (int set = 0; set < kThreads; ++set) alone.push_back(Work(set));
  // The texts hold every report: a capture that lost the output would compare equal too.
  for (const std::string& text : alone) {
    EXPECT_NE(text.find("==== rival models"), std::string::npos);
    EXPECT_NE(text.find("KelMatrixSymm No.#"), std::string::npos);
    EXPECT_GT(text.size(), 10000u);
  }

  // Two rounds, the data sets shifted by one thread in the second, so that every set meets
  // other neighbours; the latch makes the four start together.
  for (int round = 0; round < 2; ++round) {
    std::vector<std::string> together(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      const int set = (t + round) % kThreads;
      threads.emplace_back([&, t, set] {
        start.arrive_and_wait();
        together[static_cast<size_t>(t)] = Work(set);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
      const size_t set = static_cast<size_t>((t + round) % kThreads);
      SCOPED_TRACE(testing::Message()
                   << "data set " << set << " on thread " << t << " round " << round);
      // The byte-wise equality first: on a difference, the texts themselves are too long to
      // read, so the first differing place is what is shown.
      const std::string& got = together[static_cast<size_t>(t)];
      if (got != alone[set]) {
        size_t at = 0;
        while (at < got.size() && at < alone[set].size() && got[at] == alone[set][at]) ++at;
        ADD_FAILURE() << "texts differ at byte " << at << " (lengths " << got.size() << " and "
                      << alone[set].size() << "): together \"" << got.substr(at, 120)
                      << "\", alone \"" << alone[set].substr(at, 120) << "\"";
      }
    }
  }
}

}  // namespace
