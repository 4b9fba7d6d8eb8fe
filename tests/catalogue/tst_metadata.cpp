// Tags in the pictures' own metadata: read when pictures are added, written into
// sidecars or into the pictures, and the queue that keeps writes across a crash.
// exiftool, an independent reader and writer, prepares pictures and checks results.

#include "albumadd.h"
#include "cataloguecontext.h"
#include "metadataqueue.h"
#include "photoitem.h"
#include "playlist.h"
#include "tagmetadata.h"

#include "../common/exiftool.h"
#include "../common/fulldisk.h"
#include "../common/scriptedprompter.h"
#include "../common/testfiles.h"

#include <QCryptographicHash>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>
#include <unistd.h>

namespace {

// A picture with detail in every part, so that any change to its pixels shows.
QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7) % 256, (y * 5) % 256, ((x ^ y) * 3) % 256));
    return image;
}

QString makePicture(const QString &path, int width = 320, int height = 240)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString format = QFileInfo(path).suffix().toUpper() == "JPG" ? "JPEG" : QFileInfo(path).suffix().toUpper();
    if (!pattern(width, height).save(path, format.toLatin1().constData(), 90))
        return {};
    return path;
}

QStringList hiddenLeftovers(const QString &folder)
{
    return QDir(folder).entryList({"*.vellaro-meta", "*.vellaro-new"}, QDir::Files | QDir::Hidden);
}

TagMetadata::Tags everyTag()
{
    TagMetadata::Tags tags;
    tags.love = 4;
    tags.title = QStringLiteral("Sunset over the bay, été");
    tags.comment = QStringLiteral("First evening");
    tags.category = QStringLiteral("Family");
    tags.persons = QStringList{QStringLiteral("Anna"), QStringLiteral("Bob")};
    tags.place = QStringLiteral("Porto");
    tags.event = QStringLiteral("Wedding");
    tags.date = QStringLiteral("2019-06-01T10:30:00");
    tags.badge = 3;
    return tags;
}

} // namespace

class TestMetadata : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void addReadsThePicturesTags();
    void sidecarComesFirst();
    void writtenTagsAreReadByAnotherProgram_data();
    void writtenTagsAreReadByAnotherProgram();
    void embeddingKeepsTheImageData();
    void otherProgramsMetadataStays();
    void damagedMetadataDoesNotStopAnAdd();
    void failedWritesChangeNothing();
    void queueKeepsWhatIsNotWritten();
    void tagsNotedWhileWritingAreWrittenOrKept();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    CatalogueContext m_context;
};

void TestMetadata::initTestCase()
{
    QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(),
             "exiftool (Debian libimage-exiftool-perl) is needed: scripts/deps.sh installs it");
}

void TestMetadata::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_context = CatalogueContext::forInstallation(m_dir->path() + "/install");
    QVERIFY(QDir().mkpath(m_context.folder));
}

