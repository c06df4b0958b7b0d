#!/usr/bin/env bash
# Builds the Debian package of a finished build with CPack and checks it: the file list, the control fields,
# the linked libraries against Depends, and the extracted programs, desktop entry, icons and manual pages.
#   packaging/check-package.sh BUILD_DIR
# Needs: cmake (cpack), dpkg, binutils (readelf), desktop-file-utils, man-db. Exits 1 on the first mismatch.
set -euo pipefail

fail() {
    echo "check-package: FAILED: $*" >&2
    exit 1
}
note() { echo "check-package: $*"; }

[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
source_dir=$(cd "$(dirname "$0")/.." && pwd)
[ -d "$1" ] || fail "the build folder '$1' does not exist"
build=$(cd "$1" && pwd)
[ -f "$build/CPackConfig.cmake" ] || fail "$build has no CPackConfig.cmake: configure and build it with cmake first"
for tool in cpack dpkg-deb readelf desktop-file-validate man; do
    command -v "$tool" >/dev/null || fail "the tool '$tool' is missing (Debian packages: cmake dpkg binutils desktop-file-utils man-db)"
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/bildoro-package.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# --- build the package -------------------------------------------------------------------------------------
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
[ -n "$version" ] || fail "no CPACK_PACKAGE_VERSION in $build/CPackConfig.cmake"
arch=$(dpkg --print-architecture)
deb="$build/bildoro_${version}_${arch}.deb"
rm -f "$deb"
note "building $deb"
(cd "$build" && cpack -G DEB >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log" >&2; fail "cpack -G DEB failed in $build"; }
[ -f "$deb" ] || { cat "$tmp/cpack.log" >&2; fail "cpack did not write $deb"; }

# --- the file list: exactly the expected files, nothing else --------------------------------------------------
{
    echo usr/bin/bildoro
    echo usr/bin/bildoro-batch
    echo usr/share/applications/bildoro.desktop
    echo usr/share/doc/bildoro/copyright
    echo usr/share/doc/bildoro/autoconsent-LICENSE
    for size in 16 32 48 64 128 256; do echo "usr/share/icons/hicolor/${size}x${size}/apps/bildoro.png"; done
    echo usr/share/icons/hicolor/scalable/apps/bildoro.svg
    echo usr/share/man/man1/bildoro.1.gz
    echo usr/share/man/man1/bildoro-batch.1.gz
    echo usr/share/bildoro/examples/example-list.csv
    for page in "$source_dir"/examples/pages/*.html; do echo "usr/share/bildoro/examples/$(basename "$page")"; done
    for picture in "$source_dir"/examples/pages/shop/*; do echo "usr/share/bildoro/examples/shop/$(basename "$picture")"; done
} | LC_ALL=C sort >"$tmp/expected"
dpkg-deb -c "$deb" >"$tmp/listing" || fail "dpkg-deb cannot list $deb"
awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $6 }' "$tmp/listing" | LC_ALL=C sort >"$tmp/actual"
if ! cmp -s "$tmp/expected" "$tmp/actual"; then
    echo "files in the package that should not be there:" >&2
    comm -13 "$tmp/expected" "$tmp/actual" | sed 's/^/  + /' >&2
    echo "files missing from the package:" >&2
    comm -23 "$tmp/expected" "$tmp/actual" | sed 's/^/  - /' >&2
    fail "the file list of $deb differs from the expected one"
fi
# Owner root, programs executable by all, everything else plain readable files.
awk '$1 !~ /^d/ { sub(/^\.\//, "", $6); print $1, $2, $6 }' "$tmp/listing" | while read -r mode owner path; do
    [ "$owner" = root/root ] || fail "$path belongs to $owner, not root/root"
    case "$path" in
        usr/bin/*) [ "$mode" = -rwxr-xr-x ] || fail "$path has mode $mode, not -rwxr-xr-x" ;;
        *) [ "$mode" = -rw-r--r-- ] || fail "$path has mode $mode, not -rw-r--r--" ;;
    esac
done
note "file list: $(wc -l <"$tmp/actual") files, as expected"

# --- control fields ---------------------------------------------------------------------------------------
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = bildoro ] || fail "Package is '$(field Package)', not 'bildoro'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not '$version'"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture is '$(field Architecture)', not '$arch'"
[ "$(field Section)" = graphics ] || fail "Section is '$(field Section)', not 'graphics'"
[ -n "$(field Maintainer)" ] || fail "the Maintainer field is empty"
[ -n "$(field Description)" ] || fail "the Description field is empty"
depends=$(field Depends)
[ -n "$depends" ] || fail "the package has no Depends field"
# The package names of Depends, without versions and alternatives.
echo "$depends" | tr ',|' '\n\n' | sed 's/(.*)//; s/[[:space:]]//g' | grep -v '^$' | LC_ALL=C sort -u >"$tmp/depends"
for needed in chromium libqt6core6 libqt6gui6 libqt6widgets6 libjpeg62-turbo; do
    grep -qx "$needed" "$tmp/depends" || fail "Depends lacks $needed: $depends"
done
if grep -- '-dev$' "$tmp/depends" >/dev/null; then
    fail "Depends names development packages ($(grep -- '-dev$' "$tmp/depends" | tr '\n' ' ')): $depends"
fi
note "Depends: $depends"

# --- the extracted package ----------------------------------------------------------------------------------
root="$tmp/root"
dpkg-deb -x "$deb" "$root" || fail "dpkg-deb cannot extract $deb"

# Every library the programs link directly must come from a package named in Depends, and no program may
# carry a search path (it would point into the build machine).
for program in bildoro bildoro-batch; do
    binary="$root/usr/bin/$program"
    if readelf -d "$binary" | grep -E '\((RPATH|RUNPATH)\)' >/dev/null; then
        fail "$program carries a library search path: $(readelf -d "$binary" | grep -E 'RPATH|RUNPATH')"
    fi
    readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p' | while read -r lib; do
        path=$(ldd "$binary" | awk -v lib="$lib" '$1 == lib && $2 == "=>" { print $3 }')
        [ -n "$path" ] && [ "$path" != "not" ] || fail "$program needs $lib, which this system does not have"
        owner=""
        for candidate in "$path" "/usr${path#/usr}" "${path#/usr}" "$(readlink -f "$path")"; do
            owner=$(dpkg -S "$candidate" 2>/dev/null | head -n1 | cut -d: -f1) && [ -n "$owner" ] && break
        done
        [ -n "$owner" ] || fail "no Debian package owns $path (needed by $program as $lib)"
        grep -qx "$owner" "$tmp/depends" || fail "$program links $lib from package $owner, which Depends lacks: $depends"
    done
done
note "linked libraries: all from packages in Depends"

actual_version=$("$root/usr/bin/bildoro-batch" --version 2>&1) || fail "the extracted bildoro-batch --version failed: $actual_version"
case "$actual_version" in
    "bildoro-batch $version"*) note "extracted bildoro-batch --version: $actual_version" ;;
    *) fail "the extracted bildoro-batch --version printed '$actual_version', not 'bildoro-batch $version...'" ;;
esac

# The example list names exactly the installed pages (checked with --dry-run, which starts no browser).
examples=/usr/share/bildoro/examples
"$root/usr/bin/bildoro-batch" --dry-run "$root$examples/example-list.csv" -o "$tmp/out" >"$tmp/dry-run" \
    || fail "bildoro-batch --dry-run cannot read the installed example list"
cut -f1 "$tmp/dry-run" | LC_ALL=C sort >"$tmp/listed"
for page in "$root$examples"/*.html; do echo "file://$examples/$(basename "$page")"; done | LC_ALL=C sort >"$tmp/pages"
cmp -s "$tmp/listed" "$tmp/pages" || fail "example-list.csv does not name exactly the installed example pages: $(cat "$tmp/listed")"

desktop="$root/usr/share/applications/bildoro.desktop"
desktop-file-validate "$desktop" >"$tmp/validate" 2>&1 || { cat "$tmp/validate" >&2; fail "desktop-file-validate rejects bildoro.desktop"; }
if grep -E 'error:|warning:' "$tmp/validate" >/dev/null; then
    cat "$tmp/validate" >&2
    fail "desktop-file-validate warns about bildoro.desktop"
fi
grep -qx 'Exec=bildoro' "$desktop" || fail "bildoro.desktop does not start bildoro (Exec=bildoro)"
grep -qx 'Icon=bildoro' "$desktop" || fail "bildoro.desktop does not name the icon bildoro (Icon=bildoro)"
note "desktop entry valid$(grep -q 'hint:' "$tmp/validate" && echo " (with hints: $(sed -n 's/.*hint: //p' "$tmp/validate" | head -n1))")"

# Each PNG icon is as large as the folder it lies in says.
for png in "$root"/usr/share/icons/hicolor/*x*/apps/bildoro.png; do
    size=$(basename "$(dirname "$(dirname "$png")")")
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    dims="$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))x$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))"
    [ "$dims" = "$size" ] || fail "the icon in $size is $dims pixels"
done

for page in bildoro bildoro-batch; do
    man_page="$root/usr/share/man/man1/$page.1.gz"
    gzip -t "$man_page" || fail "the manual page $page.1.gz is not a valid gzip file"
    man_warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$man_page" 2>&1 >/dev/null) \
        || fail "man cannot format $page.1.gz: $man_warnings"
    [ -z "$man_warnings" ] || fail "the manual page $page.1.gz has formatting warnings: $man_warnings"
    LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$man_page" >"$tmp/man.txt" 2>&1 || fail "man cannot show $page.1.gz"
    grep -Eq "^ +$page +- +[a-z]" "$tmp/man.txt" || fail "the manual page $page.1.gz does not show its NAME line"
done
note "icons and manual pages fine"
note "OK: $deb"
