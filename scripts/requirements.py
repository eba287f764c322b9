"""Prints the build requirements and the requirements of the given extras of
pyproject.toml, one per line, for pip.

    python scripts/requirements.py test,viz
"""

import sys
import tomllib

with open("pyproject.toml", "rb") as file:
    project = tomllib.load(file)
wanted = list(project["build-system"]["requires"])
for extra in filter(None, sys.argv[1].split(",")):
    wanted += project["project"]["optional-dependencies"][extra]
print("\n".join(wanted))
