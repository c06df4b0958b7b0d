#!/usr/bin/env python3
# What each capture control costs: bildoro-batch over the bench corpus (56 pages, --jobs 2) once without any
# and once with each, wall and CPU seconds per page (every process of the run, reaped through bildoro-batch)
# and the largest resident set of one process of the run (GNU time: bildoro-batch and what it reaped, the
# browser's processes through their guardian); then one page 16,000 CSS pixels tall taken whole.
# Pages whose body has no size (an empty page, one of positioned boxes) fail --element body and
# --wait-for body, as they should.
#   options_bench.py --batch build/cli/bildoro-batch [--rounds 2]
import argparse
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

OPTIONS = [
    [],
    ["--format", "png"],
    ["--format", "webp"],
    ["--quality", "90"],
    ["--widths", "160,640"],
    ["--keep-capture"],
    ["--scale", "2"],
    ["--mobile"],
    ["--dark"],
    ["--full-page"],
    ["--element", "body"],
    ["--hide", "img"],
    ["--wait-for", "body", "--timeout", "5"],
    ["--delay", "100"],
    ["--header", "X-Bench: 1", "--cookie", "bench=1", "--user-agent", "Bench/1"],
]


def run(batch, listfile, out, args):
    shutil.rmtree(out, ignore_errors=True)
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    # GNU time: the largest resident set of bildoro-batch and of what it reaped (its browser's processes).
    p = subprocess.run(["/usr/bin/time", "-f", "%M", batch, listfile, "-o", out, "--jobs", "2"] + args,
                       capture_output=True, text=True)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    failed = sum(1 for line in p.stdout.splitlines() if line.startswith("failed:"))
    rss = int(p.stderr.strip().splitlines()[-1]) / 1024
    return wall, cpu, rss, failed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--rounds", type=int, default=2)
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="options-bench-")
    try:
        corpus = os.path.join(work, "corpus")
        subprocess.run([sys.executable, os.path.join(HERE, "corpus", "make_corpus.py"), corpus], check=True,
                       capture_output=True)
        with open(os.path.join(corpus, "tall.html"), "w") as f:
            f.write("<!doctype html><body style='margin:0'>" + "".join(
                "<div style='height:1000px;background:hsl(%d,60%%,60%%)'>%d</div>" % (i * 22, i) for i in range(16))
                + "</body>")
        portfile = os.path.join(work, "port")
        server = subprocess.Popen([sys.executable, os.path.join(HERE, "corpus", "serve.py"), corpus, portfile])
        try:
            for _ in range(100):
                if os.path.exists(portfile) and open(portfile).read().strip():
                    break
                time.sleep(0.05)
            port = open(portfile).read().strip()
            pages = [n for n in open(os.path.join(corpus, "pages.txt")).read().split() if n]
            listfile = os.path.join(work, "list.csv")
            with open(listfile, "w") as f:
                for n in pages:
                    f.write("http://127.0.0.1:%s/%s;%s\r\n" % (port, n, os.path.splitext(os.path.basename(n))[0]))
            print("| options | s/page | CPU s/page | largest process MiB | failed |")
            print("|---|---|---|---|---|")
            for args in OPTIONS:
                results = [run(a.batch, listfile, os.path.join(work, "out"), args) for _ in range(a.rounds)]
                wall = statistics.median(r[0] for r in results) / len(pages)
                cpu = statistics.median(r[1] for r in results) / len(pages)
                print("| %s | %.3f | %.3f | %.0f | %d |" % (" ".join(args) or "(none)", wall, cpu,
                                                          max(r[2] for r in results), max(r[3] for r in results)),
                      flush=True)
            tall = os.path.join(work, "tall.csv")
            with open(tall, "w") as f:
                f.write("http://127.0.0.1:%s/tall.html;tall\r\n" % port)
            for args in (["--full-page"], ["--full-page", "--keep-capture", "--format", "png"]):
                wall, cpu, rss, failed = run(a.batch, tall, os.path.join(work, "tall"), args)
                print("| 16,000 px page, %s | %.2f s | %.2f s | %.0f | %d |" % (" ".join(args), wall, cpu, rss, failed))
        finally:
            server.terminate()
            server.wait()
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
