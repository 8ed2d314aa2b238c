"""Packs the module the CMake build made into a wheel (see pyproject.toml): nothing is compiled
here. PROBE_BUILD_DIR names the build folder, a relative one from the top of the tree (the
default: build there). The build tool runs this file in its own folder, not the caller's."""
import os
import pathlib
import re
import shutil

from setuptools import Distribution, setup
from setuptools.command.build_ext import build_ext

HERE = pathlib.Path(__file__).resolve().parent
BUILD = (HERE.parent / os.environ.get("PROBE_BUILD_DIR", "build")).resolve()
(BUILD / "wheel").mkdir(parents=True, exist_ok=True)
LIBRARIES = ("probestore", "wavelib2", "wavelib")


def version():
    """The tool set's version, from the project's CMakeLists.txt."""
    text = (HERE.parent / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(probe_tools VERSION ([0-9.]+)", text).group(1)


class PackBuiltModule(build_ext):
    """Copies the built module, its type hints and its libraries into the wheel's tree."""

    def run(self):
        target = pathlib.Path(self.build_lib)
        target.mkdir(parents=True, exist_ok=True)
        modules = sorted((BUILD / "python").glob("probe_tools*.so"))
        if not modules:
            raise SystemExit(f"Модуль probe_tools не собран в {BUILD / 'python'}: сначала "
                             "соберите дерево (ninja -C build probe_tools)")
        shutil.copy2(modules[0], target)
        shutil.copy2(HERE / "probe_tools.pyi", target)
        libs = target / "probe_tools.libs"
        libs.mkdir(exist_ok=True)
        for name in LIBRARIES:
            shutil.copy2(BUILD / "bin" / f"{name}.so", libs)


class BuiltForOneInterpreter(Distribution):
    """The wheel carries a compiled module: it is tagged for the interpreter and the platform."""

    def has_ext_modules(self):
        return True


setup(
    version=version(),
    py_modules=[],
    cmdclass={"build_ext": PackBuiltModule},
    distclass=BuiltForOneInterpreter,
    options={"build": {"build_base": str(BUILD / "wheel")},
             "egg_info": {"egg_base": str(BUILD / "wheel")}},
)
