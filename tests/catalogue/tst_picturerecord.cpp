#include "cataloguefile.h"
#include "kivviewitem.h"
#include "photoitem.h"
#include "thumbnailmaker.h"

#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"

#include <csignal>
#include <sys/resource.h>

namespace {



QString makePicture(const QString &path, const QSize &size, const QColor &colour, const char *format = "PNG")
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path, format);
    return path;
}

// Runs `write` with the process unable to grow any file beyond a few bytes, as on a
// full disk; the write must fail.
template<typename Write>
bool writeOnFullDisk(Write write)
{
    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = old;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const bool ok = write();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    return ok;
}

bool isWhite(const QColor &c)
{
    return c.red() > 245 && c.green() > 245 && c.blue() > 245;
}

bool isReddish(const QColor &c)
{
    return c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

const QByteArray kPhotoFile = "title=Sunset over the bay\r\nformat=1024*768\r\ncategory=holidays\r\n"
                              "comment=at the beach\r\nlove=3\r\nauthor=Me\r\nfrom=Camera\r\n"
                              "date=2003-01-05T14:22:10\r\nfiletype=Photo\r\npersoninit=Anna,Bob\r\n"
                              "event=Trip\r\nplace=Nice\r\nuserbadge=2\r\n";

} // namespace

class TestPictureRecord : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void captionRule_data();
    void captionRule();
    void propertyFileName_data();
    void propertyFileName();
    void setterRules();
    void photoPropertyFileRoundTrip();
    void plainRecordWritesTenLines();
    void shortAndMissingPropertyFiles();
    void longValuesReadBackWhole();
    void loadFromRow();
    void thumbnailGeometry();
    void thumbnailFastPath();
    void thumbnailOfUnreadablePicture();
    void thumbnailHonoursOrientation();
    void renameMovesAllThreeFiles();
    void renameRefusals_data();
    void renameRefusals();
    void renameWithoutSourceFolder();
    void kindOfFile();
    void failedWritesLeaveOldFiles();
};

void TestPictureRecord::captionRule_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("caption");
    QTest::newRow("short") << "IMG_0001.JPG" << "IMG_0001.JPG";
    QTest::newRow("21 characters") << "abcdefghijklmnopq.jpg" << "abcdefghijklmnopq.jpg";
    QTest::newRow("22 characters") << "abcdefghijklmnopqr.jpg" << "abcdefghijklmnopqr...";
    QTest::newRow("empty") << "" << "";
}

void TestPictureRecord::captionRule()
{
    QFETCH(QString, fileName);
    QFETCH(QString, caption);
    QCOMPARE(KivViewItem::captionFor(fileName), caption);
    QCOMPARE(PhotoItem(fileName).caption(), caption);
}

void TestPictureRecord::propertyFileName_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("propertyFile");
    // The whole file name: IMG_0001.JPG and IMG_0001.TIF no longer share one file.
    QTest::newRow("jpeg") << "IMG_0001.JPG" << "IMG_0001.JPG.kiv";
    QTest::newRow("tiff has its own") << "IMG_0001.TIF" << "IMG_0001.TIF.kiv";
    QTest::newRow("every dot kept") << "a.b.jpg" << "a.b.jpg.kiv";
    // Pictures named by their date once shared "2019.kiv": each has its own.
    QTest::newRow("named by date") << "2019.06.01_beach.jpg" << "2019.06.01_beach.jpg.kiv";
    QTest::newRow("named by another date") << "2019.07.15_party.jpg" << "2019.07.15_party.jpg.kiv";
    QTest::newRow("no dot") << "scan" << "scan.kiv";
}

void TestPictureRecord::propertyFileName()
{
    QFETCH(QString, fileName);
    QFETCH(QString, propertyFile);
    QCOMPARE(KivViewItem::propertyFileNameFor(fileName), propertyFile);
    PhotoItem item(fileName);
    item.setFileName(fileName);
    item.setAlbumFolder(QStringLiteral("/album"));
    QCOMPARE(item.propertyFilePath(), QStringLiteral("/album/") + propertyFile);
}

