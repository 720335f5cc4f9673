"""While kelmath.ols computes, other Python threads run: the compiled core releases the GIL for
the fit. Held by the longest pause of a thread that wakes every millisecond during one large fit:
a fit holding the GIL would stop it for nearly the whole fit, whatever the machine's speed or
load; with the GIL released its pauses are those of the scheduler, far shorter."""
import threading
import time

import numpy

import kelmath


def test_a_thread_keeps_running_while_a_large_fit_computes():
    rng = numpy.random.default_rng(5)
    x = rng.normal(size=(400_000, 10))
    y = x @ numpy.arange(1.0, 11.0) + rng.normal(size=400_000)
    stamps, started, stop = [], threading.Event(), threading.Event()

    def wake_often():
        started.set()
        while not stop.is_set():
            stamps.append(time.perf_counter())
            time.sleep(0.001)  # gives up the GIL, then needs it again to go on

    waker = threading.Thread(target=wake_often)
    waker.start()
    started.wait()
    begin = time.perf_counter()
    fit = kelmath.ols(x, y)
    end = time.perf_counter()
    stop.set()
    waker.join()
    assert fit.nobs == 400_000
    during = [s for s in stamps if begin <= s <= end]
    longest_pause = numpy.diff([begin, *during, end]).max()
    assert len(during) >= 10
    assert longest_pause < 0.5 * (end - begin), (longest_pause, end - begin, len(during))
