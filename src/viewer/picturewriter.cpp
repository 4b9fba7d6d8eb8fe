#include "picturewriter.h"

#include "picturemetadata.h"

#include "gifwriter.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <QtEndian>
#include <zlib.h>

namespace PictureWriter {

namespace {

void appendChunk(QByteArray &out, const char *type, const QByteArray &data)
{
    char length[4];
    qToBigEndian<quint32>(quint32(data.size()), length);
    out.append(length, 4);
    QByteArray body(type, 4);
    body += data;
    out += body;
    char crc[4];
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef *>(body.constData()), uInt(body.size()))),
                          crc);
    out.append(crc, 4);
}

} // namespace

QByteArray formatFor(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (QFileInfo(fileName).completeBaseName().isEmpty())
        return {};
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "JPEG";
    if (suffix == QLatin1String("bmp"))
        return "BMP";
    if (suffix == QLatin1String("png"))
        return "PNG";
    if (suffix == QLatin1String("gif"))
        return "GIF";
    if (suffix == QLatin1String("mng"))
        return "MNG";
    if (suffix == QLatin1String("xbm"))
        return "XBM";
    if (suffix == QLatin1String("xpm"))
        return "XPM";
    if (suffix == QLatin1String("pnm"))
        return "PNM";
    return {};
}

QByteArray encodeMng(const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (image.isNull() || !image.save(&buffer, "PNG") || png.size() < 8)
        return {};
    QByteArray out("\x8aMNG\r\n\x1a\n", 8);
    QByteArray mhdr(28, '\0');
    qToBigEndian<quint32>(quint32(image.width()), mhdr.data());
    qToBigEndian<quint32>(quint32(image.height()), mhdr.data() + 4);
    qToBigEndian<quint32>(1, mhdr.data() + 8);   // ticks per second
    qToBigEndian<quint32>(1, mhdr.data() + 16);  // nominal frame count
    qToBigEndian<quint32>(1, mhdr.data() + 24);  // simplicity: a valid, very simple MNG
    appendChunk(out, "MHDR", mhdr);
    out += png.mid(8);  // the PNG's chunks, IHDR to IEND
    appendChunk(out, "MEND", QByteArray());
    return out;
}

Result write(const QImage &image, const QString &fileName, int jpegQuality, const QString &metadataFrom)
{
    const QByteArray format = formatFor(fileName);
    if (format.isEmpty())
        return Result::UnknownFormat;
    QByteArray bytes;
    if (format == "GIF") {
        bytes = GifWriter::encode(image);
    } else if (format == "MNG") {
        bytes = encodeMng(image);
    } else {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format == "PNM" ? QByteArray("ppm") : format.toLower());
        if (format == "JPEG")
            writer.setQuality(jpegQuality);
        if (!writer.write(image))
            bytes.clear();
    }
    if (bytes.isEmpty())
        return Result::WriteFailed;
    if (!metadataFrom.isEmpty())
        bytes = PictureMetadata::carryOver(metadataFrom, bytes, image.size());
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return Result::WriteFailed;
    }
    return file.commit() ? Result::Written : Result::WriteFailed;
}

QString message(Result result, const QString &fileName)
{
    switch (result) {
    case Result::UnknownFormat:
        return QStringLiteral("Unable to save this photo.\nThe file name must end in .jpg, .bmp, .png, .gif, .mng, "
                              ".xbm, .xpm or .pnm :\n") + fileName;
    case Result::WriteFailed:
        return QStringLiteral("An error occur during the save... check your disk space...\nsupport@vellaro.org\n\n");
    case Result::Written:
        break;
    }
    return {};
}

} // namespace PictureWriter