void TestMetadata::addReadsThePicturesTags()
{
    const QString folder = m_dir->path() + "/pictures";
    const QString tagged = makePicture(folder + "/tagged.jpg");
    const QString plain = makePicture(folder + "/plain.jpg");
    const QString awkward = makePicture(folder + "/awkward.jpg");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-xmp:Rating=4", "-XMP-dc:Title=Sunset over the bay",
                      "-XMP-dc:Description=First evening", "-XMP-dc:Subject=Family", "-XMP-dc:Subject=beach",
                      "-XMP-iptcExt:PersonInImage=Anna", "-XMP-iptcExt:PersonInImage=Bob",
                      "-EXIF:DateTimeOriginal=2019:06:01 10:30:00", "-XMP-iptcExt:Event=Wedding",
                      "-XMP-photoshop:City=Porto", "-XMP-xmp:Label=Urgent", tagged}));
    // Values a catalogue row cannot hold as they are.
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Left|Right", "-XMP-dc:Description=one\ntwo",
                      "-XMP-iptcExt:PersonInImage=Smith, John", awkward}));

    m_context.readTagsOnAdd = true;
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir("Trip08.12.2026.10.00.00.000");
    // A picture this album catalogued before keeps the title it was given.
    PhotoItem before("awkward.jpg");
    before.setFileName("awkward.jpg");
    before.setAlbumFolder(album.albumFolder());
    before.setTitle("Mine");
    QVERIFY(before.writeProperties());

    ScriptedPrompter prompter;
    const AlbumAdd::Result added = AlbumAdd::addFiles(&album, {tagged, plain, awkward}, true, prompter);
    QVERIFY(added.saveError.isEmpty());
    QCOMPARE(int(added.added.size()), 3);
    const AlbumRows &rows = album.rowTable();
    QCOMPARE(rows.fieldText(0, AlbumRows::Title), QStringLiteral("Sunset over the bay"));
    QCOMPARE(rows.fieldText(0, AlbumRows::Love), QStringLiteral("4"));
    QCOMPARE(rows.fieldText(0, AlbumRows::Comment), QStringLiteral("First evening"));
    QCOMPARE(rows.fieldText(0, AlbumRows::Category), QStringLiteral("Family"));
    QCOMPARE(rows.fieldText(0, AlbumRows::Persons), QStringLiteral("Anna,Bob"));
    QCOMPARE(rows.fieldText(0, AlbumRows::Badge), QStringLiteral("3"));

    // The date, place and event live in the property file, read back as the window does.
    PhotoItem stored("tagged.jpg");
    stored.setFileName("tagged.jpg");
    stored.setAlbumFolderPath(album.albumFolder());
    stored.readProperties();
    QCOMPARE(stored.date(), QStringLiteral("2019-06-01T10:30:00"));
    QCOMPARE(stored.place(), QStringLiteral("Porto"));
    QCOMPARE(stored.event(), QStringLiteral("Wedding"));
    QCOMPARE(stored.love(), 4);

    QCOMPARE(rows.fieldText(1, AlbumRows::Title).trimmed(), QString());
    QCOMPARE(rows.fieldText(1, AlbumRows::Love), QStringLiteral("1"));

    QCOMPARE(rows.fieldText(2, AlbumRows::Title), QStringLiteral("Mine"));
    QCOMPARE(rows.fieldText(2, AlbumRows::Comment), QStringLiteral("one two"));
    QCOMPARE(rows.fieldText(2, AlbumRows::Persons), QStringLiteral("Smith John"));

    // A camera's own name in the EXIF description is no comment.
    const QString camera = makePicture(folder + "/camera.jpg");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-EXIF:ImageDescription=KONICA MINOLTA DIGITAL CAMERA",
                      "-EXIF:Make=Konica Minolta", camera}));
    QCOMPARE(TagMetadata::read(camera).tags.comment, QString());
    QVERIFY(exiftool({"-q", "-overwrite_original", "-EXIF:ImageDescription=Konica Minolta", camera}));
    QCOMPARE(TagMetadata::read(camera).tags.comment, QString());
    QVERIFY(exiftool({"-q", "-overwrite_original", "-EXIF:ImageDescription=OUR DOG REX", camera}));
    QCOMPARE(TagMetadata::read(camera).tags.comment, QStringLiteral("OUR DOG REX"));
    QVERIFY(exiftool({"-q", "-overwrite_original", "-EXIF:ImageDescription=A digital camera on the table", camera}));
    QCOMPARE(TagMetadata::read(camera).tags.comment, QStringLiteral("A digital camera on the table"));

    // With the preference off nothing is read.
    m_context.readTagsOnAdd = false;
    PlayList other;
    other.setContext(&m_context);
    other.setKivDir("Other08.12.2026.10.00.00.000");
    QCOMPARE(int(AlbumAdd::addFiles(&other, {tagged}, true, prompter).added.size()), 1);
    QCOMPARE(other.rowTable().fieldText(0, AlbumRows::Title).trimmed(), QString());
    QCOMPARE(other.rowTable().fieldText(0, AlbumRows::Love), QStringLiteral("1"));
    QVERIFY(prompter.messages.isEmpty());

    // The property files go after the album's file (a kill between leaves no property
    // file of a picture the album lacks); when they cannot be written, the album's file
    // is put back and the pictures are not added.
    m_context.readTagsOnAdd = true;
    const QString second = makePicture(folder + "/second.jpg");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Harbour", "-XMP-photoshop:City=Brest", second}));
    const QByteArray albumBefore = readAll(album.storedFilePath());
    QVERIFY(QDir().mkpath(album.albumFolder() + "/second.jpg.kiv"));
    const AlbumAdd::Result refused = AlbumAdd::addFiles(&album, {second}, true, prompter);
    QVERIFY(!refused.saveError.isEmpty());
    QVERIFY(refused.added.empty());
    QCOMPARE(readAll(album.storedFilePath()), albumBefore);
    QCOMPARE(album.rowCount(), 3);
    QVERIFY(QFileInfo(album.albumFolder() + "/second.jpg.kiv").isDir());
    QVERIFY(QDir().rmdir(album.albumFolder() + "/second.jpg.kiv"));
    QCOMPARE(int(AlbumAdd::addFiles(&album, {second}, true, prompter).added.size()), 1);
    QVERIFY(readAll(album.storedFilePath()).contains("|Harbour|"));
    QVERIFY(readAll(album.albumFolder() + "/second.jpg.kiv").contains("Brest"));
}

