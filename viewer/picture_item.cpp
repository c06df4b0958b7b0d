// A grid item that shows one picture file.
#include "picture_item.h"

#include "images_viewer.h"
#include "picture_loader.h"

#include <QFileInfo>
#include <exception>

TPictureItem::TPictureItem(TImagesViewer* owner) : TViewerItem(owner), m_viewer(owner) {}

void TPictureItem::SetFileName(const QString& fileName) {
    // File names differ by case on this system, so the comparison counts case.
    if (fileName == m_fileName) return;
    m_fileName = fileName;
    m_picture.reset();
}

QString TPictureItem::DisplayCaption() const {
    if (!m_caption.isEmpty()) return m_caption;
    return m_fileName.mid(m_fileName.lastIndexOf(QLatin1Char('/')) + 1);
}

const QImage* TPictureItem::Picture() {
    if (m_picture) return &*m_picture;
    m_picture.emplace();
    const QString path = TImagesViewer::AbsolutePath(m_fileName);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) return &*m_picture;
    try {
        const bool transparent = m_viewer && m_viewer->Options().transparent;
        *m_picture = ReadPictureFile(path, PictureFormats::Gallery, transparent);
    } catch (const std::exception& error) {
        *m_picture = QImage();
        if (m_viewer) m_viewer->PictureLoadFailed(this, QString::fromUtf8(error.what()));
        RequestRemoval();
    }
    return &*m_picture;
}

void TPictureItem::GiveUpPicture() {
    if (!m_picture || m_fileName.isEmpty()) return;
    m_picture.reset();
    Changed();
}
