"""Benchmark (not a test): kelmath.ols against statsmodels, and against the library's own C++ time.

On the same seeded data (ROWS x 10 normal regressors and an intercept, one gross error), in the
same process, both are asked for the same numbers:

    kelmath:      r = kelmath.ols(X, y); i = r.get_influence()
    statsmodels:  r = OLS(y, add_constant(X)).fit(); i = r.get_influence()
    then from both: params, bse, tvalues, pvalues, rsquared, fvalue, i.hat_matrix_diag,
    i.cooks_distance[0], i.resid_studentized_internal and the text of summary()

and the numbers are checked to agree (so that neither side skipped a computation). "C++" is the
same fit (kelmath's FitOls: ComputeRegression with the influence measures and covariance) and
summary made in C++ on a request built once, timed inside the compiled module
(kelmath._kelmath._fit_ols_seconds), so ``python / C++`` is what the Python call adds. Times are
the best of --repeats rounds (more for small sizes: a second's worth) of wall times, the three
measured in turn in each round. The externally studentized residuals are left out of the
comparison: statsmodels computes them by refitting without each row in turn (m fits, 69 s at
10^4 rows on the machine of the table in bench/python/README.md), kelmath by the closed form in
the same pass; one line times that on --external-rows rows (default 2000). Peak memory (MB of resident set) is measured in a fresh
process per tool and size (--no-memory leaves it out). Last, two fits of the largest size on one
thread against one fit on each of two threads: the speed-up the released GIL allows.

Run from the source tree after building the module (Debian's python3-statsmodels needed):

    cmake --build build --target kelmath_python
    PYTHONPATH=build/python /usr/bin/python3 bench/python/bench_ols.py [ROWS ...] [--repeats N]

ROWS default to 10000 100000 1000000. The goals: python / C++ <= 1.2, statsmodels / kelmath
>= 3 at 10^6 x 10. Nothing is written anywhere.
"""
import argparse
import os
import subprocess
import sys
import threading
import time

import numpy

import kelmath
from kelmath import _kelmath
from kelmath._ols import model_arguments

COLUMNS = 10


