"""kelmath.nls against scipy.optimize.curve_fit in the same process: NIST StRD problems from
NIST's first start and an exponential decay of 10,000 points, each fit timed with
time.perf_counter over repeats (the best of them). Not a test; run after the build:

    PYTHONPATH=build/python /usr/bin/python3 bench/python/bench_nls.py [--repeats N]

It prints one row per problem: the times, their ratio (kelmath / scipy), the residual sums of
squares of both, the library's model evaluations (nfev) and kelmath's Python calls."""
import argparse
import pathlib
import sys
import time

import numpy as np
from scipy import optimize

import kelmath

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "python" / "tests"))
from test_nls_nist import model, read_problem  # noqa: E402  (NIST's models, vectorised)


def best_time(fit, repeats):
    best, result = np.inf, None
    for _ in range(repeats):
        start = time.perf_counter()
        result = fit()
        best = min(best, time.perf_counter() - start)
    return best, result


def exponential_problem():
    rng = np.random.default_rng(1)
    x = np.linspace(0.0, 10.0, 10_000)
    y = 3.0 * np.exp(-0.7 * x) + 0.5 + 0.01 * rng.normal(size=x.size)
    return "exp 10^4", (lambda xs, b: b[0] * np.exp(-b[1] * xs[:, 0]) + b[2]), x, y, [1.0, 1.0, 0.0]


def problems():
    for name in ("Misra1a", "Chwirut2", "Lanczos3", "Gauss1", "Kirby2", "ENSO"):
        p = read_problem(name)
        yield name, (lambda xs, b, name=name: model(name, xs, b)), p["x"], p["y"], p["start1"]
    yield exponential_problem()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeats", type=int, default=5)
    repeats = parser.parse_args().repeats
    print(f"{'problem':<10} {'n':>6} {'kelmath s':>10} {'scipy s':>10} {'ratio':>7} "
          f"{'kelmath ssr':>13} {'scipy ssr':>13} {'nfev':>6} {'py calls':>9}")
    for name, f, x, y, start in problems():
        columns = x.reshape(-1, 1)
        kel_time, fit = best_time(lambda: kelmath.nls(f, x, y, start), repeats)
        scipy_time, (b, _) = best_time(
            lambda: optimize.curve_fit(lambda t, *b: f(columns, b), x, y, p0=start,
                                       maxfev=100_000), repeats)
        scipy_ssr = float(np.sum((y - f(columns, b)) ** 2))
        print(f"{name:<10} {len(x):>6} {kel_time:>10.4f} {scipy_time:>10.4f} "
              f"{kel_time / scipy_time:>7.1f} {fit.ssr:>13.7g} {scipy_ssr:>13.7g} "
              f"{fit.nfev:>6} {fit.python_calls:>9}")


if __name__ == "__main__":
    main()
