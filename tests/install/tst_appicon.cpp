// The window icon, rendered from the SVG compiled into the program. The expected
// colours are the drawing's landmarks, read off packaging/icons/org.vellaro.Vellaro.svg
// (a 128 grid): the tile spans 8..120 with corners rounded by 24, the white print
// 24..104 x 32..100 with the picture 32..96 x 40..84 on it, the sun a circle of radius 8
// around (80, 54).
#include "appicon.h"

#include <QGuiApplication>
#include <QIcon>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A pixel of an icon rendered at `size`, addressed on the 128 grid of the drawing.
QColor at(const QImage &image, double x128, double y128)
{
    const double scale = image.width() / 128.0;
    return image.pixelColor(int(x128 * scale), int(y128 * scale));
}

bool isBlue(const QColor &c)
{
    return c.alpha() == 255 && c.blue() > 100 && c.blue() > c.red() + 60 && c.blue() > c.green() + 30;
}

bool isPaperWhite(const QColor &c)
{
    return c.alpha() == 255 && c.red() > 235 && c.green() > 235 && c.blue() > 225;
}

bool isSunYellow(const QColor &c)
{
    return c.alpha() == 255 && c.red() > 230 && c.green() > 170 && c.blue() < 90;
}

} // namespace

class TestAppIcon : public QObject
{
    Q_OBJECT
private slots:
    void renderedAtEverySize_data();
    void renderedAtEverySize();
    void windowIconHoldsEverySize();
    void unreadableSvgGivesNullImage();
};

void TestAppIcon::renderedAtEverySize_data()
{
    QTest::addColumn<int>("size");
    for (int size : {16, 32, 48, 64, 128, 256})
        QTest::addRow("%d px", size) << size;
}

void TestAppIcon::renderedAtEverySize()
{
    QFETCH(int, size);
    const QImage image = vellaroAppIconImage(size);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(size, size));
    QVERIFY(image.hasAlphaChannel());

    // Outside the tile: nothing drawn. The margin's pixels touch the tile's edge (at
    // 16 px the margin is one pixel), which the antialiasing may tint by a few levels.
    for (const QPointF &p : {QPointF(0, 0), QPointF(127, 0), QPointF(0, 127), QPointF(127, 127),
                             QPointF(64, 2), QPointF(2, 64), QPointF(125, 64), QPointF(64, 125)}) {
        const int alpha = at(image, p.x(), p.y()).alpha();
        QVERIFY2(alpha < 16, qPrintable(QStringLiteral("alpha %1 at (%2, %3)").arg(alpha).arg(p.x()).arg(p.y())));
    }
    // Nor in the rounded corners: the pixel holding (10, 10) lies wholly outside the
    // corner's arc (centre (32, 32), radius 24) from 32 px up; at 16 px it spans 8..16
    // and reaches into the arc.
    if (size >= 32) {
        QCOMPARE(at(image, 10, 10).alpha(), 0);
        QCOMPARE(at(image, 117, 117).alpha(), 0);
    }

    // The tile above and beside the print, the paper's wide lower margin.
    QVERIFY2(isBlue(at(image, 64, 16)), qPrintable(at(image, 64, 16).name(QColor::HexArgb)));
    QVERIFY2(isBlue(at(image, 12, 64)), qPrintable(at(image, 12, 64).name(QColor::HexArgb)));
    QVERIFY2(isPaperWhite(at(image, 64, 90)), qPrintable(at(image, 64, 90).name(QColor::HexArgb)));
    // The sun is a pixel or two at 16 px, blended with the sky: checked from 32 px up.
    if (size >= 32)
        QVERIFY2(isSunYellow(at(image, 80, 54)), qPrintable(at(image, 80, 54).name(QColor::HexArgb)));
}

void TestAppIcon::windowIconHoldsEverySize()
{
    const QIcon icon = vellaroAppIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.availableSizes(),
             QList<QSize>({QSize(16, 16), QSize(32, 32), QSize(48, 48), QSize(64, 64), QSize(128, 128),
                           QSize(256, 256)}));
    // Asked for a size it holds, the icon gives the rendering of that size unchanged.
    const QImage fromIcon = icon.pixmap(QSize(48, 48)).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QCOMPARE(fromIcon, vellaroAppIconImage(48));
}

void TestAppIcon::unreadableSvgGivesNullImage()
{
    QTemporaryDir dir;
    QVERIFY(vellaroRenderSvgIcon(dir.filePath("missing.svg"), 32).isNull());
    QFile broken(dir.filePath("broken.svg"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("<svg xmlns=\"http://www.w3.org/2000/svg\"><rect");
    broken.close();
    QVERIFY(vellaroRenderSvgIcon(broken.fileName(), 32).isNull());
    QVERIFY(vellaroAppIconImage(0).isNull());
}

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
