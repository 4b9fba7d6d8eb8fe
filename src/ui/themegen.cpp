// Build-time generator of the program's theme. It lays out
//   <out>/blue/Pixmap, <out>/blue/Frame, <out>/blue/UserBadge
// with every picture the program asks for by name: the Oxygen icons copied unchanged
// (they stay separate, replaceable LGPL files) and the pictures no icon theme has,
// painted here.
//   themegen OXYGEN_ICON_DIR OUTPUT_DIR
#include "gifwriter.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>
#include <cstdio>
#include <functional>

namespace {

QString g_oxygen;
QString g_out;
int g_failures = 0;

const QColor kDarkBlue(0x1f, 0x3a, 0x6e);
const QColor kSelectBlue(0x1f, 0x4f, 0xa8);

QImage canvas(int w, int h, const QColor &fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

QImage oxygen(const QString &relative)
{
    QImage image(g_oxygen + QLatin1Char('/') + relative);
    if (image.isNull()) {
        std::fprintf(stderr, "themegen: missing Oxygen icon %s\n", qPrintable(relative));
        ++g_failures;
        return canvas(32, 32);
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void save(const QString &folder, const QString &name, const QImage &image)
{
    const QString path = g_out + QStringLiteral("/blue/") + folder + QLatin1Char('/') + name;
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "themegen: cannot write %s\n", qPrintable(path));
        ++g_failures;
    }
}

void copyIcon(const QString &folder, const QString &name, const QString &relative)
{
    const QString to = g_out + QStringLiteral("/blue/") + folder + QLatin1Char('/') + name;
    QFile::remove(to);
    if (!QFile::copy(g_oxygen + QLatin1Char('/') + relative, to)) {
        std::fprintf(stderr, "themegen: cannot copy %s\n", qPrintable(relative));
        ++g_failures;
    }
}

QFont font(int pixelSize, bool bold = true, const QString &family = QStringLiteral("DejaVu Sans"))
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    return f;
}

// ---------------------------------------------------------------- small shapes

QImage emblem(const QString &base, const QString &mark)
{
    QImage image = oxygen(base);
    const QImage small = oxygen(mark);
    QPainter p(&image);
    p.drawImage(image.width() - small.width(), image.height() - small.height(), small);
    return image;
}

QImage rotated(const QString &relative, qreal degrees)
{
    const QImage source = oxygen(relative);
    QImage image = canvas(source.width(), source.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(source.width() / 2.0, source.height() / 2.0);
    p.rotate(degrees);
    p.drawImage(QPointF(-source.width() / 2.0, -source.height() / 2.0), source);
    return image;
}

QImage highlight(const QString &relative)
{
    const QImage source = oxygen(relative);
    QImage image = canvas(source.width(), source.height());
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kSelectBlue, 1.5));
    p.setBrush(QColor(120, 170, 240, 110));
    p.drawRoundedRect(QRectF(0.75, 0.75, source.width() - 1.5, source.height() - 1.5), 5, 5);
    p.drawImage(0, 0, source);
    return image;
}

QImage heart(int w, int h)
{
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal cx = w / 2.0;
    path.moveTo(cx, h - 1.0);
    path.cubicTo(w * 0.05, h * 0.62, -w * 0.02, h * 0.18, w * 0.27, h * 0.08);
    path.cubicTo(w * 0.40, h * 0.03, cx - 0.5, h * 0.18, cx, h * 0.30);
    path.cubicTo(cx + 0.5, h * 0.18, w * 0.60, h * 0.03, w * 0.73, h * 0.08);
    path.cubicTo(w * 1.02, h * 0.18, w * 0.95, h * 0.62, cx, h - 1.0);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0, QColor(255, 110, 120));
    fill.setColorAt(1, QColor(190, 10, 40));
    p.setPen(QPen(QColor(120, 0, 20), 0.8));
    p.setBrush(fill);
    p.drawPath(path);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 150));
    p.drawEllipse(QRectF(w * 0.20, h * 0.17, w * 0.18, h * 0.16));
    return image;
}

