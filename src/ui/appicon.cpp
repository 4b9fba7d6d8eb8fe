#include "appicon.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace {

const QString kIconResource = QStringLiteral(":/icons/org.vellaro.Vellaro.svg");

} // namespace

QList<int> vellaroAppIconSizes()
{
    return {16, 32, 48, 64, 128, 256};
}

QImage vellaroAppIconImage(int size)
{
    return vellaroRenderSvgIcon(kIconResource, size);
}

namespace {

QImage render(QSvgRenderer &renderer, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image;
}

} // namespace

QImage vellaroRenderSvgIcon(const QString &svgFile, int size)
{
    if (size < 1)
        return {};
    QSvgRenderer renderer(svgFile);
    if (!renderer.isValid())
        return {};
    return render(renderer, size);
}

QIcon vellaroAppIcon()
{
    // The drawing read once, painted at every size.
    QIcon icon;
    QSvgRenderer renderer(kIconResource);
    if (!renderer.isValid())
        return icon;
    for (int size : vellaroAppIconSizes())
        icon.addPixmap(QPixmap::fromImage(render(renderer, size)));
    return icon;
}
