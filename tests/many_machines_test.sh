#!/usr/bin/env bash
# The recipe of docs/many-machines.md end to end on this machine: a private sshd on a free port stands for the
# machines, two logins (127.0.0.1 and localhost) for two hosts; GNU parallel sends the list, each share runs
# bildoro-batch --shard K/3, and the pictures and reports come back merged. The recipe is given relative paths
# and runs three times: with a share that cannot start, interrupted while a share hangs, and again to the end.
#   tests/many_machines_test.sh SOURCE_DIR BUILD_DIR      (exit 77: skipped, sshd or parallel missing)
set -uo pipefail
src=$(cd "$1" && pwd) build=$(cd "$2" && pwd)
for tool in /usr/sbin/sshd ssh ssh-keygen parallel rsync python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (apt-get install openssh-server parallel rsync)"; exit 77; }
done
# sshd started by root needs its privilege separation folder; made here only when missing, and removed again.
made_run_sshd=
[ -d /run/sshd ] || { [ "$(id -u)" -eq 0 ] && mkdir /run/sshd && made_run_sshd=1; } \
    || { echo "SKIP: no /run/sshd"; exit 77; }
tmp=$(mktemp -d)
sshd_pid=
# Processes still working in the machines' folder: an interrupted recipe must not leave any.
left_behind() { find /proc -mindepth 2 -maxdepth 2 -name cwd -lname "$tmp/remote*" 2>/dev/null | cut -d/ -f3; }
cleanup() {
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
    for pid in $(left_behind); do kill -KILL "$pid" 2>/dev/null; done
    rm -rf "$tmp"
    [ -n "$made_run_sshd" ] && rmdir /run/sshd
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() { echo "FAIL: $*" >&2; exit 1; }

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
ssh-keygen -q -t ed25519 -N '' -f "$tmp/host_key" || fail "ssh-keygen"
ssh-keygen -q -t ed25519 -N '' -f "$tmp/user_key" || fail "ssh-keygen"
cp "$tmp/user_key.pub" "$tmp/authorized_keys"
cat > "$tmp/sshd_config" <<EOF
Port $port
ListenAddress 127.0.0.1
HostKey $tmp/host_key
AuthorizedKeysFile $tmp/authorized_keys
PidFile $tmp/sshd.pid
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
# The logins work in the test's folder, not in the user's home (parallel makes its working folders under ~).
ForceCommand cd $tmp/remote && HOME=$tmp/remote TMPDIR=$tmp/remote exec "\$SHELL" -c "\$SSH_ORIGINAL_COMMAND"
EOF
mkdir "$tmp/remote" "$tmp/home" "$tmp/run" "$tmp/marks"
cat > "$tmp/ssh_config" <<EOF
Host *
    Port $port
    IdentityFile $tmp/user_key
    IdentitiesOnly yes
    UserKnownHostsFile /dev/null
    StrictHostKeyChecking no
    BatchMode yes
    LogLevel ERROR
EOF
/usr/sbin/sshd -D -e -f "$tmp/sshd_config" 2>"$tmp/sshd.log" &
sshd_pid=$!
user=$(id -un)
for _ in $(seq 100); do
    ssh -F "$tmp/ssh_config" "$user@127.0.0.1" true 2>/dev/null && break
    sleep 0.1
done
ssh -F "$tmp/ssh_config" "$user@127.0.0.1" true || fail "no login to the local sshd: $(cat "$tmp/sshd.log")"
cd "$tmp/run" || fail "no folder $tmp/run"
printf 'ssh -F %s %s@127.0.0.1\nssh -F %s %s@localhost\n' "$tmp/ssh_config" "$user" "$tmp/ssh_config" "$user" > logins

# Twelve rows over the bundled pages (file: addresses, which both "hosts" reach on this machine); row 3 (share 1)
# names a page that appears only before the last run.
pages=("$src"/examples/pages/*.html)
for i in $(seq 0 11); do printf 'file://%s;row%02d\r\n' "${pages[i % ${#pages[@]}]}" "$i"; done > list.csv
sed -i "4s|.*|file://$tmp/run/late.html;row03\r|" list.csv
# bildoro-batch on the "machines", except that marks of the test make share 2 fail to start or hang.
cat > "$tmp/batch" <<EOF
#!/bin/sh
case " \$* " in *" --shard 2/3 "*)
    [ -e $tmp/marks/no-start ] && { echo "share 2 cannot start" >&2; exit 3; }
    [ -e $tmp/marks/hang ] && { touch $tmp/marks/hanging; exec sleep 100; } ;;
esac
exec "$build/cli/bildoro-batch" "\$@"
EOF
chmod +x "$tmp/batch"
recipe=(env "HOME=$tmp/home" "TMPDIR=$tmp/home" "BILDORO_BATCH=$tmp/batch"
        "$src/examples/many-machines/parallel-shards.sh" list.csv out logins 3 -- --jobs 2 --allow-files)
# Checks the merged report: the rows given, the failed ones given, each ok row's path a picture in out/.
check_report() {
    python3 - "$1" "$2" <<'EOF' || fail "merged report: $(cat out/report.jsonl)"
import json, os, sys
rows = [json.loads(line) for line in open("out/report.jsonl", encoding="utf-8")]
assert [r["row"] for r in rows] == [int(x) for x in sys.argv[1].split()], [r["row"] for r in rows]
failed = [int(x) for x in sys.argv[2].split()]
assert [r["row"] for r in rows if r["status"] != "ok"] == failed, rows
for r in rows:
    assert r["path"] == "out/%s.jpg" % r["picture"], r
    assert r["status"] != "ok" or (os.path.isfile(r["path"]) and r["width"] == 320), r
EOF
}

# First run: share 2 cannot start, row 3 fails; what the other shares did is there all the same.
touch "$tmp/marks/no-start"
"${recipe[@]}" > "$tmp/run.log" 2>&1; status=$?
[ $status -eq 3 ] || fail "with a share that cannot start: status $status, not 3: $(cat "$tmp/run.log")"
check_report "0 2 3 5 6 8 9 11" "3"
[ "$(cat out/failed.csv out/shares/1/failed.csv | grep -c 'late.html;row03')" -eq 2 ] \
    || fail "row 3 not in the failed lists"
[ "$(cat out/shares/2/status)" = 3 ] || fail "share 2's status is not kept"
[ "$(grep -oE '@(127\.0\.0\.1|localhost)' out/joblog.txt | sort -u | wc -l)" -eq 2 ] \
    || fail "the shares did not go to both logins: $(cat out/joblog.txt)"

# Second run, interrupted while share 2 hangs: the recipe stops, and with it everything on the "machines".
rm "$tmp/marks/no-start"; touch "$tmp/marks/hang"
"${recipe[@]}" > "$tmp/run.log" 2>&1 & recipe_pid=$!
for _ in $(seq 600); do [ -e "$tmp/marks/hanging" ] && break; sleep 0.1; done
[ -e "$tmp/marks/hanging" ] || fail "share 2 did not start: $(cat "$tmp/run.log")"
kill -TERM "$recipe_pid"; wait "$recipe_pid" && fail "an interrupted recipe ended with 0"
for _ in $(seq 50); do [ -z "$(left_behind)" ] && break; sleep 0.1; done
[ -z "$(left_behind)" ] || fail "left running after the interruption: $(left_behind | xargs ps -o pid,args -p)"
[ -z "$(ls -A "$tmp/remote/.parallel/tmp")" ] || fail "working folders left: $(ls "$tmp/remote/.parallel/tmp")"

# The same command again goes on: share 3 is not run again, share 1 skips the rows it did, nothing is lost.
rm "$tmp/marks/hang"; cp "${pages[0]}" late.html
"${recipe[@]}" > "$tmp/run.log" 2>&1; status=$?
[ $status -eq 0 ] || fail "the last run ended with $status: $(cat "$tmp/run.log")"
check_report "$(seq -s ' ' 0 11)" ""
[ ! -s out/failed.csv ] || fail "failed rows left: $(cat out/failed.csv)"
! grep -q -- '--shard 3/3' out/joblog.txt || fail "share 3 ran again: $(cat out/joblog.txt)"
# A row --resume skips gets no new line: row 0 keeps its one line, row 3 gets its ok.
[ "$(grep -c '"row":0,' out/shares/1/report.jsonl)" -eq 1 ] \
    && grep -q '"row":3,"status":"ok"' out/shares/1/report.jsonl || fail "share 1 did not go on from its report"
echo "ok: 12 rows in 3 shares over 2 logins, a share that could not start, an interruption, and the run again"