void glossyDisc(QPainter &p, const QRectF &r, const QColor &colour)
{
    QRadialGradient body(r.center().x() - r.width() * 0.15, r.center().y() - r.height() * 0.2, r.width() * 0.75);
    body.setColorAt(0, colour.lighter(150));
    body.setColorAt(0.6, colour);
    body.setColorAt(1, colour.darker(150));
    p.setPen(QPen(colour.darker(190), 1));
    p.setBrush(body);
    p.drawEllipse(r);
    QLinearGradient shine(0, r.top(), 0, r.center().y());
    shine.setColorAt(0, QColor(255, 255, 255, 190));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(r.left() + r.width() * 0.18, r.top() + 1.5, r.width() * 0.64, r.height() * 0.45));
}

QImage badge(const QString &kind)
{
    QImage image = canvas(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(1.5, 1.5, 21, 21);
    if (kind == QLatin1String("none")) {
        QPen pen(QColor(110, 120, 135), 1.6, Qt::DashLine);
        p.setPen(pen);
        p.setBrush(QColor(255, 255, 255, 120));
        p.drawEllipse(disc.adjusted(1, 1, -1, -1));
        return image;
    }
    const QHash<QString, QColor> colours{{"special", QColor(235, 170, 20)},
                                          {"ok", QColor(40, 160, 60)},
                                          {"important", QColor(225, 120, 20)},
                                          {"urgent", QColor(200, 30, 40)},
                                          {"no", QColor(110, 110, 120)}};
    glossyDisc(p, disc, colours.value(kind));
    p.setPen(QPen(Qt::white, 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    if (kind == QLatin1String("special")) {
        QPolygonF star;
        for (int i = 0; i < 10; ++i) {
            const qreal radius = i % 2 ? 3.2 : 7.5;
            const qreal angle = -M_PI / 2 + i * M_PI / 5;
            star << QPointF(12 + radius * std::cos(angle), 12.5 + radius * std::sin(angle));
        }
        p.setPen(QPen(Qt::white, 0.8));
        p.drawPolygon(star);
    } else if (kind == QLatin1String("ok")) {
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF{QPointF(7, 12.5), QPointF(10.5, 16), QPointF(17, 8)});
    } else if (kind == QLatin1String("important")) {
        p.drawLine(QPointF(12, 6.5), QPointF(12, 13.5));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(12, 17.5), 1.6, 1.6);
    } else if (kind == QLatin1String("urgent")) {
        p.setPen(QPen(Qt::white, 0.6));
        p.drawPolygon(QPolygonF{QPointF(13.5, 4.5), QPointF(7.5, 13), QPointF(11.5, 13), QPointF(10, 19.5),
                                QPointF(16.5, 10.5), QPointF(12.5, 10.5)});
    } else {
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(8, 8), QPointF(16, 16));
        p.drawLine(QPointF(16, 8), QPointF(8, 16));
    }
    return image;
}

QImage tag(const QString &icon)
{
    QImage image = canvas(32, 22);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.moveTo(1.5, 11);
    shape.lineTo(8, 2.5);
    shape.lineTo(29, 2.5);
    shape.quadTo(30.5, 2.5, 30.5, 4);
    shape.lineTo(30.5, 18);
    shape.quadTo(30.5, 19.5, 29, 19.5);
    shape.lineTo(8, 19.5);
    shape.closeSubpath();
    QLinearGradient fill(0, 2, 0, 20);
    fill.setColorAt(0, QColor(255, 246, 200));
    fill.setColorAt(1, QColor(236, 206, 120));
    p.setPen(QPen(QColor(150, 110, 30), 1));
    p.setBrush(fill);
    p.drawPath(shape);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(7.5, 11), 1.8, 1.8);
    p.drawImage(12, 3, oxygen(icon));
    return image;
}

