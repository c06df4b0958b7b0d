// The gallery window Form2: the images viewer over the output folder, shown modally after a batch run.
#pragma once

#include <QDialog>
#include <functional>

class TImagesViewer;
struct TImageViewerOptions;

class TForm2 : public QDialog {
    Q_OBJECT
  public:
    // Created hidden at start-up; lives until the program ends and keeps its items, selection, scroll
    // position, size and place between openings.
    explicit TForm2(QWidget* parent = nullptr);
    ~TForm2() override;

    TImagesViewer* ImagesViewer1;
    // Opens a picture file in the desktop's image viewer (Enter or a double click on it); unset, the
    // desktop's URL handler is asked directly.
    std::function<void(const QString& path)> OpenPicture;

    // Opening after a batch run: Directory := folderText (reloads when it changed), reloads once more so the
    // run's new pictures appear, then shows the window modally and returns when the user has closed it.
    void ShowForFolder(const QString& folderText);

    // The options the gallery gives its viewer: 200 x 200 cells, spacing 2, centred, captions, pictures of
    // hidden rows released.
    static TImageViewerOptions GalleryOptions();
    // The gallery's mask, repeats included.
    static QString GalleryFileMask();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
