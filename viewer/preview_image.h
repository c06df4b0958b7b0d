// TPreviewImage: the preview pane ImagePreview1, the picture unscaled and centred on black.
#pragma once

#include "argb_bitmap.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QWidget>

// Where a bitmap of `bitmap` size sits in a control of `control` size: unscaled, moved by
// ((control width - w) / 2, (control height - h) / 2) with the division truncating toward zero, so an odd
// extra column or row is on the right or at the bottom. Empty when the bitmap or the control is empty.
QRect CenteredBitmapRect(QSize control, QSize bitmap);

// Size of the off-screen buffer for a control of `needed` size, given the buffer's `current` size: it grows
// to the needed size plus 40 pixels in each direction, shrinks to the needed size only when that falls more
// than 40 pixels below, and is never smaller than 1 x 1.
QSize NextBufferSize(QSize current, QSize needed);

// The preview control: 321 x 241 pixels, black background, owns one TArgbBitmap. Paints from an off-screen
// buffer that is rendered again only after a change, with one copy to the screen and no background erase,
// so it never flickers.
class TPreviewImage : public QWidget {
    Q_OBJECT
  public:
    explicit TPreviewImage(QWidget* parent = nullptr);

    TArgbBitmap& Bitmap() { return m_bitmap; }
    const TArgbBitmap& Bitmap() const { return m_bitmap; }
    // Bitmap().LoadPictureFile(fileName): throws on failure and keeps the previous picture.
    void LoadPictureFile(const QString& fileName, PictureFormats formats = PictureFormats::Jpeg) {
        m_bitmap.LoadPictureFile(fileName, formats);
    }
    // The bitmap's place in control coordinates (cached until the bitmap or the control's size changes).
    QRect BitmapRect() const;
    // The off-screen buffer as last rendered (its top-left control-sized part is what the screen shows).
    const QImage& Buffer() const { return m_buffer; }
    // Renders the buffer if it is not valid and returns the control's picture, as it would be painted.
    QImage RenderedImage();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void BitmapChanged(bool sizeChanged);
    void RenderBuffer();

    TArgbBitmap m_bitmap;
    QImage m_buffer;
    bool m_bufferValid = false;
    mutable QRect m_bitmapRect;
    mutable bool m_bitmapRectValid = false;
};
