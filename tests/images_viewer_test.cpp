// The images viewer and the gallery window: mask, reload, drawing one cell, and the window's opening and
// closing.
#include "images_viewer.h"
#include "Unit2.h"
#include "picture_item.h"
#include "picture_samples.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QStringList Names(TImagesViewer& viewer) {
    QStringList names;
    for (int i = 0; i < viewer.Count(); ++i) names.append(viewer.PictureItem(i)->DisplayCaption());
    return names;
}

// --- Mask ----------------------------------------------------------------------------------------------

TEST(ImagesViewerMask, GalleryMaskGivesEightSortedPatterns) {
    EXPECT_EQ(TImagesViewer::SplitMask(TForm2::GalleryFileMask()),
              QStringList({"*.bmp", "*.emf", "*.gif", "*.ico", "*.jpeg", "*.jpg", "*.png", "*.wmf"}));
}

TEST(ImagesViewerMask, SplittingKeepsEmptyPatternsAndDropsRepeatsWhateverTheirCase) {
    EXPECT_EQ(TImagesViewer::SplitMask(""), QStringList({""}));
    EXPECT_EQ(TImagesViewer::SplitMask("*.b;;*.a"), QStringList({"", "*.a", "*.b"}));
    EXPECT_EQ(TImagesViewer::SplitMask("*.JPG,*.jpg;*.Jpg"), QStringList({"*.JPG"}));
    EXPECT_EQ(TImagesViewer::SplitMask("*.png;"), QStringList({"", "*.png"}));
}

TEST(ImagesViewerMask, Wildcards) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    for (const Case c :
         {Case{"b.JPG", "*.jpg", true}, Case{"a.jpg", "*.JPG", true}, Case{"a.jpeg", "*.jpg", false},
          Case{"a.jpg.txt", "*.jpg", false}, Case{".e.jpg", "*.jpg", true}, Case{"x.jpg", "?.jpg", true},
          Case{"xy.jpg", "?.jpg", false}, Case{"anything", "*", true}, Case{"", "*", true},
          Case{"a", "", false}, Case{"a.b.c", "*.*.*", true}, Case{"abcabd", "*abd", true},
          Case{"äpfel.JPG", "Ä*.jpg", true}}) {
        EXPECT_EQ(TImagesViewer::MatchesWildcard(QString::fromUtf8(c.name), QString::fromUtf8(c.pattern)),
                  c.matches)
            << c.name << " / " << c.pattern;
    }
}

// --- Reload --------------------------------------------------------------------------------------------

class ReloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        viewer.SetOptions(TForm2::GalleryOptions());
        viewer.SetFileMask(TForm2::GalleryFileMask());
    }
    QString In(const QString& name) const { return folder.filePath(name); }

    QTemporaryDir folder;
    TImagesViewer viewer;
};

TEST_F(ReloadTest, FilesInOrderWithoutSubFoldersHiddenFilesIncluded) {
    WriteJpeg(In("b.JPG"), 16, 12);
    WriteSolid(In("A.bmp"), 8, 8, Qt::red, "BMP");
    WriteJpeg(In("c.jpeg"), 16, 12);
    ASSERT_TRUE(QDir(folder.path()).mkdir("d.jpg"));  // a folder named like a picture
    WriteJpeg(In("d.jpg/inside.jpg"), 16, 12);        // sub-folders are not searched
    WriteJpeg(In(".e.jpg"), 16, 12);                  // hidden
    WriteBytes(In("notes.txt"), "text");
    viewer.SetDirectory(folder.path());
    EXPECT_EQ(Names(viewer), QStringList({".e.jpg", "A.bmp", "b.JPG", "c.jpeg"}));
    EXPECT_EQ(viewer.PictureItem(1)->FileName(), folder.path() + "/A.bmp");
}

TEST_F(ReloadTest, FileMatchedTwiceGivesOneItem) {
    WriteJpeg(In("b.jpg"), 16, 12);  // matched by "*.jpg", which the mask lists twice
    viewer.SetDirectory(folder.path());
    EXPECT_EQ(viewer.Count(), 1);
    viewer.SetFileMask("*.jpg;*.JPG;*.j*;b.*");
    EXPECT_EQ(viewer.Count(), 1);
}

TEST_F(ReloadTest, NamesThatDifferOnlyInCaseAreDifferentFilesHere) {
    WriteJpeg(In("g.jpg"), 16, 12);
    WriteJpeg(In("G.jpg"), 16, 12);
    viewer.SetDirectory(folder.path());
    EXPECT_EQ(viewer.Count(), 2);
}

