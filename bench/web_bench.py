#!/usr/bin/env python3
# The web as it is, on this machine: the bench corpus served from 40 loopback addresses (127.0.0.2 and up, each a
# site of its own, so that every page needs a renderer process of its own) with a network's delays (documents
# 150-900 ms, everything else 40-400 ms, fixed per address so that every method meets the same), and each method
# run in control groups of its own that count the CPU and the peak memory of its whole process tree.
# Methods: bildoro-batch at several --jobs, and, when its modules are given, puppeteer-cluster at 2, 4 and 8 tabs
# (bench/puppeteer_cluster.js). Rounds are interleaved; the report gives each method's median.
#   web_bench.py --batch build/cli/bildoro-batch [--jobs 1,2,4,8] [--pages 60] [--rounds 1]
#                [--node-modules DIR/node_modules] [--baseline OTHER-BILDORO-BATCH] [--report FILE]
#                [--variant "FURTHER OPTIONS"]... [--profile]
# --profile prints, for each run, the CPU and the memory (PSS at the highest total) of each kind of process
# (Chromium's browser, renderers, compositor, network service; the program's own; node), sampled from /proc.
import argparse
import hashlib
import os
import statistics
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from batch_bench import log, wait_for_quiet, write_list  # noqa: E402

SITES = 40

SERVER = r'''
import hashlib, http.server, os, sys, threading, time
folder, portfile, sites = sys.argv[1], sys.argv[2], int(sys.argv[3])
os.chdir(folder)

def delay(host, path):
    h = int(hashlib.sha1((host + path).encode()).hexdigest()[:8], 16)
    return (150 + h % 751) / 1000 if path.endswith(".html") else (40 + h % 361) / 1000

class Handler(http.server.SimpleHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    def do_GET(self):
        time.sleep(delay(self.server.server_address[0], self.path.split("?")[0]))
        self.path = self.path.split("?")[0]
        super().do_GET()
    def end_headers(self):
        self.send_header("Cache-Control", "no-store")
        super().end_headers()
    def log_message(self, *a):
        pass

class Server(http.server.ThreadingHTTPServer):
    def handle_error(self, request, address):  # a browser that hung up early: nothing to say
        pass

ports = []
for i in range(sites):
    server = Server(("127.0.0.%d" % (2 + i), 0), Handler)
    server.daemon_threads = True
    ports.append(server.server_address[1])
    threading.Thread(target=server.serve_forever, daemon=True).start()
with open(portfile + ".tmp", "w") as f:
    f.write(" ".join(map(str, ports)))
os.rename(portfile + ".tmp", portfile)
threading.Event().wait()
'''


class Groups:
    """A control group per run in the cpu-accounting and memory hierarchies (cgroup v1), or one of cgroup v2:
    the method's process joins it before it starts its program, and everything it starts stays in it."""

    def __init__(self, tag):
        self.v2 = not os.path.isdir("/sys/fs/cgroup/memory") and os.path.isfile("/sys/fs/cgroup/cgroup.controllers")
        base = ["/sys/fs/cgroup"] if self.v2 else ["/sys/fs/cgroup/cpuacct", "/sys/fs/cgroup/memory"]
        self.dirs = [os.path.join(b, "bildoro-webbench-%d-%s" % (os.getpid(), tag)) for b in base]
        for d in self.dirs:
            os.makedirs(d)

    def join(self):  # in the child, before exec
        for d in self.dirs:
            with open(os.path.join(d, "cgroup.procs"), "w") as f:
                f.write(str(os.getpid()))

    def finish(self):
        """(CPU seconds, peak MiB) once every process of the group has ended; removes the groups."""
        deadline = time.time() + 15
        while time.time() < deadline and any(open(os.path.join(d, "cgroup.procs")).read().split() for d in self.dirs):
            time.sleep(0.1)
        if self.v2:
            stat = open(os.path.join(self.dirs[0], "cpu.stat")).read()
            cpu = int(stat.split("usage_usec")[1].split()[0]) / 1e6
            peak_file = os.path.join(self.dirs[0], "memory.peak")
            peak = int(open(peak_file).read()) / 2**20 if os.path.exists(peak_file) else float("nan")
        else:
            cpu = int(open(os.path.join(self.dirs[0], "cpuacct.usage")).read()) / 1e9
            peak = int(open(os.path.join(self.dirs[1], "memory.max_usage_in_bytes")).read()) / 2**20
        for d in self.dirs:
            try:
                os.rmdir(d)
            except OSError:
                pass
        return cpu, peak