void TestPictureRecord::setterRules()
{
    PhotoItem item(QStringLiteral("a.jpg"));
    QCOMPARE(item.love(), 1);
    QCOMPARE(item.userBadge(), -1);
    QVERIFY(!item.isModified());
    item.setTitle(QString());  // same as the default
    item.setLove(1);
    QVERIFY(!item.isModified());
    item.setLove(0);  // stored 0 differs from 1, reported as 1
    QVERIFY(item.isModified());
    QCOMPARE(item.love(), 1);
    item.setModified(false);
    item.setTitle(QStringLiteral("Dune"));
    QVERIFY(item.isModified());
    item.setModified(false);
    item.setComment(QStringLiteral("only title and love mark a change"));
    QVERIFY(!item.isModified());

    item.setFormat(QStringLiteral("640*480"));
    item.setFormat(QStringLiteral(" "));
    item.setFormat(QString());
    QCOMPARE(item.format(), QStringLiteral("640*480"));

    QTemporaryDir dir;
    const QString albumFolder = dir.filePath(QStringLiteral("Holidays01.02.2003.10.00.00.000"));
    item.setAlbumFolder(albumFolder);
    QVERIFY(QFileInfo(albumFolder).isDir());
}

void TestPictureRecord::photoPropertyFileRoundTrip()
{
    QTemporaryDir dir;
    PhotoItem item(QStringLiteral("IMG_0001.JPG"));
    item.setFileName(QStringLiteral("IMG_0001.JPG"));
    item.setAlbumFolder(dir.path());
    item.setTitle(QStringLiteral("Sunset over the bay"));
    item.setFormat(QStringLiteral("1024*768"));
    item.setCategory(QStringLiteral("holidays"));
    item.setComment(QStringLiteral("at the beach"));
    item.setLove(3);
    item.setAuthor(QStringLiteral("Me"));
    item.setFrom(QStringLiteral("Camera"));
    item.setDate(QStringLiteral("2003-01-05T14:22:10"));
    item.setFileType(QStringLiteral("Photo"));
    item.setPersonInit(QStringLiteral("Anna,Bob"));
    item.setEvent(QStringLiteral("Trip"));
    item.setPlace(QStringLiteral("Nice"));
    item.setUserBadge(2);
    QVERIFY(item.writeProperties());
    QCOMPARE(readAll(dir.filePath("IMG_0001.JPG.kiv")), kPhotoFile);

    // A hand-made file reads into every field, whatever the keys say.
    QByteArray handMade = kPhotoFile;
    handMade.replace("author=", "AUTHOR=");
    writeFile(dir.filePath("IMG_0002.JPG.kiv"), handMade);
    PhotoItem read(QStringLiteral("IMG_0002.JPG"));
    read.setFileName(QStringLiteral("IMG_0002.JPG"));
    read.setAlbumFolder(dir.path());
    read.readProperties();
    QCOMPARE(read.title(), QStringLiteral("Sunset over the bay"));
    QCOMPARE(read.format(), QStringLiteral("1024*768"));
    QCOMPARE(read.category(), QStringLiteral("holidays"));
    QCOMPARE(read.comment(), QStringLiteral("at the beach"));
    QCOMPARE(read.love(), 3);
    QCOMPARE(read.author(), QStringLiteral("Me"));
    QCOMPARE(read.from(), QStringLiteral("Camera"));
    QCOMPARE(read.date(), QStringLiteral("2003-01-05T14:22:10"));
    QCOMPARE(read.fileType(), QStringLiteral("Photo"));
    QCOMPARE(read.personInit(), QStringLiteral("Anna,Bob"));
    QCOMPARE(read.event(), QStringLiteral("Trip"));
    QCOMPARE(read.place(), QStringLiteral("Nice"));
    QCOMPARE(read.userBadge(), 2);
    QVERIFY(read.hasProperties());
    // Written back unchanged, it is the same bytes.
    QVERIFY(read.writeProperties());
    QCOMPARE(readAll(dir.filePath("IMG_0002.JPG.kiv")), handMade.replace("AUTHOR=", "author="));

    // What a record keeps of itself during a change, packed, takes another record back to
    // the same file: accents, bars, an empty field and the last line included.
    item.setTitle(QStringLiteral("Été | hiver"));
    item.setCategory(QString());
    PhotoItem restored(QStringLiteral("IMG_0003.JPG"));
    restored.setFileName(QStringLiteral("IMG_0003.JPG"));
    restored.setAlbumFolder(dir.path());
    restored.setPackedTagLines(item.packedTagLines());
    QVERIFY(item.writeProperties());
    QVERIFY(restored.writeProperties());
    QCOMPARE(readAll(dir.filePath("IMG_0003.JPG.kiv")), readAll(dir.filePath("IMG_0001.JPG.kiv")));
    QCOMPARE(restored.userBadge(), 2);
}

