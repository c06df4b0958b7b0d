// File steps that follow nothing planted in a folder: reading only regular files, writing by way of a fresh
// file that is renamed into place, and subfolders that stay beneath the output folder.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The whole content of fileName, which must be a regular file (a link to one is followed) of at most
// maxBytes. A FIFO, a device, a folder or a file that is too large fails at once, never waited on. Throws
// std::runtime_error naming the file and the reason.
QByteArray ReadRegularFile(const QString& fileName, qint64 maxBytes);

// Writes data as fileName: into a fresh file beside it (made with O_EXCL and O_NOFOLLOW), renamed over the
// name when complete. A file or a symbolic link at the name is replaced, never followed or written through;
// a FIFO, a device or a socket there is refused ("not a regular file") and stays what it was; a folder
// there fails. On failure no file is left and the name keeps what it had. Throws std::runtime_error:
// "Cannot create" or "Cannot write" the file, with the reason.
void WriteFileReplacing(const QString& fileName, const QByteArray& data);

// Opens `file` (its fileName()) for writing as a regular file, made when missing (a link to one is
// followed): emptied unless `append`, with `append` open for reading too. A FIFO, a device or a socket at the
// name is refused without being written to or waited on, a folder fails. Throws std::runtime_error: "Cannot
// write" the file, with the reason.
void OpenRegularFileForWriting(QFile& file, bool append);

// The reason given for a FIFO, device or socket where a file is to be written.
QString NotARegularFileText();

// Why folder + "/" + picture would reach outside folder through a symbolic link among the picture's
// subfolders, or an empty text (also when a subfolder does not exist: writing then fails with its own
// reason).
QString PictureFolderEscapeReason(const QString& folder, const QString& picture);
