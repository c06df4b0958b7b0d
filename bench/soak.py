#!/usr/bin/env python3
"""Soak run of bildoro-batch: a long list over a local corpus, sampling the program's resources every 100 rows.

Generates varied pages (text, images, iframes, grid and flex layouts, tables, SVG) into a temporary folder,
serves them on 127.0.0.1, runs `bildoro-batch --jobs N` over ROWS rows, and every 100 result lines reads the
resident memory of bildoro-batch (VmRSS), its open file descriptors and the number of browser processes below
it (with their summed resident memory). Prints one table row per sample and a verdict: the three figures
must stay flat after the first 200 rows, and no row may be lost.
"""
import argparse
import functools
import http.server
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import zlib


def png(width, height, seed):
    """A small RGB PNG with a pattern, made without any imaging library."""
    rnd = random.Random(seed)
    base = [rnd.randrange(256) for _ in range(3)]
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            row += bytes(((base[0] + x * 3) & 255, (base[1] + y * 5) & 255, (base[2] + (x ^ y)) & 255))
        rows.append(bytes(row))
    raw = zlib.compress(b"".join(rows), 6)

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", raw) + chunk(b"IEND", b""))


WORDS = ("Bild Seite Liste Vorschau Galerie Verarbeitung Breite Ordner Eintrag Datei Aufnahme Zeile "
         "lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor").split()


def text(rnd, n):
    return " ".join(rnd.choice(WORDS) for _ in range(n))


def page(kind, i, rnd, pages):
    head = "<meta charset='utf-8'><title>%s %d</title><style>body{font-family:sans-serif;background:#%06x}</style>" % (
        kind, i, rnd.randrange(0xFFFFFF))
    if kind == "text":
        body = "".join("<h2>%s</h2><p>%s</p>" % (text(rnd, 4), text(rnd, 120)) for _ in range(6))
    elif kind == "images":
        body = "".join("<img src='/img/%d.png' width=%d style='margin:4px'>" % (rnd.randrange(40), rnd.choice([64, 128, 300]))
                       for _ in range(12))
    elif kind == "iframes":
        body = "".join("<iframe src='/p/%s' width=300 height=200></iframe>" % rnd.choice(pages) for _ in range(3))
    elif kind == "grid":
        cells = "".join("<div style='background:#%06x;padding:8px'>%s</div>" % (rnd.randrange(0xFFFFFF), text(rnd, 8))
                        for _ in range(24))
        body = "<div style='display:grid;grid-template-columns:repeat(6,1fr);gap:6px'>%s</div>" % cells
    elif kind == "flex":
        items = "".join("<div style='flex:1 1 %dpx;background:#%06x;margin:3px;height:%dpx'>%s</div>" % (
            rnd.randrange(80, 300), rnd.randrange(0xFFFFFF), rnd.randrange(40, 160), text(rnd, 5)) for _ in range(30))
        body = "<div style='display:flex;flex-wrap:wrap;gap:4px'>%s</div>" % items
    elif kind == "table":
        rows = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % text(rnd, 2) for _ in range(6)) for _ in range(40))
        body = "<table border=1>%s</table>" % rows
    else:  # svg and a script that draws on a canvas
        shapes = "".join("<circle cx='%d' cy='%d' r='%d' fill='#%06x'/>" % (
            rnd.randrange(800), rnd.randrange(600), rnd.randrange(10, 80), rnd.randrange(0xFFFFFF)) for _ in range(60))
        body = ("<svg width=800 height=600>%s</svg><canvas id=c width=300 height=200></canvas><script>"
                "var g=document.getElementById('c').getContext('2d');for(var k=0;k<200;k++){"
                "g.fillStyle='hsl('+k*7+',70%%,50%%)';g.fillRect(k%%30*10,Math.floor(k/30)*30,9,29)}</script>" % shapes)
    return "<!doctype html><html><head>%s</head><body>%s</body></html>" % (head, body)


