#!/usr/bin/env bash
# Spreads one list over several machines with GNU parallel over ssh: each machine runs one share (--shard K/N) of
# the list with bildoro-batch, and its pictures and report come back here, merged into one folder and one report.
#
#   examples/many-machines/parallel-shards.sh LIST OUTPUT SSHLOGINFILE [SHARDS] [-- OPTIONS OF bildoro-batch]
#
# LIST          the list file; it is sent to each machine.
# OUTPUT        folder here that receives every picture and report.jsonl (all shares' lines, by row).
# SSHLOGINFILE  GNU parallel's login file: one machine per line, e.g. "user@host" or "ssh -p 2222 user@host".
# SHARDS        number of shares (default: the number of lines in SSHLOGINFILE); each machine runs one at a time.
#
# Every machine needs bildoro-batch on its PATH (the project's Debian package) and rsync; this machine needs
# GNU parallel and rsync (Debian packages parallel, rsync). BILDORO_BATCH names another remote command.
# Exit status: 0 when every share ran and every row is ok, 1 when rows failed, 3 when a share could not run.
set -uo pipefail

if [ $# -lt 3 ]; then
    sed -n '2,15p' "$0" >&2
    exit 2
fi
list=$1 output=$2 logins=$3
shift 3
shards=$(grep -cv '^\s*\(#\|$\)' "$logins")
if [ $# -gt 0 ] && [ "$1" != "--" ]; then shards=$1; shift; fi
[ "${1:-}" = "--" ] && shift
remote=${BILDORO_BATCH:-bildoro-batch}
for tool in parallel rsync; do
    command -v "$tool" >/dev/null || { echo "parallel-shards: $tool is needed (apt-get install $tool)" >&2; exit 3; }
done
[ -r "$list" ] || { echo "parallel-shards: cannot read the list $list" >&2; exit 3; }
mkdir -p "$output" || exit 3
here=$(mktemp -d) || exit 3
trap 'rm -rf "$here"' EXIT
cp "$list" "$here/list.csv"
cd "$here" || exit 3

# On each machine, in a working folder of its own that parallel removes afterwards: run one share, keep its exit
# status, and pack its pictures and report for the way back.
job="$(printf '%q ' "$remote") list.csv -o share{} --shard {}/$shards --report share{}/report.jsonl"
for option in "$@"; do job+=" $(printf '%q' "$option")"; done
job+='; status=$?; tar cf share{}.tar share{}; exit $status'

parallel --will-cite --sshloginfile "$logins" -j1 --wd ... --transferfile list.csv --return 'share{}.tar' --cleanup \
    --joblog joblog.txt "$job" ::: $(seq 1 "$shards")
parallel_status=$?

# Merge: every share's pictures into OUTPUT, every report line into one report ordered by row.
missing=0
: > reports.jsonl
for k in $(seq 1 "$shards"); do
    if [ ! -f "share$k.tar" ]; then
        echo "parallel-shards: share $k/$shards brought nothing back" >&2
        missing=1
        continue
    fi
    tar xf "share$k.tar" || { missing=1; continue; }
    cp -R "share$k/." "$output/"
    rm -f "$output/report.jsonl"
    [ -f "share$k/report.jsonl" ] && cat "share$k/report.jsonl" >> reports.jsonl
done
python3 - "$here/reports.jsonl" "$output/report.jsonl" <<'EOF' 2>/dev/null || cp reports.jsonl "$output/report.jsonl"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8") if line.strip()]
rows.sort(key=lambda r: r["row"])
with open(sys.argv[2], "w", encoding="utf-8") as out:
    for r in rows:
        out.write(json.dumps(r, ensure_ascii=False, separators=(",", ":")) + "\n")
EOF
cp joblog.txt "$output/joblog.txt"
[ $missing -eq 0 ] || exit 3
# parallel's status is the number of jobs that failed; a share fails when a row failed in it.
[ $parallel_status -eq 0 ] || exit 1
exit 0