void TestMetadata::sidecarComesFirst()
{
    const QString picture = makePicture(m_dir->path() + "/IMG_1.JPG");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Inside", "-EXIF:DateTimeOriginal=2018:03:04 05:06:07",
                      "-XMP-xmp:Rating=2", picture}));
    QCOMPARE(TagMetadata::read(picture).tags.title, QStringLiteral("Inside"));

    auto sidecar = [](const QByteArray &title) {
        return "<?xml version=\"1.0\"?>\n<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
               "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description rdf:about=\"\" "
               "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\" "
               "xmp:Rating=\"5\"><dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">"
               + title + "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>\n";
    };
    writeFile(m_dir->path() + "/IMG_1.xmp", sidecar("Beside, short name"));
    TagMetadata::Tags tags = TagMetadata::read(picture).tags;
    QCOMPARE(tags.title, QStringLiteral("Beside, short name"));
    QCOMPARE(tags.love, 5);
    // What the sidecar does not give comes from the picture.
    QCOMPARE(tags.date, QStringLiteral("2018-03-04T05:06:07"));

    writeFile(m_dir->path() + "/IMG_1.JPG.xmp", sidecar("Beside, whole name"));
    QCOMPARE(TagMetadata::read(picture).tags.title, QStringLiteral("Beside, whole name"));
    QCOMPARE(TagMetadata::sidecarToRead(picture), m_dir->path() + "/IMG_1.JPG.xmp");

    // The sidecar written starts from the one read, so the short-named one's tags survive.
    TagMetadata::Tags only;
    only.event = QStringLiteral("Party");
    QFile::remove(m_dir->path() + "/IMG_1.JPG.xmp");
    QCOMPARE(TagMetadata::write(picture, only, TagMetadata::Target::Sidecar), QString());
    const QJsonObject written = exifRead(m_dir->path() + "/IMG_1.JPG.xmp");
    QCOMPARE(written.value("XMP-dc:Title").toString(), QStringLiteral("Beside, short name"));
    QCOMPARE(written.value("XMP-iptcExt:Event").toString(), QStringLiteral("Party"));
}

void TestMetadata::writtenTagsAreReadByAnotherProgram_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("embed");
    QTest::newRow("jpeg sidecar") << "a.jpg" << false;
    QTest::newRow("jpeg inside") << "a.jpg" << true;
    QTest::newRow("png inside") << "a.png" << true;
    QTest::newRow("tiff inside") << "a.tif" << true;
    // A format that cannot hold them gets a sidecar instead.
    QTest::newRow("bmp asked inside") << "a.bmp" << true;
}

