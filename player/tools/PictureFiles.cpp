#include "player/tools/PictureFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace capture {

namespace {

QImage AsBgr(const QImage& picture)
{
    return picture.format() == QImage::Format_BGR888 ? picture : picture.convertToFormat(QImage::Format_BGR888);
}

void PutLe16(std::vector<uchar>& out, size_t at, quint16 v)
{
    out[at] = uchar(v);
    out[at + 1] = uchar(v >> 8);
}

void PutLe32(std::vector<uchar>& out, size_t at, quint32 v)
{
    for (int i = 0; i < 4; ++i) out[at + i] = uchar(v >> (8 * i));
}

// libjpeg calls error_exit on any error and must not return into it:
// we jump back to the writer, which fails instead of ending the program.
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

[[noreturn]] void OnJpegError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->back, 1);
}

void NoJpegMessage(j_common_ptr) {}

// The compression itself; everything it touches lives in the caller's frame,
// so a jump out of libjpeg leaves nothing to destroy here.
bool CompressJpeg(const QImage& bgr, FILE* file, int quality)
{
    jpeg_compress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = OnJpegError;
    error.manager.output_message = NoJpegMessage;
    if (setjmp(error.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = JDIMENSION(bgr.width());
    info.image_height = JDIMENSION(bgr.height());
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bgr.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

QString NumberedName(const QString& path)
{
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    const bool hasExtension = dot > slash;
    const QString base = hasExtension ? path.left(dot) : path;
    const QString ext = hasExtension ? path.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString name = base + QStringLiteral("(%1)").arg(n, 3, 10, QLatin1Char('0')) + ext;
        if (!QFileInfo::exists(name)) return name;
    }
}

QString SaveBaseName(const QString& entryPath)
{
    QString name = entryPath.mid(entryPath.lastIndexOf(QLatin1Char('/')) + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0) name.truncate(dot);
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control) c = QLatin1Char('_');
    return name.isEmpty() ? QStringLiteral("capture") : name;
}

bool WriteBmp(const QImage& picture, const QString& path)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return false;
    const QImage bgr = AsBgr(picture);
    const quint32 stride = (quint32(bgr.width()) * 3 + 3) & ~3u;
    const quint32 imageSize = stride * quint32(bgr.height());
    std::vector<uchar> header(54, 0);
    header[0] = 'B';
    header[1] = 'M';
    PutLe32(header, 2, 54 + imageSize);
    PutLe32(header, 10, 54);
    PutLe32(header, 14, 40);
    PutLe32(header, 18, quint32(bgr.width()));
    PutLe32(header, 22, quint32(bgr.height()));   // positive: bottom-up
    PutLe16(header, 26, 1);
    PutLe16(header, 28, 24);
    PutLe32(header, 34, imageSize);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(reinterpret_cast<const char*>(header.data()), qint64(header.size()));
    std::vector<char> row(stride, 0);
    for (int y = bgr.height() - 1; y >= 0; --y) {
        std::copy_n(reinterpret_cast<const char*>(bgr.constScanLine(y)), bgr.width() * 3, row.begin());
        file.write(row.data(), qint64(stride));
    }
    return file.commit();
}

bool WriteJpeg(const QImage& picture, const QString& path, int quality)
{
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0) return false;
    const QImage bgr = AsBgr(picture);
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file) return false;
    bool ok = CompressJpeg(bgr, file, std::clamp(quality, 1, 100));
    ok = (std::fflush(file) == 0) && ok;
    ok = (std::fclose(file) == 0) && ok;
    if (!ok) QFile::remove(path);
    return ok;
}

bool WritePictureFile(const QImage& picture, const QString& path, int quality)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("bmp")) return WriteBmp(picture, path);
    if (ext == QLatin1String("jpg") || ext == QLatin1String("jpeg")) return WriteJpeg(picture, path, quality);
    return false;
}

}  // namespace capture
