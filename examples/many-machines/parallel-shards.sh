#!/usr/bin/env bash
# Spreads one list over several machines with GNU parallel over ssh: each machine runs one share (--shard K/N) of
# the list with bildoro-batch, and its pictures, report and failed list come back here into one folder.
#
#   examples/many-machines/parallel-shards.sh LIST OUTPUT SSHLOGINFILE [SHARDS] [-- OPTIONS OF bildoro-batch]
#
# LIST          the list file; it is sent to each machine.
# OUTPUT        folder here that receives every picture, report.jsonl (each row's latest line, ordered by row, its
#               path naming the picture in OUTPUT) and failed.csv (the rows that failed, as a list file).
#               OUTPUT/shares/K/ keeps share K's own report.jsonl, failed.csv and exit status.
# SSHLOGINFILE  GNU parallel's login file: one machine per line, e.g. "user@host" or "ssh -p 2222 user@host".
# SHARDS        number of shares (default: the number of lines in SSHLOGINFILE); each machine runs one at a time.
# OPTIONS       passed to bildoro-batch (--jobs, --retry, --allow-files, ...); the script sets -o, --shard,
#               --report, --resume and --failed-list itself.
#
# After an interruption or failed rows, run the same command again: shares that ended with every row ok are
# not run again, the others go on with --resume from their report in OUTPUT/shares/K, and pictures stay.
# Every machine needs bildoro-batch on its PATH (the project's Debian package) and rsync; this machine needs
# GNU parallel, rsync, python3 and flock. BILDORO_BATCH names another remote command.
# Exit status: 0 every row ok, 1 rows failed (see OUTPUT/failed.csv), 2 wrong usage, 3 a share could not start
# or brought nothing back (see OUTPUT/joblog.txt), or this machine could not start.
set -uo pipefail

