// Exact minimum of the least-median-of-squares criterion for an odd number of experiments, by
// enumeration of the Chebyshev fits of all (n + 1)-subsets: for odd m the criterion is the
// h-th smallest squared residual (h = (m + 1) / 2), and at its minimum b* the h experiments
// nearest the fit have b* as their minimax fit, which is the Chebyshev fit of n + 1 of them,
// with its level equal to the h-th smallest absolute residual. So the minimum is the least
// criterion over the subsets whose own level is not above it, and a subset whose level already
// exceeds the best criterion so far needs no evaluation.
//
// The program shares no code with the library (its fits are written out here), so that its
// minima are an independent reference for the library's search.
//
// Usage: lms_exact_minimum <reference file with m, n, F[i,j], y[i]>
// Prints the minimum, its subset (1-based experiments) and its parameters, at 17 digits.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Solves the k x k system a x = rhs (row-major, overwritten; x replaces rhs) by Gauss
// elimination with partial pivoting. False when a pivot is negligible.
bool Solve(std::vector<double>& a, std::vector<double>& rhs, int k) {
  double largest = 0.0;
  for (double v : a) largest = std::max(largest, std::fabs(v));
  for (int c = 0; c < k; ++c) {
    int p = c;
    for (int r = c + 1; r < k; ++r)
      if (std::fabs(a[static_cast<size_t>(r * k + c)]) >
          std::fabs(a[static_cast<size_t>(p * k + c)]))
        p = r;
    if (!(std::fabs(a[static_cast<size_t>(p * k + c)]) > 1e-12 * largest)) return false;
    for (int j = 0; j < k; ++j)
      std::swap(a[static_cast<size_t>(p * k + j)], a[static_cast<size_t>(c * k + j)]);
    std::swap(rhs[static_cast<size_t>(p)], rhs[static_cast<size_t>(c)]);
    for (int r = c + 1; r < k; ++r) {
      const double factor = a[static_cast<size_t>(r * k + c)] / a[static_cast<size_t>(c * k + c)];
      for (int j = c; j < k; ++j)
        a[static_cast<size_t>(r * k + j)] -= factor * a[static_cast<size_t>(c * k + j)];
      rhs[static_cast<size_t>(r)] -= factor * rhs[static_cast<size_t>(c)];
    }
  }
  for (int r = k - 1; r >= 0; --r) {
    double sum = rhs[static_cast<size_t>(r)];
    for (int j = r + 1; j < k; ++j)
      sum -= a[static_cast<size_t>(r * k + j)] * rhs[static_cast<size_t>(j)];
    rhs[static_cast<size_t>(r)] = sum / a[static_cast<size_t>(r * k + r)];
  }
  return true;
}

bool NextSubset(int m, std::vector<int>& s) {
  const int k = static_cast<int>(s.size());
  int i = k - 1;
  while (i >= 0 && s[static_cast<size_t>(i)] == m - k + i + 1) --i;
  if (i < 0) return false;
  ++s[static_cast<size_t>(i)];
  for (int j = i + 1; j < k; ++j) s[static_cast<size_t>(j)] = s[static_cast<size_t>(j - 1)] + 1;
  return true;
}

struct Problem {
  int m = 0;
  int n = 0;
  std::vector<std::vector<double>> rows;  // rows[i][j], 1-based in both (index 0 unused)
  std::vector<double> y;                  // 1-based
};

bool Read(const char* path, Problem* p) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::replace(line.begin(), line.end(), '[', ' ');
    std::replace(line.begin(), line.end(), ']', ' ');
    std::replace(line.begin(), line.end(), ',', ' ');
    std::replace(line.begin(), line.end(), '=', ' ');
    std::istringstream words(line);
    std::string key;
    words >> key;
    if (key == "m" || key == "n") {
      words >> (key == "m" ? p->m : p->n);
      p->rows.assign(static_cast<size_t>(p->m + 1), std::vector<double>(p->n + 1, 0.0));
      p->y.assign(static_cast<size_t>(p->m + 1), 0.0);
    } else if (key == "F") {
      int i = 0, j = 0;
      double v = 0.0;
      words >> i >> j >> v;
      p->rows.at(static_cast<size_t>(i)).at(static_cast<size_t>(j)) = v;
    } else if (key == "y") {
      int i = 0;
      double v = 0.0;
      words >> i >> v;
      p->y.at(static_cast<size_t>(i)) = v;
    }
  }
  return p->m > 0 && p->n > 0;
}

double Residual(const Problem& p, const std::vector<double>& b, int i) {
  double r = p.y[static_cast<size_t>(i)];
  for (int j = 1; j <= p.n; ++j)
    r -= p.rows[static_cast<size_t>(i)][static_cast<size_t>(j)] * b[static_cast<size_t>(j - 1)];
  return r;
}