void TestPictureRecord::plainRecordWritesTenLines()
{
    QTemporaryDir dir;
    KivViewItem item(QStringLiteral("song.mp3"));
    item.setFileName(QStringLiteral("song.mp3"));
    item.setAlbumFolder(dir.path());
    item.setLove(0);
    item.setFileType(QStringLiteral("Music"));
    QVERIFY(item.writeProperties());
    const QByteArray expected = "title=\r\nformat=\r\ncategory=\r\ncomment=\r\nlove=1\r\nauthor=\r\nfrom=\r\n"
                                "date=\r\nfiletype=Music\r\nuserbadge=-1\r\n";
    QCOMPARE(readAll(dir.filePath("song.mp3.kiv")), expected);

    KivViewItem back(QStringLiteral("song.mp3"));
    back.setFileName(QStringLiteral("song.mp3"));
    back.setAlbumFolder(dir.path());
    back.setUserBadge(5);
    back.readProperties();
    QCOMPARE(back.userBadge(), -1);
    QCOMPARE(back.fileType(), QStringLiteral("Music"));
}

void TestPictureRecord::shortAndMissingPropertyFiles()
{
    QTemporaryDir dir;
    PhotoItem item(QStringLiteral("a.jpg"));
    item.setFileName(QStringLiteral("a.jpg"));
    item.setAlbumFolder(dir.path());
    item.setTitle(QStringLiteral("kept"));
    item.setUserBadge(4);
    item.readProperties();  // no file: the record keeps its values
    QCOMPARE(item.title(), QStringLiteral("kept"));
    QCOMPARE(item.userBadge(), 4);
    QVERIFY(!item.hasProperties());

    writeFile(dir.filePath("a.kiv"), "title=Dune\r\nformat=800*600\r\ncategory=Family\r\n");
    item.readProperties();
    QCOMPARE(item.title(), QStringLiteral("Dune"));
    QCOMPARE(item.format(), QStringLiteral("800*600"));
    QCOMPARE(item.category(), QStringLiteral("Family"));
    QCOMPARE(item.comment(), QString());
    QCOMPARE(item.love(), 1);       // read as 0, reported as 1
    QCOMPARE(item.userBadge(), 0);  // a missing line reads as 0
    QCOMPARE(item.place(), QString());

    // An empty format line leaves the format as it was; a love that is no number is 0.
    writeFile(dir.filePath("a.kiv"), "title=\r\nformat=\r\ncategory=\r\ncomment=\r\nlove=lots\r\n");
    item.readProperties();
    QCOMPARE(item.format(), QStringLiteral("800*600"));
    QCOMPARE(item.love(), 1);
}

