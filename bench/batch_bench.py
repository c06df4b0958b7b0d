#!/usr/bin/env python3
# Batch benchmark: seconds per page of bildoro-batch (--jobs 1, 2, 4) against the ways a user has without it
# (one headless Chromium process per URL plus an ImageMagick resize; the Qt-WebKit grabber cutycapt per URL
# under one Xvfb plus the same resize), on one generated corpus of local pages served on 127.0.0.1; and the
# resident memory of bildoro-batch over a long run; and, when its modules are installed (--node-modules), what
# a Node user would write instead: puppeteer-cluster with 1 and 2 tabs (bench/puppeteer_cluster.js). Wall and
# CPU seconds per page (the CPU of every process of the run, from a control group of the benchmark's own).
# Writes a Markdown report. Normally run by batch_bench.sh.
#   batch_bench.py --batch build/cli/bildoro-batch [--runs 3] [--rows 500] [--report FILE] [--keep DIR]
#                  [--baseline OTHER-BILDORO-BATCH] [--skip-alternatives] [--node-modules DIR/node_modules]
import argparse
import os
import re
import resource
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CHROMIUM_FLAGS = ["--headless", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
                  "--disable-sync", "--no-first-run", "--window-size=1024,768"]


def log(*a):
    print(*a, file=sys.stderr, flush=True)


def load1():
    with open("/proc/loadavg") as f:
        return float(f.read().split()[0])


WAIT_BUDGET = [1800.0]  # seconds of waiting for a quiet machine left for the whole benchmark


def wait_for_quiet(limit, max_wait):
    """Waits until the 1-minute load is below limit (at most max_wait s, and within what is left of the
    benchmark's waiting budget); returns the load then."""
    start = time.time()
    bound = min(max_wait, WAIT_BUDGET[0])
    while load1() >= limit and time.time() - start < bound:
        time.sleep(5)
    WAIT_BUDGET[0] -= time.time() - start
    return load1()


def write_list(path, entries):
    with open(path, "wb") as f:
        for url, name in entries:
            f.write(("%s;%s\r\n" % (url, name)).encode("utf-8"))


def serve_corpus(work, convert):
    """Writes the corpus into work/corpus and serves it; returns the server process and the (URL, picture
    name) of each page."""
    corpus = os.path.join(work, "corpus")
    subprocess.check_call([sys.executable, os.path.join(HERE, "corpus", "make_corpus.py"), corpus],
                          env=dict(os.environ, CONVERT=convert), stdout=subprocess.DEVNULL)
    portfile = os.path.join(work, "port")
    server = subprocess.Popen([sys.executable, os.path.join(HERE, "corpus", "serve.py"), corpus, portfile])
    for _ in range(100):
        if os.path.exists(portfile):
            break
        time.sleep(0.05)
    port = int(open(portfile).read())
    names = [l.strip() for l in open(os.path.join(corpus, "pages.txt")) if l.strip()]
    return server, [("http://127.0.0.1:%d/%s" % (port, n), os.path.splitext(os.path.basename(n))[0]) for n in names]


def resize(convert, src, dst):
    return subprocess.call([convert, src, "-resize", "320x", "-quality", "75", dst]) == 0


# --- the methods; each returns the failures (url, why) of one run over the corpus ---

