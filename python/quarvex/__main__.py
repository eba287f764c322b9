"""`python -m quarvex`: the command line."""

import sys

from .cli import main

# Guarded: worker processes import the main module again.
if __name__ == "__main__":
    sys.exit(main())
