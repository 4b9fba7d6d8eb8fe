// Thumbnails from the previews cameras embed in their JPEG files: turned upright as the
// picture is, refused when they are not the picture's (another aspect, too small, cut
// short), and taken by the album's thumbnail loader with "Fast Thumbs".
#include "thumbnailloader.h"
#include "thumbnailmaker.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <tuple>

#include "exiftool.h"
#include "testfiles.h"

namespace {

const QList<QColor> kQuadrants{Qt::red, Qt::green, Qt::blue, Qt::yellow};

// Four quadrants: red, green / blue, yellow.
QImage quadrants(const QSize &size)
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    const int w = size.width() / 2, h = size.height() / 2;
    painter.fillRect(0, 0, w, h, Qt::red);
    painter.fillRect(w, 0, size.width() - w, h, Qt::green);
    painter.fillRect(0, h, w, size.height() - h, Qt::blue);
    painter.fillRect(w, h, size.width() - w, size.height() - h, Qt::yellow);
    return image;
}

QImage plain(const QSize &size, const QColor &colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}


// A camera's file: the picture, its EXIF orientation and, when given, a preview.
bool camera(const QString &path, const QImage &picture, const QImage &preview, int orientation = 1)
{
    if (!picture.save(path, "JPEG", 92))
        return false;
    QStringList args{"-q", "-overwrite_original", QStringLiteral("-Orientation#=%1").arg(orientation)};
    if (!preview.isNull()) {
        const QString previewPath = path + QStringLiteral(".preview.jpg");
        if (!preview.save(previewPath, "JPEG", 92))
            return false;
        args << QStringLiteral("-ThumbnailImage<=") + previewPath;
    }
    return exiftool(args << path);
}

// The colour closest to the thumbnail's pixel, among the quadrants' and white.
QColor nearest(const QImage &image, int x, int y)
{
    const QColor seen = image.pixelColor(x, y);
    QColor best = Qt::white;
    int bestDistance = INT_MAX;
    for (const QColor &candidate : kQuadrants + QList<QColor>{Qt::white}) {
        const int d = qAbs(seen.red() - candidate.red()) + qAbs(seen.green() - candidate.green())
                      + qAbs(seen.blue() - candidate.blue());
        if (d < bestDistance) {
            bestDistance = d;
            best = candidate;
        }
    }
    return best;
}

// The colours at the middle of each quadrant of the picture drawn on the canvas.
QList<QColor> corners(const ThumbnailMaker::Result &made)
{
    const QSize fitted = ThumbnailMaker::fittedSize(made.pictureSize);
    const int left = (ThumbnailMaker::Width - fitted.width()) / 2, top = (ThumbnailMaker::Height - fitted.height()) / 2;
    QList<QColor> out;
    const std::pair<int, int> spots[] = {{1, 1}, {3, 1}, {1, 3}, {3, 3}};
    for (const auto &[fx, fy] : spots)
        out << nearest(made.image, left + fitted.width() * fx / 4, top + fitted.height() * fy / 4);
    return out;
}

QColor centre(const ThumbnailMaker::Result &made)
{
    return nearest(made.image, ThumbnailMaker::Width / 2, ThumbnailMaker::Height / 2);
}

// A JPEG's first bytes as a camera writes them: start of image, then an EXIF segment
// whose IFD1 names a preview by offset and length.
struct ExifHead
{
    bool motorola = false;
    quint32 offsetType = 4;
    qint64 offset = -1;  // -1: right after the IFDs
    qint64 size = -1;    // -1: the preview's own
    QByteArray preview = QByteArray("\xFF\xD8 a preview \xFF\xD9");