TEST_F(ReloadTest, SettersReloadOnlyOnAChangedText) {
    WriteJpeg(In("a.jpg"), 16, 12);
    QSignalSpy loads(&viewer, &TImagesViewer::LoadBegin);
    viewer.SetDirectory(folder.path());
    EXPECT_EQ(loads.count(), 1);
    viewer.SetDirectory(folder.path());
    EXPECT_EQ(loads.count(), 1);
    viewer.SetDirectory(folder.path() + "/");  // another text for the same folder
    EXPECT_EQ(loads.count(), 2);
    EXPECT_EQ(viewer.PictureItem(0)->FileName(), folder.path() + "/a.jpg");
    viewer.SetFileMask(TForm2::GalleryFileMask());
    EXPECT_EQ(loads.count(), 2);
    viewer.SetFileMask("*.png");
    EXPECT_EQ(loads.count(), 3);
    EXPECT_EQ(viewer.Count(), 0);
    EXPECT_TRUE(viewer.RefreshFromFolder() == false);
    EXPECT_EQ(loads.count(), 4);  // an explicit reload always runs
}

TEST_F(ReloadTest, ReloadReadsNoPictureAndClearsTheSelection) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 16, 12);
    viewer.SetDirectory(folder.path());
    viewer.SetSelectedIndex(2);
    EXPECT_TRUE(viewer.RefreshFromFolder());
    EXPECT_EQ(viewer.SelectedIndex(), -1);
    for (int i = 0; i < viewer.Count(); ++i) {
        EXPECT_FALSE(viewer.PictureItem(i)->HasPictureObject());
        EXPECT_FALSE(viewer.PictureItem(i)->IsSelected());
    }
}

TEST_F(ReloadTest, MissingFolderGivesNoItemsSilently) {
    WriteJpeg(In("a.jpg"), 16, 12);
    viewer.SetDirectory(folder.path());
    ASSERT_EQ(viewer.Count(), 1);
    viewer.SetDirectory(folder.path() + "/missing");
    EXPECT_EQ(viewer.Count(), 0);
    EXPECT_FALSE(viewer.RefreshFromFolder());
}

TEST_F(ReloadTest, RelativeAndEmptyFolderTextsUseTheCurrentDirectory) {
    const QString previous = QDir::currentPath();
    WriteJpeg(In("a.jpg"), 16, 12);
    ASSERT_TRUE(QDir(folder.path()).mkdir("sub"));
    WriteJpeg(In("sub/b.jpg"), 16, 12);
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    viewer.SetDirectory("sub");
    EXPECT_EQ(viewer.PictureItem(0)->FileName(), QDir(folder.path()).absoluteFilePath("sub/b.jpg"));
    viewer.SetDirectory("");
    ASSERT_EQ(viewer.Count(), 1);
    EXPECT_EQ(viewer.PictureItem(0)->FileName(), "a.jpg");  // relative, resolved when the picture is read
    EXPECT_FALSE(viewer.PictureItem(0)->Picture()->isNull());
    QDir::setCurrent(previous);
}

// --- The viewer on screen ------------------------------------------------------------------------------

