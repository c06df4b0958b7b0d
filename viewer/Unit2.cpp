// The gallery window Form2.
#include "Unit2.h"

#include "images_viewer.h"
#include "picture_item.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QUrl>

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(175, 220, 126));  // covered by the viewer
    setPalette(pal);
    resize(808, 568);
    move(337, 218);  // as designed, not centred

    ImagesViewer1 = new TImagesViewer(this);
    ImagesViewer1->setObjectName(QStringLiteral("ImagesViewer1"));
    ImagesViewer1->setGeometry(rect());
    ImagesViewer1->SetOptions(GalleryOptions());
    // Assigning the mask already reloads, in the current directory; every opening reloads first.
    ImagesViewer1->SetFileMask(GalleryFileMask());
    ImagesViewer1->setFocus();
    connect(ImagesViewer1, &TImagesViewer::ItemActivated, this, [this](int index) {
        const TPictureItem* item = ImagesViewer1->PictureItem(index);
        if (!item || item->FileName().isEmpty()) return;
        const QString path = QFileInfo(item->FileName()).absoluteFilePath();
        if (OpenPicture)
            OpenPicture(path);
        else
            QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    });
}

TForm2::~TForm2() = default;

void TForm2::ShowForFolder(const QString& folderText) {
    ImagesViewer1->SetDirectory(folderText);
    ImagesViewer1->RefreshFromFolder();
    ImagesViewer1->setFocus();
    exec();
}

TImageViewerOptions TForm2::GalleryOptions() {
    TImageViewerOptions options;
    options.width = 200;
    options.height = 200;
    options.horzSpacing = 2;
    options.vertSpacing = 2;
    options.autoCenter = true;
    options.tracking = true;
    options.lazyRead = true;
    options.reduceMemoryUsage = true;
    options.showCaptions = true;
    options.alignment = Qt::AlignHCenter;
    options.imagePadding = 0;
    options.transparent = true;
    return options;
}

QString TForm2::GalleryFileMask() {
    return QStringLiteral("*.png;*.gif;*.gif;*.jpg;*.jpeg;*.jpg;*.jpeg;*.bmp;*.ico;*.emf;*.wmf");
}

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Escape does not close the gallery; only the window's close command does.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm2::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    ImagesViewer1->setGeometry(rect());
}