def make_corpus(root, count):
    kinds = ["text", "images", "iframes", "grid", "flex", "table", "svg"]
    os.makedirs(os.path.join(root, "p"))
    os.makedirs(os.path.join(root, "img"))
    for n in range(40):
        with open(os.path.join(root, "img", "%d.png" % n), "wb") as f:
            f.write(png(64 + n * 4, 48 + n * 3, n))
    names = ["%s-%d.html" % (kinds[i % len(kinds)], i) for i in range(count)]
    plain = [n for n in names if not n.startswith("iframes")]
    for i, name in enumerate(names):
        rnd = random.Random(i)
        with open(os.path.join(root, "p", name), "w", encoding="utf-8") as f:
            f.write(page(kinds[i % len(kinds)], i, rnd, plain))
    return names


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def descendants(pid):
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
            ppid = int(stat[stat.rindex(")") + 2:].split()[1])
        except (OSError, ValueError):
            continue
        children.setdefault(ppid, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


def cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def sample(pid):
    fds = len(os.listdir("/proc/%d/fd" % pid))
    browsers = [p for p in descendants(pid) if "chrom" in cmdline(p)]
    return rss_kib(pid), fds, len(browsers), sum(rss_kib(p) for p in browsers)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--batch", required=True, help="path of bildoro-batch")
    parser.add_argument("--rows", type=int, default=2000)
    parser.add_argument("--jobs", type=int, default=4)
    parser.add_argument("--pages", type=int, default=210, help="distinct pages in the corpus")
    parser.add_argument("--every", type=int, default=100)
    parser.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="bildoro-soak-")
    corpus = os.path.join(work, "site")
    out = os.path.join(work, "out")
    names = make_corpus(corpus, args.pages)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(QuietHandler, directory=corpus))
    threading.Thread(target=server.serve_forever, daemon=True).start()
    port = server.server_address[1]
    listfile = os.path.join(work, "list.csv")
    with open(listfile, "w", encoding="utf-8", newline="") as f:
        for row in range(args.rows):
            f.write("http://127.0.0.1:%d/p/%s?row=%d;row%05d\r\n" % (port, names[row % len(names)], row, row))

    command = [args.batch, listfile, "-o", out, "--jobs", str(args.jobs)]
    print("command: %s" % " ".join(command))
    print("load before: %s" % open("/proc/loadavg").read().strip())
    start = time.monotonic()
    proc = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, bufsize=1)
    samples = []
    ok = failed = done = 0
    failures = []
    print("| rows | s | VmRSS bildoro-batch (MiB) | open fds | browser processes | browser RSS sum (MiB) |")
    print("|---:|---:|---:|---:|---:|---:|")
    for line in proc.stdout:
        if line.startswith("ok: "):
            ok += 1
        elif line.startswith("failed: "):
            failed += 1
            failures.append(line.strip())
        else:
            continue
        done += 1
        if done % args.every == 0:
            rss, fds, procs, brss = sample(proc.pid)
            samples.append((done, time.monotonic() - start, rss, fds, procs, brss))
            print("| %d | %.0f | %.1f | %d | %d | %.0f |" % (done, samples[-1][1], rss / 1024, fds, procs, brss / 1024),
                  flush=True)
    stderr = proc.stderr.read()
    code = proc.wait()
    elapsed = time.monotonic() - start
    files = len([n for n in os.listdir(out) if n.endswith(".jpg")]) if os.path.isdir(out) else 0
    leftovers = [n for n in os.listdir(out) if n.endswith(".$$$")] if os.path.isdir(out) else []
    server.shutdown()

    print()
    print("exit status %d after %.0f s (%.3f s per row); %d ok lines, %d failed lines, %d pictures, %d .$$$ files" % (
        code, elapsed, elapsed / max(1, args.rows), ok, failed, files, len(leftovers)))
    print("load after: %s" % open("/proc/loadavg").read().strip())
    for f in failures[:10]:
        print("  " + f)
    if stderr.strip():
        print("stderr: " + stderr.strip()[:2000])
    verdict = code == 0 and ok == args.rows and files == args.rows and not leftovers
    settled = [s for s in samples if s[0] >= 200]
    if len(settled) >= 2:
        first = settled[0]
        worst = max(s[2] for s in settled), max(s[3] for s in settled), max(s[4] for s in settled)
        print("after %d rows: VmRSS %.1f -> max %.1f MiB (+%.1f), fds %d -> max %d, browser processes %d -> max %d" % (
            first[0], first[2] / 1024, worst[0] / 1024, (worst[0] - first[2]) / 1024, first[3], worst[1], first[4],
            worst[2]))
        last = settled[-1]
        print("last sample: VmRSS %.1f MiB, fds %d, browser processes %d" % (last[2] / 1024, last[3], last[4]))
    print("verdict: %s" % ("no row lost" if verdict else "ROWS LOST OR RUN FAILED"))
    if args.keep:
        print("kept %s" % work)
    else:
        shutil.rmtree(work, ignore_errors=True)
    return 0 if verdict else 1


if __name__ == "__main__":
    sys.exit(main())
