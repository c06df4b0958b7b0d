#!/usr/bin/env python3
# Writes the batch benchmark's corpus of local pages into a folder: text, pictures (PNG and JPEG made here),
# nested same-origin frames, grid and flex layouts, tables, SVG, scripts, and pages with a slow resource.
#   make_corpus.py FOLDER   -> FOLDER/pages/*.html, FOLDER/img/*, FOLDER/pages.txt (one page path per line)
# Needs only Python 3; JPEG files are made from the PNGs with ImageMagick's convert (CONVERT, default
# /usr/bin/convert). Resources under /slow/ are delayed by serve.py (a 1 s picture, a 0.5 s style sheet).
import os
import struct
import subprocess
import sys
import zlib

WORDS = ("Vorschau Bild Seite Liste Zeile Ordner Breite Höhe Fenster Aufnahme Verkleinerung Datei Laden "
         "schnell langsam Web Inhalt Netz Text Tabelle Raster Spalte Rahmen Farbe Schrift Absatz").split()


def words(seed, n):
    out, x = [], seed * 7919 + 13
    for _ in range(n):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        out.append(WORDS[x % len(WORDS)])
    return " ".join(out)


def png(path, w, h, pixel):
    """Writes an 8-bit RGB PNG; pixel(x, y) -> (r, g, b)."""
    raw = bytearray()
    for y in range(h):
        raw.append(0)
        for x in range(w):
            raw.extend(pixel(x, y))

    def chunk(kind, data):
        c = kind + data
        return struct.pack(">I", len(data)) + c + struct.pack(">I", zlib.crc32(c) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(bytes(raw), 6)) + chunk(b"IEND", b""))


