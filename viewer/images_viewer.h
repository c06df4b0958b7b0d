// The images viewer: the grid filled with the picture files of one folder that match a file mask.
#pragma once

#include "custom_item_viewer.h"

#include <QColor>
#include <QString>
#include <QStringList>

class TPictureItem;

// Fill of a selected picture area: an 8 x 8 checker of the two colours, or plain oddColor when not active.
struct TBrushPattern {
    bool active = true;
    QColor evenColor = QColor(255, 255, 255);
    QColor oddColor = QColor(166, 202, 240);
};

// The grid's options plus those of drawing a cell and loading a picture.
struct TImageViewerOptions : TCustomItemViewerOptions {
    Qt::Alignment alignment = Qt::AlignHCenter;  // horizontal placement of the caption text
    int imagePadding = 20;                       // inset of the picture inside its area, pixels
    QColor frameColor = QColor(128, 128, 128);   // frame of an unselected picture area; invalid: none
    TBrushPattern brushPattern;
    QColor hotColor;           // frame of a selected picture area; invalid: the palette's highlight colour
    int hotFrameSize = 2;      // width of that frame, pixels
    bool transparent = false;  // bitmaps drop the colour of their bottom-left pixel
};

class TImagesViewer : public TCustomItemViewer {
    Q_OBJECT
  public:
    explicit TImagesViewer(QWidget* parent = nullptr);
    ~TImagesViewer() override;

    // Folder shown. Setting a different text (case counts) reloads; an equal text changes nothing.
    const QString& Directory() const { return m_directory; }
    void SetDirectory(const QString& directory);
    // Wildcard patterns separated by ";" or ",". Setting a different text reloads.
    const QString& FileMask() const { return m_fileMask; }
    void SetFileMask(const QString& mask);

    // Rebuilds the items from the folder: every file (hidden ones too, no sub-folders, no directories) whose
    // name matches a pattern, once, ordered by path without regard to case. Reads no picture. Frees every
    // item and clears the selection; the scroll position stays and is clamped by the layout pass.
    // Answers whether at least one item exists. A missing or unreadable folder gives no item, silently.
    bool RefreshFromFolder();

    const TImageViewerOptions& Options() const { return m_imageOptions; }
    void SetOptions(const TImageViewerOptions& options);

    // The item at index as a picture item (created on first access), nullptr outside the list.
    TPictureItem* PictureItem(int index);

    // --- Pieces of the reload, usable on their own ----------------------------------------------------
    // Patterns of a mask split at every ";" and ",", sorted and without duplicates, case ignored.
    static QStringList SplitMask(const QString& mask);
    // The text made absolute against the current directory; an empty text stays empty.
    static QString AbsolutePath(const QString& text);
    // Files of the folder text (ending in "/", or empty for the current directory) matching any pattern,
    // as folder text + name, sorted by path without regard to case, each path once.
    static QStringList ListMatchingFiles(const QString& folderText, const QStringList& patterns);
    // Whether a file name matches a pattern of "*" (any run) and "?" (any one character), case ignored.
    static bool MatchesWildcard(const QString& name, const QString& pattern);
    // The mask a new viewer starts with: every picture format the viewer can read.
    static QString DefaultFileMask();

    // Called by a picture item whose file could not be read; the item then leaves the list.
    void PictureLoadFailed(TPictureItem* item, const QString& message);

  Q_SIGNALS:
    void LoadBegin();
    void LoadEnd();
    // A picture file could not be read; its item is about to leave the list.
    void LoadError(const QString& fileName, const QString& message);

  protected:
    std::unique_ptr<TViewerItem> CreateItem() override;
    void DrawItem(QPainter& painter, TViewerItem& item, const QRect& pictureArea,
                  const QRect& captionText) override;

  private:
    QString m_directory;
    QString m_fileMask;
    TImageViewerOptions m_imageOptions;
};