QImage roundButton()
{
    QImage image = canvas(56, 56);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawEllipse(QRectF(3, 4, 51, 51));
    QRadialGradient body(22, 18, 40);
    body.setColorAt(0, QColor(255, 255, 255));
    body.setColorAt(0.7, QColor(214, 224, 238));
    body.setColorAt(1, QColor(160, 178, 205));
    p.setPen(QPen(QColor(110, 130, 165), 1.2));
    p.setBrush(body);
    p.drawEllipse(QRectF(1.5, 1.5, 51, 51));
    QLinearGradient shine(0, 3, 0, 26);
    shine.setColorAt(0, QColor(255, 255, 255, 220));
    shine.setColorAt(1, QColor(255, 255, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(shine);
    p.drawEllipse(QRectF(10, 3, 34, 22));
    return image;
}

QImage stageTile(int w, const QString &icon)
{
    QImage image = canvas(w, 69);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, 69);
    fill.setColorAt(0, QColor(250, 252, 255));
    fill.setColorAt(1, QColor(205, 220, 242));
    p.setPen(QPen(QColor(120, 150, 200), 1));
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, 68), 7, 7);
    p.drawImage((w - 48) / 2, 9, oxygen(icon));
    // A tick in the corner: the stage is done.
    glossyDisc(p, QRectF(w - 22, 47, 18, 18), QColor(40, 160, 60));
    p.setPen(QPen(Qt::white, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF{QPointF(w - 17.5, 56), QPointF(w - 14.5, 59), QPointF(w - 9, 52)});
    return image;
}

// A small stack of prints, the product's logo.
void logo(QPainter &p, const QPointF &at, qreal scale)
{
    p.save();
    p.translate(at);
    p.scale(scale, scale);
    const QColor skies[3] = {QColor(90, 150, 220), QColor(240, 160, 60), QColor(70, 170, 110)};
    for (int i = 0; i < 3; ++i) {
        p.save();
        p.rotate(-14 + i * 12);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 60));
        p.drawRect(QRectF(-26, -20, 56, 44));
        p.setPen(QPen(QColor(150, 150, 150), 0.8));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(-28, -22, 56, 44));
        QLinearGradient sky(0, -18, 0, 14);
        sky.setColorAt(0, skies[i].lighter(140));
        sky.setColorAt(1, skies[i]);
        p.setPen(Qt::NoPen);
        p.setBrush(sky);
        p.drawRect(QRectF(-24, -18, 48, 32));
        p.setBrush(skies[i].darker(160));
        p.drawPolygon(QPolygonF{QPointF(-24, 14), QPointF(-8, -2), QPointF(4, 8), QPointF(12, 0), QPointF(24, 14)});
        p.setBrush(QColor(255, 240, 180));
        p.drawEllipse(QPointF(12, -9), 4, 4);
        p.restore();
    }
    p.restore();
}