def serve(work, pages):
    corpus = os.path.join(work, "corpus")
    subprocess.check_call([sys.executable, os.path.join(HERE, "corpus", "make_corpus.py"), corpus],
                          stdout=subprocess.DEVNULL)
    # The frame parts and the pages of a slow resource are pages of their own in the corpus; all are rows.
    names = [l.strip() for l in open(os.path.join(corpus, "pages.txt")) if l.strip()]
    portfile = os.path.join(work, "ports")
    server = subprocess.Popen([sys.executable, "-c", SERVER, corpus, portfile, str(SITES)])
    for _ in range(200):
        if os.path.exists(portfile):
            break
        time.sleep(0.05)
    ports = [int(p) for p in open(portfile).read().split()]
    entries = []
    for i in range(pages):
        site = i % SITES
        name = names[i % len(names)]
        entries.append(("http://127.0.0.%d:%d/%s?row=%d" % (2 + site, ports[site], name, i),
                        "p%03d_%s" % (i, os.path.splitext(os.path.basename(name))[0])))
    return server, entries


def kind_of(pid):
    """The kind of a process of a method's tree: Chromium's --type, or the program's own name."""
    try:
        argv = open("/proc/%d/cmdline" % pid, "rb").read().replace(b"\0", b" ").split()
    except OSError:
        return None
    for a in argv:
        if a.startswith(b"--type="):
            kind = a[7:].decode()
            for b in argv:
                if b.startswith(b"--utility-sub-type="):
                    return "utility " + b[19:].decode().split(".")[-1]
            return kind
    return os.path.basename(argv[0].decode(errors="replace")) if argv else None


def pss_mib(pid):
    try:
        for line in open("/proc/%d/smaps_rollup" % pid):
            if line.startswith("Pss:"):
                return int(line.split()[1]) / 1024
    except OSError:
        pass
    return 0.0


def sample(groups, seen, peak, stop):
    """Where the CPU goes, by kind of process: the last CPU time each process of the group was seen with,
    sampled every 20 ms (a process's last moments before its end are lost). Every 200 ms also the memory
    (PSS) by kind; `peak` keeps the split at the highest total."""
    procs = os.path.join(groups.dirs[0], "cgroup.procs")
    tick = os.sysconf("SC_CLK_TCK")
    n = 0
    while not stop.is_set():
        memory = {} if n % 10 == 0 else None
        n += 1
        for pid in map(int, open(procs).read().split()):
            try:
                fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            # A process is named by what it runs last: a fork runs as its parent until it starts its own program.
            kind = kind_of(pid)
            entry = seen.setdefault(pid, ["?", 0.0])
            entry[0] = kind or entry[0]
            entry[1] = (int(fields[11]) + int(fields[12])) / tick
            if memory is not None:
                m = memory.setdefault(entry[0], [0.0, 0])
                m[0] += pss_mib(pid)
                m[1] += 1
        if memory and sum(m[0] for m in memory.values()) > sum(m[0] for m in peak.values()):
            peak.clear()
            peak.update(memory)
        stop.wait(0.02)


