// Runs the window's batch over the example pages, one page whose server answers 404 and one row that fails,
// and saves a screenshot of the main window after the run, with the list's filter open. Run under a display:
// xvfb-run -a build/bench/main_window_shot EXAMPLES_PAGES_DIR OUT_FOLDER OUT.png
#include "Unit1.h"
#include "dialogs.h"
#include "local_http_server.h"
#include "skin.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

namespace {

// Messages go to the terminal instead of a box; nothing is asked.
class PrintingDialogs : public TDialogs {
  public:
    void ShowNotice(const QString& text) override { std::printf("notice: %s\n", qPrintable(text)); }
    bool AskYesNo(const QString&) override { return false; }
    void ShowErrorBox(const QString& message) override { std::printf("error: %s\n", qPrintable(message)); }
    QString ChooseDirectory(const QString&) override { return {}; }
    QString GetOpenFileName(const QString&) override { return {}; }
    QString GetSaveFileName(const QString&, const QString&) override { return {}; }
    void OpenWithDesktop(const QString& path) override { std::printf("open: %s\n", qPrintable(path)); }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4) {
        std::fprintf(stderr, "usage: main_window_shot PAGES_DIR OUT_FOLDER OUT.png\n");
        return 2;
    }
    ApplySkin(app);
    const QDir pages(QString::fromLocal8Bit(argv[1]));
    PrintingDialogs dialogs;
    TForm1 form(&dialogs);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return 1;
    for (const QString& page : pages.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name))
        form.AppendRow(QStringLiteral("file://") + pages.absoluteFilePath(page),
                       QFileInfo(page).completeBaseName());
    // A page whose server answers 404 (captured, with a warning) and a row that fails (a page that is not
    // there), to show how they look in the list.
    LocalHttpServer server;
    server.AddRoute(QStringLiteral("/alt"),
                    "<!doctype html><title>404</title><body style='font:32px sans-serif;margin:40px'>"
                    "<h1>404 Not Found</h1><p>Diese Seite gibt es nicht mehr.</p>",
                    "text/html; charset=utf-8", 0, 404);
    form.AppendRow(server.Url(QStringLiteral("/alt")), QStringLiteral("alt"));
    form.AppendRow(QStringLiteral("file://") + pages.absoluteFilePath(QStringLiteral("fehlt.html")),
                   QStringLiteral("fehlt"));
    QDir().mkpath(QString::fromLocal8Bit(argv[2]));
    form.sDirectoryEdit1->setText(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    form.sBitBtn3Click();
    // The last rows in sight, and the filter open over the list, as a click on it shows it.
    form.sListView1->scrollToBottom();
    form.cb_filter->showPopup();
    QTest::qWait(300);
    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "cannot save the screenshot to %s\n", argv[3]);
        return 1;
    }
    std::printf("saved %s (%dx%d)\n", argv[3], shot.width(), shot.height());
    return 0;
}
