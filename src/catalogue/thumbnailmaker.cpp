#include "thumbnailmaker.h"

#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QBuffer>

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
    QImage canvas(Width, Height, QImage::Format_RGB32);
    canvas.fill(Qt::white);
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

} // namespace

QSize pictureSize(const QString &picturePath)
{
    QImageReader reader(picturePath);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    return reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
}

Result make(const QString &picturePath, bool fast)
{
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
    return CatalogueFile::writeBytes(path, bytes);
}

} // namespace ThumbnailMaker
