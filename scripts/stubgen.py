"""Writes the type stub of the extension quarvex._core into the given folder.

The extension registers its classes and functions under the package's name
(so users see quarvex.Item); for the stub they are put back under the
extension's name, or the generator would take them for re-exports and leave
the stub empty.

    python scripts/stubgen.py OUTPUT_DIR
"""

import sys

import pybind11_stubgen
import quarvex._core as core

for value in vars(core).values():
    if getattr(value, "__module__", None) == "quarvex":
        value.__module__ = core.__name__

sys.argv = [
    "pybind11-stubgen",
    core.__name__,
    "--enum-class-locations",
    "Rotation:quarvex._core",
    "--exit-code",
    "--output-dir",
    sys.argv[1],
]
pybind11_stubgen.main()
