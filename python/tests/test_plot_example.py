"""The guide's plotting example (docs/examples/python_plots.py) runs headless, names the rows the
command's plots label for mtcars (Chrysler Imperial, Fiat 128 and Toyota Corolla: the three
largest residuals, rows 17, 18 and 20 of tests/reference/r/mtcars.csv) and writes the one PNG it
saves, nothing else."""
import os
import subprocess
import sys

import pytest

pytest.importorskip("matplotlib")

EXAMPLE = os.path.join(os.path.dirname(__file__), "..", "..", "docs", "examples",
                       "python_plots.py")


def test_the_guides_plot_example_names_the_largest_residuals_and_saves_one_png(tmp_path):
    environment = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "MPLBACKEND")}
    run = subprocess.run([sys.executable, EXAMPLE], cwd=tmp_path, capture_output=True, text=True,
                         check=True, env=environment)
    lines = run.stdout.splitlines()
    assert [line.split(":")[0] for line in lines] == [
        "Residuals vs Fitted", "Normal Q-Q", "Scale-Location", "Residuals vs Leverage"]
    for line in lines:
        assert sorted(line.split(": ")[1].split(", ")) == [
            "Chrysler Imperial", "Fiat 128", "Toyota Corolla"]
    assert run.stderr == ""
    assert os.listdir(tmp_path) == ["diagnostics.png"]
    assert (tmp_path / "diagnostics.png").read_bytes()[:4] == b"\x89PNG"