void TestPictureRecord::longValuesReadBackWhole()
{
    QTemporaryDir dir;
    const QString comment = QString(300, QLatin1Char('c')) + QStringLiteral(" é ünïcode end");
    PhotoItem item(QStringLiteral("long.jpg"));
    item.setFileName(QStringLiteral("long.jpg"));
    item.setAlbumFolder(dir.path());
    item.setComment(comment);
    item.setPlace(QStringLiteral("Ærøskøbing"));
    QVERIFY(item.writeProperties());
    PhotoItem back(QStringLiteral("long.jpg"));
    back.setFileName(QStringLiteral("long.jpg"));
    back.setAlbumFolder(dir.path());
    back.readProperties();
    QCOMPARE(back.comment(), comment);
    QCOMPARE(back.place(), QStringLiteral("Ærøskøbing"));
    QCOMPARE(back.love(), 1);

    // Values are read by their place after a key of known length. A comment key one
    // character short, followed by a form feed, ends inside a character outside the
    // Basic Multilingual Plane (U+1F600, two UTF-16 units): its second half alone is no
    // character and is not kept, so what is written back reads back the same.
    QFile file(back.propertyFilePath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("title=\r\nformat=\r\ncategory=\r\ncomme=\x0c\xf0\x9f\x98\x80 smile\r\nlove=3\r\n");
    file.close();
    back.readProperties();
    QCOMPARE(back.comment(), QStringLiteral(" smile"));
    QVERIFY(back.writeProperties());
    PhotoItem again(QStringLiteral("long.jpg"));
    again.setFileName(QStringLiteral("long.jpg"));
    again.setAlbumFolder(dir.path());
    again.readProperties();
    QCOMPARE(again.comment(), QStringLiteral(" smile"));
    QCOMPARE(again.love(), 3);
}

void TestPictureRecord::loadFromRow()
{
    PhotoItem item(QStringLiteral("a.jpg"));
    item.loadFromRow({"Photo", "/pics", "a.jpg", "Title", "Family", "c", "4", "7", "1", "10*10", "Anna"});
    QCOMPARE(item.title(), QStringLiteral("Title"));
    QCOMPARE(item.love(), 4);
    QCOMPARE(item.viewCount(), 7);
    QCOMPARE(item.userBadge(), 1);
    QCOMPARE(item.category(), QString());  // only title, love, views and badge come from the row
}

void TestPictureRecord::thumbnailGeometry()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("src");
    // 400 x 100 fits 99 x 73 as 99 x 24 (99 * 100 / 400 = 24), placed at y = (73 - 24) / 2 = 24.
    makePicture(dir.filePath("src/wide.png"), QSize(400, 100), Qt::red);
    PhotoItem item(QStringLiteral("wide.png"));
    item.setFileName(QStringLiteral("wide.png"));
    item.setSourceFolder(dir.filePath("src"));
    item.setAlbumFolder(dir.filePath("album"));
    const QPixmap pm = item.makeThumbnail(false);
    QCOMPARE(pm.size(), QSize(99, 73));
    QCOMPARE(item.format(), QStringLiteral("400*100"));
    QVERIFY(item.fileTime().isValid());

    const QString thumbPath = dir.filePath("album/wide.png");
    QVERIFY(QFile::exists(thumbPath));
    QCOMPARE(QImageReader(thumbPath).format(), QByteArray("jpeg"));  // a JPEG under the picture's own name
    const QImage thumb(thumbPath);
    QCOMPARE(thumb.size(), QSize(99, 73));
    QVERIFY(isReddish(thumb.pixelColor(49, 36)));
    QVERIFY(isReddish(thumb.pixelColor(2, 27)));
    QVERIFY(isWhite(thumb.pixelColor(49, 10)));
    QVERIFY(isWhite(thumb.pixelColor(49, 62)));

    // Tall: 100 x 400 fits as 18 x 73 (73 * 100 / 400 = 18) at x = (99 - 18) / 2 = 40.
    QCOMPARE(ThumbnailMaker::fittedSize(QSize(100, 400)), QSize(18, 73));
    QCOMPARE(ThumbnailMaker::fittedSize(QSize(4000, 3000)), QSize(97, 73));
    const ThumbnailMaker::Result tall =
        ThumbnailMaker::make(makePicture(dir.filePath("src/tall.jpg"), QSize(100, 400), Qt::red, "JPEG"), false);
    QVERIFY(isReddish(tall.image.pixelColor(49, 36)));
    QVERIFY(isWhite(tall.image.pixelColor(30, 36)));
    QVERIFY(isWhite(tall.image.pixelColor(68, 36)));
}

void TestPictureRecord::thumbnailFastPath()
{
    QTemporaryDir dir;
    // Narrower than 100 and no taller than 72: kept at its own size, centred at
    // ((99 - 50) / 2, (73 - 40) / 2) = (24, 16); no thumbnail file is written.
    makePicture(dir.filePath("small.png"), QSize(50, 40), Qt::red);
    PhotoItem item(QStringLiteral("small.png"));
    item.setFileName(QStringLiteral("small.png"));
    item.setSourceFolder(dir.path());
    item.setAlbumFolder(dir.filePath("album"));
    const QImage fast = item.makeThumbnail(true).toImage();
    QVERIFY(!QFile::exists(dir.filePath("album/small.png")));
    QCOMPARE(item.format(), QStringLiteral("50*40"));
    QVERIFY(isReddish(fast.pixelColor(24, 16)));
    QVERIFY(isReddish(fast.pixelColor(73, 55)));
    QVERIFY(isWhite(fast.pixelColor(23, 16)));
    QVERIFY(isWhite(fast.pixelColor(74, 55)));
    QVERIFY(isWhite(fast.pixelColor(24, 15)));
    QVERIFY(isWhite(fast.pixelColor(73, 56)));

    // The same picture not fast is enlarged to fit: 91 x 73 (73 * 50 / 40 = 91) at x = 4.
    const QImage slow = item.makeThumbnail(false).toImage();
    QVERIFY(isReddish(slow.pixelColor(5, 1)));
    QVERIFY(isWhite(slow.pixelColor(2, 36)));
    QVERIFY(QFile::exists(dir.filePath("album/small.png")));
}