// Chebyshev fit of the n + 1 experiments s: with lambda the left null vector of their rows
// (lambda' A = 0), the level is delta = lambda' y / sum |lambda| and b solves the first n
// equations with y - delta sign(lambda). lambda has its last entry 1 and the others from the
// transposed first n rows; false when those rows are singular (then the subset is degenerate or
// its null vector has a zero last entry: the caller then puts another experiment last).
bool ChebyshevFit(const Problem& p, const std::vector<int>& s, std::vector<double>& b) {
  const int n = p.n;
  std::vector<double> a(static_cast<size_t>(n * n));
  std::vector<double> lambda(static_cast<size_t>(n));
  const std::vector<double>& last = p.rows[static_cast<size_t>(s[static_cast<size_t>(n)])];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      a[static_cast<size_t>(j * n + i)] =
          p.rows[static_cast<size_t>(s[static_cast<size_t>(i)])][static_cast<size_t>(j + 1)];
  for (int j = 0; j < n; ++j) lambda[static_cast<size_t>(j)] = -last[static_cast<size_t>(j + 1)];
  if (!Solve(a, lambda, n)) return false;
  double dot = p.y[static_cast<size_t>(s[static_cast<size_t>(n)])];
  double l1 = 1.0;
  for (int i = 0; i < n; ++i) {
    dot += lambda[static_cast<size_t>(i)] * p.y[static_cast<size_t>(s[static_cast<size_t>(i)])];
    l1 += std::fabs(lambda[static_cast<size_t>(i)]);
  }
  const double delta = dot / l1;
  for (int i = 0; i < n; ++i) {
    const double sign = lambda[static_cast<size_t>(i)] > 0.0
                            ? 1.0
                            : (lambda[static_cast<size_t>(i)] < 0.0 ? -1.0 : 0.0);
    for (int j = 0; j < n; ++j)
      a[static_cast<size_t>(i * n + j)] =
          p.rows[static_cast<size_t>(s[static_cast<size_t>(i)])][static_cast<size_t>(j + 1)];
    b[static_cast<size_t>(i)] = p.y[static_cast<size_t>(s[static_cast<size_t>(i)])] - delta * sign;
  }
  if (!Solve(a, b, n)) return false;
  for (double v : b)
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Problem p;
  if (argc != 2 || !Read(argv[1], &p)) {
    std::fprintf(stderr, "usage: lms_exact_minimum <reference file>\n");
    return 1;
  }
  if (p.m % 2 == 0 || p.m < p.n + 2) {
    std::fprintf(stderr, "an odd number of experiments above n + 1 is needed\n");
    return 1;
  }
  const int m = p.m;
  const int n = p.n;
  const size_t h = static_cast<size_t>((m + 1) / 2);
  std::vector<int> rows(static_cast<size_t>(n + 1));
  for (int i = 0; i <= n; ++i) rows[static_cast<size_t>(i)] = i + 1;
  std::vector<double> b(static_cast<size_t>(n));
  std::vector<double> bestB;
  std::vector<int> bestRows;
  std::vector<double> squares(static_cast<size_t>(m));
  double best = HUGE_VAL;
  long long subsets = 0;
  long long evaluated = 0;
  do {
    ++subsets;
    // Another experiment last when the first n are singular.
    bool fitted = ChebyshevFit(p, rows, b);
    for (int t = n - 1; t >= 0 && !fitted; --t) {
      std::vector<int> order = rows;
      std::swap(order[static_cast<size_t>(t)], order[static_cast<size_t>(n)]);
      fitted = ChebyshevFit(p, order, b);
    }
    if (!fitted) continue;
    double level = 0.0;
    for (int i : rows) level = std::max(level, std::fabs(Residual(p, b, i)));
    // Rounding: the level is compared with a margin far above it.
    if (level * level > best * (1.0 + 1e-9)) continue;
    ++evaluated;
    for (int i = 1; i <= m; ++i) {
      const double r = Residual(p, b, i);
      squares[static_cast<size_t>(i - 1)] = r * r;
    }
    std::nth_element(squares.begin(), squares.begin() + static_cast<long>(h - 1), squares.end());
    if (squares[h - 1] < best) {
      best = squares[h - 1];
      bestB = b;
      bestRows = rows;
    }
  } while (NextSubset(m, rows));
  std::printf("subsets = %lld\nevaluated = %lld\nexact_min = %.17g\n", subsets, evaluated, best);
  for (size_t i = 0; i < bestRows.size(); ++i)
    std::printf("subset[%zu] = %d\n", i + 1, bestRows[i]);
  for (size_t j = 0; j < bestB.size(); ++j)
    std::printf("coefficient[%zu] = %.17g\n", j + 1, bestB[j]);
  return 0;
}
