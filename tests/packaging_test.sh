#!/usr/bin/env bash
# Checks of what Bildoro installs: the desktop entry, the manual pages (bildoro-batch's against the program's
# options), the painted icon files, and the installed tree of `cmake --install`.
#   packaging_test.sh CASE SOURCE_DIR BUILD_DIR     (exit 77: a tool the case needs is not installed)
set -uo pipefail
case_name=$1
src=$2
build=$3
tmp=$(mktemp -d "${TMPDIR:-/tmp}/bildoro-packaging-test.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
need() {
    command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed (Debian package $2)"; exit 77; }
}
# The options of a manual page: the option names in the heading lines of .TP paragraphs.
man_options() {
    awk 'heading { print; heading = 0 } /^\.TP/ { heading = 1 }' "$1" | sed 's/\\-/-/g; s/\\f[BIR]//g' |
        grep -oE '(^|[ "])--?[a-zA-Z?][a-zA-Z-]*' | sed 's/^[ "]//' | LC_ALL=C sort -u
}
png_size() {
    local w1 w2 w3 w4 h1 h2 h3 h4
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$1")
    echo "$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))x$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))"
}

case "$case_name" in
desktop_entry)
    need desktop-file-validate desktop-file-utils
    desktop="$src/packaging/bildoro.desktop"
    out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate rejects it: $out"
    if echo "$out" | grep -E 'error:|warning:' >/dev/null; then fail "desktop-file-validate warns: $out"; fi
    for line in 'Type=Application' 'Name=Bildoro' 'Name\[de\]=Bildoro' 'Comment=Thumbnails of web pages in one batch' \
        'Comment\[de\]=Vorschaubilder von Webseiten in einem Durchgang' 'Exec=bildoro' 'Icon=bildoro' \
        'Terminal=false' 'Categories=.*Graphics;.*' 'Categories=.*Network;.*'; do
        grep -qx "$line" "$desktop" || fail "no line matching '$line'"
    done
    ;;
man_options)
    # Both ways: every option --help lists is described, and the page describes no option the program lacks.
    batch="$build/cli/bildoro-batch"
    help=$("$batch" --help) || fail "bildoro-batch --help failed"
    echo "$help" | grep -E '^ +-' | grep -oE '(^|[ ,])--?[a-zA-Z?][a-zA-Z-]*' | sed 's/^[ ,]//' |
        LC_ALL=C sort -u >"$tmp/help"
    man_options "$src/packaging/bildoro-batch.1" >"$tmp/man"
    [ -s "$tmp/help" ] || fail "found no options in bildoro-batch --help"
    missing=$(LC_ALL=C comm -23 "$tmp/help" "$tmp/man")
    extra=$(LC_ALL=C comm -13 "$tmp/help" "$tmp/man")
    [ -z "$missing" ] || fail "options of --help missing from the manual page: $(echo $missing)"
    [ -z "$extra" ] || fail "options in the manual page that --help does not list: $(echo $extra)"
    # The synopsis and the examples mention the modes by name.
    for mode in '\\-\\-dry\\-run' '\\-\\-shrink' 'BILDORO_CHROMIUM'; do
        [ "$(grep -c -- "$mode" "$src/packaging/bildoro-batch.1")" -ge 2 ] || fail "the page hardly mentions $mode"
    done
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS 'LIST FILE FORMAT' 'EXIT STATUS' ENVIRONMENT FILES EXAMPLES; do
        grep -qx "\.SH \"\?$section\"\?" "$src/packaging/bildoro-batch.1" || fail "no section $section"
    done
    ;;
man_format)
    need man man-db
    for page in bildoro.1 bildoro-batch.1; do
        warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
            "$src/packaging/$page" 2>&1 >/dev/null) || fail "man cannot format $page: $warnings"
        [ -z "$warnings" ] || fail "formatting warnings in $page: $warnings"
        # The gzipped copy the build installs is the same page.
        cmp -s <(gzip -dc "$build/packaging/$page.gz") "$src/packaging/$page" ||
            fail "$build/packaging/$page.gz is not the page in the source tree"
    done
    ;;
icon_files)
    # Each painted PNG has its size; the SVG itself is compared with the painted icon by icon_svg_test.
    for size in 16 32 48 64 128 256; do
        png="$build/packaging/icons/${size}x${size}/apps/bildoro.png"
        [ -f "$png" ] || { fail "$png is missing"; continue; }
        [ "$(png_size "$png")" = "${size}x${size}" ] || fail "$png is $(png_size "$png"), not ${size}x${size}"
        [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "$png is not a PNG file"
    done
    ;;
install_tree)
    prefix="$tmp/prefix with space"
    cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
        cat "$tmp/install.log" >&2
        fail "cmake --install failed"
    }
    for f in bin/bildoro bin/bildoro-batch share/applications/bildoro.desktop \
        share/icons/hicolor/scalable/apps/bildoro.svg share/man/man1/bildoro-batch.1.gz share/man/man1/bildoro.1.gz \
        share/doc/bildoro/copyright; do
        [ -f "$prefix/$f" ] || fail "$f is not installed"
    done
    for size in 16 32 48 64 128 256; do
        png="$prefix/share/icons/hicolor/${size}x${size}/apps/bildoro.png"
        [ -f "$png" ] && [ "$(png_size "$png")" = "${size}x${size}" ] || fail "no ${size}x${size} icon at $png"
    done
    # The example list names every installed page by its installed place, one CR LF line each.
    examples="$prefix/share/bildoro/examples"
    expected=""
    for page in "$src"/examples/pages/*.html; do
        name=$(basename "$page" .html)
        cmp -s "$page" "$examples/$name.html" || fail "example page $name.html is not installed as it stands"
        expected+="file://$examples/$name.html;$name"$'\r\n'
    done
    [ "$(cat "$examples/example-list.csv")" = "${expected%$'\n'}" ] ||
        fail "example-list.csv holds: $(od -c "$examples/example-list.csv" | head -n 5)"
    # And bildoro-batch reads it as the rows of those pages.
    rows=$("$prefix/bin/bildoro-batch" --dry-run "$examples/example-list.csv" -o "$tmp/out" | wc -l)
    [ "$rows" -eq "$(ls "$src"/examples/pages/*.html | wc -l)" ] || fail "--dry-run reads $rows rows from the example list"
    ;;
*)
    echo "unknown case $case_name" >&2
    exit 2
    ;;
esac

[ "$failures" -eq 0 ] || exit 1
echo "ok: $case_name"
