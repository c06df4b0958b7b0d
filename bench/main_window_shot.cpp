// Runs the window's batch over the example pages and one row that fails, and saves a screenshot of the main
// window after the run. Run under a display: xvfb-run -a build/bench/main_window_shot EXAMPLES_PAGES_DIR
// OUT_FOLDER OUT.png
#include "Unit1.h"
#include "dialogs.h"
#include "skin.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QToolTip>
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
    // One row that fails (a page that is not there), to show how a failed row looks in the list.
    form.AppendRow(QStringLiteral("file://") + pages.absoluteFilePath(QStringLiteral("fehlt.html")),
                   QStringLiteral("fehlt"));
    QDir().mkpath(QString::fromLocal8Bit(argv[2]));
    form.sDirectoryEdit1->setText(QDir(QString::fromLocal8Bit(argv[2])).absolutePath());
    form.sBitBtn3Click();
    // The failed row's tooltip, as the mouse over its mark would show it.
    QTreeWidgetItem* failed = form.sListView1->topLevelItem(form.RowCount() - 1);
    const QRect cell = form.sListView1->visualItemRect(failed);
    QToolTip::showText(form.sListView1->viewport()->mapToGlobal(cell.topLeft() + QPoint(60, 12)),
                       failed->toolTip(0), form.sListView1->viewport());
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
