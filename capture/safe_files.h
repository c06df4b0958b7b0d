// File steps that follow nothing planted in a folder: reading only regular files, writing by way of a fresh
// file that is renamed into place, and subfolders that stay beneath the output folder.
#pragma once

#include <QByteArray>
#include <QString>

// The whole content of fileName, which must be a regular file (a link to one is followed) of at most
// maxBytes. A FIFO, a device, a folder or a file that is too large fails at once, never waited on. Throws
// std::runtime_error naming the file and the reason.
QByteArray ReadRegularFile(const QString& fileName, qint64 maxBytes);

// Writes data as fileName: into a fresh file beside it (made with O_EXCL and O_NOFOLLOW), renamed over the
// name when complete. Whatever was at the name (a file, a symbolic link, a FIFO, a device) is replaced, never
// followed, written through or waited on; a folder there fails. On failure no file is left and the name keeps
// what it had. Throws std::runtime_error: "Cannot create" or "Cannot write" the file, with the system's
// reason.
void WriteFileReplacing(const QString& fileName, const QByteArray& data);

// Why folder + "/" + picture would reach outside folder through a symbolic link among the picture's
// subfolders, or an empty text (also when a subfolder does not exist: writing then fails with its own
// reason).
QString PictureFolderEscapeReason(const QString& folder, const QString& picture);