def run_batch(batch, listfile, out, jobs, env=None):
    """Returns (failures, standard output, standard error)."""
    p = subprocess.run([batch, listfile, "-o", out, "--resolution", "1024x768", "--width", "320", "--jobs", str(jobs)],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    fails = [(l, "") for l in p.stdout.splitlines() if l.startswith("failed:") or "not complete" in l]
    if p.returncode != 0 and not fails:
        fails.append(("bildoro-batch", "exit %d: %s" % (p.returncode, p.stderr.strip()[-300:])))
    return fails, p.stdout, p.stderr


def stage_medians(stderr):
    """Medians and sums (ms) of the stage times that BILDORO_BATCH_TIMINGS prints."""
    names = ["load", "queued", "capture", "reduce"]
    rows = [[float(x) for x in re.findall(r"([\d.]+) ms", l)] for l in stderr.splitlines() if l.startswith("timing:")]
    rows = [r for r in rows if len(r) == 4]
    return {n: (statistics.median(r[i] for r in rows), sum(r[i] for r in rows)) for i, n in enumerate(names)} if rows else {}


def run_chromium(entries, out, convert):
    fails = []
    root = ["--no-sandbox"] if os.geteuid() == 0 else []
    for url, name in entries:
        profile = tempfile.mkdtemp(prefix="bench-profile-")
        png = os.path.join(out, name + ".png")
        try:
            p = subprocess.run(["chromium"] + CHROMIUM_FLAGS + root + ["--user-data-dir=" + profile,
                                                                       "--screenshot=" + png, url],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            if p.returncode != 0 or not os.path.isfile(png):
                fails.append((url, "chromium exit %d" % p.returncode))
            elif not resize(convert, png, os.path.join(out, name + ".jpg")):
                fails.append((url, "convert failed"))
        except subprocess.TimeoutExpired:
            fails.append((url, "chromium timed out"))
        finally:
            shutil.rmtree(profile, ignore_errors=True)
    return fails


def run_puppeteer_cluster(modules, listfile, out, tabs):
    p = subprocess.run(["node", os.path.join(HERE, "puppeteer_cluster.js"), listfile, out, str(tabs)],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=dict(os.environ, NODE_PATH=modules))
    m = re.search(r"(\d+) ok, (\d+) failed", p.stdout)
    if p.returncode != 0 or not m:
        return [("puppeteer-cluster", "exit %d: %s" % (p.returncode, p.stderr.strip()[-300:]))]
    return [("puppeteer-cluster", "")] * int(m.group(2))


class CpuMeter:
    """CPU seconds (user + system) of every process this benchmark starts from now on, grandchildren included.

    A browser's helper processes that outlive their parent (a browser that is killed at the end of a run) are
    reparented and never waited for by us, so getrusage(RUSAGE_CHILDREN) misses them. A control group of our
    own counts them: this process joins it once the corpus server runs (which stays outside), and everything
    started afterwards belongs to it. Without a writable cpuacct (cgroup v1) or cgroup v2 hierarchy the meter
    falls back to RUSAGE_CHILDREN (the report says which)."""

    def __init__(self):
        self.kind, self.group = "RUSAGE_CHILDREN", None
        name = "bildoro-batchbench-%d" % os.getpid()
        # (hierarchy, file that marks it, file of the group's CPU time, name)
        for base, marker, usage, kind in (
                ("/sys/fs/cgroup/cpuacct", "cpuacct.usage", "cpuacct.usage", "cgroup v1 cpuacct"),
                ("/sys/fs/cgroup", "cgroup.controllers", "cpu.stat", "cgroup v2")):
            if not os.path.isfile(os.path.join(base, marker)):
                continue
            group = os.path.join(base, name)
            try:
                os.makedirs(group, exist_ok=True)
                with open(os.path.join(group, "cgroup.procs"), "w") as f:
                    f.write(str(os.getpid()))
                self.kind, self.group, self.usage = kind, group, os.path.join(group, usage)
                self.read()
                return
            except OSError:
                if os.path.isdir(group):
                    try:
                        os.rmdir(group)
                    except OSError:
                        pass

    def read(self):
        """CPU seconds so far; first waits (up to 10 s) for the processes of the last run that still linger."""
        if not self.group:
            r = resource.getrusage(resource.RUSAGE_CHILDREN)
            return r.ru_utime + r.ru_stime
        deadline = time.time() + 10
        while time.time() < deadline:
            with open(os.path.join(self.group, "cgroup.procs")) as f:
                if all(pid == str(os.getpid()) for pid in f.read().split()):
                    break
            time.sleep(0.1)
        with open(self.usage) as f:
            text = f.read()
        if self.kind.startswith("cgroup v1"):
            return int(text) / 1e9
        return int(re.search(r"usage_usec (\d+)", text).group(1)) / 1e6

    def close(self):
        """Leaves the group and removes it."""
        if not self.group:
            return
        parent = os.path.dirname(self.group)
        try:
            with open(os.path.join(parent, "cgroup.procs"), "w") as f:
                f.write(str(os.getpid()))
            os.rmdir(self.group)
        except OSError:
            pass


def cutycapt_loop(listfile, out, convert):
    """Inside xvfb-run: grabs every row, prints the seconds it took and the failures."""
    entries = [l.rstrip("\r\n").split(";")[:2] for l in open(listfile, encoding="utf-8") if l.strip()]
    fails = []
    t0 = time.perf_counter()
    for url, name in entries:
        png = os.path.join(out, name + ".png")
        try:
            p = subprocess.run(["cutycapt", "--url=" + url, "--out=" + png, "--min-width=1024", "--min-height=768"],
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60)
            if p.returncode != 0 or not os.path.isfile(png):
                fails.append((url, "cutycapt exit %d" % p.returncode))
            elif not resize(convert, png, os.path.join(out, name + ".jpg")):
                fails.append((url, "convert failed"))
        except subprocess.TimeoutExpired:
            fails.append((url, "cutycapt timed out"))
    print("SECONDS %.4f" % (time.perf_counter() - t0))
    for url, why in fails:
        print("FAIL %s %s" % (url, why))


def run_cutycapt(listfile, out, convert):
    """Returns (seconds inside the one Xvfb, failures); the Xvfb start is not counted."""
    p = subprocess.run(["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", sys.executable, os.path.abspath(__file__),
                        "--cutycapt-loop", listfile, out, "--convert", convert],
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    seconds, fails = None, []
    for l in p.stdout.splitlines():
        if l.startswith("SECONDS "):
            seconds = float(l.split()[1])
        elif l.startswith("FAIL "):
            fails.append((l[5:], ""))
    if seconds is None:
        raise SystemExit("cutycapt run failed: %s" % p.stderr.strip()[-500:])
    return seconds, fails


# --- memory ---

def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for l in f:
                if l.startswith("VmRSS:"):
                    return int(l.split()[1])
    except OSError:
        pass
    return 0


def pss_kib(pid):
    try:
        with open("/proc/%d/smaps_rollup" % pid) as f:
            for l in f:
                if l.startswith("Pss:"):
                    return int(l.split()[1])
    except OSError:
        pass
    return 0


def descendants(pid):
    children = {}
    for d in os.listdir("/proc"):
        if d.isdigit():
            try:
                with open("/proc/%s/stat" % d) as f:
                    ppid = int(f.read().rsplit(")", 1)[1].split()[1])
                children.setdefault(ppid, []).append(int(d))
            except (OSError, ValueError, IndexError):
                pass
    out, todo = [], [pid]
    while todo:
        for c in children.get(todo.pop(), []):
            out.append(c)
            todo.append(c)
    return out


def memory_run(batch, listfile, out, jobs, every):
    """Runs bildoro-batch and samples its VmRSS (and, for information, the PSS of its child processes: the
    browser and its guardian) every `every` rows."""
    p = subprocess.Popen([batch, listfile, "-o", out, "--jobs", str(jobs)], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True, bufsize=1)
    samples, rows, fails = [], 0, 0
    for line in p.stdout:
        if line.startswith(("ok:", "failed:")):
            rows += 1
            fails += line.startswith("failed:")
            if rows % every == 0:
                browser = sum(pss_kib(c) for c in descendants(p.pid))
                samples.append((rows, rss_kib(p.pid), browser))
    p.wait()
    return samples, rows, fails, p.returncode


# --- report ---

def median_table(times, pages):
    per = {m: statistics.median(v) / pages for m, v in times.items()}
    return per


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch")
    ap.add_argument("--runs", type=int, default=3)
    ap.add_argument("--rows", type=int, default=500)
    ap.add_argument("--every", type=int, default=50)
    ap.add_argument("--max-load", type=float, default=1.5)
    ap.add_argument("--max-wait", type=float, default=300, help="longest wait for a quiet machine per measurement (s)")
    ap.add_argument("--report", default="batch_bench_report.md")
    ap.add_argument("--keep", help="folder for the montages and thumbnails of the check (default: next to the report)")
    ap.add_argument("--convert", default=os.environ.get("CONVERT", "/usr/bin/convert"))
    ap.add_argument("--skip-alternatives", action="store_true")
    ap.add_argument("--baseline", help="another bildoro-batch (an earlier build) timed in the same rounds")
    ap.add_argument("--node-modules", help="node_modules with puppeteer-core, puppeteer-cluster and sharp (see "
                    "bench/puppeteer_cluster.js): puppeteer-cluster with 1 and 2 tabs is timed too")
    ap.add_argument("--cutycapt-loop", nargs=2, metavar=("LIST", "OUT"))
    ap.add_argument("--wait-budget", type=float, default=1800, help="longest wait for quiet in all (s)")
    a = ap.parse_args()
    WAIT_BUDGET[0] = a.wait_budget
    if a.cutycapt_loop:
        return cutycapt_loop(a.cutycapt_loop[0], a.cutycapt_loop[1], a.convert)
    if not a.batch or not os.access(a.batch, os.X_OK):
        raise SystemExit("batch_bench: --batch must name the built bildoro-batch (got %r)" % a.batch)
    need = [a.convert, "/usr/bin/montage"] + ([] if a.skip_alternatives else [shutil.which("chromium") or "chromium",
                                                                            shutil.which("cutycapt") or "cutycapt",
                                                                            shutil.which("xvfb-run") or "xvfb-run"])
    missing = [n for n in need if not os.path.isfile(n)]
    if missing:
        raise SystemExit("batch_bench: missing programs: %s (apt-get install imagemagick chromium cutycapt xvfb)"
                         % ", ".join(missing))
    keep = a.keep or os.path.join(os.path.dirname(os.path.abspath(a.report)), "batch_bench_files")
    shutil.rmtree(keep, ignore_errors=True)
    os.makedirs(keep)

    work = tempfile.mkdtemp(prefix="bildoro-batchbench-")
    server = meter = None
    try:
        server, entries = serve_corpus(work, a.convert)
        meter = CpuMeter()
        log("CPU measured by %s" % meter.kind)
        pages = len(entries)
        listfile = os.path.join(work, "list.csv")
        write_list(listfile, entries)
        log("corpus: %d pages at %s" % (pages, entries[0][0].rsplit("/", 1)[0] if entries else "-"))

        # 1. Every page must come out "ok", and look right.
        check = os.path.join(keep, "bildoro")
        os.makedirs(check)
        fails, out, err = run_batch(a.batch, listfile, check, 1, env=dict(os.environ, BILDORO_BATCH_TIMINGS="1"))
        with open(os.path.join(keep, "check-output.txt"), "w") as f:
            f.write(out + err)
        stages = stage_medians(err)
        if fails:
            log("check: %d rows not ok:\n  %s" % (len(fails), "\n  ".join(f for f, _ in fails)))
        montage(os.path.join(keep, "bildoro-montage.png"), check, [n for _, n in entries])

        # 2. Seconds per page, the methods interleaved in each round.
        methods = ["bildoro-batch --jobs 1", "bildoro-batch --jobs 2", "bildoro-batch --jobs 4",
                   "bildoro-batch --jobs auto"]
        if a.baseline:
            methods += ["baseline bildoro-batch --jobs 1", "baseline bildoro-batch --jobs 2",
                        "baseline bildoro-batch --jobs auto"]
        if a.node_modules:
            methods += ["puppeteer-cluster 1 tab", "puppeteer-cluster 2 tabs"]
        if not a.skip_alternatives:
            methods += ["chromium --screenshot per URL + convert", "cutycapt per URL (one Xvfb) + convert"]
        times = {m: [] for m in methods}
        cpu = {m: [] for m in methods}
        loads = {m: [] for m in methods}
        failures = {m: 0 for m in methods}
        for r in range(a.runs):
            for m in methods:
                loads[m].append(wait_for_quiet(a.max_load, a.max_wait))
                out = os.path.join(work, "run")
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                c0 = meter.read()
                t0 = time.perf_counter()
                if m.startswith("bildoro-batch") or m.startswith("baseline"):
                    program = a.baseline if m.startswith("baseline") else a.batch
                    fails, _, _ = run_batch(program, listfile, out, m.split()[-1])
                    seconds = time.perf_counter() - t0
                elif m.startswith("puppeteer"):
                    fails = run_puppeteer_cluster(a.node_modules, listfile, out, int(m.split()[1]))
                    seconds = time.perf_counter() - t0
                elif m.startswith("chromium"):
                    fails = run_chromium(entries, out, a.convert)
                    seconds = time.perf_counter() - t0
                else:
                    seconds, fails = run_cutycapt(listfile, out, a.convert)
                times[m].append(seconds)
                cpu[m].append(meter.read() - c0)
                failures[m] += len(fails)
                log("round %d  %-42s %7.2f s  %.3f s/page  CPU %.3f s/page  load %.2f  failures %d" % (
                    r + 1, m, seconds, seconds / pages, cpu[m][-1] / pages, loads[m][-1], len(fails)))
                if r == 0 and not m.startswith("bildoro-batch") and not m.startswith("baseline"):
                    slug = "-".join(m.split()[:3]) if m.startswith("puppeteer") else m.split()[0]
                    d = os.path.join(keep, slug)
                    shutil.copytree(out, d)
                    montage(os.path.join(keep, slug + "-montage.png"), d, [n for _, n in entries])

        # 3. Memory over a long run: the corpus repeated.
        rows = [(u, "%s_%03d" % (n, i // pages)) for i, (u, n) in
                enumerate(entries[j % pages] for j in range(a.rows))]
        longlist = os.path.join(work, "long.csv")
        write_list(longlist, rows)
        mem_load = wait_for_quiet(a.max_load, a.max_wait)
        out = os.path.join(work, "long")
        os.makedirs(out)
        samples, done, mem_fails, rc = memory_run(a.batch, longlist, out, 2, a.every)
        log("memory run: %d rows, %d failed, exit %d" % (done, mem_fails, rc))

        a.cpu_meter = meter.kind
        write_report(a, pages, methods, times, cpu, loads, failures, samples, done, mem_fails, mem_load, keep, stages,
                     len(fails))
    finally:
        if meter:
            meter.close()
        if server:
            server.send_signal(signal.SIGTERM)
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


def montage(png, folder, names):
    files = [os.path.join(folder, n + ".jpg") for n in names]
    files = [f for f in files if os.path.isfile(f)]
    subprocess.call(["/usr/bin/montage", "-label", "%t", "-pointsize", "10"] + files +
                    ["-tile", "8x", "-geometry", "160x160+3+3", png])


def write_report(a, pages, methods, times, cpu, loads, failures, samples, done, mem_fails, mem_load, keep, stages,
                 check_fails):
    per = median_table(times, pages)
    cpu_per = median_table(cpu, pages)
    lines = ["| method | s per page (median of %d) | CPU s per page (all processes, %s) | runs (s per page) | "
             "load before runs | failed rows |" % (a.runs, a.cpu_meter), "|---|---|---|---|---|---|"]
    for m in methods:
        lines.append("| %s | %.3f | %.3f | %s | %s | %d |" % (
            m, per[m], cpu_per[m], ", ".join("%.3f" % (t / pages) for t in times[m]),
            ", ".join("%.2f" % l for l in loads[m]), failures[m]))
    ratios = []
    alternatives = [m for m in methods if not m.startswith("bildoro-batch") and not m.startswith("baseline")]
    if alternatives:
        ratios = ["", "| bildoro-batch | " + " | ".join("x faster than %s" % m for m in alternatives) + " |",
                  "|---|" + "---|" * len(alternatives)]
        for m in methods:
            if m.startswith("bildoro-batch"):
                ratios.append("| %s | %s |" % (m.split(" ", 1)[1], " | ".join("%.1f" % (per[x] / per[m])
                                                                              for x in alternatives)))
    mem = ["| rows done | bildoro-batch VmRSS (MiB) | Chromium processes, sum of PSS (MiB) |", "|---|---|---|"]
    for rows, rss, browser in samples:
        mem.append("| %d | %.1f | %.0f |" % (rows, rss / 1024, browser / 1024))
    stage = ["| stage (--jobs 1, one run) | median ms per page | total s |", "|---|---|---|"] + [
        "| %s | %.1f | %.2f |" % (n, m, t / 1000) for n, (m, t) in stages.items()]
    text = "\n".join(["# Batch benchmark results", "",
                      "%d pages, 1024 x 768 capture, thumbnails 320 wide; %s" % (pages, time.strftime("%Y-%m-%d %H:%M")),
                      "", "Check run (--jobs 1): %d of %d rows not ok" % (check_fails, pages), ""] + stage + [""] + lines + ratios +
                     ["", "Memory: %d rows (the corpus repeated), --jobs 2, %d failed; load before: %.2f" % (
                         done, mem_fails, mem_load), ""] + mem +
                     ["", "Montages of the thumbnails: %s" % keep, ""])
    with open(a.report, "w") as f:
        f.write(text)
    print(text)


if __name__ == "__main__":
    main()
