// Times one reused browser page at 1024 x 768 on a local page: navigate-to-complete, the screenshot call, the
// PNG decode into the 24-bit bitmap, the quality-90 JPEG write, and CaptureToJpeg as a whole; medians.
// Run: build/bench/capture_bench [COUNT] [PAGE.html]   (default 60 captures of a built-in article page)
#include "bitmap24.h"
#include "browser_host.h"
#include "chromium_process.h"
#include "jpeg_image.h"
#include "local_http_server.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

const char* kArticle =
    R"(<!doctype html><html lang="de"><head><meta charset="utf-8"><title>Artikel</title><style>
body{margin:0;font-family:sans-serif;background:#f7f5f0;color:#222}
header{background:linear-gradient(90deg,#2b5797,#1e7145);color:#fff;padding:28px 48px}
nav a{color:#fff;margin-right:18px}
main{display:grid;grid-template-columns:2fr 1fr;gap:24px;padding:24px 48px;font-size:17px;line-height:1.5}
aside{background:#fff;border:1px solid #ccc;border-radius:8px;padding:12px}
.card{display:inline-block;width:120px;height:80px;margin:6px;border-radius:6px}
</style></head><body><header><h1>Bildoro Nachrichten</h1><nav><a href="#">Start</a><a href="#">Welt</a>
<a href="#">Technik</a><a href="#">Kultur</a></nav></header><main><article>
<h2>Vorschaubilder in einem Durchgang</h2>%1</article><aside><h3>Meistgelesen</h3><ol>
<li>Erste Meldung des Tages</li><li>Zweite Meldung</li><li>Dritte Meldung mit längerem Titel</li></ol>
<svg width="260" height="140"><circle cx="70" cy="70" r="60" fill="#e3a21a"/><rect x="140" y="20" width="100"
height="100" fill="#603cba"/></svg>%2</aside></main></body></html>)";

QByteArray ArticlePage() {
    QString paragraphs, cards;
    for (int i = 0; i < 12; ++i)
        paragraphs += QStringLiteral(
                          "<p>Absatz %1: Jede Zeile der Liste wird geladen, aufgenommen und auf "
                          "Vorschaugröße verkleinert. Größe, Ordner und Breite stellt man im "
                          "Hauptfenster ein; die Seite wird so gezeigt, wie ein Fenster dieser "
                          "Größe sie zeigen würde.</p>")
                          .arg(i + 1);
    for (int i = 0; i < 6; ++i)
        cards += QStringLiteral("<span class='card' style='background:hsl(%1,60%,55%)'></span>").arg(i * 60);
    return QString::fromUtf8(kArticle).arg(paragraphs, cards).toUtf8();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

bool WaitComplete(TBrowserHost& host, int ms) {
    if (host.ReadyState() == 4) return true;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    QObject::connect(&host, &TBrowserHost::ReadyStateChanged, &loop, [&] {
        if (!host.FailureText().isEmpty() || host.ReadyState() == 4) loop.quit();
    });
    loop.exec();
    return host.ReadyState() == 4;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    QByteArray page = ArticlePage();
    if (argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "capture_bench: cannot read %s\n", argv[2]);
            return 2;
        }
        page = file.readAll();
    }
    LocalHttpServer server;
    server.AddRoute(QStringLiteral("/page"), page);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("shot.jpg"));

    try {
        TBrowserHost host(std::make_shared<TBrowser>());
        host.SetWidth(1024);
        host.SetHeight(768);
        QElapsedTimer t;
        t.start();
        host.Navigate(server.Url(QStringLiteral("/page")));
        if (!WaitComplete(host, 30000)) throw std::runtime_error("first load did not complete");
        const double firstLoad = Ms(t);

        std::vector<double> load, shot, decode, write, whole;
        qint64 pngBytes = 0, jpegBytes = 0;
        for (int i = 0; i < count + 3; ++i) {
            t.start();
            host.Navigate(server.Url(QStringLiteral("/page?%1").arg(i)));
            if (!WaitComplete(host, 30000)) throw std::runtime_error("load did not complete");
            const double l = Ms(t);

            t.start();
            QByteArray png;
            {
                QEventLoop loop;
                host.CaptureViewPng([&](const QByteArray& data, const QString& error) {
                    if (!error.isEmpty()) throw std::runtime_error(error.toStdString());
                    png = data;
                    loop.quit();
                });
                loop.exec();
            }
            const double s = Ms(t);

            t.start();
            QImage image;
            image.loadFromData(png, "PNG");
            const TBitmap24 bitmap = TBitmap24::FromQImage(image);
            const double d = Ms(t);

            t.start();
            TJpegImage jpeg;
            jpeg.Assign(bitmap);
            jpeg.SaveToFile(out);
            const double w = Ms(t);

            t.start();
            if (!host.CaptureToJpeg(out, 768, 1024, 768, 1024))
                throw std::runtime_error("CaptureToJpeg failed");
            const double c = Ms(t);

            if (i < 3) continue;  // warm-up
            load.push_back(l);
            shot.push_back(s);
            decode.push_back(d);
            write.push_back(w);
            whole.push_back(c);
            pngBytes = png.size();
            jpegBytes = QFile(out).size();
        }
        std::printf("capture_bench: %d captures of one reused page at 1024 x 768 (first load %.0f ms)\n",
                    count, firstLoad);
        std::printf("  navigate to complete     median %7.1f ms\n", Median(load));
        std::printf("  screenshot call (PNG)    median %7.1f ms   (%lld KiB PNG)\n", Median(shot),
                    pngBytes / 1024);
        std::printf("  PNG decode to bitmap     median %7.1f ms\n", Median(decode));
        std::printf("  JPEG q90 encode + write  median %7.1f ms   (%lld KiB JPEG)\n", Median(write),
                    jpegBytes / 1024);
        std::printf("  sum of the three stages  median %7.1f ms\n",
                    Median(shot) + Median(decode) + Median(write));
        std::printf("  CaptureToJpeg as a whole median %7.1f ms\n", Median(whole));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "capture_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
