// Shows the gallery window on a folder of thumbnails, selects one cell with a real click and saves a
// screenshot of the window as the screen shows it.
// Run under a display: xvfb-run -a build/bench/gallery_shot FOLDER OUT.png [INDEX]
#include "Unit2.h"
#include "images_viewer.h"
#include "skin.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: gallery_shot FOLDER OUT.png [INDEX]\n");
        return 2;
    }
    ApplySkin(app);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int index = argc > 3 ? std::atoi(argv[3]) : 1;

    TForm2 form;
    form.move(0, 0);
    form.ImagesViewer1->SetDirectory(folder);
    form.ImagesViewer1->RefreshFromFolder();
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) {
        std::fprintf(stderr, "the gallery window was never shown\n");
        return 1;
    }
    TImagesViewer* viewer = form.ImagesViewer1;
    if (index >= 0 && index < viewer->Count())
        QTest::mouseClick(viewer->viewport(), Qt::LeftButton, {},
                          viewer->Geometry().PictureArea(index).center());
    QTest::qWait(300);
    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (shot.isNull() || !shot.save(out, "PNG")) {
        std::fprintf(stderr, "cannot save the screenshot to %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%d pictures, item %d selected, caption strip %d px, cell %dx%d; saved %s (%dx%d)\n",
                viewer->Count(), viewer->SelectedIndex(), viewer->CaptionHeight(),
                viewer->Geometry().CellWidth(), viewer->Geometry().CellHeight(), qPrintable(out),
                shot.width(), shot.height());
    return 0;
}
