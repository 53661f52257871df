// Writing captured pictures: the names they are saved under and the two file
// formats. A picture is QImage::Format_BGR888 (other formats are converted).
// Any thread.
#pragma once

#include <QImage>
#include <QString>

namespace capture {

// "folder/name(NNN).ext" with the first number from 1 whose file does not
// exist ("movie(003).bmp" when 001 and 002 are there); the extension keeps
// its dot, a name without one gets none.
QString NumberedName(const QString& path);

// The name pictures of `entryPath` are saved under: its file name without
// the extension, with "/" and control characters made "_"; "capture" when
// nothing is left (a stream address ending in "/").
QString SaveBaseName(const QString& entryPath);

// An uncompressed 24-bit bitmap file: 54-byte header, rows bottom-up, each
// padded to 4 bytes. False when the picture is empty or the file cannot be
// written whole (a partial file is removed).
bool WriteBmp(const QImage& picture, const QString& path);
// A baseline JPEG through libjpeg at `quality` (1..100). False on any
// libjpeg error or an empty picture; a partial file is removed.
bool WriteJpeg(const QImage& picture, const QString& path, int quality);
// By the path's extension, compared lower-cased: "bmp", "jpg" or "jpeg";
// any other extension writes nothing and fails.
bool WritePictureFile(const QImage& picture, const QString& path, int quality);

}  // namespace capture
