#!/usr/bin/env bash
# Builds the fuzzers with clang (libFuzzer + AddressSanitizer + UndefinedBehaviorSanitizer) in build-fuzz/,
# writes the seed corpora, and runs every target (or the ones named) for SECONDS each (default 600).
#   fuzz/run.sh [SECONDS] [TARGET...]      targets: list_file jpeg_image load_jpeg_bitmap shrink_jpeg
# Findings land in build-fuzz/fuzz-artifacts/<target>/; the exit status is non-zero when any target found one.
# The growing corpora stay in build-fuzz/fuzz-corpus/<target>/ between runs; logs in build-fuzz/fuzz-logs/.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_EACH=${1:-600}
shift || true
TARGETS=("$@")
[ ${#TARGETS[@]} -eq 0 ] && TARGETS=(list_file jpeg_image load_jpeg_bitmap shrink_jpeg)
BUILD_DIR=${BUILD_DIR:-build-fuzz}
JOBS=${JOBS:-2}

# clang with libFuzzer's runtime, cjpeg for the seed variants, and what the project itself builds with.
PACKAGES=(clang libclang-rt-14-dev libjpeg-turbo-progs cmake ninja-build qt6-base-dev libjpeg62-turbo-dev)
missing=()
for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBILDORO_FUZZ=ON \
    -DBILDORO_BUILD_TESTS=OFF -DBILDORO_BUILD_BENCH=OFF >/dev/null
cmake --build "$BUILD_DIR" -j "$JOBS" --target bildoro_fuzzers

# Seeds: written by the project's own program, plus cjpeg's variants (arithmetic coding, restart markers,
# other sampling factors, optimised tables) of the same small picture.
SEEDS=$BUILD_DIR/fuzz-seeds
rm -rf "$SEEDS"
"$BUILD_DIR/fuzz/fuzz_make_seeds" "$SEEDS"
variants=("-baseline" "-progressive" "-arithmetic" "-progressive -arithmetic" "-restart 1" "-sample 1x1"
          "-sample 2x1" "-sample 1x2" "-optimize" "-grayscale" "-quality 5 -smooth 50")
i=0
for v in "${variants[@]}"; do
    # shellcheck disable=SC2086
    cjpeg $v -outfile "$SEEDS/jpeg/cjpeg-$i.jpg" "$SEEDS/jpeg-source.ppm"
    i=$((i + 1))
done

# Per target: entry point, seed folder, longest input, dictionary.
declare -A SEED_OF=([list_file]=list [jpeg_image]=jpeg [load_jpeg_bitmap]=jpeg [shrink_jpeg]=jpeg)
declare -A MAX_LEN_OF=([list_file]=16384 [jpeg_image]=16384 [load_jpeg_bitmap]=16384 [shrink_jpeg]=16384)
declare -A DICT_OF=([list_file]=fuzz/list.dict [jpeg_image]=fuzz/jpeg.dict [load_jpeg_bitmap]=fuzz/jpeg.dict
                    [shrink_jpeg]=fuzz/jpeg.dict)

# Qt's and libFuzzer's own allocations are not ours to judge; the units' leaks are caught per input.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}

status=0
summary=()
for t in "${TARGETS[@]}"; do
    [ -n "${SEED_OF[$t]:-}" ] || { echo "unknown target: $t" >&2; exit 2; }
    corpus=$BUILD_DIR/fuzz-corpus/$t
    artifacts=$BUILD_DIR/fuzz-artifacts/$t
    log=$BUILD_DIR/fuzz-logs/$t.log
    mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
    for f in "$SEEDS/${SEED_OF[$t]}"/* "tests/data/fuzz-regressions/$t"/*; do
        [ -f "$f" ] && cp -n "$f" "$corpus"/
    done
    echo "== $t: ${SECONDS_EACH}s, log $log"
    start=$(date +%s)
    set +e
    "$BUILD_DIR/fuzz/fuzz_$t" "$corpus" -max_total_time="$SECONDS_EACH" -max_len="${MAX_LEN_OF[$t]}" \
        -rss_limit_mb=2048 -timeout=60 -dict="${DICT_OF[$t]}" -artifact_prefix="$artifacts/" \
        -print_final_stats=1 >"$log" 2>&1
    rc=$?
    set -e
    took=$(($(date +%s) - start))
    last=$(grep -E '^#[0-9]+' "$log" | tail -1 || true)
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}' || true)
    summary+=("$t: exit $rc, ${took}s, ${runs:-?} executions; last status: ${last:-none}")
    if [ $rc -ne 0 ]; then
        status=1
        echo "!! $t found a problem (exit $rc); see $log and $artifacts/" >&2
        tail -40 "$log" >&2
    fi
done

echo "== summary"
printf '%s\n' "${summary[@]}"
exit $status
