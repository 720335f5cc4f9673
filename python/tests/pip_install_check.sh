#!/bin/sh
# Not run by ctest: installs the Python package as a user would and fits a model with it.
#
#   python/tests/pip_install_check.sh
#
# /usr/bin/python3 -m pip install --no-build-isolation --target TMP ./python (setup.py builds
# the module by the project's CMake, offline), then a fresh interpreter with no PYTHONPATH to a
# build tree imports kelmath from TMP alone and fits a small model. Everything is made in one
# temporary folder, removed at the end; the check fails when the repository's `git status` is
# not what it was. ccache is used when installed (CMake reads CMAKE_CXX_COMPILER_LAUNCHER).
set -eu
repository=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
before=$(git -C "$repository" status --porcelain --ignored)
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache > /dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache
  # Paths relative to the build folder, whose depth is the same in every temporary folder, so
  # that one run's objects serve the next.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-/}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
fi
start=$(date +%s)
cd "$scratch"
KELMATH_BUILD_BASE="$scratch/build" PIP_NO_INDEX=1 /usr/bin/python3 -m pip install \
  --no-build-isolation --no-deps --quiet --target "$scratch/site" "$repository/python"
installed=$(date +%s)
env -u PYTHONPATH -u PYTHONHOME PYTHONNOUSERSITE=1 PYTHONDONTWRITEBYTECODE=1 \
  /usr/bin/python3 -c '
import pathlib, sys
sys.path.insert(0, sys.argv[1])
import numpy, kelmath
assert pathlib.Path(kelmath.__file__).resolve().is_relative_to(pathlib.Path(sys.argv[1]).resolve()), kelmath.__file__
x = numpy.array([[1.0], [2.0], [3.0], [4.0], [5.0]])
fit = kelmath.ols(x, [2.1, 3.9, 6.2, 7.8, 10.1])
assert abs(fit.params[1] - 1.99) < 1e-12, fit.params
assert "Coefficients" in fit.summary()
print("kelmath from", kelmath.__file__, "fits: slope", fit.params[1])
' "$scratch/site"
after=$(git -C "$repository" status --porcelain --ignored)
if [ "$before" != "$after" ]; then
  echo "pip install changed the repository:" >&2
  git -C "$repository" status --short --ignored >&2
  exit 1
fi
echo "pip install check passed: install $((installed - start)) s, in total $(($(date +%s) - start)) s"
