#!/bin/sh
# Installs, from Debian's archive, what building and testing KelMath needs and the machine lacks:
# the test and benchmark libraries, the command-line parser and JSON library of the `kelmath`
# command, the SVG renderer and PNG reader its plot tests use, the browser (Chromium) that
# renders its HTML pages in the tests, and for the Python module (python/) Python's headers,
# pybind11 and NumPy, with pandas, statsmodels, matplotlib and pytest for its tests and setuptools for
# `pip install ./python`, and Open MPI (headers and mpirun) for the command's MPI build
# (-DKELMATH_MPI=ON) and its tests. Packages already present are left alone, so on a prepared machine
# this does nothing and needs no network. Run as root (or through sudo).
set -eu
packages="g++ cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev librsvg2-bin libpng-dev chromium
  python3-dev pybind11-dev python3-numpy python3-pandas python3-statsmodels python3-pytest
  python3-setuptools python3-matplotlib libopenmpi-dev openmpi-bin"
missing=""
for package in $packages; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $package"
  fi
done
[ -z "$missing" ] && exit 0
echo "Installing from Debian:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
# shellcheck disable=SC2086
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