class ShownViewerTest : public ReloadTest {
  protected:
    void Show() {
        QFont f(QStringLiteral("Sans Serif"));
        f.setPixelSize(11);
        viewer.setFont(f);
        viewer.resize(808, 568);
        viewer.SetDirectory(folder.path());
        viewer.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
        viewer.viewport()->repaint();
    }
    QImage Screen() { return viewer.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST_F(ShownViewerTest, BrokenJpegLeavesTheGridAndTheSelectionMovesUp) {
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) WriteJpeg(In(name), 320, 240);
    WriteJpeg(In("z.jpg"), 320, 240);
    const QByteArray whole = ReadBytes(In("z.jpg"));
    WriteBytes(In("z.jpg"), whole.left(whole.size() / 2));
    QSignalSpy errors(&viewer, &TImagesViewer::LoadError);
    viewer.SetDirectory(folder.path());
    viewer.SetSelectedIndex(3);
    Show();
    ASSERT_EQ(errors.count(), 1);
    EXPECT_EQ(errors.at(0).at(0).toString(), folder.path() + "/z.jpg");
    EXPECT_EQ(viewer.Count(), 4);  // until the event loop delivers the request
    QCoreApplication::processEvents();
    EXPECT_EQ(viewer.Count(), 3);
    EXPECT_EQ(viewer.SelectedIndex(), 2);
    EXPECT_TRUE(viewer.PictureItem(2)->IsSelected());
    EXPECT_EQ(Names(viewer), QStringList({"a.jpg", "b.jpg", "c.jpg"}));
}

TEST_F(ShownViewerTest, PngGifAndMissingFilesKeepTheirCells) {
    WriteSolid(In("a.png"), 30, 20, Qt::blue, "PNG");
    WriteBytes(In("b.gif"), kTinyGif);
    WriteJpeg(In("c.jpg"), 32, 24);
    WriteBytes(In("d.emf"), "not a metafile we can read");
    viewer.SetDirectory(folder.path());
    ASSERT_TRUE(QFile::remove(In("c.jpg")));  // gone after the reload
    Show();
    QCoreApplication::processEvents();
    EXPECT_EQ(Names(viewer), QStringList({"a.png", "b.gif", "c.jpg"}));
    EXPECT_FALSE(viewer.PictureItem(0)->Picture()->isNull());
    EXPECT_FALSE(viewer.PictureItem(1)->Picture()->isNull());
    EXPECT_TRUE(viewer.PictureItem(2)->HasPictureObject());
    EXPECT_TRUE(viewer.PictureItem(2)->Picture()->isNull());
}

TEST_F(ShownViewerTest, PicturesAreReadForVisibleRowsAndReleasedOutsideThem) {
    for (int i = 0; i < 30; ++i) WriteJpeg(In(QString("p%1.jpg").arg(i, 2, 10, QChar('0'))), 64, 48);
    Show();
    for (int i = 0; i < 30; ++i) EXPECT_EQ(viewer.PictureItem(i)->HasPictureObject(), i < 9) << i;
    viewer.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    viewer.viewport()->repaint();
    const auto visible = viewer.VisibleRows();
    EXPECT_EQ(visible.last, 29);
    for (int i = 0; i < 30; ++i) {
        const bool inView = i >= visible.first && i <= visible.last;
        EXPECT_EQ(viewer.PictureItem(i)->HasPictureObject(), inView) << i;
    }
}

TEST_F(ShownViewerTest, CellsAreDrawnFittedCentredFramedAndSelected) {
    WriteSolid(In("a.png"), 320, 240, QColor(0, 0, 255), "PNG");
    WriteSolid(In("b.png"), 120, 90, QColor(255, 0, 0), "PNG");
    viewer.SetDirectory(folder.path());
    viewer.SetSelectedIndex(1);
    Show();
    const QImage screen = Screen();
    const TGridGeometry& g = viewer.Geometry();
    const QRgb blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);

    // 320 x 240 into 198 x 198: 198 x 148, 25 pixels below the top of the area.
    const QRect a = g.PictureArea(0);
    EXPECT_EQ(screen.pixel(a.left() + 100, a.top() + 25), blue);
    EXPECT_NE(screen.pixel(a.left() + 100, a.top() + 24), blue);
    EXPECT_EQ(screen.pixel(a.left() + 100, a.top() + 25 + 147), blue);
    EXPECT_NE(screen.pixel(a.left() + 100, a.top() + 25 + 148), blue);
    EXPECT_EQ(screen.pixel(a.left() + 100, a.top()), qRgb(128, 128, 128));  // the grey frame
    EXPECT_EQ(screen.pixel(a.left(), a.top() + 10), qRgb(128, 128, 128));
    EXPECT_EQ(screen.pixel(a.left(), a.top() + 100), blue);  // the picture is drawn over it
    EXPECT_EQ(screen.pixel(a.left() + 1, a.top() + 10), viewer.palette().color(QPalette::Base).rgb());

    // 120 x 90 stays as it is, 39 pixels from the left and 54 from the top.
    const QRect b = g.PictureArea(1);
    EXPECT_EQ(screen.pixel(b.left() + 39, b.top() + 54), red);
    EXPECT_NE(screen.pixel(b.left() + 38, b.top() + 54), red);
    EXPECT_NE(screen.pixel(b.left() + 39, b.top() + 53), red);
    EXPECT_EQ(screen.pixel(b.left() + 39 + 119, b.top() + 54 + 89), red);
    // Selected: a 2-pixel frame in the highlight colour, the checker pattern inside it.
    const QRgb hot = viewer.palette().color(QPalette::Highlight).rgb();
    EXPECT_EQ(screen.pixel(b.left(), b.top() + 100), hot);
    EXPECT_EQ(screen.pixel(b.left() + 1, b.top() + 100), hot);
    EXPECT_EQ(screen.pixel(b.right() - 1, b.bottom()), hot);
    for (const QPoint p : {QPoint(b.left() + 5, b.top() + 5), QPoint(b.left() + 6, b.top() + 5)}) {
        const QRgb expected = (p.x() % 2 == p.y() % 2) ? qRgb(166, 202, 240) : qRgb(255, 255, 255);
        EXPECT_EQ(screen.pixel(p), expected) << p.x() << "," << p.y();
    }
}

