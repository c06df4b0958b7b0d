// Times the gallery on a folder of many thumbnails: reload, first screen, one page of scrolling, and the
// memory the process holds after scrolling from top to bottom.
// Run: build/bench/gallery_bench [COUNT] [FOLDER]   (offscreen unless QT_QPA_PLATFORM is set; default 10000
// thumbnails of 320 x 240 in a temporary folder; an existing FOLDER is used as it is)
#include "Unit2.h"
#include "images_viewer.h"
#include "jpeg_image.h"
#include "picture_item.h"
#include "skin.h"
#include "test_support.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Resident memory of this process in MiB, from /proc/self/status (VmRSS or VmHWM).
double MemoryMiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024;
    return -1;
}

// A thumbnail that looks a little like a page: a header bar, a few text lines and a picture block.
QByteArray ThumbnailJpeg(int seed) {
    QImage page(320, 240, QImage::Format_RGB888);
    page.fill(Qt::white);
    QPainter p(&page);
    p.fillRect(0, 0, 320, 36, QColor::fromHsv((seed * 37) % 360, 160, 200));
    for (int line = 0; line < 10; ++line)
        p.fillRect(16, 50 + line * 16, 120 + (seed * 13 + line * 29) % 160, 6, QColor(90, 90, 90));
    p.fillRect(220, 60, 84, 70, QColor::fromHsv((seed * 71) % 360, 120, 170));
    p.end();
    TJpegImage jpeg;
    jpeg.CompressionQuality = 75;  // as the reduction writes thumbnails
    jpeg.Assign(TBitmap24::FromQImage(page));
    return jpeg.SaveToData();
}

void MakeFolder(const QString& folder, int count) {
    std::vector<QByteArray> samples;
    for (int i = 0; i < 64; ++i) samples.push_back(ThumbnailJpeg(i));
    for (int i = 0; i < count; ++i) {
        QFile file(QStringLiteral("%1/thumb_%2.jpg").arg(folder).arg(i, 5, 10, QChar('0')));
        const QByteArray& bytes = samples[static_cast<size_t>(i) % samples.size()];
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            std::exit(2);
        }
    }
}

double Ms(const QElapsedTimer& t) {
    return t.nsecsElapsed() / 1e6;
}

struct Stats {
    double median, p95, max;
};

Stats Summarise(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    if (values.empty()) return {0, 0, 0};
    return {values[values.size() / 2], values[values.size() * 95 / 100], values.back()};
}

}  // namespace

int main(int argc, char** argv) {
    UsePrivateRuntimeDir();
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    ApplySkin(app);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;

    QTemporaryDir temporary;
    QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    if (argc <= 2 || QDir(folder).entryList(QDir::Files).isEmpty()) {
        QDir().mkpath(folder);
        QElapsedTimer t;
        t.start();
        MakeFolder(folder, count);
        std::printf("made %d thumbnails in %s (%.0f ms)\n", count, qPrintable(folder), Ms(t));
    }

    TForm2 form;
    TImagesViewer* viewer = form.ImagesViewer1;
    viewer->SetDirectory(folder);

    std::vector<double> reloads;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        viewer->RefreshFromFolder();
        reloads.push_back(Ms(t));
    }
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the gallery window was never shown\n");
        return 2;
    }
    QApplication::processEvents();

    // First screen: every picture of it is read and drawn.
    std::vector<double> firstPaints;
    for (int i = 0; i < 5; ++i) {
        viewer->RefreshFromFolder();  // frees every picture; the paint below reads the screen's anew
        QElapsedTimer t;
        t.start();
        viewer->viewport()->repaint();
        firstPaints.push_back(Ms(t));
        QApplication::processEvents();
    }
    const double afterFirstScreen = MemoryMiB("VmRSS:");

    // One page per step, from the top to the bottom, each step painted at once.
    QScrollBar* bar = viewer->verticalScrollBar();
    std::vector<double> steps;
    while (bar->value() < bar->maximum()) {
        QElapsedTimer t;
        t.start();
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        viewer->viewport()->repaint();
        steps.push_back(Ms(t));
    }
    QApplication::processEvents();
    const double afterScroll = MemoryMiB("VmRSS:");

    // Back to the top by wheel, three notches' worth (Shift) per event, each event painted at once.
    std::vector<double> wheels;
    const QPoint at(100, 100);
    while (bar->value() > 0) {
        QWheelEvent wheel(at, viewer->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                          Qt::ShiftModifier, Qt::NoScrollPhase, false);
        QElapsedTimer t;
        t.start();
        QApplication::sendEvent(viewer->viewport(), &wheel);
        viewer->viewport()->repaint();
        wheels.push_back(Ms(t));
    }
    QApplication::processEvents();
    const double afterWheel = MemoryMiB("VmRSS:");

    int held = 0;
    for (int i = 0; i < viewer->Count(); ++i)
        if (viewer->PictureItem(i)->HasPictureObject()) ++held;

    const Stats reload = Summarise(reloads), first = Summarise(firstPaints), step = Summarise(steps),
                wheel = Summarise(wheels);
    std::printf("items: %d, columns %d, client %dx%d, scroll range %d\n", viewer->Count(),
                viewer->Geometry().Columns(), viewer->viewport()->width(), viewer->viewport()->height(),
                bar->maximum());
    std::printf("reload:            median %.1f ms, max %.1f ms (5 runs)\n", reload.median, reload.max);
    std::printf("first screen:      median %.1f ms, max %.1f ms (5 runs)\n", first.median, first.max);
    std::printf("page scroll step:  median %.1f ms, p95 %.1f ms, max %.1f ms (%zu steps)\n", step.median,
                step.p95, step.max, steps.size());
    std::printf("wheel step (360):  median %.1f ms, p95 %.1f ms, max %.1f ms (%zu steps, bottom to top)\n",
                wheel.median, wheel.p95, wheel.max, wheels.size());
    std::printf(
        "memory (RSS):      %.1f MiB after the first screen, %.1f MiB after the full scroll (%+.1f MiB),\n"
        "                   %.1f MiB after wheeling back up; peak %.1f MiB; pictures held at the end: %d\n",
        afterFirstScreen, afterScroll, afterScroll - afterFirstScreen, afterWheel, MemoryMiB("VmHWM:"), held);
    return 0;
}