QImage splashPicture()
{
    QImage image = canvas(368, 222, Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QLinearGradient back(0, 0, 0, 222);
    back.setColorAt(0, QColor(34, 70, 140));
    back.setColorAt(0.55, QColor(62, 112, 190));
    back.setColorAt(1, QColor(190, 210, 238));
    p.fillRect(image.rect(), back);
    // Soft light across the top.
    QRadialGradient glow(250, -40, 260);
    glow.setColorAt(0, QColor(255, 255, 255, 90));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);
    logo(p, QPointF(62, 62), 1.05);
    p.setPen(Qt::white);
    p.setFont(font(42));
    p.drawText(QRectF(118, 22, 240, 56), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Vellaro"));
    p.setFont(font(13, false));
    p.setPen(QColor(225, 235, 250));
    p.drawText(QRectF(120, 78, 240, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("your photographs, organised"));
    p.setFont(font(10, false));
    p.drawText(QRectF(120, 98, 240, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("version 1.0"));
    // The four places the stage pictures appear in.
    const int xs[4] = {22, 105, 187, 270};
    const int ws[4] = {77, 76, 77, 76};
    for (int i = 0; i < 4; ++i) {
        p.setPen(QPen(QColor(255, 255, 255, 140), 1, Qt::DashLine));
        p.setBrush(QColor(255, 255, 255, 50));
        p.drawRoundedRect(QRectF(xs[i] + 0.5, 139.5, ws[i] - 1, 68), 7, 7);
    }
    return image;
}

// ---------------------------------------------------------------- frames

enum class FrameStyle { Photo, Film, Slide, Rectangle };

// 117 x 118: the title is centred across the whole width near the top, and the 99 x 73
// thumbnail sits with its top-left corner at (9, 20).
QImage frame(FrameStyle style, bool selected)
{
    const int w = 117, h = 118;
    const QRectF thumb(9, 20, 99, 73);
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (style) {
    case FrameStyle::Photo: {
        p.setPen(Qt::NoPen);
        for (int i = 4; i >= 1; --i) {
            p.setBrush(QColor(0, 0, 0, 14 * (5 - i)));
            p.drawRoundedRect(QRectF(2 + i, 1 + i, 109, 110), 3, 3);
        }
        p.setPen(QPen(QColor(200, 200, 200), 1));
        p.setBrush(QColor(255, 255, 255));
        p.drawRect(QRectF(2.5, 0.5, 109, 110));
        p.setPen(QPen(QColor(215, 215, 215), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(thumb.adjusted(-1.5, -1.5, 1.5, 1.5));
        break;
    }
    case FrameStyle::Film: {
        p.setPen(QPen(QColor(190, 190, 185), 1));
        p.setBrush(QColor(246, 246, 242));
        p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, 112), 4, 4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(38, 34, 32));
        p.drawRect(QRectF(1, 14, w - 2, 86));
        p.setBrush(QColor(235, 232, 222));
        for (int x = 4; x < w - 6; x += 10) {
            p.drawRoundedRect(QRectF(x, 15.5, 6, 3.5), 1, 1);
            p.drawRoundedRect(QRectF(x, 95, 6, 3.5), 1, 1);
        }
        break;
    }
    case FrameStyle::Slide: {
        QLinearGradient mount(0, 0, w, h);
        mount.setColorAt(0, QColor(250, 244, 226));
        mount.setColorAt(1, QColor(228, 216, 186));
        p.setPen(QPen(QColor(176, 160, 120), 1));
        p.setBrush(mount);
        p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, 112), 9, 9);
        // Bevelled window: dark on the top and left, light on the bottom and right.
        const QRectF window = thumb.adjusted(-3, -3, 3, 3);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(150, 132, 96));
        p.drawPolygon(QPolygonF{window.topLeft(), window.topRight(), thumb.topRight(), thumb.topLeft()});
        p.drawPolygon(QPolygonF{window.topLeft(), thumb.topLeft(), thumb.bottomLeft(), window.bottomLeft()});
        p.setBrush(QColor(255, 252, 240));
        p.drawPolygon(QPolygonF{window.bottomLeft(), thumb.bottomLeft(), thumb.bottomRight(), window.bottomRight()});
        p.drawPolygon(QPolygonF{window.topRight(), window.bottomRight(), thumb.bottomRight(), thumb.topRight()});
        break;
    }
    case FrameStyle::Rectangle: {
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QColor(120, 130, 145));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(8, 19, 100, 74));
        break;
    }
    }
    if (selected) {
        p.setRenderHint(QPainter::Antialiasing);
        QImage glow = canvas(w, h);
        {
            QPainter g(&glow);
            g.setRenderHint(QPainter::Antialiasing);
            for (int i = 0; i < 4; ++i) {
                g.setPen(QPen(QColor(80, 140, 235, 40 - i * 8), 2));
                g.setBrush(Qt::NoBrush);
                g.drawRoundedRect(QRectF(1 + i * 0.5, 1 + i * 0.5, w - 2 - i, h - 2 - i), 6, 6);
            }
        }
        p.drawImage(0, 0, glow);
        p.setPen(QPen(kSelectBlue, 2));
        p.setBrush(QColor(170, 205, 250, 110));
        p.drawRoundedRect(QRectF(2, 2, w - 4, h - 4), 6, 6);
    }
    return image;
}

// ---------------------------------------------------------------- strips and panels

QImage bar(int w, int h, const QColor &top, const QColor &bottom)
{
    QImage image = canvas(w, h);
    QPainter p(&image);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0, top.lighter(112));
    fill.setColorAt(0.48, top);
    fill.setColorAt(0.52, bottom.lighter(104));
    fill.setColorAt(1, bottom);
    p.fillRect(image.rect(), fill);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawLine(0, 0, w, 0);
    p.setPen(QColor(0, 0, 0, 50));
    p.drawLine(0, h - 1, w, h - 1);
    return image;
}

