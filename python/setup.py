"""Builds kelmath._kelmath by the project's CMake (the repository above this folder) for the
Python running pip, and puts it beside the package's Python files."""
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

REPOSITORY = pathlib.Path(__file__).resolve().parent.parent
# setuptools' build folders and egg-info go to a scratch folder of this checkout (or to
# KELMATH_BUILD_BASE), so that building leaves the source tree as it was. CMake reads a compiler
# launcher from CMAKE_CXX_COMPILER_LAUNCHER in the environment (ccache, where wanted).
SCRATCH = pathlib.Path(os.environ.get("KELMATH_BUILD_BASE") or pathlib.Path(
    tempfile.gettempdir()) / ("kelmath-build-" +
                              hashlib.sha256(str(REPOSITORY).encode()).hexdigest()[:12]))


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        # Only the library, the command's computations and the module: no tests, demos or
        # benchmarks.
        subprocess.run(["cmake", "-S", str(REPOSITORY), "-B", str(build), "-DKELMATH_PYTHON=ON",
                        f"-DPython3_EXECUTABLE={sys.executable}", "-DKELMATH_BUILD_TESTS=OFF",
                        "-DKELMATH_BUILD_BENCHMARKS=OFF", "-DKELMATH_BUILD_DEMOS=OFF"],
                       check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(["cmake", "--build", str(build), "--target", "kelmath_python_core",
                        "-j", jobs], check=True)
        name = pathlib.Path(self.get_ext_filename(ext.name)).name
        target = pathlib.Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(build / "python" / "kelmath" / name, target)


SCRATCH.mkdir(parents=True, exist_ok=True)
setup(ext_modules=[Extension("kelmath._kelmath", sources=[])], cmdclass={"build_ext": CMakeBuild},
      options={"build": {"build_base": str(SCRATCH / "build")},
               "egg_info": {"egg_base": str(SCRATCH)}})
