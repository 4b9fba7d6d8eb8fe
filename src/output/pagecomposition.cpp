#include "pagecomposition.h"

#include "albumrows.h"
#include "kivviewitem.h"

#include <QImageReader>
#include <QPainter>

namespace PageComposition {

int perPage(Layout layout)
{
    switch (layout) {
    case Layout::OnePerPage:
        return 1;
    case Layout::TwoPerPage:
        return 2;
    case Layout::FourPerPage:
        return 4;
    case Layout::MiniatureSheet:
        break;
    }
    return SheetColumns * SheetRows;
}

int pageCount(Layout layout, int pictures)
{
    if (pictures <= 0)
        return 0;
    const int per = perPage(layout);
    return (pictures + per - 1) / per;
}

QRect cell(Layout layout, const QSize &page, const QMargins &margins, int index)
{
    const int w = page.width(), h = page.height();
    const int l = margins.left(), t = margins.top(), r = margins.right(), b = margins.bottom();
    switch (layout) {
    case Layout::OnePerPage:
        return QRect(l, t, w - l - r, h - t - b);
    case Layout::TwoPerPage:
        return QRect(l, t + (index % 2 ? h / 2 - 2 : 0), w - l - r, h / 2 + 4 - t - b);
    case Layout::FourPerPage:
        // Down the left half, then down the right half.
        return QRect(l + (index / 2 % 2 ? w / 2 : 0), t + (index % 2 ? h / 2 - 2 : 0), w / 2 - l - r,
                     h / 2 + 4 - t - b);
    case Layout::MiniatureSheet:
        break;
    }
    const int onPage = index % (SheetColumns * SheetRows);
    return QRect(l + onPage % SheetColumns * (w / 10 + w / 100), t + onPage / SheetColumns * (h / 8), w / 10, h / 10);
}

QRect placement(const QSize &picture, const QRect &box, Dimension mode)
{
    switch (mode) {
    case Dimension::FullPage:
        return box;
    case Dimension::PreserveRatio:
        return QRect(box.topLeft(), picture.scaled(box.size(), Qt::KeepAspectRatio));
    case Dimension::NoChange:
        break;
    }
    return QRect(box.topLeft(), picture);
}

namespace {

// The picture's size as shown, its orientation taken into account.
QSize shownSize(QImageReader &reader)
{
    const QSize stored = reader.size();
    return reader.transformation() & QImageIOHandler::TransformationRotate90 ? stored.transposed() : stored;
}

// `image` as a picture of `size`, or a null picture.
Picture made(QImage image, const QSize &size, bool whole = true)
{
    if (image.isNull() || !size.isValid())
        return {};
    return {std::move(image), size, whole};
}

} // namespace

Picture load(const QString &path, const QSize &box, Dimension mode, qreal pixelsPerUnit)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = shownSize(reader);
    if (!size.isValid() || size.isEmpty() || box.isEmpty())
        return {};
    if (mode == Dimension::NoChange) {
        // Only the top-left part the box shows, pixel for pixel.
        const QRect shown(QPoint(0, 0), size.boundedTo(box));
        const bool turned = reader.transformation() != QImageIOHandler::TransformationNone;
        if (!turned && reader.supportsOption(QImageIOHandler::ClipRect) && shown.size() != size) {
            reader.setClipRect(shown);
            return made(reader.read(), size, false);
        }
        QImage image = reader.read();
        if (image.isNull() || image.size() == shown.size())
            return made(std::move(image), size);
        return made(image.copy(shown), size, false);
    }
    // Enough pixels for the place the picture takes (a stretched picture: enough for
    // both sides), never more than it has.
    const QSize place = placement(size, QRect(QPoint(0, 0), box), mode).size();
    const QSize wanted = size.scaled((QSizeF(place) * pixelsPerUnit).toSize().expandedTo(QSize(1, 1)),
                                     Qt::KeepAspectRatioByExpanding);
    QSize read = wanted.width() < size.width() ? wanted : size;
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (read != size && reader.supportsOption(QImageIOHandler::ScaledSize))
        reader.setScaledSize(turned ? read.transposed() : read);
    QImage image = reader.read();
    if (!image.isNull() && image.width() > read.width())
        image = image.scaled(read, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return made(std::move(image), size);
}

Picture loadPreview(const QString &path, int longest)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = shownSize(reader);
    if (!size.isValid() || size.isEmpty())
        return {};
    return load(path, size.scaled(longest, longest, Qt::KeepAspectRatio), Dimension::PreserveRatio, 1.0);
}

void paint(QPainter &painter, const QSize &page, Layout layout, Dimension mode, const QMargins &margins,
           const QList<Picture> &pictures)
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), page), Qt::white);
    // The miniature sheet is drawn without smoothing, the other layouts with it.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, layout != Layout::MiniatureSheet);
    const int cells = qMin<qsizetype>(pictures.size(), perPage(layout));
    for (int i = 0; i < cells; ++i) {
        const Picture &picture = pictures.at(i);
        if (picture.isNull())
            continue;
        const QRect box = cell(layout, page, margins, i);
        const QRect target = placement(picture.size, box, mode);
        painter.save();
        painter.setClipRect(box);
        if (picture.whole)
            painter.drawImage(target, picture.image);
        else
            painter.drawImage(target.topLeft(), picture.image);
        painter.restore();
    }
    painter.restore();
}

QStringList picturePaths(const AlbumRows &rows)
{
    QStringList paths;
    for (int i = 0; i < rows.count(); ++i) {
        const QString folder = rows.fieldText(i, AlbumRows::Folder);
        const QString file = rows.fieldText(i, AlbumRows::FileName);
        const QString path = folder.endsWith(QLatin1Char('/')) ? folder + file : folder + QLatin1Char('/') + file;
        if (KivViewItem::kindOfFile(path) == QLatin1String("Photo"))
            paths << path;
    }
    return paths;
}

} // namespace PageComposition