QImage slotStrip(int w, int h, const QRect &slot, const QColor &back)
{
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, w, 0);
    fill.setColorAt(0, back.lighter(108));
    fill.setColorAt(1, back.darker(104));
    p.fillRect(image.rect(), fill);
    p.setPen(QPen(back.darker(125), 1));
    p.setBrush(back.lighter(118));
    p.drawRoundedRect(QRectF(slot).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    return image;
}

QImage texture(int w, int h, const QColor &base)
{
    QImage image = canvas(w, h, base);
    QPainter p(&image);
    // A fine diagonal weave that tiles without seams: lines at 45 degrees with a
    // period that divides the tile.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = -h; i < w + h; i += 4) {
        p.setPen(QColor(255, 255, 255, 55));
        p.drawLine(i, 0, i + h, h);
        p.setPen(QColor(0, 0, 0, 12));
        p.drawLine(i + 2, 0, i + 2 + h, h);
    }
    return image;
}

QImage shadowPanel()
{
    QImage image = canvas(64, 64, QColor(236, 240, 246));
    QPainter p(&image);
    QLinearGradient top(0, 0, 0, 10);
    top.setColorAt(0, QColor(0, 0, 0, 70));
    top.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(QRect(0, 0, 64, 10), top);
    return image;
}

QImage dialogBanner(const QString &icon)
{
    const int w = 96, h = 330;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, h);
    fill.setColorAt(0, QColor(40, 78, 150));
    fill.setColorAt(0.6, QColor(76, 126, 200));
    fill.setColorAt(1, QColor(170, 198, 236));
    p.fillRect(image.rect(), fill);
    QRadialGradient glow(w / 2.0, 60, 70);
    glow.setColorAt(0, QColor(255, 255, 255, 110));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(image.rect(), glow);
    p.drawImage((w - 48) / 2, 36, oxygen(icon));
    logo(p, QPointF(w / 2.0, h - 52), 0.62);
    p.setPen(QColor(255, 255, 255, 210));
    p.setFont(font(12));
    p.drawText(QRectF(0, h - 26, w, 18), Qt::AlignCenter, QStringLiteral("Vellaro"));
    p.setPen(QColor(255, 255, 255, 80));
    p.drawLine(w - 1, 0, w - 1, h);
    return image;
}

QImage menubarMock()
{
    const int w = 200, h = 64;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 100, 120), 1));
    p.setBrush(QColor(250, 250, 252));
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 4, 4);
    QLinearGradient title(0, 0, 0, 14);
    title.setColorAt(0, QColor(80, 125, 200));
    title.setColorAt(1, QColor(40, 80, 150));
    p.setPen(Qt::NoPen);
    p.setBrush(title);
    p.drawRoundedRect(QRectF(1, 1, w - 2, 14), 3, 3);
    p.setPen(Qt::white);
    p.setFont(font(9));
    p.drawText(QRectF(6, 1, 120, 14), Qt::AlignVCenter, QStringLiteral("Vellaro 1.0"));
    p.fillRect(QRectF(1, 15, w - 2, 14), QColor(228, 232, 240));
    p.setPen(QColor(30, 40, 60));
    p.setFont(font(9, false));
    const QStringList menus{"File", "Album", "Photo", "Find"};
    qreal x = 7;
    for (const QString &menu : menus) {
        p.drawText(QPointF(x, 26), menu);
        x += 34;
    }
    p.setPen(QPen(kSelectBlue, 1.5));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(3, 16, w - 6, 12), 2, 2);
    p.fillRect(QRectF(8, 34, 44, 24), QColor(210, 220, 236));
    for (int i = 0; i < 3; ++i)
        p.fillRect(QRectF(60 + i * 44, 34, 38, 24), QColor(180, 200, 228));
    return image;
}

