// The bridge between the library's per-experiment model calls and a model that computes every
// experiment in one call. The library asks for one experiment at a time, but in sweeps: all
// stored experiments in order at one parameter vector (the objective, each column of the
// difference Jacobian), the uncertain x changing one experiment at a time at fixed parameters
// (the x step with errors in the variables), and all candidate experiments of the search in
// order (experiment 0). The cache answers such a sweep from one batch evaluation: the first
// call of a new parameter vector evaluates every row the sweep is expected to visit, and the
// later calls are answered from that batch whenever their x is exactly the batch's row. A call
// whose x is not the expected one is evaluated alone, so an answer is always the model's value
// at the exact (model, b, x) of the call. Plain C++: the evaluator it calls does the rest.
#ifndef KELMATH_PYTHON_NLS_SWEEP_CACHE_H
#define KELMATH_PYTHON_NLS_SWEEP_CACHE_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace kelmath_python {

// The rows of x a sweep is expected to visit, shared by the caches of the values and of the
// Jacobian (both sweep the same experiments). Row-major, numX values a row.
struct NlsKnownRows {
  int numX = 0;
  std::vector<double> stored;      // each experiment's x as last seen (the data at first)
  std::vector<double> candidates;  // the candidates, in the order the last search swept them
};

class NlsSweepCache {
 public:
  // Evaluates the model at b on rows (rows x numX, row-major) and returns the values of each
  // row in turn: numY of them, or numY x numParameters (row-major) for a Jacobian.
  using Evaluator = std::function<std::vector<double>(int model, const std::vector<double>& b,
                                                      const std::vector<double>& x, int rows)>;

  NlsSweepCache(int numY, bool perParameter, NlsKnownRows& known, Evaluator evaluate);

  // The values of one experiment (1-based; 0 for a candidate) of the model at b and x, written
  // to out (numY values, or numY x numParameters for a Jacobian).
  void Lookup(int model, int experiment, const double* b, int numParameters, const double* x,
              double* out);

  // How many times the evaluator ran, and how many experiments the cache was asked for.
  long long Evaluations() const { return evaluations.load(); }
  long long Lookups() const { return lookups.load(); }

 private:
  struct Entry {
    int model = 0;
    bool stored = true;
    std::vector<double> b;
    std::vector<double> x;  // the rows evaluated, row-major
    std::vector<double> values;
    int rows = 0;
    int width = 0;  // values per row
    std::uint64_t lastUse = 0;
  };

  void StoredLookup(int model, int experiment, const std::vector<double>& b, const double* x,
                    double* out);
  void CandidateLookup(int model, const std::vector<double>& b, const double* x, double* out);
  bool Matches(const Entry& e, int model, bool stored, const std::vector<double>& b) const;
  bool RowIs(const Entry& e, int row, const double* x) const;  // row 0-based
  Entry* Find(int model, bool stored, const std::vector<double>& b,
              const std::vector<double>* rows);
  Entry& Evaluate(int model, bool stored, const std::vector<double>& b,
                  const std::vector<double>& rows);
  // Evaluates x alone and writes it into the entry's row (appending when row == e.rows).
  void EvaluateRow(Entry& e, int row, const double* x);
  void Answer(Entry& e, int row, double* out);

  int numY;
  bool perParameter;
  NlsKnownRows& known;
  Evaluator evaluate;
  std::vector<Entry> entries;  // the most recent sweeps, at most kEntries
  int storedEntry = -1;        // the entry that answered the last stored experiment
  int candidateEntry = -1;     // the entry of the candidate sweep under way
  int candidatePosition = 0;   // the row of it the next candidate call is expected at
  std::uint64_t clock = 0;
  std::vector<double> parameters;  // those of the lookup under way, kept to spare allocations
  // Atomic: Python may read them while another thread computes on the problem.
  std::atomic<long long> evaluations{0};
  std::atomic<long long> lookups{0};
};

}  // namespace kelmath_python

#endif
