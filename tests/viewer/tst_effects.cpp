#include "imageeffects.h"

#include <QtTest>

namespace {

QImage solid(int w, int h, QRgb colour, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(w, h, format);
    image.fill(colour);
    return image;
}

// A 4 x 1 indexed picture over a three-colour table.
QImage indexed()
{
    QImage image(4, 1, QImage::Format_Indexed8);
    image.setColorTable({qRgb(200, 100, 0), qRgb(255, 255, 255), qRgb(10, 20, 30)});
    image.setPixel(0, 0, 0);
    image.setPixel(1, 0, 1);
    image.setPixel(2, 0, 2);
    image.setPixel(3, 0, 1);
    return image;
}

} // namespace

// Expected values are worked out by hand from the effects' arithmetic.
class TestEffects : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fitting_data();
    void fitting();
    void reduce_data();
    void reduce();
    void intensity();
    void fadeToBlue();
    void grey();
    void blendRows();
    void normalizeFlatAndSpread();
    void equalizeBlack();
    void edgeOnFlatGrey();
    void indexedPicturesChangeTheirTable();
    void noiseKeepsOrSaturates();
    void quarterTurns();
    void largePicturesInBands();
    void hsvEffectsMatchTheToolkitForEveryColour();
    void edgeSumsAsDoublesWouldOnALargePicture();
};

void TestEffects::fitting_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("fitted");
    QTest::newRow("wide, one width step") << QSize(2000, 1500) << QSize(800, 600);
    QTest::newRow("tall, one height step") << QSize(600, 2000) << QSize(180, 600);
    QTest::newRow("small, never enlarged") << QSize(400, 300) << QSize(400, 300);
}

void TestEffects::fitting()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, fitted);
    QCOMPARE(ImageEffects::fittedSize(picture, QSize(800, 600)), fitted);
}

void TestEffects::reduce_data()
{
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QSize>("reduced");
    QTest::newRow("landscape") << QSize(1600, 1200) << QSize(640, 480);
    QTest::newRow("portrait") << QSize(1200, 1600) << QSize(640, 853);
    QTest::newRow("narrow enough") << QSize(500, 400) << QSize(500, 400);
}

void TestEffects::reduce()
{
    QFETCH(QSize, picture);
    QFETCH(QSize, reduced);
    QImage image = solid(picture.width(), picture.height(), qRgb(1, 2, 3));
    ImageEffects::reduce(image, 640);
    QCOMPARE(image.size(), reduced);
}

void TestEffects::intensity()
{
    QImage image = solid(2, 1, qRgb(200, 100, 0));
    ImageEffects::intensity(image, 0.5f);
    // 200 + 100 limited to 255; 100 + 50; 0 + 0.
    QCOMPARE(image.pixel(0, 0), qRgb(255, 150, 0));
    QImage dark = solid(1, 1, qRgb(200, 100, 3));
    ImageEffects::intensity(dark, -0.5f);
    QCOMPARE(dark.pixel(0, 0), qRgb(100, 50, 2));  // 3 - truncate(1.5)
}

void TestEffects::fadeToBlue()
{
    QImage image = solid(1, 1, qRgb(255, 255, 255));
    ImageEffects::fade(image, QColor(0, 0, 255), 0.2);
    // t[255] = truncate(255 x 0.2 + 0.5) = 51.
    QCOMPARE(image.pixel(0, 0), qRgb(204, 204, 255));
    QImage black = solid(1, 1, qRgb(0, 0, 0));
    ImageEffects::fade(black, QColor(0, 0, 255), 0.2);
    QCOMPARE(black.pixel(0, 0), qRgb(0, 0, 51));
}

void TestEffects::grey()
{
    QImage image = solid(1, 1, qRgba(100, 200, 50, 77), QImage::Format_ARGB32);
    ImageEffects::grey(image);
    // (11 x 100 + 16 x 200 + 5 x 50) / 32 = 4550 / 32 = 142.
    QCOMPARE(image.pixel(0, 0), qRgba(142, 142, 142, 77));
}

