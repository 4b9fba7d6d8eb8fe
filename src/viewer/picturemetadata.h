#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

// A photograph's own metadata (EXIF, IPTC, XMP: capture date, camera, GPS, captions)
// carried from the original file into a picture written from it, through libexiv2.
namespace PictureMetadata {

// Copies the metadata of the file `original` into `encoded`, the bytes of a picture
// about to be written, and returns the new bytes. The pixels are stored upright, so the
// orientation becomes "normal", and the stored pixel size becomes `size`. Bytes of a
// format without metadata, or an original without any, come back unchanged; so do
// they when the metadata cannot be copied (the picture itself matters more).
QByteArray carryOver(const QString &original, const QByteArray &encoded, const QSize &size);

} // namespace PictureMetadata
