"""Prints the non-blank lines of tests against those of the code they test.

Code: git-tracked C++ and Python outside tests/, bench/, examples/, scripts/ and .ci/.
Tests: git-tracked C++ and Python under tests/. Data files count on neither side.
"""

import subprocess
from pathlib import Path

EXTENSIONS = {".cpp", ".hpp", ".h", ".py"}
NEITHER = ("bench/", "examples/", "scripts/", ".ci/")


def non_blank_lines(path):
    return sum(1 for line in Path(path).read_text(errors="replace").splitlines() if line.strip())


def main():
    files = subprocess.run(["git", "ls-files"], check=True, capture_output=True, text=True).stdout.split()
    tests = code = 0
    for path in files:
        if Path(path).suffix not in EXTENSIONS or path.startswith(NEITHER):
            continue
        if path.startswith("tests/"):
            tests += non_blank_lines(path)
        else:
            code += non_blank_lines(path)
    print(f"tests/code: {tests} / {code} non-blank lines = {tests / code:.0%}")


if __name__ == "__main__":
    main()
