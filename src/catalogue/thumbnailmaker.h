#pragma once

#include <QDateTime>
#include <QIODevice>
#include <QImage>
#include <QSize>
#include <QString>

// Makes catalogue thumbnails: 99 x 73 canvases holding the picture fitted with its
// aspect kept and centred. Pure image work, safe on any thread: a worker makes the
// QImage, the window's thread turns it into a pixmap.
namespace ThumbnailMaker {

constexpr int Width = 99;
constexpr int Height = 73;
constexpr int JpegQuality = 70;

struct Result
{
    QImage image;         // the 99 x 73 thumbnail; a blank canvas when `loaded` is false
    QSize pictureSize;    // the picture's upright size (EXIF orientation applied)
    QDateTime fileTime;   // last modification of the picture file
    bool loaded = false;  // false when the picture could not be read
};

// The picture's size scaled to fit 99 x 73 with its aspect kept (never empty).
QSize fittedSize(const QSize &pictureSize);

// The picture's upright size (EXIF orientation applied), read from its header only.
QSize pictureSize(const QString &picturePath);

// A blank 99 x 73 canvas (every one shares its pixels until drawn on).
QImage blank();

// Reads `picturePath` and makes its thumbnail. JPEG pictures are decoded at a reduced
// size in the DCT domain, then scaled smoothly to the fitted size. The fast variant
// takes a JPEG's embedded preview when it has a fitting one (see fromPreview());
// otherwise it draws through a plain scaling transform, and leaves pictures narrower
// than 100 and at most 72 high at their own size.
Result make(const QString &picturePath, bool fast);

// The thumbnail made from a JPEG's embedded EXIF preview, as cameras write them
// (usually 160 x 120): used when the preview is at least 99 x 73 and has the
// picture's own aspect (within a pixel), turned upright as the picture is. `loaded`
// is false, and nothing else set, when there is no such preview.
Result fromPreview(const QString &picturePath);

// The JPEG bytes of the EXIF thumbnail (IFD1) of a JPEG file whose first bytes are
// `head`, or nothing. Only segments wholly within `head` are read.
QByteArray exifThumbnail(QByteArrayView head);
// What the header of a JPEG file (open for reading) holds: the start of the file and
// its EXIF segment (the segments between left out), for exifThumbnail(). Empty where
// the file has none before its frame header.
struct JpegHeader
{
    QByteArray exif;
};
JpegHeader readJpegHeader(QIODevice &file);
// Previews larger than this (in pixels) are not taken for one.
constexpr qint64 MaxPreviewPixels = 1024 * 1024;

// Writes a thumbnail as a JPEG of quality 70, whole or not at all (the old file stays
// when the write fails), without flushing it to disk: one lost to a power cut is made
// again from its picture. Returns false on failure.
bool save(const QImage &thumbnail, const QString &path);

} // namespace ThumbnailMaker
