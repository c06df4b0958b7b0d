#!/usr/bin/env bash
# Batch benchmark: bildoro-batch against a Chromium process per URL and the cutycapt grabber per URL, on 56
# generated local pages; and the memory of bildoro-batch over 500 rows. Needs python3, chromium, imagemagick,
# cutycapt and xvfb (Debian packages). Waits for a 1-minute load below 1.5 before each measurement.
#   bench/batch_bench.sh [BUILD_DIR] [options of batch_bench.py]   (e.g. bench/batch_bench.sh build)
# Builds bildoro-batch in BUILD_DIR (default build), then writes BUILD_DIR/bench/batch_bench_report.md and the
# thumbnail montages beside it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
[ $# -gt 0 ] && shift
command -v python3 >/dev/null || { echo "batch_bench: python3 is needed (apt-get install python3)" >&2; exit 1; }
[ -f "$build/build.ninja" ] || cmake -S "$here/.." -B "$build" -G Ninja
ninja -C "$build" -j2 bildoro-batch
mkdir -p "$build/bench"
exec python3 "$here/batch_bench.py" --batch "$build/cli/bildoro-batch" --report "$build/bench/batch_bench_report.md" "$@"
