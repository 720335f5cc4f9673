// Mean, variance, standard deviation, medians and standardisation: worked examples, the R
// values of the demonstration samples, and the behaviour on empty and one-element vectors.
#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kel_statistics_samples.h"
#include "kel_test_support.h"
#include "kelmath.h"

using namespace kel_statistics_test;

namespace {

void ExpectRelativelyNear(double value, double reference, double tolerance,
                          const std::string& what) {
  EXPECT_LE(std::fabs(value - reference), tolerance * std::fabs(reference))
      << what << ": value " << value << " reference " << reference;
}

struct NamedSample {
  std::string name;
  KelVector values;
};

std::vector<NamedSample> DemonstrationSamples() {
  return {{"S1", SampleS1()},
          {"S2", SampleS2()},
          {"S3", SampleS3()},
          {"S4", SampleS4()},
          {"S5", SampleS5()}};
}

}  // namespace

TEST(Mean, WorkedValuesAndExtendedAccumulation) {
  EXPECT_EQ(KelMean(KelVector(4, 1., 2., 3., 6.)), 3.0);
  // 1e16 + 1 - 1e16 loses the 1 in double sums but not in extended precision.
  EXPECT_EQ(KelMean(KelVector(3, 1e16, 1., -1e16)), 1.0 / 3.0);
}

TEST(Variance, AboutMeanAndAboutGivenCentre) {
  const KelVector x(4, 1., 2., 3., 6.);
  // Deviations from 3: -2 -1 0 3, squares 4 1 0 9 -> 14 / 3.
  EXPECT_DOUBLE_EQ(KelVariance(x), 14.0 / 3.0);
  // About 0: 1 4 9 36 -> 50 / 3.
  EXPECT_DOUBLE_EQ(KelVariance(x, 0.0), 50.0 / 3.0);
  EXPECT_DOUBLE_EQ(KelStandardDeviation(x), std::sqrt(14.0 / 3.0));
  EXPECT_DOUBLE_EQ(KelStandardDeviation(x, 0.0), std::sqrt(50.0 / 3.0));
}

TEST(Variance, StandardDeviationIsSafeForHugeValues) {
  // The squares of 1e200 overflow; the scaled norm does not.
  const KelVector x(2, 1e200, -1e200);
  EXPECT_DOUBLE_EQ(KelStandardDeviation(x, 0.0), std::sqrt(2.0) * 1e200);
}

TEST(Median, OddAndEvenRule) {
  EXPECT_EQ(KelMedian(KelVector(3, 3., 1., 2.)), 2.0);
  EXPECT_EQ(KelMedian(KelVector(4, 4., 1., 3., 2.)), 2.5);
  EXPECT_EQ(KelMedian(KelVector(1, 7.)), 7.0);
  EXPECT_EQ(KelMedian(KelVector(2, 7., -1.)), 3.0);
  // Ties on both sides of the middle.
  EXPECT_EQ(KelMedian(KelVector(6, 5., 5., 1., 9., 5., 5.)), 5.0);
  EXPECT_EQ(KelMedianAbs(KelVector(4, -4., 1., -3., 2.)), 2.5);
  EXPECT_EQ(KelFastMedian(KelVector(4, 4., 1., 3., 2.)), 2.5);
}

TEST(Median, InputIsLeftUnchanged) {
  const KelVector x(5, 5., 1., 4., 2., 3.);
  const KelVector copy(x);
  KelMedian(x);
  KelFastMedian(x);
  KelMedianAbs(x);
  EXPECT_TRUE(x == copy);
}

TEST(Median, AgreesWithFullSortOnRandomSamples) {
  std::mt19937 generator(17);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (int n : {1, 2, 3, 10, 11, 1000, 1001, 30000}) {
    KelVector x(n);
    std::vector<double> sorted(static_cast<size_t>(n));
    for (int i = 1; i <= n; ++i) x(i) = sorted[static_cast<size_t>(i - 1)] = normal(generator);
    std::sort(sorted.begin(), sorted.end());
    const size_t h = static_cast<size_t>(n / 2);
    const double expected = n % 2 == 1 ? sorted[h] : (sorted[h - 1] + sorted[h]) / 2.0;
    EXPECT_EQ(KelMedian(x), expected) << n;
    // Up to 30000 values the fast median is exact too.
    EXPECT_EQ(KelFastMedian(x), expected) << n;
  }
}

