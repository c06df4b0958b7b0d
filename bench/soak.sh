#!/bin/sh
# Soak run of bildoro-batch: 2,000 rows of a generated local corpus with 4 pages at once, sampling memory,
# file descriptors and browser processes every 100 rows. Usage: bench/soak.sh [BUILD_DIR] [ROWS] [JOBS]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
exec python3 "$here/soak.py" --batch "$build/cli/bildoro-batch" --rows "${2:-2000}" --jobs "${3:-4}"