void TestMetadata::writtenTagsAreReadByAnotherProgram()
{
    QFETCH(QString, name);
    QFETCH(bool, embed);
    const QString picture = makePicture(m_dir->path() + "/" + name);
    QVERIFY(!picture.isEmpty());
    const QByteArray before = readAll(picture);
    const TagMetadata::Tags tags = everyTag();
    QString writtenTo;
    QCOMPARE(TagMetadata::write(picture, tags, embed ? TagMetadata::Target::Embedded : TagMetadata::Target::Sidecar,
                                &writtenTo),
             QString());
    const bool inside = embed && TagMetadata::canEmbed(picture);
    QCOMPARE(writtenTo, inside ? picture : picture + ".xmp");
    if (!inside)
        QCOMPARE(readAll(picture), before);

    const QJsonObject read = exifRead(writtenTo);
    QCOMPARE(read.value("XMP-xmp:Rating").toInt(), 4);
    QCOMPARE(read.value("XMP-dc:Title").toString(), tags.title);
    QCOMPARE(read.value("XMP-dc:Description").toString(), tags.comment);
    QCOMPARE(listOf(read.value("XMP-dc:Subject")), (QStringList{"Family", "Anna", "Bob"}));
    QCOMPARE(listOf(read.value("XMP-iptcExt:PersonInImage")), (QStringList{"Anna", "Bob"}));
    const QJsonArray shown = read.value("XMP-iptcExt:LocationShown").toArray();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.at(0).toObject().value("City").toString(), QStringLiteral("Porto"));
    QCOMPARE(read.value("XMP-photoshop:City").toString(), QStringLiteral("Porto"));
    QCOMPARE(read.value("XMP-iptcExt:Event").toString(), QStringLiteral("Wedding"));
    QCOMPARE(read.value("XMP-exif:DateTimeOriginal").toString().left(19), QStringLiteral("2019:06:01 10:30:00"));
    QCOMPARE(read.value("XMP-xmp:Label").toString(), QStringLiteral("Urgent"));
    if (inside) {
        QCOMPARE(read.value("IFD0:Rating").toInt(), 4);
        QCOMPARE(read.value("IFD0:ImageDescription").toString(), tags.comment);
        QCOMPARE(read.value("ExifIFD:DateTimeOriginal").toString(), QStringLiteral("2019:06:01 10:30:00"));
        if (name.endsWith(".jpg")) {
            QCOMPARE(read.value("IPTC:ObjectName").toString(), tags.title);
            QCOMPARE(read.value("IPTC:Caption-Abstract").toString(), tags.comment);
        }
        // Still the same picture.
        QCOMPARE(QImage(picture).convertToFormat(QImage::Format_RGB32),
                 QImage::fromData(before).convertToFormat(QImage::Format_RGB32));
    }
    // And the tags read back as they were written.
    QCOMPARE(TagMetadata::read(picture).tags, tags);
}