void TestEffects::blendRows()
{
    QImage image = solid(3, 4, qRgb(255, 255, 255));
    ImageEffects::blend(image, Qt::black, 0.5f);
    // Step (1 - 0.5) / 4 = 0.125: row 0 uses 0.625, 255 - truncate(159.375) = 96; the
    // last row uses 1.0 and is black.
    QCOMPARE(image.pixel(0, 0), qRgb(96, 96, 96));
    QCOMPARE(image.pixel(2, 1), qRgb(64, 64, 64));  // 0.75: 255 - 191
    QCOMPARE(image.pixel(1, 3), qRgb(0, 0, 0));
}

void TestEffects::normalizeFlatAndSpread()
{
    QImage flat = solid(10, 10, qRgb(90, 90, 90));
    ImageEffects::normalize(flat);
    QCOMPARE(flat.pixel(3, 3), qRgb(90, 90, 90));

    // 256 x 1 grey ramp 0..255: threshold 256 / 100 = 2; from below the sum exceeds 2
    // at bin 2, from above at bin 253. map(253) = 251 x 254 / 251 = 254, map(254) = 255.
    QImage ramp(256, 1, QImage::Format_RGB32);
    for (int x = 0; x < 256; ++x)
        ramp.setPixel(x, 0, qRgb(x, x, x));
    ImageEffects::normalize(ramp);
    QCOMPARE(qRed(ramp.pixel(0, 0)), 0);
    QCOMPARE(qRed(ramp.pixel(2, 0)), 0);
    QCOMPARE(qRed(ramp.pixel(3, 0)), 1);            // 1 x 254 / 251
    QCOMPARE(qRed(ramp.pixel(128, 0)), 126 * 254 / 251);
    QCOMPARE(qRed(ramp.pixel(253, 0)), 254);
    QCOMPARE(qRed(ramp.pixel(254, 0)), 255);
    QCOMPARE(qRed(ramp.pixel(255, 0)), 255);
}