QImage podium()
{
    const int w = 380, h = 320;
    QImage image = canvas(w, h);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 0, h);
    back.setColorAt(0, QColor(236, 242, 252));
    back.setColorAt(1, QColor(196, 212, 236));
    p.fillRect(image.rect(), back);
    // Floor.
    p.fillRect(QRectF(0, 292, w, 28), QColor(150, 170, 200));
    struct Step
    {
        QRectF box;
        QColor colour;
        QString label;
    };
    // Each step's top is just below its thumbnail (99 x 73 at the places fixed by the
    // statistics view); the light name boxes 30 px above each thumbnail stay clear.
    const Step steps[3] = {{QRectF(130, 170, 120, 122), QColor(232, 190, 50), QStringLiteral("1")},
                           {QRectF(260, 210, 118, 82), QColor(190, 196, 206), QStringLiteral("2")},
                           {QRectF(2, 235, 118, 57), QColor(205, 130, 70), QStringLiteral("3")}};
    for (const Step &step : steps) {
        QLinearGradient fill(step.box.topLeft(), step.box.topRight());
        fill.setColorAt(0, step.colour.lighter(125));
        fill.setColorAt(0.5, step.colour);
        fill.setColorAt(1, step.colour.darker(130));
        p.setPen(QPen(step.colour.darker(160), 1));
        p.setBrush(fill);
        p.drawRect(step.box);
        p.setBrush(step.colour.lighter(140));
        p.drawRect(QRectF(step.box.left() - 2, step.box.top() - 6, step.box.width() + 4, 6));
        p.setPen(QColor(255, 255, 255, 220));
        p.setFont(font(qMin(40, int(step.box.height()) - 14)));
        p.drawText(step.box.adjusted(0, 4, 0, 0), Qt::AlignHCenter | Qt::AlignTop, step.label);
    }
    // Light name plates behind the 100 x 30 name boxes.
    const QPointF names[3] = {QPointF(140, 60), QPointF(270, 100), QPointF(10, 125)};
    for (const QPointF &at : names) {
        p.setPen(QPen(QColor(170, 185, 210), 1));
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawRoundedRect(QRectF(at.x() - 2, at.y() - 1, 104, 32), 5, 5);
    }
    return image;
}

QList<QImage> spinnerFrames()
{
    QList<QImage> frames;
    const int count = 12;
    for (int f = 0; f < count; ++f) {
        QImage image = canvas(32, 32, QColor(244, 246, 250));
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(16, 16);
        for (int i = 0; i < count; ++i) {
            const int age = (f - i + count) % count;
            const int shade = 60 + age * 15;
            p.save();
            p.rotate(i * 360.0 / count);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(qMin(shade, 235), qMin(shade + 20, 240), qMin(shade + 60, 250)));
            p.drawRoundedRect(QRectF(-1.6, -14, 3.2, 8), 1.6, 1.6);
            p.restore();
        }
        frames.append(image);
    }
    return frames;
}

// ---------------------------------------------------------------- the theme

struct Icon
{
    const char *name;
    const char *folder;
    const char *source;
};

