#!/usr/bin/env bash
# Runs bildoro-batch on the bundled example pages (local files, so it works offline).
#   examples/run-demo.sh [BUILD_DIR]
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
batch="$build/cli/bildoro-batch"
out="$build/demo/thumbnails"
list="$build/demo/example-list.csv"

mkdir -p "$out"
# The list refers to the pages by absolute file URL, one "URL;picture name" line each, ended by CR LF.
: > "$list"
for page in "$here"/pages/*.html; do
    name=$(basename "$page" .html)
    printf 'file://%s;%s\r\n' "$page" "$name" >> "$list"
done

echo "List:       $list ($(wc -l < "$list") rows)"
echo "Thumbnails: $out"
# The pages are local files: loading them is asked for (a list from others loads no local file).
"$batch" "$list" -o "$out" --jobs 2 --allow-files
status=$?
echo
if [ $status -eq 0 ]; then
    echo "All thumbnails written to $out:"
else
    echo "Some rows failed (see above); pictures written to $out:"
fi
ls -l "$out"
exit $status