void TestEffects::equalizeBlack()
{
    QImage black = solid(5, 4, qRgb(0, 0, 0));
    ImageEffects::equalize(black);
    QCOMPARE(black.pixel(2, 2), qRgb(0, 0, 0));
    // Half black, half white: c[0] = 2, c[i] = 4 above; divisor 2. map[255] = 255.
    QImage half(2, 2, QImage::Format_RGB32);
    half.fill(qRgb(0, 0, 0));
    half.setPixel(1, 0, qRgb(255, 255, 255));
    half.setPixel(1, 1, qRgb(255, 255, 255));
    ImageEffects::equalize(half);
    QCOMPARE(half.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(half.pixel(1, 1), qRgb(255, 255, 255));
}

void TestEffects::edgeOnFlatGrey()
{
    QImage image = solid(5, 4, qRgb(128, 128, 128));
    image.setPixel(4, 0, qRgb(10, 20, 30));  // the last column copies (w-1, k)
    const QImage out = ImageEffects::edge(image, 300.0);
    QCOMPARE(out.size(), image.size());
    QCOMPARE(qRed(out.pixel(2, 2)), 0);
    QCOMPARE(qRed(out.pixel(1, 1)), 0);
    QCOMPARE(out.pixel(0, 1), image.pixel(0, 1));
    QCOMPARE(out.pixel(4, 0), qRgb(10, 20, 30));  // row 0 uses the window from row 0
    QCOMPARE(out.pixel(4, 1), qRgb(10, 20, 30));  // row 1 too: k = 0
    QCOMPARE(out.pixel(4, 2), qRgb(128, 128, 128));
    // A lone bright centre: 37.5 x 200 = 7500, clamped to 255.
    QImage dot = solid(3, 3, qRgb(0, 0, 0));
    dot.setPixel(1, 1, qRgb(200, 0, 0));
    QCOMPARE(qRed(ImageEffects::edge(dot, 300.0).pixel(1, 1)), 255);
    // Centre 50 among neighbours 48: 37.5 x 50 - 4.6875 x 384 = 75. One neighbour 47:
    // 1875 - 4.6875 x 383 = 79.6875, truncated to 79.
    QImage mid = solid(3, 3, qRgb(48, 48, 48));
    mid.setPixel(1, 1, qRgb(50, 50, 50));
    QCOMPARE(qRed(ImageEffects::edge(mid, 300.0).pixel(1, 1)), 75);
    mid.setPixel(0, 0, qRgb(47, 47, 47));
    QCOMPARE(qRed(ImageEffects::edge(mid, 300.0).pixel(1, 1)), 79);
    // A factor whose weights are no binary fractions is summed term by term:
    // 0.3 / 8 = 0.0375 on a centre of 250 among black neighbours gives 9.375, so 9.
    QImage lone = solid(3, 3, qRgb(0, 0, 0));
    lone.setPixel(1, 1, qRgb(250, 0, 0));
    QCOMPARE(qRed(ImageEffects::edge(lone, 0.3).pixel(1, 1)), 9);
    const QImage tiny = solid(2, 5, qRgb(1, 1, 1));
    QCOMPARE(ImageEffects::edge(tiny, 300.0), tiny);
}

void TestEffects::indexedPicturesChangeTheirTable()
{
    const QImage original = indexed();
    auto check = [&](const char *name, auto effect, QRgb firstEntry) {
        QImage image = original;
        effect(image);
        QVERIFY2(image.format() == QImage::Format_Indexed8, name);
        QVERIFY2(image.colorCount() == 3, name);
        for (int x = 0; x < 4; ++x)
            QVERIFY2(image.pixelIndex(x, 0) == original.pixelIndex(x, 0), name);
        QVERIFY2(image.color(0) == firstEntry, qPrintable(QString::asprintf("%s %08x", name, image.color(0))));
    };
    check("grey", [](QImage &i) { ImageEffects::grey(i); }, qRgb(118, 118, 118));  // (2200 + 1600) / 32
    check("intensity", [](QImage &i) { ImageEffects::intensity(i, 0.5f); }, qRgb(255, 150, 0));
    check("fade", [](QImage &i) { ImageEffects::fade(i, QColor(0, 0, 255), 0.2); }, qRgb(160, 80, 51));
    // Intensities: (200,100,0) -> 118 once, white -> 255 twice, (10,20,30) -> 18 once.
    // Cumulative: c[18..117] = 1, c[118..254] = 2, c[255] = 4; low 0, divisor 4.
    // map[200] = truncate(2 x 255 / 4) = 127, map[100] = truncate(1 x 255 / 4) = 63.
    check("equalize", [](QImage &i) { ImageEffects::equalize(i); }, qRgb(127, 63, 0));
}

void TestEffects::noiseKeepsOrSaturates()
{
    const QImage image = solid(64, 64, qRgb(100, 150, 200));
    const QImage out = ImageEffects::noise(image);
    int changed = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb p = out.pixel(x, y);
            for (auto [c, original] : {std::pair{qRed(p), 100}, {qGreen(p), 150}, {qBlue(p), 200}}) {
                QVERIFY(c == original || c == 0 || c == 255);
                changed += c != original;
            }
        }
    }
    // About 10 % of 12,288 channels.
    QVERIFY(changed > 700 && changed < 1800);

    // On a picture worked in bands: each channel turns black or full about 5 % of the
    // time each, independently of the others, and a second use draws other numbers.
    const QImage large = solid(1200, 1000, qRgb(100, 150, 200));
    const QImage a = ImageEffects::noise(large), b = ImageEffects::noise(large);
    qint64 black[3] = {0, 0, 0}, full[3] = {0, 0, 0}, bothBlack = 0, same = 0;
    for (int y = 0; y < 1000; ++y) {
        const auto *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *pb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < 1200; ++x) {
            const int c[3] = {qRed(pa[x]), qGreen(pa[x]), qBlue(pa[x])};
            for (int i = 0; i < 3; ++i) {
                black[i] += c[i] == 0;
                full[i] += c[i] == 255;
            }
            bothBlack += c[1] == 0 && c[2] == 0;
            same += pa[x] == pb[x];
            QCOMPARE(qAlpha(pa[x]), 255);
        }
    }
    for (int i = 0; i < 3; ++i) {
        QVERIFY2(black[i] > 57000 && black[i] < 63000, qPrintable(QString::number(black[i])));
        QVERIFY2(full[i] > 57000 && full[i] < 63000, qPrintable(QString::number(full[i])));
    }
    QVERIFY(bothBlack > 2400 && bothBlack < 3600);  // 0.25 % of 1.2 million
    QVERIFY(same < 900000);                          // about 54 % alike by chance
}

