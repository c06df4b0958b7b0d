#!/usr/bin/env python3
# Thumbnail filters on the bench corpus: captures every page once at full size (bildoro-batch with a width no
# capture reaches, so nothing is reduced), reduces each capture with ImageMagick's Lanczos filter as the
# reference, and runs filter_bench on them (PSNR of exact and smooth against the reference, time per picture).
# Then, as a check in the real pipeline, two batch runs (--filter exact, --filter smooth) with their per-row
# reduction times, and a side-by-side picture of one text page (exact | smooth | Lanczos).
#   filter_bench.py --batch build/cli/bildoro-batch --bench build/bench/filter_bench
#                   [--report FILE] [--picture FILE.png] [--page text03] [--width 320] [--rounds 7]
#                   [--resolution 1024x768]
import argparse
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

from batch_bench import serve_corpus, write_list  # noqa: E402  (the same corpus and list as the batch bench)


def log(*a):
    print(*a, file=sys.stderr, flush=True)


def batch(program, listfile, out, width, filt, resolution):
    """One run over the list; returns (names of pictures that came out ok, median reduction ms)."""
    p = subprocess.run([program, listfile, "-o", out, "--width", str(width), "--jobs", "2", "--filter", filt,
                        "--resolution", resolution],
                       capture_output=True, text=True, env=dict(os.environ, BILDORO_BATCH_TIMINGS="1"))
    ok = [os.path.splitext(os.path.basename(l.rsplit(" -> ", 1)[1].split(" (")[0]))[0]
          for l in p.stdout.splitlines() if l.startswith("ok: ")]
    reduce_ms = [float(m) for m in re.findall(r"reduce ([0-9.]+) ms", p.stderr)]
    return ok, statistics.median(reduce_ms) if reduce_ms else float("nan")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--bench", required=True)
    ap.add_argument("--report", default="filter_bench_report.md")
    ap.add_argument("--picture", help="where to write the side-by-side PNG (e.g. docs/thumbnail-filters.png)")
    ap.add_argument("--page", default="text03")
    ap.add_argument("--width", type=int, default=320)
    ap.add_argument("--resolution", default="1024x768")
    ap.add_argument("--rounds", type=int, default=7)
    ap.add_argument("--convert", default="/usr/bin/convert")
    a = ap.parse_args()
    for program in (a.batch, a.bench, a.convert, "/usr/bin/montage"):
        if not os.access(program, os.X_OK):
            raise SystemExit("filter_bench: %s is missing (build it, or apt-get install imagemagick)" % program)

    work = tempfile.mkdtemp(prefix="bildoro-filterbench-")
    server = None
    try:
        server, entries = serve_corpus(work, a.convert)
        names = [name for _, name in entries]
        listfile = os.path.join(work, "list.csv")
        write_list(listfile, entries)

        # Full-size captures: a width beyond every capture leaves each file as captured (quality 90).
        captures = os.path.join(work, "captures")
        ok, _ = batch(a.batch, listfile, captures, 100000, "exact", a.resolution)
        for name in os.listdir(captures):
            if os.path.splitext(name)[0] not in ok:
                os.remove(os.path.join(captures, name))  # a page that did not load says nothing about a filter
        log("captures: %d of %d pages" % (len(ok), len(names)))
        references = os.path.join(work, "lanczos")
        os.makedirs(references)
        for name in sorted(os.listdir(captures)):
            subprocess.check_call([a.convert, os.path.join(captures, name), "-filter", "Lanczos", "-resize",
                                   "%dx" % a.width, os.path.join(references, os.path.splitext(name)[0] + ".png")])

        table = subprocess.run([a.bench, captures, references, str(a.width), str(a.rounds)], check=True,
                               capture_output=True, text=True).stdout

        # The same in the pipeline: each row's reduction time as the batch run reports it.
        runs = {}
        for filt in ("exact", "smooth"):
            out = os.path.join(work, "run-" + filt)
            runs[filt] = batch(a.batch, listfile, out, a.width, filt, a.resolution)

        if a.picture:
            page = os.path.join(captures, a.page + ".jpg")
            parts = []
            for filt in ("exact", "smooth"):
                copy = os.path.join(work, "%s-%s.jpg" % (a.page, filt))
                shutil.copyfile(page, copy)
                subprocess.check_call([a.batch, "--shrink", str(a.width), "--filter", filt, copy],
                                      stdout=subprocess.DEVNULL)
                parts += ["-label", "--filter " + filt, copy]
            parts += ["-label", "ImageMagick -filter Lanczos", os.path.join(references, a.page + ".png")]
            subprocess.check_call(["/usr/bin/montage", "-font", "DejaVu-Sans", "-pointsize", "13"] + parts +
                                  ["-tile", "3x1", "-geometry", "+6+6", "-depth", "8", "-strip", a.picture])

        report = ["# Thumbnail filters against ImageMagick's Lanczos", "",
                  "%s, captures of %s; the 1-minute load after the run: %s" % (
                      time.strftime("%Y-%m-%d %H:%M"), a.resolution, open("/proc/loadavg").read().split()[0]), "",
                  table.strip(), "",
                  "Batch runs over the corpus (`--jobs 2`), median reduction per row (`BILDORO_BATCH_TIMINGS`):", "",
                  "| --filter | rows ok | median reduce ms |", "|---|---|---|"]
        for filt, (rows, ms) in runs.items():
            report.append("| %s | %d of %d | %.2f |" % (filt, len(rows), len(names), ms))
        text = "\n".join(report) + "\n"
        with open(a.report, "w") as f:
            f.write(text)
        print(text)
    finally:
        if server:
            server.terminate()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
