"""The guide's example of kelmath.nls (docs/examples/python_nls.py) runs, prints NIST's certified
Misra1a values to the digits shown, the F tests of the rival models as scipy computes them from
curve_fit's fits, and leaves nothing in its working directory. The guide's copy of it is checked
by docs/check_guide.cmake."""
import os
import subprocess
import sys

import numpy as np
from scipy import optimize, stats

from test_nls_nist import read_problem

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "examples", "python_nls.py")


def test_the_guides_nls_example_prints_certified_and_independent_values(tmp_path):
    run = subprocess.run([sys.executable, EXAMPLE], cwd=tmp_path, capture_output=True, text=True,
                         check=True)
    lines = run.stdout.splitlines()
    nist = read_problem("Misra1a")
    for row, (estimate, error) in enumerate(zip(nist["certified"], nist["errors"])):
        shown = lines[row + 1].split()
        assert float(shown[1]) == float(f"{estimate:.8g}")
        assert float(shown[2]) == float(f"{error:.8g}")
    assert lines[3] == f"ssr {nist['rss']:.8g}, converged on the step"

    x = np.array([0.2, 0.5, 1.0, 2.0, 4.0, 8.0])
    y = np.array([0.58, 0.99, 1.34, 1.59, 1.78, 1.88])
    models = [lambda t, a, k: a * t / (k + t), lambda t, a, k: a * (1 - np.exp(-k * t))]
    for row, f in enumerate(models):
        b, _ = optimize.curve_fit(f, x, y, p0=[1, 1], xtol=1e-14, ftol=1e-14)
        mse = np.sum((y - f(x, *b)) ** 2) / 4
        shown = lines[5 + row].split()
        assert float(shown[1]) == float(f"{mse:.4g}")
        assert float(shown[3]) == float(f"{stats.f.sf(mse / 1e-4, 4, 5):.4g}")
    assert lines[7] == "next experiment: x = 10"
    assert lines[8] == "DomainError: variance 1 = 0"
    assert run.stderr == ""
    assert os.listdir(tmp_path) == []
