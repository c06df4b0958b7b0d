// ReadPictureFile: the one reader of picture files for the preview pane and the gallery.
#pragma once

#include <QImage>
#include <QString>

// Which pictures a caller shows: the preview pane shows captures, which are JPEG files; the gallery shows
// every format of its mask that has a decoder here.
enum class PictureFormats { Jpeg, Gallery };

// Reads a picture file with the reader its extension (case ignored) names, chosen before the file is opened:
// jpg and jpeg through the program's JPEG object; for the gallery also bmp, ico, png and gif through Qt's
// decoders. With transparent set, a bitmap's pixels of the colour of its bottom-left pixel become
// transparent. Gives Format_RGB32 for an opaque picture and Format_ARGB32_Premultiplied for one with alpha; a
// 0-byte JPEG file gives a null image without error. One bound for every format: a picture that would take
// more memory than Qt's image allocation limit fails, a JPEG before it is decoded. Throws std::runtime_error
// naming the file and the reason; an extension without reader fails with "Unbekannte Bilddateierweiterung
// (.ext)".
QImage ReadPictureFile(const QString& path, PictureFormats formats, bool transparent = false);