// Pictures that are plain Oxygen icons, copied unchanged.
const Icon kIcons[] = {
    {"arrow-down.png", "Pixmap", "48x48/actions/go-down.png"},
    {"arrow-left.png", "Pixmap", "48x48/actions/go-previous.png"},
    {"back.png", "Pixmap", "22x22/actions/go-previous.png"},
    {"badge-clip.png", "UserBadge", "16x16/status/mail-attachment.png"},
    {"badge-info.png", "UserBadge", "16x16/status/dialog-information.png"},
    {"button_cancel.png", "Pixmap", "16x16/actions/dialog-cancel.png"},
    {"button_ok.png", "Pixmap", "16x16/actions/dialog-ok-apply.png"},
    {"composemail.png", "Pixmap", "32x32/actions/mail-message-new.png"},
    {"copy.png", "Pixmap", "16x16/actions/edit-copy.png"},
    {"cut.png", "Pixmap", "16x16/actions/edit-cut.png"},
    {"directory-playlist.png", "Pixmap", "32x32/places/folder.png"},
    {"directory-playlist-photo.png", "Pixmap", "32x32/places/folder-image.png"},
    {"drive-mini.png", "Pixmap", "16x16/devices/drive-harddisk.png"},
    {"favorites-large.png", "Pixmap", "32x32/emblems/emblem-favorite.png"},
    {"find.png", "Pixmap", "32x32/actions/edit-find.png"},
    {"gohome.png", "Pixmap", "32x32/actions/go-home.png"},
    {"help.png", "Pixmap", "16x16/actions/help-contents.png"},
    {"lastplayed.png", "Pixmap", "32x32/actions/view-history.png"},
    {"library.png", "Pixmap", "32x32/actions/tag-folder.png"},
    {"link.png", "Pixmap", "22x22/actions/go-next-view.png"},
    {"mini-cd.png", "Pixmap", "16x16/devices/media-optical.png"},
    {"more-tools.png", "Pixmap", "22x22/actions/go-previous-view.png"},
    {"move_down.png", "Pixmap", "16x16/actions/go-down.png"},
    {"move_up.png", "Pixmap", "16x16/actions/go-up.png"},
    {"mydoc.png", "Pixmap", "32x32/places/server-database.png"},
    {"myphoto.png", "Pixmap", "32x32/mimetypes/image-x-generic.png"},
    {"paste.png", "Pixmap", "22x22/actions/edit-paste.png"},
    {"play-slideshow.png", "Pixmap", "22x22/actions/media-playback-start.png"},
    {"play-slideshow-pause.png", "Pixmap", "22x22/actions/media-playback-pause.png"},
    {"playlist.png", "Pixmap", "32x32/actions/bookmarks-organize.png"},
    {"playlist-group.png", "Pixmap", "32x32/actions/view-catalog.png"},
    {"playlist-photo.png", "Pixmap", "32x32/places/folder-image-people.png"},
    {"printer.png", "Pixmap", "32x32/actions/document-print.png"},
    {"property-edit.png", "Pixmap", "16x16/actions/document-edit.png"},
    {"red_man.PNG", "Pixmap", "48x48/places/user-identity.png"},
    {"redo.png", "Pixmap", "22x22/actions/media-skip-forward.png"},
    {"rool_add.png", "Pixmap", "16x16/actions/albumfolder-new.png"},
    {"rool_remove.png", "Pixmap", "16x16/actions/edit-delete.png"},
    {"rool_update.png", "Pixmap", "16x16/actions/view-refresh.png"},
    {"saveas.png", "Pixmap", "32x32/actions/document-save-as.png"},
    {"slideshow.png", "Pixmap", "32x32/actions/view-presentation.png"},
    {"statistiques.png", "Pixmap", "32x32/actions/view-statistics.png"},
    {"undo.png", "Pixmap", "22x22/actions/media-skip-backward.png"},
    {"view-method.png", "Pixmap", "32x32/actions/view-list-icons.png"},
    {"view.png", "Pixmap", "16x16/actions/document-preview.png"},
    {"viewmag+.png", "Pixmap", "22x22/actions/zoom-in.png"},
    {"viewmag-.png", "Pixmap", "22x22/actions/zoom-out.png"},
    {"window_fullscreen.png", "Pixmap", "22x22/actions/zoom-fit-best.png"},
};

