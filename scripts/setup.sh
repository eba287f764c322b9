#!/usr/bin/env bash
# Installs what the build needs on a fresh machine: Debian packages that are
# missing, then a virtual environment with Python 3.13, the build requirements
# and the named extras of pyproject.toml (the one list of Python tools).
# Re-running it on a ready machine only checks.
#   setup.sh VENV EXTRAS DEBIAN_PACKAGE...   (EXTRAS comma-separated, e.g. test,viz)
set -euo pipefail
venv=$1; extras=$2; shift 2

missing=()
for pkg in "$@"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
done
if ((${#missing[@]})); then
  echo "Installing Debian packages: ${missing[*]}"
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

find_python() {
  local root candidate
  root=$(pyenv root 2>/dev/null || echo "$HOME/.pyenv")
  for candidate in "$root"/versions/3.13*/bin/python3.13 /usr/bin/python3.13 /usr/local/bin/python3.13; do
    [ -x "$candidate" ] && { echo "$candidate"; return 0; }
  done
  return 1
}

if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import sys; assert sys.version_info[:2] == (3, 13)' 2>/dev/null; then
  python=$(find_python) || {
    echo "error: Python 3.13 not found (looked for pyenv's 3.13 and python3.13 on the system)." >&2
    echo "Install it with pyenv ('pyenv install 3.13') or your distribution's python3.13 package." >&2
    exit 1
  }
  rm -rf "$venv"
  "$python" -m venv "$venv"
fi
"$venv/bin/python" -m pip install -q --upgrade pip

# Development builds run without isolation, so the build requirements go in too.
mapfile -t requirements < <("$venv/bin/python" scripts/requirements.py "$extras")
"$venv/bin/python" -m pip install -q "${requirements[@]}"
