"""Fits on two Python threads at once: the core releases the GIL and the library's state is per
thread, so each thread's result is that of the same fit alone."""
import threading

import numpy

import kelmath


def test_two_threads_fitting_at_once_give_the_results_of_fits_alone():
    rng = numpy.random.default_rng(11)
    x = rng.normal(size=(20000, 8))
    y = x @ numpy.arange(1.0, 9.0) + rng.normal(size=20000)
    alone = kelmath.ols(x, y, cov_type="HC3")
    results, errors = [None, None], []

    def fit(slot):
        try:
            for _ in range(3):
                results[slot] = kelmath.ols(x, y, cov_type="HC3")
        except Exception as error:  # reported below, not lost in the thread
            errors.append(error)

    threads = [threading.Thread(target=fit, args=(slot,)) for slot in (0, 1)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert errors == []
    for result in results:
        numpy.testing.assert_array_equal(result.params, alone.params)
        numpy.testing.assert_array_equal(result.bse, alone.bse)
        numpy.testing.assert_array_equal(result.resid, alone.resid)
        assert result.summary() == alone.summary()
