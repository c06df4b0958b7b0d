// A grid item that shows one picture file: its path, its picture read on first need, its caption.
#pragma once

#include "viewer_item.h"

#include <QImage>
#include <QString>
#include <optional>

class TImagesViewer;

class TPictureItem : public TViewerItem {
  public:
    // The owner is borrowed; it owns the item through its item list.
    explicit TPictureItem(TImagesViewer* owner);

    // Full path of the picture file (or a path relative to the current directory).
    const QString& FileName() const { return m_fileName; }
    // Stores a different name and frees the picture held for the old one. No repaint is asked for.
    void SetFileName(const QString& fileName);

    // Text under the picture; when empty, the file name without its folder is shown.
    const QString& Caption() const { return m_caption; }
    void SetCaption(const QString& caption) { m_caption = caption; }
    QString DisplayCaption() const;

    // The picture, read from the file (ReadPictureFile, the gallery's formats) the first time it is asked
    // for. Answers an empty image when the file
    // is missing or cannot be read; a file that cannot be read also asks to leave the list (reported through
    // the owner's LoadError, never thrown). Never nullptr.
    const QImage* Picture();
    // Whether a picture object exists (loaded, or empty after a missing or unreadable file).
    bool HasPictureObject() const { return m_picture.has_value(); }

    bool HasFileName() const override { return !m_fileName.isEmpty(); }
    // Frees the picture; it is read again the next time the cell is drawn.
    void GiveUpPicture() override;

  private:
    TImagesViewer* m_viewer;
    QString m_fileName;
    QString m_caption;
    std::optional<QImage> m_picture;  // absent until first needed; an empty image after a failed read
};