    QByteArray bytes() const
    {
        QByteArray tiff;
        auto put16 = [&](quint32 v) {
            tiff += motorola ? char(v >> 8) : char(v);
            tiff += motorola ? char(v) : char(v >> 8);
        };
        auto put32 = [&](quint32 v) {
            put16(motorola ? v >> 16 : v & 0xFFFF);
            put16(motorola ? v & 0xFFFF : v >> 16);
        };
        tiff += motorola ? QByteArray("MM\0*", 4) : QByteArray("II*\0", 4);
        put32(8);  // IFD0: no entries, then IFD1
        put16(0);
        put32(14);
        put16(2);  // IFD1: the preview's offset and length
        const quint32 after = 14 + 2 + 2 * 12 + 4;
        const std::pair<quint32, qint64> entries[] = {{0x0201, offset < 0 ? after : offset},
                                                      {0x0202, size < 0 ? preview.size() : size}};
        for (const auto &[tag, value] : entries) {
            put16(tag);
            put16(offsetType);
            put32(1);
            if (offsetType == 3) {
                put16(quint32(value));
                put16(0);
            } else {
                put32(quint32(value));
            }
        }
        put32(0);
        tiff += preview;
        const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
        const qsizetype length = payload.size() + 2;
        return QByteArray("\xFF\xD8\xFF\xE0\x00\x04xx\xFF\xE1", 10) + char(length >> 8) + char(length & 0xFF) + payload
               + QByteArray("\xFF\xDA");
    }
};

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void previewIsTurnedAsThePictureIs();
    void previewNotThePicturesIsNotTaken();
    void exifSegmentIsReadWithinItsBounds();
    void fewColourPicturesKeepTheirColours();
    void loaderTakesPreviewsWithFastThumbsOnly();

private:
    QTemporaryDir m_dir;
};

