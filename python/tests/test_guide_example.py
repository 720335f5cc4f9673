"""The guide's Python example (docs/examples/python_ols.py) runs, prints R's estimates and HC3
standard errors (sandwich::vcovHC, tests/reference/r/sandwich_mtcars.txt) to the digits shown,
and leaves nothing in its working directory. The guide's copy of it is checked by
docs/check_guide.cmake."""
import os
import subprocess
import sys

from conftest import r_vector, read_r_values

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "examples", "python_ols.py")


def test_the_guides_example_prints_rs_values(tmp_path):
    run = subprocess.run([sys.executable, EXAMPLE], cwd=tmp_path, capture_output=True, text=True,
                         check=True)
    lines = run.stdout.splitlines()
    r = read_r_values("mtcars")
    for row, (estimate, se) in enumerate(zip(r_vector(r, "estimate"), r_vector(r, "se_hc3"))):
        shown = lines[row + 1].split()
        assert float(shown[-3]) == float(f"{estimate:.6g}")
        assert float(shown[-2]) == float(f"{se:.6g}")
    assert lines[-1] == "InputError: the DataFrame has no column 'weight'"
    assert run.stderr == ""
    assert os.listdir(tmp_path) == []