void TestPictureRecord::thumbnailOfUnreadablePicture()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("broken.jpg"), "this is no picture");
    PhotoItem item(QStringLiteral("broken.jpg"));
    item.setFileName(QStringLiteral("broken.jpg"));
    item.setSourceFolder(dir.path());
    item.setAlbumFolder(dir.filePath("album"));
    item.setFormat(QStringLiteral("12*34"));
    const QPixmap pm = item.makeThumbnail(false);
    QCOMPARE(pm.size(), QSize(99, 73));
    QCOMPARE(item.format(), QStringLiteral("12*34"));
    QVERIFY(!QFile::exists(dir.filePath("album/broken.jpg")));
    QVERIFY(!item.fileTime().isValid());
}

void TestPictureRecord::thumbnailHonoursOrientation()
{
    QTemporaryDir dir;
    // A camera portrait: stored 200 x 100 with an EXIF "rotate 90" tag; upright 100 x 200.
    QImage stored(200, 100, QImage::Format_RGB32);
    stored.fill(Qt::red);
    QImageWriter writer(dir.filePath("portrait.jpg"), "jpeg");
    if (!writer.supportsOption(QImageIOHandler::ImageTransformation))
        QSKIP("this JPEG writer cannot store an orientation");
    writer.setTransformation(QImageIOHandler::TransformationRotate90);
    QVERIFY(writer.write(stored));
    const ThumbnailMaker::Result made = ThumbnailMaker::make(dir.filePath("portrait.jpg"), false);
    QCOMPARE(made.pictureSize, QSize(100, 200));
    // Upright 100 x 200 fits as 36 x 73 at x = (99 - 36) / 2 = 31.
    QVERIFY(isReddish(made.image.pixelColor(49, 5)));
    QVERIFY(isWhite(made.image.pixelColor(20, 36)));
    QVERIFY(isWhite(made.image.pixelColor(78, 36)));
}

void TestPictureRecord::renameMovesAllThreeFiles()
{
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("src");
    makePicture(dir.filePath("src/IMG_1.jpg"), QSize(20, 20), Qt::red, "JPEG");
    PhotoItem item(QStringLiteral("IMG_1.jpg"));
    item.setFileName(QStringLiteral("IMG_1.jpg"));
    item.setSourceFolder(dir.filePath("src"));
    item.setAlbumFolder(dir.filePath("album"));
    item.setTitle(QStringLiteral("kept through the rename"));
    item.makeThumbnail(false);
    item.writeProperties();
    const QByteArray picture = readAll(dir.filePath("src/IMG_1.jpg"));

    QCOMPARE(item.rename(QStringLiteral("Beach.day.jpg")), KivViewItem::RenameResult::Renamed);
    QCOMPARE(item.fileName(), QStringLiteral("Beach.day.jpg"));
    QCOMPARE(readAll(dir.filePath("src/Beach.day.jpg")), picture);
    QVERIFY(!QFile::exists(dir.filePath("src/IMG_1.jpg")));
    QVERIFY(QFile::exists(dir.filePath("album/Beach.day.jpg.kiv")));
    QVERIFY(!QFile::exists(dir.filePath("album/IMG_1.jpg.kiv")));
    QVERIFY(QFile::exists(dir.filePath("album/Beach.day.jpg")));
    QVERIFY(!QFile::exists(dir.filePath("album/IMG_1.jpg")));

    // A property file already standing under the new name is never overwritten.
    writeFile(dir.filePath("album/Other.jpg.kiv"), "title=other\r\n");
    QCOMPARE(item.rename(QStringLiteral("Other.jpg")), KivViewItem::RenameResult::Renamed);
    QCOMPARE(readAll(dir.filePath("album/Other.jpg.kiv")), QByteArray("title=other\r\n"));
}

