// A regression on untrusted input inside a host program: the result or the error text comes
// back as a value, nothing is written to a file or the console, and two threads fit at once.
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "kelmath.h"

struct LineFit {
  bool ok = false;
  double intercept = 0.0;
  double slope = 0.0;
  double r2 = 0.0;
  std::string report;  // the least-squares report, captured
  std::string error;   // the library's message when the fit was refused
};

// Fits y = b1 + b2 x. Any violated precondition (sizes that differ, a NaN, too few points)
// comes back in `error` instead of ending the program.
LineFit FitLine(const std::vector<double>& x, const std::vector<double>& y) {
  LineFit fit;
  KelErrorModeScope throwing(KelErrorMode::Throw);  // this thread only
  kelWarningMode = 0;  // this thread's warnings go to the captured report only
  try {
    KelOutputScope capture(fit.report);  // this thread's reports go to fit.report
    KelMatrix F(static_cast<int>(x.size()), 2);
    KelVector Y(static_cast<int>(y.size()));
    for (int i = 1; i <= F.Rows(); ++i) {
      F(i, 1) = 1.0;
      F(i, 2) = x[i - 1];
    }
    for (int i = 1; i <= Y.Size(); ++i) Y(i) = y[i - 1];
    KelLinearRegression regression(F, Y);
    regression.LeastSquaresAnalysis();
    fit.intercept = regression.Parameters()(1);
    fit.slope = regression.Parameters()(2);
    fit.r2 = regression.R2();
    fit.ok = true;
  } catch (const KelException& e) {
    fit.error = e.what();
  }
  return fit;
}

int main() {
  const std::vector<double> x = {1., 2., 3., 4., 5., 6.};
  const std::vector<double> good = {3.1, 4.9, 7.2, 8.8, 11.1, 12.9};
  const std::vector<double> bad = {3.1, 4.9, 7.2, 8.8, 11.1};  // one value short

  LineFit first, second;
  std::thread one([&] { first = FitLine(x, good); });
  std::thread two([&] { second = FitLine(x, bad); });
  one.join();
  two.join();

  FILE* out = std::fopen("embedding.txt", "w");
  if (out == nullptr) return 1;
  for (const LineFit* fit : {&first, &second}) {
    if (fit->ok) {
      std::fprintf(out, "fit: y = %.4f + %.4f x, R2 = %.6f, report of %zu characters\n",
                   fit->intercept, fit->slope, fit->r2, fit->report.size());
    } else {
      std::fprintf(out, "refused: %s\n", fit->error.c_str());
    }
  }
  std::fclose(out);
  return 0;
}
