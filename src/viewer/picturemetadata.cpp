#include "picturemetadata.h"

#include "tagmetadata.h"
#include "viewerlog.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <exiv2/exiv2.hpp>

namespace PictureMetadata {

namespace {

void setIfPresent(Exiv2::ExifData &exif, const char *key, long value)
{
    const auto found = exif.findKey(Exiv2::ExifKey(key));
    if (found != exif.end())
        exif[key] = static_cast<uint32_t>(value);
}

// The packet with its orientation, in either of XMP's spellings, set to upright.
std::string uprightPacket(const std::string &packet)
{
    QString text = QString::fromStdString(packet);
    static const QRegularExpression orientation(
        QStringLiteral("(?<=tiff:Orientation=[\"'])\\d+(?=[\"'])|(?<=<tiff:Orientation>)\\s*\\d+\\s*(?=</tiff:Orientation>)"));
    text.replace(orientation, QStringLiteral("1"));
    return text.toStdString();
}

} // namespace

QByteArray carryOver(const QString &original, const QByteArray &encoded, const QSize &size)
{
    if (encoded.isEmpty() || !QFileInfo(original).isFile())
        return encoded;
    TagMetadata::initialize();
    try {
        const QByteArray path = QFile::encodeName(original);
        Exiv2::Image::AutoPtr source = Exiv2::ImageFactory::open(std::string(path.constData(), path.size()));
        source->readMetadata();
        Exiv2::ExifData exif = source->exifData();
        const Exiv2::IptcData iptc = source->iptcData();
        Exiv2::XmpData xmp = source->xmpData();
        // An XMP packet the toolkit cannot decode (some cameras and programs write
        // duplicate properties) is carried over as it is, never dropped.
        std::string packet = xmp.empty() ? source->xmpPacket() : std::string();
        if (exif.empty() && iptc.empty() && xmp.empty() && packet.empty())
            return encoded;

        Exiv2::Image::AutoPtr target =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte *>(encoded.constData()), long(encoded.size()));
        if (!target.get() || !target->good())
            return encoded;
        // Formats that cannot hold what the original carries (BMP, GIF) are left as they are.
        const bool exifOk = target->supportsMetadata(Exiv2::mdExif);
        const bool xmpOk = target->supportsMetadata(Exiv2::mdXmp);
        const bool iptcOk = target->supportsMetadata(Exiv2::mdIptc);
        if (!exifOk && !xmpOk && !iptcOk)
            return encoded;
        target->readMetadata();
        if (exifOk && !exif.empty()) {
            // The pixels are written upright, at their new size; a thumbnail of the old
            // pixels would show the picture as it was.
            exif["Exif.Image.Orientation"] = static_cast<uint16_t>(1);
            setIfPresent(exif, "Exif.Photo.PixelXDimension", size.width());
            setIfPresent(exif, "Exif.Photo.PixelYDimension", size.height());
            setIfPresent(exif, "Exif.Image.ImageWidth", size.width());
            setIfPresent(exif, "Exif.Image.ImageLength", size.height());
            Exiv2::ExifThumb(exif).erase();
            target->setExifData(exif);
        }
        if (iptcOk && !iptc.empty())
            target->setIptcData(iptc);
        if (xmpOk && !xmp.empty()) {
            if (xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation")) != xmp.end())
                xmp["Xmp.tiff.Orientation"] = "1";
            target->setXmpData(xmp);
        } else if (xmpOk && !packet.empty()) {
            // Set as text: setting it through the toolkit would decode it, and fail.
            target->xmpPacket() = uprightPacket(packet);
            target->writeXmpFromPacket(true);
        }
        target->writeMetadata();
        Exiv2::BasicIo &io = target->io();
        io.open();
        io.seek(0, Exiv2::BasicIo::beg);
        const long length = long(io.size());
        QByteArray out(length, Qt::Uninitialized);
        if (io.read(reinterpret_cast<Exiv2::byte *>(out.data()), length) != length)
            return encoded;
        io.close();
        return out;
    } catch (const Exiv2::AnyError &error) {
        qCWarning(lcViewer) << "the picture's metadata could not be carried over:" << error.what();
    }
    return encoded;
}

} // namespace PictureMetadata
