// Kernels of the least-median-of-squares search: the generator against the published SplitMix64
// sequence, subsets, the Chebyshev fit against its defining property, and the least-median
// location and its rejection test against brute force over a fine grid of locations.
#include "linear_regression/kel_lms_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "dense_solve_test_support.h"

namespace {

// The library's median rule over the squared distances from c, by a full sort.
double MedianOfSquares(const std::vector<double>& values, double c) {
  std::vector<double> squares;
  for (double v : values) squares.push_back((v - c) * (v - c));
  std::sort(squares.begin(), squares.end());
  const size_t m = squares.size();
  return m % 2 == 1 ? squares[m / 2] : (squares[m / 2 - 1] + squares[m / 2]) / 2.0;
}

// Smallest criterion over every midpoint of two values and every value itself: the candidates
// where a piecewise quadratic in c can have its minimum, found here without any rank argument.
double BruteForceMinimum(const std::vector<double>& values) {
  double best = MedianOfSquares(values, values[0]);
  for (double a : values)
    for (double b : values) best = std::min(best, MedianOfSquares(values, (a + b) / 2.0));
  return best;
}

std::vector<double> Sample(KelLmsRandom& random, int m) {
  std::vector<double> values;
  for (int i = 0; i < m; ++i) {
    // Clusters and far values, so that the best location is not simply the middle.
    const double u = static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
    values.push_back(i % 5 == 0 ? 40.0 * u - 20.0 : u + (i % 3));
  }
  return values;
}

TEST(LmsRandom, FirstValuesAreThePublishedSplitMix64Sequence) {
  KelLmsRandom random(0);
  EXPECT_EQ(random.Next(), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(random.Next(), 0x6E789E6AA1B965F4ull);
  EXPECT_EQ(random.Next(), 0x06C45D188009454Full);
}

TEST(LmsRandom, SubsetsAreDistinctInRangeAndCoverEveryIndex) {
  KelLmsRandom random(7);
  std::vector<int> seen(11, 0);
  int subset[4];
  for (int draw = 0; draw < 500; ++draw) {
    random.DrawSubset(10, 4, subset);
    const std::set<int> distinct(subset, subset + 4);
    EXPECT_EQ(distinct.size(), 4u);
    for (int index : subset) {
      ASSERT_GE(index, 1);
      ASSERT_LE(index, 10);
      ++seen[static_cast<size_t>(index)];
    }
  }
  // 2000 indices over 10 values: each near 200 (binomial standard deviation 13).
  for (int i = 1; i <= 10; ++i) EXPECT_NEAR(seen[static_cast<size_t>(i)], 200, 60) << i;
}

TEST(LmsSubsets, LexicographicEnumerationVisitsEverySubsetOnce) {
  int subset[3] = {1, 2, 3};
  std::set<std::vector<int>> visited;
  do {
    visited.insert(std::vector<int>(subset, subset + 3));
  } while (KelNextSubset(6, 3, subset));
  EXPECT_EQ(visited.size(), 20u);  // 6 choose 3
  EXPECT_EQ(*visited.rbegin(), (std::vector<int>{4, 5, 6}));
}

// Three points (1, 1), (2, 3), (3, 2) and a line: the minimax line is parallel to the chord of
// the outer points and halfway between it and the middle point.
TEST(LmsChebyshevFit, ThreePointsOnALineEquioscillate) {
  const double r1[] = {0.0, 1.0, 1.0};
  const double r2[] = {0.0, 1.0, 2.0};
  const double r3[] = {0.0, 1.0, 3.0};
  const double* rows[] = {nullptr, r1, r2, r3};
  const double y[] = {0.0, 1.0, 3.0, 2.0};
  const int subset[] = {1, 2, 3};
  double b[2];
  std::vector<double> scratch;
  ASSERT_TRUE(KelChebyshevFit(rows, y, subset, 2, b, scratch));
  // Chord slope (2 - 1) / (3 - 1) = 0.5; the chord at x = 2 gives 1.5, the point is 3: the
  // line sits halfway, 0.75 above the chord, and every residual is 0.75 in size.
  EXPECT_NEAR(b[1], 0.5, 1e-14);
  EXPECT_NEAR(b[0], 0.5 + 0.75, 1e-14);
  EXPECT_NEAR(y[1] - (b[0] + b[1]), -0.75, 1e-14);
  EXPECT_NEAR(y[2] - (b[0] + 2 * b[1]), 0.75, 1e-14);
  EXPECT_NEAR(y[3] - (b[0] + 3 * b[1]), -0.75, 1e-14);
}

// Four experiments in a plane: the fit's largest absolute residual is no larger than at any
// other parameters tried nearby (the minimax property), and it is reached at all four.
TEST(LmsChebyshevFit, FourExperimentsInThreeParametersAreMinimax) {
  const double r1[] = {0.0, 1.0, 0.3, 2.0};
  const double r2[] = {0.0, 1.0, 1.7, -1.0};
  const double r3[] = {0.0, 1.0, -2.2, 0.4};
  const double r4[] = {0.0, 1.0, 0.9, 3.1};
  const double* rows[] = {nullptr, r1, r2, r3, r4};
  const double y[] = {0.0, 1.5, -0.7, 2.9, 0.2};
  const int subset[] = {1, 2, 3, 4};
  double b[3];
  std::vector<double> scratch;
  ASSERT_TRUE(KelChebyshevFit(rows, y, subset, 3, b, scratch));
  auto largest = [&](const double* p) {
    double worst = 0.0;
    for (int i = 1; i <= 4; ++i)
      worst = std::max(worst,
                       std::fabs(y[i] - rows[i][1] * p[0] - rows[i][2] * p[1] - rows[i][3] * p[2]));
    return worst;
  };
  const double at = largest(b);
  for (int i = 1; i <= 4; ++i)
    EXPECT_NEAR(std::fabs(y[i] - rows[i][1] * b[0] - rows[i][2] * b[1] - rows[i][3] * b[2]), at,
                1e-12);
  for (int k = 0; k < 3; ++k)
    for (double step : {-1e-3, 1e-3}) {
      double q[3] = {b[0], b[1], b[2]};
      q[k] += step;
      EXPECT_GE(largest(q), at);
    }
}

TEST(LmsChebyshevFit, DegenerateSubsetIsRefused) {
  const double r1[] = {0.0, 1.0, 2.0};
  const double r2[] = {0.0, 1.0, 2.0};
  const double r3[] = {0.0, 1.0, 2.0};
  const double* rows[] = {nullptr, r1, r2, r3};
  const double y[] = {0.0, 1.0, 2.0, 3.0};
  const int subset[] = {1, 2, 3};
  double b[2];
  std::vector<double> scratch;
  EXPECT_FALSE(KelChebyshevFit(rows, y, subset, 2, b, scratch));
}

// Three points on the lines x -> (1, x) of a straight-line fit: the Chebyshev level of three
// points is half the distance of the middle response from the line through the outer two. With
// reference (0, 0), (1, 1), (2, 0) and (3, 3) entering: {1, 2, 3} -> |0 - 2| / 2 = 1,
// {0, 2, 3} -> |0 - 2| / 2 = 1, {0, 1, 3} -> |1 - 1| / 2 = 0.
TEST(LmsExchangeLevels, HandWorkedStraightLine) {
  const double r1[] = {0.0, 1.0, 0.0};
  const double r2[] = {0.0, 1.0, 1.0};
  const double r3[] = {0.0, 1.0, 2.0};
  const double r4[] = {0.0, 1.0, 3.0};
  const double* rows[] = {nullptr, r1, r2, r3, r4};
  const double y[] = {0.0, 0.0, 1.0, 0.0, 3.0};
  const int reference[] = {1, 2, 3};
  double levels[3];
  std::vector<double> scratch;
  ASSERT_TRUE(KelExchangeLevels(rows, y, reference, 2, 4, levels, scratch));
  EXPECT_NEAR(levels[0], 1.0, 1e-14);
  EXPECT_NEAR(levels[1], 1.0, 1e-14);
  EXPECT_NEAR(levels[2], 0.0, 1e-14);
}

// Removing the experiment at x = 3 leaves three at x = 1, which fit no line uniquely; the other
// exchanges keep a unique fit: two responses at x = 1 and one elsewhere have level half their
// difference. All four at the same x have rank 1: no levels at all.
TEST(LmsExchangeLevels, DegenerateExchangesAreMarked) {
  const double one[] = {0.0, 1.0, 1.0};
  const double three[] = {0.0, 1.0, 3.0};
  const double* rows[] = {nullptr, one, one, three, one};
  const double y[] = {0.0, 2.0, 5.0, 7.0, 4.0};
  const int reference[] = {1, 2, 3};
  double levels[3];
  std::vector<double> scratch;
  ASSERT_TRUE(KelExchangeLevels(rows, y, reference, 2, 4, levels, scratch));
  EXPECT_NEAR(levels[0], 0.5, 1e-14);  // {5, 4} at x = 1
  EXPECT_NEAR(levels[1], 1.0, 1e-14);  // {2, 4} at x = 1
  EXPECT_LT(levels[2], 0.0);
  const double* flat[] = {nullptr, one, one, one, one};
  EXPECT_FALSE(KelExchangeLevels(flat, y, reference, 2, 4, levels, scratch));
}

// The Chebyshev level of n + 1 experiments by every sign pattern of the residuals: each pattern
// s gives the fit with residuals s(i) delta, and the least |delta| is the minimax level.
double LevelBySigns(const std::vector<std::vector<double>>& x, const std::vector<double>& y) {
  const size_t k = y.size();
  double best = HUGE_VAL;
  for (unsigned pattern = 0; pattern < (1u << (k - 1)); ++pattern) {
    std::vector<std::vector<double>> a(x);
    for (size_t i = 0; i < k; ++i)
      a[i].push_back(i == 0 || ((pattern >> (i - 1)) & 1u) == 0 ? 1.0 : -1.0);
    std::vector<double> solution;
    if (lr_test::SolveDense(a, y, &solution, 1e-12))
      best = std::min(best, std::fabs(solution.back()));
  }
  return best;
}

TEST(LmsExchangeLevels, MatchLevelsBySignPatterns) {
  KelLmsRandom random(29);
  auto uniform = [&random]() {
    return static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
  };
  for (int trial = 0; trial < 30; ++trial) {
    const int n = 2 + trial % 4;
    const int count = n + 2;
    std::vector<std::vector<double>> storage(static_cast<size_t>(count + 1),
                                             std::vector<double>(static_cast<size_t>(n + 1)));
    std::vector<const double*> rows(static_cast<size_t>(count + 1), nullptr);
    std::vector<double> y(static_cast<size_t>(count + 1), 0.0);
    for (int i = 1; i <= count; ++i) {
      std::vector<double>& row = storage[static_cast<size_t>(i)];
      row[1] = 1.0;
      for (int j = 2; j <= n; ++j) row[static_cast<size_t>(j)] = 10.0 * uniform() - 5.0;
      y[static_cast<size_t>(i)] = 20.0 * uniform();
      rows[static_cast<size_t>(i)] = row.data();
    }
    std::vector<int> reference;
    for (int i = 1; i <= n + 1; ++i) reference.push_back(i);
    std::vector<double> levels(static_cast<size_t>(n + 1));
    std::vector<double> scratch;
    ASSERT_TRUE(KelExchangeLevels(rows.data(), y.data(), reference.data(), n, count, levels.data(),
                                  scratch));
    for (int t = 0; t <= n; ++t) {
      std::vector<std::vector<double>> x;
      std::vector<double> responses;
      for (int i = 1; i <= count; ++i) {
        if (i == t + 1) continue;
        x.emplace_back(storage[static_cast<size_t>(i)].begin() + 1,
                       storage[static_cast<size_t>(i)].end());
        responses.push_back(y[static_cast<size_t>(i)]);
      }
      const double expected = LevelBySigns(x, responses);
      EXPECT_NEAR(levels[static_cast<size_t>(t)], expected, 1e-10 * (1.0 + expected))
          << trial << " " << t;
    }
  }
}

// The minimax fit over many experiments against linear programming duality: its level equals
// the largest Chebyshev level over all (n + 1)-subsets (each is a lower bound, and the
// reference reaches it), every residual is within it, and moving any parameter raises it.
TEST(LmsMinimaxFit, LevelIsTheLargestChebyshevLevelOfAllSubsets) {
  KelLmsRandom random(11);
  auto uniform = [&random]() {
    return static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
  };
  for (int trial = 0; trial < 20; ++trial) {
    const int m = 9 + trial % 5;
    const int n = 2 + trial % 3;
    std::vector<std::vector<double>> storage(static_cast<size_t>(m + 1),
                                             std::vector<double>(static_cast<size_t>(n + 1)));
    std::vector<const double*> rows(static_cast<size_t>(m + 1), nullptr);
    std::vector<double> y(static_cast<size_t>(m + 1), 0.0);
    for (int i = 1; i <= m; ++i) {
      std::vector<double>& row = storage[static_cast<size_t>(i)];
      row[1] = 1.0;
      for (int j = 2; j <= n; ++j) row[static_cast<size_t>(j)] = 10.0 * uniform();
      y[static_cast<size_t>(i)] = row[2] + (i % 4 == 0 ? 20.0 : 3.0) * uniform();
      rows[static_cast<size_t>(i)] = row.data();
    }
    auto residual = [&](const double* b, int i) {
      double r = y[static_cast<size_t>(i)];
      for (int j = 1; j <= n; ++j) r -= rows[static_cast<size_t>(i)][j] * b[j - 1];
      return std::fabs(r);
    };
    // Every experiment but the first, so that the set is not simply 1 .. m.
    std::vector<int> set;
    for (int i = 2; i <= m; ++i) set.push_back(i);
    std::vector<int> reference(set.begin(), set.begin() + n + 1);
    std::vector<double> b(static_cast<size_t>(n));
    std::vector<double> scratch;
    double level = 0.0;
    ASSERT_TRUE(KelMinimaxFit(rows.data(), y.data(), set.data(), static_cast<int>(set.size()), n,
                              reference.data(), b.data(), &level, scratch));
    double dual = 0.0;
    std::vector<int> subset(static_cast<size_t>(n + 1));
    for (int i = 0; i <= n; ++i) subset[static_cast<size_t>(i)] = i + 1;
    std::vector<double> c(static_cast<size_t>(n));
    do {
      std::vector<int> chosen;
      for (int index : subset) chosen.push_back(set[static_cast<size_t>(index - 1)]);
      if (KelChebyshevFit(rows.data(), y.data(), chosen.data(), n, c.data(), scratch))
        dual = std::max(dual, residual(c.data(), chosen[0]));
    } while (KelNextSubset(static_cast<int>(set.size()), n + 1, subset.data()));
    EXPECT_NEAR(level, dual, 1e-10 * dual) << trial;
    double worst = 0.0;
    for (int i : set) worst = std::max(worst, residual(b.data(), i));
    EXPECT_NEAR(worst, level, 1e-10 * level) << trial;
    for (int j = 0; j < n; ++j)
      for (double step : {-1e-4, 1e-4}) {
        std::vector<double> q = b;
        q[static_cast<size_t>(j)] += step;
        double moved = 0.0;
        for (int i : set) moved = std::max(moved, residual(q.data(), i));
        EXPECT_GT(moved, level) << trial;
      }
  }
}

TEST(LmsLocation, HandWorkedOddAndEvenSamples) {
  // Odd m = 5, h = 3: intervals of 3 sorted values 0 1 2 | 1 2 10 | 2 10 11: the first is the
  // shortest (2), midpoint 1.
  std::vector<double> odd = {10.0, 2.0, 0.0, 11.0, 1.0};
  EXPECT_EQ(KelLmsLocation(odd), 1.0);
  // Even m = 4 (h = 2): values 0 1 3 10; at c the mean of the 2nd and 3rd smallest squared
  // distances. c = 1.5: distances 1.5 0.5 1.5 8.5 -> (1.5^2 + 1.5^2) / 2 = 2.25; c = 1:
  // 1 0 2 9 -> (1 + 4) / 2 = 2.5; c = 2: 2 1 1 8 -> (1 + 4) / 2 = 2.5; 1.5 is the minimum.
  std::vector<double> even = {3.0, 0.0, 10.0, 1.0};
  EXPECT_EQ(KelLmsLocation(even), 1.5);
}

TEST(LmsLocation, MatchesBruteForceOnRandomSamples) {
  KelLmsRandom random(3);
  for (int m = 3; m <= 40; ++m) {
    std::vector<double> values = Sample(random, m);
    const std::vector<double> original = values;
    const double c = KelLmsLocation(values);
    const double expected = BruteForceMinimum(original);
    EXPECT_NEAR(MedianOfSquares(original, c), expected, 1e-12 * (1.0 + expected)) << "m " << m;
  }
}

// The rejection test never rejects a bound that some location beats, and does reject bounds
// well below the minimum.
// Large samples go through the radix sort: the values come back in the order of std::sort, and
// for odd m the location is the midpoint of the shortest interval holding (m + 1) / 2 values,
// found here on the std::sort order (the first shortest one).
TEST(LmsLocation, LargeSamplesSortAsStdSortAndFindTheShortestHalf) {
  KelLmsRandom random(5);
  for (int m : {5000, 5001, 30001}) {
    std::vector<double> values;
    for (int i = 0; i < m; ++i) {
      const double u = static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
      // Both signs, magnitudes over many binades, repeated values and zeros.
      if (i % 7 == 0)
        values.push_back(std::floor(10.0 * u) - 5.0);
      else if (i % 11 == 0)
        values.push_back(0.0);
      else
        values.push_back((u - 0.4) * std::pow(10.0, static_cast<double>(i % 9) - 3.0));
    }
    std::vector<double> expected = values;
    std::sort(expected.begin(), expected.end());
    const double c = KelLmsLocation(values);
    ASSERT_EQ(values, expected) << "m " << m;
    if (m % 2 == 0) continue;
    const size_t span = static_cast<size_t>((m + 1) / 2 - 1);
    size_t best = 0;
    for (size_t i = 1; i + span < expected.size(); ++i)
      if (expected[i + span] - expected[i] < expected[best + span] - expected[best]) best = i;
    EXPECT_EQ(c, (expected[best] + expected[best + span]) / 2.0) << "m " << m;
  }
}

TEST(LmsLocation, RejectionNeverRejectsAnAttainableBound) {
  KelLmsRandom random(5);
  std::vector<int> counts;
  for (int m = 3; m <= 60; ++m) {
    std::vector<double> values = Sample(random, m);
    const double minimum = BruteForceMinimum(values);
    EXPECT_TRUE(KelLmsLocationCanBeBelow(values, minimum * 1.0001 + 1e-300, counts)) << m;
    // Odd m, a tenth of the minimum: h values would have to fit in 2 sqrt(0.1) < 0.64 of the
    // shortest interval holding h values; the histogram sees that when its bins (at most a
    // quarter of that width, or range / 2m when larger) are narrow enough. (For even m the minimum
    // also involves the (h + 1)-th value, so a low bound can still be plausible for h values.)
    const double width = 2.0 * std::sqrt(0.1 * minimum);
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (m % 2 == 1 && minimum > 0.0 && (*high - *low) / (2.0 * m) < width / 4.0) {
      EXPECT_FALSE(KelLmsLocationCanBeBelow(values, 0.1 * minimum, counts)) << m;
    }
  }
  std::vector<double> none = {1.0, 2.0, 3.0};
  EXPECT_FALSE(KelLmsLocationCanBeBelow(none, 0.0, counts));
}

// {0, 1, 2, 10}, h = 2: no two values are closer than 1, so no location has a criterion below
// (1 / 2)^2; the best location is 1, with squared distances 0, 1, 1, 81 and criterion 1.
TEST(LmsLocation, ExactRejectionHandWorked) {
  std::vector<double> values = {10.0, 2.0, 0.0, 1.0};
  double location = -1.0;
  EXPECT_FALSE(KelLmsLocationBelow(values, 0.2, &location));
  EXPECT_EQ(location, -1.0);
  EXPECT_TRUE(KelLmsLocationBelow(values, 1.0001, &location));
  EXPECT_DOUBLE_EQ(location, 1.0);
}

// Never false when the brute-force minimum is below the bound, and then the location attains
// that minimum; false whenever the bound is under the square of half the narrowest h values
// (counted by brute force over all intervals between two values).
TEST(LmsLocation, ExactRejectionAgainstBruteForce) {
  KelLmsRandom random(17);
  for (int m = 3; m <= 60; ++m) {
    std::vector<double> values = Sample(random, m);
    const double minimum = BruteForceMinimum(values);
    const int h = m % 2 == 0 ? m / 2 : (m + 1) / 2;
    double narrowest = HUGE_VAL;
    for (double a : values)
      for (double b : values) {
        if (b < a) continue;
        const auto inside =
            std::count_if(values.begin(), values.end(), [&](double v) { return v >= a && v <= b; });
        if (inside >= h) narrowest = std::min(narrowest, b - a);
      }
    std::vector<double> work = values;
    double location = 0.0;
    ASSERT_TRUE(KelLmsLocationBelow(work, minimum * 1.0001 + 1e-300, &location)) << m;
    EXPECT_NEAR(MedianOfSquares(values, location), minimum, 1e-12 * (1.0 + minimum)) << m;
    work = values;
    const double below = 0.99 * (narrowest / 2.0) * (narrowest / 2.0);
    EXPECT_FALSE(KelLmsLocationBelow(work, below, &location)) << m;
  }
}

}  // namespace

namespace {

// The library's median rule by a full sort: the middle value, or the mean of the two middle ones.
double SortedMedian(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t m = values.size();
  return m % 2 == 1 ? values[m / 2] : (values[m / 2 - 1] + values[m / 2]) / 2.0;
}

// Exactly the sorted median whatever the guess: at the median, near it (the selection among the
// gathered values), far off or meaningless (the full selection), for odd and even sizes, with
// ties and with values at the edges of the gathered range.
TEST(LmsMedianNear, SameValueAsTheSortedMedianForAnyGuess) {
  KelLmsRandom random(41);
  std::vector<double> buffer;
  for (int m : {1, 2, 63, 64, 65, 100, 201, 1000}) {
    std::vector<double> values;
    for (int i = 0; i < m; ++i) {
      const double u = static_cast<double>(random.Next() >> 11) / 9007199254740992.0;
      // Squares of residuals: many small ones, some ties, a few very large.
      values.push_back(i % 7 == 0 ? 400.0 * u : (i % 11 == 0 ? 0.25 : u * u));
    }
    const double expected = SortedMedian(values);
    for (double guess : {expected, 0.95 * expected, 1.05 * expected, expected / 1.3, expected * 1.3,
                         0.5 * expected, 2.0 * expected, 0.0, -1.0, HUGE_VAL}) {
      std::vector<double> work = values;
      EXPECT_EQ(KelMedianNear(work, guess, buffer), expected) << m << " guess " << guess;
    }
  }
}

}  // namespace
