#!/usr/bin/env python3
"""Memory of bildoro-batch against the size of its list.

Writes lists of 1 000 and 5 000 000 rows (the bundled example pages over and over), then for each:
  1. --dry-run over the whole list (standard output to /dev/null): peak memory (VmHWM) and time;
  2. a run with --jobs 2 --report, ended after its first ROWS rows: peak memory of bildoro-batch.
The list is read as a stream; what grows with its size is one key of each row's picture name (about 30 bytes a
row at most), so that two rows never write one picture.

  python3 bench/list_memory.py --batch build/cli/bildoro-batch [--rows 60] [--big 5000000]
"""
import argparse
import os
import pathlib
import signal
import subprocess
import sys
import tempfile
import time

HERE = pathlib.Path(__file__).resolve().parent
PAGES = sorted((HERE.parent / "examples" / "pages").glob("*.html"))


def write_list(path, rows):
    with open(path, "wb") as f:
        lines = [f"file://{p};p{{}}\r\n".format for p in PAGES]
        chunk = []
        for i in range(rows):
            chunk.append(lines[i % len(lines)](i))
            if len(chunk) == 100000:
                f.write("".join(chunk).encode())
                chunk = []
        f.write("".join(chunk).encode())


def peak_kib(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def dry_run(batch, listfile, out):
    start = time.monotonic()
    p = subprocess.Popen([batch, "--dry-run", listfile, "-o", out], stdout=subprocess.DEVNULL)
    peak = 0
    while p.poll() is None:
        peak = max(peak, peak_kib(p.pid))
        time.sleep(0.05)
    return peak, time.monotonic() - start, p.returncode


def first_rows(batch, listfile, out, rows):
    report = os.path.join(out, "report.jsonl")
    p = subprocess.Popen([batch, listfile, "-o", out, "--jobs", "2", "--report", report],
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    peak = 0
    done = 0
    while p.poll() is None and done < rows:
        peak = max(peak, peak_kib(p.pid))
        try:
            with open(report, "rb") as f:
                done = f.read().count(b"\n")
        except OSError:
            pass
        time.sleep(0.1)
    peak = max(peak, peak_kib(p.pid))
    p.send_signal(signal.SIGINT)
    try:
        p.wait(20)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    return peak, done


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--rows", type=int, default=60)
    ap.add_argument("--big", type=int, default=5_000_000)
    args = ap.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        print(f"| list rows | list MB | dry-run peak MiB | dry-run s | run of first {args.rows} rows: peak MiB |")
        print("|---:|---:|---:|---:|---:|")
        for rows in (1000, args.big):
            listfile = os.path.join(tmp, f"list{rows}.csv")
            write_list(listfile, rows)
            size = os.path.getsize(listfile) / 1e6
            peak, secs, rc = dry_run(args.batch, listfile, os.path.join(tmp, "out"))
            if rc != 0:
                sys.exit(f"--dry-run failed with {rc}")
            out = os.path.join(tmp, f"run{rows}")
            os.makedirs(out)
            run_peak, done = first_rows(args.batch, listfile, out, args.rows)
            print(f"| {rows} | {size:.0f} | {peak / 1024:.1f} | {secs:.1f} | {run_peak / 1024:.1f} ({done} rows) |",
                  flush=True)


if __name__ == "__main__":
    main()
