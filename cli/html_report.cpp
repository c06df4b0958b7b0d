// The report page: the rows as JSON data inside one HTML file, drawn by a small script of its own.
#include "html_report.h"

#include "safe_files.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>

namespace {

// The page's frame. Nothing in it comes from the rows; they arrive as JSON in the script element of type
// application/json, read with JSON.parse and put into the page with textContent only. No address outside the
// page is fetched but the thumbnails beside it (and what the user opens from a row's link).
const char kHead[] = R"html(<!doctype html>
<html lang="de"><head><meta charset="utf-8">
<meta http-equiv="Content-Security-Policy" content="default-src 'none'; img-src 'self' file: data:; style-src 'unsafe-inline'; script-src 'unsafe-inline'">
<meta name="viewport" content="width=device-width">
<title>Bildoro – Bericht</title>
<style>
body{font:13px/1.35 system-ui,sans-serif;margin:0;background:#f3f3f3;color:#222}
header{position:sticky;top:0;z-index:2;background:#fff;border-bottom:1px solid #ccc;padding:8px 12px;display:flex;flex-wrap:wrap;gap:8px;align-items:center}
header input{width:18em}
#count{margin-left:auto;color:#555}
main{display:grid;grid-template-columns:repeat(auto-fill,minmax(240px,1fr));gap:10px;padding:12px}
.cell{background:#fff;border:1px solid #ccc;border-radius:4px;padding:6px;content-visibility:auto;contain-intrinsic-size:auto 280px;overflow:hidden}
.cell img{display:block;width:100%;height:auto;aspect-ratio:4/3;object-fit:contain;background:#eee;cursor:zoom-in}
.cell .none{aspect-ratio:4/3;background:#eee;display:flex;align-items:center;justify-content:center;color:#888}
.cell .url,.cell .title,.cell .reason{white-space:nowrap;overflow:hidden;text-overflow:ellipsis}
.cell .title{font-weight:600}
.cell .reason{color:#a00}
.tags span{display:inline-block;border-radius:3px;padding:0 4px;margin:2px 3px 0 0;font-size:11px;background:#ddd}
.tags .failed,.tags .vanished{background:#c33;color:#fff}.tags .changed{background:#e90}.tags .new{background:#38c;color:#fff}
.tags .http{background:#fc6}
#big{position:fixed;inset:0;z-index:3;background:rgba(0,0,0,.8);display:flex;align-items:center;justify-content:center;cursor:zoom-out}
#big img{max-width:none;box-shadow:0 0 12px #000}
#big[hidden]{display:none}
</style></head><body>
<header>
<select id="filter"><option value="all">Alle Einträge</option><option value="failed">Fehlgeschlagene</option><option value="changed">Geändert</option><option value="new">Neu</option></select>
<select id="sort"><option value="row">Listenfolge</option><option value="url">Adresse</option><option value="status">Ergebnis</option><option value="distance">Größte Änderung</option><option value="group">Gruppe</option></select>
<input id="search" type="search" placeholder="Suche in Adresse und Titel">
<span id="count"></span>
</header>
<main id="grid"></main>
<div id="big" hidden><img alt=""></div>
<script type="application/json" id="rows">)html";

const char kTail[] = R"html(</script>
<script>
"use strict";
// Each row: [row, url, picture, src, status, http, title, reason, changed, previous, distance, group, colour,
// compared, new].
const rows = JSON.parse(document.getElementById("rows").textContent);
const grid = document.getElementById("grid"), filter = document.getElementById("filter");
const sort = document.getElementById("sort"), search = document.getElementById("search");
const count = document.getElementById("count"), big = document.getElementById("big");
const groups = new Map();
for (const r of rows) if (r[11] > 0) groups.set(r[11], (groups.get(r[11]) || 0) + 1);
for (const [g, n] of [...groups].sort((a, b) => b[1] - a[1])) {
  const o = document.createElement("option");
  o.value = "group:" + g;
  o.textContent = "Gruppe " + g + " (" + n + " Seiten)";
  filter.append(o);
}
function text(parent, tag, cls, value) {
  const e = document.createElement(tag);
  if (cls) e.className = cls;
  e.textContent = value;
  parent.append(e);
  return e;
}
const cells = rows.map(r => {
  const cell = document.createElement("div");
  cell.className = "cell";
  if (r[4] === "ok" && r[3]) {
    const img = document.createElement("img");
    img.loading = "lazy";
    img.decoding = "async";
    img.alt = r[2];
    img.src = r[3];
    cell.append(img);
  } else {
    text(cell, "div", "none", r[4] === "vanished" ? "nicht mehr in der Liste" : "kein Bild");
  }
  text(cell, "div", "title", r[6] || r[2]).title = r[6];
  const url = /^https?:\/\//i.test(r[1]) ? document.createElement("a") : document.createElement("span");
  url.className = "url";
  url.textContent = r[1];
  url.title = r[1];
  if (url.tagName === "A") { url.href = r[1]; url.rel = "noopener noreferrer"; url.target = "_blank"; }
  const line = document.createElement("div");
  line.className = "url";
  line.append(url);
  cell.append(line);
  const tags = document.createElement("div");
  tags.className = "tags";
  text(tags, "span", r[4], r[4] === "ok" ? "ok" : r[4] === "failed" ? "fehlgeschlagen" : "verschwunden");
  if (r[5] >= 400) text(tags, "span", "http", "HTTP " + r[5]);
  if (r[8] === true) text(tags, "span", "changed", "geändert (" + r[10] + ")");
  if (r[14]) text(tags, "span", "new", "neu");
  if (r[11] > 0) text(tags, "span", "", "Gruppe " + r[11]);
  cell.append(tags);
  if (r[7]) text(cell, "div", "reason", r[7]).title = r[7];
  return cell;
});
const order = {
  row: (a, b) => a - b,
  url: (a, b) => rows[a][1].localeCompare(rows[b][1]) || a - b,
  status: (a, b) => rows[a][4].localeCompare(rows[b][4]) || a - b,
  distance: (a, b) => (rows[b][10] ?? -1) - (rows[a][10] ?? -1) || a - b,
  group: (a, b) => (rows[a][11] || 1e9) - (rows[b][11] || 1e9) || a - b,
};
function shows(r, f, words) {
  if (f === "failed" && r[4] !== "failed") return false;
  if (f === "changed" && r[8] !== true) return false;
  if (f === "new" && !r[14]) return false;
  if (f.startsWith("group:") && String(r[11]) !== f.slice(6)) return false;
  return !words || r[1].toLowerCase().includes(words) || r[6].toLowerCase().includes(words);
}
function update() {
  const f = filter.value, words = search.value.trim().toLowerCase();
  const shown = [];
  rows.forEach((r, i) => { const s = shows(r, f, words); cells[i].hidden = !s; if (s) shown.push(i); });
  shown.sort(order[sort.value]);
  grid.replaceChildren(...shown.map(i => cells[i]));
  count.textContent = shown.length + " von " + rows.length + " Einträgen";
  count.dataset.shown = shown.length;
}
filter.onchange = sort.onchange = update;
search.oninput = update;
grid.onclick = e => {
  if (e.target.tagName !== "IMG") return;
  big.firstChild.src = e.target.src;
  big.hidden = false;
};
big.onclick = () => { big.hidden = true; };
document.onkeydown = e => { if (e.key === "Escape") big.hidden = true; };
update();
</script></body></html>
)html";

// A thumbnail's address relative to the page: each part of the path percent-encoded.
QString RelativeSource(const QString& path, const QDir& folder) {
    if (path.isEmpty()) return {};
    const QStringList parts = folder.relativeFilePath(QFileInfo(path).absoluteFilePath()).split(u'/');
    QStringList encoded;
    for (const QString& part : parts) encoded << QString::fromLatin1(QUrl::toPercentEncoding(part));
    return encoded.join(u'/');
}

}  // namespace

QByteArray HtmlReport(const std::vector<ReportEntry>& entries, const QString& folder) {
    const QDir dir(folder);
    QJsonArray rows;
    for (const ReportEntry& e : entries) {
        auto optionalBool = [](const std::optional<bool>& b) {
            return b ? QJsonValue(*b) : QJsonValue::Null;
        };
        rows.append(QJsonArray{double(e.row), e.url, e.picture,
                               e.status == QLatin1String("ok") ? RelativeSource(e.path, dir) : QString(),
                               e.status, e.httpStatus, e.title, e.reason, optionalBool(e.changed),
                               e.previousStatus, e.distance ? QJsonValue(*e.distance) : QJsonValue::Null,
                               e.group, e.colour, e.compared, e.isNew});
    }
    QByteArray data = QJsonDocument(rows).toJson(QJsonDocument::Compact);
    // Inside the script element no "</script" or "<!--" may appear: every "<" (only ever inside a text of the
    // JSON) is written as its escape, and ">" and "&" with it.
    data.replace('<', "\\u003c").replace('>', "\\u003e").replace('&', "\\u0026");
    return QByteArray(kHead) + data + kTail;
}

void WriteHtmlReport(const QString& file, const std::vector<ReportEntry>& entries) {
    WriteFileReplacing(file, HtmlReport(entries, QFileInfo(file).absolutePath()));
}
