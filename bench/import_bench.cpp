// Times the import of a large list into the main window, the export of it, and the reader alone.
// Run: build/bench/import_bench [ROWS]   (offscreen unless QT_QPA_PLATFORM is set; default 10000 rows)
#include "Unit1.h"
#include "fake_dialogs.h"
#include "list_file.h"
#include "test_support.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRounds = 5;

// The best of several rounds, in milliseconds; `prepare` runs untimed before each round.
template <typename Prepare, typename Work>
double BestMs(Prepare prepare, Work work) {
    double best = 1e300;
    for (int i = 0; i < kRounds; ++i) {
        prepare();
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, t.nsecsElapsed() / 1e6);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    UsePrivateRuntimeDir();
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;

    QTemporaryDir dir;
    const QString path = dir.filePath("list.csv");
    std::vector<WebsiteEntry> entries;
    for (int i = 0; i < rows; ++i)
        entries.push_back({QStringLiteral("http://www.example-%1.de/seite/index.html").arg(i),
                           QStringLiteral("bild_%1").arg(i)});
    WriteListFile(path, entries);

    const double readMs = BestMs([] {}, [&] { ReadListFile(path); });

    TFakeDialogs d;
    TForm1 form(&d);
    form.show();
    QApplication::processEvents();
    const double importMs = BestMs(
        [&] {
            form.RemoveAllRows();
            QApplication::processEvents();
            d.fileNames.push_back(path);
        },
        [&] {
            form.sSpeedButton1->click();
            QApplication::processEvents();  // the repaint and relayout the user waits for
        });
    bool ok =
        form.RowCount() == rows && form.lb_anzahl->text() == QString::number(rows) && d.errors.isEmpty();

    // Into a list that is not empty, answering No: the rows are appended.
    const double appendMs = BestMs(
        [&] {
            form.RemoveAllRows();
            form.AppendRow("x", "y");
            QApplication::processEvents();
            d.fileNames.push_back(path);
            d.answers.push_back(false);
        },
        [&] {
            form.sSpeedButton1->click();
            QApplication::processEvents();
        });

    const double clearMs = BestMs(
        [&] {
            form.RemoveAllRows();
            d.fileNames.push_back(path);
            form.sSpeedButton1->click();
            QApplication::processEvents();
        },
        [&] {
            form.RemoveAllRows();
            QApplication::processEvents();
        });

    const QString outPath = dir.filePath("out.csv");
    d.fileNames.push_back(path);
    form.sSpeedButton1->click();
    QApplication::processEvents();
    const double exportMs =
        BestMs([&] { d.fileNames.push_back(outPath); }, [&] { form.sSpeedButton2->click(); });

    ok = ok && ReadListFile(outPath) == entries && d.errors.isEmpty();
    std::printf("rows                      %d\n", rows);
    std::printf("read list file            %8.2f ms\n", readMs);
    std::printf("import into empty window  %8.2f ms%s\n", importMs, ok ? "" : "  (WRONG RESULT)");
    std::printf("import appending (No)     %8.2f ms\n", appendMs);
    std::printf("remove all rows           %8.2f ms\n", clearMs);
    std::printf("export                    %8.2f ms\n", exportMs);
    std::printf("(best of %d rounds each, QT_QPA_PLATFORM=%s)\n", kRounds,
                qgetenv("QT_QPA_PLATFORM").constData());
    return ok ? 0 : 1;
}