def make_images(img, convert):
    os.makedirs(img, exist_ok=True)
    shapes = {
        "gradient": (640, 400, lambda x, y: (x * 255 // 640, y * 255 // 400, 160)),
        "checker": (320, 320, lambda x, y: (230, 60, 40) if (x // 40 + y // 40) % 2 else (250, 245, 230)),
        "rings": (400, 400, lambda x, y: ((((x - 200) ** 2 + (y - 200) ** 2) // 300) % 2 * 200 + 30, 90, 180)),
        "stripes": (800, 300, lambda x, y: (40, (x // 25) % 2 * 180 + 40, 120)),
        "noise": (300, 200, lambda x, y: ((x * 97 + y * 31) % 256, (x * 13 ^ y * 7) % 256, (x * y) % 256)),
        "sky": (1024, 200, lambda x, y: (100 + y // 4, 150 + y // 4, 255)),
    }
    for name, (w, h, f) in shapes.items():
        png(os.path.join(img, name + ".png"), w, h, f)
        if subprocess.call([convert, os.path.join(img, name + ".png"), "-quality", "85",
                            os.path.join(img, name + ".jpg")]) != 0:
            sys.exit("make_corpus: %s could not make %s.jpg" % (convert, name))
    for i in range(12):  # small tiles for galleries
        png(os.path.join(img, "tile%d.png" % i), 96, 96,
            lambda x, y, i=i: ((i * 40 + x) % 256, (i * 70 + y) % 256, (i * 20 + x + y) % 256))
    with open(os.path.join(img, "logo.svg"), "w") as f:
        f.write('<svg xmlns="http://www.w3.org/2000/svg" width="300" height="200" viewBox="0 0 300 200">'
                '<rect width="300" height="200" rx="20" fill="#1e7145"/><circle cx="90" cy="100" r="60" '
                'fill="#f4c20d"/><path d="M170 40 L270 100 L170 160 Z" fill="#fff"/></svg>')


HEAD = ('<!doctype html><html lang="de"><head><meta charset="utf-8"><title>%s</title><style>'
        'body{font-family:sans-serif;margin:16px;color:#222;background:%s}%s</style>%s</head><body>%s</body></html>')


def page(title, body, css="", bg="#fff", head=""):
    return HEAD % (title, bg, css, head, body)


def text_pages():
    pages = {}
    for i in range(8):
        paras = "".join("<p>%s.</p>" % words(i * 50 + p, 30 + 10 * i) for p in range(3 + 4 * i))
        extra = "<ul>%s</ul>" % "".join("<li>%s</li>" % words(i + k, 5) for k in range(6)) if i % 2 else ""
        pages["text%02d" % i] = page("Text %d" % i, "<h1>Artikel %d</h1><h2>%s</h2>%s%s" % (
            i, words(i, 6), paras, extra), "p{line-height:1.5;font-size:%dpx}" % (14 + i), ["#fff", "#f7f5f0"][i % 2])
    pages["text_pre"] = page("Code", "<h1>Quelltext</h1><pre>%s</pre>" % "\n".join(
        "    zeile_%03d = bild(%d, %d)  # %s" % (k, k, k * 3, words(k, 4)) for k in range(60)))
    pages["text_columns"] = page("Spalten", "<h1>Zeitung</h1><div style='columns:3;column-gap:24px'>%s</div>" % "".join(
        "<p>%s</p>" % words(k, 60) for k in range(10)))
    return pages


def image_pages():
    pages = {}
    names = ["gradient", "checker", "rings", "stripes", "noise", "sky"]
    for i, n in enumerate(names):
        ext = "jpg" if i % 2 else "png"
        pages["img_%s_%s" % (n, ext)] = page("Bild %s" % n, "<h1>%s</h1><img src='../img/%s.%s' style='max-width:100%%'>"
                                             "<p>%s</p>" % (n, n, ext, words(i, 40)))
    tiles = "".join("<img src='../img/tile%d.png' width=96 height=96>" % (k % 12) for k in range(40))
    pages["img_gallery"] = page("Galerie", "<h1>Galerie</h1><div>%s</div>" % tiles, "img{margin:4px}")
    pages["img_background"] = page("Hintergrund", "<div class=hero><h1>Titel über einem Bild</h1></div><p>%s</p>" % words(
        3, 80), ".hero{height:400px;background:url(../img/sky.jpg) center/cover;color:#fff;padding:40px}")
    pages["img_mixed"] = page("Gemischt", "".join("<figure><img src='../img/%s.%s' width=300><figcaption>%s"
                                                  "</figcaption></figure>" % (n, "jpg" if k % 2 else "png", n, )
                                                  for k, n in enumerate(names)), "figure{display:inline-block}")
    pages["img_canvas"] = page("Canvas", "<h1>Canvas</h1><canvas id=c width=800 height=500></canvas>",
                               head="<script>addEventListener('DOMContentLoaded',()=>{const g=document"
                                    ".getElementById('c').getContext('2d');for(let i=0;i<40;i++){g.fillStyle="
                                    "'hsl('+i*9+',70%,50%)';g.fillRect(i*20,250-i*5,18,i*10)}})</script>")
    return pages


def frame_pages():
    pages = {}
    pages["frame_leaf"] = page("Blatt", "<h2>Innerster Rahmen</h2><p>%s</p><img src='../img/checker.png' width=120>" %
                               words(1, 20), bg="#eef")
    pages["frame_one"] = page("Ein Rahmen", "<h1>Ein Rahmen</h1><iframe src='frame_leaf.html' width=600 height=300>"
                              "</iframe>")
    pages["frame_mid"] = page("Mitte", "<h2>Mittlerer Rahmen</h2><iframe src='frame_leaf.html' width=500 height=250>"
                              "</iframe>", bg="#efe")
    pages["frame_nested2"] = page("Zwei Ebenen", "<h1>Zwei Ebenen</h1><iframe src='frame_mid.html' width=700 "
                                  "height=400></iframe>")
    pages["frame_nested3"] = page("Drei Ebenen", "<h1>Drei Ebenen</h1><iframe src='frame_nested2.html' width=900 "
                                  "height=560></iframe>")
    pages["frame_many"] = page("Viele Rahmen", "<h1>Sechs Rahmen</h1>" + "".join(
        "<iframe src='%s.html' width=300 height=200></iframe>" % p for p in
        ["frame_leaf", "text00", "img_checker_jpg", "frame_mid", "table_plain", "svg_inline"]))
    pages["frame_slow"] = page("Langsamer Rahmen", "<h1>Rahmen mit langsamem Bild</h1>"
                               "<iframe src='slow_image.html' width=800 height=500></iframe>")
    return pages


def layout_pages():
    pages = {}
    for i in range(5):
        cols = 2 + i
        cells = "".join("<div class=cell style='background:hsl(%d,55%%,70%%)'>%d</div>" % (k * 37 % 360, k)
                        for k in range(cols * 4))
        pages["grid%02d" % i] = page("Raster %d" % i, "<h1>Raster %d Spalten</h1><div class=grid>%s</div>" % (cols, cells),
                                     ".grid{display:grid;grid-template-columns:repeat(%d,1fr);gap:%dpx}"
                                     ".cell{height:%dpx;border-radius:6px;font-size:24px;padding:8px}" % (cols, 8 + 4 * i,
                                                                                                         60 + 10 * i))
    pages["grid_areas"] = page("Bereiche", "<div class=l><header>Kopf</header><nav>Menü</nav><main><h1>Inhalt</h1><p>%s"
                               "</p></main><aside>Rand</aside><footer>Fuß</footer></div>" % words(5, 80),
                               ".l{display:grid;grid-template-areas:'h h h' 'n m a' 'f f f';grid-template-columns:"
                               "160px 1fr 200px;gap:12px;min-height:700px}header{grid-area:h;background:#2b5797;color:#fff;"
                               "padding:20px}nav{grid-area:n;background:#dde}main{grid-area:m}aside{grid-area:a;"
                               "background:#ede}footer{grid-area:f;background:#333;color:#fff;padding:10px}")
    for i in range(5):
        items = "".join("<div class=item style='flex-basis:%dpx;background:hsl(%d,60%%,60%%)'>%s</div>" % (
            120 + 30 * (k % 4), k * 47 % 360, words(k, 3)) for k in range(12))
        pages["flex%02d" % i] = page("Flex %d" % i, "<h1>Flex %d</h1><div class=row>%s</div>" % (i, items),
                                     ".row{display:flex;flex-wrap:wrap;gap:%dpx;justify-content:%s;align-items:%s}"
                                     ".item{padding:12px;height:%dpx;color:#fff}" % (
                                         6 * i, ["flex-start", "center", "space-between", "space-around", "flex-end"][i],
                                         ["stretch", "center", "flex-start", "flex-end", "baseline"][i], 50 + 15 * i))
    pages["flex_column"] = page("Spaltenfluss", "<div style='display:flex;height:720px;gap:10px'>%s</div>" % "".join(
        "<div style='flex:%d;display:flex;flex-direction:column;gap:10px'>%s</div>" % (
            k + 1, "".join("<div style='flex:1;background:hsl(%d,50%%,65%%)'></div>" % (k * 60 + j * 20)
                           for j in range(k + 2))) for k in range(4)))
    return pages


def table_pages():
    pages = {}
    for i, rows in enumerate([10, 40, 120]):
        body = "".join("<tr>%s</tr>" % "".join("<td>%s</td>" % (words(r * 7 + c, 2) if c else r) for c in range(6))
                       for r in range(rows))
        pages["table%02d" % i] = page("Tabelle %d" % i, "<h1>Tabelle mit %d Zeilen</h1><table><thead><tr>%s</tr></thead>"
                                      "<tbody>%s</tbody></table>" % (rows, "".join("<th>Spalte %d</th>" % c for c in range(6)),
                                                                   body),
                                      "table{border-collapse:collapse;width:100%}td,th{border:1px solid #999;"
                                      "padding:4px}tr:nth-child(even){background:#eef}th{background:#2b5797;color:#fff}")
    pages["table_plain"] = page("Einfach", "<table border=1 cellpadding=6><tr><th>A</th><th>B</th></tr>%s</table>" % "".join(
        "<tr><td>%d</td><td>%s</td></tr>" % (k, words(k, 4)) for k in range(12)))
    pages["table_spans"] = page("Verbunden", "<table border=1 cellpadding=10><tr><td rowspan=3 style='background:#fc9'>"
                                "links</td><td colspan=2 style='background:#9cf'>oben</td></tr><tr><td>a</td><td>b</td>"
                                "</tr><tr><td colspan=2><img src='../img/noise.png' width=200></td></tr></table>")
    return pages


def svg_pages():
    pages = {}
    pages["svg_inline"] = page("SVG", "<h1>SVG</h1><svg width=600 height=400><rect x=20 y=20 width=200 height=120 "
                               "fill='#e3a21a'/><circle cx=400 cy=150 r=100 fill='#603cba'/><polygon points='100,380 "
                               "250,200 400,380' fill='#00aba9'/><text x=20 y=390 font-size=28>Vektor</text></svg>")
    pages["svg_img"] = page("SVG-Bild", "<h1>SVG als Bild</h1><img src='../img/logo.svg'><img src='../img/logo.svg' "
                            "width=600>")
    pages["svg_chart"] = page("Diagramm", "<h1>Balken</h1><svg width=900 height=500>%s</svg>" % "".join(
        "<rect x=%d y=%d width=30 height=%d fill='hsl(%d,60%%,50%%)'/>" % (20 + k * 40, 480 - (k * 53 % 400),
                                                                            k * 53 % 400, k * 17) for k in range(22)))
    pages["svg_paths"] = page("Pfade", "<svg width=1000 height=700 viewBox='0 0 100 70'>%s</svg>" % "".join(
        "<path d='M0 %d Q50 %d 100 %d' stroke='hsl(%d,70%%,40%%)' fill='none' stroke-width='0.6'/>" % (
            k * 2, 70 - k * 2, k * 3 % 70, k * 11) for k in range(35)))
    pages["svg_gradient"] = page("Verlauf", "<svg width=800 height=500><defs><linearGradient id=g><stop offset=0 "
                                 "stop-color='#f00'/><stop offset=1 stop-color='#00f'/></linearGradient></defs>"
                                 "<ellipse cx=400 cy=250 rx=380 ry=220 fill='url(#g)'/></svg>")
    return pages


def misc_pages():
    pages = {}
    pages["slow_image"] = page("Langsames Bild", "<h1>Ein Bild, das 1 s braucht</h1><img src='/slow/img/rings.png' "
                               "width=400><p>%s</p>" % words(9, 40))
    pages["slow_css"] = page("Langsame Formate", "<h1 class=late>Formate nach 0,5 s</h1><p>%s</p>" % words(8, 40),
                             head="<link rel=stylesheet href='/slow/style.css'>")
    pages["script_dom"] = page("Skript", "<h1>Vom Skript gebaut</h1><ul id=l></ul>",
                               head="<script>addEventListener('DOMContentLoaded',()=>{const l=document.getElementById('l');"
                                    "for(let i=0;i<30;i++){const e=document.createElement('li');e.textContent="
                                    "'Eintrag '+i;e.style.color='hsl('+i*12+',60%,40%)';l.appendChild(e)}})</script>")
    pages["form"] = page("Formular", "<h1>Formular</h1><form>%s<button>Senden</button></form>" % "".join(
        "<p><label>Feld %d <input value='%s'></label></p>" % (k, words(k, 2)) for k in range(8)) +
        "<select><option>eins<option>zwei</select><textarea rows=5 cols=60>Text</textarea>")
    pages["positioned"] = page("Ebenen", "".join(
        "<div style='position:absolute;left:%dpx;top:%dpx;width:200px;height:150px;background:hsla(%d,70%%,50%%,.6);"
        "transform:rotate(%ddeg)'></div>" % (k * 70, 40 + k * 45, k * 30, k * 5) for k in range(12)))
    pages["empty"] = page("Leer", "")
    pages["unicode"] = page("Umlaute", "<h1>Größe, Übersicht, Ärger</h1><p>Grüße aus Köln: äöüß ÄÖÜ € – „Anführung“ "
                            "— ½ ° ±</p>" * 6)
    return pages


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_corpus.py FOLDER")
    root = sys.argv[1]
    convert = os.environ.get("CONVERT", "/usr/bin/convert")
    make_images(os.path.join(root, "img"), convert)
    with open(os.path.join(root, "style.css"), "w") as f:
        f.write(".late{color:#fff;background:#c0392b;padding:30px}")
    os.makedirs(os.path.join(root, "pages"), exist_ok=True)
    pages = {}
    for group in (text_pages, image_pages, frame_pages, layout_pages, table_pages, svg_pages, misc_pages):
        pages.update(group())
    for name, html in pages.items():
        with open(os.path.join(root, "pages", name + ".html"), "w", encoding="utf-8") as f:
            f.write(html)
    # Frame parts are pages of their own too; every page is in the list.
    with open(os.path.join(root, "pages.txt"), "w") as f:
        f.write("".join("pages/%s.html\n" % n for n in sorted(pages)))
    print("%d pages in %s" % (len(pages), root))


if __name__ == "__main__":
    main()
