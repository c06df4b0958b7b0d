#!/usr/bin/env python3
# Measures where "changed" begins: bildoro-batch runs pages of the bench corpus twice (served from two folders
# under the same addresses) and compares the second run with the first (--compare). Twenty pages change a
# little between the runs, as live pages do (a clock and a visitor count in a corner; for a third of them
# three words of the text too, for another third a rotating advertisement in a corner); twenty change for real (another page under the address, or a notice across the top that
# pushes the page down). Prints each kind's hash distances, the gap between them and a threshold in it; and
# the distances between different pages of one run (how far apart pages that do not look alike are).
#   fingerprint_bench.py --batch build/cli/bildoro-batch [--keep DIR]
import argparse
import itertools
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SKIP = ("empty", "frame_leaf", "frame_mid", "slow_css", "slow_image", "frame_slow")


def serve(folder):
    portfile = os.path.join(folder, "port")
    server = subprocess.Popen([sys.executable, os.path.join(HERE, "corpus", "serve.py"), folder, portfile])
    for _ in range(100):
        if os.path.exists(portfile) and open(portfile).read().strip():
            return server, int(open(portfile).read())
        time.sleep(0.1)
    sys.exit("fingerprint_bench: the corpus server did not start")


def edit(path, change):
    with open(path, encoding="utf-8") as f:
        html = f.read()
    with open(path, "w", encoding="utf-8") as f:
        f.write(change(html))


def clock(text):
    box = ('<div style="position:fixed;right:12px;top:8px;font:12px sans-serif;background:#fff;'
           'padding:2px 6px;border:1px solid #ccc">%s</div>' % text)
    return lambda html: html.replace("</body>", box + "</body>")


def words(html):
    # Three words of the text that the corpus takes from its word list, swapped for others.
    for old, new in (("Breite", "Länge"), ("Bild", "Foto"), ("Seite", "Karte")):
        html = re.sub(r"\b%s\b" % old, new, html, count=1)
    return html


def advert(colour, text):
    box = ('<div style="position:fixed;right:12px;bottom:12px;width:180px;height:110px;background:%s;color:#fff;'
           'font:16px sans-serif;padding:8px">%s</div>' % (colour, text))
    return lambda html: html.replace("</body>", box + "</body>")


def notice(html):
    bar = ('<div style="height:260px;background:#b03a2e;color:#fff;font:28px sans-serif;padding:30px">'
           'Wartungsarbeiten: Diese Seite ist heute nur eingeschränkt erreichbar.</div>')
    return re.sub(r"<body>", "<body>" + bar, html, count=1)


def run(batch, folder, pages, port, report, compare, out):
    lst = os.path.join(folder, "list.csv")
    with open(lst, "w") as f:
        for p in pages:
            f.write("http://127.0.0.1:%d/%s;%s\r\n" % (port, p, os.path.basename(p)[:-5]))
    cmd = [batch, lst, "-o", out, "--report", report, "--jobs", "2"]
    if compare:
        cmd += ["--compare", compare]
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=False)
    with open(report) as f:
        return [json.loads(line) for line in f if line.strip()]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--batch", required=True)
    ap.add_argument("--keep")
    a = ap.parse_args()
    work = a.keep or tempfile.mkdtemp(prefix="fingerprint-bench-")
    first, second = os.path.join(work, "first"), os.path.join(work, "second")
    for folder in (first, second):
        shutil.rmtree(folder, ignore_errors=True)
        subprocess.run([sys.executable, os.path.join(HERE, "corpus", "make_corpus.py"), folder], check=True,
                       stdout=subprocess.DEVNULL)
    pages = [p.strip() for p in open(os.path.join(first, "pages.txt")) if p.strip()]
    pages = [p for p in pages if os.path.basename(p)[:-5] not in SKIP]
    small, real = pages[0::2][:20], pages[1::2][:20]
    for i, p in enumerate(small):
        edit(os.path.join(first, p), clock("Stand 09:41:07 · 1.204 Besucher"))
        edit(os.path.join(second, p), clock("Stand 10:13:52 · 1.377 Besucher"))
        if i % 3 == 1:
            edit(os.path.join(second, p), words)
        if i % 3 == 2:  # a rotating advertisement in a corner: another colour, another text
            edit(os.path.join(first, p), advert("#2b5797", "Jetzt neu: Tarif S"))
            edit(os.path.join(second, p), advert("#e3a21a", "Nur heute: 20 % Rabatt"))
    for i, p in enumerate(real):
        if i % 2:
            edit(os.path.join(second, p), notice)
        else:  # another page under the address: the one after it in the list
            other = pages[(pages.index(p) + 7) % len(pages)]
            shutil.copy(os.path.join(second, other), os.path.join(second, p))
    distances = {}
    for folder, report, compare in ((first, "first.jsonl", None), (second, "second.jsonl", "first.jsonl")):
        server, port = serve(folder)
        if compare:  # the server's port differs from the first run's: the earlier rows get this one's
            earlier = os.path.join(work, compare)
            with open(earlier) as f:
                text = re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:%d" % port, f.read())
            with open(earlier, "w") as f:
                f.write(text)
        try:
            lines = run(a.batch, folder, small + real, port, os.path.join(work, report),
                        os.path.join(work, compare) if compare else None, os.path.join(folder, "out"))
        finally:
            server.terminate()
            server.wait()
        if compare:
            distances = {l["url"].split("/", 3)[3]: l.get("distance") for l in lines}
            changed = {l["url"].split("/", 3)[3]: l.get("changed") for l in lines}
        else:
            hashes = [int(l["phash"], 16) for l in lines if l.get("phash")]
    d_small = sorted(distances[p] for p in small if distances.get(p) is not None)
    d_real = sorted(distances[p] for p in real if distances.get(p) is not None)
    apart = sorted(bin(x ^ y).count("1") for x, y in itertools.combinations(hashes, 2))
    print("| pairs | n | hash distances (bits of 64), sorted |\n|---|---|---|")
    print("| same page, small live change | %d | %s |" % (len(d_small), " ".join(map(str, d_small))))
    print("| real change | %d | %s |" % (len(d_real), " ".join(map(str, d_real))))
    kinds = {p: ("clock", "clock and words", "clock and advertisement")[i % 3] for i, p in enumerate(small)}
    kinds.update({p: ("another page", "notice across the top")[i % 2] for i, p in enumerate(real)})
    print("\n| page | change | distance | changed (default threshold and colour rule) |\n|---|---|---|---|")
    for p in sorted(small + real, key=lambda p: (distances.get(p) or 0, p)):
        print("| %s | %s | %s | %s |" % (os.path.basename(p)[:-5], kinds[p], distances.get(p), changed.get(p)))
    print("\nwith the defaults: %d of %d small changes unchanged, %d of %d real changes found" %
          (sum(changed.get(p) is False for p in small), len(small), sum(changed.get(p) is True for p in real),
           len(real)))
    print("\nthe hash alone: largest small change %d, smallest real change %d (%s)" %
          (d_small[-1], d_real[0], "separated" if d_small[-1] < d_real[0] else "overlapping: the colour rule decides"))
    print("different pages of one run (%d pairs): smallest distances %s, median %d" %
          (len(apart), " ".join(map(str, apart[:8])), apart[len(apart) // 2]))
    if not a.keep:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