void TestEffects::quarterTurns()
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::black);
    image.setPixel(0, 0, qRgb(255, 0, 0));  // top-left
    QImage cw = image;
    ImageEffects::rotateClockwise(cw);
    QCOMPARE(cw.size(), QSize(2, 3));
    QCOMPARE(cw.pixel(1, 0), qRgb(255, 0, 0));  // top-left goes to top-right
    QImage ccw = image;
    ImageEffects::rotateCounterClockwise(ccw);
    QCOMPARE(ccw.pixel(0, 2), qRgb(255, 0, 0));  // ... or to bottom-left
    QImage mirrored = image;
    ImageEffects::mirror(mirrored);
    QCOMPARE(mirrored.pixel(2, 0), qRgb(255, 0, 0));
}

void TestEffects::largePicturesInBands()
{
    // Large pictures are worked in bands of rows on every core: the result is the same.
    QImage image(1000, 1200, QImage::Format_RGB32);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1000; ++x)
            image.setPixel(x, y, y < 600 ? qRgb(10, 10, 10) : qRgb(20, 20, 20));
    QImage normalized = image;
    ImageEffects::normalize(normalized);  // low bin 10, high bin 20
    QCOMPARE(normalized.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(normalized.pixel(999, 599), qRgb(0, 0, 0));
    QCOMPARE(normalized.pixel(0, 600), qRgb(254, 254, 254));
    QCOMPARE(normalized.pixel(999, 1199), qRgb(254, 254, 254));
    QImage grey = image;
    grey.setPixel(500, 1100, qRgb(100, 200, 50));
    ImageEffects::grey(grey);
    QCOMPARE(grey.pixel(500, 1100), qRgb(142, 142, 142));
    QCOMPARE(grey.pixel(3, 3), qRgb(10, 10, 10));
}

