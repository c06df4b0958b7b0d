#!/usr/bin/env bash
# Developer entry point: installs what is missing, builds, and runs the demo or the tests.
#   ./dev.sh demo    build and run the program's main job on the bundled example
#   ./dev.sh test    build and run every test (ctest); non-zero exit on any failure
#   ./dev.sh build   install dependencies and build only
#   ./dev.sh format-check  fail when a source file differs from what clang-format makes of it (.clang-format)
#   ./dev.sh sanitize  build in build-asan with AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer
#                      and run every test there; any finding fails the command
set -euo pipefail
cd "$(dirname "$0")"

BUILD_DIR=${BUILD_DIR:-build}
JOBS=${JOBS:-$(nproc)}

# Debian 12 packages the build, the tests and the demo need.
PACKAGES=(cmake g++ ninja-build pkg-config qt6-base-dev libjpeg62-turbo-dev libwebp-dev libgtest-dev libgmock-dev
          libbenchmark-dev chromium xvfb xauth imagemagick fonts-dejavu-core fonts-noto-cjk fonts-noto-color-emoji
          desktop-file-utils man-db clang-format qt6-tools-dev qt6-l10n-tools qt6-translations-l10n openssh-server
          openssh-client parallel rsync python3)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    # npm fetches the pinned consent rule library at configure time (the program itself runs without Node);
    # where a Node.js of another origin brings its own npm, Debian's would clash with it.
    command -v npm >/dev/null || missing+=(npm)
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    install_missing
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$BUILD_DIR" -j "$JOBS"
}

run_tests() {
    build
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS" "$@"
}

run_demo() {
    build
    # The batch run over the bundled example pages (local files: works offline).
    examples/run-demo.sh "$BUILD_DIR"
}

# The whole suite under ASan + UBSan + LSan. Every finding is fatal: UBSan does not recover, ASan halts, and
# a leak makes the process exit non-zero. tests/lsan.supp names only leaks inside system libraries.
run_sanitize() {
    install_missing
    local dir=${SANITIZE_BUILD_DIR:-build-asan}
    local flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DBILDORO_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$flags -O1" -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
        -DBILDORO_TEST_TIMEOUT_FACTOR=3
    cmake --build "$dir" -j "$JOBS"
    ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=0" \
    LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
    UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
        ctest --test-dir "$dir" --output-on-failure -j "$JOBS" "$@"
}

# Every C++ source of the tree (not the build folders) must be formatted as .clang-format says.
format_check() {
    install_missing
    local files
    mapfile -t files < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run --Werror "${files[@]}"
    echo "format-check: ${#files[@]} files formatted as .clang-format says"
}

case "${1:-}" in
    demo) shift; run_demo "$@" ;;
    test) shift; run_tests "$@" ;;
    build) shift; build "$@" ;;
    sanitize) shift; run_sanitize "$@" ;;
    format-check) shift; format_check ;;
    *) echo "usage: $0 demo|test|build|format-check|sanitize" >&2; exit 2 ;;
esac