def make_data(rows):
    rng = numpy.random.default_rng(20240601 + rows)
    x = rng.normal(size=(rows, COLUMNS)) * numpy.arange(1.0, COLUMNS + 1.0)
    y = 3.0 + x @ (0.5 + numpy.arange(1.0, COLUMNS + 1.0)) + 0.1 * rng.normal(size=rows)
    y[rows // 2] += 25.0
    return x, y


def asked(results, influence, summary_text):
    return {"params": numpy.asarray(results.params), "bse": numpy.asarray(results.bse),
            "tvalues": numpy.asarray(results.tvalues),
            "pvalues": numpy.asarray(results.pvalues), "rsquared": results.rsquared,
            "fvalue": results.fvalue, "hat": numpy.asarray(influence.hat_matrix_diag),
            "cooks": numpy.asarray(influence.cooks_distance[0]),
            "student": numpy.asarray(influence.resid_studentized_internal),
            "summary": summary_text}


def run_kelmath(x, y):
    results = kelmath.ols(x, y)
    return asked(results, results.get_influence(), results.summary())


def run_statsmodels(x, y):
    import statsmodels.api as sm
    results = sm.OLS(y, sm.add_constant(x)).fit()
    return asked(results, results.get_influence(), results.summary().as_text())


def check_agreement(ours, theirs):
    """The same numbers from both: a side that skipped a computation fails here. Tolerances
    are relative to the largest value of each (a residual near 0 has few correct digits)."""
    for key in ("params", "bse", "tvalues", "rsquared", "fvalue", "hat", "cooks", "student"):
        scale = numpy.max(numpy.abs(theirs[key]))
        numpy.testing.assert_allclose(ours[key], theirs[key], rtol=1e-7, atol=1e-9 * scale,
                                      err_msg=key)
    assert ours["summary"] and theirs["summary"]


def seconds_of(function):
    start = time.perf_counter()
    function()
    return time.perf_counter() - start


def best_seconds(function, repeats):
    return min(seconds_of(function) for _ in range(repeats))


def best_of_rounds(x, y, repeats):
    """Best seconds of the C++ work, kelmath and statsmodels, measured in turn in each round, so
    that a change in the machine's load falls on all three alike."""
    arguments, _ = model_arguments("ols", x, y)
    best = [float("inf")] * 3
    for _ in range(repeats):
        times = (_kelmath._fit_ols_seconds(arguments, 1)[0], seconds_of(lambda: run_kelmath(x, y)),
                 seconds_of(lambda: run_statsmodels(x, y)))
        best = [min(b, t) for b, t in zip(best, times)]
    return best


def peak_megabytes(tool, rows):
    """Peak resident memory of a fresh process that makes the data and runs the tool once."""
    output = subprocess.run([sys.executable, __file__, "--memory-of", tool, str(rows)],
                            check=True, capture_output=True, text=True).stdout
    return float(output.split()[-1])


def memory_child(tool, rows):
    x, y = make_data(rows)
    {"kelmath": run_kelmath, "statsmodels": run_statsmodels}[tool](x, y)
    # The high-water mark of this process's memory: ru_maxrss would include the parent's, which
    # Linux carries across fork and exec.
    with open("/proc/self/status") as status:
        [kilobytes] = [line.split()[1] for line in status if line.startswith("VmHWM:")]
    print(int(kilobytes) / 1024.0)


def external_studentized_seconds(rows):
    """Seconds of the externally studentized residuals after a fit, by each, and checks that
    they agree."""
    import statsmodels.api as sm
    x, y = make_data(rows)
    start = time.perf_counter()
    ours = kelmath.ols(x, y).get_influence().resid_studentized_external
    middle = time.perf_counter()
    theirs = sm.OLS(y, sm.add_constant(x)).fit().get_influence().resid_studentized_external
    end = time.perf_counter()
    numpy.testing.assert_allclose(ours, theirs, rtol=1e-7, atol=1e-9 * numpy.max(abs(theirs)))
    return middle - start, end - middle


def thread_speedup(x, y, repeats):
    """Seconds of two fits one after the other, and on two threads at once."""
    def serial():
        kelmath.ols(x, y)
        kelmath.ols(x, y)

    def parallel():
        threads = [threading.Thread(target=kelmath.ols, args=(x, y)) for _ in range(2)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()

    return best_seconds(serial, repeats), best_seconds(parallel, repeats)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("rows", nargs="*", type=int, default=[10000, 100000, 1000000])
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--no-memory", action="store_true")
    parser.add_argument("--external-rows", type=int, default=2000)
    parser.add_argument("--memory-of", nargs=2, help=argparse.SUPPRESS)
    options = parser.parse_args()
    if options.memory_of:
        memory_child(options.memory_of[0], int(options.memory_of[1]))
        return
    print(f"{'rows':>9} {'C++ s':>8} {'kelmath s':>10} {'statsm. s':>10} {'py/C++':>7} "
          f"{'sm/kel':>7} {'kel MB':>7} {'sm MB':>7}")
    for rows in options.rows:
        x, y = make_data(rows)
        check_agreement(run_kelmath(x, y), run_statsmodels(x, y))
        # Rounds enough for a second of the smaller sizes: their times are milliseconds.
        rounds = max(options.repeats, min(100, 1000000 // rows))
        cpp, ours, theirs = best_of_rounds(x, y, rounds)
        memory = ("", "") if options.no_memory else (
            f"{peak_megabytes('kelmath', rows):.0f}", f"{peak_megabytes('statsmodels', rows):.0f}")
        print(f"{rows:>9} {cpp:>8.3f} {ours:>10.3f} {theirs:>10.3f} {ours / cpp:>7.2f} "
              f"{theirs / ours:>7.1f} {memory[0]:>7} {memory[1]:>7}", flush=True)
    if options.external_rows > 0:
        ours, theirs = external_studentized_seconds(options.external_rows)
        print(f"\nresid_studentized_external at {options.external_rows} rows (with the fit): "
              f"kelmath {ours:.3f} s, statsmodels {theirs:.3f} s")
    rows = max(options.rows)
    x, y = make_data(rows)
    serial, parallel = thread_speedup(x, y, options.repeats)
    print(f"\n{rows} rows, two fits: one thread {serial:.3f} s, two threads {parallel:.3f} s, "
          f"speed-up {serial / parallel:.2f} on {os.cpu_count()} cores, load average "
          f"{os.getloadavg()[0]:.1f}")


if __name__ == "__main__":
    main()