TEST_F(ShownViewerTest, LongCaptionsEndInAnEllipsis) {
    const QString longName = QString(60, QChar('x')) + ".png";
    WriteSolid(In(longName), 10, 10, Qt::blue, "PNG");
    Show();
    EXPECT_EQ(viewer.PictureItem(0)->DisplayCaption(), longName);
    // The caption strip holds text that stops short of its right edge: no letter was cut off.
    const QImage screen = Screen();
    const QRect strip = viewer.Geometry().CaptionStrip(0);
    const QRgb background = viewer.palette().color(QPalette::Base).rgb();
    bool inkNearLeft = false;
    for (int y = strip.top(); y <= strip.bottom(); ++y)
        for (int x = strip.left(); x < strip.left() + 10; ++x)
            if (screen.pixel(x, y) != background) inkNearLeft = true;
    EXPECT_TRUE(inkNearLeft);  // wider than the strip: it starts at the left and ends in "…"
}

// --- The gallery window --------------------------------------------------------------------------------

TEST(GalleryWindow, DesignedWindow) {
    TForm2 form;
    EXPECT_EQ(form.windowTitle(), "Form2");
    EXPECT_EQ(form.size(), QSize(808, 568));
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    const TImageViewerOptions& o = form.ImagesViewer1->Options();
    EXPECT_EQ(o.width, 200);
    EXPECT_EQ(o.height, 200);
    EXPECT_EQ(o.horzSpacing, 2);
    EXPECT_TRUE(o.autoCenter && o.showCaptions && o.reduceMemoryUsage && o.lazyRead && o.transparent);
    EXPECT_EQ(o.imagePadding, 0);
    EXPECT_EQ(form.ImagesViewer1->FileMask(), TForm2::GalleryFileMask());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.ImagesViewer1->geometry(), form.rect());
    EXPECT_EQ(form.ImagesViewer1->viewport()->size(), QSize(804, 564));
    form.resize(1000, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(form.ImagesViewer1->geometry(), form.rect());
    QTest::keyClick(form.ImagesViewer1, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());  // Escape does not close the gallery
}

TEST(GalleryWindow, OpensModallyKeepsItsStateAndClosesByHiding) {
    QTemporaryDir folder;
    for (int i = 0; i < 30; ++i)
        WriteJpeg(folder.filePath(QString("p%1.jpg").arg(i, 2, 10, QChar('0'))), 64, 48);
    TForm2 form;
    TImagesViewer* viewer = form.ImagesViewer1;
    QStringList opened;  // Enter opens the selected picture on the desktop
    form.OpenPicture = [&](const QString& path) { opened << path; };

    bool checked = false;
    QTimer::singleShot(0, [&] {
        checked = true;
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), &form);
        EXPECT_EQ(viewer->Count(), 30);
        QTest::keyClick(viewer, Qt::Key_Down);
        QTest::keyClick(viewer, Qt::Key_Down);
        QTest::keyClick(viewer, Qt::Key_Down);
        QTest::keyClick(viewer, Qt::Key_Escape);
        EXPECT_TRUE(form.isVisible());
        QTest::keyClick(viewer, Qt::Key_Return);
        form.close();
    });
    form.ShowForFolder(folder.path());  // returns when the window has been closed
    EXPECT_EQ(opened, QStringList{folder.filePath("p08.jpg")});
    ASSERT_TRUE(checked);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(viewer->Count(), 30);
    EXPECT_EQ(viewer->SelectedIndex(), 8);
    const int position = viewer->ScrollPosition();
    EXPECT_GT(position, 0);

    // New pictures of the next run appear although the folder text is the same; the scroll position stays.
    WriteJpeg(folder.filePath("q.jpg"), 64, 48);
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(viewer->Count(), 31);
        EXPECT_EQ(viewer->ScrollPosition(), position);
        EXPECT_EQ(viewer->SelectedIndex(), -1);
        form.close();
    });
    form.ShowForFolder(folder.path());
}

}  // namespace
