// Four nonlinear regressions estimated on four threads at once: each object must give, bit for
// bit, the estimates it gives alone on one thread, so no state of one estimation (the objectives
// of its minimizers, its model number, its scratch space) reaches another.
#include <bit>
#include <cstdint>
#include <vector>

#include "kel_rival_models.h"
#include "kel_test_support.h"
#include "kel_thread_rounds.h"
#include "kelmath.h"

namespace {

constexpr int kModels = 4;
constexpr int kThreads = 4;

// The program's five experiments with the noise sequence started shift places later, so that
// each thread fits data of its own. With xVariances the independent variables carry errors too
// and every estimation runs its x step.
struct Problem {
  const char* name;
  int shift;
  bool xVariances;
};
const Problem problems[kThreads] = {
    {"program data", 0, false},
    {"noise shifted by 3", 3, false},
    {"noise shifted by 7", 7, false},
    {"noise shifted by 11, errors in x", 11, true},
};

// The bits of the estimates of every model and of the comparison of the models.
struct Estimates {
  std::vector<std::uint64_t> bits;
  int xSteps = 0;
};

void Append(Estimates& e, double value) {
  e.bits.push_back(std::bit_cast<std::uint64_t>(value));
}

Estimates Estimate(const Problem& p) {
  const kel_test::RivalModelsData data = kel_test::MakeRivalModelsData(p.shift);
  KelNonLinearRegression r(kModels, data.X, data.Y, kel_test::RivalModels);
  kel_test::SetRivalModelsProgramStart(r);
  if (p.xVariances) r.SetVariances(4, KelVector(4, 8.6e-12, 5.4e-9, 1e-6, 1e-6));
  Estimates e;
  for (int model = 1; model <= kModels; ++model) {
    const KelVector b = r.GetParameters(model);
    for (int k = 1; k <= b.Size(); ++k) Append(e, b(k));
    Append(e, r.FinalSSE(model));
    for (int k = 1; k <= b.Size(); ++k) Append(e, r.StandardErrors(model)(k));
  }
  for (int model = 1; model <= kModels; ++model) Append(e, r.ComparisonValue(model));
  e.xSteps = r.XStepCount();
  return e;
}

class NonLinearThreads : public kel_test::QuietWarnings {};

TEST_F(NonLinearThreads, FourObjectsOnFourThreadsMatchEachAloneBitForBit) {
  // Two rounds, the problems shifted by one thread in the second.
  kel_test::ExpectSameTogetherAsAlone(
      kThreads, 2, [](int problem) { return Estimate(problems[problem]); },
      [](const Estimates& got, const Estimates& alone, int problem) {
        SCOPED_TRACE(problems[problem].name);
        // The problem with errors in x runs x steps; the others none.
        EXPECT_EQ(alone.xSteps > 0, problems[problem].xVariances);
        EXPECT_EQ(got.bits, alone.bits);
        EXPECT_EQ(got.xSteps, alone.xSteps);
      });
}

}  // namespace
