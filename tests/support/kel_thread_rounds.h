// Runs the same pieces of work alone and then on several threads at once, for the thread tests.
#ifndef KELMATH_TESTS_KEL_THREAD_ROUNDS_H
#define KELMATH_TESTS_KEL_THREAD_ROUNDS_H

#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <vector>

namespace kel_test {

// Computes work(set) for every set alone, on this thread; then, for each round, starts one
// thread per set together (a latch releases them at once), thread t taking set
// (t + round) % sets so that every set meets other neighbours in each round, and calls
// compare(together, alone, set) with a trace naming the set, the thread and the round.
template <class Work, class Compare>
void ExpectSameTogetherAsAlone(int sets, int rounds, Work work, Compare compare) {
  using Result = decltype(work(0));
  std::vector<Result> alone;
  for (int set = 0; set < sets; ++set) alone.push_back(work(set));
  for (int round = 0; round < rounds; ++round) {
    std::vector<Result> together(static_cast<size_t>(sets));
    std::latch start(sets);
    std::vector<std::thread> threads;
    for (int t = 0; t < sets; ++t) {
      const int set = (t + round) % sets;
      threads.emplace_back([&, t, set] {
        start.arrive_and_wait();
        together[static_cast<size_t>(t)] = work(set);
      });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < sets; ++t) {
      const int set = (t + round) % sets;
      SCOPED_TRACE(testing::Message()
                   << "data set " << set << " on thread " << t << " round " << round);
      compare(together[static_cast<size_t>(t)], alone[static_cast<size_t>(set)], set);
    }
  }
}

}  // namespace kel_test

#endif  // KELMATH_TESTS_KEL_THREAD_ROUNDS_H
