// The reports of independent objects written on four threads at once, each thread capturing its
// own output: every thread's text must be byte-identical to the same work done alone on one
// thread, so no state of one analysis (its output channel, its warning mode, its minimizers'
// objectives, its singular value mode, its scratch space) reaches another. Built with
// -DKELMATH_TSAN=ON the same program also lets ThreadSanitizer watch every shared access.
//
// The least-squares reports print their covariance matrices with the matrix's serial number
// ("KelMatrixSymm No.284"), a process-wide counter that the other threads advance too: that
// number, and only that, is masked before the texts are compared.
#include <regex>
#include <string>
#include <vector>

#include "../linear_regression/linear_regression_test_data.h"
#include "kel_rival_models.h"
#include "kel_test_support.h"
#include "kel_thread_rounds.h"
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
  const kel_test::RivalModelsData data = kel_test::MakeRivalModelsData(p.shift);
  KelNonLinearRegression r(4, data.X, data.Y, kel_test::RivalModels);
  kel_test::SetRivalModelsProgramStart(r);
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
  // Two rounds, the data sets shifted by one thread in the second.
  kel_test::ExpectSameTogetherAsAlone(
      kThreads, 2, Work, [](const std::string& got, const std::string& alone, int) {
        // The texts hold every report: a capture that lost the output would compare equal too.
        EXPECT_NE(alone.find("==== rival models"), std::string::npos);
        EXPECT_NE(alone.find("KelMatrixSymm No.#"), std::string::npos);
        EXPECT_GT(alone.size(), 10000u);
        // On a difference the texts are too long to read: the first differing place is shown.
        if (got == alone) return;
        size_t at = 0;
        while (at < got.size() && at < alone.size() && got[at] == alone[at]) ++at;
        ADD_FAILURE() << "texts differ at byte " << at << " (lengths " << got.size() << " and "
                      << alone.size() << "): together \"" << got.substr(at, 120) << "\", alone \""
                      << alone.substr(at, 120) << "\"";
      });
}

}  // namespace