void TestMetadata::embeddingKeepsTheImageData()
{
    const QString picture = makePicture(m_dir->path() + "/scan.jpg", 1200, 900);
    QVERIFY(exiftool({"-q", "-overwrite_original", "-EXIF:Make=TestCam", "-EXIF:DateTimeOriginal=2017:01:02 03:04:05",
                      picture}));
    QFile::setPermissions(picture, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    const QByteArray before = readAll(picture);
    const QString link = m_dir->path() + "/link.jpg";
    QVERIFY(QFile::link(picture, link));

    QCOMPARE(TagMetadata::write(link, everyTag(), TagMetadata::Target::Embedded), QString());
    const QByteArray after = readAll(picture);
    QVERIFY(after != before);
    QVERIFY(!scanData(before).isEmpty());
    QCOMPARE(scanData(after), scanData(before));
    QCOMPARE(QImage::fromData(after), QImage::fromData(before));
    // The link is still a link, the camera's own metadata is kept, and so are the
    // file's permissions; nothing is left beside it.
    QVERIFY(QFileInfo(link).isSymLink());
    const QJsonObject read = exifRead(picture);
    QCOMPARE(read.value("IFD0:Make").toString(), QStringLiteral("TestCam"));
    QCOMPARE(read.value("ExifIFD:DateTimeOriginal").toString(), QStringLiteral("2019:06:01 10:30:00"));
    const QFileDevice::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                          | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther
                                          | QFile::WriteOther | QFile::ExeOther;
    QCOMPARE(QFileInfo(picture).permissions() & mode, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    QCOMPARE(hiddenLeftovers(m_dir->path()), QStringList());

    // Writing what the picture holds already leaves its metadata as it is.
    QCOMPARE(TagMetadata::differences(TagMetadata::readTarget(picture, TagMetadata::Target::Embedded).tags, everyTag())
                 .size(),
             0);
}

void TestMetadata::otherProgramsMetadataStays()
{
    const QString picture = makePicture(m_dir->path() + "/b.jpg");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Subject=sunset", "-XMP-dc:Subject=Friends",
                      "-XMP-dc:Subject=Carl", "-XMP-iptcExt:PersonInImage=Carl", "-XMP-xmp:Label=Red",
                      "-XMP-dc:Creator=Someone", "-EXIF:DateTimeOriginal=2019:06:01 10:30:00", picture}));
    TagMetadata::Tags tags;
    tags.category = QStringLiteral("Family");
    tags.persons = QStringList{QStringLiteral("Anna"), QStringLiteral("Bob")};
    tags.badge = -1;
    tags.date = QStringLiteral("2019-06-01");  // the same day: the camera's time stays
    QCOMPARE(TagMetadata::write(picture, tags, TagMetadata::Target::Embedded), QString());
    QJsonObject read = exifRead(picture);
    // The keyword of another program stays; the old category and person go.
    QCOMPARE(listOf(read.value("XMP-dc:Subject")), (QStringList{"sunset", "Family", "Anna", "Bob"}));
    QCOMPARE(listOf(read.value("XMP-iptcExt:PersonInImage")), (QStringList{"Anna", "Bob"}));
    QCOMPARE(read.value("XMP-xmp:Label").toString(), QStringLiteral("Red"));
    QCOMPARE(listOf(read.value("XMP-dc:Creator")), QStringList{"Someone"});
    QCOMPARE(read.value("ExifIFD:DateTimeOriginal").toString(), QStringLiteral("2019:06:01 10:30:00"));

    tags.badge = 0;
    tags.date = QStringLiteral("2019-06-02");  // another day: the time of day stays
    QCOMPARE(TagMetadata::write(picture, tags, TagMetadata::Target::Embedded), QString());
    read = exifRead(picture);
    QCOMPARE(read.value("XMP-xmp:Label").toString(), QStringLiteral("Special"));
    QCOMPARE(read.value("ExifIFD:DateTimeOriginal").toString(), QStringLiteral("2019:06:02 10:30:00"));
    // No badge takes away the label this program wrote.
    tags.badge = -1;
    QCOMPARE(TagMetadata::write(picture, tags, TagMetadata::Target::Embedded), QString());
    QVERIFY(exifRead(picture).value("XMP-xmp:Label").isUndefined());

    // Values the catalogue holds in its own form are not written over the originals,
    // and one heart gives no rating to a rejected or unrated picture.
    const QString other = makePicture(m_dir->path() + "/other.jpg");
    QVERIFY(exiftool({"-q", "-overwrite_original", "-XMP-dc:Title=Left|Right\nsecond line", "-XMP-xmp:Rating=-1",
                      "-XMP-iptcExt:PersonInImage=Smith, John", "-EXIF:ImageDescription=one|two", other}));
    TagMetadata::Tags fromOther = TagMetadata::read(other).tags;
    QCOMPARE(fromOther.title, QStringLiteral("Left/Right second line"));
    QCOMPARE(fromOther.love, 0);
    fromOther.love = 1;
    fromOther.event = QStringLiteral("Fair");
    QCOMPARE(TagMetadata::write(other, fromOther, TagMetadata::Target::Embedded), QString());
    read = exifRead(other);
    QCOMPARE(read.value("XMP-dc:Title").toString(), QStringLiteral("Left|Right\nsecond line"));
    QCOMPARE(read.value("IFD0:ImageDescription").toString(), QStringLiteral("one|two"));
    QCOMPARE(listOf(read.value("XMP-iptcExt:PersonInImage")), QStringList{"Smith, John"});
    QCOMPARE(read.value("XMP-xmp:Rating").toInt(), -1);
    QVERIFY(read.value("IFD0:Rating").isUndefined());
    QCOMPARE(read.value("XMP-iptcExt:Event").toString(), QStringLiteral("Fair"));
    fromOther.love = 3;
    QCOMPARE(TagMetadata::write(other, fromOther, TagMetadata::Target::Embedded), QString());
    QCOMPARE(exifRead(other).value("XMP-xmp:Rating").toInt(), 3);
    // One heart brings a higher rating down.
    fromOther.love = 1;
    QCOMPARE(TagMetadata::write(other, fromOther, TagMetadata::Target::Embedded), QString());
    QCOMPARE(exifRead(other).value("XMP-xmp:Rating").toInt(), 1);
    QCOMPARE(exifRead(other).value("IFD0:Rating").toInt(), 1);

    // A first sidecar keeps the keywords written inside the picture.
    TagMetadata::Tags persons;
    persons.persons = QStringList{QStringLiteral("Anna")};
    QCOMPARE(TagMetadata::write(picture, persons, TagMetadata::Target::Sidecar), QString());
    QCOMPARE(listOf(exifRead(picture + ".xmp").value("XMP-dc:Subject")), (QStringList{"sunset", "Family", "Anna"}));
}