TEST(FastMedian, TakesTheTripleMedianPathAbove30000ValuesOnly) {
  // 5001 triples (0, 10, 10) then 5000 triples (0, 0, 1). Sorted, the 30003 values are 15001
  // zeros, 5000 ones and 10002 tens: the exact median (value 15002) is 1. The triple medians
  // are 5001 tens and 5000 zeros, whose median is 10.
  KelVector x(30003);
  int i = 1;
  for (int g = 0; g < 5001; ++g) {
    x(i++) = 0.0;
    x(i++) = 10.0;
    x(i++) = 10.0;
  }
  for (int g = 0; g < 5000; ++g) {
    x(i++) = 0.0;
    x(i++) = 0.0;
    x(i++) = 1.0;
  }
  EXPECT_EQ(KelMedian(x), 1.0);
  EXPECT_EQ(KelFastMedian(x), 10.0);
  // 30001 values (10000 triples and a leftover 0) are reduced: 5000 zeros and 5001 tens.
  const KelVector above = x.GetKelVector(30001, 1);
  EXPECT_EQ(KelMedian(above), 1.0);
  EXPECT_EQ(KelFastMedian(above), 10.0);
  // 30000 values stay on the exact path (reduced, they would give 10 again).
  const KelVector limit = x.GetKelVector(30000, 1);
  EXPECT_EQ(KelMedian(limit), 1.0);
  EXPECT_EQ(KelFastMedian(limit), 1.0);
}

// The median by std::nth_element on a copy: the upper middle value, and for an even count the
// lower one selected again.
double NthElementMedian(std::vector<double> values) {
  const size_t h = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(h), values.end());
  const double upper = values[h];
  if (values.size() % 2 == 1) return upper;
  std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(h - 1),
                   values.end());
  return (values[h - 1] + upper) / 2.0;
}

// The reduction the fast median documents, written out plainly: the middle of each consecutive
// triple, then the 1 or 2 values left over, again until at most 30000 remain.
std::vector<double> ReducedByTriples(std::vector<double> values) {
  while (values.size() > 30000) {
    std::vector<double> reduced;
    size_t i = 0;
    for (; i + 3 <= values.size(); i += 3) {
      double triple[3] = {values[i], values[i + 1], values[i + 2]};
      std::sort(triple, triple + 3);
      reduced.push_back(triple[1]);
    }
    for (; i < values.size(); ++i) reduced.push_back(values[i]);
    values = reduced;
  }
  return values;
}

KelVector ToKelVector(const std::vector<double>& values) {
  KelVector x(static_cast<int>(values.size()));
  for (size_t i = 0; i < values.size(); ++i) x(static_cast<int>(i) + 1) = values[i];
  return x;
}

// 10000 triples, their middles alternately 0 and 10, then the leftovers 1 and 2: reduced, 5000
// zeros, 1, 2 and 5000 tens, whose median (1 + 2) / 2 is decided by the leftovers alone. Here it
// is also the exact median (15000 zeros, 1, 2, 15000 tens).
TEST(FastMedian, LeftoversOfTheTriplesDecideTheMedianAbove30000Values) {
  std::vector<double> values;
  for (int g = 0; g < 10000; ++g) {
    const bool low = g % 2 == 0;
    values.insert(values.end(), {low ? 0.0 : 10.0, low ? 0.0 : 10.0, low ? 10.0 : 0.0});
  }
  values.insert(values.end(), {1.0, 2.0});
  ASSERT_EQ(values.size(), 30002u);
  EXPECT_EQ(NthElementMedian(values), 1.5);
  EXPECT_EQ(KelFastMedian(ToKelVector(values)), NthElementMedian(values));
}

// 90011 values take two reductions (30005, then 10003 values), each leaving the same two values
// over. Groups of three triples with middles 0 (5000 groups) or 10 (5001) leave 5000 zeros and
// 5001 tens after both; with the leftovers 1 and 2 the median, value 5002 of 10003, is 2.
TEST(FastMedian, LeftoversSurviveEveryReductionAndDecideTheMedian) {
  std::vector<double> values;
  for (int group = 0; group < 10001; ++group) {
    const bool low = group % 2 == 1;
    for (int t = 0; t < 3; ++t)
      values.insert(values.end(), {low ? 0.0 : 10.0, low ? 10.0 : 0.0, low ? 0.0 : 10.0});
  }
  values.insert(values.end(), {1.0, 2.0});
  ASSERT_EQ(values.size(), 90011u);
  const std::vector<double> reduced = ReducedByTriples(values);
  ASSERT_EQ(reduced.size(), 10003u);
  EXPECT_EQ(NthElementMedian(reduced), 2.0);
  EXPECT_EQ(KelFastMedian(ToKelVector(values)), NthElementMedian(reduced));
}