usage() { sed -n '2,21p' "$0" >&2; exit 2; }
[ $# -ge 3 ] || usage
list=$1 output=$2 logins=$3
shift 3
shards=
if [ $# -gt 0 ] && [ "$1" != "--" ]; then shards=$1; shift; fi
if [ $# -gt 0 ]; then [ "$1" = "--" ] || usage; shift; fi
for option in "$@"; do
    case $option in
        -o|--output|--output=*|--shard|--shard=*|--report|--report=*|--resume|--failed-list|--failed-list=*)
            echo "parallel-shards: $option is set by the script itself" >&2; exit 2 ;;
    esac
done
remote=${BILDORO_BATCH:-bildoro-batch}
for tool in parallel rsync python3 flock; do
    command -v "$tool" >/dev/null \
        || { echo "parallel-shards: $tool is needed (Debian: parallel, rsync, python3, util-linux)" >&2; exit 3; }
done
[ -r "$list" ] && [ -f "$list" ] || { echo "parallel-shards: cannot read the list $list" >&2; exit 3; }
[ -r "$logins" ] || { echo "parallel-shards: cannot read the login file $logins" >&2; exit 3; }
[ -n "$shards" ] || shards=$(grep -cv '^\s*\(#\|$\)' "$logins")
[[ $shards =~ ^[1-9][0-9]*$ ]] || { echo "parallel-shards: SHARDS must be a number from 1" >&2; exit 2; }

# Everything below runs in OUTPUT/shares, so the paths given (relative to the folder the script was started in)
# are made absolute first. The report names pictures as the user names OUTPUT, like bildoro-batch -o OUTPUT.
output_named=$output
[ "$output_named" = / ] || output_named=${output_named%/}
logins=$(cd "$(dirname "$logins")" && pwd)/$(basename "$logins") || exit 3
state=$output/shares
mkdir -p "$state" || { echo "parallel-shards: cannot make $state" >&2; exit 3; }
state=$(cd "$state" && pwd) || exit 3
output=$(dirname "$state")
# One run at a time in an OUTPUT: two would take each other's tar files and reports.
exec 9> "$state/lock" && flock -n 9 || { echo "parallel-shards: another run is using $output" >&2; exit 3; }

# A second run goes on from the first only with the same list and the same number of shares: otherwise the
# shares' reports would name other rows.
if [ -f "$state/count" ] && [ "$(cat "$state/count")" != "$shards" ]; then
    echo "parallel-shards: $output holds a run in $(cat "$state/count") shares; give that number or another OUTPUT" >&2
    exit 2
fi
if [ -f "$state/list.csv" ] && ! cmp -s "$list" "$state/list.csv"; then
    echo "parallel-shards: $output holds a run of another list; give that list or another OUTPUT" >&2
    exit 2
fi
cp "$list" "$state/list.csv.new" && mv "$state/list.csv.new" "$state/list.csv" || exit 3
echo "$shards" > "$state/count" || exit 3
cd "$state" || exit 3

# A share's tar file that came back (this run or one that was interrupted) goes into place: its pictures into
# OUTPUT, its report, failed list and status into shares/K. The tar file goes last, so that an interruption here
# only makes the next run do it again.
merge_returned() {
    local k file
    for k in $(seq 1 "$shards"); do
        [ -f "$k.tar" ] || continue
        rm -rf "$k.in" && mkdir "$k.in" && tar xf "$k.tar" -C "$k.in" || return 1
        if [ -d "$k.in/$k/pictures" ]; then cp -pR "$k.in/$k/pictures/." "$output/" || return 1; fi
        mkdir -p "$k" || return 1
        for file in report.jsonl failed.csv status; do
            if [ -f "$k.in/$k/$file" ]; then mv -f "$k.in/$k/$file" "$k/$file" || return 1; fi
        done
        rm -rf "$k.in" "$k.tar"
    done
}
merge_returned || { echo "parallel-shards: cannot unpack what came back into $output" >&2; exit 3; }

# The shares still to run: all but those whose last run ended with every row ok. Each gets its report so far,
# so that bildoro-batch --resume skips the rows it records as done. A share's status is only what this run
# brings back.
# The pictures live here, not on the machines (--pictures-moved): a done row whose picture is gone from OUTPUT
# loses its ok line, so that it runs again.
todo=()
for k in $(seq 1 "$shards"); do
    [ "$(cat "$k/status" 2>/dev/null)" = 0 ] && continue
    mkdir -p "$k" && touch "$k/report.jsonl" && rm -f "$k/status" || exit 3
    python3 - "$k" "$output" <<'EOF' || exit 3
import json, os, sys
k, output = sys.argv[1], sys.argv[2]
prefix, kept = f"{k}/pictures/", []
for line in open(f"{k}/report.jsonl", encoding="utf-8").read().splitlines(keepends=True):
    try:
        r = json.loads(line)
        gone = r.get("status") == "ok" and not os.path.isfile(
            os.path.join(output, str(r.get("path", ""))[len(prefix):]))
    except ValueError:
        gone = False
    if not gone:
        kept.append(line)
open(f"{k}/report.jsonl.new", "w", encoding="utf-8").write("".join(kept))
os.replace(f"{k}/report.jsonl.new", f"{k}/report.jsonl")
EOF
    todo+=("$k")
done

# On each machine, in a working folder of its own that parallel removes afterwards: run one share into K/, keep
# its exit status, and pack the share for the way back.
job="mkdir -p {}; $(printf '%q ' "$remote")list.csv -o {}/pictures --shard {}/$shards --report {}/report.jsonl --resume"
job+=" --pictures-moved"
job+=" --failed-list {}/failed.csv"
for option in "$@"; do job+=" $(printf '%q' "$option")"; done
job+='; status=$?; echo $status > {}/status; tar cf {}.tar {}; rm -rf {}; exit $status'

# What came back goes into OUTPUT. The merged report holds each row's latest line (reports of earlier versions of
# bildoro-batch also hold "skipped" lines, which do not count), with its path in OUTPUT instead of the machine's
# working folder; the merged failed list is the shares' failed lists one after the other.
put_together() {
    merge_returned || { echo "parallel-shards: cannot unpack what came back into $output" >&2; return 1; }
    python3 - "$output_named" "$shards" > "$output/report.jsonl.new" <<'EOF' || return 1
import json, sys
output, shards = sys.argv[1], int(sys.argv[2])
rows = {}
for k in range(1, shards + 1):
    try:
        lines = open(f"{k}/report.jsonl", encoding="utf-8").read().splitlines()
    except FileNotFoundError:
        continue
    prefix = f"{k}/pictures/"
    for line in lines:
        try:
            r = json.loads(line)
            row = r["row"]
        except (ValueError, TypeError, KeyError):
            continue  # an empty line, or one cut short when a run was stopped while writing it
        if isinstance(r.get("path"), str) and r["path"].startswith(prefix):
            r["path"] = output + "/" + r["path"][len(prefix):]
        if r.get("status") != "skipped" or row not in rows:
            rows[row] = r
for row in sorted(rows):
    print(json.dumps(rows[row], ensure_ascii=False, separators=(",", ":")))
EOF
    mv -f "$output/report.jsonl.new" "$output/report.jsonl" || return 1
    for k in $(seq 1 "$shards"); do [ -f "$k/failed.csv" ] && cat "$k/failed.csv"; done > "$output/failed.csv"
}

# parallel runs in the background so that an interruption (Ctrl-C, kill) reaches it: it stops its jobs, what
# came back so far goes into OUTPUT, and the working folders of the stopped jobs, which parallel leaves on the
# machines, are removed (parallel names them HOSTNAME-PID-JOB under ~/.parallel/tmp).
parallel_pid=
interrupted() {
    trap - INT TERM HUP  # a second interruption ends the script at once
    if [ -n "$parallel_pid" ]; then
        # INT rather than TERM: parallel ignores TERM until its jobs have started.
        kill -INT "$parallel_pid" 2>/dev/null
        wait "$parallel_pid"
        local here
        here=$(hostname 2>/dev/null) || here=
        parallel --will-cite --sshloginfile "$logins" --nonall \
            "rm -rf .parallel/tmp/$(printf '%q' "${here:-nohostname}-$parallel_pid-")*" >/dev/null 2>&1
    fi
    put_together
    echo "parallel-shards: interrupted; run the same command again to go on" >&2
    exit 130
}
trap interrupted INT TERM HUP
if [ ${#todo[@]} -gt 0 ]; then
    parallel --will-cite --sshloginfile "$logins" -j1 --wd ... --transferfile list.csv \
        --transferfile '{}/report.jsonl' --return '{}.tar' --cleanup --joblog "$output/joblog.txt" \
        "$job" ::: "${todo[@]}" &
    parallel_pid=$!
    wait "$parallel_pid"
    parallel_pid=
fi
trap - INT TERM HUP
put_together || exit 3

# The exit status covers every share, also those done in an earlier run: 3 before 2 before 1.
result=0
for k in $(seq 1 "$shards"); do
    status=$(cat "$k/status" 2>/dev/null)
    case $status in
        0) continue ;;
        1) share=1 ;;
        2) share=2; echo "parallel-shards: share $k/$shards: wrong usage of bildoro-batch" >&2 ;;
        "") share=3; echo "parallel-shards: share $k/$shards brought nothing back" >&2 ;;
        *) share=3; echo "parallel-shards: share $k/$shards could not start (status $status)" >&2 ;;
    esac
    [ "$share" -gt "$result" ] && result=$share
done
exit $result
