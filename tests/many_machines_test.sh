#!/usr/bin/env bash
# The recipe of docs/many-machines.md end to end on this machine: a private sshd on a free port stands for the
# machines, two logins (127.0.0.1 and localhost) for two hosts; GNU parallel sends the list, each share runs
# bildoro-batch --shard K/3, and the pictures and reports come back merged. Every row must be there once.
#   tests/many_machines_test.sh SOURCE_DIR BUILD_DIR      (exit 77: skipped, sshd or parallel missing)
set -uo pipefail
src=$1 build=$2
for tool in /usr/sbin/sshd ssh ssh-keygen parallel rsync python3; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool missing (apt-get install openssh-server parallel rsync)"; exit 77; }
done
if [ "$(id -u)" -eq 0 ]; then mkdir -p /run/sshd; elif [ ! -d /run/sshd ]; then echo "SKIP: no /run/sshd"; exit 77; fi

tmp=$(mktemp -d)
sshd_pid=
cleanup() {
    [ -n "$sshd_pid" ] && kill "$sshd_pid" 2>/dev/null && wait "$sshd_pid" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
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
EOF
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
printf 'ssh -F %s %s@127.0.0.1\nssh -F %s %s@localhost\n' "$tmp/ssh_config" "$user" "$tmp/ssh_config" "$user" \
    > "$tmp/logins"

# Twelve rows over the bundled pages (file: addresses, which both "hosts" reach on this machine).
pages=("$src"/examples/pages/*.html)
for i in $(seq 0 11); do printf 'file://%s;row%02d\r\n' "${pages[i % ${#pages[@]}]}" "$i"; done > "$tmp/list.csv"

BILDORO_BATCH="$build/cli/bildoro-batch" "$src/examples/many-machines/parallel-shards.sh" \
    "$tmp/list.csv" "$tmp/out" "$tmp/logins" 3 -- --jobs 2 > "$tmp/run.log" 2>&1
status=$?
[ $status -eq 0 ] || fail "parallel-shards.sh ended with $status: $(cat "$tmp/run.log")"

[ "$(find "$tmp/out" -name 'row*.jpg' | wc -l)" -eq 12 ] || fail "not 12 pictures: $(ls "$tmp/out")"
python3 - "$tmp/out/report.jsonl" <<'EOF' || fail "merged report: $(cat "$tmp/out/report.jsonl")"
import json, sys
rows = [json.loads(line) for line in open(sys.argv[1], encoding="utf-8")]
assert [r["row"] for r in rows] == list(range(12)), [r["row"] for r in rows]
assert all(r["status"] == "ok" and r["width"] == 320 for r in rows)
EOF
# Both logins took shares.
hosts=$(grep -oE '@(127\.0\.0\.1|localhost)' "$tmp/out/joblog.txt" | sort -u | wc -l)
[ "$hosts" -eq 2 ] || fail "the shares did not go to both logins: $(cat "$tmp/out/joblog.txt")"
echo "ok: 12 rows in 3 shares over 2 logins"
