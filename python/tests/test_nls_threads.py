"""kelmath.nls on two Python threads at once: each fit releases the GIL while the library computes
and takes it back for each call of its Python model, so fits on two threads neither deadlock nor
disturb each other, and give the results of the same fits alone. Two threads sharing one problem
take turns."""
import threading

import numpy as np

import kelmath
from test_nls_nist import jacobian, model, read_problem


def run_on_threads(work, count=2):
    results, errors = [None] * count, []

    def run(slot):
        try:
            results[slot] = work(slot)
        except Exception as error:  # reported below, not lost in the thread
            errors.append(error)

    threads = [threading.Thread(target=run, args=(slot,)) for slot in range(count)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join(timeout=300)
    assert not any(thread.is_alive() for thread in threads), "a thread is stuck"
    assert errors == []
    return results


def fit_problem(name, analytic):
    p = read_problem(name)
    return kelmath.nls(lambda x, b: model(name, x, b), p["x"], p["y"], p["start1"],
                       jac=(lambda x, b: jacobian(name, x, b)) if analytic else None)


def test_two_fits_at_once_give_the_results_of_fits_alone():
    cases = [("Gauss1", False), ("ENSO", True)]
    alone = [fit_problem(*case) for case in cases]
    together = run_on_threads(lambda slot: fit_problem(*cases[slot]))
    for a, t in zip(alone, together):
        np.testing.assert_array_equal(t.params, a.params)
        np.testing.assert_array_equal(t.bse, a.bse)
        np.testing.assert_array_equal(t.resid, a.resid)
        assert (t.nfev, t.niter, t.python_calls) == (a.nfev, a.niter, a.python_calls)


def test_two_threads_searching_one_problem_take_turns():
    x = np.array([0.2, 0.5, 1.0, 2.0, 4.0, 8.0])
    y = np.array([0.58, 0.99, 1.34, 1.59, 1.78, 1.88])
    rivals = kelmath.nls([lambda xs, b: b[0] * xs[:, 0] / (b[1] + xs[:, 0]),
                          lambda xs, b: b[0] * (1 - np.exp(-b[1] * xs[:, 0]))], x, y,
                         [[1.0, 1.0], [1.0, 1.0]], variances=1e-4, dof=5)
    alone = rivals.search_experiments(0.1, 10.0)
    found = run_on_threads(lambda slot: rivals.search_experiments(0.1, 10.0), count=3)
    for f in found:
        np.testing.assert_array_equal(f["tij_sum"], alone["tij_sum"])
        np.testing.assert_array_equal(f["balanced"], alone["balanced"])