void TestMetadata::damagedMetadataDoesNotStopAnAdd()
{
    const QString folder = m_dir->path() + "/damaged";
    // An EXIF segment whose directory points far past its end.
    QByteArray jpeg = readAll(makePicture(folder + "/exif.jpg"));
    QByteArray app1("\xFF\xE1\x00\x20" "Exif\0\0" "II*\0" "\xFF\xFF\xFF\x7F", 18);
    app1.append(QByteArray(32 - 16, '\xEE'));
    jpeg.insert(2, app1);
    writeFile(folder + "/exif.jpg", jpeg);
    // A sidecar that is no XML at all, and one that is XML but not XMP.
    makePicture(folder + "/side.jpg");
    writeFile(folder + "/side.jpg.xmp", QByteArray("\x00\x01", 2) + "<x:xmpmeta garbage");
    makePicture(folder + "/half.jpg");
    writeFile(folder + "/half.jpg.xmp", "<?xml version=\"1.0\"?><x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF");

    QVERIFY(!TagMetadata::read(folder + "/side.jpg").error.isEmpty());
    m_context.readTagsOnAdd = true;
    PlayList album;
    album.setContext(&m_context);
    album.setKivDir("Damaged08.12.2026.10.00.00.000");
    ScriptedPrompter prompter;
    const AlbumAdd::Result added =
        AlbumAdd::addFiles(&album, {folder + "/exif.jpg", folder + "/side.jpg", folder + "/half.jpg"}, true, prompter);
    QCOMPARE(int(added.added.size()), 3);
    QVERIFY(added.saveError.isEmpty());
    QVERIFY(prompter.messages.isEmpty());

    // A damaged sidecar is never written over: what it held may still matter.
    const QByteArray side = readAll(folder + "/side.jpg.xmp");
    const QString why = TagMetadata::write(folder + "/side.jpg", everyTag(), TagMetadata::Target::Sidecar);
    QVERIFY2(why.contains("side.jpg.xmp"), qPrintable(why));
    QCOMPARE(readAll(folder + "/side.jpg.xmp"), side);
    // A dry run foretells the refusal and writes nothing.
    QString to;
    QVERIFY(!TagMetadata::write(folder + "/side.jpg", everyTag(), TagMetadata::Target::Sidecar, &to, true).isEmpty());
    QCOMPARE(TagMetadata::write(folder + "/half.jpg", everyTag(), TagMetadata::Target::Embedded, &to, true), QString());
    QCOMPARE(to, folder + "/half.jpg");

    // Metadata read only in part is never written back without the rest: refused, and
    // the picture left byte for byte. One EXIF block cannot be read at all; the other
    // has a directory claiming 32767 entries, which libexiv2 passes over.
    QByteArray bad = readAll(makePicture(folder + "/partial.jpg"));
    QByteArray app1b("\xFF\xE1\x00\x1A" "Exif\0\0" "II*\0" "\x08\0\0\0" "\xFF\x7F", 20);
    app1b.append(QByteArray(8, '\0'));
    bad.insert(2, app1b);
    writeFile(folder + "/partial.jpg", bad);
    for (const QString &name : {QStringLiteral("exif.jpg"), QStringLiteral("partial.jpg")}) {
        const QByteArray before = readAll(folder + "/" + name);
        const QString refused = TagMetadata::write(folder + "/" + name, everyTag(), TagMetadata::Target::Embedded);
        QVERIFY2(!refused.isEmpty(), qPrintable(name));
        QCOMPARE(readAll(folder + "/" + name), before);
        // A sidecar can take its tags instead.
        QCOMPARE(TagMetadata::write(folder + "/" + name, everyTag(), TagMetadata::Target::Sidecar), QString());
    }
}

