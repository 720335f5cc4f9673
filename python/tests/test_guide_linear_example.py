"""The guide's example of the linear analyses (docs/examples/python_linear.py) runs, prints R's
best subsets of every size (leaps::regsubsets, tests/reference/r/stepwise_mtcars.txt) and the
cars R's influence measures flag (tests/reference/r/diagnostics_mtcars.txt), prints what the
guide shows, and leaves nothing in its working directory. The guide's copy of it is checked by
docs/check_guide.cmake."""
import os
import pathlib
import subprocess
import sys

import numpy
import pandas

from conftest import REFERENCE
from reference_values import read_values, vector

DOCS = pathlib.Path(__file__).resolve().parents[2] / "docs"
EXAMPLE = DOCS / "examples" / "python_linear.py"


def shown_output():
    """The block the guide shows after the example's own."""
    guide = (DOCS / "guide.md").read_text()
    after = guide[guide.index("<!-- example: python_linear.py -->"):]
    blocks = after.split("```")
    return blocks[3].lstrip("\n")


def test_the_guides_linear_example_prints_rs_values(tmp_path):
    run = subprocess.run([sys.executable, str(EXAMPLE)], cwd=tmp_path, capture_output=True,
                         text=True, check=True)
    lines = run.stdout.splitlines()
    leaps = read_values("r/stepwise_mtcars.txt")
    for size in range(1, int(leaps["sizes"]) + 1):
        shown = lines[size - 1].split()
        assert int(shown[0]) == size
        assert float(shown[1]) == float(f"{float(leaps[f'mse[{size}]']):.4f}")
        assert shown[2:] == [c for c in leaps[f"columns[{size}]"].split(",") if c]
    # The cars R's rules of thumb flag: Cook's distance > 4/m, |rstudent| > 3, leverage > 2n/m.
    r = read_values("r/diagnostics_mtcars.txt")
    m, n = len(vector(r, "leverage")), 5
    flagged = (vector(r, "cooks_distance") > 4 / m) | \
        (numpy.abs(vector(r, "studentized_residual")) > 3) | (vector(r, "leverage") > 2 * n / m)
    names = pandas.read_csv(REFERENCE / "mtcars.csv")["model"]
    influential = next(line for line in lines if line.startswith("influential: "))
    assert influential == "influential: " + ", ".join(names[flagged])
    assert run.stdout == shown_output()
    assert run.stderr == ""
    assert os.listdir(tmp_path) == []
