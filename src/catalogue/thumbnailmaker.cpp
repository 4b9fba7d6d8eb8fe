#include "thumbnailmaker.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QBuffer>
#include <QTransform>

#include <mutex>

#include "cataloguefile.h"

namespace ThumbnailMaker {

QSize fittedSize(const QSize &pictureSize)
{
    if (pictureSize.isEmpty())
        return {Width, Height};
    QSize fitted = pictureSize.scaled(Width, Height, Qt::KeepAspectRatio);
    return fitted.expandedTo(QSize(1, 1));
}

QImage blank()
{
    // One canvas shared by every copy until one is drawn on: the thumbnails of
    // thousands of missing pictures then cost one.
    static const QImage canvas = [] {
        QImage white(Width, Height, QImage::Format_RGB32);
        white.fill(Qt::white);
        return white;
    }();
    return canvas;
}

namespace {

// The largest libjpeg reduction (1/1, 1/2, 1/4, 1/8) whose output still covers the
// wanted size, as the size the decoder produces for it (it rounds up).
QSize dctReducedSize(const QSize &stored, const QSize &wanted)
{
    QSize best = stored;
    for (int denominator : {2, 4, 8}) {
        const QSize reduced((stored.width() + denominator - 1) / denominator,
                            (stored.height() + denominator - 1) / denominator);
        if (reduced.width() < wanted.width() || reduced.height() < wanted.height())
            break;
        best = reduced;
    }
    return best;
}

QImage drawCentred(const QImage &picture, const QSize &size, bool smooth)
{
    QImage canvas = blank();
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    const QRect target((Width - size.width()) / 2, (Height - size.height()) / 2, size.width(), size.height());
    painter.drawImage(target, picture);
    return canvas;
}

// Turns a picture as an image reader would for `transformation`.
QImage transformed(QImage image, QImageIOHandler::Transformations transformation)
{
    if (transformation == QImageIOHandler::TransformationNone)
        return image;
    if (transformation == QImageIOHandler::TransformationRotate270)
        return image.transformed(QTransform().rotate(270));
    image = std::move(image).mirrored(transformation & QImageIOHandler::TransformationMirror,
                                      transformation & QImageIOHandler::TransformationFlip);
    if (transformation & QImageIOHandler::TransformationRotate90)
        image = image.transformed(QTransform().rotate(90));
    return image;
}

// Reads the TIFF structure of an EXIF segment, every offset checked against its size.
class Tiff
{
public:
    explicit Tiff(QByteArrayView data)
        : m_data(data)
    {
    }
    bool open()
    {
        if (m_data.size() < 8)
            return false;
        if (m_data.first(4) == QByteArrayView("II*\0", 4))
            m_motorola = false;
        else if (m_data.first(4) == QByteArrayView("MM\0*", 4))
            m_motorola = true;
        else
            return false;
        return true;
    }
    bool u16(qint64 at, quint32 *value) const
    {
        if (at < 0 || at + 2 > m_data.size())
            return false;
        const auto *p = reinterpret_cast<const uchar *>(m_data.data() + at);
        *value = m_motorola ? (quint32(p[0]) << 8 | p[1]) : (quint32(p[1]) << 8 | p[0]);
        return true;
    }
    bool u32(qint64 at, quint32 *value) const
    {
        quint32 a = 0, b = 0;
        if (!u16(at, &a) || !u16(at + 2, &b))
            return false;
        *value = m_motorola ? (a << 16 | b) : (b << 16 | a);
        return true;
    }
    QByteArrayView slice(qint64 at, qint64 size) const
    {
        if (at < 0 || size <= 0 || at > m_data.size() || size > m_data.size() - at)
            return {};
        return m_data.sliced(at, size);
    }

private:
    QByteArrayView m_data;
    bool m_motorola = false;
};

} // namespace

QByteArray exifThumbnail(QByteArrayView head)
{
    const auto byte = [&head](qsizetype at) { return uchar(head.at(at)); };
    if (head.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8)
        return {};
    qsizetype pos = 2;
    while (pos + 4 <= head.size()) {
        if (byte(pos) != 0xFF)
            return {};
        const uchar marker = byte(pos + 1);
        if (marker == 0xFF) {  // a fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)  // the picture's data: no metadata after
            return {};
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a segment
            pos += 2;
            continue;
        }
        const qsizetype length = qsizetype(byte(pos + 2)) << 8 | byte(pos + 3);
        if (length < 2)
            return {};
        const qsizetype start = pos + 4;
        const qsizetype end = pos + 2 + length;
        if (end > head.size())
            return {};
        if (marker == 0xE1 && end - start > 6 && head.sliced(start, 6) == QByteArrayView("Exif\0\0", 6)) {
            Tiff tiff(head.sliced(start + 6, end - start - 6));
            quint32 ifd0 = 0, entries = 0, ifd1 = 0;
            if (!tiff.open() || !tiff.u32(4, &ifd0) || !tiff.u16(ifd0, &entries))
                return {};
            if (!tiff.u32(qint64(ifd0) + 2 + 12 * qint64(entries), &ifd1) || ifd1 == 0 || !tiff.u16(ifd1, &entries))
                return {};
            quint32 offset = 0, size = 0;
            for (quint32 e = 0; e < entries; ++e) {
                const qint64 entry = qint64(ifd1) + 2 + 12 * qint64(e);
                quint32 tag = 0, type = 0, value = 0;
                if (!tiff.u16(entry, &tag) || !tiff.u16(entry + 2, &type))
                    return {};
                // The two values are LONGs by the standard; some writers use SHORTs.
                const bool read = type == 4 ? tiff.u32(entry + 8, &value) : type == 3 && tiff.u16(entry + 8, &value);
                if (tag == 0x0201 && read)
                    offset = value;
                else if (tag == 0x0202 && read)
                    size = value;
            }
            return tiff.slice(offset, size).toByteArray();
        }
        pos = end;
    }
    return {};
}

JpegHeader readJpegHeader(QIODevice &file)
{
    JpegHeader header;
    if (file.read(2) != QByteArrayView("\xFF\xD8", 2))
        return header;
    // Segment by segment up to the frame header; only the EXIF one is read (a large XMP
    // packet or an ICC profile is skipped).
    for (int segment = 0; segment < 1024; ++segment) {
        const QByteArray marker = file.read(4);
        if (marker.size() < 4 || uchar(marker.at(0)) != 0xFF)
            return header;
        const uchar kind = uchar(marker.at(1));
        const qint64 length = qint64(uchar(marker.at(2))) << 8 | uchar(marker.at(3));
        // The picture's data, a marker without a segment, or a fill byte: no header
        // is looked for past these, which no writer puts before the frame header.
        if (kind == 0xDA || kind == 0xD9 || kind == 0xFF || kind == 0x01 || (kind >= 0xD0 && kind <= 0xD7)
            || length < 2)
            return header;
        // The frame header ends the metadata a writer puts first.
        if (kind >= 0xC0 && kind <= 0xCF && kind != 0xC4 && kind != 0xC8 && kind != 0xCC)
            return header;
        if (kind == 0xE1 && header.exif.isEmpty()) {
            const QByteArray payload = file.read(length - 2);
            if (payload.size() != length - 2)
                return header;
            if (payload.startsWith(QByteArrayView("Exif\0\0", 6)))
                header.exif = QByteArray("\xFF\xD8", 2) + marker + payload;
        } else if (!file.seek(file.pos() + length - 2)) {
            return header;
        }
    }
    return header;
}

// A JPEG stream ends with its end-of-image marker (FF D9; in the coded data an FF is
// always followed by 00 or a restart marker), some writers padding the space they gave
// it with zeros or FF bytes. A preview cut short lacks it, and would decode with its
// lower part grey.
static bool isWholeJpeg(QByteArrayView jpeg)
{
    qsizetype end = jpeg.size();
    while (end > 0 && (jpeg.at(end - 1) == '\0' || uchar(jpeg.at(end - 1)) == 0xFF))
        --end;
    return end >= 4 && uchar(jpeg.at(end - 2)) == 0xFF && uchar(jpeg.at(end - 1)) == 0xD9;
}

// What the JPEG decoder finds wrong in the data it decodes (a preview whose coded data
// is damaged decodes as blocks of noise, whole as it looks) it tells as a warning of
// its category, in the thread that decodes. Counted there while a preview is read.
static thread_local int *t_decoderWarnings = nullptr;
static QtMessageHandler s_otherHandler = nullptr;

static void countDecoderWarnings(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (t_decoderWarnings && type == QtWarningMsg && context.category
        && qstrcmp(context.category, "qt.gui.imageio.jpeg") == 0) {
        ++*t_decoderWarnings;
        return;
    }
    if (s_otherHandler)
        s_otherHandler(type, context, message);
}

static QImage readCountingWarnings(QImageReader &reader, int *warnings)
{
    static std::once_flag installed;
    std::call_once(installed, [] { s_otherHandler = qInstallMessageHandler(countDecoderWarnings); });
    t_decoderWarnings = warnings;
    QImage image = reader.read();
    t_decoderWarnings = nullptr;
    return image;
}

Result fromPreview(const QString &picturePath)
{
    Result result;
    QFile file(picturePath);
    if (!QFileInfo(picturePath).isFile() || !file.open(QIODevice::ReadOnly))
        return result;
    const JpegHeader header = readJpegHeader(file);
    file.close();
    const QByteArray jpeg = exifThumbnail(header.exif);
    if (jpeg.isEmpty() || !isWholeJpeg(jpeg))
        return result;
    // The picture's size and turn as the image reader gives them when the picture is
    // shown (and pictureSize() tells): a damaged or unusual orientation tag is read
    // its way, never another.
    QImageReader pictureReader(picturePath);
    pictureReader.setAutoTransform(true);
    const QSize stored = pictureReader.size();
    const QImageIOHandler::Transformations turn = pictureReader.transformation();
    if (stored.isEmpty())
        return result;
    // A preview is small: one claiming to be large is not decoded.
    QBuffer buffer;
    buffer.setData(jpeg);
    QImageReader previewReader(&buffer, "jpeg");
    const QSize previewSize = previewReader.size();
    if (previewSize.isEmpty() || qint64(previewSize.width()) * previewSize.height() > MaxPreviewPixels)
        return result;
    int damaged = 0;
    QImage preview = readCountingWarnings(previewReader, &damaged);
    if (damaged > 0)
        return result;
    // Within a pixel of the picture's aspect: a 16:9 picture's preview padded to 4:3
    // with black bands, or a preview cropped, is not its picture.
    const qint64 skew = qint64(preview.width()) * stored.height() - qint64(preview.height()) * stored.width();
    if (preview.width() < Width || preview.height() < Height || qAbs(skew) > (stored.width() + stored.height()) / 2)
        return result;
    const QSize upright = turn & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
    // A picture smaller than the canvas is drawn at its own size from itself.
    if (upright.width() < 100 && upright.height() <= 72)
        return result;
    preview = transformed(std::move(preview), turn);
    const QSize size = fittedSize(upright);
    result.image = drawCentred(preview.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), size, false);
    result.pictureSize = upright;
    result.fileTime = QFileInfo(picturePath).lastModified();
    result.loaded = true;
    return result;
}