void TestMetadata::failedWritesChangeNothing()
{
    const QString folder = m_dir->path() + "/locked";
    const QString picture = makePicture(folder + "/c.jpg", 800, 600);
    const QByteArray before = readAll(picture);

    QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    if (::access(qPrintable(folder), W_OK) != 0) {
        QString why = TagMetadata::write(picture, everyTag(), TagMetadata::Target::Sidecar);
        QVERIFY2(why.contains("c.jpg.xmp") && why.contains("Permission denied"), qPrintable(why));
        QVERIFY(!QFileInfo::exists(picture + ".xmp"));
        why = TagMetadata::write(picture, everyTag(), TagMetadata::Target::Embedded);
        QVERIFY2(why.contains("c.jpg"), qPrintable(why));
        QCOMPARE(readAll(picture), before);
    }
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    // A folder standing where the sidecar goes.
    QVERIFY(QDir().mkpath(picture + ".xmp"));
    QVERIFY(!TagMetadata::write(picture, everyTag(), TagMetadata::Target::Sidecar).isEmpty());
    QVERIFY(QFileInfo(picture + ".xmp").isDir());
    QVERIFY(QDir().rmdir(picture + ".xmp"));

    {
        // A disk that fills up while the new picture is written.
        const FullDisk full(rlim_t(before.size() / 2));
        const QString why = TagMetadata::write(picture, everyTag(), TagMetadata::Target::Embedded);
        QVERIFY2(why.contains("too large") || why.contains("space"), qPrintable(why));
    }
    QCOMPARE(readAll(picture), before);
    QCOMPARE(hiddenLeftovers(folder), QStringList());

    QVERIFY(!TagMetadata::write(folder + "/gone.jpg", everyTag(), TagMetadata::Target::Sidecar).isEmpty());
    QVERIFY(!QFileInfo::exists(folder + "/gone.jpg.xmp"));
}

void TestMetadata::queueKeepsWhatIsNotWritten()
{
    const QString a = makePicture(m_dir->path() + "/q/a.jpg");
    const QString b = makePicture(m_dir->path() + "/q/b.jpg");
    const QString gone = m_dir->path() + "/q/gone.jpg";
    const QString unplugged = m_dir->path() + "/unplugged/u.jpg";
    TagMetadata::Tags first = everyTag();
    TagMetadata::Tags newer = everyTag();
    newer.title = QStringLiteral("Newer title");
    {
        MetadataQueue queue(m_context.root);
        QCOMPARE(queue.add({{a, TagMetadata::Target::Sidecar, first}, {gone, TagMetadata::Target::Sidecar, first}}),
                 QString());
        QCOMPARE(queue.add({{b, TagMetadata::Target::Embedded, first}, {a, TagMetadata::Target::Sidecar, newer},
                            {unplugged, TagMetadata::Target::Sidecar, first}}),
                 QString());
    }
    // A kill in the middle of noting leaves a line cut short: it is passed over.
    QFile file(m_context.root + "/metadata.pending");
    QVERIFY(file.open(QIODevice::Append));
    file.write("{\"picture\":\"/cut/short.jpg\",\"tar");
    file.close();
    // What the next program notes after it is kept whole.
    const QString c = makePicture(m_dir->path() + "/q/c.jpg");
    QCOMPARE(MetadataQueue(m_context.root).add({{c, TagMetadata::Target::Sidecar, first}}), QString());

    MetadataQueue queue(m_context.root);
    const QList<MetadataQueue::Entry> pending = queue.pending();
    QCOMPARE(pending.size(), 5);
    QCOMPARE(pending.last().picture, c);
    QCOMPARE(pending.at(0).picture, a);
    QCOMPARE(pending.at(0).tags.title, QStringLiteral("Newer title"));
    QCOMPARE(pending.at(2).target, TagMetadata::Target::Embedded);
    QCOMPARE(pending.at(2).tags, first);

    // A picture deleted from its folder is dropped; one whose folder is gone too (an
    // unplugged drive) fails and stays noted, for the next start.
    const QList<MetadataQueue::Failure> failures = queue.writePending();
    QCOMPARE(failures.size(), 1);
    QCOMPARE(failures.first().picture, unplugged);
    QCOMPARE(TagMetadata::readTarget(a, TagMetadata::Target::Sidecar).tags, newer);
    QCOMPARE(TagMetadata::readTarget(b, TagMetadata::Target::Embedded).tags, first);
    QCOMPARE(TagMetadata::readTarget(c, TagMetadata::Target::Sidecar).tags, first);
    QCOMPARE(MetadataQueue(m_context.root).pending().size(), 1);
    QCOMPARE(MetadataQueue(m_context.root).pending().first().picture, unplugged);

    // The same tags again leave the picture's file as it is.
    const QByteArray bytes = readAll(b);
    const QDateTime modified = QFileInfo(b).lastModified();
    QCOMPARE(queue.add({{b, TagMetadata::Target::Embedded, first}}), QString());
    QCOMPARE(queue.writePending().size(), 1);
    QCOMPARE(readAll(b), bytes);
    QCOMPARE(QFileInfo(b).lastModified(), modified);
    QCOMPARE(queue.count(), 1);

    // Taken back to what it held before a change, the queue still finds each picture by
    // its name: one noted afterwards takes no other picture's place.
    QCOMPARE(queue.add({{a, TagMetadata::Target::Sidecar, first}}), QString());
    QCOMPARE(queue.replaceAll({{a, TagMetadata::Target::Sidecar, first}}), QString());
    QCOMPARE(queue.add({{unplugged, TagMetadata::Target::Sidecar, newer}}), QString());
    const QList<MetadataQueue::Entry> kept = queue.pending();
    QCOMPARE(kept.size(), 2);
    QCOMPARE(kept.at(0).picture, a);
    QCOMPARE(kept.at(1).picture, unplugged);
    QCOMPARE(kept.at(1).tags.title, QStringLiteral("Newer title"));
}