void TestPreview::previewIsTurnedAsThePictureIs()
{
    const QImage picture = quadrants({400, 300});
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QString path = m_dir.filePath(QStringLiteral("turned-%1.jpg").arg(orientation));
        QVERIFY(camera(path, picture, picture.scaled(160, 120), orientation));
        const ThumbnailMaker::Result preview = ThumbnailMaker::fromPreview(path);
        QVERIFY2(preview.loaded, qPrintable(QString::number(orientation)));
        // The picture decoded whole and turned by the image reader is the reference.
        const ThumbnailMaker::Result decoded = ThumbnailMaker::make(path, false);
        QVERIFY(decoded.loaded);
        QCOMPARE(preview.pictureSize, decoded.pictureSize);
        QCOMPARE(preview.image.size(), QSize(ThumbnailMaker::Width, ThumbnailMaker::Height));
        QCOMPARE(corners(preview), corners(decoded));
        QCOMPARE(ThumbnailMaker::make(path, true).image, preview.image);
        QCOMPARE(preview.fileTime, QFileInfo(path).lastModified());
    }
    // Turned a quarter clockwise, the picture's lower left quarter comes to the top left.
    const ThumbnailMaker::Result six = ThumbnailMaker::fromPreview(m_dir.filePath("turned-6.jpg"));
    QCOMPARE(six.pictureSize, QSize(300, 400));
    QCOMPARE(corners(six), (QList<QColor>{Qt::blue, Qt::red, Qt::yellow, Qt::green}));

    // An orientation tag that claims two values is no orientation to the image reader;
    // the preview is then not turned either, and its size is the one the picture is
    // shown at.
    QFile file(m_dir.filePath("turned-6.jpg"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const QByteArray motorola("\x01\x12\x00\x03\x00\x00\x00\x01", 8), intel("\x12\x01\x03\x00\x01\x00\x00\x00", 8);
    const qsizetype at = bytes.indexOf(motorola) >= 0 ? bytes.indexOf(motorola) + 7 : bytes.indexOf(intel) + 4;
    QVERIFY(at > 8);
    bytes[at] = 2;
    const QString damaged = m_dir.filePath("turned-6-two-values.jpg");
    writeFile(damaged, bytes);
    const ThumbnailMaker::Result taken = ThumbnailMaker::fromPreview(damaged);
    QVERIFY(taken.loaded);
    QCOMPARE(taken.pictureSize, ThumbnailMaker::pictureSize(damaged));
    QCOMPARE(taken.pictureSize, QSize(400, 300));
    QCOMPARE(corners(taken), corners(ThumbnailMaker::make(damaged, false)));
    QCOMPARE(corners(taken), kQuadrants);
}

void TestPreview::previewNotThePicturesIsNotTaken()
{
    // Each picture is red and its preview, when it has one, green: green shows the
    // preview was taken.
    struct Case
    {
        const char *name;
        QSize picture;
        QSize preview;
        bool taken;
    };
    const QList<Case> cases{
        {"16:9 picture, 4:3 preview", {480, 270}, {160, 120}, false},
        {"3:2 picture, its preview rounded to a pixel", {600, 400}, {160, 107}, true},
        {"3:2 picture, a preview two pixels off", {600, 400}, {160, 104}, false},
        {"preview smaller than the thumbnail", {400, 300}, {80, 60}, false},
        {"preview one pixel too low", {400, 200}, {144, 72}, false},
        {"smallest preview taken", {396, 292}, {99, 73}, true},
        {"picture smaller than the thumbnail", {96, 70}, {192, 140}, false},
        {"no preview", {400, 300}, {}, false},
    };
    for (const Case &c : cases) {
        const QString path = m_dir.filePath(QStringLiteral("%1.jpg").arg(QString::fromLatin1(c.name)));
        QVERIFY(camera(path, plain(c.picture, Qt::red), c.preview.isEmpty() ? QImage() : plain(c.preview, Qt::green)));
        QCOMPARE(ThumbnailMaker::fromPreview(path).loaded, c.taken);
        // The fast thumbnail is made either way, from the preview or the picture.
        const ThumbnailMaker::Result made = ThumbnailMaker::make(path, true);
        QVERIFY2(made.loaded, c.name);
        QVERIFY2(centre(made) == (c.taken ? QColor(Qt::green) : QColor(Qt::red)), c.name);
        QCOMPARE(made.pictureSize, c.picture);
        // The smooth thumbnail never looks at the preview.
        QCOMPARE(centre(ThumbnailMaker::make(path, false)), QColor(Qt::red));
    }

    // Other segments before the EXIF one (a large XMP packet split over several) are
    // passed over, however long.
    const QString late = m_dir.filePath("late-exif.jpg");
    QVERIFY(camera(late, plain({400, 300}, Qt::red), plain({160, 120}, Qt::green)));
    QByteArray padded = readAll(late);
    for (int i = 0; i < 6; ++i)
        padded.insert(2, QByteArray("\xFF\xEF\xFF\xFF", 4) + QByteArray(0xFFFF - 2, 'x'));
    writeFile(late, padded);
    QVERIFY(ThumbnailMaker::fromPreview(late).loaded);
    QCOMPARE(centre(ThumbnailMaker::make(late, true)), QColor(Qt::green));

    // A preview cut short before it was embedded (the file itself whole): its lower
    // part would decode grey. Not taken; one padded with zeros after its end is.
    const QString previewFile = m_dir.filePath("short-preview.jpg");
    QVERIFY(plain({160, 120}, Qt::green).save(previewFile, "JPEG", 92));
    const QByteArray previewBytes = readAll(previewFile);
    // A cut that happens to end in a D9 byte is no end marker without the FF before it.
    QByteArray cutAtD9 = previewBytes.first(previewBytes.size() * 2 / 3);
    while (uchar(cutAtD9.back()) == 0xFF || cutAtD9.back() == '\0')
        cutAtD9.chop(1);
    cutAtD9.append(char(0xD9));
    // Whole, with its markers, but its coded data damaged: it would decode as noise.
    QByteArray garbled = previewBytes;
    const qsizetype scan = garbled.indexOf("\xFF\xDA");
    QVERIFY(scan > 0);
    const qsizetype coded = scan + 2 + ((uchar(garbled.at(scan + 2)) << 8) | uchar(garbled.at(scan + 3)));
    quint32 noise = 12345;
    for (qsizetype i = coded + 4; i < garbled.size() - 2; ++i) {
        noise = noise * 1103515245u + 12345u;
        garbled[i] = char((noise >> 16) % 0xFF);  // never FF: no marker is made
    }
    for (const auto &[name, embedded, taken] :
         {std::tuple{"preview-cut.jpg", previewBytes.first(previewBytes.size() * 2 / 3), false},
          std::tuple{"preview-cut-d9.jpg", cutAtD9, false},
          std::tuple{"preview-garbled.jpg", garbled, false},
          std::tuple{"preview-padded.jpg", previewBytes + QByteArray(64, '\0'), true}}) {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        writeFile(previewFile, embedded);
        QVERIFY(plain({400, 300}, Qt::red).save(path, "JPEG", 92));
        QVERIFY(exiftool({"-q", "-overwrite_original", "-ThumbnailImage<=" + previewFile, path}));
        QCOMPARE(ThumbnailMaker::fromPreview(path).loaded, taken);
        QCOMPARE(centre(ThumbnailMaker::make(path, true)), taken ? QColor(Qt::green) : QColor(Qt::red));
    }

    // A file cut short inside its EXIF segment: no preview, and no crash.
    const QString whole = m_dir.filePath("cut.jpg");
    QVERIFY(camera(whole, plain({400, 300}, Qt::red), plain({160, 120}, Qt::green)));
    const QByteArray bytes = readAll(whole);
    const qsizetype previewStart = bytes.indexOf("\xFF\xD8", 2);
    QVERIFY(previewStart > 0);
    writeFile(whole, bytes.first(previewStart + 40));
    QVERIFY(!ThumbnailMaker::fromPreview(whole).loaded);
    QVERIFY(!ThumbnailMaker::make(whole, true).loaded);
    // A PNG is no JPEG, whatever it holds.
    const QString png = m_dir.filePath("picture.png");
    QVERIFY(plain({400, 300}, Qt::red).save(png));
    QVERIFY(!ThumbnailMaker::fromPreview(png).loaded);
}

void TestPreview::exifSegmentIsReadWithinItsBounds()
{
    const ExifHead intel;
    QCOMPARE(ThumbnailMaker::exifThumbnail(intel.bytes()), intel.preview);
    ExifHead motorola;
    motorola.motorola = true;
    QCOMPARE(ThumbnailMaker::exifThumbnail(motorola.bytes()), motorola.preview);
    ExifHead shorts;  // offsets as SHORTs, as some writers store them
    shorts.offsetType = 3;
    QCOMPARE(ThumbnailMaker::exifThumbnail(shorts.bytes()), shorts.preview);

    ExifHead pastEnd;
    pastEnd.size = pastEnd.preview.size() + 1;
    QCOMPARE(ThumbnailMaker::exifThumbnail(pastEnd.bytes()), QByteArray());
    ExifHead farOff;
    farOff.offset = 0xFFFFFFF0;
    QCOMPARE(ThumbnailMaker::exifThumbnail(farOff.bytes()), QByteArray());
    ExifHead empty;
    empty.size = 0;
    QCOMPARE(ThumbnailMaker::exifThumbnail(empty.bytes()), QByteArray());
    // Every head cut short reads as no preview, or as the preview itself once whole.
    const QByteArray full = intel.bytes();
    for (qsizetype size = 0; size < full.size(); ++size) {
        const QByteArray found = ThumbnailMaker::exifThumbnail(full.first(size));
        QVERIFY2(found.isEmpty() || (found == intel.preview && size >= full.size() - 2), qPrintable(QString::number(size)));
    }
    QCOMPARE(ThumbnailMaker::exifThumbnail(QByteArray("\x89PNG\r\n\x1a\n")), QByteArray());
    // The file's header is read segment by segment up to the frame header: tables before
    // the EXIF segment are passed over; an EXIF segment after the frame header is not
    // looked for.
    const QByteArray app1 = full.mid(8, full.size() - 10);  // after SOI and the APP0
    QCOMPARE(app1.left(2), QByteArray("\xFF\xE1"));
    const QByteArray huffman("\xFF\xC4\x00\x05\x00\x01\x02", 7), quant("\xFF\xDB\x00\x03\x07", 5);
    const QByteArray frame("\xFF\xC0\x00\x0B\x08\x00\x10\x00\x10\x01\x01\x11\x00", 13);
    auto headerOf = [](const QByteArray &bytes) {
        QBuffer file;
        file.setData(bytes);
        file.open(QIODevice::ReadOnly);
        return ThumbnailMaker::readJpegHeader(file).exif;
    };
    const QByteArray soi("\xFF\xD8", 2), sos("\xFF\xDA\x00\x02", 4);
    QCOMPARE(ThumbnailMaker::exifThumbnail(headerOf(soi + quant + huffman + app1 + frame + sos)), intel.preview);
    QCOMPARE(headerOf(soi + quant + frame + app1 + sos), QByteArray());
    const QByteArray otherTables = QByteArray("\xFF\xC8\x00\x02", 4) + QByteArray("\xFF\xCC\x00\x02", 4);
    QVERIFY(!headerOf(soi + huffman + otherTables + app1 + sos).isEmpty());
    // A head whose start-of-image mark is damaged in either byte is no JPEG.
    for (int at : {0, 1}) {
        QByteArray damaged = full;
        damaged[at] = 0x00;
        QCOMPARE(ThumbnailMaker::exifThumbnail(damaged), QByteArray());
    }
}

void TestPreview::fewColourPicturesKeepTheirColours()
{
    // A one-bit PNG with a colour table (steel blue and white, the blue everywhere): both
    // thumbnail paths show it steel blue, not dithered to black and white.
    QImage mono(400, 300, QImage::Format_Mono);
    mono.setColorTable({QColor(70, 130, 180).rgb(), qRgb(255, 255, 255)});
    mono.fill(0);
    const QString path = m_dir.filePath("mono.png");
    QVERIFY(mono.save(path, "PNG"));
    for (bool fast : {false, true}) {
        const ThumbnailMaker::Result made = ThumbnailMaker::make(path, fast);
        QVERIFY(made.loaded);
        for (const QPoint &at : {QPoint(49, 36), QPoint(30, 30), QPoint(31, 30), QPoint(60, 45)}) {
            const QColor seen = made.image.pixelColor(at);
            QVERIFY2(qAbs(seen.red() - 70) + qAbs(seen.green() - 130) + qAbs(seen.blue() - 180) < 30,
                     qPrintable(QString("%1 %2").arg(fast).arg(seen.name())));
        }
    }
}

void TestPreview::loaderTakesPreviewsWithFastThumbsOnly()
{
    const QString picture = m_dir.filePath("loader.jpg");
    QVERIFY(camera(picture, plain({400, 300}, Qt::red), plain({160, 120}, Qt::green)));
    for (const bool fast : {true, false}) {
        const QString thumbnail = m_dir.filePath(QStringLiteral("loader-%1.jpg").arg(fast));
        ThumbnailLoader loader;
        QSignalSpy ready(&loader, &ThumbnailLoader::ready);
        QSignalSpy finished(&loader, &ThumbnailLoader::finished);
        loader.start({{thumbnail, picture, false, fast}});
        QVERIFY(finished.wait(10000) || finished.count() == 1);
        QCOMPARE(ready.count(), 1);
        const QImage shown = ready.at(0).at(1).value<QImage>();
        const QColor wanted = fast ? QColor(Qt::green) : QColor(Qt::red);
        QCOMPARE(nearest(shown, 49, 36), wanted);
        QCOMPARE(ready.at(0).at(2).toSize(), QSize(400, 300));
        // The thumbnail made is written for the next opening.
        QCOMPARE(nearest(QImage(thumbnail), 49, 36), wanted);
    }
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