def run(tag, argv, env=None, profile=None):
    groups = Groups(tag)
    seen, peak, stop = {}, {}, threading.Event()
    sampler = threading.Thread(target=sample, args=(groups, seen, peak, stop)) if profile is not None else None
    t = time.perf_counter()
    p = subprocess.Popen(argv, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env,
                         preexec_fn=groups.join)
    if sampler:
        sampler.start()
    out, err = p.communicate()
    wall = time.perf_counter() - t
    if sampler:
        stop.set()
        sampler.join()
        for kind, cpu in seen.values():
            entry = profile.setdefault(kind, [0.0, 0, 0.0, 0])
            entry[0] += cpu
            entry[1] += 1
        for kind, (mib, count) in peak.items():
            entry = profile.setdefault(kind, [0.0, 0, 0.0, 0])
            entry[2], entry[3] = mib, count
    cpu, peak = groups.finish()
    return wall, cpu, peak, subprocess.CompletedProcess(argv, p.returncode, out, err)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--baseline", help="another bildoro-batch (an earlier build), run at the same --jobs")
    ap.add_argument("--jobs", default="1,2,4,8", help="the --jobs values of bildoro-batch, e.g. 2,4,8,auto")
    ap.add_argument("--baseline-jobs", help="the --jobs values of the baseline (default: those of --jobs)")
    ap.add_argument("--tabs", default="2,4,8", help="puppeteer-cluster's tabs at once")
    ap.add_argument("--pages", type=int, default=60)
    ap.add_argument("--rounds", type=int, default=1)
    ap.add_argument("--node-modules")
    ap.add_argument("--max-load", type=float, default=1.5)
    ap.add_argument("--report", default="web_bench_report.md")
    ap.add_argument("--variant", action="append", default=[],
                    help="also run bildoro-batch with these further options, e.g. \"--keep-banners\" (repeatable)")
    ap.add_argument("--profile", action="store_true", help="also print each method's CPU by kind of process")
    a = ap.parse_args()
    work = tempfile.mkdtemp(prefix="web-bench-")
    server, entries = serve(work, a.pages)
    listfile = os.path.join(work, "list.csv")
    write_list(listfile, entries)
    methods = []
    for batch, label, jobs_list in ((a.batch, "bildoro-batch", a.jobs),
                                    (a.baseline, "baseline bildoro-batch", a.baseline_jobs or a.jobs)):
        if batch:
            for jobs in jobs_list.split(","):
                for variant in [""] + a.variant:
                    methods.append(("%s --jobs %s %s" % (label, jobs, variant),
                                    [batch, listfile, "-o", None, "--jobs", jobs] + variant.split(), None))
    if a.node_modules:
        for tabs in a.tabs.split(","):
            methods.append(("puppeteer-cluster, %s tabs" % tabs,
                            ["node", os.path.join(HERE, "puppeteer_cluster.js"), listfile, None, tabs],
                            dict(os.environ, NODE_PATH=a.node_modules)))
    results = {m[0]: [] for m in methods}
    try:
        for r in range(a.rounds):
            for name, argv, env in methods:
                load = wait_for_quiet(a.max_load, 120)
                out = os.path.join(work, "out-%d-%s" % (r, hashlib.sha1(name.encode()).hexdigest()[:8]))
                argv = [out if x is None else x for x in argv]
                profile = {} if a.profile else None
                wall, cpu, peak, p = run("%d-%d" % (r, len(results[name])), argv, env, profile)
                failed = p.stdout.count("failed:") if "bildoro" in name else (
                    int(p.stdout.split(" ok, ")[1].split()[0]) if " ok, " in p.stdout else a.pages)
                log("%-40s %6.3f s/page %5.2f CPU-s/page %6.0f MiB peak, %d failed (load %.2f)" %
                    (name, wall / a.pages, cpu / a.pages, peak, failed, load))
                results[name].append((wall / a.pages, cpu / a.pages, peak, failed, load))
                for kind, (kcpu, count, mib, live) in sorted((profile or {}).items(), key=lambda kv: -kv[1][0]):
                    if kcpu >= 0.005 or mib >= 1:
                        log("    %-24s %5.3f CPU-s/page in %3d process(es); at the peak %4.0f MiB PSS in %d" %
                            (kind, kcpu / a.pages, count, mib, live))
    finally:
        server.terminate()
        server.wait()
    lines = ["# Web-like benchmark", "",
             "%d pages of the bench corpus from %d loopback sites, documents delayed 150-900 ms and everything else "
             "40-400 ms; CPU and peak memory of each method's whole process tree in control groups; %d round(s), "
             "interleaved; medians. %s" % (a.pages, SITES, a.rounds, time.strftime("%Y-%m-%d %H:%M")), "",
             "| method | wall s/page | CPU s/page | peak memory | failed | load before |", "|---|---|---|---|---|---|"]
    for name, _, _ in methods:
        rs = results[name]
        lines.append("| %s | %.3f | %.2f | %.0f MiB | %d | %s |" % (
            name, statistics.median(x[0] for x in rs), statistics.median(x[1] for x in rs),
            statistics.median(x[2] for x in rs), max(x[3] for x in rs), ", ".join("%.2f" % x[4] for x in rs)))
    with open(a.report, "w") as f:
        f.write("\n".join(lines) + "\n")
    print("\n".join(lines))


if __name__ == "__main__":
    main()