void paintAll()
{
    for (const Icon &icon : kIcons)
        copyIcon(QLatin1String(icon.folder), QLatin1String(icon.name), QLatin1String(icon.source));

    const QString pixmap = QStringLiteral("Pixmap");
    const QString frameFolder = QStringLiteral("Frame");
    const QString badges = QStringLiteral("UserBadge");
    const QString stack = QStringLiteral("16x16/emblems/image-stack.png");
    const QString link = QStringLiteral("8x8/emblems/emblem-link.png");

    save(pixmap, "arrow-left-up.png", rotated("48x48/actions/go-previous.png", 45));
    save(pixmap, "kivicon-photo-selected.png", highlight("32x32/mimetypes/image-x-generic.png"));
    save(pixmap, "composemailpl.png", emblem("32x32/actions/mail-message-new.png", stack));
    save(pixmap, "printerpl.png", emblem("32x32/actions/document-print.png", stack));
    save(pixmap, "saveaspl.png", emblem("32x32/actions/document-save-as.png", stack));
    save(pixmap, "slideshowpl.png", emblem("32x32/actions/view-presentation.png", stack));
    save(pixmap, "printer-external.png", emblem("16x16/actions/document-print.png", link));
    save(pixmap, "View-edit-external.png", emblem("16x16/actions/document-edit.png", link));

    save(pixmap, "favorites.png", heart(14, 13));
    save(badges, "badge-special.png", badge(QStringLiteral("special")));
    save(badges, "badge-ok.png", badge(QStringLiteral("ok")));
    save(badges, "badge-important.png", badge(QStringLiteral("important")));
    save(badges, "badge-urgent.png", badge(QStringLiteral("urgent")));
    save(badges, "badge-no.png", badge(QStringLiteral("no")));
    save(badges, "nouserbadge.png", badge(QStringLiteral("none")));
    save(badges, "userbadge-toprint.png", tag("16x16/actions/document-print.png"));
    save(badges, "userbadge-toemail.png", tag("16x16/places/mail-message.png"));

    save(pixmap, "splash.png", splashPicture());
    save(pixmap, "start-kernel.png", stageTile(77, "48x48/categories/preferences-system.png"));
    save(pixmap, "start-clipboard.png", stageTile(76, "48x48/actions/edit-paste.png"));
    save(pixmap, "start-album.png", stageTile(77, "48x48/places/folder-image.png"));
    save(pixmap, "start-ui.png", stageTile(76, "48x48/categories/preferences-desktop.png"));

    save(pixmap, "podium.png", podium());
    save(pixmap, "big-round-buttons.png", roundButton());
    save(pixmap, "traybar-back.png", slotStrip(41, 35, QRect(3, 2, 35, 31), QColor(214, 222, 234)));
    save(pixmap, "import-back.png", slotStrip(50, 72, QRect(3, 19, 44, 51), QColor(214, 222, 234)));
    save(pixmap, "back-slideshow.png", bar(64, 40, QColor(224, 232, 244), QColor(184, 200, 226)));
    save(pixmap, "ui-iconview-center-up.png", bar(64, 32, QColor(246, 249, 253), QColor(214, 224, 240)));
    save(pixmap, "ui-media-center.png", bar(64, 24, QColor(232, 238, 248), QColor(196, 210, 232)));
    save(pixmap, "ui-dialog-right.png", texture(64, 64, QColor(232, 236, 244)));
    save(pixmap, "shadow-library-basb.png", shadowPanel());
    save(pixmap, "display-menubar.png", menubarMock());
    save(pixmap, "ui-dialog-left-date.png", dialogBanner("48x48/apps/office-calendar.png"));
    save(pixmap, "ui-dialog-left-mail.png", dialogBanner("48x48/actions/mail-message-new.png"));
    save(pixmap, "ui-dialog-left-playlist.png", dialogBanner("48x48/places/folder-image.png"));
    save(pixmap, "ui-dialog-left-print.png", dialogBanner("48x48/actions/document-print.png"));
    save(pixmap, "ui-dialog-left-resize.png", dialogBanner("48x48/actions/transform-scale.png"));

    const struct
    {
        const char *plain;
        const char *selected;
        FrameStyle style;
    } frames[] = {{"Photo (default).png", "Photo (default)-selected.png", FrameStyle::Photo},
                  {"Film.png", "Film-selected.png", FrameStyle::Film},
                  {"Slide.png", "Slide-selected.png", FrameStyle::Slide},
                  {"rectangle.png", "rectangle-selected.png", FrameStyle::Rectangle}};
    for (const auto &f : frames) {
        save(frameFolder, QLatin1String(f.plain), frame(f.style, false));
        save(frameFolder, QLatin1String(f.selected), frame(f.style, true));
    }

    const QByteArray wait = GifWriter::encodeAnimation(spinnerFrames(), 8);
    QFile gif(g_out + QStringLiteral("/blue/Pixmap/wait.gif"));
    if (wait.isEmpty() || !gif.open(QIODevice::WriteOnly) || gif.write(wait) != wait.size()) {
        std::fprintf(stderr, "themegen: cannot write wait.gif\n");
        ++g_failures;
    }
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: themegen OXYGEN_ICON_DIR OUTPUT_DIR\n");
        return 2;
    }
    g_oxygen = args.at(1);
    g_out = args.at(2);
    for (const char *folder : {"Pixmap", "Frame", "UserBadge"})
        QDir().mkpath(g_out + QStringLiteral("/blue/") + QLatin1String(folder));
    paintAll();
    return g_failures == 0 ? 0 : 1;
}
