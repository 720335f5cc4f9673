// Four nonlinear regressions estimated on four threads at once: each object must give, bit for
// bit, the estimates it gives alone on one thread, so no state of one estimation (the objectives
// of its minimizers, its model number, its scratch space) reaches another.
#include <bit>
#include <cstdint>
#include <latch>
#include <thread>
#include <vector>

#include "kel_test_support.h"
#include "kelmath.h"

namespace {

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
  const KelMatrix X(5, 2, 0.5, 0.5, 1., 0.5, 0.5, 1., 1., 1., 0.01, 2.);
  KelMatrix Y(5, 2);
  for (int i = 1; i <= 5; ++i) {
    const double x1 = X(i, 1), x2 = X(i, 2), den = 15.0 * x1 + 1.0 + 1.9 * x1;
    Y(i, 1) = 0.0005 * 15.0 * x1 * x2 / (15.0 * x1 + 1.0) + 2e-6 * Noise()(i + p.shift);
    Y(i, 2) = 0.16 * 15.0 * x1 * x2 / (den * den) + 5e-5 * Noise()(31 - i - p.shift);
  }
  KelNonLinearRegression r(kModels, X, Y, RivalModels);
  if (p.xVariances)
    r.SetVariances(4, KelVector(4, 8.6e-12, 5.4e-9, 1e-6, 1e-6));
  else
    r.SetVariances(4, KelVector(2, 8.6e-12, 5.4e-9));
  r.SetInitialParameters(1, KelVector(4, 0., 1., 1., 1.));
  r.SetInitialParameters(2, KelVector(4, 0., 1., 1., 1.));
  r.SetInitialParameters(3, KelVector(3, 0.0005, 0.16, 1.));
  r.SetInitialParameters(4, KelVector(4, 0.0005, 0.16, 1., 1.));
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
  std::vector<Estimates> alone;
  for (const Problem& p : problems) alone.push_back(Estimate(p));
  // The problem with errors in x runs x steps; the others none.
  EXPECT_GT(alone[3].xSteps, 0);
  EXPECT_EQ(alone[0].xSteps, 0);

  // Two rounds, the problems shifted by one thread in the second; the latch makes the four
  // start together.
  for (int round = 0; round < 2; ++round) {
    std::vector<Estimates> together(kThreads);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      const int problem = (t + round) % kThreads;
      threads.emplace_back([&, t, problem] {
        start.arrive_and_wait();
        together[static_cast<size_t>(t)] = Estimate(problems[problem]);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
      const size_t problem = static_cast<size_t>((t + round) % kThreads);
      SCOPED_TRACE(testing::Message() << problems[problem].name << " round " << round);
      const Estimates& got = together[static_cast<size_t>(t)];
      EXPECT_EQ(got.bits, alone[problem].bits);
      EXPECT_EQ(got.xSteps, alone[problem].xSteps);
    }
  }
}

}  // namespace
