#pragma once

#include <QImage>
#include <QString>

// Writes pictures in the format their file name's extension names (".jpg"/".jpeg",
// ".bmp", ".png", ".gif", ".mng", ".xbm", ".xpm", ".pnm"; case ignored). The file is
// written whole to a temporary file and renamed into place, so a failed write never
// destroys the picture that was there.
namespace PictureWriter {

enum class Result { Written, UnknownFormat, WriteFailed };

// The format for a file name: "JPEG", "BMP", "PNG", "GIF", "MNG", "XBM", "XPM", "PNM",
// or an empty string when the name has none of the extensions.
QByteArray formatFor(const QString &fileName);
// With `metadataFrom` (the original picture's file), its EXIF, IPTC and XMP go into the
// written file where the format holds them, the orientation set to normal.
Result write(const QImage &image, const QString &fileName, int jpegQuality = -1,
             const QString &metadataFrom = QString());
// The bytes of a single-frame MNG: the MNG signature, MHDR, the PNG's chunks, MEND.
QByteArray encodeMng(const QImage &image);
// What to tell the user when a write did not happen.
QString message(Result result, const QString &fileName);

} // namespace PictureWriter