QSize pictureSize(const QString &picturePath)
{
    QImageReader reader(picturePath);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    return reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
}

Result make(const QString &picturePath, bool fast)
{
    if (fast) {
        Result preview = fromPreview(picturePath);
        if (preview.loaded)
            return preview;
    }
    Result result;
    result.image = blank();
    // A FIFO or a device named like a picture would never end.
    if (!QFileInfo(picturePath).isFile())
        return result;

    QImageReader reader(picturePath);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    const bool quarterTurn = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize upright = quarterTurn ? stored.transposed() : stored;

    const QSize fitted = fittedSize(upright);
    if (stored.isValid() && reader.format() == "jpeg") {
        const QSize fittedStored = quarterTurn ? fitted.transposed() : fitted;
        const QSize reduced = dctReducedSize(stored, fittedStored);
        if (reduced != stored)
            reader.setScaledSize(reduced);
    }

    QImage picture = reader.read();
    if (picture.isNull())
        return result;
    // A picture of a few colours (a colour table, one bit a pixel) is scaled in its own
    // format, which dithers it to its table's colours: it is scaled in full colour.
    if (picture.colorCount() > 0)
        picture = picture.convertToFormat(picture.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    result.loaded = true;
    result.pictureSize = upright.isValid() ? upright : picture.size();

    QFileInfo info(picturePath);
    if (info.exists())
        result.fileTime = info.lastModified();

    if (fast) {
        const QSize own = picture.size();
        const bool keepOwnSize = result.pictureSize.width() < 100 && result.pictureSize.height() <= 72;
        result.image = drawCentred(picture, keepOwnSize ? own : fittedSize(result.pictureSize), false);
    } else {
        const QSize size = fittedSize(result.pictureSize);
        const QImage scaled = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        result.image = drawCentred(scaled, size, false);
    }
    return result;
}

bool save(const QImage &thumbnail, const QString &path)
{
    // Encoded in memory first: the file is then written whole or not at all.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(JpegQuality);
    if (!writer.write(thumbnail))
        return false;
    // A thumbnail is remade when it cannot be read: it is not flushed to disk.
    return CatalogueFile::writeCacheBytes(path, bytes);
}

} // namespace ThumbnailMaker