// Random samples whose reductions leave 1 or 2 values over (or none), against the plain
// reduction.
TEST(FastMedian, AgreesWithThePlainTripleReductionOnRandomSamples) {
  std::mt19937 generator(29);
  std::normal_distribution<double> normal(0.0, 1.0);
  for (size_t n : {30001u, 30002u, 30003u, 90011u, 270050u}) {
    std::vector<double> values(n);
    for (double& v : values) v = normal(generator);
    EXPECT_EQ(KelFastMedian(ToKelVector(values)), NthElementMedian(ReducedByTriples(values))) << n;
  }
}

TEST(Standardize, DividesDeviationsAndGivesZerosForZeroScale) {
  const KelVector x(3, 1., 3., 5.);
  const KelVector z = KelStandardize(x, 3.0, 2.0);
  EXPECT_TRUE(z == KelVector(3, -1., 0., 1.));
  const KelVector zeros = KelStandardize(x, 3.0, 0.0);
  EXPECT_TRUE(zeros == KelVector(3, 0., 0., 0.));
}

TEST(DemonstrationSamples, LocationAndScaleAgreeWithR) {
  const std::map<std::string, double> reference = ReadStatisticsReference();
  for (const NamedSample& sample : DemonstrationSamples()) {
    const std::string& name = sample.name;
    ASSERT_TRUE(reference.count(name + ".mean")) << name;
    ExpectRelativelyNear(KelMean(sample.values), reference.at(name + ".mean"), 1e-15,
                         name + " mean");
    // The variance of nearly equal values loses digits to cancellation in any algorithm.
    ExpectRelativelyNear(KelVariance(sample.values), reference.at(name + ".variance"), 1e-10,
                         name + " variance");
    ExpectRelativelyNear(KelStandardDeviation(sample.values), reference.at(name + ".sd"), 1e-10,
                         name + " sd");
    ExpectRelativelyNear(KelMedian(sample.values), reference.at(name + ".median"), 1e-15,
                         name + " median");
  }
}

TEST(DemonstrationSamples, NormalDeviatesAgreeWithR) {
  const std::map<std::string, double> reference = ReadStatisticsReference();
  for (const NamedSample& sample : DemonstrationSamples()) {
    if (sample.name != "S3" && sample.name != "S4") continue;
    const KelVector z = ResidualsNormalDeviate(sample.values);
    ASSERT_EQ(z.Size(), 6);
    for (int i = 1; i <= 6; ++i) {
      const std::string key = sample.name + ".z_normal[" + std::to_string(i) + "]";
      ExpectRelativelyNear(z(i), reference.at(key), 1e-9, key);
    }
  }
}

using DescriptiveStatisticsDeathTest = ::testing::Test;

TEST(SmallSamples, EmptyAndOneElementGiveNonFiniteResults) {
  const KelVector empty;
  EXPECT_TRUE(std::isnan(KelMean(empty)));
  EXPECT_TRUE(std::isnan(KelVariance(empty)));
  EXPECT_TRUE(std::isnan(KelMedian(empty)));
  EXPECT_TRUE(std::isnan(KelFastMedian(empty)));
  EXPECT_TRUE(std::isnan(KelMedianAbs(empty)));
  EXPECT_EQ(KelStandardize(empty, 0.0, 1.0).Size(), 0);
  const KelVector one(1, 4.);
  EXPECT_EQ(KelMean(one), 4.0);
  EXPECT_FALSE(std::isfinite(KelVariance(one)));           // 0 / 0
  EXPECT_FALSE(std::isfinite(KelStandardDeviation(one)));  // 0 / 0
  EXPECT_TRUE(std::isinf(KelVariance(one, 0.0)));          // 16 / 0
  EXPECT_EQ(KelMedian(one), 4.0);
}

TEST_F(DescriptiveStatisticsDeathTest, StandardDeviationOfEmptyVectorIsFatalInSqrtSumSqr) {
  EXPECT_KEL_FATAL(KelStandardDeviation(KelVector()),
                   "\nIndex out of range\n\nFunction: SqrtSumSqr");
  EXPECT_KEL_FATAL(ResidualsNormalDeviate(KelVector()),
                   "\nIndex out of range\n\nFunction: SqrtSumSqr");
}
