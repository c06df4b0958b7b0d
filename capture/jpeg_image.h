// TJpegImage: the one JPEG codec object through which every .jpg is read and written.
#pragma once

#include "bitmap24.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

// A failure of the JPEG codec (not a JPEG, corrupt or truncated data, unsupported format, encoder error);
// what() holds the codec's own message and what it worked on.
class EJpegError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Holds either compressed JPEG data (after LoadFromFile / LoadFromData) or a bitmap to compress (after
// Assign). Defaults: quality 90, baseline, colour; decoding at full size with the accurate integer transform
// and block smoothing into 24-bit blue-green-red rows. Errors are thrown: EJpegError for codec failures,
// std::runtime_error for file failures; the object stays usable after an error.
class TJpegImage {
  public:
    TJpegImage();

    // Writing settings.
    int CompressionQuality = 90;       // 1..100 on libjpeg's quality scale (values outside are clamped)
    bool ProgressiveEncoding = false;  // set from the file by LoadFromFile / LoadFromData
    bool Grayscale = false;            // write one grey component instead of colour
    // Reading: quantise the decoded colours to 236 (for displays of 8 bits per pixel or fewer). The pixels
    // still come out as TBitmap24, holding only palette colours. Initialised from LowColorDisplay().
    bool Quantize236 = false;
    // Reading: the size the decoder makes, through libjpeg's scaled inverse transform (each 8 x 8 block
    // becomes 4 x 4, 2 x 2 or 1 x 1 pixels; sides rounded up). Width() and Height() stay the file's size.
    enum class TJpegScale { FullSize = 1, Half = 2, Quarter = 4, Eighth = 8 };
    TJpegScale Scale = TJpegScale::FullSize;

    // Start-up setting of the program: whether the screen has 8 bits per pixel or fewer. New objects take it
    // as their Quantize236 default. Set once before any picture is read.
    static void SetLowColorDisplay(bool lowColor);
    static bool LowColorDisplay();

    // Takes a copy of the bitmap to compress; drops any compressed data held. Settings stay.
    void Assign(const TBitmap24& bitmap);
    // Reads the whole file (read-only) and parses its header at once. A 0-byte file gives an empty picture
    // (0 x 0) without error. Throws when the file cannot be read or the header is not a JPEG header; the
    // object then keeps what it held before.
    void LoadFromFile(const QString& fileName);
    // As LoadFromFile, for data in memory.
    void LoadFromData(const QByteArray& data);

    // Picture size in pixels: of the header read, or of the assigned bitmap; 0 x 0 when empty.
    int Width() const;
    int Height() const;
    bool IsEmpty() const { return Width() == 0 || Height() == 0; }

    // The picture as a 24-bit bitmap: decodes the held JPEG data in full at Scale (warnings about corrupt or
    // truncated data count as failures and throw EJpegError), or returns the assigned bitmap.
    TBitmap24 ToBitmap() const;
    // The same picture as 32-bit pixels (QImage::Format_RGB32), for Qt's image routines; decoded straight
    // into that form, which saves a conversion. A null QImage when empty; throws like ToBitmap.
    QImage ToRgb32Image() const;

    // The JPEG stream: the data as read, or the assigned bitmap compressed with the current settings.
    // An empty picture gives empty data. Throws EJpegError on encoder failure.
    QByteArray SaveToData() const;
    // Creates or truncates the file, then writes SaveToData() to it. Throws std::runtime_error naming the
    // file and the system's reason when it cannot be created or written; a file that was created but could
    // not be written whole is removed, so no partial picture stays.
    void SaveToFile(const QString& fileName) const;

  private:
    void Load(const QByteArray& data, const QString& source);

    QByteArray m_data;       // compressed stream, when read
    QString m_source;        // file it was read from, for messages
    TBitmap24 m_bitmap;      // picture to compress, when assigned
    bool m_hasData = false;  // m_data (possibly empty) is the picture's source
    int m_width = 0;
    int m_height = 0;
};