void TestPictureRecord::renameRefusals_data()
{
    QTest::addColumn<QString>("newName");
    QTest::addColumn<int>("result");
    const int invalid = int(KivViewItem::RenameResult::InvalidName);
    QTest::newRow("empty") << "" << invalid;
    QTest::newRow("dot") << "." << invalid;
    QTest::newRow("dot dot") << ".." << invalid;
    QTest::newRow("slash") << "sub/b.jpg" << invalid;
    QTest::newRow("backslash") << "sub\\b.jpg" << invalid;
    QTest::newRow("line feed") << "b\n.jpg" << invalid;
    QTest::newRow("carriage return") << "b\r.jpg" << invalid;
    QTest::newRow("bar splits the row") << "re|name.jpg" << invalid;
    QTest::newRow("existing file") << "b.jpg" << int(KivViewItem::RenameResult::NameExists);
}

void TestPictureRecord::renameRefusals()
{
    QFETCH(QString, newName);
    QFETCH(int, result);
    QTemporaryDir dir;
    writeFile(dir.filePath("a.jpg"), "picture a");
    writeFile(dir.filePath("b.jpg"), "picture b");
    PhotoItem item(QStringLiteral("a.jpg"));
    item.setFileName(QStringLiteral("a.jpg"));
    item.setSourceFolder(dir.path());
    item.setAlbumFolder(dir.filePath("album"));
    QCOMPARE(int(item.rename(newName)), result);
    QVERIFY(!KivViewItem::renameRefusal(KivViewItem::RenameResult(result)).isEmpty());
    QCOMPARE(item.fileName(), QStringLiteral("a.jpg"));
    QCOMPARE(readAll(dir.filePath("a.jpg")), QByteArray("picture a"));
    QCOMPARE(readAll(dir.filePath("b.jpg")), QByteArray("picture b"));
}

void TestPictureRecord::renameWithoutSourceFolder()
{
    PhotoItem item(QStringLiteral("a.jpg"));
    item.setFileName(QStringLiteral("a.jpg"));
    item.setSourceFolder(QStringLiteral("/no/such/folder"));
    QCOMPARE(item.rename(QStringLiteral("b.jpg")), KivViewItem::RenameResult::NoSourceFolder);
    QCOMPARE(item.fileName(), QStringLiteral("a.jpg"));
}

void TestPictureRecord::kindOfFile()
{
    QTemporaryDir dir;
    auto sized = [&](const QString &name, qint64 size) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.resize(size);
        return f.fileName();
    };
    // The name's type decides, whatever the size: camera pictures are large.
    QCOMPARE(KivViewItem::kindOfFile(sized("at-limit.jpg", 3000 * 1024 + 1023)), QStringLiteral("Photo"));
    QCOMPARE(KivViewItem::kindOfFile(sized("large.jpg", 3001 * 1024)), QStringLiteral("Photo"));
    QCOMPARE(KivViewItem::kindOfFile(sized("huge.png", 40 * 1024 * 1024)), QStringLiteral("Photo"));
    QCOMPARE(KivViewItem::kindOfFile(sized("song.mp3", 10)), QStringLiteral("Music"));
    QCOMPARE(KivViewItem::kindOfFile(sized("notes.txt", 10)), QStringLiteral("Undefined"));
    QCOMPARE(KivViewItem::kindOfFile(dir.filePath("absent.png")), QStringLiteral("Photo"));
}

void TestPictureRecord::failedWritesLeaveOldFiles()
{
    QTemporaryDir dir;
    const QString lines = dir.filePath("library.db");
    QVERIFY(CatalogueFile::writeLines(lines, {"NUMLIB=0"}));
    const QByteArray before = readAll(lines);
    const QStringList longLines(20, QStringLiteral("a line that no longer fits on the disk"));
    QVERIFY(!writeOnFullDisk([&] { return CatalogueFile::writeLines(lines, longLines); }));
    QCOMPARE(readAll(lines), before);

    const QString thumbPath = dir.filePath("thumb.jpg");
    QImage red(99, 73, QImage::Format_RGB32);
    red.fill(Qt::red);
    QVERIFY(ThumbnailMaker::save(red, thumbPath));
    const QByteArray thumbBefore = readAll(thumbPath);
    QImage blue = red;
    blue.fill(Qt::blue);
    QVERIFY(!writeOnFullDisk([&] { return ThumbnailMaker::save(blue, thumbPath); }));
    QCOMPARE(readAll(thumbPath), thumbBefore);
    // No temporary files are left behind.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

QTEST_MAIN(TestPictureRecord)
#include "tst_picturerecord.moc"