void TestEffects::hsvEffectsMatchTheToolkitForEveryColour()
{
    // Desaturation and the contrast curve go through the toolkit's HSV model: every one
    // of the 16.7 million colours must come out as QColor's own round trip gives it,
    // with the alpha kept (worked on a 4096 x 4096 picture, in bands on every core).
    QImage all(4096, 4096, QImage::Format_ARGB32);
    auto *pixels = reinterpret_cast<QRgb *>(all.bits());
    for (quint32 i = 0; i < (1u << 24); ++i)
        pixels[i] = 0x80000000u | i;
    QImage desaturated = all, sharpened = all;
    ImageEffects::desaturate(desaturated, 0.5f);
    ImageEffects::contrast(sharpened, 1);
    const auto *d = reinterpret_cast<const QRgb *>(desaturated.constBits());
    const auto *c = reinterpret_cast<const QRgb *>(sharpened.constBits());
    const double scale = 0.5000000000000001;
    int wrongDesaturated = 0, wrongContrast = 0;
    for (quint32 i = 0; i < (1u << 24); ++i) {
        const QColor colour = QColor::fromRgba(pixels[i]);
        int h, s, v;
        colour.getHsv(&h, &s, &v);
        QColor expected;
        expected.setHsv(h, int(s * (1.0 - 0.5f)), v, 0x80);
        wrongDesaturated += expected.rgba() != d[i];
        double b = v / 255.0;
        b = b + (scale * (std::sin((b - 0.5) * 3.14368) + 1.0) - b) * scale;
        expected.setHsv(h, s, int(qBound(0.0, b, 1.0) * 255.0), 0x80);
        wrongContrast += expected.rgba() != c[i];
    }
    QCOMPARE(wrongDesaturated, 0);
    QCOMPARE(wrongContrast, 0);

    // A quarter kept, and all of it kept, on a few colours and a short run.
    QImage few(5, 1, QImage::Format_RGB32);
    const QRgb colours[] = {qRgb(200, 40, 90), qRgb(13, 1, 1), qRgb(0, 0, 255), qRgb(128, 128, 128), qRgb(1, 2, 3)};
    for (int x = 0; x < 5; ++x)
        few.setPixel(x, 0, colours[x]);
    for (float fraction : {0.75f, 0.0f}) {
        QImage out = few;
        ImageEffects::desaturate(out, fraction);
        for (int x = 0; x < 5; ++x) {
            QColor colour(colours[x]);
            int h, s, v;
            colour.getHsv(&h, &s, &v);
            colour.setHsv(h, int(s * (1.0 - fraction)), v);
            QCOMPARE(out.pixel(x, 0), colour.rgba());
        }
    }
}

void TestEffects::edgeSumsAsDoublesWouldOnALargePicture()
{
    // Edge then Noise, as the "Fx !" menu allows: the picture stays opaque (it once
    // came out wholly transparent, so black on screen).
    {
        QImage flat = solid(8, 8, qRgb(90, 120, 150));
        flat.setPixel(0, 0, qRgba(1, 2, 3, 4));
        const QImage edged = ImageEffects::edge(flat.convertToFormat(QImage::Format_ARGB32), 300.0);
        for (int y = 0; y < 8; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(edged.constScanLine(y));
            for (int x = 0; x < 8; ++x)
                QCOMPARE(qAlpha(line[x]), 255);
        }
        const QImage noisy = ImageEffects::noise(edged);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                QCOMPARE(qAlpha(noisy.pixel(x, y)), 255);
    }

    // A noisy picture large enough to be worked in bands: every output pixel must be
    // what the nine double-precision products give, summed in window order.
    const int w = 1200, h = 900;
    QImage image(w, h, QImage::Format_ARGB32);
    quint32 seed = 12345;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            seed = seed * 1103515245u + 12345u;
            image.setPixel(x, y, seed);
        }
    }
    for (double factor : {300.0, 1.0}) {
        const QImage out = ImageEffects::edge(image, factor);
        const double weight = factor / 8.0, neighbour = -weight / 8.0;
        int wrong = 0;
        for (int y = 0; y < h; y += 7) {
            const int k = qMin(qMax(y - 1, 0), h - 3);
            for (int x = 1; x < w - 1; ++x) {
                double sums[4] = {0, 0, 0, 0};
                for (int dy = 0; dy < 3; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const QRgb p = image.pixel(x + dx, k + dy);
                        const double wgt = dy == 1 && dx == 0 ? weight : neighbour;
                        sums[0] += qRed(p) * wgt;
                        sums[1] += qGreen(p) * wgt;
                        sums[2] += qBlue(p) * wgt;
                        sums[3] += qAlpha(p) * wgt;
                    }
                }
                int c[4];
                for (int i = 0; i < 4; ++i)
                    c[i] = sums[i] < 0 ? 0 : sums[i] > 255 ? 255 : int(sums[i]);
                // The result carries no alpha: its alpha is read back as opaque.
                wrong += (out.pixel(x, y) & 0xffffffu) != (qRgb(c[0], c[1], c[2]) & 0xffffffu);
            }
        }
        QCOMPARE(wrong, 0);
    }
}

QTEST_MAIN(TestEffects)
#include "tst_effects.moc"
