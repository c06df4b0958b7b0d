// Test entry for widget tests: offscreen platform unless a display is asked for, a private runtime
// folder, and a loud failure when no font can draw the program's texts (Qt would draw empty boxes).
#include "test_support.h"
#include "texts.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    UsePrivateRuntimeDir();
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    const QFontMetrics metrics(QApplication::font());
    if (QFontDatabase::families().isEmpty() || !metrics.inFontUcs4(U'ä') || !metrics.inFontUcs4(U'W')) {
        std::fprintf(stderr,
                     "No usable font: widget texts would render as boxes. Install fonts-dejavu-core.\n");
        return 1;
    }
    UseGermanTexts();  // the window's language, also for what the tests call beside it
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