void TestMetadata::tagsNotedWhileWritingAreWrittenOrKept()
{
    // The window notes newer tags while the writer is busy with the same pictures: each
    // picture ends with its newest tags in its file, or still noted to be written.
    constexpr int Count = 40, Rounds = 12;
    QStringList pictures;
    for (int i = 0; i < Count; ++i)
        pictures << makePicture(m_dir->path() + "/busy/p" + QString::number(i) + ".jpg");
    auto tagsOf = [](int round) {
        TagMetadata::Tags tags = everyTag();
        tags.title = QStringLiteral("round %1").arg(round);
        return tags;
    };
    MetadataQueue queue(m_context.root);
    QList<MetadataQueue::Entry> entries;
    for (const QString &picture : pictures)
        entries.append({picture, TagMetadata::Target::Sidecar, tagsOf(0)});
    QCOMPARE(queue.add(entries), QString());
    std::atomic<bool> done{false};
    std::thread writer([&] {
        queue.writePending();
        done = true;
    });
    int round = 0;
    QString refused;
    while (!done && round < Rounds) {
        ++round;
        for (MetadataQueue::Entry &entry : entries) {
            entry.tags = tagsOf(round);
            if (const QString why = queue.add({entry}); !why.isEmpty())
                refused = why;
        }
    }
    writer.join();
    QCOMPARE(refused, QString());
    QVERIFY(round > 0);
    const QList<MetadataQueue::Entry> pending = queue.pending();
    for (const QString &picture : pictures) {
        const auto noted = std::find_if(pending.cbegin(), pending.cend(),
                                        [&picture](const MetadataQueue::Entry &e) { return e.picture == picture; });
        const bool kept = noted != pending.cend() && noted->tags == tagsOf(round);
        const bool written = TagMetadata::readTarget(picture, TagMetadata::Target::Sidecar).tags == tagsOf(round);
        QVERIFY2(kept || written, qPrintable(picture));
    }
    // Written out after, every picture holds the newest.
    queue.writePending();
    for (const QString &picture : pictures)
        QCOMPARE(TagMetadata::readTarget(picture, TagMetadata::Target::Sidecar).tags, tagsOf(round));
}

QTEST_MAIN(TestMetadata)
#include "tst_metadata.moc"
